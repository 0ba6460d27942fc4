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

private:
    void CheckBrowseMode();
    void Show(int pos);

    QList<QVector<QVariant>> m_rows;
    int m_pos = -1;
};
