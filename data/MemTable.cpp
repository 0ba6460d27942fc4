#include "MemTable.h"

using namespace Qt::StringLiterals;

void TMemTable::Open()
{
    if (Active())
        return;
    SetState(TDataSetState::Browse);
    First();
    emit AfterOpen();
}

void TMemTable::Close()
{
    if (!Active())
        return;
    if (State() != TDataSetState::Browse)
        Cancel();
    m_rows.clear();
    m_pos = -1;
    ClearBuffer();
    m_eof = m_bof = true;
    SetState(TDataSetState::Inactive);
    emit AfterClose();
}

void TMemTable::CheckBrowseMode()
{
    CheckActive();
    if (State() == TDataSetState::Edit || State() == TDataSetState::Insert)
        Post();
}

void TMemTable::Show(int pos)
{
    if (m_rows.isEmpty()) {
        m_pos = -1;
        ClearBuffer();
        m_eof = m_bof = true;
    } else {
        m_pos = std::clamp(pos, 0, int(m_rows.size()) - 1);
        m_buf = m_rows[m_pos];
    }
    RunCalc();
    emit AfterScroll();
}

void TMemTable::First()
{
    CheckBrowseMode();
    Show(0);
    m_bof = true;
    m_eof = m_rows.isEmpty();
}

void TMemTable::Last()
{
    CheckBrowseMode();
    Show(int(m_rows.size()) - 1);
    m_eof = true;
    m_bof = m_rows.isEmpty();
}

void TMemTable::Next()
{
    CheckBrowseMode();
    if (m_pos + 1 >= m_rows.size()) {
        m_eof = true;
        return;
    }
    Show(m_pos + 1);
    m_eof = m_bof = false;
}

void TMemTable::Prior()
{
    CheckBrowseMode();
    if (m_pos <= 0) {
        m_bof = true;
        return;
    }
    Show(m_pos - 1);
    m_eof = m_bof = false;
}

void TMemTable::Append()
{
    CheckBrowseMode();
    StartEditBuffer(true);
    SetState(TDataSetState::Insert);
}

void TMemTable::Edit()
{
    CheckActive();
    if (State() != TDataSetState::Browse)
        return;
    if (m_rows.isEmpty()) {
        Append();
        return;
    }
    StartEditBuffer(false);
    SetState(TDataSetState::Edit);
}

void TMemTable::Post()
{
    CheckActive();
    if (State() == TDataSetState::Insert) {
        m_rows.append(m_buf);
        m_pos = int(m_rows.size()) - 1;
    } else if (State() == TDataSetState::Edit) {
        m_rows[m_pos] = m_buf;
    } else {
        return;
    }
    m_modified = false;
    m_eof = m_bof = false;
    SetState(TDataSetState::Browse);
    emit AfterPost();
}

void TMemTable::Cancel()
{
    if (State() == TDataSetState::Browse || State() == TDataSetState::Inactive)
        return;
    SetState(TDataSetState::Browse);
    Show(m_pos);
    emit AfterCancel();
}

void TMemTable::Delete()
{
    CheckActive();
    if (State() != TDataSetState::Browse) {
        Cancel();
        if (State() == TDataSetState::Browse && m_rows.isEmpty())
            return;
    }
    if (m_rows.isEmpty())
        throw EDatabaseError(u"%1: Nelze smazat záznam z prázdné tabulky"_s.arg(m_def.component));
    m_rows.removeAt(m_pos);
    Show(m_pos);
    emit AfterDelete();
}

bool TMemTable::Locate(const QString& fields, const QVariantList& values)
{
    CheckBrowseMode();
    const QStringList names = fields.split(u';', Qt::SkipEmptyParts);
    if (names.isEmpty() || names.size() != values.size())
        throw EDatabaseError(u"%1: Počet polí a hodnot hledání nesouhlasí"_s.arg(m_def.component));
    QList<int> idx;
    QVariantList wanted;
    for (int i = 0; i < names.size(); ++i) {
        const int fi = m_def.FieldIndex(names[i].trimmed());
        if (fi < 0)
            throw EDatabaseError(u"%1: Pole '%2' nenalezeno"_s.arg(m_def.component, names[i]));
        idx << fi;
        wanted << FieldValues::Normalize(m_def.fields[fi], values[i]);
    }
    for (int r = 0; r < m_rows.size(); ++r) {
        bool match = true;
        for (int i = 0; i < idx.size() && match; ++i)
            match = m_rows[r][idx[i]] == wanted[i];
        if (match) {
            Show(r);
            m_eof = m_bof = false;
            return true;
        }
    }
    return false;
}

void TMemTable::EmptyTable()
{
    CheckActive();
    if (State() != TDataSetState::Browse)
        Cancel();
    m_rows.clear();
    Show(-1);
}

void TMemTable::MoveTo(int row)
{
    CheckBrowseMode();
    Show(row);
    m_bof = m_pos <= 0;
    m_eof = m_rows.isEmpty();
}
