#include "ReceiptEngine.h"

#include "DataUnit.h"
#include "ReceiptLog.h"

Q_LOGGING_CATEGORY(lcReceipts, "korvanta.receipts")

namespace Receipts {

TReceiptEngine::TReceiptEngine(TData& data) : d(data), m_basis(BasisFromSetting(data.ZakladniCenySDPH)) {}

void TReceiptEngine::OpenNew()
{
    m_nova = true;
    m_zalozena = false;
}

void TReceiptEngine::OpenCorrection()
{
    m_nova = false;
    m_zalozena = true;
}

bool TReceiptEngine::ReceiptClosed() const { return false; }

TVatRates TReceiptEngine::Rates() const { return TVatRates{d.Dan22, d.Dan05, d.Dan00}; }

bool TReceiptEngine::NumberReceipt() { return false; }
bool TReceiptEngine::BeginNewLine() { return false; }
void TReceiptEngine::CancelNewLine() {}
TSaleResult TReceiptEngine::FinishNewLine(double) { return TSaleResult::Nothing; }
TCorrectionStart TReceiptEngine::BeginCorrection(TCorrectionDialog&) { return TCorrectionStart::Refused; }
void TReceiptEngine::CancelCorrection() {}
TSaleResult TReceiptEngine::FinishCorrection() { return TSaleResult::Nothing; }
TSaleResult TReceiptEngine::DirectSale(const QString&, double) { return TSaleResult::Nothing; }

}  // namespace Receipts
