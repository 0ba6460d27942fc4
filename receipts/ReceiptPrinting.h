#pragma once

#include "ReceiptPrintout.h"

#include <QString>

class QWidget;
class TData;

// Printing of the current receipt from the windows: on the receipt printer as raw bytes when the
// station's MatrixPrinter is on, otherwise as a page report after the print-options dialog.
namespace ReceiptPrinting {

// A page job: the printer (a page printer's queue name), the copies and whether a preview comes
// first. With a PDF file named, the page goes into that file instead (tests, screenshots).
struct TPageJob {
    QString printerName;
    int copies = 1;
    bool preview = false;
    QString pdfFile;
};

// Runs the page report for the receipt. On a station that prints into spool folders the page goes
// into the printer's folder as the next numbered PDF file. False when nothing was printed (no copies,
// preview closed without printing, or the printer could not be opened).
bool RunPageReport(const TReceiptPrint& receipt, const TPageJob& job, QWidget* owner);

// The page path: the print-options dialog over owner, then the page report with its choices. False
// when the dialog was cancelled or nothing was printed.
bool PrintPage(TData& data, QWidget* owner);

// F8 of the receipt window and the body of a reprint: the receipt that data.ffUctenky stands on with
// the lines of data.DokladObsah, raw or on a page as the station prints. False when the raw printout
// could not start because the receipt printer's position is not in the printer list; *error holds the
// list's message then and nothing was sent. A printer that cannot be opened is no error here.
bool PrintReceipt(TData& data, QWidget* owner, QString* error = nullptr);

// Reprint from the overview: the current receipt's lines rebuilt from the journal and printed as
// above. Every failure ends it silently; the line table is closed afterwards.
bool ReprintReceipt(TData& data, QWidget* owner);

// The cash drawer: one pulse on the receipt printer. Shows the printer list's message when the
// receipt printer's position is not in the list.
bool OpenDrawer(TData& data);

}  // namespace ReceiptPrinting
