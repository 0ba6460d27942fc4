#pragma once

#include "DataSet.h"
#include "Database.h"
#include "Schema.h"

#include <QDate>
#include <QVariant>

// How field values are written to and read from the two stores, shared by the cursors and the schema
// tool so that what either writes reads back the same. Dates and times are text on SQLite
// ("yyyy-MM-dd", "yyyy-MM-dd HH:mm:ss.zzz", "HH:mm:ss"), booleans 0/1 there and booleans on PostgreSQL,
// floats exact text for the PostgreSQL driver. Key columns never hold NULL: an empty key value is stored
// as the type's empty value (a far-past date for dates) and read back as empty.
inline const QDate kEmptyStoreDate(1, 1, 1);

// A text holding a NUL character is refused with EDatabaseError on both stores (PostgreSQL cannot take
// it, and SQLite would keep a value that the other store cannot).
QVariant StoreValue(const TFieldDef& f, const QVariant& value, bool key, TStoreKind kind,
                    FieldValues::TTextFit fit = FieldValues::TTextFit::Cut);
// A column as the store returned it, turned into the field's value (null for an empty key date).
QVariant ReadStoreValue(const TFieldDef& f, const QVariant& raw);

QString StoreDateText(QDate date);
QString StoreTimeText(QTime t, bool withMs);
