#include "ReceiptRules.h"

#include "DataSet.h"
#include "TextRoutines.h"

#include <QLocale>

#include <cfenv>
#include <cmath>

using namespace Qt::StringLiterals;

namespace Receipts {

QString PlainNumber(double value)
{
    return FieldValues::FloatToStr(QString::number(value, 'g', 15).toDouble(), QLocale());
}

QString UnknownCardText(const QString& code)
{
    return u"Je mi líto kartu "_s + code + u" neznám."_s;
}

QString OnlyFreeStockText(double freeStock)
{
    return u"Bude vydáno pouze "_s + PlainNumber(freeStock) + u" kusů, víc nemám"_s;
}

TPriceBasis BasisFromSetting(int zakladniCenySDPH)
{
    return zakladniCenySDPH == 2 ? TPriceBasis::Gross : TPriceBasis::Net;
}

std::optional<QString> RaisedCounter(const QString& counter)
{
    const QString digits = Trim(counter);
    if (digits.isEmpty() || digits.size() > 18)
        return std::nullopt;
    for (QChar c : digits)
        if (c < u'0' || c > u'9')
            return std::nullopt;
    bool ok = false;
    const qint64 n = digits.toLongLong(&ok);
    if (!ok || n >= std::numeric_limits<qint64>::max())
        return std::nullopt;
    return QString::number(n + 1);
}

QString ReceiptNumber(const QString& counter)
{
    return ZeroPad(counter, 10);
}

bool InTillClosure(const QString& do2)
{
    return do2 != QStringView(kOpenTillClosure);
}

int RoundedRate(double rate)
{
    // Halves to the even number whatever rounding mode the process runs in.
    const double lower = std::floor(rate);
    const double diff = rate - lower;
    double r = lower;
    if (diff > 0.5 || (diff == 0.5 && std::fmod(lower, 2.0) != 0.0))
        r = lower + 1;
    return int(r);
}

TLineAmounts LineAmounts(TPriceBasis basis, double price, double purchase, double quantity, double rate,
                         double basePrice)
{
    const double k = 1 + rate / 100;
    TLineAmounts a;
    const bool gross = basis == TPriceBasis::Gross;
    a.postingPrice = gross ? price / k : price;
    a.postingBase = gross ? basePrice / k : basePrice;
    a.pcc = price * quantity;
    a.ncc = purchase * quantity;
    a.pcs = price * quantity;
    a.dph = gross ? a.pcc - a.pcc / k : a.pcc / 100 * rate;
    a.taxBase = gross ? price * quantity / k : price * quantity;
    return a;
}

TTotals& TTotals::operator+=(const TTotals& o)
{
    cuh += o.cuh;
    pca += o.pca;
    nca += o.nca;
    z22 += o.z22;
    z05 += o.z05;
    z00 += o.z00;
    d22 += o.d22;
    d05 += o.d05;
    return *this;
}

void AddToBuckets(TTotals& totals, const TVatRates& rates, double rate, double taxBase, double vat)
{
    const int r = RoundedRate(rate);
    if (r == rates.dan22) {
        totals.z22 += taxBase;
        totals.d22 += vat;
    }
    if (r == rates.dan05) {
        totals.z05 += taxBase;
        totals.d05 += vat;
    }
    if (r == rates.dan00)
        totals.z00 += taxBase;
}

TTotals PartTotals(const TVatRates& rates, const TLineAmounts& amounts, double rate, bool vatInTotal)
{
    TTotals t;
    t.cuh = amounts.pcc + (vatInTotal ? amounts.dph : 0);
    t.pca = t.cuh;
    t.nca = amounts.ncc;
    AddToBuckets(t, rates, rate, amounts.taxBase, amounts.dph);
    return t;
}

TTotals CorrectionTotals(TPriceBasis basis, const TVatRates& rates, double price, double purchase,
                         double oldQuantity, double newQuantity, double rate)
{
    const double k = 1 + rate / 100;
    const double a = (newQuantity - oldQuantity) * price;
    TTotals t;
    t.cuh = a;
    t.pca = a;
    t.nca = (newQuantity - oldQuantity) * purchase;
    if (basis == TPriceBasis::Gross)
        AddToBuckets(t, rates, rate, a / k, a - a / k);
    else
        AddToBuckets(t, rates, rate, a, rate * a / 100);
    return t;
}

TExpectedTotals ExpectedFromJournal(const QList<TJournalRow>& rows, TPriceBasis basis, const TVatRates& rates)
{
    TExpectedTotals e;
    double base = 0, vatAll = 0, vatLow = 0, vatHigh = 0;
    for (const TJournalRow& r : rows) {
        const bool sale = r.op == u"005"_s;
        if (!sale && r.op != u"300"_s)
            continue;
        const double b = -r.hpc;
        const double vat = b * r.dan / 100;
        base += b;
        vatAll += vat;
        if (sale)
            e.totals.nca += -r.hnc;
        AddToBuckets(e.totals, rates, r.dan, b, vat);
        // In net mode only a non-stock line of the line dialogs may carry its VAT into the total.
        if (!r.stockItem && r.viaLine)
            (vat < 0 ? vatLow : vatHigh) += vat;
    }
    if (basis == TPriceBasis::Gross) {
        e.cuhLow = e.cuhHigh = base + vatAll;
    } else {
        e.cuhLow = base + vatLow;
        e.cuhHigh = base + vatHigh;
    }
    e.totals.cuh = e.totals.pca = basis == TPriceBasis::Gross ? base + vatAll : base;
    return e;
}

namespace {

// A cent, plus the relative error of single-precision prices in the journal.
bool Near(double a, double b)
{
    return std::fabs(a - b) <= 0.01 + 1e-6 * std::max(std::fabs(a), std::fabs(b));
}

QString Mismatch(const char16_t* field, double header, double journal)
{
    return u"%1 %2 (deník %3)"_s.arg(QString::fromUtf16(field), PlainNumber(header), PlainNumber(journal));
}

}  // namespace

QStringList HeaderDisagreements(const TTotals& h, const TExpectedTotals& e)
{
    QStringList out;
    const double lo = std::min(e.cuhLow, e.cuhHigh), hi = std::max(e.cuhLow, e.cuhHigh);
    if (!(Near(h.cuh, lo) || Near(h.cuh, hi) || (h.cuh > lo && h.cuh < hi)))
        out << Mismatch(u"HLA_CUH", h.cuh, e.totals.cuh);
    if (!Near(h.pca, h.cuh))
        out << Mismatch(u"HLA_PCA", h.pca, h.cuh);
    const TTotals& t = e.totals;
    const struct {
        const char16_t* name;
        double header, journal;
    } fields[] = {{u"HLA_NCA", h.nca, t.nca}, {u"HLA_Z22", h.z22, t.z22}, {u"HLA_Z05", h.z05, t.z05},
                  {u"HLA_Z00", h.z00, t.z00}, {u"HLA_D22", h.d22, t.d22}, {u"HLA_D05", h.d05, t.d05}};
    for (const auto& f : fields)
        if (!Near(f.header, f.journal))
            out << Mismatch(f.name, f.header, f.journal);
    return out;
}

void TDirectEntry::Digit(QChar digit)
{
    if (digit < u'0' || digit > u'9')
        return;
    PrimyKod += digit;
    m_display += digit;
}

void TDirectEntry::Multiply()
{
    if (PrimyKod.isEmpty() || MnozstviZadano)
        return;
    PrimeMnozstvi = TypedQuantity(PrimyKod);
    MnozstviZadano = true;
    PrimyKod.clear();
    m_display += u"x "_s;
}

bool TDirectEntry::Enter()
{
    if (!MnozstviZadano)
        PrimeMnozstvi = 1;
    return !PrimyKod.isEmpty();
}

void TDirectEntry::Reset()
{
    PrimyKod.clear();
    PrimeMnozstvi = 1;
    MnozstviZadano = false;
    m_display.clear();
}

QString TDirectEntry::Code() const
{
    return Trim(PrimyKod);
}

double TypedQuantity(const QString& digits)
{
    bool ok = false;
    const qint64 n = digits.left(8).toLongLong(&ok);
    return ok ? double(n) : 0;
}

}  // namespace Receipts
