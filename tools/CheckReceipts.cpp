#include "CheckReceipts.h"

#include "DataUnit.h"
#include "ReceiptCheck.h"

int CheckReceipts(TData& data, bool gross, const std::function<void(const QString&)>& report)
{
    return Receipts::CheckReceiptHeaders(*data.ffDatabase, data.Prodejna,
                                         gross ? Receipts::TPriceBasis::Gross : Receipts::TPriceBasis::Net,
                                         Receipts::TVatRates{data.Dan22, data.Dan05, data.Dan00}, report);
}
