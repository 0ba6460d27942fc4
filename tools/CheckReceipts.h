#pragma once

#include <QString>

#include <functional>

class TData;

// Every receipt header of the data module's organisation against its journal rows (total, purchase
// total, VAT buckets), with the station's VAT rates; gross: prices include VAT. Reports each
// disagreement and returns how many there were.
int CheckReceipts(TData& data, bool gross, const std::function<void(const QString&)>& report);
