// Rebuild of a card's stock figures from the movement journal.
#include "DataUnit.h"
#include "Messages.h"
#include "StockSupport.h"

#include <cmath>

using namespace Qt::StringLiterals;
using namespace Stock;

namespace {

// Journal rows read per query while summing one variant.
constexpr int kBlockRows = 4096;

// One variant's stock write; a failure keeps the old figure. The savepoint keeps the surrounding
// transaction usable after a failed statement (PostgreSQL would otherwise abort all of it).
void WriteVariantStock(TDatabase& db, TTable& skl, double stock)
{
    db.ExecDirect(u"SAVEPOINT kv_variant"_s);
    try {
        skl.Edit();
        skl.FieldByName(u"SKL_STA"_s).SetAsFloat(stock);
        skl.Post();
    } catch (const EDatabaseError&) {
        CancelEdit(skl);
        db.ExecDirect(u"ROLLBACK TO SAVEPOINT kv_variant"_s);
    }
    db.ExecDirect(u"RELEASE SAVEPOINT kv_variant"_s);
}

}  // namespace

bool TData::RekonstrukceKarty(QString cardCode)
{
    TTable& skl = *ffSklad;
    TTable& sor = *ffSortiment;
    TTable& den = *ffDenik;
    TDatabase& db = *ffDatabase;

    TCursorState sklState = Note(skl);
    TCursorState sorState = Note(sor);
    TCursorState denState = Note(den);
    sor.Open();
    den.Open();
    skl.Open();
    sor.SetIndexName(u"KAV"_s);

    bool result = false;
    if (sor.FindKey({cardCode})) {
        // The whole rebuild is one transaction that holds the assortment card, the lock every
        // posting of this card takes first: no sale of the card can slip between summing the journal
        // and writing the figures. A caller's transaction is joined instead.
        const bool ownTransaction = !db.InTransaction();
        try {
            if (ownTransaction)
                db.StartTransaction();
            sor.Edit();
            const bool stockItem = sor.FieldByName(u"SOR_SKL"_s).AsBoolean();
            const QString name = sor.FieldByName(u"SOR_NAC"_s).AsString();
            skl.SetIndexName(u"KAV"_s);
            skl.SetRange({cardCode, u"000"_s}, {cardCode, u"999"_s});
            double total = 0;
            if (stockItem) {
                bool busy = false;
                TScopeExit endBusy([&] {
                    if (busy && BusyCursor)
                        BusyCursor(false);
                });
                const int kusField = den.FieldIndex(u"DEN_KUS"_s);
                for (skl.First(); !skl.Eof(); skl.Next()) {
                    double stock = skl.FieldByName(u"SKL_POC"_s).AsFloat();
                    const QString variant = skl.FieldByName(u"SKL_IND"_s).AsString();
                    den.SetIndexName(u"KAV"_s);
                    den.SetRange({cardCode, variant}, {cardCode, variant});
                    if (!busy && BusyCursor)
                        BusyCursor(true);
                    busy = true;
                    const int count = den.RecordCount();

                    if (ProgressShow)
                        ProgressShow(u"Rekonstrukce skladové karty"_s, u"Název sortimentu "_s, name);
                    bool shown = true;
                    TScopeExit hide([&] {
                        if (shown && ProgressHide)
                            ProgressHide();
                    });
                    // Sum in index order (the order of posting), block by block; the cursor stays put.
                    int done = 0;
                    TRow last;
                    for (bool more = true; more;) {
                        const QList<TRow> rows = den.ReadRows(done ? &last : nullptr, kBlockRows, true);
                        for (const TRow& r : rows)
                            stock += r.values.at(kusField).toDouble();
                        done += int(rows.size());
                        more = rows.size() == kBlockRows;
                        if (!rows.isEmpty())
                            last = rows.last();
                        if (ProgressStep && count > 0)
                            ProgressStep(int(std::lround(100.0 * std::min(done, count) / count)));
                    }
                    if (ProgressHide)
                        ProgressHide();
                    shown = false;

                    if (skl.FieldByName(u"SKL_STA"_s).AsFloat() != stock)
                        WriteVariantStock(db, skl, stock);
                    total += skl.FieldByName(u"SKL_STA"_s).AsFloat();
                }
            } else {
                // Goods not kept in stock hold no stock on any variant.
                for (skl.First(); !skl.Eof(); skl.Next())
                    WriteVariantStock(db, skl, 0);
            }
            sor.FieldByName(u"SOR_STA"_s).SetAsFloat(total);
            sor.Post();
            skl.CancelRange();
            if (ownTransaction)
                db.Commit();
            result = true;
        } catch (const EDatabaseError&) {
            CancelEdit(skl);
            CancelEdit(sor);
            if (ownTransaction)
                db.Rollback();
            result = false;
        }
    }

    // The stock cards were positioned by the caller; say so when that record has gone.
    if (sklState.wasOpen && sklState.mark.valid && !skl.BookmarkValid(sklState.mark))
        ShowMessage(u"No valid bookmark"_s);
    Restore(sklState);
    Restore(denState);
    Restore(sorState);
    return result;
}
