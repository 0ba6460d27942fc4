#include "DBGrid.h"

#include "Messages.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMetaObject>
#include <QProxyStyle>
#include <QScrollBar>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr int kPage = 100;      // rows read at a time
constexpr int kReach = 500;     // a row this close to the window is read from the window's edge
constexpr int kMaxRows = 3000;  // rows kept; the far end is dropped beyond this

bool IsNumber(TFieldType t)
{
    return t == TFieldType::Float || t == TFieldType::Integer || t == TFieldType::Smallint ||
           t == TFieldType::AutoInc;
}

int DisplayChars(const TFieldDef& f)
{
    switch (f.type) {
    case TFieldType::String:
        return std::clamp(f.size, 1, 40);
    case TFieldType::Float:
        return 10;
    case TFieldType::Smallint:
    case TFieldType::Integer:
    case TFieldType::AutoInc:
        return 8;
    case TFieldType::Boolean:
        return 4;
    case TFieldType::Date:
    case TFieldType::DateTime:
        return 10;
    case TFieldType::Time:
        return 8;
    }
    return 10;
}

// Cells with the narrow margins of the classic grids, so that a date fits the column widths that the
// windows were laid out with.
class TGridStyle final : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        if (metric == PM_FocusFrameHMargin)
            return 1;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

}  // namespace

TDBGridModel::TDBGridModel(QObject* parent) : QAbstractTableModel(parent) {}

void TDBGridModel::DetachTable()
{
    for (const auto& c : m_connections)
        disconnect(c);
    m_connections.clear();
}

void TDBGridModel::SetDataSet(TTable* table, const QList<TGridColumn>& columns)
{
    DetachTable();
    QList<TGridColumn> cols = columns;
    QList<int> fieldIndexes;
    if (table && cols.isEmpty()) {
        for (const TFieldDef& f : table->Def().fields)
            cols.append(TGridColumn{f.name, -1, QString()});
    }
    for (TGridColumn& c : cols) {
        const int fi = table ? table->FieldIndex(c.field) : -1;
        if (fi < 0)
            throw EDatabaseError(u"Pole '%1' nenalezeno"_s.arg(c.field));
        if (c.title.isEmpty())
            c.title = table->Def().fields[fi].DisplayLabel();
        fieldIndexes.append(fi);
    }
    beginResetModel();
    m_table = table;
    m_columns = cols;
    m_fieldIndexes = fieldIndexes;
    m_rows.clear();
    m_count = 0;
    m_cursorRow = -1;
    endResetModel();
    if (m_table) {
        auto reload = [this] {
            m_needReload = true;
            ScheduleApply();
        };
        auto sync = [this] {
            if (m_moving)
                return;
            m_needSync = true;
            ScheduleApply();
        };
        m_connections << connect(m_table, &TDataSet::AfterOpen, this, reload)
                      << connect(m_table, &TDataSet::AfterClose, this, reload)
                      << connect(m_table, &TDataSet::AfterPost, this, reload)
                      << connect(m_table, &TDataSet::AfterDelete, this, reload)
                      << connect(m_table, &TDataSet::AfterCancel, this, sync)
                      << connect(m_table, &TDataSet::AfterScroll, this, sync);
    }
    Reload();
}

int TDBGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_count;
}

int TDBGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

Qt::ItemFlags TDBGridModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

QVariant TDBGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_columns.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return m_columns[section].title;
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    return QVariant();
}

QVariant TDBGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !m_table || index.column() >= m_fieldIndexes.size())
        return QVariant();
    const int fi = m_fieldIndexes[index.column()];
    const TFieldDef& f = m_table->Def().fields[fi];
    if (role == Qt::TextAlignmentRole)
        return int((IsNumber(f.type) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return QVariant();
    const TRow* row = RowAt(index.row());
    if (!row)
        return QVariant();
    return FieldValues::Display(f, row->values.value(fi), m_table->Locale());
}

const TRow* TDBGridModel::RowAt(int row) const
{
    if (row < 0 || row >= m_count)
        return nullptr;
    Ensure(row);
    const int i = row - m_base;
    return i >= 0 && i < m_rows.size() ? &m_rows[i] : nullptr;
}

void TDBGridModel::Ensure(int row) const
{
    if (m_failed || !m_table || !m_table->Active())
        return;
    const int end = m_base + int(m_rows.size());
    if (!m_rows.isEmpty() && row >= m_base && row < end)
        return;
    try {
        TTable& t = *m_table;
        if (!m_rows.isEmpty() && row >= end && row < end + kReach) {
            const TRow last = m_rows.last();
            m_rows += t.ReadRows(&last, row - end + kPage, true);
        } else if (!m_rows.isEmpty() && row < m_base && row >= m_base - kReach) {
            const TRow first = m_rows.first();
            const QList<TRow> before = t.ReadRows(&first, m_base - row + kPage, false);
            for (const TRow& r : before)
                m_rows.prepend(r);
            m_base -= int(before.size());
        } else if (m_holdJumps) {
            return;
        } else if (row < m_count / 2) {
            // A jump: read at the position, from whichever end of the order is nearer.
            const int offset = std::max(0, row - kPage / 2);
            m_rows = t.ReadRowsAt(offset, 2 * kPage, true);
            m_base = offset;
        } else {
            const int fromEnd = std::max(0, m_count - 1 - row - kPage / 2);
            const QList<TRow> rows = t.ReadRowsAt(fromEnd, 2 * kPage, false);
            m_rows.clear();
            for (const TRow& r : rows)
                m_rows.prepend(r);
            m_base = m_count - fromEnd - int(rows.size());
        }
        Trim(row);
    } catch (const EDatabaseError& e) {
        m_failed = true;
        m_rows.clear();
        Report(e);
    }
}

void TDBGridModel::Trim(int keep) const
{
    if (m_rows.size() <= kMaxRows)
        return;
    const int surplus = int(m_rows.size()) - kMaxRows;
    if (keep - m_base < int(m_rows.size()) / 2) {
        m_rows.erase(m_rows.end() - surplus, m_rows.end());
    } else {
        m_rows.erase(m_rows.begin(), m_rows.begin() + surplus);
        m_base += surplus;
    }
}

int TDBGridModel::RowOfId(qint64 id) const
{
    for (int i = 0; i < m_rows.size(); ++i)
        if (m_rows[i].id == id)
            return m_base + i;
    return -1;
}

void TDBGridModel::Report(const EDatabaseError& e) const
{
    // Reads happen while the grid paints; the message waits until the painting is over.
    const QString text = e.Message();
    QMetaObject::invokeMethod(
        const_cast<TDBGridModel*>(this), [text] { ShowError(text); }, Qt::QueuedConnection);
}

QString TDBGridModel::Signature() const
{
    if (!m_table)
        return QString();
    return m_table->TableName() + u'\x1f' + m_table->IndexName() + u'\x1f' + m_table->Filter() + u'\x1f' +
           (m_table->Filtered() ? u'1' : u'0');
}

void TDBGridModel::ScheduleApply()
{
    if (m_applyQueued)
        return;
    m_applyQueued = true;
    QMetaObject::invokeMethod(this, &TDBGridModel::Apply, Qt::QueuedConnection);
}

void TDBGridModel::Flush()
{
    if (m_applyQueued || m_needReload || m_needSync)
        Apply();
}

void TDBGridModel::Apply()
{
    m_applyQueued = false;
    if (m_needReload || Signature() != m_signature)
        Reload();
    else if (m_needSync)
        SyncToCursor();
}

void TDBGridModel::Reload()
{
    beginResetModel();
    m_rows.clear();
    m_base = 0;
    m_count = 0;
    m_cursorRow = -1;
    m_failed = false;
    m_needReload = false;
    m_signature = Signature();
    if (m_table && m_table->Active()) {
        try {
            m_count = m_table->RecordCount();
        } catch (const EDatabaseError& e) {
            m_failed = true;
            Report(e);
        }
    }
    endResetModel();
    SyncToCursor();
}

void TDBGridModel::SyncToCursor()
{
    m_needSync = false;
    if (!m_table || !m_table->Active() || m_failed || !m_table->HasRecord() || m_count == 0) {
        m_cursorRow = -1;
        emit CursorRowChanged(-1);
        return;
    }
    // A record being inserted is not a row yet; the grid stays where it was.
    if (m_table->State() == TDataSetState::Insert)
        return;
    const qint64 id = m_table->GetBookmark().id;
    int row = RowOfId(id);
    if (row < 0 && m_table->State() == TDataSetState::Browse) {
        try {
            const int recNo = m_table->RecNo() - 1;
            const TRow cur = m_table->CurrentRow();
            const QList<TRow> before = m_table->ReadRows(&cur, kPage, false);
            const QList<TRow> after = m_table->ReadRows(&cur, kPage, true);
            m_rows.clear();
            for (const TRow& r : before)
                m_rows.prepend(r);
            m_rows.append(cur);
            m_rows += after;
            m_base = recNo - int(before.size());
            row = recNo;
            if (m_base < 0 || m_base + int(m_rows.size()) > m_count) {
                // Another till changed the table since it was counted.
                m_needReload = true;
                ScheduleApply();
            }
        } catch (const EDatabaseError& e) {
            m_failed = true;
            m_rows.clear();
            Report(e);
            row = -1;
        }
    }
    m_cursorRow = row;
    if (row >= 0) {
        const QModelIndex first = index(row, 0);
        emit dataChanged(first, index(row, columnCount() - 1));
    }
    emit CursorRowChanged(row);
}

void TDBGridModel::MoveCursorTo(int row)
{
    if (!m_table || !m_table->Active() || m_table->State() != TDataSetState::Browse)
        return;
    const TRow* r = RowAt(row);
    if (!r)
        return;
    m_cursorRow = row;
    if (m_table->HasRecord() && m_table->GetBookmark().id == r->id)
        return;
    const TRow target = *r;
    m_moving = true;
    try {
        m_table->GotoRow(target);
    } catch (...) {
        m_moving = false;
        // The record is gone (another till deleted it): show the table as it is now.
        m_needReload = true;
        ScheduleApply();
        throw;
    }
    m_moving = false;
}

// ---------------------------------------------------------------------------------------------------

TDBGrid::TDBGrid(QWidget* parent) : QTableView(parent), m_model(new TDBGridModel(this))
{
    setModel(m_model);
    auto* style = new TGridStyle;
    style->setParent(this);
    setStyle(style);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setAlternatingRowColors(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setStretchLastSection(false);
    connect(m_model, &TDBGridModel::CursorRowChanged, this, &TDBGrid::ShowCursorRow);
    // Dragging the thumb across a large table reads the rows once, where it is let go.
    connect(verticalScrollBar(), &QScrollBar::sliderPressed, this, [this] { m_model->SetHoldJumps(true); });
    connect(verticalScrollBar(), &QScrollBar::sliderReleased, this, [this] {
        m_model->SetHoldJumps(false);
        viewport()->update();
    });
}

void TDBGrid::SetDataSet(TTable* table, const QList<TGridColumn>& columns)
{
    m_model->SetDataSet(table, columns);
    ApplyColumnWidths();
}

void TDBGrid::ApplyColumnWidths()
{
    const QFontMetrics fm = fontMetrics();
    const QFontMetrics hfm = horizontalHeader()->fontMetrics();
    for (int c = 0; c < m_model->Columns().size(); ++c) {
        const TGridColumn& col = m_model->Columns()[c];
        int width = col.width;
        if (width < 0) {
            const TFieldDef& f = m_model->DataSet()->Def().fields[m_model->FieldIndexOfColumn(c)];
            width = std::max(hfm.horizontalAdvance(col.title), DisplayChars(f) * fm.averageCharWidth()) + 8;
        }
        setColumnWidth(c, width);
    }
}

void TDBGrid::ShowCursorRow(int row)
{
    m_following = true;
    if (row < 0) {
        selectionModel()->clearSelection();
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    } else {
        const int column = std::max(currentIndex().column(), 0);
        const QModelIndex idx = m_model->index(row, column);
        selectionModel()->setCurrentIndex(idx,
                                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollTo(idx);
    }
    m_following = false;
}

void TDBGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    if (m_following || !current.isValid() || current.row() == previous.row())
        return;
    try {
        m_model->MoveCursorTo(current.row());
    } catch (const EDatabaseError& e) {
        ShowError(e.Message());
    }
}

void TDBGrid::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (event->key() == Qt::Key_Delete && mods == Qt::ControlModifier) {
        TTable* t = DataSet();
        if (!m_readOnly && t && t->Active() && !t->IsEmpty() && Confirm(u"Delete record?"_s))
            t->Delete();
        event->accept();
        return;
    }
    // With whole rows selected, Home and End go to the first and the last record.
    if ((event->key() == Qt::Key_Home || event->key() == Qt::Key_End) && mods == Qt::NoModifier) {
        QKeyEvent moved(event->type(), event->key(), Qt::ControlModifier, event->text());
        QTableView::keyPressEvent(&moved);
        event->setAccepted(moved.isAccepted());
        return;
    }
    QTableView::keyPressEvent(event);
}
