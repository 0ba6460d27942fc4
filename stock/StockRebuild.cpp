// Rebuild of a card's stock figures from the movement journal.
#include "Messages.h"
#include "StockEngine.h"
#include "StockSupport.h"
#include "TableGuards.h"
#include "Transaction.h"

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
    TSavepoint savepoint(db, u"kv_variant"_s);
    try {
        skl.Edit();
        skl.FieldByName(u"SKL_STA"_s).SetAsFloat(stock);
        skl.Post();
    } catch (const EDatabaseError& e) {
        qCWarning(lcStock).noquote() << "stock figure of variant" << skl.FieldByName(u"SKL_KAV"_s).AsString()
                                     << skl.FieldByName(u"SKL_IND"_s).AsString() << "kept, writing" << stock
                                     << "failed:" << e.Message();
        CancelEdit(skl);
        savepoint.Rollback();
        return;
    }
    savepoint.Release();
}

}  // namespace

bool TStockEngine::RekonstrukceKarty(QString cardCode)
{
    TTable& skl = m_t.sklad;
    TTable& sor = m_t.sortiment;
    TTable& den = m_t.denik;
    TDatabase& db = m_t.db;

    TCursorState sklState = NoteCursor(skl);
    TCursorState sorState = NoteCursor(sor);
    TCursorState denState = NoteCursor(den);
    sor.Open();
    den.Open();
    skl.Open();
    sor.SetIndexName(u"KAV"_s);

    bool result = false;
    if (sor.FindKey({cardCode})) {
        // The whole rebuild is one transaction that holds the assortment card, the lock every
        // posting of this card takes first: no sale of the card can slip between summing the journal
        // and writing the figures. A caller's transaction is joined instead.
        try {
            TTransaction tx(db, TTransaction::JoinOpen);
            sor.Edit();
            const bool stockItem = sor.FieldByName(u"SOR_SKL"_s).AsBoolean();
            const QString name = sor.FieldByName(u"SOR_NAC"_s).AsString();
            skl.SetIndexName(u"KAV"_s);
            skl.SetRange({cardCode, u"000"_s}, {cardCode, u"999"_s});
            double total = 0;
            if (stockItem) {
                bool busy = false;
                TScopeExit endBusy([&] {
                    if (busy && Hooks.busyCursor)
                        Hooks.busyCursor(false);
                });
                const int kusField = den.FieldIndex(u"DEN_KUS"_s);
                for (skl.First(); !skl.Eof(); skl.Next()) {
                    double stock = skl.FieldByName(u"SKL_POC"_s).AsFloat();
                    const QString variant = skl.FieldByName(u"SKL_IND"_s).AsString();
                    den.SetIndexName(u"KAV"_s);
                    den.SetRange({cardCode, variant}, {cardCode, variant});
                    if (!busy && Hooks.busyCursor)
                        Hooks.busyCursor(true);
                    busy = true;
                    const int count = den.RecordCount();

                    if (Hooks.progressShow)
                        Hooks.progressShow(u"Rekonstrukce skladové karty"_s, u"Název sortimentu "_s, name);
                    bool shown = true;
                    TScopeExit hide([&] {
                        if (shown && Hooks.progressHide)
                            Hooks.progressHide();
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
                        if (Hooks.progressStep && count > 0)
                            Hooks.progressStep(int(std::lround(100.0 * std::min(done, count) / count)));
                    }
                    if (Hooks.progressHide)
                        Hooks.progressHide();
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
            tx.Commit();
            result = true;
        } catch (const EDatabaseError& e) {
            // The guard has rolled back a transaction of its own; a joined one is the caller's.
            qCWarning(lcStock).noquote() << "rebuild of card" << cardCode << "failed:" << e.Message();
            CancelEdit(skl);
            CancelEdit(sor);
            result = false;
        }
    }

    // The stock cards were positioned by the caller; say so when that record has gone.
    if (sklState.wasOpen && sklState.mark.valid && !skl.BookmarkValid(sklState.mark))
        ShowMessage(u"No valid bookmark"_s);
    RestoreCursor(sklState);
    RestoreCursor(denState);
    RestoreCursor(sorState);
    return result;
}
