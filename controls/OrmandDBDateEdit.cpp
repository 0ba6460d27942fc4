#include "OrmandDBDateEdit.h"

#include "FieldLink.h"
#include "Messages.h"
#include "VarnoLogic.h"

#include <QCalendarWidget>
#include <QKeyEvent>
#include <QPointer>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TCalendarPopup::TCalendarPopup(QWidget* parent) : QFrame(parent, Qt::Popup)
{
    setFrameStyle(QFrame::Box | QFrame::Plain);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    m_calendar = new QCalendarWidget(this);
    m_calendar->setFirstDayOfWeek(Qt::Monday);
    m_calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    layout->addWidget(m_calendar);
    const auto pick = [this](QDate date) {
        if (!isVisible())
            return;  // a double click reports the date twice
        hide();
        emit DatePicked(date);
    };
    connect(m_calendar, &QCalendarWidget::activated, this, pick);
    connect(m_calendar, &QCalendarWidget::clicked, this, pick);
}

// ---------------------------------------------------------------------------------------------------

TOrmandDBDateEdit::TOrmandDBDateEdit(QWidget* parent)
    : TEditBase(parent, kHasButton), m_link(new TFieldLink(this, this))
{
    SetEnterIsTab(true);
    setInputMask(u"00.00.0000; "_s);
    EmbeddedButton()->setArrowType(Qt::DownArrow);
    SetButtonWidth(17);
    SetButtonVisible(true);
    connect(m_link, &TFieldLink::Changed, this, &TOrmandDBDateEdit::LoadFromField);
    connect(m_link, &TFieldLink::Rebound, this, &TOrmandDBDateEdit::LoadFromField);
    connect(this, &QLineEdit::textEdited, this, [this] {
        if (!m_loading)
            m_modified = true;
    });
}

TOrmandDBDateEdit::~TOrmandDBDateEdit()
{
    disconnect(m_link, nullptr, this, nullptr);
    m_link->SetDataSource(nullptr);
}

TDataSource* TOrmandDBDateEdit::DataSource() const
{
    return m_link->DataSource();
}

void TOrmandDBDateEdit::SetDataSource(TDataSource* source)
{
    m_link->SetDataSource(source);
}

QString TOrmandDBDateEdit::DataField() const
{
    return m_link->DataField();
}

void TOrmandDBDateEdit::SetDataField(const QString& name)
{
    m_link->SetDataField(name);
}

std::optional<TField> TOrmandDBDateEdit::Field() const
{
    return m_link->Field();
}

QString TOrmandDBDateEdit::CurrentText() const
{
    // The mask leaves its separators in an empty field.
    const QString t = text();
    for (QChar c : t)
        if (c.isDigit())
            return t;
    return QString();
}

QDate TOrmandDBDateEdit::Date() const
{
    const std::optional<QDate> d =
        ParseShortDate(CurrentText(), VarnoNow().date().year(), TRegional::Current());
    return d.value_or(QDate());
}

namespace {

QString FieldDateText(const TFieldLink& link)
{
    if (!link.Active())
        return QString();
    const TField f = *link.Field();
    return f.IsNull() ? QString() : TRegional::Current().ShortDate(f.AsDate());
}

}  // namespace

void TOrmandDBDateEdit::LoadFromField()
{
    const QString t = FieldDateText(*m_link);
    m_loading = true;
    if (t != CurrentText())
        setText(t);
    m_loading = false;
    m_modified = false;
}

void TOrmandDBDateEdit::Reset()
{
    LoadFromField();
}

bool TOrmandDBDateEdit::EnsureEdit()
{
    if (!m_link->FieldDef() || m_link->Editing())
        return true;
    try {
        return m_link->Edit();
    } catch (const EDatabaseError& e) {
        ShowError(e.Message());
        return false;
    }
}

void TOrmandDBDateEdit::UpdateData()
{
    if (!m_link->FieldDef() || isReadOnly())
        return;
    const QString t = CurrentText();
    if (!m_modified && t == FieldDateText(*m_link))
        return;
    m_link->Write(t);
    m_modified = false;
}

bool TOrmandDBDateEdit::DroppedDown() const
{
    return m_popup && m_popup->isVisible();
}

void TOrmandDBDateEdit::DropDown()
{
    if (isReadOnly() || DroppedDown())
        return;
    if (!m_popup) {
        m_popup = new TCalendarPopup(this);
        connect(m_popup, &TCalendarPopup::DatePicked, this, &TOrmandDBDateEdit::PickDate);
    }
    const QDate d = Date();
    m_popup->Calendar()->setSelectedDate(d.isValid() ? d : VarnoNow().date());
    m_popup->adjustSize();
    m_popup->move(mapToGlobal(QPoint(0, height())));
    m_popup->show();
    m_popup->Calendar()->setFocus(Qt::PopupFocusReason);
}

void TOrmandDBDateEdit::CloseUp()
{
    if (m_popup)
        m_popup->hide();
}

void TOrmandDBDateEdit::PickDate(const QDate& date)
{
    if (!EnsureEdit())
        return;
    setText(TRegional::Current().ShortDate(date));
    m_modified = true;
    selectAll();
}

bool TOrmandDBDateEdit::KeyDown(QKeyEvent* e)
{
    if (m_mark.KeyDown(e, this, EnterIsTab() && !DroppedDown(), OnClickSpace,
                       [this] { MoveToNextControl(); }))
        return true;
    if (e->key() == Qt::Key_Down && (e->modifiers() & Qt::AltModifier)) {
        DropDown();
        return true;
    }
    return false;
}

void TOrmandDBDateEdit::keyPressEvent(QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        e->ignore();  // to the dialog's default button
        return;
    case Qt::Key_Escape:
        Reset();
        selectAll();
        e->ignore();  // and to the dialog's cancel button
        return;
    default:
        break;
    }
    if (!isReadOnly() && IsEditingKey(e) && !EnsureEdit()) {
        e->accept();
        return;
    }
    TEditBase::keyPressEvent(e);
}

void TOrmandDBDateEdit::DoEnter()
{
    TEditBase::DoEnter();
    if (!m_modified)
        LoadFromField();
    selectAll();
}

bool TOrmandDBDateEdit::DoExit()
{
    try {
        UpdateData();
    } catch (const EDatabaseError& e) {
        KeepFocus();
        ReportAfterFocusChange(e.Message());
        return false;
    }
    LoadFromField();
    QPointer<TOrmandDBDateEdit> self(this);
    if (OnExit)
        OnExit(this);
    if (!self)
        return true;
    m_mark.ValidExit(this, OnTabExit);
    if (self)
        update();
    return true;
}

void TOrmandDBDateEdit::ButtonClicked()
{
    DropDown();
}
