#include "PrehledUctenekUnit.h"

#include "DBGrid.h"
#include "DataUnit.h"
#include "DbError.h"
#include "DokladUctenkaUnit.h"
#include "MemTable.h"
#include "ReceiptLog.h"
#include "ReceiptPrinting.h"
#include "UctenHleUnit.h"
#include "myPrinters.h"

#include <QDate>
#include <QKeyEvent>
#include <QMenuBar>
#include <QToolBar>
#include <QVBoxLayout>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr int kWidth = 327;
constexpr int kHeightIndex = 13;  // "UceHeight" in Tolmek.ini
const QString kOpenTill = u"0000000000"_s;

// The receipt window of the program, opened for a new or a stored receipt. This is the one place
// where the overview reaches the receipt window.
int RunDokladUctenka(TPrehledUctenek& owner, const TPrehledUctenek::TReceiptWindowRequest& request)
{
    auto window = std::make_unique<TDokladUctenka>(
        owner.Data(), request.newReceipt ? TUctenkaUcel::Nova : TUctenkaUcel::Oprava, &owner);
    window->move(request.position);
    // A receipt in a till closure takes no new or corrected lines (the window refuses the keys too).
    if (request.closedTill) {
        window->NovaButton()->setEnabled(false);
        window->OpravaButton()->setEnabled(false);
    }
    return window->exec();
}

// F8 of the receipt window prints the receipt it holds. A receipt printer position that is not in
// the printer list stops the printout before anything is sent; the error leaves the receipt window
// open and the application shows the list's message.
void InstallReceiptPrinting()
{
    TDokladUctenka::TiskUctenky() = [](TData& data, QWidget* window) {
        QString error;
        if (!ReceiptPrinting::PrintReceipt(data, window, &error))
            throw EPrinter(error);
    };
}

}  // namespace

TPrehledUctenek::TReceiptWindow& TPrehledUctenek::ReceiptWindow()
{
    static TReceiptWindow window;
    return window;
}

int TPrehledUctenek::OpenReceiptWindow(const TReceiptWindowRequest& request)
{
    if (const TReceiptWindow& window = ReceiptWindow())
        return window(*this, request);
    return RunDokladUctenka(*this, request);
}

TPrehledUctenek::TPrehledUctenek(TData& dataModule, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_data(dataModule)
{
    setWindowTitle(u"Přehled účtenek  "_s);
    InstallReceiptPrinting();

    m_menu = new QMenuBar(this);
    QMenu* doklad = m_menu->addMenu(u"Doklad"_s);
    m_novyAction = MenuAction(doklad, u"Nový doklad"_s, u"F2"_s, &TPrehledUctenek::NovyClick);
    m_opravaAction = MenuAction(doklad, u"Oprava dokladu"_s, u"F4"_s, &TPrehledUctenek::OpravaClick);
    m_tiskAction = MenuAction(doklad, u"Tisk dokladu"_s, u"F8"_s, &TPrehledUctenek::TiskClick);
    m_suplikAction = MenuAction(doklad, u"Otevři šuplík"_s, u"F11"_s, &TPrehledUctenek::SuplikClick);
    m_hledejAction = m_menu->addAction(u"Hledej"_s);
    connect(m_hledejAction, &QAction::triggered, this, &TPrehledUctenek::HledejClick);

    auto* toolBar = new QToolBar(this);
    toolBar->setMovable(false);
    toolBar->setFloatable(false);
    toolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    m_navigator = new TDBNavigator(toolBar);
    toolBar->addWidget(m_navigator);
    toolBar->addSeparator();
    m_oprava = ToolButton(u"F4 Oprava"_s, &TPrehledUctenek::OpravaClick);
    m_novy = ToolButton(u"F2 Nový"_s, &TPrehledUctenek::NovyClick);
    toolBar->addWidget(m_oprava);
    toolBar->addWidget(m_novy);

    m_grid = new TDBGrid(this);
    m_grid->setObjectName(u"UctenkyGrid"_s);
    m_grid->SetReadOnly(true);
    m_statusBar = new TStatusBar(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(m_menu);
    layout->addWidget(toolBar);
    layout->addWidget(m_grid, 1);
    layout->addWidget(m_statusBar);

    FormCreate();
}

TPrehledUctenek::~TPrehledUctenek() = default;

QPushButton* TPrehledUctenek::ToolButton(const QString& caption, void (TPrehledUctenek::*slot)())
{
    auto* b = new QPushButton(caption, this);
    b->setFocusPolicy(Qt::NoFocus);
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, this, slot);
    return b;
}

QAction* TPrehledUctenek::MenuAction(QMenu* menu, const QString& caption, const QString& key,
                                     void (TPrehledUctenek::*slot)())
{
    // The key is only shown: the window's own key handling runs the action wherever the focus is.
    QAction* action = menu->addAction(caption + u'\t' + key);
    connect(action, &QAction::triggered, this, slot);
    return action;
}

void TPrehledUctenek::FormCreate()
{
    resize(kWidth, m_data.GetIniWinHigh(kHeightIndex));

    // An overview that cannot open or position its table shows an empty grid.
    try {
        if (m_data.OpenffUce(u"DO1"_s))
            m_data.ffUctenky->Last();
    } catch (const EDatabaseError& e) {
        qCWarning(lcReceipts) << "receipts not opened:" << e.Message();
    }

    // The price basis follows the first price list.
    TTable& cen = *m_data.ffCeniky;
    try {
        const bool wasOpen = cen.Active();
        if (!wasOpen)
            cen.Open();
        cen.First();
        if (cen.HasRecord())
            m_data.ZakladniCenySDPH = cen.FieldByName(u"CEN_DPH"_s).AsBoolean() ? 2 : 1;
        if (!wasOpen)
            cen.Close();
    } catch (const EDatabaseError& e) {
        qCWarning(lcReceipts) << "price list not read:" << e.Message();
    }

    m_grid->SetDataSet(
        m_data.ffUctenky.get(),
        {{u"HLA_DAT"_s, 80}, {u"HLA_DO1"_s, 92}, {u"HLA_DO2"_s, 92}, {u"HLA_CUH"_s},     {u"HLA_FHV"_s},
         {u"HLA_Z00"_s},     {u"HLA_Z05"_s},     {u"HLA_Z22"_s},     {u"HLA_D05"_s},     {u"HLA_D22"_s},
         {u"HLA_CEN"_s, 40}, {u"HLA_SLE"_s},     {u"HLA_FUH"_s, 50}, {u"HLA_PCA"_s},     {u"HLA_NCA"_s},
         {u"HLA_DVS"_s, 80}, {u"HLA_DZP"_s, 80}, {u"HLA_EDT"_s, 40}, {u"HLA_PRN"_s, 40}, {u"HLA_PLA"_s, 40},
         {u"HLA_REF"_s, 40}, {u"HLA_TSK"_s, 40}});
    m_navigator->SetDataSet(m_data.ffUctenky.get());
    m_grid->setFocus();
}

bool TPrehledUctenek::event(QEvent* event)
{
    const bool result = QDialog::event(event);
    if (event->type() == QEvent::WindowActivate)
        FormActivate();
    return result;
}

void TPrehledUctenek::FormActivate()
{
    m_data.AnchorTop = y();
    m_data.AnchorLeft = x();
}

void TPrehledUctenek::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_grid->setFocus();
}

void TPrehledUctenek::done(int result)
{
    if (!m_closed) {
        m_closed = true;
        try {
            m_data.SeTIniWinHigh(kHeightIndex, height());
        } catch (const std::exception& e) {
            qCWarning(lcReceipts) << "height not remembered:" << e.what();
        }
        m_navigator->SetDataSet(nullptr);
        m_grid->SetDataSet(nullptr);
        m_data.CloseffUce();
    }
    QDialog::done(result);
}

bool TPrehledUctenek::HasReceipt() const
{
    const TTable& uce = *m_data.ffUctenky;
    return uce.Active() && uce.HasRecord() && uce.State() == TDataSetState::Browse;
}

bool TPrehledUctenek::FormKeyDown(QKeyEvent* event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (event->key() == Qt::Key_F4) {
        if (mods == Qt::AltModifier)
            return false;
        OpravaClick();
        return true;
    }
    if (mods != Qt::NoModifier)
        return false;
    switch (event->key()) {
    case Qt::Key_F2:
        NovyClick();
        return true;
    case Qt::Key_F5:
        HledejClick();
        return true;
    case Qt::Key_F8:
        TiskClick();
        return true;
    case Qt::Key_F11:
    case Qt::Key_F12:
        SuplikClick();
        return true;
    case Qt::Key_Escape:
        reject();
        return true;
    default:
        return false;
    }
}

void TPrehledUctenek::NovyClick()
{
    TTable& uce = *m_data.ffUctenky;
    TMemTable& dok = *m_data.DokladObsah;
    // Errors here are the application's general error message; the overview stays open.
    try {
        uce.Append();
        const QDate today = QDate::currentDate();
        uce.FieldByName(u"HLA_DVS"_s).SetAsDate(today);
        uce.FieldByName(u"HLA_DAT"_s).SetAsDateTime(today.startOfDay());
        uce.FieldByName(u"HLA_DZP"_s).SetAsDate(today);
        uce.FieldByName(u"HLA_FUH"_s).SetAsString(u"1"_s);
        dok.Open();
        const int result = OpenReceiptWindow({true, false, pos() + QPoint(35, 40)});
        // The receipt window may have stored the header itself; an uncreated receipt leaves nothing.
        if (uce.State() != TDataSetState::Browse) {
            if (result == QDialog::Accepted)
                uce.Post();
            else
                uce.Cancel();
        }
    } catch (...) {
        if (uce.Active() && uce.State() != TDataSetState::Browse)
            uce.Cancel();
        dok.Close();
        m_grid->setFocus();
        throw;
    }
    dok.Close();
    m_grid->setFocus();
}

void TPrehledUctenek::OpravaClick()
{
    TTable& uce = *m_data.ffUctenky;
    TMemTable& dok = *m_data.DokladObsah;
    if (!HasReceipt()) {
        m_grid->setFocus();
        return;
    }
    // Every failure ends the correction silently: a receipt held by another station does not open.
    try {
        uce.Edit();
        dok.Open();
        dok.EmptyTable();
        m_data.GetDoklad(uce.FieldByName(u"HLA_DO1"_s).AsString(), u"005"_s, QString(), QString(), u"300"_s,
                         6);
        dok.First();
        const bool closedTill = uce.FieldByName(u"HLA_DO2"_s).AsString() != kOpenTill;
        const int result = OpenReceiptWindow({false, closedTill, pos() + QPoint(35, 40)});
        if (uce.State() != TDataSetState::Browse) {
            if (result == QDialog::Accepted)
                uce.Post();
            else
                uce.Cancel();
        }
    } catch (const std::exception& e) {
        qCWarning(lcReceipts) << "correction ended:" << e.what();
        try {
            if (uce.Active() && uce.State() != TDataSetState::Browse)
                uce.Cancel();
        } catch (const std::exception& e2) {
            qCWarning(lcReceipts) << "correction not cancelled:" << e2.what();
        }
    }
    dok.Close();
    m_grid->setFocus();
}

void TPrehledUctenek::TiskClick()
{
    if (HasReceipt())
        ReceiptPrinting::ReprintReceipt(m_data, this);
    m_grid->setFocus();
}

void TPrehledUctenek::SuplikClick()
{
    ReceiptPrinting::OpenDrawer(m_data);
}

void TPrehledUctenek::HledejClick()
{
    TTable& uce = *m_data.ffUctenky;
    if (uce.Active() && uce.State() == TDataSetState::Browse) {
        auto dialog = std::make_unique<TUctenHle>(uce, this);
        dialog->move(x() + (width() - dialog->width()) / 2, y() + (height() - dialog->height()) / 2);
        if (dialog->exec() == QDialog::Accepted)
            m_grid->Reload();  // the rows in the order of the index searched
    }
    m_grid->setFocus();
}
