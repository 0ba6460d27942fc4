#include "UctenHleUnit.h"

#include "Codepages.h"
#include "EditVarno.h"
#include "Table.h"

#include <QApplication>
#include <QDate>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TUctenHle::TUctenHle(TTable& receipts, QWidget* owner)
    : QDialog(owner,
              Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_receipts(receipts)
{
    setWindowTitle(u"Hledej položku databáze"_s);

    m_cislo = new QRadioButton(u"Hledej dle čísla účtenky"_s, this);
    m_vycetka = new QRadioButton(u"Hledej dle čísla výčetky"_s, this);
    m_datum = new QRadioButton(u"Hledej dle data vystavení"_s, this);
    m_text = new TEditVarno(this);
    m_text->setObjectName(u"TextEdit"_s);
    m_hledej = new QPushButton(u"&Hledej"_s, this);
    m_storno = new QPushButton(u"Storno"_s, this);
    connect(m_hledej, &QPushButton::clicked, this, &TUctenHle::HledejClick);
    connect(m_storno, &QPushButton::clicked, this, [this] { done(kAbort); });
    for (QRadioButton* option : {m_cislo, m_vycetka, m_datum})
        connect(option, &QRadioButton::toggled, this, &TUctenHle::UpdateEditType);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_hledej);
    buttons->addWidget(m_storno);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_cislo);
    layout->addWidget(m_vycetka);
    layout->addWidget(m_datum);
    layout->addSpacing(6);
    layout->addWidget(new QLabel(u"Hledej tento text"_s, this));
    layout->addWidget(m_text);
    layout->addSpacing(6);
    layout->addLayout(buttons);
    m_text->setMinimumWidth(260);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(m_cislo, m_vycetka);
    setTabOrder(m_vycetka, m_datum);
    setTabOrder(m_datum, m_text);
    setTabOrder(m_text, m_hledej);
    setTabOrder(m_hledej, m_storno);
    m_cislo->setChecked(true);
    adjustSize();
}

bool TUctenHle::event(QEvent* event)
{
    const bool result = QDialog::event(event);
    if (event->type() == QEvent::WindowActivate)
        FormActivate();
    return result;
}

void TUctenHle::FormActivate()
{
    m_text->SetText(QString());
    m_text->SetEditType(TEditType::String);
    m_hledej->setEnabled(false);
    m_cislo->setChecked(true);
    m_cislo->setFocus(Qt::OtherFocusReason);
}

void TUctenHle::UpdateEditType()
{
    m_text->SetEditType(m_datum->isChecked() ? TEditType::Date : TEditType::String);
}

bool TUctenHle::FormKeyDown(QKeyEvent* event)
{
    QWidget* focus = QApplication::focusWidget();
    const bool onOption = focus == m_cislo || focus == m_vycetka || focus == m_datum;
    switch (event->key()) {
    case Qt::Key_Escape:
        reject();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (onOption) {
            UpdateEditType();
            m_text->setFocus(Qt::TabFocusReason);
            return true;
        }
        break;
    default:
        break;
    }
    if (onOption)
        UpdateEditType();
    if (focus == m_text)
        m_hledej->setEnabled(true);
    return false;
}

void TUctenHle::HledejClick()
{
    const QString text = Trim(m_text->text());
    QString index = u"DO1"_s;
    QVariant key = text;
    if (m_vycetka->isChecked()) {
        index = u"DO2"_s;
    } else if (m_datum->isChecked()) {
        index = u"DAT"_s;
        // Issued on or after the day: the day from its first moment.
        const QDate day = QDate::fromString(text, u"d.M.yyyy"_s);
        key = day.isValid() ? QVariant(day.startOfDay()) : QVariant(text);
    }
    m_receipts.SetIndexName(index);
    m_receipts.FindNearest({key});
    accept();
}
