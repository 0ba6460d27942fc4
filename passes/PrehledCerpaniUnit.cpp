#include "PrehledCerpaniUnit.h"

#include "CerPolEditUnit.h"
#include "DBGrid.h"
#include "DataSestavyUnit.h"
#include "DataUnit.h"
#include "MemTable.h"
#include "Messages.h"
#include "PassAccount.h"
#include "PassStatement.h"
#include "TableGuards.h"

#include <QApplication>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr int kWidth = 860;
constexpr int kHeight = 440;

// The bottom panel: caption and field of the pass, the amounts on the right.
struct TPanelField {
    const char16_t* caption;
    const char16_t* field;
};
const TPanelField kPanel[6] = {{u"Číslo účtu", u"LEG_KOD"},     {u"Vlastník", u"LEG_JME"},
                               {u"Platná do data", u"LEG_DOD"}, {u"Celk.předlplaceno", u"LEG_POC"},
                               {u"Čerpání", u"LEG_CER"},        {u"Zůstatek", u"LEG_ZUS"}};

void Report(TPassBooking result)
{
    const QString text = PassAccount::RefusalText(result);
    if (!text.isEmpty())
        ShowError(text);
}

// Shows the busy cursor while the printer is being talked to.
class TBusyCursor {
public:
    TBusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TBusyCursor() { QApplication::restoreOverrideCursor(); }
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;
};

}  // namespace

TPrehledCerpani::TPrehledCerpani(TData& data, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      m_data(data),
      m_entry(std::make_unique<TMemTable>(data.ffLegPol->Def()))
{
    setWindowTitle(u"Přehled obratů na účtu"_s);
    if (m_data.ffLegHla->Active() && m_data.ffLegHla->HasRecord())
        m_passId = m_data.ffLegHla->FieldByName(u"LEG_IDE"_s).AsInteger();
    m_entry->OnCalcFields = [this](TDataSet& d) { m_data.ffLegPolCalcFields(d); };
    m_entry->Open();

    m_navigator = new TDBNavigator(this);
    m_tisk = ToolButton(u"F8 Tisk"_s, &TPrehledCerpani::TiskClick);
    m_oprava = ToolButton(u"F4 Oprava"_s, &TPrehledCerpani::OpravaClick);
    m_vklad = ToolButton(u"F3 Nový vklad"_s, &TPrehledCerpani::NovyVkladClick);
    m_vyber = ToolButton(u"F2 Nový výběr"_s, &TPrehledCerpani::NovyVyberClick);
    auto* top = new QHBoxLayout;
    top->addWidget(m_navigator);
    top->addSpacing(12);
    for (QPushButton* b : {m_tisk, m_oprava, m_vklad, m_vyber})
        top->addWidget(b);
    top->addStretch();

    m_grid = new TDBGrid(this);
    // Ctrl+Del goes through DeleteMovement, which keeps the account's totals right.
    m_grid->SetReadOnly(true);
    m_grid->SetDataSet(m_data.ffLegPol.get(), {{u"LEP_DAT"_s, 74},
                                               {u"LEP_NAC"_s, 170},
                                               {u"LEP_PC1"_s, 70},
                                               {u"LEP_KUS"_s, 62, u"Počet mj."_s},
                                               {u"LEP_MJE"_s, 30},
                                               {u"LEP_VKL"_s, 76},
                                               {u"LEP_CER"_s, 76},
                                               {u"LEP_ZUS"_s, 80},
                                               {u"LEP_KAV"_s, 58},
                                               {u"LEP_DAN"_s, 40},
                                               {u"LEP_PCC"_s, 80}});
    m_navigator->SetDataSet(m_data.ffLegPol.get());

    auto* panel = new QFrame(this);
    panel->setFrameShape(QFrame::StyledPanel);
    auto* grid = new QGridLayout(panel);
    for (int i = 0; i < 6; ++i) {
        const bool amount = i >= 3;
        auto* caption = new QLabel(QString::fromUtf16(kPanel[i].caption), panel);
        m_panel[i] = new QLabel(panel);
        m_panel[i]->setObjectName(QString::fromUtf16(kPanel[i].field));
        m_panel[i]->setFrameShape(QFrame::Panel);
        m_panel[i]->setFrameShadow(QFrame::Sunken);
        m_panel[i]->setMinimumWidth(amount ? 100 : 90);
        if (amount) {
            caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            m_panel[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        }
        const int row = i % 3;
        const int column = amount ? 3 : 0;
        grid->addWidget(caption, row, column);
        grid->addWidget(m_panel[i], row, column + 1);
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnMinimumWidth(2, 24);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_grid, 1);
    layout->addWidget(panel);
    resize(kWidth, kHeight);

    for (auto signal : {&TDataSet::AfterScroll, &TDataSet::AfterPost, &TDataSet::AfterCancel})
        connect(m_data.ffLegHla.get(), signal, this, &TPrehledCerpani::UpdatePanel);
    UpdatePanel();
    m_grid->setFocus();
}

TPrehledCerpani::~TPrehledCerpani() = default;

QPushButton* TPrehledCerpani::ToolButton(const QString& caption, void (TPrehledCerpani::*slot)())
{
    auto* b = new QPushButton(caption, this);
    b->setFocusPolicy(Qt::NoFocus);
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, this, slot);
    return b;
}

void TPrehledCerpani::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_grid->setFocus();
}

bool TPrehledCerpani::FormKeyDown(QKeyEvent* event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (event->key() == Qt::Key_Delete && mods == Qt::ControlModifier) {
        DeleteMovement();
        return true;
    }
    if (mods != Qt::NoModifier)
        return false;
    switch (event->key()) {
    case Qt::Key_F2:
        NovyVyberClick();
        return true;
    case Qt::Key_F3:
        NovyVkladClick();
        return true;
    case Qt::Key_F4:
        OpravaClick();
        return true;
    case Qt::Key_F8:
        TiskClick();
        return true;
    case Qt::Key_Escape:
        reject();
        return true;
    default:
        return false;
    }
}

bool TPrehledCerpani::HasPass() const
{
    TTable& leg = *m_data.ffLegHla;
    return m_passId != 0 && leg.Active() && leg.HasRecord() && leg.State() == TDataSetState::Browse &&
           leg.FieldByName(u"LEG_IDE"_s).AsInteger() == m_passId;
}

bool TPrehledCerpani::RefreshPass()
{
    m_data.ffLegHla->Refresh();
    if (HasPass())
        return true;
    Report(TPassBooking::NoPass);
    return false;
}

bool TPrehledCerpani::HasMovement() const
{
    const TTable& lep = *m_data.ffLegPol;
    return lep.Active() && lep.HasRecord() && lep.State() == TDataSetState::Browse;
}

void TPrehledCerpani::UpdatePanel()
{
    TTable& leg = *m_data.ffLegHla;
    const bool shown = leg.Active() && leg.HasRecord();
    for (int i = 0; i < 6; ++i)
        m_panel[i]->setText(shown ? leg.FieldByName(QString::fromUtf16(kPanel[i].field)).DisplayText()
                                  : QString());
}

void TPrehledCerpani::Done()
{
    m_grid->setFocus();
}

void TPrehledCerpani::StartEntry()
{
    m_entry->Cancel();
    m_entry->EmptyTable();
    m_entry->Append();
}

bool TPrehledCerpani::RunDialog(bool deposit, bool correction, double previousAmount)
{
    auto dialog = std::make_unique<TCerPolEdit>(m_data, *m_entry, this);
    dialog->move(x() + 80, y() + 60);
    if (deposit)
        dialog->SetDeposit();
    if (correction)
        dialog->SetCorrection(previousAmount);
    return dialog->exec() == QDialog::Accepted;
}

void TPrehledCerpani::NewMovement(double koe)
{
    if (m_passId == 0) {
        Done();
        return;
    }
    const TCloseIfOpened sortiment(*m_data.ffSortiment);  // closed again if this opens it
    try {
        // The stored balance for the dialog's check, as other tills may have booked meanwhile.
        if (!RefreshPass()) {
            Done();
            return;
        }
        m_data.OpenffSor(QString());
        StartEntry();
        m_entry->FieldByName(u"LEP_IDM"_s).SetAsInteger(m_passId);
        m_entry->FieldByName(u"LEP_DAT"_s).SetAsDateTime(QDate::currentDate().startOfDay());
        m_entry->FieldByName(u"LEP_KOE"_s).SetAsFloat(koe);
        if (RunDialog(koe > 0, false, 0)) {
            TPassEntry entry;
            entry.kav = m_entry->FieldByName(u"LEP_KAV"_s).AsString();
            entry.nac = m_entry->FieldByName(u"LEP_NAC"_s).AsString();
            entry.pc1 = m_entry->FieldByName(u"LEP_PC1"_s).AsFloat();
            entry.dan = m_entry->FieldByName(u"LEP_DAN"_s).AsFloat();
            entry.kus = m_entry->FieldByName(u"LEP_KUS"_s).AsFloat();
            Report(PassAccount::NewMovement(m_data, m_passId, koe, entry, QDate::currentDate()));
        }
    } catch (const EDatabaseError& e) {
        ShowError(e.Message());
    }
    m_entry->Cancel();
    Done();
}

void TPrehledCerpani::NovyVyberClick()
{
    NewMovement(-1.0);
}

void TPrehledCerpani::NovyVkladClick()
{
    NewMovement(1.0);
}

void TPrehledCerpani::OpravaClick()
{
    if (m_passId == 0 || !HasMovement()) {
        Done();
        return;
    }
    TTable& lep = *m_data.ffLegPol;
    const TCloseIfOpened sortiment(*m_data.ffSortiment);  // closed again if this opens it
    try {
        lep.Refresh();
        if (RefreshPass() && HasMovement()) {
            const qint64 id = lep.FieldByName(u"LEP_IDE"_s).AsInteger();
            m_data.OpenffSor(QString());
            StartEntry();
            // The movement as booked: card, copied price and name stay; the dialog changes the units.
            for (int i = 0; i < lep.FieldCount(); ++i) {
                const TFieldDef& f = lep.Def().fields[i];
                if (!f.calculated && f.type != TFieldType::AutoInc)
                    m_entry->SetFieldValue(i, lep.GetFieldValue(i));
            }
            m_entry->FieldByName(u"LEP_IDM"_s).SetAsInteger(m_passId);
            m_entry->FieldByName(u"LEP_DAT"_s).SetAsDateTime(QDate::currentDate().startOfDay());
            const double previous = lep.FieldByName(u"LEP_PCC"_s).AsFloat();
            if (RunDialog(false, true, previous))
                Report(PassAccount::Correct(m_data, m_passId, id,
                                            m_entry->FieldByName(u"LEP_KUS"_s).AsFloat(),
                                            QDate::currentDate()));
        }
    } catch (const EDatabaseError& e) {
        ShowError(e.Message());
    }
    m_entry->Cancel();
    Done();
}

void TPrehledCerpani::DeleteMovement()
{
    if (m_passId == 0 || !HasMovement()) {
        Done();
        return;
    }
    const qint64 id = m_data.ffLegPol->FieldByName(u"LEP_IDE"_s).AsInteger();
    try {
        if (RefreshPass() && Confirm(u"Delete record?"_s))
            Report(PassAccount::Delete(m_data, m_passId, id));
    } catch (const EDatabaseError& e) {
        ShowError(e.Message());
    }
    Done();
}

void TPrehledCerpani::TiskClick()
{
    TDataSestavy* printing = TDataSestavy::Instance();
    // A pass without movements has no day to print.
    if (!printing || m_passId == 0 || !HasMovement()) {
        Done();
        return;
    }
    const QDateTime day = m_data.ffLegPol->FieldByName(u"LEP_DAT"_s).AsDateTime();
    QString error;
    try {
        TBusyCursor busy;
        if (RefreshPass())
            PassStatement::Print(m_data, *printing, day, &error);
    } catch (const EDatabaseError& e) {
        error = e.Message();
    }
    // The printer itself reports nothing; a printer position missing from the list does.
    if (!error.isEmpty())
        ShowError(error);
    Done();
}
