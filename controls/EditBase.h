#pragma once

#include "ControlEvents.h"

#include <QLineEdit>
#include <QPixmap>

class QKeyEvent;
class QToolButton;

// Focus changes that are not the operator leaving a field: another window became active (a message
// box, another program), a popup or the menu bar took the keyboard for a while.
bool IsPassingFocusChange(Qt::FocusReason reason);

// A field is being left right now (its exit handlers run). Focus arriving meanwhile through a window
// activation (a picker or a message closing) is not the operator entering another field.
bool FieldExitInProgress();

// The key press types its text: printable characters, not a Ctrl shortcut such as Ctrl+V (AltGr,
// reported as Ctrl+Alt on some platforms, does type).
bool IsTypedKey(const QKeyEvent* e);

// The key changes the text of an editable line edit (typing, deleting, pasting, undoing).
bool IsEditingKey(QKeyEvent* e);

// Shows an error to the operator once the focus change in progress has finished, so that a modal
// message box never opens in the middle of one.
void ReportAfterFocusChange(const QString& text);

// The "left by Tab" mark and the Shift, Ctrl and Alt state of the last key down, kept by the fields
// that raise OnTabExit.
class TTabExitMark {
public:
    // A key down before the control handles it. Tab and Shift+Tab set the mark and go on; Enter acting
    // as Tab sets the mark and calls moveNext; a space goes to OnClickSpace when it has a handler.
    // Returns true when the key was consumed.
    bool KeyDown(QKeyEvent* e, QObject* sender, bool enterAsTab, const TNotifyEvent& onClickSpace,
                 const std::function<void()>& moveNext);
    // After a valid exit: raises OnTabExit when the field was left by Tab, and clears the mark.
    void ValidExit(QObject* sender, const TTabExitEvent& onTabExit);

    bool LeftByTab() const { return m_leftByTab; }
    TShiftState Shift() const { return m_shift; }

private:
    bool m_leftByTab = false;
    TShiftState m_shift;
};

// The line edit under the system's entry fields. It adds:
// - an optional button inside the right edge (lookup or calendar) that never takes the focus;
// - Enter acting as Tab;
// - the exit protocol: when the operator leaves the field, DoExit decides; a field that refuses keeps
//   the focus, and the mouse click that tried to leave it does not reach its target.
class TEditBase : public QLineEdit {
    Q_OBJECT
public:
    ~TEditBase() override;

    bool EnterIsTab() const { return m_enterIsTab; }
    void SetEnterIsTab(bool on) { m_enterIsTab = on; }

    // The button inside the right edge (shown only while ButtonVisible is on).
    QToolButton* EmbeddedButton() const { return m_button; }

    TNotifyEvent OnEnter;  // the operator entered the field
    TNotifyEvent OnExit;   // the operator left the field and it accepted the exit

protected:
    enum TOption {
        kNone = 0,
        kHasButton = 1,         // the field reserves room for a button at its right edge
        kButtonKeepsFocus = 2,  // clicking the button leaves the focus where it is
    };
    TEditBase(QWidget* parent, int options);

    // Button properties; the controls with a lookup button make them public.
    bool ButtonVisible() const { return m_buttonVisible; }
    void SetButtonVisible(bool visible);
    int ButtonWidth() const { return m_buttonWidth; }
    void SetButtonWidth(int width);
    QPixmap Glyph() const { return m_glyph; }
    void SetGlyph(const QPixmap& glyph);
    int NumGlyphs() const { return m_numGlyphs; }
    void SetNumGlyphs(int count);
    // Width the button takes now: ButtonWidth within 15 and the control's width, 0 while hidden.
    int EffectiveButtonWidth() const;
    bool HasButton() const { return m_options & kHasButton; }
    virtual void ButtonClicked() {}

    // A key press before the control handles it; true when consumed. The default turns Enter into Tab.
    virtual bool KeyDown(QKeyEvent* e);
    // The operator entered the field (not a mere window activation).
    virtual void DoEnter();
    // The operator is leaving the field. Returns false after KeepFocus() to refuse the exit.
    virtual bool DoExit() { return true; }
    // Puts the focus back into the field, with all of its text selected.
    void KeepFocus();
    void MoveToNextControl();
    // The field holds the focus as far as the exit protocol goes (entered and not yet left).
    bool Entered() const { return m_entered; }

    bool event(QEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    void LayoutButton();
    void ApplyGlyph();

    int m_options;
    QToolButton* m_button = nullptr;
    bool m_enterIsTab = false;
    bool m_buttonVisible = false;
    int m_buttonWidth = 15;
    QPixmap m_glyph;
    int m_numGlyphs = 1;
    bool m_entered = false;
    bool m_inExit = false;
};

// The 9 x 6 pixel picture of three dots that every lookup button of the system shows.
QPixmap ThreeDotsGlyph();
