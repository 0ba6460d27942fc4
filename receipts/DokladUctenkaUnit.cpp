#include "DokladUctenkaUnit.h"

#include "DBEditVarno.h"
#include "DataSestavyUnit.h"
#include "DataSource.h"
#include "DataUnit.h"
#include "DokladGrid.h"
#include "MemTable.h"
#include "Messages.h"
#include "ReceiptEngine.h"
#include "UctenkaPolEditUnit.h"
#include "UctenkyFormaUhradyUnit.h"
#include "ZaplacenoUnit.h"

#include <QApplication>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 470;
const QString kFaultMessage = u"Osetreni vyjimky"_s;

}  // namespace

TDokladUctenka::TDokladUctenka(TData& dataModule, TUctenkaUcel ucel, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      m_data(dataModule),
      m_engine(dataModule),
      m_header(new TDataSource(dataModule.ffUctenky.get(), this))
{
    if (ucel == TUctenkaUcel::Nova)
        m_engine.OpenNew();
    else
        m_engine.OpenCorrection();

    setWindowTitle(u"Účtenka - prodej za hotové"_s);

    m_grid = new TDokladGrid(this);
    m_grid->setObjectName(u"DBGrid1"_s);
    m_grid->SetDataSet(m_data.DokladObsah.get(), {{u"DOK_KAV"_s, 56, u"Karta"_s},
                                                  {u"DOK_IND"_s, 34, u"Var."_s},
                                                  {u"DOK_NAZ"_s, 200, u"Název položky"_s},
                                                  {u"DOK_PC1"_s, 70, u"PC / kus"_s},
                                                  {u"DOK_KUS"_s, 50, u"Kusy"_s},
                                                  {u"DOK_PCC"_s, 76, u"PC Celkem"_s},
                                                  {u"DOK_PCS"_s, 76, u"Cen. cena"_s},
                                                  {u"DOK_NCC"_s, 76, u"SC Celkem"_s},
                                                  {u"DOK_NC1"_s, 70, u"SC / kus"_s},
                                                  {u"DOK_SLP"_s, 60, u"Sleva Mn."_s},
                                                  {u"DOK_DAN"_s, 40, u"DPH"_s},
                                                  {u"DOK_DPH"_s, 70, u"Hod. DPH"_s},
                                                  {u"DOK_SKU"_s, 40, u"Skup."_s},
                                                  {u"DOK_POM"_s, 60, u"Sleva Spc."_s},
                                                  {u"DOK_VAP"_s, 30, u"V.P."_s},
                                                  {u"DOK_PRV"_s, 30},
                                                  {u"DOK_CIS"_s, 90, u"Číslo dokladu"_s}});

    // Receipt number and total.
    m_cislo = new QLabel(this);
    m_cislo->setObjectName(u"HLA_DO1"_s);
    m_celkem = new QLabel(this);
    m_celkem->setObjectName(u"HLA_CUH"_s);
    for (QLabel* l : {m_cislo, m_celkem}) {
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
        l->setMinimumWidth(110);
    }
    m_celkem->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* totals = new QHBoxLayout;
    totals->addWidget(new QLabel(u"Účtenka číslo"_s, this));
    totals->addWidget(m_cislo);
    totals->addStretch();
    totals->addWidget(new QLabel(u"Celkem v PC"_s, this));
    totals->addWidget(m_celkem);

    // Direct-entry display and the payment form.
    auto* panel = new QFrame(this);
    panel->setFrameShape(QFrame::StyledPanel);
    m_display = new QLabel(panel);
    m_display->setObjectName(u"PrimyDisplay"_s);
    QFont big = font();
    big.setPointSize(big.pointSize() * 2);
    big.setBold(true);
    m_display->setFont(big);
    m_display->setMinimumWidth(300);
    m_fuh = new TDBEditVarno(panel);
    m_fuh->setObjectName(u"FormaUhradyEdit"_s);
    m_fuh->SetDataSource(m_header);
    m_fuh->SetDataField(u"HLA_FUH"_s);
    m_fuh->SetEnterIsTab(true);
    m_fuh->SetWhenValid(TWhenValid::Always);
    m_fuh->SetButtonVisible(true);
    m_fuh->setFixedWidth(50);
    m_fuh->OnValid = std::bind_front(&TDokladUctenka::DBEditVarnoFuhValid, this);
    m_fuh->OnClickButton = std::bind_front(&TDokladUctenka::DBEditVarnoFuhClickButton, this);
    m_fuhNazev = new QLabel(panel);
    m_fuhNazev->setObjectName(u"FUH_NAC"_s);
    m_fuhNazev->setMinimumWidth(160);
    auto* panelLayout = new QHBoxLayout(panel);
    panelLayout->addWidget(m_display, 1);
    panelLayout->addWidget(new QLabel(u"Forma úhrady"_s, panel));
    panelLayout->addWidget(m_fuh);
    panelLayout->addWidget(m_fuhNazev);

    // Buttons and the navigator over the lines.
    m_nova = ToolButton(u"F2 Nová"_s, &TDokladUctenka::NovaClick);
    m_oprava = ToolButton(u"F4 Oprava"_s, &TDokladUctenka::OpravaClick);
    m_navigator = new TDBNavigator(this);
    m_navigator->SetDataSet(m_data.DokladObsah.get());
    m_tisk = ToolButton(u"F8 Tisk"_s, &TDokladUctenka::TiskClick);
    m_ukonceni = new QPushButton(u"Ukončení"_s, this);
    connect(m_ukonceni, &QPushButton::clicked, this, &TDokladUctenka::UkonceniClick);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_nova);
    buttons->addWidget(m_oprava);
    buttons->addSpacing(12);
    buttons->addWidget(m_navigator);
    buttons->addSpacing(12);
    buttons->addWidget(m_tisk);
    buttons->addStretch();
    buttons->addWidget(m_ukonceni);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_grid, 1);
    layout->addLayout(totals);
    layout->addWidget(panel);
    layout->addLayout(buttons);
    setFixedSize(kWidth, kHeight);

    setTabOrder(m_grid, m_fuh);
    setTabOrder(m_fuh, m_ukonceni);

    // A receipt taken in by a till closure can be looked at, not changed.
    if (ucel == TUctenkaUcel::Oprava && m_engine.ReceiptClosed()) {
        m_nova->setEnabled(false);
        m_oprava->setEnabled(false);
    }

    for (auto signal :
         {&TDataSet::AfterPost, &TDataSet::AfterScroll, &TDataSet::AfterCancel, &TDataSet::StateChanged})
        connect(m_data.ffUctenky.get(), signal, this, &TDokladUctenka::UpdateHeader);
    connect(m_data.ffUctenky.get(), &TDataSet::FieldChanged, this, &TDokladUctenka::UpdateHeader);
    UpdateHeader();
    ShowFormName();
    m_grid->setFocus();
}

TDokladUctenka::~TDokladUctenka() = default;

std::function<void(TData&, QWidget*)>& TDokladUctenka::TiskUctenky()
{
    static std::function<void(TData&, QWidget*)> print;
    return print;
}

QPushButton* TDokladUctenka::ToolButton(const QString& caption, void (TDokladUctenka::*slot)())
{
    auto* b = new QPushButton(caption, this);
    b->setFocusPolicy(Qt::NoFocus);
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, this, slot);
    return b;
}

void TDokladUctenka::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_grid->setFocus();
}

void TDokladUctenka::UpdateHeader()
{
    TTable& uce = *m_data.ffUctenky;
    const bool shown = uce.Active() && uce.State() != TDataSetState::Inactive;
    m_cislo->setText(shown ? uce.FieldByName(u"HLA_DO1"_s).AsString() : QString());
    m_celkem->setText(shown ? uce.FieldByName(u"HLA_CUH"_s).DisplayText() : QString());
}

void TDokladUctenka::Done()
{
    m_grid->setFocus();
}

void TDokladUctenka::CloseWithResult()
{
    done(m_engine.UctenkaZalozena() ? QDialog::Accepted : QDialog::Rejected);
}

void TDokladUctenka::UkonceniClick()
{
    CloseWithResult();
}

void TDokladUctenka::PlaceDialog(QDialog& dialog) const
{
    dialog.move(m_data.AnchorLeft + 250, m_data.AnchorTop + 45);
}

bool TDokladUctenka::FormKeyDown(QKeyEvent* event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    switch (key) {
    case Qt::Key_Escape:
        if (mods != Qt::NoModifier)
            return false;
        UkonceniClick();
        return true;
    case Qt::Key_F2:
        NovaClick();
        return true;
    case Qt::Key_F4:
        // Alt+F4 alone belongs to the window frame.
        if (mods == Qt::AltModifier)
            return false;
        OpravaClick();
        return true;
    case Qt::Key_F8:
        TiskClick();
        return true;
    case Qt::Key_F11:
    case Qt::Key_F12:
        OtevriSuplik();
        return true;
    case Qt::Key_Asterisk:
        if (!(event->modifiers() & Qt::KeypadModifier))
            return false;
        MultiplyKey();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        // The payment form field moves on, and a focused button presses itself.
        QWidget* focus = QApplication::focusWidget();
        if (focus == m_fuh || qobject_cast<QPushButton*>(focus))
            return false;
        return EnterKey();
    }
    default:
        break;
    }
    if (key >= Qt::Key_0 && key <= Qt::Key_9 && !(mods & (Qt::ControlModifier | Qt::AltModifier))) {
        // The digit also goes on to the focused control (the payment form field takes it as well).
        AppendDigit(QChar(u'0' + (key - Qt::Key_0)));
        return false;
    }
    return false;
}

// ---------------------------------------------------------------------------------------------------
// Direct entry

void TDokladUctenka::AppendDigit(QChar digit)
{
    m_direct.Digit(digit);
    m_display->setText(m_direct.Display());
}

void TDokladUctenka::MultiplyKey()
{
    m_direct.Multiply();
    m_display->setText(m_direct.Display());
}

bool TDokladUctenka::EnterKey()
{
    if (m_direct.Enter()) {
        DoDirectProdej();
        return true;
    }
    if (QApplication::focusWidget() == m_grid) {
        m_fuh->setFocus(Qt::TabFocusReason);
        return true;
    }
    return false;
}

void TDokladUctenka::DoDirectProdej()
{
    // The engine tells the operator what it refused; the buffer starts again whatever came of it.
    m_engine.DirectSale(m_direct.Code(), m_direct.PrimeMnozstvi);
    m_direct.Reset();
    m_display->clear();
    Done();
}

// ---------------------------------------------------------------------------------------------------
// Buttons

void TDokladUctenka::NovaClick()
{
    if (!m_engine.BeginNewLine()) {
        Done();
        return;
    }
    try {
        TUctenkaPolNewEdit dialog(m_data, *m_data.DokladObsah, this);
        PlaceDialog(dialog);
        dialog.PuvodniMnozstvi = 0;
        if (dialog.exec() == QDialog::Accepted)
            m_engine.FinishNewLine(dialog.ZakladniCena);
        else
            m_engine.CancelNewLine();
    } catch (...) {
        // An error inside the dialog (a card look-up): the line is not kept half-written.
        m_engine.CancelNewLine();
        ShowError(kFaultMessage);
    }
    Done();
}

void TDokladUctenka::OpravaClick()
{
    Receipts::TCorrectionDialog start;
    switch (m_engine.BeginCorrection(start)) {
    case Receipts::TCorrectionStart::EmptyReceipt:
        m_fuh->setFocus(Qt::OtherFocusReason);
        return;
    case Receipts::TCorrectionStart::Refused:
        Done();
        return;
    case Receipts::TCorrectionStart::Ready:
        break;
    }
    try {
        TUctenkaPolEdit dialog(m_data, *m_data.DokladObsah, this);
        PlaceDialog(dialog);
        dialog.KartaEdit()->setEnabled(false);
        dialog.VariantEdit()->setEnabled(false);
        dialog.PuvodniMnozstvi = start.puvodniMnozstvi;
        dialog.SetStockDisplay(start.stockDisplay);
        if (dialog.exec() == QDialog::Accepted)
            m_engine.FinishCorrection();
        else
            m_engine.CancelCorrection();
    } catch (...) {
        m_engine.CancelCorrection();
        ShowError(kFaultMessage);
    }
    Done();
}

void TDokladUctenka::TiskClick()
{
    if (const auto& print = TiskUctenky()) {
        try {
            print(m_data, this);
        } catch (const EDatabaseError& e) {
            ShowError(e.Message());
        }
    }
    CloseWithResult();
}

void TDokladUctenka::OtevriSuplik()
{
    TDataSestavy* printing = TDataSestavy::Instance();
    if (!printing)
        return;
    QString error;
    printing->OpenDrawer(m_data.ParagonovaTiskarna, &error);
    if (!error.isEmpty())
        ShowError(error);
}

// ---------------------------------------------------------------------------------------------------
// Payment form

void TDokladUctenka::ShowFormName()
{
    TTable& uce = *m_data.ffUctenky;
    if (!uce.Active())
        return;
    const QString code = uce.FieldByName(u"HLA_FUH"_s).AsString().trimmed();
    TTable& fuh = *m_data.ffFormaUhrady;
    const bool wasOpen = fuh.Active();
    try {
        if (!wasOpen)
            fuh.Open();
        m_fuhNazev->setText(!code.isEmpty() && fuh.Locate(u"FUH_FUH"_s, {code})
                                ? fuh.FieldByName(u"FUH_NAC"_s).AsString()
                                : QString());
    } catch (const EDatabaseError&) {
        m_fuhNazev->clear();
    }
    if (!wasOpen)
        fuh.Close();
}

bool TDokladUctenka::ChooseForm(const QString& code, bool alwaysPick, QString* chosen, QString* name)
{
    TTable& fuh = *m_data.ffFormaUhrady;
    const bool wasOpen = fuh.Active();
    bool ok = false;
    try {
        if (!wasOpen)
            fuh.Open();
        fuh.SetFilter(u"FUH_UCT = '1'"_s);
        fuh.SetFiltered(true);
        // A code longer than the field is no payment form (it must not match its first character).
        ok = !alwaysPick && !code.isEmpty() && code.size() <= 1 && fuh.Locate(u"FUH_FUH"_s, {code});
        if (!ok) {
            fuh.First();
            TUctenkyFormaUhrady picker(fuh, this);
            picker.move(x() + 300, y() + 220);
            ok = picker.exec() == QDialog::Accepted && fuh.HasRecord();
        }
        if (ok) {
            *chosen = fuh.FieldByName(u"FUH_FUH"_s).AsString();
            *name = fuh.FieldByName(u"FUH_NAC"_s).AsString();
        }
    } catch (...) {
        fuh.SetFiltered(false);
        fuh.SetFilter(QString());
        if (!wasOpen)
            fuh.Close();
        throw;
    }
    fuh.SetFiltered(false);
    fuh.SetFilter(QString());
    if (!wasOpen)
        fuh.Close();
    return ok;
}

void TDokladUctenka::DBEditVarnoFuhValid(QObject*, QString& text, bool& valid)
{
    QString chosen;
    QString name;
    if (!ChooseForm(text.trimmed(), false, &chosen, &name)) {
        valid = false;
        return;
    }
    text = chosen;
    m_fuhNazev->setText(name);
    TTable& uce = *m_data.ffUctenky;
    if (m_header->Edit())
        uce.FieldByName(u"HLA_FUH"_s).SetAsString(chosen);
    if (chosen == u"1"_s && uce.FieldByName(u"HLA_CUH"_s).AsFloat() > 0) {
        TZaplacenoForm change(m_data, this);
        change.exec();
    }
}

void TDokladUctenka::DBEditVarnoFuhClickButton(QObject*)
{
    QString chosen;
    QString name;
    if (!ChooseForm(QString(), true, &chosen, &name))
        return;
    m_fuhNazev->setText(name);
    if (m_header->Edit())
        m_data.ffUctenky->FieldByName(u"HLA_FUH"_s).SetAsString(chosen);
    m_fuh->setText(chosen);
}
