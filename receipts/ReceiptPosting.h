#pragma once

// The posting of one part of a receipt line: the journal row(s), the stock card, the assortment card
// and the change of the receipt header's totals, in one transaction. Internal to the receipt engine.

#include "ReceiptRules.h"

#include <QString>

class TData;

namespace Receipts {

struct TPartMovement {
    bool commission = false;  // line dialogs: base price on the movement row, difference row beside it
    QString card, variant, doc;
    float price = 0;      // unit price of the movement row (the base price for a commission posting)
    float linePrice = 0;  // commission only: the unit price the line was sold at
    float vatRate = 0;
    double quantity = 0;  // signed stock change, negative for a sale
};

// Posts the movement and adds `totals` to the header (ffUctenky, in edit state), all or nothing.
// True when committed; afterwards the header is in edit state again. False when the card or the
// variant's stock card is missing (nothing written) or the transaction failed: it is rolled back,
// a stock card is rebuilt from the journal, and the header is put back as it was before the call
// (stored totals, the window's pending changes kept). Errors outside the posting itself (the
// rebuild, a lost connection while putting the header back) are thrown.
bool PostPart(TData& data, const TPartMovement& movement, const TTotals& totals);

}  // namespace Receipts
