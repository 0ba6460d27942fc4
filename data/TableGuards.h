#pragma once

// Guards that give a borrowed table cursor back as it was found.

#include "DataSet.h"
#include "ScopeExit.h"
#include "Table.h"

#include <QString>

// What an operation must give back of a table it borrows: open state, index and current record.
struct TCursorState {
    TTable* table = nullptr;
    bool wasOpen = false;
    QString index;
    TBookmark mark;
};

inline TCursorState NoteCursor(TTable& t)
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
inline void RestoreCursor(TCursorState& s, bool goBack = true, TVanished vanished = TVanished::Fail)
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

// Closes the table at the end of the scope unless it was open at the start. With OpenNow the guard
// also opens it.
class TCloseIfOpened {
public:
    enum TOpen { LeaveClosed, OpenNow };
    explicit TCloseIfOpened(TTable& t, TOpen open = LeaveClosed) : m_table(t), m_opened(!t.Active())
    {
        if (m_opened && open == OpenNow)
            m_table.Open();
    }
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
