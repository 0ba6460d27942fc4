#include "DbTool.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTextStream>

#include <cstdio>

using namespace Qt::StringLiterals;

// korvanta-db: creates and fills the store of a station (see DbToolUsage()).
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"korvanta-db"_s);
    QLocale::setDefault(QLocale::system());
    QTextStream out(stdout);
    QTextStream err(stderr);
    return RunDbTool(QCoreApplication::arguments().mid(1), out, err);
}
