#include "LegHleUnit.h"

#include "EditVarno.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TLegHle::TLegHle(QWidget* owner) : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setWindowTitle(u"Hledej položku databáze"_s);

    m_cislo = new QRadioButton(u"Hledej číslo legitimace"_s, this);
    m_jmeno = new QRadioButton(u"Hledej jméno vlastníka"_s, this);
    m_text = new TEditVarno(this);
    m_text->setObjectName(u"TextEdit"_s);
    m_hledej = new QPushButton(u"&Hledej"_s, this);
    m_storno = new QPushButton(u"Storno"_s, this);
    connect(m_hledej, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_storno, &QPushButton::clicked, this, [this] { done(kAbort); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_hledej);
    buttons->addWidget(m_storno);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_cislo);
    layout->addWidget(m_jmeno);
    layout->addSpacing(6);
    layout->addWidget(new QLabel(u"Hledej tento text"_s, this));
    layout->addWidget(m_text);
    layout->addSpacing(6);
    layout->addLayout(buttons);
    m_text->setMinimumWidth(260);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(m_cislo, m_jmeno);
    setTabOrder(m_jmeno, m_text);
    setTabOrder(m_text, m_hledej);
    setTabOrder(m_hledej, m_storno);
    m_cislo->setChecked(true);
    adjustSize();
}

QString TLegHle::SearchText() const
{
    return m_text->text();
}

bool TLegHle::event(QEvent* event)
{
    const bool result = QDialog::event(event);
    if (event->type() == QEvent::WindowActivate)
        FormActivate();
    return result;
}

void TLegHle::FormActivate()
{
    m_text->SetText(QString());
    m_hledej->setEnabled(false);
    m_text->SetEditType(TEditType::String);
    m_cislo->setChecked(true);
    m_cislo->setFocus(Qt::OtherFocusReason);
}

bool TLegHle::FormKeyDown(QKeyEvent* event)
{
    QWidget* focus = QApplication::focusWidget();
    switch (event->key()) {
    case Qt::Key_Escape:
        reject();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (focus == m_cislo || focus == m_jmeno) {
            m_text->setFocus(Qt::TabFocusReason);
            return true;
        }
        break;
    default:
        break;
    }
    if (focus == m_text)
        m_hledej->setEnabled(true);
    return false;
}
