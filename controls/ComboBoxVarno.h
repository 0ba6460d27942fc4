#pragma once

#include "EditBase.h"

#include <QComboBox>

// The combo box of the dialogs: Enter acts as Tab, leaving with Tab, Shift+Tab or Enter raises
// OnTabExit, and the space bar can be given a handler. It has no check of its own.
class TComboBoxVarno : public QComboBox {
    Q_OBJECT
public:
    explicit TComboBoxVarno(QWidget* parent = nullptr);

    bool EnterIsTab() const { return m_enterIsTab; }
    void SetEnterIsTab(bool on) { m_enterIsTab = on; }

    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
    TTabExitEvent OnTabExit;
    // The space bar went down in the box; while a handler is assigned the space does nothing else.
    TNotifyEvent OnClickSpace;

protected:
    bool event(QEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

private:
    bool m_enterIsTab = true;
    bool m_entered = false;
    TTabExitMark m_mark;
};
