#include "CerPolEditUnit.h"

#include "DBEditVarno.h"
#include "DataSource.h"
#include "DataUnit.h"
#include "Messages.h"
#include "PassAccount.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

#include <cmath>

using namespace Qt::StringLiterals;

TCerPolEdit::TCerPolEdit(TData& dataModule, TDataSet& movement, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      m_data(dataModule),
      m_movement(movement),
      m_source(new TDataSource(&movement, this))
{
    setWindowTitle(u"Editace položky čerpání"_s);

    const auto field = [this](const QString& name, const QString& objectName) {
        auto* edit = new TDBEditVarno(this);
        edit->setObjectName(objectName);
        edit->SetDataSource(m_source);
        edit->SetDataField(name);
        edit->SetEnterIsTab(true);
        edit->SetWhenValid(TWhenValid::Always);
        return edit;
    };
    m_karta = field(u"LEP_KAV"_s, u"KartaEdit"_s);
    m_karta->SetButtonVisible(true);
    m_karta->OnValid = std::bind_front(&TCerPolEdit::DBEditVarno1Valid, this);
    m_karta->OnClickButton = std::bind_front(&TCerPolEdit::DBEditVarno1ClickButton, this);
    m_nazev = field(u"LEP_NAC"_s, u"NazevEdit"_s);
    m_cena = field(u"LEP_PC1"_s, u"CenaEdit"_s);
    for (TDBEditVarno* shown : {m_nazev, m_cena}) {
        shown->setReadOnly(true);
        shown->setAlignment(Qt::AlignRight);
        shown->setFocusPolicy(Qt::NoFocus);
    }
    m_kus = field(u"LEP_KUS"_s, u"KusEdit"_s);
    m_kus->SetEditType(TDBEditType::Float);
    m_kus->OnValid = std::bind_front(&TCerPolEdit::DBEditVarno4Valid, this);

    m_zapis = new QPushButton(u"Zapiš"_s, this);
    m_storno = new QPushButton(u"Storno"_s, this);
    connect(m_zapis, &QPushButton::clicked, this, &TCerPolEdit::ZapisClick);
    connect(m_storno, &QPushButton::clicked, this, &QDialog::reject);

    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(u"Karta sortimentu"_s, this), 0, 0);
    fields->addWidget(m_karta, 0, 1, Qt::AlignLeft);
    fields->addWidget(new QLabel(u"Název"_s, this), 1, 0);
    fields->addWidget(m_nazev, 1, 1);
    fields->addWidget(new QLabel(u"Prodejní cena "_s, this), 2, 0);
    fields->addWidget(m_cena, 2, 1, Qt::AlignLeft);
    fields->addWidget(new QLabel(u"Počet měrných jednotek"_s, this), 3, 0);
    fields->addWidget(m_kus, 3, 1, Qt::AlignLeft);
    fields->setColumnMinimumWidth(1, 240);
    m_karta->setFixedWidth(100);
    m_cena->setFixedWidth(100);
    m_kus->setFixedWidth(100);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_zapis);
    buttons->addWidget(m_storno);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(m_karta, m_kus);
    setTabOrder(m_kus, m_zapis);
    setTabOrder(m_zapis, m_storno);
}

TCerPolEdit::~TCerPolEdit() = default;

void TCerPolEdit::SetDeposit()
{
    setWindowTitle(u"Zadání nového vkladu"_s);
}

void TCerPolEdit::SetCorrection(double previousAmount)
{
    m_previousAmount = previousAmount;
    m_karta->setEnabled(false);
}

void TCerPolEdit::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    (m_karta->isEnabled() ? m_karta : m_kus)->setFocus(Qt::OtherFocusReason);
}

bool TCerPolEdit::FormKeyDown(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        reject();
        return true;
    }
    return false;
}

bool TCerPolEdit::TakeCard(QString& text)
{
    if (!m_data.SorValid(text))
        return false;
    TTable& sor = *m_data.ffSortiment;
    if (!sor.Active() || !sor.HasRecord())
        return false;
    text = sor.FieldByName(u"SOR_KAV"_s).AsString();
    m_source->Edit();
    m_movement.FieldByName(u"LEP_KAV"_s).SetAsString(text);
    m_movement.FieldByName(u"LEP_PC1"_s).SetAsFloat(sor.FieldByName(u"SOR_PC2"_s).AsFloat());
    m_movement.FieldByName(u"LEP_NAC"_s).SetAsString(sor.FieldByName(u"SOR_NAC"_s).AsString());
    m_movement.FieldByName(u"LEP_DAN"_s).SetAsFloat(sor.FieldByName(u"SOR_DAN"_s).AsFloat());
    return true;
}

void TCerPolEdit::DBEditVarno1Valid(QObject*, QString& text, bool& valid)
{
    // Leaving for Storno is giving up: no assortment list for a code that is going to be thrown away.
    if (QApplication::focusWidget() == m_storno)
        return;
    valid = TakeCard(text);
}

void TCerPolEdit::DBEditVarno1ClickButton(QObject*)
{
    QString text = m_karta->text();
    if (TakeCard(text))
        m_karta->setText(text);
}

QString TCerPolEdit::UnitsRefusal(double units) const
{
    const double price = m_movement.FieldByName(u"LEP_PC1"_s).AsFloat();
    if (!PassAccount::ValidUnits(units) || !std::isfinite(units * price))
        return QString::fromUtf16(PassAccount::kInvalidUnits);
    // The balance as stored before this booking; the booking checks it again under its lock.
    const double balance = m_data.ffLegHla->FieldByName(u"LEG_ZUS"_s).AsFloat();
    const double koe = m_movement.FieldByName(u"LEP_KOE"_s).AsFloat();
    if (PassAccount::BalanceAfter(units, price, koe, m_previousAmount, balance) < 0)
        return QString::fromUtf16(PassAccount::kInsufficientBalance);
    return {};
}

void TCerPolEdit::DBEditVarno4Valid(QObject*, QString& text, bool& valid)
{
    if (QApplication::focusWidget() == m_storno)
        return;
    bool isNumber = false;
    const double units = QLocale().toDouble(text.trimmed(), &isNumber);
    const QString refusal = isNumber ? UnitsRefusal(units) : QString::fromUtf16(PassAccount::kInvalidUnits);
    if (!refusal.isEmpty()) {
        valid = false;
        ReportAfterFocusChange(refusal);
    }
}

void TCerPolEdit::ZapisClick()
{
    // Normally both fields were checked as they were left; a field the operator never entered was not.
    if (m_movement.FieldByName(u"LEP_KAV"_s).AsString().trimmed().isEmpty()) {
        m_karta->setFocus(Qt::OtherFocusReason);
        return;
    }
    const TField units = m_movement.FieldByName(u"LEP_KUS"_s);
    const QString refusal =
        units.IsNull() ? QString::fromUtf16(PassAccount::kInvalidUnits) : UnitsRefusal(units.AsFloat());
    if (!refusal.isEmpty()) {
        ShowError(refusal);
        m_kus->setFocus(Qt::OtherFocusReason);
        return;
    }
    accept();
}
