#pragma once

#include "DataSource.h"
#include "EditBase.h"

#include <QColor>
#include <QDateTime>

#include <optional>

class TFieldLink;

// Kind of entry of the bound edit field.
enum class TDBEditType { Standard, Date, Time, Float };
// Base for completing dates and times: the current moment, or the moment the control was created.
enum class TDateTimeType { Now, User };
// When leaving the field runs OnValid.
enum class TWhenValid { Always, WhenEditing, WhenChanged, Never };

// The validated edit field bound to one field of a table. It shows the field's text (the edit text
// while it has the focus), puts the dataset into edit on the first change, and writes the text into
// the field when it is left, after OnValid accepted it; OnValid may rewrite the text or refuse it, and
// a refused text keeps the focus and leaves the record field unchanged. Enter and Esc go to the
// dialog's default and cancel buttons (Esc first puts the stored value back); the lookup button never
// takes the focus.
//
// Note: EnterIsTab is off by default; every dialog of the system turns it on.
class TDBEditVarno : public TEditBase, public TDataLink {
    Q_OBJECT
public:
    explicit TDBEditVarno(QWidget* parent = nullptr);
    ~TDBEditVarno() override;

    TDataSource* DataSource() const;
    void SetDataSource(TDataSource* source);
    QString DataField() const;
    // Throws EDatabaseError when the data source's dataset has no such field.
    void SetDataField(const QString& name);
    std::optional<TField> Field() const;

    TDBEditType EditType() const { return m_editType; }
    void SetEditType(TDBEditType type) { m_editType = type; }
    TDateTimeType DateTimeType() const { return m_dateTimeType; }
    void SetDateTimeType(TDateTimeType type) { m_dateTimeType = type; }
    TWhenValid WhenValid() const { return m_whenValid; }
    void SetWhenValid(TWhenValid when) { m_whenValid = when; }

    using TEditBase::ButtonVisible;
    using TEditBase::ButtonWidth;
    using TEditBase::Glyph;
    using TEditBase::NumGlyphs;
    using TEditBase::SetButtonVisible;
    using TEditBase::SetButtonWidth;
    using TEditBase::SetGlyph;
    using TEditBase::SetNumGlyphs;

    // Background while the control is disabled; by default its colour at creation.
    QColor ColorDisable() const { return m_colorDisable; }
    void SetColorDisable(const QColor& color);
    // Shown when OnValid refuses the text and there is no OnError handler; empty shows nothing.
    QString ErrorString() const { return m_errorString; }
    void SetErrorString(const QString& text) { m_errorString = text; }

    // The text was changed since the field was last shown or written.
    bool Modified() const { return m_modified; }
    // Puts the field's stored value back into the text.
    void Reset();

    // Runs as the field is left (see WhenValid), before the text is written into the record field.
    TValidEvent OnValid;
    // Runs after OnValid refused the text and the focus was put back.
    TNotifyEvent OnError;
    // The lookup button was clicked with the mouse (the field is neither left nor validated).
    TNotifyEvent OnClickButton;

    // Writes a changed text into the field (TDataSource::UpdateRecord); throws EDatabaseError when the
    // field cannot take the text.
    void UpdateData() override;

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void DoEnter() override;
    bool DoExit() override;
    void ButtonClicked() override;

private:
    void LoadFromField();
    void Rebound();
    bool EnsureEdit();
    void TextEdited();

    TFieldLink* m_link;
    TDBEditType m_editType = TDBEditType::Standard;
    TDateTimeType m_dateTimeType = TDateTimeType::Now;
    TWhenValid m_whenValid = TWhenValid::Always;
    QDateTime m_created;
    QColor m_colorDisable;
    QString m_errorString;
    bool m_modified = false;
    bool m_loading = false;
    bool m_holdText = false;
};
