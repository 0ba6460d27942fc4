#include "EditaceVariantaUnit.h"

#include "DBEditVarno.h"
#include "DataSource.h"
#include "EditVarno.h"
#include "Messages.h"
#include "Table.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TEditaceVarianta::TEditaceVarianta(TTable& stock, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      m_stock(stock),
      m_source(new TDataSource(&stock, this))
{
    setWindowTitle(u"EditaceVarianta"_s);

    m_varianta = new TEditVarno(this);
    m_varianta->setObjectName(u"VariantaEdit"_s);
    m_cena = Bound(u"SKL_SNC"_s);
    m_mena = Bound(u"SKL_MEN"_s);
    m_mena->setEnabled(false);
    m_kurz = Bound(u"SKL_KUR"_s);
    m_kurz->setEnabled(false);
    m_zasoba = Bound(u"SKL_POC"_s);
    m_zasoba->setEnabled(false);
    m_poznamka = Bound(u"SKL_POZ"_s);
    m_poznamka->SetEditType(TDBEditType::Float);
    m_zapis = new QPushButton(u"Zapiš"_s, this);
    m_storno = new QPushButton(u"Storno"_s, this);
    connect(m_zapis, &QPushButton::clicked, this, &TEditaceVarianta::ZapisClick);
    connect(m_storno, &QPushButton::clicked, this, &QDialog::reject);

    auto* fields = new QGridLayout;
    const QList<std::pair<QString, QLineEdit*>> rows = {
        {u"Varianta skladové ceny "_s, m_varianta}, {u"Skladová cena varianty"_s, m_cena},
        {u"Pořizovací měna karty"_s, m_mena},       {u"Kurz měny "_s, m_kurz},
        {u"Počáteční skladová zásoba"_s, m_zasoba}, {u"Pozn."_s, m_poznamka},
    };
    for (int r = 0; r < rows.size(); ++r) {
        fields->addWidget(new QLabel(rows[r].first, this), r, 0);
        fields->addWidget(rows[r].second, r, 1, Qt::AlignLeft);
    }
    m_varianta->setFixedWidth(50);
    m_cena->setFixedWidth(100);
    m_mena->setFixedWidth(50);
    m_kurz->setFixedWidth(100);
    m_zasoba->setFixedWidth(100);
    m_poznamka->setFixedWidth(220);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_zapis);
    buttons->addWidget(m_storno);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(m_varianta, m_cena);
    setTabOrder(m_cena, m_mena);
    setTabOrder(m_mena, m_kurz);
    setTabOrder(m_kurz, m_zasoba);
    setTabOrder(m_zasoba, m_poznamka);
    setTabOrder(m_poznamka, m_zapis);
    setTabOrder(m_zapis, m_storno);
}

TEditaceVarianta::~TEditaceVarianta() = default;

TDBEditVarno* TEditaceVarianta::Bound(const QString& field)
{
    auto* edit = new TDBEditVarno(this);
    edit->setObjectName(field);
    edit->SetDataSource(m_source);
    edit->SetDataField(field);
    edit->SetEnterIsTab(true);
    edit->SetWhenValid(TWhenValid::Always);
    return edit;
}

void TEditaceVarianta::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_varianta->setFocus(Qt::OtherFocusReason);
}

void TEditaceVarianta::ZapisClick()
{
    // A field still being typed in is written first; a price the field cannot take stops here.
    try {
        m_source->UpdateRecord();
    } catch (const EDatabaseError& e) {
        ShowError(e.Message());
        return;
    }
    // Exactly as typed; the field keeps what fits (three characters).
    m_stock.FieldByName(u"SKL_IND"_s).SetAsString(m_varianta->text());
    accept();
}
