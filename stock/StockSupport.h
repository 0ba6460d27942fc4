#pragma once

// Helpers shared by the stock operations of TData; not part of any public interface.

#include "DataSet.h"
#include "Table.h"

#include <QLocale>
#include <QString>

#include <functional>
#include <utility>

namespace Stock {

// What an operation must give back of a table it borrows: open state, index and current record.
struct TCursorState {
    TTable* table = nullptr;
    bool wasOpen = false;
    QString index;
    TBookmark mark;
};

inline TCursorState Note(TTable& t)
{
    TCursorState s;
    s.table = &t;
    s.wasOpen = t.Active();
    s.index = t.IndexName();
    if (s.wasOpen)
        s.mark = t.GetBookmark();
    return s;
}

enum class TVanished { Fail, Stay };

// Puts the table back as noted: closed again, or open on the noted index (which also ends any range)
// and, when goBack, on the noted record. A noted record that another till has deleted meanwhile is
// an error, or with TVanished::Stay leaves the table where it stands.
inline void Restore(TCursorState& s, bool goBack = true, TVanished vanished = TVanished::Fail)
{
    TTable& t = *s.table;
    if (!s.wasOpen) {
        t.Close();
        t.SetIndexName(s.index);
        return;
    }
    if (!t.Active())
        t.Open();
    t.SetIndexName(s.index);
    if (goBack && s.mark.valid && (vanished == TVanished::Fail || t.BookmarkValid(s.mark)))
        t.GotoBookmark(s.mark);
    t.FreeBookmark(s.mark);
}

// Cancels a pending edit or insert, for the error paths.
inline void CancelEdit(TDataSet& d)
{
    if (d.State() == TDataSetState::Edit || d.State() == TDataSetState::Insert)
        d.Cancel();
}

// Runs the action when the scope ends, also on an exception.
class TScopeExit {
public:
    explicit TScopeExit(std::function<void()> f) : m_f(std::move(f)) {}
    ~TScopeExit()
    {
        if (m_f)
            m_f();
    }
    void Release() { m_f = nullptr; }
    TScopeExit(const TScopeExit&) = delete;
    TScopeExit& operator=(const TScopeExit&) = delete;

private:
    std::function<void()> m_f;
};

// Closes the table at the end of the scope unless it was open at the start.
class TCloseIfOpened {
public:
    explicit TCloseIfOpened(TTable& t) : m_table(t), m_opened(!t.Active()) {}
    ~TCloseIfOpened()
    {
        if (m_opened)
            m_table.Close();
    }
    bool Opened() const { return m_opened; }
    TCloseIfOpened(const TCloseIfOpened&) = delete;
    TCloseIfOpened& operator=(const TCloseIfOpened&) = delete;

private:
    TTable& m_table;
    bool m_opened;
};

// A stock figure for the operator: the shortest general form of at most 15 significant digits, with
// the station's decimal separator (2.9999999999999996 reads "3").
inline QString StockFigure(double v)
{
    return FieldValues::FloatToStr(QString::number(v, 'g', 15).toDouble(), QLocale());
}

// Removes leading and trailing characters with a code of 32 or less.
inline QString TrimLow(const QString& s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && s.at(b).unicode() <= 32)
        ++b;
    while (e > b && s.at(e - 1).unicode() <= 32)
        --e;
    return s.mid(b, e - b);
}

inline QString ShortageText(double figure)
{
    return QStringLiteral("Na skladě je pouze ") + StockFigure(figure) + QStringLiteral(" kusů !");
}

}  // namespace Stock
