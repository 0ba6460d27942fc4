#pragma once

#include "ReceiptPrintout.h"

#include <QString>

#include <functional>

class TData;
class TDataSestavy;

// The receipt printout on the receipt printer, its reprint from the overview and the drawer pulse.
// No widgets: the page path (print-options dialog, page report) is handed in by the windows.
namespace ReceiptPrint {

// The receipt to print: the owner's current record (the owner table is opened when it is closed and
// left open), the current record of data.ffUctenky and every line of data.DokladObsah in its order.
TReceiptPrint Collect(TData& data);

// The raw printout of the current receipt and its lines as one job on the printer at position
// ParagonovaTiskarna: logo, the receipt's lines, seven line feeds, ESC "d0" BEL. Everything is read
// before the job starts. False when no complete job went out; *error then holds the printer list's
// message when the position is not in the list (nothing has been sent then).
bool PrintRaw(TData& data, TDataSestavy& printing, QString* error = nullptr);

// Opens the cash drawer: a job of its own with the line BEL on the printer at ParagonovaTiskarna,
// whatever MatrixPrinter says.
bool OpenDrawer(TData& data, TDataSestavy& printing, QString* error = nullptr);

// Rebuilds the lines of the current receipt of data.ffUctenky from the journal into DokladObsah
// (opened and emptied first): the receipt record is put into edit and saved back unchanged around the
// rebuild, as a correction does. Throws what the store throws.
void LoadLines(TData& data);

// Reprint of the current receipt: its lines rebuilt from the journal, then `print` (the raw printout,
// or the page path when MatrixPrinter is off). Every failure ends it silently (false); the line table
// is closed in every outcome.
bool Reprint(TData& data, const std::function<void()>& print);

}  // namespace ReceiptPrint
