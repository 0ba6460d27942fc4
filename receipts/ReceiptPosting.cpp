#include "ReceiptPosting.h"

#include "DataUnit.h"
#include "Messages.h"
#include "ReceiptLog.h"

#include <QSet>

using namespace Qt::StringLiterals;

namespace Receipts {

namespace {

const QStringList kTotalFields{u"HLA_CUH"_s, u"HLA_PCA"_s, u"HLA_NCA"_s, u"HLA_Z22"_s,
                               u"HLA_Z05"_s, u"HLA_Z00"_s, u"HLA_D22"_s, u"HLA_D05"_s};

void CancelEdit(TDataSet& t)
{
    if (t.State() == TDataSetState::Edit || t.State() == TDataSetState::Insert)
        t.Cancel();
}

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
            if (!m_totals.contains(i) && !m_uce.Def().fields[i].calculated && m_uce.GetFieldValue(i) != m_values[i])
                m_uce.SetFieldValue(i, m_values[i]);
    }

private:
    TTable& m_uce;
    QVector<QVariant> m_values;
    QSet<int> m_totals;
};

// The cursor stands on a record whose field holds the value.
bool On(TTable& t, const QString& field, const QString& value)
{
    return t.Active() && t.HasRecord() && !t.Eof() && t.State() == TDataSetState::Browse &&
           t.FieldByName(field).AsString() == value;
}

class TPartPosting {
public:
    TPartPosting(TData& data, const TPartMovement& movement, const TTotals& t) : d(data), m(movement), m_totals(t) {}

    bool Run()
    {
        TTable& sor = *d.ffSortiment;
        // The caller's look-ups usually left the cursors on the card and the variant; the transaction
        // reads both again under its locks.
        if (!On(sor, u"SOR_KAV"_s, m.card) || sor.IndexName() != u"KAV"_s) {
            sor.SetIndexName(u"KAV"_s);
            if (!sor.FindKey({m.card}))
                return false;
        }
        return sor.FieldByName(u"SOR_SKL"_s).AsBoolean() ? PostStockItem() : PostOtherItem();
    }

private:
    enum class TStage { Check, Post };

    bool PostStockItem()
    {
        TTable& skl = *d.ffSklad;
        TTable& sor = *d.ffSortiment;
        TDatabase& db = *d.ffDatabase;
        if (!On(skl, u"SKL_KAV"_s, m.card) || !On(skl, u"SKL_IND"_s, m.variant) || skl.IndexName() != u"KAV"_s) {
            skl.SetIndexName(u"KAV"_s);
            if (!skl.FindKey({m.card, m.variant}))
                return false;
        }
        THeaderKeeper keeper(*d.ffUctenky);
        // The assortment card is locked first, then the variant (the order every posting and the
        // rebuild use); the check and the stock figure are read under those locks.
        bool checked = false;
        for (;;) {
            TStage stage = TStage::Check;
            db.StartTransaction();
            try {
                sor.Edit();
                skl.Edit();
                const double stock = skl.FieldByName(u"SKL_STA"_s).AsFloat();
                if (!checked) {
                    checked = true;
                    TTable& den = *d.ffDenik;
                    const QString denIndex = den.IndexName();
                    den.SetIndexName(u"STA"_s);
                    const double journal =
                        den.FindKey({m.card, m.variant}) ? den.FieldByName(u"DEN_ZAS"_s).AsFloat() : 0;
                    den.SetIndexName(denIndex);
                    if (journal != stock) {
                        // The card does not follow the journal: rebuild it, then post on the new figures.
                        CancelEdit(skl);
                        CancelEdit(sor);
                        db.Rollback();
                        qCWarning(lcReceipts) << "stock card" << m.card << m.variant << "disagrees with the journal ("
                                              << stock << "/" << journal << "), rebuilt before posting";
                        d.RekonstrukceKarty(m.card);
                        if (!m.commission)
                            ShowMessage(PlainNumber(skl.FieldByName(u"SKL_STA"_s).AsFloat()));
                        continue;
                    }
                }
                stage = TStage::Post;
                const float purchase = float(skl.FieldByName(u"SKL_SNC"_s).AsFloat());
                const double after = stock + m.quantity;
                AppendRows(purchase, after);
                skl.FieldByName(u"SKL_STA"_s).SetAsFloat(after);
                skl.Post();
                sor.FieldByName(u"SOR_STA"_s).SetAsFloat(sor.FieldByName(u"SOR_STA"_s).AsFloat() + m.quantity);
                sor.FieldByName(u"SOR_PPO"_s).SetAsDate(m_today);
                sor.Post();
                PostHeader();
                db.Commit();
            } catch (const EDatabaseError& e) {
                qCWarning(lcReceipts) << "posting of" << m.card << m.variant << "on receipt" << m.doc
                                      << "rolled back:" << e.Message();
                Abandon();
                keeper.Restore();
                if (stage == TStage::Post)
                    d.RekonstrukceKarty(m.card);
                return false;
            }
            d.ffUctenky->Edit();
            return true;
        }
    }

    bool PostOtherItem()
    {
        TDatabase& db = *d.ffDatabase;
        d.ffSklad->SetIndexName(u"KAV"_s);
        const float purchase = d.ffSklad->FindKey({m.card, m.variant})
                                   ? float(d.ffSklad->FieldByName(u"SKL_SNC"_s).AsFloat())
                                   : 0.0f;
        THeaderKeeper keeper(*d.ffUctenky);
        db.StartTransaction();
        try {
            d.ffSortiment->Edit();
            AppendRows(purchase, 0);
            d.ffSortiment->FieldByName(u"SOR_PPO"_s).SetAsDate(m_today);
            d.ffSortiment->Post();
            PostHeader();
            db.Commit();
        } catch (const EDatabaseError& e) {
            qCWarning(lcReceipts) << "posting of" << m.card << m.variant << "on receipt" << m.doc
                                  << "rolled back:" << e.Message();
            Abandon();
            keeper.Restore();
            return false;
        }
        d.ffUctenky->Edit();
        return true;
    }

    // The movement row and, for a price difference, the commission row beside it.
    void AppendRows(float purchase, double stockAfter)
    {
        TTable& den = *d.ffDenik;
        const QTime now = QTime::currentTime();
        const QTime second(now.hour(), now.minute(), now.second());
        auto append = [&](const QString& op, double quantity, double value, double purchaseValue) {
            den.Append();
            den.FieldByName(u"DEN_DAT"_s).SetAsDate(m_today);
            den.FieldByName(u"DEN_KDY"_s).SetValue(second);
            den.FieldByName(u"DEN_KAV"_s).SetAsString(m.card);
            den.FieldByName(u"DEN_IND"_s).SetAsString(m.variant);
            den.FieldByName(u"DEN_OPE"_s).SetAsString(op);
            den.FieldByName(u"DEN_KUS"_s).SetAsFloat(quantity);
            den.FieldByName(u"DEN_HPC"_s).SetAsFloat(value);
            den.FieldByName(u"DEN_HNC"_s).SetAsFloat(purchaseValue);
            if (m.commission)
                den.FieldByName(u"DEN_POZ"_s).SetAsFloat(0);
            den.FieldByName(u"DEN_DOK"_s).SetAsString(m.doc);
            den.FieldByName(u"DEN_DAN"_s).SetAsFloat(double(m.vatRate));
            den.FieldByName(u"DEN_ZAS"_s).SetAsFloat(stockAfter);
            den.FieldByName(u"DEN_REF"_s).SetAsString(d.UzivatelIni);
            den.Post();
        };
        append(u"005"_s, m.quantity, double(m.price) * m.quantity, double(purchase) * m.quantity);
        if (m.commission) {
            const float diff = m.linePrice - m.price;  // single precision, as the prices arrive
            if (float(double(diff) * m.quantity) != 0.0f)
                append(u"300"_s, 0, double(diff) * m.quantity, 0);
        }
    }

    // The header's new totals, written in the posting's transaction.
    void PostHeader()
    {
        TTable& uce = *d.ffUctenky;
        uce.Edit();
        AddTo(uce, u"HLA_CUH"_s, m_totals.cuh);
        AddTo(uce, u"HLA_PCA"_s, m_totals.pca);
        AddTo(uce, u"HLA_NCA"_s, m_totals.nca);
        AddTo(uce, u"HLA_Z22"_s, m_totals.z22);
        AddTo(uce, u"HLA_Z05"_s, m_totals.z05);
        AddTo(uce, u"HLA_Z00"_s, m_totals.z00);
        AddTo(uce, u"HLA_D22"_s, m_totals.d22);
        AddTo(uce, u"HLA_D05"_s, m_totals.d05);
        uce.Post();
    }

    // Undoes everything of a failed attempt. A failure of the rollback itself (a lost connection)
    // must not hide the error on its way out: the store drops the transaction with the connection.
    void Abandon()
    {
        CancelEdit(*d.ffDenik);
        CancelEdit(*d.ffSklad);
        CancelEdit(*d.ffSortiment);
        try {
            d.ffDatabase->Rollback();
            // The cursors may stand on rows or values that the rollback took away.
            for (TTable* t : {d.ffDenik.get(), d.ffSklad.get(), d.ffSortiment.get()})
                if (t->Active())
                    t->Refresh();
        } catch (const EDatabaseError& e) {
            qCWarning(lcReceipts) << "rollback failed:" << e.Message();
        }
    }

    TData& d;
    const TPartMovement& m;
    const TTotals& m_totals;
    const QDate m_today = QDate::currentDate();
};

}  // namespace

bool PostPart(TData& data, const TPartMovement& movement, const TTotals& totals)
{
    return TPartPosting(data, movement, totals).Run();
}

}  // namespace Receipts
