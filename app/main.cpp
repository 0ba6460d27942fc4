#include "AssortmentPickers.h"
#include "DataSestavyUnit.h"
#include "DataUnit.h"
#include "FrameUnit.h"
#include "HlavniUnit.h"
#include "LoginUnit.h"
#include "ProgramLog.h"
#include "ProgresWinUnit.h"

#include <QLocale>

#include <cstdio>

using namespace Qt::StringLiterals;

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    QApplication::setApplicationName(u"Korvanta"_s);
    QApplication::setApplicationDisplayName(u"Korvanta"_s);
    QLocale::setDefault(QLocale::system());
    InstallMessageBoxes();
    // Warnings and errors of every library also go to korvanta.log in the station directory.
    const TProgramLog log(QCoreApplication::applicationDirPath());

    TData data(QCoreApplication::applicationDirPath());
    data.LoginDialog = [](QString& name, QString& password) { return TLoginForm::Execute(name, password); };
    data.DataModuleCreate();
    for (const QString& line : data.StartupReport())
        std::printf("%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
    if (data.Terminated())
        return 1;

    THlavni hlavni(data);
    InstallAssortmentPickers(data, &hlavni);
    InstallProgressHooks(data);
    TDataSestavy dataSestavy;
    hlavni.show();

    return app.exec();
}
