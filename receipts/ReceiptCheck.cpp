#include "ReceiptCheck.h"

#include "Database.h"
#include "Schema.h"

#include <QHash>

using namespace Qt::StringLiterals;

namespace Receipts {

int CheckReceiptHeaders(TDatabase& db, const QString& organisation, TPriceBasis basis, const TVatRates& rates,
                        const std::function<void(const QString&)>& report)
{
    const QString uce = TDatabase::TableSql(TableNameFor(TableDef(u"UCE"_s), organisation));
    const QString den = TDatabase::TableSql(TableNameFor(TableDef(u"DEN"_s), organisation));
    const QString sor = TDatabase::TableSql(TableNameFor(TableDef(u"SOR"_s), organisation));

    // The journal of every document, summed per kind of row: what follows from a row depends only on
    // its operation, rate, the way it was posted, its card's kind and its sign.
    const auto groups = db.SelectRows(
        uR"(SELECT d."DEN_DOK", d."DEN_OPE", d."DEN_DAN",
                   CASE WHEN d."DEN_POZ" IS NULL THEN 0 ELSE 1 END,
                   CASE WHEN s."SOR_SKL" IS NULL OR s."SOR_SKL" THEN 1 ELSE 0 END,
                   CASE WHEN d."DEN_HPC" < 0 THEN 1 ELSE 0 END,
                   SUM(d."DEN_HPC"), SUM(d."DEN_HNC"), SUM(d."DEN_KUS")
            FROM %1 d LEFT JOIN %2 s ON s."SOR_KAV" = d."DEN_KAV"
            WHERE d."DEN_OPE" IN (?, ?)
            GROUP BY 1, 2, 3, 4, 5, 6)"_s.arg(den, sor),
        {u"005"_s, u"300"_s});
    QHash<QString, QList<TJournalRow>> journal;
    for (const auto& g : groups) {
        TJournalRow r;
        r.op = g[1].toString();
        r.dan = g[2].toDouble();
        r.viaLine = g[3].toInt() != 0;
        r.stockItem = g[4].toInt() != 0;
        r.hpc = g[6].toDouble();
        r.hnc = g[7].toDouble();
        r.kus = g[8].toDouble();
        journal[g[0].toString()] << r;
    }

    const auto headers = db.SelectRows(
        uR"(SELECT "HLA_DO1", "HLA_CUH", "HLA_PCA", "HLA_NCA", "HLA_Z22", "HLA_Z05", "HLA_Z00", "HLA_D22",
                   "HLA_D05" FROM %1 ORDER BY "HLA_DO1")"_s.arg(uce),
        {});
    int found = 0;
    for (const auto& h : headers) {
        TTotals t;
        t.cuh = h[1].toDouble();
        t.pca = h[2].toDouble();
        t.nca = h[3].toDouble();
        t.z22 = h[4].toDouble();
        t.z05 = h[5].toDouble();
        t.z00 = h[6].toDouble();
        t.d22 = h[7].toDouble();
        t.d05 = h[8].toDouble();
        const QString number = h[0].toString();
        const QStringList wrong =
            HeaderDisagreements(t, ExpectedFromJournal(journal.value(number), basis, rates));
        if (wrong.isEmpty())
            continue;
        ++found;
        if (report)
            report(u"Účtenka %1 nesouhlasí s deníkem: %2."_s.arg(number, wrong.join(u", "_s)));
    }
    return found;
}

}  // namespace Receipts
