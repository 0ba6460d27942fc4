#pragma once

// The arithmetic and text rules of a cash-sale receipt, without a store: the receipt number, the
// till-closure rule, the amounts of one line part, the header totals and VAT buckets, the keyboard
// entry of a direct sale. The receipt engine (ReceiptEngine.h) and the consistency check build on it.

#include <QList>
#include <QString>

#include <optional>

namespace Receipts {

// --- texts the operator sees ---
inline constexpr char16_t kOpenTillClosure[] = u"0000000000";  // HLA_DO2 of a receipt still open
inline constexpr char16_t kClosedNoAdd[] = u"Účtenka již uzavřena výčetkou, nelze přidat !";
inline constexpr char16_t kClosedNoCorrect[] = u"Účtenka uzavřena výčetkou, nelze opravit";
inline constexpr char16_t kUnexpectedError[] = u"Osetreni vyjimky";
inline constexpr char16_t kNotPosted[] = u"Nepotvrzen zápis do karty";
inline constexpr char16_t kNotStockItem[] = u"Neskl.pol.";

// "Je mi líto kartu " + code + " neznám."
QString UnknownCardText(const QString& code);
// "Bude vydáno pouze " + free + " kusů, víc nemám" (free as PlainNumber).
QString OnlyFreeStockText(double freeStock);
// A quantity or stock figure as plain decimal text: shortest general form, at most 15 significant
// digits, the station's decimal separator, no thousands separator ("2", "2,5").
QString PlainNumber(double value);

// --- settings ---
// Net: assortment prices exclude VAT (ZakladniCenySDPH 1); Gross: they include it (2).
enum class TPriceBasis { Net, Gross };
// 2 is gross, anything else net.
TPriceBasis BasisFromSetting(int zakladniCenySDPH);

// The configured VAT rates in whole percent (Dan22, Dan05, Dan00).
struct TVatRates {
    int dan22 = 22;
    int dan05 = 5;
    int dan00 = 0;
};

// --- numbering ---
// The counter CIS_UCE read as a whole number, plus one, written back as a plain number ("124" gives
// "125"; surrounding blanks and leading zeros are accepted). Empty when the counter is not a whole
// number of at most 18 digits (numbering then fails).
std::optional<QString> RaisedCounter(const QString& counter);
// The receipt number of a counter: blanks removed, zeros added on the left up to 10 characters; a
// longer counter gives a longer number, never a cut one.
QString ReceiptNumber(const QString& counter);
// A receipt belongs to a till closure unless HLA_DO2 is exactly "0000000000" (empty counts as closed).
bool InTillClosure(const QString& do2);

// --- amounts ---
// The VAT rate rounded to a whole number, halves to the even number (21.5 and 22.5 both give 22).
int RoundedRate(double rate);

// The amounts of one line part of quantity q (see LineAmounts).
struct TLineAmounts {
    double postingPrice = 0;  // unit price handed to the stock posting: P, or P / k in gross mode
    double postingBase = 0;   // card's base price handed to the posting: B, or B / k
    double pcc = 0;           // DOK_PCC = P x q
    double ncc = 0;           // DOK_NCC = N x q
    double pcs = 0;           // DOK_PCS = P x q (a non-stock line of "Nová" stores B x q itself)
    double dph = 0;           // DOK_DPH: PCC / 100 x r (net), PCC - PCC / k (gross)
    double taxBase = 0;       // added to the rate's bucket: P x q (net), P x q / k (gross)
};
// P unit sale price (DOK_PC1), N unit purchase price (DOK_NC1), q quantity, r VAT rate in percent,
// B the card's base price; k = 1 + r / 100.
TLineAmounts LineAmounts(TPriceBasis basis, double price, double purchase, double quantity, double rate,
                         double basePrice);

// The totals of a receipt header (or a change of them).
struct TTotals {
    double cuh = 0;                    // HLA_CUH, the total to pay
    double pca = 0;                    // HLA_PCA, at sale prices
    double nca = 0;                    // HLA_NCA, at purchase prices
    double z22 = 0, z05 = 0, z00 = 0;  // tax bases HLA_Z22, HLA_Z05, HLA_Z00
    double d22 = 0, d05 = 0;           // VAT amounts HLA_D22, HLA_D05
    TTotals& operator+=(const TTotals& o);
};

// Adds a tax base and VAT amount to every bucket whose configured rate equals RoundedRate(rate); the
// three tests are independent (no match adds nothing, equal settings add to each match). The zero
// bucket takes only the base.
void AddToBuckets(TTotals& totals, const TVatRates& rates, double rate, double taxBase, double vat);
// The change of the header totals for one posted part: CUH and PCA += P x q (plus DOK_DPH when
// vatInTotal: a non-stock line of "Nová" in net mode), NCA += N x q, the buckets by the rate.
TTotals PartTotals(const TVatRates& rates, const TLineAmounts& amounts, double rate, bool vatInTotal);
// The change of the header totals when a line's quantity goes from oldQuantity to newQuantity
// (the correction): A = (new - old) x P to CUH and PCA, (new - old) x N to NCA, tax base A (net) or
// A / k (gross) and VAT r x A / 100 (net) or A - A / k (gross) to the buckets.
TTotals CorrectionTotals(TPriceBasis basis, const TVatRates& rates, double price, double purchase,
                         double oldQuantity, double newQuantity, double rate);

// --- the header against its journal rows ---
// One journal row of a receipt (DEN_DOK = HLA_DO1), with what the check needs to know of its card.
struct TJournalRow {
    QString op;             // DEN_OPE: "005" sale, "300" price difference; other codes are ignored
    double kus = 0;         // DEN_KUS
    double hpc = 0;         // DEN_HPC (net, negative for a sale)
    double hnc = 0;         // DEN_HNC
    double dan = 0;         // DEN_DAN
    bool viaLine = false;   // DEN_POZ set: posted through the line dialogs (with a difference row)
    bool stockItem = true;  // SOR_SKL of the card
};
// What a header must hold after these rows. Everything follows from the net values of the journal
// (tax base = -(HPC of "005" + "300"), VAT = base x r / 100, NCA = -HNC); the total to pay is exact
// in gross mode and lies in [cuhLow, cuhHigh] in net mode, where a non-stock line of "Nová" also
// carries its VAT into the total but a correction of it does not.
struct TExpectedTotals {
    TTotals totals;
    double cuhLow = 0, cuhHigh = 0;
};
TExpectedTotals ExpectedFromJournal(const QList<TJournalRow>& rows, TPriceBasis basis,
                                    const TVatRates& rates);
// The header's fields that disagree with the expectation, as "HLA_CUH 12,5 (deník 10)" texts; empty
// when it agrees. Amounts agree within a cent plus the single-precision error of the journal.
QStringList HeaderDisagreements(const TTotals& header, const TExpectedTotals& expected);

// --- keyboard entry of a direct sale ---
// The direct-entry buffer of the receipt window: digits build the card code; the keypad's multiply
// key turns the digits typed so far into the quantity; Enter sells.
class TDirectEntry {
public:
    QString PrimyKod;          // digits typed for the code
    double PrimeMnozstvi = 1;  // quantity of the next direct sale
    bool MnozstviZadano = false;

    // Appends a digit '0'..'9' (anything else is ignored).
    void Digit(QChar digit);
    // Multiply key: with digits typed and no quantity yet, the first 8 characters become the quantity
    // (a whole number), the code starts again and the display gets "x ". Otherwise nothing.
    void Multiply();
    // Enter: without a typed quantity the quantity becomes 1. True when there is a code to sell
    // (the window then calls TReceiptEngine::DirectSale(Code(), PrimeMnozstvi) and Reset()).
    bool Enter();
    // After a sale (or a failed one): empty code, quantity 1, no quantity typed, empty display.
    void Reset();
    QString Code() const;                          // PrimyKod with surrounding blanks removed
    QString Display() const { return m_display; }  // "3x 123456"

private:
    QString m_display;
};
// A typed quantity: its first 8 characters read as a whole number (0 when not a number).
double TypedQuantity(const QString& digits);

}  // namespace Receipts
