#include "EditVarno.h"

#include "Messages.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPointer>

TVEdit::TVEdit(QWidget* parent) : TVEdit(parent, kNone) {}

TVEdit::TVEdit(QWidget* parent, int options) : TEditBase(parent, options)
{
    SetEnterIsTab(true);
}

void TVEdit::SetText(const QString& text)
{
    if (!ApplyText(text))
        ShowError(QString::fromUtf16(kChybnyFormatDat));
}

bool TVEdit::ApplyText(const QString& text)
{
    const TCheckResult r = Check(text);
    if (r.text != this->text())
        setText(r.text);
    m_textValid = r.ok;
    return r.ok;
}

TCheckResult TVEdit::Check(const QString& text) const
{
    return CheckVEditText(text, m_kind, VarnoNow(), TRegional::Current());
}

std::optional<QChar> TVEdit::TypedChar(QChar c) const
{
    return ConvertDecimalSymbolChar(c, m_kind.type, m_convertDecimalSymbol);
}

void TVEdit::SetAlignment(Qt::Alignment alignment)
{
    m_alignment = alignment & Qt::AlignHorizontal_Mask;
    UpdateAlignment();
}

void TVEdit::UpdateAlignment()
{
    const bool aside = !hasFocus() && (m_alignment & (Qt::AlignRight | Qt::AlignHCenter));
    setAlignment((aside ? m_alignment : Qt::AlignLeft) | Qt::AlignVCenter);
    if (HasButton())
        return;
    // The base field keeps its right-aligned or centred text a quarter of a character height from
    // the edge.
    const int quarter =
        aside ? std::min(QFontMetrics(QApplication::font()).height(), fontMetrics().height()) / 4 : 0;
    QMargins margins = textMargins();
    margins.setLeft(quarter);
    margins.setRight(quarter);
    setTextMargins(margins);
}

bool TVEdit::KeyDown(QKeyEvent* e)
{
    return m_mark.KeyDown(e, this, EnterIsTab(), OnClickSpace, [this] { MoveToNextControl(); });
}

void TVEdit::keyPressEvent(QKeyEvent* e)
{
    const QString typed = e->text();
    if (!IsTypedKey(e)) {
        TEditBase::keyPressEvent(e);
        return;
    }
    QString accepted;
    for (QChar c : typed) {
        if (const std::optional<QChar> out = TypedChar(c))
            accepted += *out;
        else
            QApplication::beep();
    }
    if (accepted == typed) {
        TEditBase::keyPressEvent(e);
        return;
    }
    if (accepted.isEmpty()) {
        e->accept();
        return;
    }
    QKeyEvent replaced(e->type(), e->key(), e->modifiers(), accepted, e->isAutoRepeat(), ushort(e->count()));
    TEditBase::keyPressEvent(&replaced);
    e->setAccepted(replaced.isAccepted());
}

void TVEdit::focusInEvent(QFocusEvent* e)
{
    TEditBase::focusInEvent(e);
    UpdateAlignment();
}

void TVEdit::focusOutEvent(QFocusEvent* e)
{
    TEditBase::focusOutEvent(e);
    UpdateAlignment();
}

bool TVEdit::DoExit()
{
    if (!ApplyText(text())) {
        KeepFocus();
        ReportAfterFocusChange(QString::fromUtf16(kChybnyFormatDat));
        return false;
    }
    update();
    QPointer<TVEdit> self(this);
    if (OnExit)
        OnExit(this);
    if (self)
        m_mark.ValidExit(this, OnTabExit);
    return true;
}

// ---------------------------------------------------------------------------------------------------

TEditVarno::TEditVarno(QWidget* parent) : TVEdit(parent, kHasButton | kButtonKeepsFocus)
{
    SetGlyph(ThreeDotsGlyph());
}

TCheckResult TEditVarno::Check(const QString& text) const
{
    return CheckEditVarnoText(text, Kind(), VarnoNow(), TRegional::Current());
}

std::optional<QChar> TEditVarno::TypedChar(QChar c) const
{
    return FilterEditVarnoChar(c, Kind().type, ConvertDecimalSymbol(), TRegional::Current());
}

void TEditVarno::keyPressEvent(QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        // Handed to the dialog (default and cancel buttons); never typed. In a field that is not text
        // Esc is also refused like every other character outside the filter.
        if (e->key() == Qt::Key_Escape && Kind().type != TEditType::String)
            QApplication::beep();
        e->ignore();
        return;
    default:
        TVEdit::keyPressEvent(e);
    }
}

void TEditVarno::DoEnter()
{
    TVEdit::DoEnter();
    selectAll();
}

void TEditVarno::ButtonClicked()
{
    if (OnClickButton)
        OnClickButton(this);
}
