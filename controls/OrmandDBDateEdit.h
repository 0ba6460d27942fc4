#pragma once

#include "DataSource.h"
#include "EditBase.h"

#include <QDate>
#include <QFrame>

#include <optional>

class QCalendarWidget;
class TFieldLink;

// The drop-down month calendar of the date field.
class TCalendarPopup final : public QFrame {
    Q_OBJECT
public:
    explicit TCalendarPopup(QWidget* parent);
    QCalendarWidget* Calendar() const { return m_calendar; }

signals:
    void DatePicked(QDate date);

private:
    QCalendarWidget* m_calendar;
};

// The bound date field: a "dd.mm.yyyy" entry box over a date or date-time field with a button (or
// Alt+Down) that drops down a month calendar. Enter acts as Tab unless the calendar is down, when it
// takes the chosen date. The field itself does not test the date: leaving it writes the text into the
// record field, and a text the field refuses (31.02.2026) shows the field's conversion message and
// keeps the focus with the text selected.
class TOrmandDBDateEdit : public TEditBase, public TDataLink {
    Q_OBJECT
public:
    explicit TOrmandDBDateEdit(QWidget* parent = nullptr);
    ~TOrmandDBDateEdit() override;

    TDataSource* DataSource() const;
    void SetDataSource(TDataSource* source);
    QString DataField() const;
    // Throws EDatabaseError when the data source's dataset has no such field.
    void SetDataField(const QString& name);
    std::optional<TField> Field() const;

    // The date in the text; invalid when the text holds none.
    QDate Date() const;
    bool Modified() const { return m_modified; }
    // Puts the field's stored value back into the text.
    void Reset();

    void DropDown();
    void CloseUp();
    bool DroppedDown() const;
    // The calendar, created when it is first dropped down.
    TCalendarPopup* Popup() const { return m_popup; }

    TTabExitEvent OnTabExit;
    // The space bar went down in the field; while a handler is assigned the space is not typed.
    TNotifyEvent OnClickSpace;

    // Writes a changed text into the field; throws EDatabaseError when it is not a date.
    void UpdateData() override;

protected:
    bool KeyDown(QKeyEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void DoEnter() override;
    bool DoExit() override;
    void ButtonClicked() override;

private:
    QString CurrentText() const;
    void LoadFromField();
    bool EnsureEdit();
    void PickDate(const QDate& date);

    TFieldLink* m_link;
    TCalendarPopup* m_popup = nullptr;
    TTabExitMark m_mark;
    bool m_modified = false;
    bool m_loading = false;
};
