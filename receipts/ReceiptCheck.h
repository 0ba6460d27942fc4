#pragma once

// Every receipt header of an organisation against its journal rows (total, purchase total, VAT
// buckets), for `korvanta-db check` and the tests.

#include "ReceiptRules.h"

#include <QString>

#include <functional>

class TDatabase;

namespace Receipts {

// Reports one text per header that disagrees with its journal rows (see ExpectedFromJournal) and
// returns how many there were. Throws EDatabaseError when the tables cannot be read.
int CheckReceiptHeaders(TDatabase& db, const QString& organisation, TPriceBasis basis, const TVatRates& rates,
                        const std::function<void(const QString&)>& report);

}  // namespace Receipts
