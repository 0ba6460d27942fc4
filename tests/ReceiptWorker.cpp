// One receipt till as a process of its own, for the several-tills and killed-till tests: sells
// receipts on the store named on the command line and prints how many were numbered. With a count of
// 0 it prints "ready" once connected and sells until it is killed.
//   kv_receipt_worker LOCAL|TCPIP <directory> <alias> <host[:port]> <till> <count>
#include "DataUnit.h"
#include "Messages.h"
#include "ReceiptTill.h"

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
        std::fprintf(stderr, "usage: kv_receipt_worker LOCAL|TCPIP dir alias host till count\n");
        return 2;
    }
    // The operator's messages would only fill the test's output.
    SetMessageHandler([](TMessageKind, const QString&) { return true; });
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
        data.ZakladniCenySDPH = 2;
        data.SetTableNames();
        data.Connect();
        const int till = args[5].toInt();
        const int count = args[6].toInt();
        if (count == 0) {
            std::printf("ready\n");
            std::fflush(stdout);
            for (int i = 0;; ++i)
                ReceiptTill::SellReceipt(data, till * 7919 + i);
        }
        int numbered = 0;
        for (int i = 0; i < count; ++i)
            numbered += ReceiptTill::SellReceipt(data, till * 7919 + i) ? 1 : 0;
        std::printf("%d\n", numbered);
        return 0;
    } catch (const EDatabaseError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
