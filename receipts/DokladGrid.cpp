#include "DokladGrid.h"

#include "MemTable.h"

#include <QHeaderView>

TDokladGridModel::TDokladGridModel(QObject* parent) : QAbstractTableModel(parent) {}

void TDokladGridModel::SetDataSet(TMemTable* table, const QList<TGridColumn>& columns)
{
    beginResetModel();
    for (const QMetaObject::Connection& c : m_connections)
        disconnect(c);
    m_connections.clear();
    m_table = table;
    m_columns = columns;
    m_fieldIndexes.clear();
    for (const TGridColumn& c : m_columns)
        m_fieldIndexes.append(table ? table->FieldIndex(c.field) : -1);
    if (table) {
        for (auto signal : {&TDataSet::AfterOpen, &TDataSet::AfterClose, &TDataSet::AfterPost,
                            &TDataSet::AfterDelete, &TDataSet::AfterCancel, &TDataSet::AfterScroll})
            m_connections.append(connect(table, signal, this, &TDokladGridModel::TableChanged));
    }
    m_count = table && table->Active() ? table->RecordCount() : 0;
    endResetModel();
}

void TDokladGridModel::TableChanged()
{
    const int count = m_table && m_table->Active() ? m_table->RecordCount() : 0;
    if (count != m_count) {
        beginResetModel();
        m_count = count;
        endResetModel();
    } else if (m_count > 0) {
        emit dataChanged(index(0, 0), index(m_count - 1, int(m_columns.size()) - 1));
    }
    emit CursorRowChanged(CursorRow());
}

int TDokladGridModel::CursorRow() const
{
    if (!m_table || !m_table->Active() || m_count == 0)
        return -1;
    return std::clamp(m_table->RecNo() - 1, 0, m_count - 1);
}

int TDokladGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_count;
}

int TDokladGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant TDokladGridModel::data(const QModelIndex& index, int role) const
{
    if (!m_table || !index.isValid() || index.row() >= m_count)
        return {};
    const int field = m_fieldIndexes.value(index.column(), -1);
    if (field < 0)
        return {};
    const TFieldDef& def = m_table->Def().fields[field];
    if (role == Qt::TextAlignmentRole) {
        const bool number = def.type == TFieldType::Float || def.type == TFieldType::Integer;
        return QVariant::fromValue(Qt::AlignVCenter | (number ? Qt::AlignRight : Qt::AlignLeft));
    }
    if (role != Qt::DisplayRole)
        return {};
    const QVector<QVariant>& row = m_table->RowValues(index.row());
    return FieldValues::Display(def, row.value(field), m_table->Locale());
}

QVariant TDokladGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= m_columns.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    const TGridColumn& c = m_columns[section];
    if (!c.title.isEmpty() || !m_table)
        return c.title;
    const int field = m_fieldIndexes.value(section, -1);
    return field < 0 ? c.field : m_table->Def().fields[field].DisplayLabel();
}

Qt::ItemFlags TDokladGridModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

TDokladGrid::TDokladGrid(QWidget* parent) : QTableView(parent), m_model(new TDokladGridModel(this))
{
    setModel(m_model);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setWordWrap(false);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    verticalHeader()->setFixedWidth(12);
    connect(m_model, &TDokladGridModel::CursorRowChanged, this, &TDokladGrid::ShowCursorRow);
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] { ShowCursorRow(m_model->CursorRow()); });
}

void TDokladGrid::SetDataSet(TMemTable* table, const QList<TGridColumn>& columns)
{
    m_model->SetDataSet(table, columns);
    for (int i = 0; i < columns.size(); ++i)
        if (columns[i].width > 0)
            setColumnWidth(i, columns[i].width);
    ShowCursorRow(m_model->CursorRow());
}

void TDokladGrid::ShowCursorRow(int row)
{
    if (row < 0 || (currentIndex().isValid() && currentIndex().row() == row))
        return;
    m_following = true;
    setCurrentIndex(m_model->index(row, std::max(0, currentIndex().column())));
    m_following = false;
}

void TDokladGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    TMemTable* table = m_model->DataSet();
    if (m_following || !current.isValid() || !table || !table->Active())
        return;
    if (table->State() != TDataSetState::Browse || table->RecNo() - 1 == current.row())
        return;
    table->MoveTo(current.row());
}
