#include "DataUnit.h"
#include "Messages.h"

#include <QApplication>
#include <QLocale>
#include <QMessageBox>

#include <cstdio>

using namespace Qt::StringLiterals;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Korvanta"_s);
    QApplication::setApplicationDisplayName(u"Korvanta"_s);
    QLocale::setDefault(QLocale::system());

    SetMessageHandler([](TMessageKind kind, const QString& text) {
        if (kind == TMessageKind::Confirmation)
            return QMessageBox::question(nullptr, u"Korvanta"_s, text) == QMessageBox::Yes;
        QMessageBox box(kind == TMessageKind::Information ? QMessageBox::Information : QMessageBox::Warning,
                        u"Korvanta"_s, text);
        box.exec();
        return true;
    });

    TData data(QCoreApplication::applicationDirPath());
    data.DataModuleCreate();
    for (const QString& line : data.StartupReport())
        std::printf("%s\n", line.toLocal8Bit().constData());
    return data.Terminated() ? 1 : 0;
}
