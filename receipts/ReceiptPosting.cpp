#include "ReceiptPosting.h"

#include "DataUnit.h"
#include "ReceiptLog.h"
#include "StockEngine.h"
#include "TableGuards.h"
#include "Transaction.h"

#include <QSet>

using namespace Qt::StringLiterals;

namespace Receipts {

namespace {

const QStringList kTotalFields{u"HLA_CUH"_s, u"HLA_PCA"_s, u"HLA_NCA"_s, u"HLA_Z22"_s,
                               u"HLA_Z05"_s, u"HLA_Z00"_s, u"HLA_D22"_s, u"HLA_D05"_s};

void AddTo(TTable& uce, const QString& field, double change)
{
    TField f = uce.FieldByName(field);
    f.SetAsFloat(f.AsFloat() + change);
}

// The header as the window left it before a posting: what to put back if the posting fails.
class THeaderKeeper {
public:
    explicit THeaderKeeper(TTable& uce) : m_uce(uce)
    {
        for (int i = 0; i < uce.FieldCount(); ++i)
            m_values << uce.GetFieldValue(i);
        for (const QString& f : kTotalFields)
            m_totals.insert(uce.FieldIndex(f));
    }

    // After the rollback: the stored record (its stored totals) in edit state again, with the values
    // the window had typed into the other fields.
    void Restore()
    {
        CancelEdit(m_uce);
        m_uce.Edit();
        for (int i = 0; i < m_values.size(); ++i)
            if (!m_totals.contains(i) && !m_uce.Def().fields[i].calculated &&
                m_uce.GetFieldValue(i) != m_values[i])
                m_uce.SetFieldValue(i, m_values[i]);
    }

private:
    TTable& m_uce;
    QVector<QVariant> m_values;
    QSet<int> m_totals;
};

// The header's new totals, written in the posting's transaction.
void PostHeader(TTable& uce, const TTotals& t)
{
    uce.Edit();
    AddTo(uce, u"HLA_CUH"_s, t.cuh);
    AddTo(uce, u"HLA_PCA"_s, t.pca);
    AddTo(uce, u"HLA_NCA"_s, t.nca);
    AddTo(uce, u"HLA_Z22"_s, t.z22);
    AddTo(uce, u"HLA_Z05"_s, t.z05);
    AddTo(uce, u"HLA_Z00"_s, t.z00);
    AddTo(uce, u"HLA_D22"_s, t.d22);
    AddTo(uce, u"HLA_D05"_s, t.d05);
    uce.Post();
}

QString Describe(const TPartMovement& m)
{
    return u"karta %1, varianta %2, účtenka %3, množství %4"_s.arg(m.card, m.variant, m.doc).arg(m.quantity);
}

}  // namespace

bool PostPart(TData& data, const TPartMovement& m, const TTotals& totals)
{
    const TStockMovement movement =
        m.commission
            ? TStockMovement::Commission(m.card, m.variant, m.doc, u"005"_s, u"300"_s, m.linePrice, m.vatRate,
                                         m.quantity, m.price)
            : TStockMovement::Plain(m.card, m.variant, m.doc, u"005"_s, m.price, m.vatRate, m.quantity);
    TTable& uce = *data.ffUctenky;
    THeaderKeeper keeper(uce);
    try {
        // The stock posting first (it holds the card and the variant), then the header: one
        // transaction, so that the stored header always carries exactly the posted parts.
        TTransaction tx(*data.ffDatabase);
        if (!data.Stock().PostInTransaction(movement))
            return false;  // no such card or variant: nothing written, the guard rolls back
        PostHeader(uce, totals);
        tx.Commit();
    } catch (const EDatabaseError& e) {
        // The guard has rolled everything back: the journal, the cards and the header are as before.
        qCWarning(lcReceipts).noquote() << "posting rolled back:" << Describe(m) << "-" << e.Message();
        for (TTable* t : {data.ffDenik.get(), data.ffSklad.get(), data.ffSortiment.get()}) {
            CancelEdit(*t);
            try {
                if (t->Active())
                    t->Refresh();  // it may stand on a row or on values the rollback took away
            } catch (const EDatabaseError& re) {
                qCWarning(lcReceipts).noquote() << "cursor not read again:" << re.Message();
            }
        }
        keeper.Restore();
        return false;
    }
    uce.Edit();
    return true;
}

}  // namespace Receipts
