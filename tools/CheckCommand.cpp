// korvanta-db check: every disagreement between stock cards and journal, assortment and stock cards,
// passes and their movements, receipt headers and their journal rows. Each family of checks is one
// query over the whole tables.
#include "DbTool.h"

#include "CheckReceipts.h"
#include "ToolStore.h"

#include "DataUnit.h"

#include <QTextStream>

using namespace Qt::StringLiterals;
using namespace Tool;

namespace {

constexpr int kMaxShown = 200;

}  // namespace

int TDbTool::Check()
{
    TDatabase& db = *m_data.ffDatabase;
    const QString org = m_data.Prodejna;
    RequireTables(db, org, {u"SOR"_s, u"SKL"_s, u"DEN"_s, u"LEG"_s, u"LEP"_s});
    const QString sor = Sql(TableDef(u"SOR"_s), org);
    const QString skl = Sql(TableDef(u"SKL"_s), org);
    const QString den = Sql(TableDef(u"DEN"_s), org);
    const QString leg = Sql(TableDef(u"LEG"_s), org);
    const QString lep = Sql(TableDef(u"LEP"_s), org);
    const QVariant yes = db.Kind() == TStoreKind::Postgres ? QVariant(true) : QVariant(1);

    int found = 0;
    auto report = [&](const QString& text) {
        if (++found <= kMaxShown)
            m_out << text << Qt::endl;
    };
    auto variant = [](const QVariantList& r) { return r[0].toString() + u'/' + r[1].toString(); };

    // Stock cards against the journal: opening stock plus every movement, and the stock that the
    // variant's latest movement left.
    const auto cards =
        Rows(db,
             uR"(SELECT k."SKL_KAV", k."SKL_IND", k."SKL_POC", k."SKL_STA", s."SOR_KAV", s."SOR_SKL",
               j.KUS, j.POCET, z."DEN_ZAS"
        FROM %1 k
        LEFT JOIN %2 s ON s."SOR_KAV" = k."SKL_KAV"
        LEFT JOIN (SELECT "DEN_KAV", "DEN_IND", SUM("DEN_KUS") AS KUS, COUNT(*) AS POCET, MAX("DEN_RAD") AS POSL
                   FROM %3 GROUP BY "DEN_KAV", "DEN_IND") j
               ON j."DEN_KAV" = k."SKL_KAV" AND j."DEN_IND" = k."SKL_IND"
        LEFT JOIN %3 z ON z."DEN_RAD" = j.POSL
        ORDER BY k."SKL_KAV", k."SKL_IND")"_s.arg(skl, sor, den));
    for (const QVariantList& r : cards) {
        if (r[4].isNull()) {
            report(u"Skladová karta %1 nemá kartu sortimentu."_s.arg(variant(r)));
            continue;
        }
        if (!SqlBool(r[5]))
            continue;  // items not kept in stock move no stock card
        const double poc = r[2].toDouble(), sta = r[3].toDouble(), kus = r[6].toDouble();
        if (!Same(sta, poc + kus))
            report(u"Skladová karta %1: zásoba %2, ale počáteční stav %3 a pohyby deníku %4 dávají %5."_s.arg(
                variant(r), Num(sta), Num(poc), Num(kus), Num(poc + kus)));
        if (r[7].toLongLong() > 0 && !Same(r[8].toDouble(), sta))
            report(u"Skladová karta %1: zásoba %2, ale poslední pohyb v deníku uvádí zásobu %3."_s.arg(
                variant(r), Num(sta), Num(r[8].toDouble())));
    }
    const auto strays = Rows(db,
                             uR"(SELECT d."DEN_KAV", d."DEN_IND", COUNT(*)
        FROM %1 d JOIN %2 s ON s."SOR_KAV" = d."DEN_KAV"
        WHERE s."SOR_SKL" = ? AND NOT EXISTS
              (SELECT 1 FROM %3 k WHERE k."SKL_KAV" = d."DEN_KAV" AND k."SKL_IND" = d."DEN_IND")
        GROUP BY d."DEN_KAV", d."DEN_IND" ORDER BY 1, 2)"_s.arg(den, sor, skl),
                             {yes});
    for (const QVariantList& r : strays)
        report(u"Deník: %1 pohybů skladové položky %2, která nemá skladovou kartu."_s.arg(r[2].toString(),
                                                                                          variant(r)));

    // Assortment cards against their stock cards.
    const auto totals = Rows(db,
                             uR"(SELECT s."SOR_KAV", s."SOR_STA", SUM(k."SKL_STA")
        FROM %1 s LEFT JOIN %2 k ON k."SKL_KAV" = s."SOR_KAV"
        GROUP BY s."SOR_KAV", s."SOR_STA" ORDER BY s."SOR_KAV")"_s.arg(sor, skl));
    for (const QVariantList& r : totals)
        if (!Same(r[1].toDouble(), r[2].toDouble()))
            report(u"Karta sortimentu %1: zásoba %2, ale součet zásob jejích skladových karet je %3."_s.arg(
                r[0].toString(), Num(r[1].toDouble()), Num(r[2].toDouble())));

    // Passes against their movements: the totals, and the balance after each movement in booking order.
    const auto passes = Rows(db,
                             uR"(SELECT g."LEG_KOD", g."LEG_POC", g."LEG_CER",
               SUM(CASE WHEN p."LEP_KOE" > 0 THEN p."LEP_KUS" * p."LEP_PC1" ELSE 0 END),
               SUM(CASE WHEN p."LEP_KOE" > 0 THEN 0 ELSE p."LEP_KUS" * p."LEP_PC1" END)
        FROM %1 g LEFT JOIN %2 p ON p."LEP_IDM" = g."LEG_IDE"
        GROUP BY g."LEG_IDE", g."LEG_KOD", g."LEG_POC", g."LEG_CER" ORDER BY g."LEG_IDE")"_s.arg(leg, lep));
    for (const QVariantList& r : passes) {
        if (!Same(r[1].toDouble(), r[3].toDouble()))
            report(u"Legitimace %1: vklady %2, ale součet vkladů v pohybech je %3."_s.arg(
                r[0].toString(), Num(r[1].toDouble()), Num(r[3].toDouble())));
        if (!Same(r[2].toDouble(), r[4].toDouble()))
            report(u"Legitimace %1: čerpání %2, ale součet výběrů v pohybech je %3."_s.arg(
                r[0].toString(), Num(r[2].toDouble()), Num(r[4].toDouble())));
    }
    const auto balances = Rows(db,
                               uR"(SELECT x."LEP_IDE", g."LEG_KOD", x."LEP_ZUS", x.ZUS
        FROM (SELECT "LEP_IDE", "LEP_IDM", "LEP_ZUS",
                     SUM(CASE WHEN "LEP_KOE" > 0 THEN 1 ELSE -1 END * "LEP_KUS" * "LEP_PC1")
                         OVER (PARTITION BY "LEP_IDM" ORDER BY "LEP_IDE" ROWS UNBOUNDED PRECEDING) AS ZUS
              FROM %1) x
        JOIN %2 g ON g."LEG_IDE" = x."LEP_IDM"
        WHERE ABS(COALESCE(x.ZUS, 0) - COALESCE(x."LEP_ZUS", 0))
              > 0.000001 * (1 + ABS(COALESCE(x.ZUS, 0)) + ABS(COALESCE(x."LEP_ZUS", 0)))
        ORDER BY x."LEP_IDM", x."LEP_IDE")"_s.arg(lep, leg));
    for (const QVariantList& r : balances)
        report(u"Legitimace %1, pohyb %2: zůstatek %3, ale pohyby do něj včetně dávají %4."_s.arg(
            r[1].toString(), r[0].toString(), Num(r[2].toDouble()), Num(r[3].toDouble())));
    const auto orphans = Rows(db,
                              uR"(SELECT p."LEP_IDM", COUNT(*) FROM %1 p
        WHERE NOT EXISTS (SELECT 1 FROM %2 g WHERE g."LEG_IDE" = p."LEP_IDM")
        GROUP BY p."LEP_IDM" ORDER BY 1)"_s.arg(lep, leg));
    // Deleting a pass keeps its movements, so they are a note, not a disagreement.
    for (const QVariantList& r : orphans)
        m_out
            << u"Poznámka: %1 pohybů patří smazané legitimaci s ID %2 (pohyby smazané legitimace se ponechávají)."_s
                   .arg(r[1].toString(), r[0].toString())
            << Qt::endl;

    CheckReceipts(m_data, GrossPrices(db, m_data), report);

    if (found > 0) {
        if (found > kMaxShown)
            m_out << u"… a dalších %1."_s.arg(found - kMaxShown) << Qt::endl;
        m_out << u"Kontrola organizace %1: nalezeno nesouhlasů: %2."_s.arg(org).arg(found) << Qt::endl;
        return found;
    }
    auto count = [&](const QString& table) {
        return Scalar(db, u"SELECT COUNT(*) FROM "_s + table).toLongLong();
    };
    m_out << u"Kontrola organizace %1 v pořádku: %2 karet sortimentu, %3 skladových karet, %4 řádků deníku, "
             u"%5 legitimací, %6 pohybů legitimací."_s.arg(org)
                 .arg(totals.size())
                 .arg(cards.size())
                 .arg(count(den))
                 .arg(passes.size())
                 .arg(count(lep))
          << Qt::endl;
    return 0;
}
