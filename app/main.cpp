#include "AssortmentPickers.h"
#include "DataSestavyUnit.h"
#include "DataUnit.h"
#include "FrameUnit.h"
#include "HlavniUnit.h"
#include "LoginUnit.h"
#include "ProgramLog.h"
#include "ProgresWinUnit.h"

#include <QGuiApplication>
#include <QLocale>

#include <cstdio>

using namespace Qt::StringLiterals;

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    TApplication::SetTitle(u"Korvanta"_s);
    QLocale::setDefault(QLocale::system());
    // Offscreen nobody sees a message box or answers it: the messages go to standard error instead
    // of a box that would wait for ever (a headless start with an unreachable server never ended).
    if (QGuiApplication::platformName() != u"offscreen"_s)
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
