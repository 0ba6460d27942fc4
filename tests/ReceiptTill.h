#pragma once

// The receipts one till sells in the several-tills and killed-till tests (in the test process and in
// kv_receipt_worker alike): the overview's new header, lines through the new-line path and the direct
// sale, the header posted at the end as the overview does on OK.

#include "DataUnit.h"
#include "ReceiptEngine.h"

#include <QDate>
#include <QString>

namespace ReceiptTill {

// Two stock cards with two variants each, and one item not kept in stock.
inline const QString kStockCards[] = {QStringLiteral("600001"), QStringLiteral("600002")};
inline const QString kServiceCard = QStringLiteral("600003");

// What the new-line dialog does with a card and a quantity; returns the card's base price.
inline double FillLine(TData& data, const QString& card, double quantity)
{
    TTable& sor = *data.ffSortiment;
    sor.SetIndexName(QStringLiteral("KAV"));
    if (!sor.FindKey({card}))
        return 0;
    TMemTable& dok = *data.DokladObsah;
    dok.FieldByName(QStringLiteral("DOK_KAV")).SetAsString(card);
    dok.FieldByName(QStringLiteral("DOK_NAZ"))
        .SetAsString(sor.FieldByName(QStringLiteral("SOR_NAC")).AsString());
    const double price = sor.FieldByName(QStringLiteral("SOR_PC1")).AsFloat();
    dok.FieldByName(QStringLiteral("DOK_PC1")).SetAsFloat(price);
    dok.FieldByName(QStringLiteral("DOK_DAN"))
        .SetAsFloat(sor.FieldByName(QStringLiteral("SOR_DAN")).AsFloat());
    dok.FieldByName(QStringLiteral("DOK_KUS")).SetAsFloat(quantity);
    dok.FieldByName(QStringLiteral("DOK_PCC")).SetAsFloat(price * quantity);
    return price;
}

// A new header as the receipt overview appends it before the receipt window opens.
inline void AppendHeader(TData& data)
{
    TTable& uce = *data.ffUctenky;
    if (!uce.Active())
        uce.Open();
    uce.Append();
    const QDate today = QDate::currentDate();
    uce.FieldByName(QStringLiteral("HLA_DAT")).SetAsDateTime(QDateTime::currentDateTime());
    uce.FieldByName(QStringLiteral("HLA_DVS")).SetAsDate(today);
    uce.FieldByName(QStringLiteral("HLA_DZP")).SetAsDate(today);
    uce.FieldByName(QStringLiteral("HLA_FUH")).SetAsString(QStringLiteral("1"));
}

// One receipt of 1 to 3 lines; true when it was numbered (and stored).
inline bool SellReceipt(TData& data, int seed)
{
    AppendHeader(data);
    TMemTable& dok = *data.DokladObsah;
    dok.Close();
    dok.Open();
    Receipts::TReceiptEngine engine(data);
    engine.OpenNew();
    const int lines = 1 + seed % 3;
    for (int l = 0; l < lines; ++l) {
        const int k = seed + l;
        const double quantity = 1 + k % 2;
        if (k % 3 == 0) {
            engine.DirectSale(kStockCards[k % 2], quantity);
        } else if (engine.BeginNewLine()) {
            const QString& card = k % 3 == 1 ? kStockCards[(k / 3) % 2] : kServiceCard;
            engine.FinishNewLine(FillLine(data, card, quantity));
        }
    }
    TTable& uce = *data.ffUctenky;
    if (engine.UctenkaZalozena()) {
        uce.Post();
        return true;
    }
    uce.Cancel();
    return false;
}

}  // namespace ReceiptTill
