#pragma once

#include "DataSet.h"

#include <QList>

// A record set held in memory (the lines of the receipt being worked on). Rows stay in the order in
// which they were added; closing the table discards them.
class TMemTable : public TDataSet {
    Q_OBJECT
public:
    explicit TMemTable(const TTableDef& def, QObject* parent = nullptr) : TDataSet(def, parent) {}

    void Open() override;
    void Close() override;
    void First() override;
    void Last() override;
    void Next() override;
    void Prior() override;
    bool IsEmpty() override { return m_rows.isEmpty() && State() != TDataSetState::Insert; }
    int RecordCount() override { return int(m_rows.size()); }
    int RecNo() const { return m_pos + 1; }
    void Append() override;
    void Edit() override;
    void Post() override;
    void Cancel() override;
    void Delete() override;
    bool Locate(const QString& fields, const QVariantList& values) override;
    void EmptyTable();
    // The stored values of a row (0-based), for grids; a pending edit of the current row is not in it.
    const QVector<QVariant>& RowValues(int row) const { return m_rows[row]; }
    // Makes the row (0-based) the current record; a pending edit is posted first.
    void MoveTo(int row);

private:
    void CheckBrowseMode();
    void Show(int pos);

    QList<QVector<QVariant>> m_rows;
    int m_pos = -1;
};
