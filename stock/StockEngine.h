#pragma once

// The stock engine: look-ups of assortment cards and stock variants, stock checks, the posting of
// stock movements into the journal, the rebuild of a card's figures from the journal and the loading
// of a stored document's lines. No widgets; the windows reach it through TData's operations and hand
// it their pickers and progress display as hooks.

#include "Database.h"
#include "MemTable.h"
#include "Table.h"

#include <QString>

#include <functional>

// The tables the engine works on; all owned by the caller and outliving the engine.
struct TStockTables {
    TDatabase& db;
    TTable& sortiment;  // assortment cards (SOR)
    TTable& sklad;      // stock variants (SKL)
    TTable& denik;      // the movement journal (DEN)
    TTable& ciselnik;   // the codebook (CIS); a non-commission posting closes it
    TMemTable& doklad;  // the lines of a loaded document (DOK)
};

// The station's settings that the engine reads, kept current by the caller (they change at sign-on
// and when the windows move).
struct TStockSettings {
    const QString& operatorInitials;  // DEN_REF of new journal rows
    const int& priceMode;             // ZakladniCenySDPH: 2 = base prices include VAT
    const int& anchorTop;             // where the pickers open
    const int& anchorLeft;
};

// The remembered assortment card (SetLastSor / GetLastSor), kept by the caller.
struct TStockLastCard {
    bool& valid;
    QString& kav;
    QString& index;
};

// What the windows lend the engine. Each may be empty: no picker counts as "nothing chosen", no
// progress display shows nothing.
struct TStockHooks {
    std::function<bool(int top, int left)> pickSortiment;
    std::function<bool(int top, int left)> pickSklad;
    std::function<void(const QString& title, const QString& label, const QString& name)> progressShow;
    std::function<void(int percent)> progressStep;
    std::function<void()> progressHide;
    std::function<void(bool busy)> busyCursor;
};

// One stock movement. A commission movement (ZapisPohybuVarProvize) carries the base price on the
// movement row and books the difference to the line price on a row of its own beside it.
struct TStockMovement {
    bool commission = false;
    QString card, variant, doc, op, diffOp;
    float price = 0;      // unit price of the movement row (the base price of a commission)
    float linePrice = 0;  // commission only: the price the line was sold at
    float vatRate = 0;
    double quantity = 0;

    static TStockMovement Plain(const QString& card, const QString& variant, const QString& doc,
                                const QString& op, float price, float vatRate, double quantity);
    static TStockMovement Commission(const QString& card, const QString& variant, const QString& doc,
                                     const QString& op, const QString& diffOp, float linePrice, float vatRate,
                                     double quantity, float basePrice);
};

// The amounts of the journal rows that a movement writes; the same arithmetic serves the posting and
// anyone who writes journal rows without a posting (the administration tool's data sets).
struct TJournalAmounts {
    double quantity = 0;         // DEN_KUS of the movement row
    double value = 0;            // DEN_HPC: price times quantity
    double purchaseValue = 0;    // DEN_HNC: purchase price times quantity
    bool hasDifference = false;  // a commission row follows
    double differenceValue = 0;  // its DEN_HPC (its DEN_KUS and DEN_HNC are 0)
};
TJournalAmounts JournalAmounts(const TStockMovement& m, float purchasePrice);

class TStockEngine {
public:
    TStockEngine(TStockTables tables, TStockSettings settings, TStockLastCard lastCard);

    TStockHooks Hooks;

    // Look-ups: true when the table stands on the card (variant), found or picked.
    bool SorValid(QString cardCode);
    bool SklValid(QString cardCode, QString variantCode);
    // Stock checks: false (with the operator told the shortage) when the stock would go negative.
    bool KontrolaStavu(QString cardCode, QString variantCode, double stockChange, double lineQuantity);
    bool KontrolaStavuKarta(QString cardCode, double stockChange, double lineQuantity);
    bool SetLastSor();
    bool GetLastSor();

    // Rebuilds the card's stock figures from the journal; joins a transaction the caller holds open.
    // False when the card is missing or a database error stopped it (logged).
    bool RekonstrukceKarty(QString cardCode);

    // Postings in a transaction of their own: true when the movement was committed, false when the
    // card or variant is missing or a database error rolled it all back (logged).
    bool ZapisPohybuVar(QString cardCode, QString variantCode, QString docNumber, QString opCode, float price,
                        float vatRate, double quantity);
    bool ZapisPohybuVarProvize(QString cardCode, QString variantCode, QString docNumber, QString opCode,
                               QString diffOpCode, float linePrice, float vatRate, double quantity,
                               float basePrice);
    bool Post(const TStockMovement& m);

    // The same posting inside a transaction that the caller has open (a sale's part together with
    // the receipt header's totals): it neither commits nor rolls back. False when the card or variant
    // is missing (nothing written); a database error throws EDatabaseError, and the caller rolls the
    // whole transaction back. Throws EDatabaseError when no transaction is open.
    bool PostInTransaction(const TStockMovement& m);

    // Fills the document table (opened and emptied by the caller) with the lines of a stored document.
    void GetDoklad(QString docNumber, QString pcsOps, QString pomOps, QString slpOps, QString rabOps,
                   int docType);

    const TStockTables& Tables() const { return m_t; }
    const TStockSettings& Settings() const { return m_settings; }

private:
    friend class TStockPosting;

    TStockTables m_t;
    TStockSettings m_settings;
    TStockLastCard m_last;
};
