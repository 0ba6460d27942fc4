// Speed of the receipt overview on a large station: opening on the last receipt, the three searches,
// the lines of a 50-line receipt rebuilt for a correction or reprint, and the resident memory with the
// overview open. The station is one that korvanta-db generated (bench/run-overview makes it).
#include "DBGrid.h"
#include "DataUnit.h"
#include "FrameUnit.h"
#include "Messages.h"
#include "PrehledUctenekUnit.h"
#include "ReceiptPrint.h"

#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

int g_missed = 0;

// The lowest elapsed time of `reps` runs, in milliseconds.
double Lowest(int reps, const std::function<void()>& run)
{
    double best = 1e300;
    for (int i = 0; i < reps; ++i) {
        QElapsedTimer t;
        t.start();
        run();
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}

void Report(const char* what, double value, double target, const char* unit = "ms")
{
    const bool pass = value < target;
    g_missed += !pass;
    std::printf("%-58s %10.2f %s  (target < %g %s: %s)\n", what, value, unit, target, unit,
                pass ? "PASS" : "MISS");
}

double ResidentMb()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Czech, QLocale::Czechia));
    if (argc < 2) {
        std::fprintf(stderr, "usage: kv_bench_overview STATION_DIR [RECEIPT_OF_50_LINES]\n");
        return 2;
    }
    SetMessageHandler([](TMessageKind, const QString& text) {
        std::fprintf(stderr, "kv_bench_overview: %s\n", text.toLocal8Bit().constData());
        return true;
    });
    TData data(QString::fromLocal8Bit(argv[1]));
    data.LoginDialog = [](QString&, QString&) { return false; };
    data.DataModuleCreate();
    if (data.Terminated() || !data.ffDatabase->Connected()) {
        std::fprintf(stderr, "kv_bench_overview: the station did not start\n");
        return 1;
    }
    const QString fifty = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();

    // Where an opening's time goes: the table on its last receipt, its count, the place of the record.
    {
        double tLast = 0, tCount = 0, tRecNo = 0;
        tLast = Lowest(5, [&] {
            data.OpenffUce(u"DO1"_s);
            data.ffUctenky->Last();
            data.CloseffUce();
        });
        data.OpenffUce(u"DO1"_s);
        data.ffUctenky->Last();
        tCount = Lowest(3, [&] { (void)data.ffUctenky->RecordCount(); });
        tRecNo = Lowest(3, [&] { (void)data.ffUctenky->RecNo(); });
        data.CloseffUce();
        std::printf("  open + Last %.2f ms, record count %.2f ms, place of the record %.2f ms\n", tLast,
                    tCount, tRecNo);
    }

    // Opening: the window, its table on the last receipt and the grid's first rows on screen.
    QString last;
    const double open = Lowest(5, [&] {
        TPrehledUctenek overview(data, nullptr);
        overview.show();
        (void)QTest::qWaitForWindowExposed(&overview);
        QCoreApplication::processEvents();
        last = data.ffUctenky->FieldByName(u"HLA_DO1"_s).AsString();
        overview.reject();
    });
    const int receipts = [&] {
        data.OpenffUce(u"DO1"_s);
        const int n = data.ffUctenky->RecordCount();
        data.CloseffUce();
        return n;
    }();
    std::printf("station: %d receipts, last %s\n", receipts, last.toLocal8Bit().constData());
    Report("overview opens on its last receipt", open, 50);

    TPrehledUctenek overview(data, nullptr);
    overview.show();
    (void)QTest::qWaitForWindowExposed(&overview);
    QCoreApplication::processEvents();
    TTable& uce = *data.ffUctenky;

    const QString middle = u"%1"_s.arg(qMax(1, receipts / 2), 10, 10, QChar(u'0'));
    // The table positioned on the receipt found, before the grid shows it.
    const QVariant day = QDate::currentDate().addDays(-180).startOfDay();
    for (const auto& [index, key] :
         {std::pair{u"DO1"_s, QVariant(middle)}, std::pair{u"DO2"_s, QVariant(u"0000000000"_s)},
          std::pair{u"DAT"_s, day}}) {
        const double landing = Lowest(1, [&] {
            uce.SetIndexName(index);
            uce.FindNearest({key});
            (void)uce.FieldByName(u"HLA_DO1"_s).AsString();
        });
        Report(qPrintable(u"search lands on index "_s + index + u" (table only)"_s), landing, 50);
    }
    Report("search by receipt number (DO1) with the grid refreshed",
           Lowest(20,
                  [&] {
                      uce.SetIndexName(u"DO1"_s);
                      uce.FindNearest({middle});
                      overview.Grid()->Reload();
                      QCoreApplication::processEvents();
                  }),
           50);
    Report("search by till closure (DO2) with the grid refreshed",
           Lowest(20,
                  [&] {
                      uce.SetIndexName(u"DO2"_s);
                      uce.FindNearest({u"0000000000"_s});
                      overview.Grid()->Reload();
                      QCoreApplication::processEvents();
                  }),
           50);
    Report("search by date of issue (DAT) with the grid refreshed",
           Lowest(20,
                  [&] {
                      uce.SetIndexName(u"DAT"_s);
                      uce.FindNearest({day});
                      overview.Grid()->Reload();
                      QCoreApplication::processEvents();
                  }),
           50);

    if (!fifty.isEmpty()) {
        uce.SetIndexName(u"DO1"_s);
        if (uce.FindKey({fifty})) {
            int lines = 0;
            Report("lines of a 50-line receipt ready for correction/reprint",
                   Lowest(20,
                          [&] {
                              ReceiptPrint::LoadLines(data);
                              lines = data.DokladObsah->RecordCount();
                              data.DokladObsah->Close();
                          }),
                   20);
            std::printf("  (%d lines merged from 50 journal rows)\n", lines);
        } else {
            std::printf("receipt %s not found\n", fifty.toLocal8Bit().constData());
            ++g_missed;
        }
    }
    Report("resident memory with the overview open", ResidentMb(), 150, "MB");
    overview.reject();
    return g_missed == 0 ? 0 : 3;
}
