#pragma once

// Writers of table rows for the tool's data sets: through a cursor (the demo, a few hundred rows) or
// as multi-row prepared INSERTs (generated volumes; on PostgreSQL every statement is a round trip).
// A row is filled column by column by name; a column not set stays empty.

#include "Database.h"
#include "Schema.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVariant>

#include <memory>

class TRowWriter {
public:
    // columns: the columns the rows may set; matchColumn (one of them, or empty): the column whose
    // value finds a stored row's identity again (StoredId).
    TRowWriter(const TTableDef& def, const QStringList& columns, const QString& matchColumn);
    virtual ~TRowWriter() = default;

    // Sets a column of the pending row. A name outside the writer's columns is a programming error and
    // throws std::invalid_argument.
    TRowWriter& Set(QStringView column, const QVariant& value);
    // Writes the pending row (or queues it for the next batch) and starts an empty one.
    void Add();
    // Writes what is queued.
    virtual void Flush() {}
    qint64 Count() const { return m_count; }
    // Identity of each stored row by the value of its match column, once flushed.
    qint64 StoredId(const QString& match) const { return m_ids.value(match, 0); }
    // Drops the remembered identities (a batch of them has been used).
    void ForgetIds() { m_ids.clear(); }

    TRowWriter(const TRowWriter&) = delete;
    TRowWriter& operator=(const TRowWriter&) = delete;

protected:
    // Values in the order of the columns; an invalid QVariant leaves the column empty.
    virtual void Write(const QVariantList& values) = 0;

    QStringList m_columns;
    QList<int> m_fields;
    int m_match = -1;
    QHash<QString, qint64> m_ids;

private:
    QVariantList m_row;
    qint64 m_count = 0;
};

// The writers of one data set, one per table.
struct TWriters {
    std::unique_ptr<TRowWriter> sor, skl, uce, den, leg, lep;
    void FlushAll();
};

enum class TWriteMode { Cursor, Bulk };
TWriters MakeWriters(TDatabase& db, const QString& organisation, TWriteMode mode);
