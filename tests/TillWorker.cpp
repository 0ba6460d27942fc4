// One till as a process of its own, for the multi-till test: posts sales on the store named on the
// command line and prints how many postings succeeded.
//   kv_till_worker LOCAL|TCPIP <directory> <alias> <host[:port]> <till> <count>
#include "DataUnit.h"
#include "TillSales.h"

#include <QCoreApplication>
#include <QLocale>

#include <cstdio>

using namespace Qt::StringLiterals;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Czech, QLocale::Czechia));
    const QStringList args = app.arguments();
    if (args.size() != 7) {
        std::fprintf(stderr, "usage: kv_till_worker LOCAL|TCPIP dir alias host till count\n");
        return 2;
    }
    try {
        TData data(args[2]);
        data.CestaProgramu = args[2] + u'/';
        data.Prodejna = u"0001"_s;
        data.Protocol = args[1];
        data.ffCommsEngine.Protocol = args[1];
        data.ServerName = u"ACC"_s;
        data.Host = args[4];
        data.AliasName = args[3];
        data.UzivatelIni = u"T"_s + args[5];
        data.SetTableNames();
        data.Connect();
        const int ok = TillSales::SellMany(data, args[5].toInt(), args[6].toInt());
        std::printf("%d\n", ok);
        return 0;
    } catch (const EDatabaseError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
