#pragma once

#include "Table.h"

#include <QAbstractTableModel>
#include <QList>
#include <QPointer>
#include <QTableView>

// One column of a data grid: the field, its width in pixels (-1: from the field's size and caption)
// and its title (empty: the field's caption).
struct TGridColumn {
    TGridColumn(QString fieldName, int widthPx = -1, QString caption = QString())
        : field(std::move(fieldName)), width(widthPx), title(std::move(caption))
    {}
    QString field;
    int width = -1;
    QString title;
};

// A table shown as rows for a grid. It holds only a window of rows around the part being shown,
// read by keyset queries from its edges (or at a position when the grid jumps far), so a table of
// any size opens at once. The row count is the table's record count in the current order, range and
// filter. The model follows the cursor: when the cursor moves elsewhere, CursorRowChanged tells the
// grid the row of the new current record.
class TDBGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TDBGridModel(QObject* parent = nullptr);

    // Empty columns: every field of the table.
    void SetDataSet(TTable* table, const QList<TGridColumn>& columns = {});
    TTable* DataSet() const { return m_table; }
    const QList<TGridColumn>& Columns() const { return m_columns; }
    int FieldIndexOfColumn(int column) const { return m_fieldIndexes.value(column, -1); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Counts the rows again and forgets the rows read; call it after changing the table's range.
    // Order, filter and stored changes are noticed without it.
    void Reload();
    // Applies what the table's signals asked for now rather than at the next pass of the event loop.
    void Flush();
    // Row of the table's current record, -1 when there is none.
    int CursorRow() const { return m_cursorRow; }
    // Makes the record shown in the row the table's current record.
    void MoveCursorTo(int row);
    // The record shown in a row, read when needed; nullptr outside the rows.
    const TRow* RowAt(int row) const;
    // While on, rows far from those read are not read (the scroll bar is being dragged).
    void SetHoldJumps(bool hold) { m_holdJumps = hold; }

signals:
    void CursorRowChanged(int row);

private:
    void ScheduleApply();
    void Apply();
    void SyncToCursor();
    void Report(const EDatabaseError& e) const;
    void Ensure(int row) const;
    void Trim(int keep) const;
    int RowOfId(qint64 id) const;
    QString Signature() const;
    void DetachTable();

    QPointer<TTable> m_table;
    QList<TGridColumn> m_columns;
    QList<int> m_fieldIndexes;
    QList<QMetaObject::Connection> m_connections;

    int m_count = 0;
    int m_cursorRow = -1;
    QString m_signature;
    bool m_moving = false;  // the grid is moving the cursor itself
    bool m_needReload = false;
    bool m_needSync = false;
    bool m_applyQueued = false;
    bool m_holdJumps = false;
    mutable bool m_failed = false;  // a read failed; no more reads until Reload
    mutable int m_base = 0;         // row number of m_rows.first()
    mutable QList<TRow> m_rows;     // consecutive rows of the current order
};

// Data grid: whole-row selection, no editing in place, the current row is the table's current record.
// Ctrl+Del deletes the current record after the question "Delete record?" unless the grid is read-only.
class TDBGrid : public QTableView {
    Q_OBJECT
public:
    explicit TDBGrid(QWidget* parent = nullptr);

    void SetDataSet(TTable* table, const QList<TGridColumn>& columns = {});
    TTable* DataSet() const { return m_model->DataSet(); }
    TDBGridModel* GridModel() const { return m_model; }
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool readOnly) { m_readOnly = readOnly; }
    void Reload() { m_model->Reload(); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    void ShowCursorRow(int row);
    void ApplyColumnWidths();

    TDBGridModel* m_model;
    bool m_readOnly = false;
    bool m_following = false;  // moving the current row to where the cursor went
};
