#pragma once

#include "DBGrid.h"

#include <QAbstractTableModel>
#include <QList>
#include <QPointer>
#include <QTableView>

#include "MemTable.h"

// The lines of the receipt being worked on (an in-memory table) as rows of a grid. The model follows
// the table: rows are re-read after every post, delete, cancel and scroll, and the current row is
// the table's current record.
class TDokladGridModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TDokladGridModel(QObject* parent = nullptr);

    void SetDataSet(TMemTable* table, const QList<TGridColumn>& columns);
    TMemTable* DataSet() const { return m_table; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Row of the table's current record, -1 when there is none.
    int CursorRow() const;

signals:
    void CursorRowChanged(int row);

private:
    void TableChanged();

    QPointer<TMemTable> m_table;
    QList<TGridColumn> m_columns;
    QList<int> m_fieldIndexes;
    QList<QMetaObject::Connection> m_connections;
    int m_count = 0;
};

// Read-only grid of the receipt lines: whole-row selection, no editing in place and no search by
// typing (digits typed on the receipt window belong to the direct sale).
class TDokladGrid final : public QTableView {
    Q_OBJECT
public:
    explicit TDokladGrid(QWidget* parent = nullptr);

    void SetDataSet(TMemTable* table, const QList<TGridColumn>& columns);
    TDokladGridModel* GridModel() const { return m_model; }

    void keyboardSearch(const QString&) override {}

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    void ShowCursorRow(int row);

    TDokladGridModel* m_model;
    bool m_following = false;
};
