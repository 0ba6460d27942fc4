#pragma once

// The receipt engine: everything the receipt window does to the store. No widgets: the window owns
// the dialogs, the focus and the key handling, and calls these operations around its dialogs.
//
// It works on the data module's objects as the window does: the header is the current record of
// ffUctenky (insert state for a new receipt, edit state for a correction), the lines are DokladObsah.
// Assortment, stock cards and journal are opened on the indexes each operation needs and closed again.
//
// Transactions:
//   - numbering (the first line of a new receipt): the counter CIS_UCE is read and raised under a
//     row lock and the header is inserted in one transaction; a failure rolls both back and leaves the
//     header as it was before (unnumbered, insert state), without a message;
//   - every posted part of a line: the journal row(s), the stock card, the assortment card AND the
//     header's new totals are one transaction, so a till that dies in between leaves either all of
//     it or none; a failure rolls it all back and discards the open line.
// Operator messages go through ShowMessage (Messages.h); an unexpected error ends the operation with
// "Osetreni vyjimky" and is logged (korvanta.receipts).

#include "ReceiptRules.h"

#include <QString>

class TData;
class TDataSet;

namespace Receipts {

// What a line operation came to.
enum class TSaleResult {
    Sold,     // at least one part was posted (and the header stored with it)
    Nothing,  // nothing was sold (cancelled, zero quantity, refused with a message, no variant)
    Failed,   // a posting failed (its line discarded) or an error ended the operation ("Osetreni
              // vyjimky"; "Nepotvrzen zápis do karty" for a correction)
};

// What "Oprava" needs of the window before the correction dialog opens.
enum class TCorrectionStart {
    Ready,         // the line is in edit state: open the correction dialog (see TCorrectionDialog)
    EmptyReceipt,  // the receipt has no line: put the focus on the payment form field
    Refused,       // closed receipt (message shown), missing card or variant, tables not opened
};

// Values for the correction dialog (card and variant fields locked, focus on the quantity).
struct TCorrectionDialog {
    double puvodniMnozstvi = 0;  // PuvodniMnozstvi: the line's old quantity o
    QString stockDisplay;        // SKL_STA + o as PlainNumber, or "Neskl.pol."
    double basePrice = 0;        // B: the card's current SOR_PC1
    bool stockItem = true;       // SOR_SKL of the card
};

class TReceiptEngine {
public:
    explicit TReceiptEngine(TData& data);

    // --- opening contract ---
    // New receipt: ffUctenky in insert state (the opener filled HLA_DAT, HLA_DVS, HLA_DZP, HLA_FUH),
    // DokladObsah open and empty. NovaUctenka true, UctenkaZalozena false.
    void OpenNew();
    // Correction: ffUctenky in edit state on the stored receipt, DokladObsah filled by GetDoklad.
    // NovaUctenka false, UctenkaZalozena true.
    void OpenCorrection();
    bool NovaUctenka() const { return m_nova; }
    bool UctenkaZalozena() const { return m_zalozena; }
    // The header's HLA_DO2 marks it as taken in by a till closure ("F2 Nová"/"F4 Oprava" disabled).
    bool ReceiptClosed() const;

    // Price basis: from the station's ZakladniCenySDPH unless the opener sets it (price list).
    TPriceBasis Basis() const { return m_basis; }
    void SetBasis(TPriceBasis basis) { m_basis = basis; }
    // VAT rates from the station (Dan22, Dan05, Dan00).
    TVatRates Rates() const;

    // --- numbering (algorithm of the first line; public for tests) ---
    // Numbers the receipt when NovaUctenka: CIS_UCE raised under a lock, HLA_DO1, HLA_DO2
    // "0000000000", HLA_DAT now, header inserted, all in one transaction; afterwards the header is in
    // edit state, NovaUctenka false, UctenkaZalozena true. On failure: rolled back, no message, false,
    // and the header is back in insert state with its values from before.
    bool NumberReceipt();

    // --- "Nová" (F2), in two halves around the new-line dialog ---
    // Opens the tables, numbers the receipt if needed, applies the till-closure rule (message
    // "Účtenka již uzavřena výčetkou, nelze přidat !") and appends a line with DOK_CIS. True: open the
    // new-line dialog (PuvodniMnozstvi 0) on the appended line. False: nothing to do (tables closed).
    bool BeginNewLine();
    // The dialog was cancelled: discards the line and closes the tables.
    void CancelNewLine();
    // The dialog closed with OK, having filled DOK_KAV, DOK_NAZ, DOK_PC1, DOK_DAN, DOK_KUS; basePrice
    // is its ZakladniCena (B). Splits the quantity over the stock variants (stock item) or sells one
    // non-stock line, posting each part with its header totals; closes the tables. Afterwards
    // DokladObsah stands on the last line posted.
    TSaleResult FinishNewLine(double basePrice);

    // --- "Oprava" (F4), in two halves around the correction dialog ---
    // Applies the till-closure rule (message "Účtenka uzavřena výčetkou, nelze opravit"), opens the
    // tables, puts the current line into edit state and fills `dialog`.
    TCorrectionStart BeginCorrection(TCorrectionDialog& dialog);
    // The dialog was cancelled: cancels the line edit and closes the tables.
    void CancelCorrection();
    // The dialog closed with OK and left the new quantity in DOK_KUS (and DOK_PCC, DOK_NCC, DOK_PCS
    // recomputed). Checks the stock, posts the change (d = old - new) with the header totals in one
    // transaction, posts the line. On a failed posting shows "Nepotvrzen zápis do karty" and cancels the
    // line edit. Closes the tables.
    TSaleResult FinishCorrection();

    // --- direct sale from the keyboard ---
    // Sells `quantity` pieces of the card `code` (trimmed; an unknown or over-long code:
    // "Je mi líto kartu … neznám."), limited to the free stock SOR_STA - SOR_BLO ("Bude vydáno pouze …
    // kusů, víc nemám"), over the stock variants, every part posted without a difference row.
    TSaleResult DirectSale(const QString& code, double quantity);

private:
    // The card of the line being sold and the prices every part of it takes.
    struct TLineStart {
        bool commission = true;  // line dialogs: posted with a difference row; direct sale: without
        QString card, name, doc;
        double price = 0, rate = 0, basePrice = 0;
    };
    // The line under correction between BeginCorrection and FinishCorrection.
    struct TCorrection {
        QString card, variant;
        double oldQuantity = 0, basePrice = 0;
        bool stockItem = true;
    };

    bool OpenTables(const QString& denIndex);
    void CloseTables();
    bool ReadyToAdd();
    TSaleResult SellOverVariants(const TLineStart& line, double quantity);
    TSaleResult NewLine(double basePrice);
    TSaleResult Correct();
    TSaleResult Direct(const QString& code, double quantity);
    void Unexpected(const char* operation, const QString& what);
    template <typename Result, typename Body>
    Result Guarded(const char* operation, Result failed, Body body);

    TData& d;
    TPriceBasis m_basis;
    bool m_nova = false;
    bool m_zalozena = false;
    TCorrection m_corr;
};

}  // namespace Receipts
