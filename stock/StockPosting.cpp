// Posting of one stock movement: journal row(s), stock card and assortment card in one transaction.
#include "Messages.h"
#include "StockEngine.h"
#include "StockSupport.h"
#include "TableGuards.h"
#include "Transaction.h"

using namespace Qt::StringLiterals;
using namespace Stock;

TStockMovement TStockMovement::Plain(const QString& card, const QString& variant, const QString& doc,
                                     const QString& op, float price, float vatRate, double quantity)
{
    TStockMovement m;
    m.card = card;
    m.variant = variant;
    m.doc = doc;
    m.op = op;
    m.price = price;
    m.vatRate = vatRate;
    m.quantity = quantity;
    return m;
}

TStockMovement TStockMovement::Commission(const QString& card, const QString& variant, const QString& doc,
                                          const QString& op, const QString& diffOp, float linePrice,
                                          float vatRate, double quantity, float basePrice)
{
    TStockMovement m = Plain(card, variant, doc, op, basePrice, vatRate, quantity);
    m.commission = true;
    m.diffOp = diffOp;
    m.linePrice = linePrice;
    return m;
}

TJournalAmounts JournalAmounts(const TStockMovement& m, float purchasePrice)
{
    TJournalAmounts a;
    a.quantity = m.quantity;
    a.value = static_cast<double>(m.price) * m.quantity;
    a.purchaseValue = static_cast<double>(purchasePrice) * m.quantity;
    if (m.commission) {
        const float diff = m.linePrice - m.price;  // single precision, as the prices arrive
        a.differenceValue = static_cast<double>(diff) * m.quantity;
        a.hasDifference = static_cast<float>(a.differenceValue) != 0.0f;
    }
    return a;
}

namespace {

QString Describe(const TStockMovement& m)
{
    return u"karta %1, varianta %2, doklad %3, operace %4, množství %5"_s.arg(m.card, m.variant, m.doc, m.op)
        .arg(m.quantity);
}

}  // namespace

// One posting. Own: in a transaction of its own, every failure a false result. Joined: inside the
// caller's transaction, database errors thrown to the caller, who rolls back.
class TStockPosting {
public:
    enum class TMode { Own, Joined };

    TStockPosting(TStockEngine& engine, const TStockMovement& m, TMode mode)
        : e(engine), t(engine.m_t), m(m), m_mode(mode)
    {}

    bool Run()
    {
        TCursorState sklState = NoteCursor(t.sklad);
        TCursorState sorState = NoteCursor(t.sortiment);
        TCursorState denState = NoteCursor(t.denik);

        bool result = false;
        bool denAtEnd = false, sklAtEnd = false;
        try {
            // Opening, index selection and the card look-up report their errors to the caller.
            t.sortiment.Open();
            t.denik.Open();
            t.sklad.Open();
            denAtEnd = t.denik.Eof();
            sklAtEnd = t.sklad.Eof();
            t.sortiment.SetIndexName(u"KAV"_s);
            t.sklad.SetIndexName(u"KAV"_s);
            t.denik.SetIndexName(m.commission ? u"STA"_s : u"KAV"_s);

            if (t.sortiment.FindKey({m.card})) {
                try {
                    result =
                        t.sortiment.FieldByName(u"SOR_SKL"_s).AsBoolean() ? PostStockItem() : PostOtherItem();
                } catch (const EDatabaseError& error) {
                    if (m_mode == TMode::Joined)
                        throw;
                    qCWarning(lcStock).noquote()
                        << "posting failed:" << Describe(m) << "-" << error.Message();
                    result = false;
                }
            } else {
                qCWarning(lcStock).noquote() << "posting refused, no such card:" << Describe(m);
            }
        } catch (const EDatabaseError&) {
            // A joined posting's error goes to the caller, whose transaction may be unusable now
            // (PostgreSQL refuses every later statement): put the cursors back as far as possible.
            RestoreQuietly(sklState, denState, sorState, sklAtEnd, denAtEnd);
            throw;
        }

        // ZapisPohybuVar leaves a stock card or journal cursor that stood at its end where it is. The
        // posting may be committed by now: a caller's record that another till deleted must not turn
        // it into an error.
        Restore(sklState, denState, sorState, sklAtEnd, denAtEnd);
        return result;
    }

private:
    enum class TStage { Check, Post };

    void Restore(TCursorState& skl, TCursorState& den, TCursorState& sor, bool sklAtEnd, bool denAtEnd)
    {
        RestoreCursor(skl, m.commission || !sklAtEnd, TVanished::Stay);
        RestoreCursor(den, m.commission || !denAtEnd, TVanished::Stay);
        RestoreCursor(sor, true, TVanished::Stay);
    }

    void RestoreQuietly(TCursorState& skl, TCursorState& den, TCursorState& sor, bool sklAtEnd, bool denAtEnd)
    {
        try {
            Restore(skl, den, sor, sklAtEnd, denAtEnd);
        } catch (const EDatabaseError& error) {
            qCWarning(lcStock).noquote() << "cursors not restored after a failed posting:" << error.Message();
        }
    }

    bool PostStockItem()
    {
        TTable& skl = t.sklad;
        TTable& sor = t.sortiment;
        if (!skl.FindKey({m.card, m.variant})) {
            qCWarning(lcStock).noquote() << "posting refused, no such variant:" << Describe(m);
            return false;
        }

        // Every read that the posting builds on happens inside its transaction, after the card and
        // the variant are held (assortment card first, the order the rebuild uses too): another till
        // can neither move the stock in between nor make the check below see half of its posting.
        bool checked = false;
        for (;;) {
            TStage stage = TStage::Check;
            TTransaction tx(t.db, m_mode == TMode::Joined ? TTransaction::JoinOpen : TTransaction::Start);
            try {
                sor.Edit();
                skl.Edit();
                const double stock = skl.FieldByName(u"SKL_STA"_s).AsFloat();
                if (!checked) {
                    checked = true;
                    // The variant's latest journal row must carry the card's stock.
                    t.denik.SetIndexName(u"STA"_s);
                    const double journal = t.denik.FindKey({m.card, m.variant})
                                               ? t.denik.FieldByName(u"DEN_ZAS"_s).AsFloat()
                                               : 0;
                    if (journal != stock) {
                        qCInfo(lcStock).noquote() << "stock figure" << stock << "differs from the journal's"
                                                  << journal << "- rebuilding card" << m.card;
                        CancelEdit(skl);
                        CancelEdit(sor);
                        tx.Rollback();  // a joined transaction stays open, the rebuild joins it
                        e.RekonstrukceKarty(m.card);
                        if (!m.commission)
                            ShowMessage(StockFigure(skl.FieldByName(u"SKL_STA"_s).AsFloat()));
                        continue;  // post on the rebuilt figures
                    }
                }
                stage = TStage::Post;
                const float purchase = static_cast<float>(skl.FieldByName(u"SKL_SNC"_s).AsFloat());
                const double after = stock + m.quantity;
                AppendRows(purchase, after);
                skl.FieldByName(u"SKL_STA"_s).SetAsFloat(after);
                skl.Post();
                sor.FieldByName(u"SOR_STA"_s)
                    .SetAsFloat(sor.FieldByName(u"SOR_STA"_s).AsFloat() + m.quantity);
                sor.FieldByName(u"SOR_PPO"_s).SetAsDate(m_today);
                sor.Post();
                tx.Commit();
                return true;
            } catch (const EDatabaseError& error) {
                // Nothing half-posted may stay: undo it all, then let the card follow the journal.
                CancelEdits();
                if (m_mode == TMode::Joined || stage != TStage::Post)
                    throw;
                qCWarning(lcStock).noquote() << "posting failed:" << Describe(m) << "-" << error.Message();
                tx.Rollback();
                e.RekonstrukceKarty(m.card);
                return false;
            }
        }
    }

    bool PostOtherItem()
    {
        const float purchase = t.sklad.FindKey({m.card, m.variant})
                                   ? static_cast<float>(t.sklad.FieldByName(u"SKL_SNC"_s).AsFloat())
                                   : 0.0f;
        TTransaction tx(t.db, m_mode == TMode::Joined ? TTransaction::JoinOpen : TTransaction::Start);
        try {
            t.sortiment.Edit();
            AppendRows(purchase, 0);
            t.sortiment.FieldByName(u"SOR_PPO"_s).SetAsDate(m_today);
            t.sortiment.Post();
            tx.Commit();
            return true;
        } catch (const EDatabaseError&) {
            CancelEdits();
            throw;
        }
    }

    // The movement row and, for a price difference, the commission row beside it.
    void AppendRows(float purchase, double stockAfter)
    {
        TTable& den = t.denik;
        const QTime now = QTime::currentTime();
        const QTime second(now.hour(), now.minute(), now.second());
        auto append = [&](const QString& op, double quantity, double value, double purchaseValue) {
            den.Append();
            if (!m.commission)
                t.ciselnik.Close();
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
            den.FieldByName(u"DEN_DAN"_s).SetAsFloat(static_cast<double>(m.vatRate));
            den.FieldByName(u"DEN_ZAS"_s).SetAsFloat(stockAfter);
            den.FieldByName(u"DEN_REF"_s).SetAsString(e.m_settings.operatorInitials);
            den.Post();
        };
        const TJournalAmounts a = JournalAmounts(m, purchase);
        append(m.op, a.quantity, a.value, a.purchaseValue);
        if (a.hasDifference)
            append(m.diffOp, 0, a.differenceValue, 0);
    }

    void CancelEdits()
    {
        CancelEdit(t.denik);
        CancelEdit(t.sklad);
        CancelEdit(t.sortiment);
    }

    TStockEngine& e;
    const TStockTables& t;
    const TStockMovement& m;
    const TMode m_mode;
    const QDate m_today = QDate::currentDate();
};

bool TStockEngine::ZapisPohybuVar(QString cardCode, QString variantCode, QString docNumber, QString opCode,
                                  float price, float vatRate, double quantity)
{
    return Post(TStockMovement::Plain(cardCode, variantCode, docNumber, opCode, price, vatRate, quantity));
}

bool TStockEngine::ZapisPohybuVarProvize(QString cardCode, QString variantCode, QString docNumber,
                                         QString opCode, QString diffOpCode, float linePrice, float vatRate,
                                         double quantity, float basePrice)
{
    return Post(TStockMovement::Commission(cardCode, variantCode, docNumber, opCode, diffOpCode, linePrice,
                                           vatRate, quantity, basePrice));
}

bool TStockEngine::Post(const TStockMovement& m)
{
    return TStockPosting(*this, m, TStockPosting::TMode::Own).Run();
}

bool TStockEngine::PostInTransaction(const TStockMovement& m)
{
    if (!m_t.db.InTransaction())
        throw EDatabaseError(u"Žádná transakce neprobíhá."_s);
    return TStockPosting(*this, m, TStockPosting::TMode::Joined).Run();
}
