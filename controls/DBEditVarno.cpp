#include "DBEditVarno.h"

#include "FieldLink.h"
#include "Messages.h"
#include "VarnoLogic.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>

TDBEditVarno::TDBEditVarno(QWidget* parent)
    : TEditBase(parent, kHasButton | kButtonKeepsFocus),
      m_link(new TFieldLink(this, this)),
      m_created(VarnoNow())
{
    SetGlyph(ThreeDotsGlyph());
    m_colorDisable = palette().color(QPalette::Active, QPalette::Base);
    SetColorDisable(m_colorDisable);
    connect(m_link, &TFieldLink::Changed, this, &TDBEditVarno::LoadFromField);
    connect(m_link, &TFieldLink::Rebound, this, &TDBEditVarno::Rebound);
    connect(this, &QLineEdit::textEdited, this, &TDBEditVarno::TextEdited);
}

TDBEditVarno::~TDBEditVarno()
{
    disconnect(m_link, nullptr, this, nullptr);
    m_link->SetDataSource(nullptr);
}

TDataSource* TDBEditVarno::DataSource() const
{
    return m_link->DataSource();
}

void TDBEditVarno::SetDataSource(TDataSource* source)
{
    m_link->SetDataSource(source);
}

QString TDBEditVarno::DataField() const
{
    return m_link->DataField();
}

void TDBEditVarno::SetDataField(const QString& name)
{
    m_link->SetDataField(name);
}

std::optional<TField> TDBEditVarno::Field() const
{
    return m_link->Field();
}

void TDBEditVarno::SetColorDisable(const QColor& color)
{
    m_colorDisable = color;
    QPalette p = palette();
    p.setColor(QPalette::Disabled, QPalette::Base, color);
    setPalette(p);
}

void TDBEditVarno::Rebound()
{
    if (const TFieldDef* f = m_link->FieldDef()) {
        // A text field takes no more characters than it can store.
        setMaxLength(f->type == TFieldType::String && f->size > 0 ? f->size : 32767);
        if (f->calculated || f->type == TFieldType::AutoInc)
            setReadOnly(true);
    }
    LoadFromField();
}

void TDBEditVarno::LoadFromField()
{
    if (m_holdText)
        return;
    const QString t = m_link->FieldText(Entered());
    m_loading = true;
    if (t != text())
        setText(t);  // an unchanged text keeps the selection the operator is about to type over
    m_loading = false;
    m_modified = false;
}

void TDBEditVarno::Reset()
{
    LoadFromField();
}

bool TDBEditVarno::EnsureEdit()
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

void TDBEditVarno::TextEdited()
{
    if (m_loading)
        return;
    m_modified = true;
    if (!m_link->FieldDef() || m_link->Editing())
        return;
    // A change that did not come from a key (a paste from the context menu): start the edit now and
    // keep what the operator put into the field.
    bool editing = false;
    m_holdText = true;
    try {
        editing = m_link->Edit();
    } catch (const EDatabaseError& e) {
        m_holdText = false;
        LoadFromField();
        ShowError(e.Message());
        return;
    }
    m_holdText = false;
    if (!editing)
        LoadFromField();
}

void TDBEditVarno::keyPressEvent(QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        e->ignore();  // to the dialog's default button; never typed
        return;
    case Qt::Key_Escape:
        // The stored value comes back, and the dialog's cancel button gets the key.
        Reset();
        selectAll();
        e->ignore();
        return;
    default:
        break;
    }

    QString typed = e->text();
    if (IsTypedKey(e) && !isReadOnly()) {
        const TFieldDef* f = m_link->FieldDef();
        const TRegional regional = TRegional::Current();
        QString accepted;
        for (QChar c : typed) {
            if (const std::optional<QChar> out = FilterDBEditChar(c, f ? f->type : TFieldType::String,
                                                                  m_editType == TDBEditType::Float, regional))
                accepted += *out;
            else
                QApplication::beep();
        }
        if (accepted.isEmpty()) {
            e->accept();
            return;
        }
        typed = accepted;
    }
    if (!isReadOnly() && IsEditingKey(e) && !EnsureEdit()) {
        e->accept();
        return;
    }
    if (typed != e->text()) {
        QKeyEvent replaced(e->type(), e->key(), e->modifiers(), typed, e->isAutoRepeat(), ushort(e->count()));
        TEditBase::keyPressEvent(&replaced);
        e->setAccepted(replaced.isAccepted());
        return;
    }
    TEditBase::keyPressEvent(e);
}

void TDBEditVarno::DoEnter()
{
    TEditBase::DoEnter();
    if (!m_modified)
        LoadFromField();  // the edit text in place of the display text
    selectAll();
}

bool TDBEditVarno::DoExit()
{
    QPointer<TDBEditVarno> self(this);
    bool validate = false;
    switch (m_whenValid) {
    case TWhenValid::Always:
        validate = true;
        break;
    case TWhenValid::WhenEditing:
        validate = m_link->Editing();
        break;
    case TWhenValid::WhenChanged:
        validate = text() != m_link->FieldText(true);
        break;
    case TWhenValid::Never:
        break;
    }

    if (validate) {
        QString t = text();
        bool valid = true;
        if (m_editType == TDBEditType::Date || m_editType == TDBEditType::Time) {
            const QDateTime base = m_dateTimeType == TDateTimeType::Now ? VarnoNow() : m_created;
            const TRegional regional = TRegional::Current();
            const TCompletion c = m_editType == TDBEditType::Date ? CompleteDate(t, base.date(), regional)
                                                                  : CompleteTime(t, base.time(), regional);
            valid = c.ok;
            if (c.ok)
                t = c.text;  // a rejected completion keeps what was typed, for the operator to correct
        }
        if (OnValid) {
            OnValid(this, t, valid);
            if (!self)
                return true;
        }
        if (t != text()) {
            setText(t);
            m_modified = true;
        }
        if (!valid) {
            KeepFocus();
            if (OnError)
                OnError(this);
            else if (!m_errorString.isEmpty())
                ReportAfterFocusChange(m_errorString);
            return false;
        }
    }

    try {
        UpdateData();
    } catch (const EDatabaseError& e) {
        KeepFocus();
        ReportAfterFocusChange(e.Message());
        return false;
    }
    LoadFromField();
    if (OnExit)
        OnExit(this);
    return true;
}

void TDBEditVarno::UpdateData()
{
    if (!m_link->FieldDef() || isReadOnly())
        return;
    const QString t = text();
    if (!m_modified && t == m_link->FieldText(true))
        return;
    m_link->Write(t);
    m_modified = false;
}

void TDBEditVarno::ButtonClicked()
{
    if (OnClickButton)
        OnClickButton(this);
}
