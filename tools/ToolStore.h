#pragma once

// What every command of korvanta-db reads from the store, and the small formats they share.

#include "Database.h"
#include "Schema.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

class TData;

namespace Tool {

// The quoted SQL name of the organisation's table of this definition.
QString Sql(const TTableDef& def, const QString& organisation);
QString TableList(const QStringList& names);
QStringList AllPrefixes();
// Throws, naming every missing table, when one of the organisation's tables is not there.
void RequireTables(TDatabase& db, const QString& organisation, const QStringList& prefixes);

// All rows of a query (read completely before anything else runs on the connection).
QList<QVariantList> Rows(TDatabase& db, const QString& sql, const QVariantList& binds = {});
QVariant Scalar(TDatabase& db, const QString& sql, const QVariantList& binds = {});
// The highest code of digits in one column (0 when there is none), so that new codes never collide.
qint64 MaxDigitsCode(TDatabase& db, const QString& table, const QString& column);

// Receipt counter of the organisation: the first codebook record's CIS_UCE or the highest stored
// receipt number, whichever is higher, so that numbering goes on after everything already stored.
qint64 LastReceiptNumber(TDatabase& db, const QString& org);
// Stores the counter in the first codebook record, creating the record when there is none.
void SetReceiptCounter(TDatabase& db, const QString& org, qint64 last);
QString ReceiptNumber(qint64 n);
// Prices include VAT when the first price list says so (as the receipt overview decides), otherwise
// by the station's setting.
bool GrossPrices(TDatabase& db, const TData& data);
// The login name with which the program signs the system user on without a dialog.
QString OsLogin();
// Initials of the operator the program would sign on: the OS user's row, else the first two letters.
QString OperatorInitials(TDatabase& db);

// A boolean as either store gives it back.
bool SqlBool(const QVariant& v);
// Whole texts of digits only, as numbers (codes and document numbers).
std::optional<qint64> DigitsValue(const QString& text);
QString Num(double v);
QString Seconds(qint64 ms);
// Two figures that should be equal: sums taken in another order may differ in the last bits.
bool Same(double a, double b);

}  // namespace Tool
