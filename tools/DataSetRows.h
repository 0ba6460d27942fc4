#pragma once

// The rows of the tool's data sets (demo and generate), derived the way the program derives them: a
// journal row's amounts come from the stock engine's JournalAmounts, a pass movement's balance from the
// pass account's BalanceAfter, a receipt's totals from the receipt rules, so that every invariant that
// korvanta-db check verifies holds by construction.

#include "ReceiptRules.h"
#include "RowWriters.h"

#include <QDate>
#include <QDateTime>
#include <QString>

// What the written figures follow from: the station's VAT rates and whether prices include VAT.
struct TStation {
    int dan22 = 22, dan05 = 5, dan00 = 0;
    bool gross = true;
};

inline const QString kOpenTill = QStringLiteral("0000000000");  // HLA_DO2 of a receipt no closure took in

struct TCardRow {
    QString kav, nac, sku;
    bool skl = true;  // kept in stock
    double pc1 = 0, pc2 = 0;
    int dan = 0;
    double sta = 0;  // the sum of its variants' stock
    QDate lastSale;  // SOR_PPO; invalid: never sold
};
void WriteCard(TRowWriter& sor, const TCardRow& c);

struct TVariantRow {
    QString kav, ind;
    double snc = 0;  // purchase price
    double poc = 0;  // opening stock
    double sta = 0;  // stock after every sale
};
void WriteVariant(TRowWriter& skl, const TVariantRow& v);

// The item of a sale line.
struct TSaleItem {
    QString kav, ind;
    bool skl = true;
    double pc1 = 0;  // the card's price (with VAT when the station's prices include it)
    int dan = 0;
    double snc = 0;  // the variant's purchase price
};

// One receipt as the receipt window posts it: every line one sale movement "005" at the card's price
// (made net when prices include VAT) with the variant's stock after it in DEN_ZAS, then the header with
// the totals and VAT buckets summed line by line.
class TReceiptRows {
public:
    TReceiptRows(TWriters& w, const TStation& station) : m_w(w), m_st(station) {}
    void Begin(const QString& number, const QDateTime& at, const QString& fuh, const QString& ref);
    // variantStock: the variant's running stock, lowered by a stock item's sale.
    void Line(const TSaleItem& item, double quantity, double& variantStock);
    void End();

private:
    TWriters& m_w;
    const TStation& m_st;
    QString m_number, m_fuh, m_ref;
    QDateTime m_at;
    int m_line = 0;
    Receipts::TTotals m_totals;
};

// A pass movement: units of a card at its pass price, +1 deposit or -1 withdrawal.
struct TPassMove {
    QString kav, nac;
    double price = 0;
    int dan = 0;
    double kus = 0;
    double koe = 1;
    QDate dat;
};

struct TPassRow {
    QString kod, jme;
    QDateTime odd, dod;
};
// The pass header with the totals of its movements.
void WritePass(TRowWriter& leg, const TPassRow& p, const QList<TPassMove>& moves);
// The movements of the stored pass `passId` in booking order, each with the balance after it.
void WritePassMoves(TRowWriter& lep, qint64 passId, const QList<TPassMove>& moves);
