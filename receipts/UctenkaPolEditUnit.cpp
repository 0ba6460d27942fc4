#include "UctenkaPolEditUnit.h"

#include "DBEditVarno.h"
#include "DataSource.h"
#include "DataUnit.h"
#include "EditBase.h"
#include "Messages.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

constexpr double kMaxQuantity = 1000000;

// Runs a stock check while a field is being left: its refusal is shown once the focus change has
// finished, so that no message box opens in the middle of one.
bool CheckDeferred(const std::function<bool()>& check)
{
    QStringList told;
    TMessageHandler previous =
        SetMessageHandler([&told](TMessageKind, const QString& text) { return told.append(text), true; });
    bool ok = false;
    try {
        ok = check();
    } catch (...) {
        SetMessageHandler(std::move(previous));
        throw;
    }
    SetMessageHandler(std::move(previous));
    for (const QString& text : told)
        ReportAfterFocusChange(text);
    return ok;
}

}  // namespace

TUctenkaPolDialog::TUctenkaPolDialog(TData& dataModule, TDataSet& line, QWidget* owner, bool correction)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      m_data(dataModule),
      m_line(line),
      m_source(new TDataSource(&line, this))
{
    const auto field = [this](const QString& name, const QString& objectName) {
        auto* edit = new TDBEditVarno(this);
        edit->setObjectName(objectName);
        edit->SetDataSource(m_source);
        edit->SetDataField(name);
        edit->SetEnterIsTab(true);
        edit->SetWhenValid(TWhenValid::Always);
        return edit;
    };
    m_karta = field(u"DOK_KAV"_s, u"KartaEdit"_s);
    m_karta->SetButtonVisible(true);
    m_karta->setFixedWidth(90);
    if (correction) {
        m_variant = field(u"DOK_IND"_s, u"VariantEdit"_s);
        m_variant->SetButtonVisible(true);
        m_variant->setFixedWidth(60);
    }
    m_nazev = field(u"DOK_NAZ"_s, u"NazevEdit"_s);
    m_cena = field(u"DOK_PC1"_s, u"CenaEdit"_s);
    m_dan = field(u"DOK_DAN"_s, u"DanEdit"_s);
    for (TDBEditVarno* shown : {m_nazev, m_cena, m_dan}) {
        shown->setReadOnly(true);
        shown->setFocusPolicy(Qt::NoFocus);
    }
    m_cena->setAlignment(Qt::AlignRight);
    m_dan->setAlignment(Qt::AlignRight);
    m_cena->setFixedWidth(100);
    m_dan->setFixedWidth(60);
    m_kus = field(u"DOK_KUS"_s, u"KusEdit"_s);
    m_kus->SetEditType(TDBEditType::Float);
    m_kus->setFixedWidth(100);
    m_kus->OnValid = std::bind_front(&TUctenkaPolDialog::DBEditVarnoKusValid, this);
    m_kus->installEventFilter(this);

    m_stav = new QLabel(this);
    m_stav->setObjectName(u"StavLabel"_s);
    m_stav->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_stav->setFrameShape(QFrame::Panel);
    m_stav->setFrameShadow(QFrame::Sunken);
    m_stav->setFixedWidth(100);

    m_storno = new QPushButton(u"Storno"_s, this);
    m_zapis = new QPushButton(u"Zapiš"_s, this);
    connect(m_storno, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_zapis, &QPushButton::clicked, this, &TUctenkaPolDialog::ZapisClick);

    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(correction ? u"Karta sort."_s : u"Karta sortimentu"_s, this), 0, 0);
    auto* cardRow = new QHBoxLayout;
    cardRow->addWidget(m_karta);
    if (m_variant)
        cardRow->addWidget(m_variant);
    cardRow->addStretch();
    fields->addLayout(cardRow, 0, 1);
    fields->addWidget(m_nazev, 1, 0, 1, 2);
    fields->addWidget(new QLabel(u"Prodejní cena "_s, this), 2, 0);
    fields->addWidget(m_cena, 2, 1, Qt::AlignLeft);
    fields->addWidget(new QLabel(u"Sazba DPH"_s, this), 3, 0);
    fields->addWidget(m_dan, 3, 1, Qt::AlignLeft);
    fields->addWidget(new QLabel(u"Zásoba na skladě"_s, this), 4, 0);
    fields->addWidget(m_stav, 4, 1, Qt::AlignLeft);
    m_kusCaption = new QLabel(correction ? u"Počet kusů"_s : u"Počet  kusů"_s, this);
    fields->addWidget(m_kusCaption, 5, 0);
    fields->addWidget(m_kus, 5, 1, Qt::AlignLeft);
    fields->setColumnMinimumWidth(1, 260);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_storno);
    buttons->addWidget(m_zapis);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    QWidget* previous = m_karta;
    if (m_variant) {
        setTabOrder(m_karta, m_variant);
        previous = m_variant;
    }
    setTabOrder(previous, m_kus);
    setTabOrder(m_kus, m_storno);
    setTabOrder(m_storno, m_zapis);
}

TUctenkaPolDialog::~TUctenkaPolDialog() = default;

bool TUctenkaPolDialog::eventFilter(QObject* watched, QEvent* event)
{
    // How the quantity field is being left, seen before the field validates.
    if (watched == m_kus && event->type() == QEvent::FocusOut)
        m_kusExitReason = static_cast<QFocusEvent*>(event)->reason();
    return QDialog::eventFilter(watched, event);
}

bool TUctenkaPolDialog::FormKeyDown(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        reject();
        return true;
    }
    return false;
}

QString TUctenkaPolDialog::QuantityRefusal(const QString& text, double* quantity)
{
    QString t = text.trimmed();
    if (t.isEmpty())
        return u"Zadejte počet kusů."_s;
    const QLocale locale;
    t.replace(u'.', locale.decimalPoint()).replace(u',', locale.decimalPoint());
    bool isNumber = false;
    double q = locale.toDouble(t, &isNumber);
    if (!isNumber)
        q = QLocale::c().toDouble(text.trimmed(), &isNumber);
    if (!isNumber || !std::isfinite(q))
        return u"Počet kusů \"%1\" není číslo."_s.arg(text.trimmed());
    if (q < 0)
        return u"Počet kusů nesmí být záporný."_s;
    if (q >= kMaxQuantity)
        return u"Počet kusů musí být menší než 1 000 000."_s;
    *quantity = q + 0.0;
    return {};
}

bool TUctenkaPolDialog::StockItem() const
{
    TTable& sor = *m_data.ffSortiment;
    return sor.Active() && sor.HasRecord() && sor.FieldByName(u"SOR_SKL"_s).AsBoolean();
}

QString TUctenkaPolDialog::StockFigure(double value) const
{
    return FieldValues::FloatToStr(value, QLocale());
}

void TUctenkaPolDialog::DBEditVarnoKusValid(QObject*, QString& text, bool& valid)
{
    // A click on Storno is giving up: no check of a quantity that is going to be thrown away. (Tab and
    // Enter also lead to Storno, and they check the quantity.)
    // The text goes back to the stored value, so that no half-typed number is written on the way out.
    if (QApplication::focusWidget() == m_storno && m_kusExitReason == Qt::MouseFocusReason) {
        text = m_line.FieldByName(u"DOK_KUS"_s).EditText();
        return;
    }
    double q = 0;
    const QString refusal = QuantityRefusal(text, &q);
    if (!refusal.isEmpty()) {
        valid = false;
        ReportAfterFocusChange(refusal);
        return;
    }
    m_source->Edit();
    const double pc1 = m_line.FieldByName(u"DOK_PC1"_s).AsFloat();
    m_line.FieldByName(u"DOK_PCC"_s).SetAsFloat(pc1 * q);
    m_line.FieldByName(u"DOK_NCC"_s).SetAsFloat(m_line.FieldByName(u"DOK_NC1"_s).AsFloat() * q);
    m_line.FieldByName(u"DOK_PCS"_s).SetAsFloat(pc1 * q);
    const QString card = m_line.FieldByName(u"DOK_KAV"_s).AsString();
    if (!card.isEmpty() && StockItem() && !CheckDeferred([&] { return CheckStock(card, q); })) {
        valid = false;
        return;
    }
    // The field writes its text; the number as read goes in so that "2.5" is stored as 2.5.
    text = FieldValues::FloatToStr(q, QLocale());
}

void TUctenkaPolDialog::ZapisClick()
{
    // Both fields are checked as they are left; a field the operator never entered was not.
    if (!m_karta->isReadOnly() && m_karta->isEnabled() &&
        m_line.FieldByName(u"DOK_KAV"_s).AsString().trimmed().isEmpty()) {
        m_karta->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (m_line.FieldByName(u"DOK_KUS"_s).IsNull()) {
        double q = 0;
        ShowError(QuantityRefusal(QString(), &q));
        m_kus->setFocus(Qt::OtherFocusReason);
        return;
    }
    accept();
}

// ---------------------------------------------------------------------------------------------------

TUctenkaPolNewEdit::TUctenkaPolNewEdit(TData& dataModule, TDataSet& line, QWidget* owner)
    : TUctenkaPolDialog(dataModule, line, owner, false)
{
    setWindowTitle(u"Nová položka"_s);
    m_karta->OnValid = std::bind_front(&TUctenkaPolNewEdit::DBEditVarno1Valid, this);
    m_karta->OnClickButton = std::bind_front(&TUctenkaPolNewEdit::DBEditVarno1ClickButton, this);
}

void TUctenkaPolNewEdit::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_karta->setFocus(Qt::OtherFocusReason);
}

bool TUctenkaPolNewEdit::TakeCard(QString& text)
{
    if (!m_data.SorValid(text))
        return false;
    TTable& sor = *m_data.ffSortiment;
    if (!sor.Active() || !sor.HasRecord())
        return false;
    text = sor.FieldByName(u"SOR_KAV"_s).AsString();
    m_source->Edit();
    m_line.FieldByName(u"DOK_KAV"_s).SetAsString(text);
    m_line.FieldByName(u"DOK_PC1"_s).SetAsFloat(sor.FieldByName(u"SOR_PC1"_s).AsFloat());
    m_line.FieldByName(u"DOK_NAZ"_s).SetAsString(sor.FieldByName(u"SOR_NAC"_s).AsString());
    m_line.FieldByName(u"DOK_DAN"_s).SetAsFloat(sor.FieldByName(u"SOR_DAN"_s).AsFloat());
    SetStockDisplay(sor.FieldByName(u"SOR_SKL"_s).AsBoolean()
                        ? StockFigure(sor.FieldByName(u"SOR_STA"_s).AsFloat())
                        : u"Neskl.pol."_s);
    return true;
}

void TUctenkaPolNewEdit::DBEditVarno1Valid(QObject*, QString& text, bool& valid)
{
    // Leaving for Storno is giving up: no assortment list for a code that is going to be thrown away.
    if (QApplication::focusWidget() == m_storno)
        return;
    valid = TakeCard(text);
    if (valid)
        ZakladniCena = m_data.ffSortiment->FieldByName(u"SOR_PC1"_s).AsFloat();
}

void TUctenkaPolNewEdit::DBEditVarno1ClickButton(QObject*)
{
    QString text = m_karta->text();
    if (TakeCard(text))
        m_karta->setText(text);
}

bool TUctenkaPolNewEdit::CheckStock(const QString& card, double q)
{
    return m_data.KontrolaStavuKarta(card, -(q - PuvodniMnozstvi), PuvodniMnozstvi);
}

// ---------------------------------------------------------------------------------------------------

TUctenkaPolEdit::TUctenkaPolEdit(TData& dataModule, TDataSet& line, QWidget* owner)
    : TUctenkaPolDialog(dataModule, line, owner, true)
{
    setWindowTitle(u"Oprava položky"_s);
}

void TUctenkaPolEdit::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_kus->setFocus(Qt::OtherFocusReason);
}

bool TUctenkaPolEdit::CheckStock(const QString& card, double q)
{
    return m_data.KontrolaStavu(card, m_line.FieldByName(u"DOK_IND"_s).AsString(), -(q - PuvodniMnozstvi),
                                PuvodniMnozstvi);
}
