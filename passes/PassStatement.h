#pragma once

#include "PrintLayout.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>

class TData;
class TDataSestavy;
class TRAWPrinter;

// The statement of one pass for one day on the receipt printer: the owner's heading, the pass and its
// holder, the day's movements, the day's totals, the balance and a line for the approving signature.
// Laid out for 39 characters a line; item names go out in code page 852, the texts of the heading
// taken from the tables in code page 1250, the fixed texts are plain ASCII.

struct TStatementMovement {
    QDateTime date;        // LEP_DAT
    QString name;          // LEP_NAC
    double price = 0;      // LEP_PC1
    double units = 0;      // LEP_KUS
    double direction = 0;  // LEP_KOE
    double balance = 0;    // LEP_ZUS
};

struct TPassStatement {
    // Owner (VLA): firm, street, town, postcode, company id, tax id.
    QString firm, street, town, postcode, ico, dic;
    QString passNumber;                   // LEG_KOD
    QString holder;                       // LEG_JME
    double deposits = 0;                  // LEG_POC
    QDateTime day;                        // the statement's date
    QList<TStatementMovement> movements;  // every movement of the pass, in list order
};

namespace PassStatement {

// The shared layout routines: "%8.2f" amounts, the bytes of the steps, sending them.
using PrintLayout::Amount;
using PrintLayout::Bytes;
using PrintLayout::Write;

// The statement's lines between the logo and the closing feed (seven line feeds and ESC "d0" BEL,
// which the document frame adds).
QList<TPrintStep> Lines(const TPassStatement& statement, const QLocale& locale = QLocale());

// Reads the statement of the pass that data.ffLegHla stands on: the owner's first record, the pass
// and all its movements (read with a cursor of its own, so the account list keeps its place).
TPassStatement Collect(TData& data, const QDateTime& day);

// F8 of the account window: the statement of the current pass for `day` on the receipt printer at
// position ParagonovaTiskarna, as one job. Nothing when MatrixPrinter is off. False when no job went
// out; *error then holds the printer list's message when the position is not in the list. Database
// errors are thrown before any byte goes to the printer.
bool Print(TData& data, TDataSestavy& printing, const QDateTime& day, QString* error = nullptr);

}  // namespace PassStatement
