#pragma once

#include "PrintLayout.h"

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>

// A cash receipt as the receipt printer prints it: the owner's heading, the receipt number and date,
// one or two lines per item, the VAT summary, the bold total and the closing line. The same data
// feeds the page-printed receipt.

struct TReceiptPrintLine {
    QString name;          // DOK_NAZ
    double quantity = 0;   // DOK_KUS
    double unitPrice = 0;  // DOK_PC1
    double total = 0;      // DOK_PCC
};

struct TReceiptPrint {
    // Owner (VLA): firm, street, town, postcode, company id, tax id, as stored.
    QString firm, street, town, postcode, ico, dic;
    QString number;    // HLA_DO1
    QDateTime issued;  // HLA_DAT
    double total = 0;  // HLA_CUH
    double base22 = 0, vat22 = 0, base05 = 0, vat05 = 0, base00 = 0;
    QList<TReceiptPrintLine> lines;
};

namespace ReceiptPrintout {

// The heading texts, trimmed and not yet centred (the page layout uses them too): firm, address,
// registration numbers, "Pokladni doklad cislo ...", "Vystaveno dne ...".
QStringList HeadingTexts(const TReceiptPrint& receipt);

// The receipt's lines between the logo and the closing feed (seven line feeds and ESC "d0" BEL, which
// the document frame adds). Item names go out in code page 852, the heading in code page 1250.
QList<TPrintStep> Lines(const TReceiptPrint& receipt, const QLocale& locale = QLocale());

}  // namespace ReceiptPrintout
