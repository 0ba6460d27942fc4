#include "LegHlaEditUnit.h"

#include "DBEditVarno.h"
#include "DataSource.h"
#include "Messages.h"
#include "OrmandDBDateEdit.h"
#include "Table.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

bool IsBlank(const QString& s)
{
    for (const QChar c : s)
        if (c.unicode() > 32)
            return false;
    return true;
}

}  // namespace

TLegHlaEdit::TLegHlaEdit(TTable& passes, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      m_passes(passes),
      m_source(new TDataSource(&passes, this))
{
    setWindowTitle(u"Editace údajů legitimace"_s);

    m_kod = new TDBEditVarno(this);
    m_kod->setObjectName(u"KodEdit"_s);
    m_kod->SetDataSource(m_source);
    m_kod->SetDataField(u"LEG_KOD"_s);
    m_kod->SetEnterIsTab(true);
    m_kod->SetWhenValid(TWhenValid::Always);
    m_kod->OnValid = std::bind_front(&TLegHlaEdit::DBEditVarno1Valid, this);
    m_jme = new TDBEditVarno(this);
    m_jme->setObjectName(u"JmeEdit"_s);
    m_jme->SetDataSource(m_source);
    m_jme->SetDataField(u"LEG_JME"_s);
    m_jme->SetEnterIsTab(true);
    m_dod = new TOrmandDBDateEdit(this);
    m_dod->setObjectName(u"DodEdit"_s);
    m_dod->SetDataSource(m_source);
    m_dod->SetDataField(u"LEG_DOD"_s);
    m_storno = new QPushButton(u"Storno"_s, this);
    m_zapis = new QPushButton(u"Zapiš"_s, this);
    connect(m_storno, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_zapis, &QPushButton::clicked, this, &TLegHlaEdit::ZapisClick);

    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(u"Registrační čílo legitimace"_s, this), 0, 0);
    fields->addWidget(m_kod, 0, 1);
    fields->addWidget(new QLabel(u"Jméno vlastníka"_s, this), 1, 0);
    fields->addWidget(m_jme, 1, 1);
    fields->addWidget(new QLabel(u"Legitimace platna do data"_s, this), 2, 0);
    fields->addWidget(m_dod, 2, 1, Qt::AlignLeft);
    fields->setColumnMinimumWidth(1, 220);
    m_kod->setMaximumWidth(110);
    m_dod->setFixedWidth(110);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_storno);
    buttons->addWidget(m_zapis);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(m_kod, m_jme);
    setTabOrder(m_jme, m_dod);
    setTabOrder(m_dod, m_storno);
    setTabOrder(m_storno, m_zapis);
}

TLegHlaEdit::~TLegHlaEdit() = default;

void TLegHlaEdit::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_kod->setFocus(Qt::OtherFocusReason);
}

bool TLegHlaEdit::FormKeyDown(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        reject();
        return true;
    }
    return false;
}

void TLegHlaEdit::DBEditVarno1Valid(QObject*, QString& text, bool& valid)
{
    // Leaving for Storno is giving up: the record is cancelled, so the number need not hold it back.
    if (QApplication::focusWidget() == m_storno)
        return;
    // A pass is never without its number.
    if (IsBlank(text))
        valid = false;
}

void TLegHlaEdit::ZapisClick()
{
    // Texts not yet written (a field still being typed in) go into the record first.
    try {
        m_source->UpdateRecord();
    } catch (const EDatabaseError& e) {
        ShowError(e.Message());
        return;
    }
    if (IsBlank(m_passes.FieldByName(u"LEG_KOD"_s).AsString())) {
        m_kod->setFocus(Qt::OtherFocusReason);
        return;
    }
    accept();
}
