#pragma once

#include <QByteArray>
#include <QList>
#include <QLocale>
#include <QString>

class TRAWPrinter;

// Layout routines shared by the printouts of the receipt printer (the receipt and the pass statement)
// and by the windows that show the same amounts. A printed line is laid out for 39 columns: centred
// heading texts, 28-column cells, "%8.2f" amounts.

// One step of a printout: a text line (sent with WriteLine, so followed by LF CR) or a bare line
// feed (NewLine).
struct TPrintStep {
    QByteArray text;
    bool lineFeed = false;

    bool operator==(const TPrintStep&) const = default;
};

namespace PrintLayout {

constexpr int kLineWidth = 39;
constexpr int kCellWidth = 28;

// Printer control codes used inside lines.
inline const QByteArray kBoldOn("\x1B\x68\x31");   // ESC "h1"
inline const QByteArray kBoldOff("\x1B\x68\x30");  // ESC "h0"
inline const QByteArray kWideOn("\x1B\x57\x31");   // ESC "W1"
inline const QByteArray kWideOff("\x1B\x57\x30");  // ESC "W0"

// The text centred in 39 columns (PadCenter with blanks); a longer text stays whole.
QByteArray Centre39(const QByteArray& text);
// The text padded with blanks to 28 columns and cut to 28: always exactly 28 characters.
QByteArray Col28(const QByteArray& text);

// The value with `decimals` decimals, rounded with halves away from zero (as the value's shortest
// decimal form reads, so 2.675 gives 2.68), right-aligned in at least `width` characters, the
// locale's decimal separator, no group separator, a minus sign only for a value that does not round
// to zero.
QString FormatFixed(double value, int decimals, int width, const QLocale& locale = QLocale());
// "%8.2f" with the rules above.
QString AmountText(double value, const QLocale& locale = QLocale());
// The same in code page 1250 for the printer (the separator is ASCII in every locale used).
QByteArray Amount(double value, const QLocale& locale = QLocale());
// A quantity as "%4.0f" (whole number, halves away from zero) with its blanks trimmed.
QByteArray Quantity(double value);

// The bytes the steps send.
QByteArray Bytes(const QList<TPrintStep>& steps);
// Sends the steps through the channel; its results are not examined (a printer that takes nothing
// costs nothing more).
void Write(TRAWPrinter& printer, const QList<TPrintStep>& steps);

}  // namespace PrintLayout
