// Loading of a stored document's lines from the movement journal into DokladObsah.
#include "Messages.h"
#include "StockEngine.h"
#include "StockSupport.h"
#include "TableGuards.h"

#include <QHash>
#include <QSet>
#include <QSqlQuery>

#include <algorithm>
#include <optional>

using namespace Qt::StringLiterals;
using namespace Stock;

namespace {

// Journal rows read per query; a receipt rarely has more lines than this.
constexpr int kFirstBlock = 64;

// Cards looked up per query by the document loading.
constexpr int kCardsPerQuery = 32;

bool Listed(const QString& list, const QString& op)
{
    return !op.isEmpty() && list.contains(op);
}

struct TCardName {
    QString name, group;
};

// Name and group of each card of a document: a few queries in place of one look-up per line, which
// on a server across the network would cost a round trip each.
QHash<QString, TCardName> CardNames(TDatabase& db, const QString& table, const QStringList& cards)
{
    QStringList marks;
    for (int i = 0; i < kCardsPerQuery; ++i)
        marks << u"?"_s;
    QSqlQuery& q =
        db.Prepare(u"SELECT \"SOR_KAV\", \"SOR_NAC\", \"SOR_SKU\" FROM "_s + TDatabase::TableSql(table) +
                   u" WHERE \"SOR_KAV\" IN ("_s + marks.join(u", "_s) + u')');
    QHash<QString, TCardName> names;
    for (qsizetype at = 0; at < cards.size(); at += kCardsPerQuery) {
        for (int i = 0; i < kCardsPerQuery; ++i)
            q.bindValue(i, cards.at(std::min(at + i, cards.size() - 1)));  // the last card fills the rest
        TDatabase::Exec(q);
        while (q.next())
            names.insert(q.value(0).toString(), TCardName{q.value(1).toString(), q.value(2).toString()});
        q.finish();
    }
    return names;
}

}  // namespace

void TStockEngine::GetDoklad(QString docNumber, QString pcsOps, QString pomOps, QString slpOps,
                             QString rabOps, int docType)
{
    TTable& den = m_t.denik;
    TTable& sor = m_t.sortiment;
    TMemTable& dok = m_t.doklad;

    // The assortment is read by one query of its own below; an open assortment still gets index "KAV".
    TCloseIfOpened denCloser(den);
    if (denCloser.Opened()) {
        den.SetIndexName(u"DOK"_s);
        den.Open();
    }
    if (sor.Active())
        sor.SetIndexName(u"KAV"_s);
    den.SetIndexName(u"DOK"_s);
    dok.Open();

    if (!den.FindKey({docNumber}))
        return;

    // The document's rows follow each other on index "DOK": read them in blocks from the first one
    // without stepping the cursor row by row.
    const int fDok = den.FieldIndex(u"DEN_DOK"_s), fKav = den.FieldIndex(u"DEN_KAV"_s),
              fInd = den.FieldIndex(u"DEN_IND"_s), fOpe = den.FieldIndex(u"DEN_OPE"_s),
              fKus = den.FieldIndex(u"DEN_KUS"_s), fHpc = den.FieldIndex(u"DEN_HPC"_s),
              fHnc = den.FieldIndex(u"DEN_HNC"_s), fDan = den.FieldIndex(u"DEN_DAN"_s);
    QList<TRow> rows{den.CurrentRow()};
    bool more = true;
    std::optional<TRow> after;  // the first row past the document, where the cursor ends
    for (int block = kFirstBlock; more;) {
        const TRow last = rows.last();
        const QList<TRow> next = den.ReadRows(&last, block, true);
        more = next.size() == block;
        for (const TRow& r : next) {
            if (r.values.at(fDok).toString() != docNumber) {
                after = r;
                more = false;
                break;
            }
            rows.append(r);
        }
        block *= 2;
    }
    if (rows.first().values.at(fDok).toString() != docNumber)
        rows.clear();  // the key matched only after the text was cut to the field's size

    QStringList cards;
    QSet<QString> seen;
    for (const TRow& r : rows)
        if (const QString card = r.values.at(fKav).toString(); !seen.contains(card)) {
            seen.insert(card);
            cards << card;
        }
    const QHash<QString, TCardName> names = CardNames(m_t.db, sor.TableName(), cards);

    const bool grossPrices = m_settings.priceMode == 2;
    for (const TRow& r : rows) {
        const QString card = r.values.at(fKav).toString();
        const QString variant = r.values.at(fInd).toString();
        const QString op = r.values.at(fOpe).toString();
        const double kus = r.values.at(fKus).toDouble(), hpc = r.values.at(fHpc).toDouble(),
                     hnc = r.values.at(fHnc).toDouble(), dan = r.values.at(fDan).toDouble();
        double q, a, n, v;
        switch (docType) {
        case 1:
            q = kus, a = hpc, n = hnc, v = a * dan / 100;
            break;
        case 2:
        case 4:
        case 5:
        case 6:
        case 7:
        case 8:
        case 9:
            q = -kus, a = -hpc, n = -hnc, v = a * dan / 100;
            break;
        case 3:
            q = kus, a = hpc, n = hnc, v = n * dan / 100;
            break;
        default:
            // No rule for the type: tell it and leave the record out.
            ShowMessage(u"Není definován typ"_s);
            continue;
        }
        const double p = grossPrices ? a + a * dan / 100 : a;

        const auto add = [&](const QString& field, double value) {
            TField f = dok.FieldByName(field);
            f.SetAsFloat(f.AsFloat() + value);
        };
        const auto addListed = [&] {
            if (Listed(pcsOps, op))
                add(u"DOK_PCS"_s, p);
            if (Listed(rabOps, op))
                add(u"DOK_RAB"_s, p);
            if (Listed(slpOps, op))
                add(u"DOK_SLP"_s, p);
            if (Listed(pomOps, op))
                add(u"DOK_POM"_s, p);
        };
        const auto setRatios = [&] {
            const double lineQty = dok.FieldByName(u"DOK_KUS"_s).AsFloat();
            if (lineQty != 0) {
                dok.FieldByName(u"DOK_PC1"_s).SetAsFloat(dok.FieldByName(u"DOK_PCC"_s).AsFloat() / lineQty);
                dok.FieldByName(u"DOK_NC1"_s).SetAsFloat(dok.FieldByName(u"DOK_NCC"_s).AsFloat() / lineQty);
            }
            const double pcs = dok.FieldByName(u"DOK_PCS"_s).AsFloat();
            // "+ 0.0": no discount reads 0, not -0.
            if (pcs != 0)
                dok.FieldByName(u"DOK_RAP"_s)
                    .SetAsFloat(-dok.FieldByName(u"DOK_RAB"_s).AsFloat() / (pcs / 100) + 0.0);
        };

        if (dok.Locate(u"DOK_KAV;DOK_IND"_s, {card, variant})) {
            dok.Edit();
            add(u"DOK_KUS"_s, q);
            add(u"DOK_PCC"_s, p);
            addListed();
            add(u"DOK_NCC"_s, n);
            add(u"DOK_DPH"_s, v);
            setRatios();
            dok.Post();
        } else {
            dok.Append();
            dok.FieldByName(u"DOK_KAV"_s).SetAsString(card);
            dok.FieldByName(u"DOK_IND"_s).SetAsString(variant);
            dok.FieldByName(u"DOK_PCC"_s).SetAsFloat(p);
            addListed();
            dok.FieldByName(u"DOK_NCC"_s).SetAsFloat(n);
            dok.FieldByName(u"DOK_KUS"_s).SetAsFloat(q);
            dok.FieldByName(u"DOK_DAN"_s).SetAsFloat(dan);
            dok.FieldByName(u"DOK_DPH"_s).SetAsFloat(v);
            dok.FieldByName(u"DOK_CIS"_s).SetAsString(docNumber);
            if (const auto it = names.constFind(card); it != names.cend()) {
                dok.FieldByName(u"DOK_NAZ"_s).SetAsString(it->name);
                dok.FieldByName(u"DOK_SKU"_s).SetAsString(it->group);
            } else {
                dok.FieldByName(u"DOK_NAZ"_s).SetAsString(u"Sortiment "_s + card);
                dok.FieldByName(u"DOK_SKU"_s).SetAsString(u"000"_s);
            }
            setRatios();
            dok.Post();
        }
    }

    // A journal left open stands where a record-by-record walk would have ended.
    if (!denCloser.Opened()) {
        if (after) {
            den.GotoRow(*after);
        } else if (!rows.isEmpty()) {
            den.GotoRow(rows.last());
            den.Next();
        }
    }
}
