#include "ReceiptEngine.h"

#include "DataUnit.h"
#include "Messages.h"
#include "ReceiptLog.h"
#include "ReceiptPosting.h"
#include "TableGuards.h"
#include "TextRoutines.h"
#include "Transaction.h"

#include <cmath>
#include <exception>

Q_LOGGING_CATEGORY(lcReceipts, "korvanta.receipts")

using namespace Qt::StringLiterals;

namespace Receipts {

namespace {

QString Str(TDataSet& t, const QString& field)
{
    return t.FieldByName(field).AsString();
}

double Num(TDataSet& t, const QString& field)
{
    return t.FieldByName(field).AsFloat();
}

}  // namespace

TReceiptEngine::TReceiptEngine(TData& data) : d(data), m_basis(BasisFromSetting(data.ZakladniCenySDPH)) {}

void TReceiptEngine::OpenNew()
{
    m_nova = true;
    m_zalozena = false;
}

void TReceiptEngine::OpenCorrection()
{
    m_nova = false;
    m_zalozena = true;
}

bool TReceiptEngine::ReceiptClosed() const
{
    return InTillClosure(Str(*d.ffUctenky, u"HLA_DO2"_s));
}

TVatRates TReceiptEngine::Rates() const
{
    return TVatRates{d.Dan22, d.Dan05, d.Dan00};
}

// ---------------------------------------------------------------------------------------------------
// Numbering

bool TReceiptEngine::NumberReceipt()
{
    if (!m_nova)
        return true;
    TTable& cis = *d.ffCiselnik;
    TTable& uce = *d.ffUctenky;
    TDatabase& db = *d.ffDatabase;
    const bool insertBefore = uce.State() == TDataSetState::Insert;
    QVector<QVariant> before;
    for (int i = 0; i < uce.FieldCount(); ++i)
        before << uce.GetFieldValue(i);

    bool numbered = false;
    try {
        if (!cis.Active())
            cis.Open();
        cis.First();
        TTransaction tx(db);
        try {
            // Edit reads the counter again and holds it until the commit: no other till can take
            // the same number, and a failure leaves no gap.
            cis.Edit();
            const std::optional<QString> raised = RaisedCounter(Str(cis, u"CIS_UCE"_s));
            if (!raised)
                throw EDatabaseError(
                    u"Počítadlo účtenek CIS_UCE neobsahuje číslo: '%1'"_s.arg(Str(cis, u"CIS_UCE"_s)));
            // The fields would cut a longer number short, and the counter would come round to
            // numbers already given: such a number is not taken.
            const QString number = ReceiptNumber(*raised);
            if (raised->size() > cis.Def().Field(u"CIS_UCE"_s)->size ||
                number.size() > uce.Def().Field(u"HLA_DO1"_s)->size)
                throw EDatabaseError(u"Číslo účtenky %1 se nevejde do pole"_s.arg(number));
            cis.FieldByName(u"CIS_UCE"_s).SetAsString(*raised);
            uce.Edit();  // a new header is in insert state already; a stored one is held
            uce.FieldByName(u"HLA_DO1"_s).SetAsString(number);
            uce.FieldByName(u"HLA_DO2"_s).SetAsString(QString::fromUtf16(kOpenTillClosure));
            uce.FieldByName(u"HLA_DAT"_s).SetAsDateTime(QDateTime::currentDateTime());
            uce.Post();
            cis.Post();
            tx.Commit();
            numbered = true;
        } catch (const EDatabaseError& e) {
            // The guard rolls the counter and the header back when it leaves its scope.
            qCWarning(lcReceipts).noquote() << "numbering of a new receipt rolled back:" << e.Message();
            CancelEdit(cis);
            CancelEdit(uce);
        }
    } catch (const EDatabaseError& e) {
        qCWarning(lcReceipts) << "numbering of a new receipt failed:" << e.Message();
    }
    try {
        cis.Close();
    } catch (const EDatabaseError&) {}

    if (!numbered) {
        // Back to the unnumbered header the window had: the insert was rolled back with the counter.
        if (insertBefore) {
            if (uce.State() != TDataSetState::Insert)
                uce.Append();
            for (int i = 0; i < before.size(); ++i)
                if (!uce.Def().fields[i].calculated && uce.Def().fields[i].type != TFieldType::AutoInc)
                    uce.SetFieldValue(i, before[i]);
        }
        return false;
    }
    m_zalozena = true;
    m_nova = false;
    uce.Edit();
    return true;
}

// ---------------------------------------------------------------------------------------------------
// Tables and errors

bool TReceiptEngine::OpenTables(const QString& denIndex)
{
    if (d.OpenffSor(u"KAV"_s) && d.OpenffSkl(u"KAV"_s) && d.OpenffDen(denIndex))
        return true;
    CloseTables();
    return false;
}

void TReceiptEngine::CloseTables()
{
    for (TTable* t : {d.ffSortiment.get(), d.ffSklad.get(), d.ffDenik.get()}) {
        try {
            CancelEdit(*t);
            t->Close();
        } catch (const EDatabaseError& e) {
            qCWarning(lcReceipts) << "closing" << t->TableName() << "failed:" << e.Message();
        }
    }
}

void TReceiptEngine::Unexpected(const char* operation, const QString& what)
{
    qCCritical(lcReceipts) << operation << "ended by an error:" << what;
    // Nothing half-done may stay: a pending line is dropped (the transaction guards have rolled back).
    CancelEdit(*d.DokladObsah);
    CloseTables();
    ShowMessage(QString::fromUtf16(kUnexpectedError), TMessageKind::Error);
}

template <typename Result, typename Body>
Result TReceiptEngine::Guarded(const char* operation, Result failed, Body body)
{
    try {
        return body();
    } catch (const EDatabaseError& e) {
        Unexpected(operation, e.Message());
    } catch (const std::exception& e) {
        Unexpected(operation, QString::fromLocal8Bit(e.what()));
    }
    return failed;
}

// Numbers a new receipt and applies the till-closure rule, for "Nová" and the direct sale.
bool TReceiptEngine::ReadyToAdd()
{
    if (m_nova)
        NumberReceipt();
    if (InTillClosure(Str(*d.ffUctenky, u"HLA_DO2"_s))) {
        ShowMessage(QString::fromUtf16(kClosedNoAdd));
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------------
// The walk over the stock variants

TSaleResult TReceiptEngine::SellOverVariants(const TLineStart& line, double quantity)
{
    TMemTable& lines = *d.DokladObsah;
    TTable& skl = *d.ffSklad;
    skl.SetIndexName(u"KAV"_s);

    // The card's variants in index order, read once: the first by its key, the rest in blocks after it.
    struct TVariant {
        QString code;
        double stock = 0, purchase = 0;
    };
    QList<TVariant> variants;
    if (skl.FindKey({line.card})) {
        const int kav = skl.FieldIndex(u"SKL_KAV"_s), ind = skl.FieldIndex(u"SKL_IND"_s);
        const int sta = skl.FieldIndex(u"SKL_STA"_s), snc = skl.FieldIndex(u"SKL_SNC"_s);
        TRow row = skl.CurrentRow();
        auto take = [&](const TRow& r) {
            variants << TVariant{r.values[ind].toString(), r.values[sta].toDouble(),
                                 r.values[snc].toDouble()};
        };
        take(row);
        constexpr int kBlock = 8;
        for (bool more = true; more;) {
            const QList<TRow> rows = skl.ReadRows(&row, kBlock, true);
            more = rows.size() == kBlock;
            for (const TRow& r : rows) {
                if (r.values[kav].toString() != line.card) {
                    more = false;
                    break;
                }
                take(r);
                row = r;
            }
        }
    }
    if (variants.isEmpty()) {
        CancelEdit(lines);
        return TSaleResult::Nothing;
    }

    const TVatRates rates = Rates();
    double q = quantity;
    bool sold = false;
    bool lineOpen = true;    // the line appended for the next part
    bool discarded = false;  // a part was refused: the rest of the quantity is not sold
    bool postingFailed = false;
    for (const TVariant& v : variants) {
        if (!discarded && q <= 0)
            break;
        const QString& variant = v.code;
        const double stock = v.stock;
        if (stock <= 0)
            continue;
        if (discarded) {
            // The Part's walk has no open line left for this variant's stock.
            ShowMessage(QString::fromUtf16(kUnexpectedError), TMessageKind::Error);
            return sold ? TSaleResult::Sold : TSaleResult::Failed;
        }
        const double take = stock >= q ? q : stock;
        const double purchase = v.purchase;
        lines.FieldByName(u"DOK_IND"_s).SetAsString(variant);
        lines.FieldByName(u"DOK_NC1"_s).SetAsFloat(purchase);
        lines.FieldByName(u"DOK_KUS"_s).SetAsFloat(take);
        if (!d.KontrolaStavu(line.card, variant, -take, 0)) {
            CancelEdit(lines);
            lineOpen = false;
            discarded = true;
            continue;
        }
        const TLineAmounts a = LineAmounts(m_basis, line.price, purchase, take, line.rate, line.basePrice);
        lines.FieldByName(u"DOK_PCC"_s).SetAsFloat(a.pcc);
        lines.FieldByName(u"DOK_NCC"_s).SetAsFloat(a.ncc);
        lines.FieldByName(u"DOK_PCS"_s).SetAsFloat(a.pcs);
        lines.FieldByName(u"DOK_CIS"_s).SetAsString(line.doc);
        lines.FieldByName(u"DOK_DPH"_s).SetAsFloat(a.dph);

        TPartMovement m;
        m.commission = line.commission;
        m.card = line.card;
        m.variant = variant;
        m.doc = line.doc;
        m.price = float(line.commission ? a.postingBase : a.postingPrice);
        m.linePrice = float(a.postingPrice);
        m.vatRate = float(line.rate);
        m.quantity = -take;
        if (!PostPart(d, m, PartTotals(rates, a, line.rate, false))) {
            CancelEdit(lines);
            lineOpen = false;
            discarded = true;
            postingFailed = true;
            continue;
        }
        lines.Post();
        sold = true;
        q -= take;
        if (q > 0) {
            lines.Append();
            lines.FieldByName(u"DOK_KAV"_s).SetAsString(line.card);
            lines.FieldByName(u"DOK_PC1"_s).SetAsFloat(line.price);
            lines.FieldByName(u"DOK_NAZ"_s).SetAsString(line.name);
            lines.FieldByName(u"DOK_DAN"_s).SetAsFloat(line.rate);
            lines.FieldByName(u"DOK_CIS"_s).SetAsString(line.doc);
        } else {
            lineOpen = false;
        }
    }
    if (lineOpen)
        CancelEdit(lines);  // the variants ran out: the rest is not sold
    if (sold)
        return TSaleResult::Sold;
    return postingFailed ? TSaleResult::Failed : TSaleResult::Nothing;
}

// ---------------------------------------------------------------------------------------------------
// "Nová"

bool TReceiptEngine::BeginNewLine()
{
    return Guarded("Nová", false, [&] {
        if (!OpenTables(u"DAT"_s))
            return false;
        if (!ReadyToAdd()) {
            CloseTables();
            return false;
        }
        TMemTable& lines = *d.DokladObsah;
        lines.Append();
        lines.FieldByName(u"DOK_CIS"_s).SetAsString(Str(*d.ffUctenky, u"HLA_DO1"_s));
        return true;
    });
}

void TReceiptEngine::CancelNewLine()
{
    Guarded("Nová", 0, [&] {
        CancelEdit(*d.DokladObsah);
        CloseTables();
        return 0;
    });
}

TSaleResult TReceiptEngine::FinishNewLine(double basePrice)
{
    return Guarded("Nová", TSaleResult::Failed, [&] {
        const TSaleResult r = NewLine(basePrice);
        CloseTables();
        return r;
    });
}

TSaleResult TReceiptEngine::NewLine(double basePrice)
{
    TMemTable& lines = *d.DokladObsah;
    TTable& sor = *d.ffSortiment;
    TTable& skl = *d.ffSklad;
    const double q = Num(lines, u"DOK_KUS"_s);
    if (!(q > 0) || !std::isfinite(q)) {
        CancelEdit(lines);
        return TSaleResult::Nothing;
    }
    TLineStart line;
    line.commission = true;
    line.card = Str(lines, u"DOK_KAV"_s);
    line.doc = Str(*d.ffUctenky, u"HLA_DO1"_s);
    line.basePrice = basePrice;
    sor.SetIndexName(u"KAV"_s);
    skl.SetIndexName(u"KAV"_s);
    if (!sor.FindKey({line.card})) {
        CancelEdit(lines);
        return TSaleResult::Nothing;
    }
    line.price = Num(lines, u"DOK_PC1"_s);
    line.rate = Num(lines, u"DOK_DAN"_s);
    line.name = Str(lines, u"DOK_NAZ"_s);
    if (sor.FieldByName(u"SOR_SKL"_s).AsBoolean())
        return SellOverVariants(line, q);  // a card without any stock variant sells nothing
    if (!skl.FindKey({line.card})) {
        CancelEdit(lines);
        return TSaleResult::Nothing;
    }

    // Not kept in stock: one line on the card's first variant, no stock check.
    const QString variant = Str(skl, u"SKL_IND"_s);
    const double purchase = Num(skl, u"SKL_SNC"_s);
    lines.FieldByName(u"DOK_IND"_s).SetAsString(variant);
    lines.FieldByName(u"DOK_NC1"_s).SetAsFloat(purchase);
    lines.FieldByName(u"DOK_KUS"_s).SetAsFloat(q);
    const TLineAmounts a = LineAmounts(m_basis, line.price, purchase, q, line.rate, basePrice);
    TPartMovement m;
    m.commission = true;
    m.card = line.card;
    m.variant = variant;
    m.doc = line.doc;
    m.price = float(a.postingBase);
    m.linePrice = float(a.postingPrice);
    m.vatRate = float(line.rate);
    m.quantity = -q;
    if (!PostPart(d, m, PartTotals(Rates(), a, line.rate, m_basis == TPriceBasis::Net))) {
        CancelEdit(lines);
        return TSaleResult::Failed;
    }
    const double pcs = basePrice * q;
    const double rab = (line.price - basePrice) * q;
    lines.FieldByName(u"DOK_PCC"_s).SetAsFloat(a.pcc);
    lines.FieldByName(u"DOK_NCC"_s).SetAsFloat(a.ncc);
    lines.FieldByName(u"DOK_PCS"_s).SetAsFloat(pcs);
    lines.FieldByName(u"DOK_RAB"_s).SetAsFloat(rab);
    lines.FieldByName(u"DOK_CIS"_s).SetAsString(line.doc);
    lines.FieldByName(u"DOK_DPH"_s).SetAsFloat(a.dph);
    if (pcs != 0)
        lines.FieldByName(u"DOK_RAP"_s).SetAsFloat(-rab / (pcs / 100));
    lines.Post();
    return TSaleResult::Sold;
}

// ---------------------------------------------------------------------------------------------------
// "Oprava"

TCorrectionStart TReceiptEngine::BeginCorrection(TCorrectionDialog& dialog)
{
    return Guarded("Oprava", TCorrectionStart::Refused, [&] {
        if (InTillClosure(Str(*d.ffUctenky, u"HLA_DO2"_s))) {
            ShowMessage(QString::fromUtf16(kClosedNoCorrect));
            return TCorrectionStart::Refused;
        }
        if (!OpenTables(u"KAV"_s))
            return TCorrectionStart::Refused;
        TMemTable& lines = *d.DokladObsah;
        if (lines.IsEmpty() || Str(lines, u"DOK_KAV"_s).isEmpty()) {
            CloseTables();
            return TCorrectionStart::EmptyReceipt;
        }
        m_corr = TCorrection{};
        m_corr.oldQuantity = Num(lines, u"DOK_KUS"_s);
        lines.Edit();
        m_corr.card = Str(lines, u"DOK_KAV"_s);
        m_corr.variant = Str(lines, u"DOK_IND"_s);
        TTable& sor = *d.ffSortiment;
        TTable& skl = *d.ffSklad;
        if (!sor.FindKey({m_corr.card}) || !skl.FindKey({m_corr.card, m_corr.variant})) {
            CancelEdit(lines);
            CloseTables();
            return TCorrectionStart::Refused;
        }
        m_corr.stockItem = sor.FieldByName(u"SOR_SKL"_s).AsBoolean();
        m_corr.basePrice = Num(sor, u"SOR_PC1"_s);
        dialog.puvodniMnozstvi = m_corr.oldQuantity;
        dialog.basePrice = m_corr.basePrice;
        dialog.stockItem = m_corr.stockItem;
        dialog.stockDisplay = m_corr.stockItem ? PlainNumber(Num(skl, u"SKL_STA"_s) + m_corr.oldQuantity)
                                               : QString::fromUtf16(kNotStockItem);
        return TCorrectionStart::Ready;
    });
}

void TReceiptEngine::CancelCorrection()
{
    Guarded("Oprava", 0, [&] {
        CancelEdit(*d.DokladObsah);
        CloseTables();
        return 0;
    });
}

TSaleResult TReceiptEngine::FinishCorrection()
{
    return Guarded("Oprava", TSaleResult::Failed, [&] {
        const TSaleResult r = Correct();
        CloseTables();
        return r;
    });
}

TSaleResult TReceiptEngine::Correct()
{
    TMemTable& lines = *d.DokladObsah;
    const double o = m_corr.oldQuantity;
    const double n = Num(lines, u"DOK_KUS"_s);
    const double change = o - n;
    if (m_corr.stockItem && !d.KontrolaStavu(m_corr.card, m_corr.variant, change, o)) {
        CancelEdit(lines);
        return TSaleResult::Nothing;
    }
    const double price = Num(lines, u"DOK_PC1"_s);
    const double purchase = Num(lines, u"DOK_NC1"_s);
    const double rate = Num(lines, u"DOK_DAN"_s);
    const double k = 1 + rate / 100;
    const bool gross = m_basis == TPriceBasis::Gross;
    TPartMovement m;
    m.commission = true;
    m.card = m_corr.card;
    m.variant = m_corr.variant;
    m.doc = Str(*d.ffUctenky, u"HLA_DO1"_s);
    m.price = float(gross ? m_corr.basePrice / k : m_corr.basePrice);
    m.linePrice = float(gross ? price / k : price);
    m.vatRate = float(rate);
    m.quantity = change;
    if (!PostPart(d, m, CorrectionTotals(m_basis, Rates(), price, purchase, o, n, rate))) {
        ShowMessage(QString::fromUtf16(kNotPosted));
        CancelEdit(lines);
        return TSaleResult::Failed;
    }
    lines.Post();
    return TSaleResult::Sold;
}

// ---------------------------------------------------------------------------------------------------
// Direct sale

TSaleResult TReceiptEngine::DirectSale(const QString& typedCode, double quantity)
{
    return Guarded("DoDirectProdej", TSaleResult::Failed, [&] {
        const TSaleResult r = Direct(Trim(typedCode), quantity);
        CloseTables();
        return r;
    });
}

TSaleResult TReceiptEngine::Direct(const QString& code, double quantity)
{
    if (!OpenTables(u"DAT"_s))
        return TSaleResult::Nothing;
    if (!ReadyToAdd())
        return TSaleResult::Nothing;
    TMemTable& lines = *d.DokladObsah;
    TTable& sor = *d.ffSortiment;
    TLineStart line;
    line.commission = false;
    line.doc = Str(*d.ffUctenky, u"HLA_DO1"_s);
    lines.Append();
    lines.FieldByName(u"DOK_CIS"_s).SetAsString(line.doc);
    lines.FieldByName(u"DOK_KUS"_s).SetAsFloat(quantity);
    lines.FieldByName(u"DOK_KAV"_s).SetAsString(code);

    // A code longer than the card code field is no card: the look-up must not find the card whose
    // code is its first characters.
    sor.SetIndexName(u"KAV"_s);
    const int codeSize = sor.Def().Field(u"SOR_KAV"_s)->size;
    if (code.isEmpty() || code.size() > codeSize || !sor.FindKey({code})) {
        ShowMessage(UnknownCardText(code));
        CancelEdit(lines);
        return TSaleResult::Nothing;
    }
    const double freeStock = Num(sor, u"SOR_STA"_s) - Num(sor, u"SOR_BLO"_s);
    if (quantity > freeStock) {
        quantity = freeStock;
        lines.FieldByName(u"DOK_KUS"_s).SetAsFloat(freeStock);
        ShowMessage(OnlyFreeStockText(freeStock));
    }
    line.card = Str(sor, u"SOR_KAV"_s);
    line.price = Num(sor, u"SOR_PC1"_s);
    line.name = Str(sor, u"SOR_NAC"_s);
    line.rate = Num(sor, u"SOR_DAN"_s);
    line.basePrice = line.price;
    lines.FieldByName(u"DOK_KAV"_s).SetAsString(line.card);
    lines.FieldByName(u"DOK_PC1"_s).SetAsFloat(line.price);
    lines.FieldByName(u"DOK_NAZ"_s).SetAsString(line.name);
    lines.FieldByName(u"DOK_DAN"_s).SetAsFloat(line.rate);
    if (!(quantity > 0) || !std::isfinite(quantity)) {
        CancelEdit(lines);
        return TSaleResult::Nothing;
    }
    return SellOverVariants(line, quantity);
}

}  // namespace Receipts
