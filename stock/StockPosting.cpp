// Posting of one stock movement: journal row(s), stock card and assortment card in one transaction.
#include "DataUnit.h"
#include "Messages.h"
#include "StockSupport.h"

using namespace Qt::StringLiterals;
using namespace Stock;

namespace {

struct TMovement {
    bool commission = false;  // ZapisPohybuVarProvize: base price on the movement, difference row beside it
    QString card, variant, doc, op, diffOp;
    float price = 0;      // unit price of the movement row
    float linePrice = 0;  // commission only
    float vatRate = 0;
    double quantity = 0;
};

class TPosting {
public:
    TPosting(TData& data, const TMovement& m) : d(data), m(m) {}

    bool Run()
    {
        TCursorState sklState = Note(*d.ffSklad);
        TCursorState sorState = Note(*d.ffSortiment);
        TCursorState denState = Note(*d.ffDenik);

        // Opening, index selection and the card look-up report their errors to the caller.
        d.ffSortiment->Open();
        d.ffDenik->Open();
        d.ffSklad->Open();
        const bool denAtEnd = d.ffDenik->Eof();
        const bool sklAtEnd = d.ffSklad->Eof();
        d.ffSortiment->SetIndexName(u"KAV"_s);
        d.ffSklad->SetIndexName(u"KAV"_s);
        d.ffDenik->SetIndexName(m.commission ? u"STA"_s : u"KAV"_s);

        bool result = false;
        if (d.ffSortiment->FindKey({m.card})) {
            try {
                result =
                    d.ffSortiment->FieldByName(u"SOR_SKL"_s).AsBoolean() ? PostStockItem() : PostOtherItem();
            } catch (const EDatabaseError&) {
                result = false;
            }
        }

        // ZapisPohybuVar leaves a stock card or journal cursor that stood at its end where it is. The
        // posting may be committed by now: a caller's record that another till deleted must not turn
        // it into an error.
        Restore(sklState, m.commission || !sklAtEnd, TVanished::Stay);
        Restore(denState, m.commission || !denAtEnd, TVanished::Stay);
        Restore(sorState, true, TVanished::Stay);
        return result;
    }

private:
    enum class TStage { Check, Post };

    bool PostStockItem()
    {
        TTable& skl = *d.ffSklad;
        TDatabase& db = *d.ffDatabase;
        if (!skl.FindKey({m.card, m.variant}))
            return false;

        // Every read that the posting builds on happens inside its transaction, after the card and
        // the variant are held (assortment card first, the order the rebuild uses too): another till
        // can neither move the stock in between nor make the check below see half of its posting.
        bool checked = false;
        for (;;) {
            TStage stage = TStage::Check;
            db.StartTransaction();
            try {
                d.ffSortiment->Edit();
                skl.Edit();
                const double stock = skl.FieldByName(u"SKL_STA"_s).AsFloat();
                if (!checked) {
                    checked = true;
                    // The variant's latest journal row must carry the card's stock.
                    d.ffDenik->SetIndexName(u"STA"_s);
                    const double journal = d.ffDenik->FindKey({m.card, m.variant})
                                               ? d.ffDenik->FieldByName(u"DEN_ZAS"_s).AsFloat()
                                               : 0;
                    if (journal != stock) {
                        CancelEdit(skl);
                        CancelEdit(*d.ffSortiment);
                        db.Rollback();
                        d.RekonstrukceKarty(m.card);
                        if (!m.commission)
                            ShowMessage(StockFigure(skl.FieldByName(u"SKL_STA"_s).AsFloat()));
                        continue;  // post on the rebuilt figures
                    }
                }
                stage = TStage::Post;
                const float purchase = float(skl.FieldByName(u"SKL_SNC"_s).AsFloat());
                const double after = stock + m.quantity;
                AppendRows(purchase, after);
                skl.FieldByName(u"SKL_STA"_s).SetAsFloat(after);
                skl.Post();
                TTable& sor = *d.ffSortiment;
                sor.FieldByName(u"SOR_STA"_s)
                    .SetAsFloat(sor.FieldByName(u"SOR_STA"_s).AsFloat() + m.quantity);
                sor.FieldByName(u"SOR_PPO"_s).SetAsDate(m_today);
                sor.Post();
                db.Commit();
                return true;
            } catch (const EDatabaseError&) {
                // Nothing half-posted may stay: undo it all, then let the card follow the journal.
                Abandon();
                if (stage == TStage::Post)
                    d.RekonstrukceKarty(m.card);
                return false;
            }
        }
    }

    bool PostOtherItem()
    {
        TDatabase& db = *d.ffDatabase;
        const float purchase = d.ffSklad->FindKey({m.card, m.variant})
                                   ? float(d.ffSklad->FieldByName(u"SKL_SNC"_s).AsFloat())
                                   : 0.0f;
        db.StartTransaction();
        try {
            d.ffSortiment->Edit();
            AppendRows(purchase, 0);
            d.ffSortiment->FieldByName(u"SOR_PPO"_s).SetAsDate(m_today);
            d.ffSortiment->Post();
            db.Commit();
            return true;
        } catch (const EDatabaseError&) {
            Abandon();
            return false;
        }
    }

    // The movement row and, for a price difference, the commission row beside it.
    void AppendRows(float purchase, double stockAfter)
    {
        TTable& den = *d.ffDenik;
        const QTime now = d.Now().time();
        const QTime second(now.hour(), now.minute(), now.second());
        auto append = [&](const QString& op, double quantity, double value, double purchaseValue) {
            den.Append();
            if (!m.commission)
                d.ffCiselnik->Close();
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
        append(m.op, m.quantity, double(m.price) * m.quantity, double(purchase) * m.quantity);
        if (m.commission) {
            const float diff = m.linePrice - m.price;  // single precision, as the prices arrive
            if (float(double(diff) * m.quantity) != 0.0f)
                append(m.diffOp, 0, double(diff) * m.quantity, 0);
        }
    }

    void Abandon()
    {
        CancelEdit(*d.ffDenik);
        CancelEdit(*d.ffSklad);
        CancelEdit(*d.ffSortiment);
        d.ffDatabase->Rollback();
    }

    TData& d;
    const TMovement& m;
    const QDate m_today = d.Now().date();
};

}  // namespace

bool TData::ZapisPohybuVar(QString cardCode, QString variantCode, QString docNumber, QString opCode,
                           float price, float vatRate, double quantity)
{
    TMovement m;
    m.card = cardCode;
    m.variant = variantCode;
    m.doc = docNumber;
    m.op = opCode;
    m.price = price;
    m.vatRate = vatRate;
    m.quantity = quantity;
    return TPosting(*this, m).Run();
}

bool TData::ZapisPohybuVarProvize(QString cardCode, QString variantCode, QString docNumber, QString opCode,
                                  QString diffOpCode, float linePrice, float vatRate, double quantity,
                                  float basePrice)
{
    TMovement m;
    m.commission = true;
    m.card = cardCode;
    m.variant = variantCode;
    m.doc = docNumber;
    m.op = opCode;
    m.diffOp = diffOpCode;
    m.price = basePrice;
    m.linePrice = linePrice;
    m.vatRate = vatRate;
    m.quantity = quantity;
    return TPosting(*this, m).Run();
}
