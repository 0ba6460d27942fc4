#include "VyberTiskuDokladuUnit.h"

#include "Codepages.h"
#include "DataUnit.h"
#include "EditVarno.h"
#include "RAWPrinter.h"
#include "myPrinters.h"

#include <QApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TVyberTiskuDokladu::TVyberTiskuDokladu(TData& dataModule, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                         Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_data(dataModule)
{
    setWindowTitle(u"Nastavení tisku dokladu"_s);

    m_kopie = new TEditVarno(this);
    m_kopie->setObjectName(u"KopieEdit"_s);
    m_kopie->SetEditType(TEditType::Integer);
    m_kopie->SetText(u"1"_s);
    m_nahled = new QCheckBox(u"Náhled před tiskem"_s, this);
    m_tiskarna = new QComboBox(this);
    m_tiskarna->setObjectName(u"TiskarnaCombo"_s);
    m_storno = new QPushButton(u"Storno"_s, this);
    m_tisk = new QPushButton(u"Tisk"_s, this);
    for (QPushButton* b : {m_storno, m_tisk})
        b->setAutoDefault(false);
    connect(m_storno, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_tisk, &QPushButton::clicked, this, &TVyberTiskuDokladu::TiskClick);

    // The installed printers as the station counts them; a list that cannot be read stays empty.
    try {
        m_tiskarna->addItems(GetPrinters().Printers());
    } catch (const EPrinter&) {}
    if (m_data.HlavniTiskarna >= 0 && m_data.HlavniTiskarna < m_tiskarna->count())
        m_tiskarna->setCurrentIndex(m_data.HlavniTiskarna);
    else
        m_tiskarna->setCurrentIndex(-1);

    auto* form = new QFormLayout;
    form->addRow(new QLabel(u"Počet kopii tisku dokladu"_s, this), m_kopie);
    form->addRow(QString(), m_nahled);
    form->addRow(new QLabel(u"Vybraná tiskárna"_s, this), m_tiskarna);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_storno);
    buttons->addWidget(m_tisk);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    m_tiskarna->setMinimumWidth(220);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(m_kopie, m_nahled);
    setTabOrder(m_nahled, m_tiskarna);
    setTabOrder(m_tiskarna, m_storno);
    setTabOrder(m_storno, m_tisk);
    m_kopie->setFocus(Qt::OtherFocusReason);
}

void TVyberTiskuDokladu::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (QWidget* o = parentWidget())
        move(o->geometry().center() - rect().center());
    m_kopie->setFocus(Qt::OtherFocusReason);
}

int TVyberTiskuDokladu::Copies() const
{
    bool ok = false;
    const int copies = Trim(m_kopie->text()).toInt(&ok);
    return ok ? copies : 0;
}

bool TVyberTiskuDokladu::FormKeyDown(QKeyEvent* event)
{
    if ((event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    QWidget* focus = QApplication::focusWidget();
    switch (event->key()) {
    case Qt::Key_Escape:
        m_storno->click();
        return true;
    case Qt::Key_F8:
        m_tisk->click();
        return true;
    case Qt::Key_F12:
        m_nahled->toggle();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (focus == m_nahled) {
            m_tiskarna->setFocus(Qt::TabFocusReason);
            return true;
        }
        if (focus == m_tiskarna) {
            focusNextChild();
            return true;
        }
        return false;  // the copies field moves on by itself; the buttons click
    default:
        return false;
    }
}

void TVyberTiskuDokladu::TiskClick()
{
    // No printer chosen: the system's default printer, at its place in the list.
    if (m_tiskarna->currentIndex() < 0 && m_tiskarna->count() > 0) {
        TRAWPrinter probe;
        if (probe.UseDefaultPrinter()) {
            const int at = m_tiskarna->findText(probe.PrinterName);
            m_tiskarna->setCurrentIndex(at >= 0 ? at : 0);
        } else {
            m_tiskarna->setCurrentIndex(0);
        }
    }
    m_printerName = m_tiskarna->currentText();
    if (m_tiskarna->currentIndex() >= 0)
        m_data.HlavniTiskarna = m_tiskarna->currentIndex();
    if (Trim(m_kopie->text()).isEmpty())
        m_kopie->setText(u"0"_s);
    accept();
}
