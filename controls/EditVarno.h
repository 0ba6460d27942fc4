#pragma once

#include "EditBase.h"
#include "VarnoLogic.h"

#include <algorithm>
#include <optional>

// The text shown when the text of a number, date or time field fails its check.
inline constexpr char16_t kChybnyFormatDat[] = u" Chybný formát dat ";

// The base unbound edit field: a kind of entry whose text is checked and normalised when it is set and
// when the field is left. Enter acts as Tab; leaving with Tab, Shift+Tab or Enter raises OnTabExit.
// A failed check shows " Chybný formát dat " and keeps the focus in the field.
class TVEdit : public TEditBase {
    Q_OBJECT
public:
    explicit TVEdit(QWidget* parent = nullptr);

    QString Text() const { return text(); }
    // Sets the text through the check of the field's kind. A failed check shows " Chybný formát dat "
    // and marks the text invalid; the text is set all the same. (QLineEdit::setText does no check.)
    void SetText(const QString& text);
    // The last check passed.
    bool TextValid() const { return m_textValid; }

    TEditType EditType() const { return m_kind.type; }
    void SetEditType(TEditType type) { m_kind.type = type; }
    // For Float: significant digits and decimals of the normalised number (0 to 255); a precision of 0
    // switches the number check off.
    int FloatPrecision() const { return m_kind.floatPrecision; }
    void SetFloatPrecision(int precision) { m_kind.floatPrecision = std::clamp(precision, 0, 255); }
    int FloatDigits() const { return m_kind.floatDigits; }
    void SetFloatDigits(int digits) { m_kind.floatDigits = std::clamp(digits, 0, 255); }
    // The texts that stand for an empty date or time.
    QString BlankDate() const { return m_kind.blankDate; }
    void SetBlankDate(const QString& text) { m_kind.blankDate = text; }
    QString BlankTime() const { return m_kind.blankTime; }
    void SetBlankTime(const QString& text) { m_kind.blankTime = text; }
    // A typed comma becomes a full stop in Float, Date and Time fields.
    bool ConvertDecimalSymbol() const { return m_convertDecimalSymbol; }
    void SetConvertDecimalSymbol(bool on) { m_convertDecimalSymbol = on; }
    // Alignment of the text while the field does not have the focus (left, right or centre); with the
    // focus the text is left-aligned for editing.
    Qt::Alignment Alignment() const { return m_alignment; }
    void SetAlignment(Qt::Alignment alignment);

    TTabExitEvent OnTabExit;
    // The space bar went down in the field; while a handler is assigned the space is not typed.
    TNotifyEvent OnClickSpace;

protected:
    TVEdit(QWidget* parent, int options);

    const TKindSettings& Kind() const { return m_kind; }
    virtual TCheckResult Check(const QString& text) const;
    // What a typed character becomes; nothing refuses it with a beep.
    virtual std::optional<QChar> TypedChar(QChar c) const;

    bool KeyDown(QKeyEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    bool DoExit() override;

private:
    bool ApplyText(const QString& text);
    void UpdateAlignment();

    TKindSettings m_kind;
    bool m_convertDecimalSymbol = false;
    Qt::Alignment m_alignment = Qt::AlignLeft;
    bool m_textValid = true;
    TTabExitMark m_mark;
};

// The validated unbound edit field with a lookup button: on top of TVEdit it completes dates and times
// as they are typed ("8" becomes 8.12.2026), lets only numeric characters into fields that are not
// text, hands Enter and Esc to the dialog's default and cancel buttons, and selects its whole text when
// it receives the focus. The lookup button never takes the focus.
class TEditVarno : public TVEdit {
    Q_OBJECT
public:
    explicit TEditVarno(QWidget* parent = nullptr);

    using TEditBase::ButtonVisible;
    using TEditBase::ButtonWidth;
    using TEditBase::Glyph;
    using TEditBase::NumGlyphs;
    using TEditBase::SetButtonVisible;
    using TEditBase::SetButtonWidth;
    using TEditBase::SetGlyph;
    using TEditBase::SetNumGlyphs;

    // The lookup button was clicked with the mouse (the field is neither left nor checked).
    TNotifyEvent OnClickButton;

protected:
    TCheckResult Check(const QString& text) const override;
    std::optional<QChar> TypedChar(QChar c) const override;
    void keyPressEvent(QKeyEvent* e) override;
    void DoEnter() override;
    void ButtonClicked() override;
};
