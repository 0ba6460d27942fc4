#include "ComboBoxVarno.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QPointer>

TComboBoxVarno::TComboBoxVarno(QWidget* parent) : QComboBox(parent) {}

bool TComboBoxVarno::event(QEvent* e)
{
    if (e->type() == QEvent::KeyPress && m_mark.KeyDown(static_cast<QKeyEvent*>(e), this, m_enterIsTab,
                                                        OnClickSpace, [this] { focusNextChild(); })) {
        e->accept();
        return true;
    }
    return QComboBox::event(e);
}

void TComboBoxVarno::focusInEvent(QFocusEvent* e)
{
    QComboBox::focusInEvent(e);
    if (m_entered || (IsPassingFocusChange(e->reason()) && FieldExitInProgress()))
        return;
    m_entered = true;
    if (OnEnter)
        OnEnter(this);
}

void TComboBoxVarno::focusOutEvent(QFocusEvent* e)
{
    QComboBox::focusOutEvent(e);
    if (IsPassingFocusChange(e->reason()) || !m_entered)
        return;
    m_entered = false;
    QPointer<TComboBoxVarno> self(this);
    if (OnExit)
        OnExit(this);
    if (self)
        m_mark.ValidExit(this, OnTabExit);
}
