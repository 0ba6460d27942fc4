#pragma once

#include "ReceiptPrintout.h"

#include <QLocale>
#include <QString>

class QPagedPaintDevice;

// The receipt laid out on a page, for stations that print receipts on a page printer: the owner's
// heading, the number and date, a table of the items with quantity, unit price and amount, the VAT
// summary and the total.
namespace ReceiptPage {

// The page as HTML for QTextDocument.
QString Html(const TReceiptPrint& receipt, const QLocale& locale = QLocale());

// Paints the receipt on the device, `copies` times one after another (each copy starts on a new
// page). A device that makes the copies itself (a page printer with a copy count) gets 1.
void Paint(const TReceiptPrint& receipt, QPagedPaintDevice& device, int copies = 1,
           const QLocale& locale = QLocale());

}  // namespace ReceiptPage
