#include "HlavniUnit.h"

#include "DBGrid.h"
#include "DataUnit.h"
#include "LegHlaEditUnit.h"
#include "LegHleUnit.h"
#include "Messages.h"
#include "PrehledCerpaniUnit.h"
#include "PrehledUctenekUnit.h"
#include "ScopeExit.h"
#include "TextRoutines.h"

#include <QCloseEvent>
#include <QDate>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QScreen>
#include <QToolBar>

using namespace Qt::StringLiterals;

namespace {

constexpr int kClientWidth = 629;
constexpr int kClientHeight = 434;

// Removes trailing characters with a code of 32 or less; leading ones stay.
}  // namespace

THlavni::THlavni(TData& dataModule, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_data(dataModule)
{
    setWindowTitle(u"Přehled legitimací Velmira 1.04"_s);

    QMenu* prehledy = menuBar()->addMenu(u"Přehledy"_s);
    m_receiptsAction = prehledy->addAction(u"Přehled účtenek"_s);
    connect(m_receiptsAction, &QAction::triggered, this, &THlavni::PrehledUctenekClick);
    m_endAction = menuBar()->addAction(u"Konec"_s);
    connect(m_endAction, &QAction::triggered, this, &QWidget::close);

    auto* toolBar = new QToolBar(this);
    toolBar->setMovable(false);
    toolBar->setFloatable(false);
    toolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::TopToolBarArea, toolBar);
    m_navigator = new TDBNavigator(toolBar);
    toolBar->addWidget(m_navigator);
    toolBar->addSeparator();
    m_searchButton = ToolButton(u"F5 Hledej"_s, &THlavni::HledejClick);
    m_accountButton = ToolButton(u"F10 Obrat"_s, &THlavni::ObratClick);
    m_editButton = ToolButton(u"F4 Oprava"_s, &THlavni::OpravaClick);
    m_newButton = ToolButton(u"F2 nový"_s, &THlavni::NovaClick);
    for (QPushButton* b : {m_searchButton, m_accountButton, m_editButton, m_newButton})
        toolBar->addWidget(b);

    m_grid = new TDBGrid(this);
    setCentralWidget(m_grid);
    m_statusBar = new TStatusBar(this);
    setStatusBar(m_statusBar);

    // The client area is fixed; the menu bar comes on top of it.
    setFixedSize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.left() + std::max(0, (area.width() - width()) / 2),
             area.top() + std::max(0, (area.height() - height()) / 2));
    }

    // The list is shown even when the table cannot be opened; the error has been shown.
    try {
        m_data.ffLegHla->Open();
    } catch (const EDatabaseError& e) {
        ShowError(e.Message());
    }
    m_grid->SetDataSet(m_data.ffLegHla.get(), {{u"LEG_KOD"_s},
                                               {u"LEG_ODD"_s, 74},
                                               {u"LEG_DOD"_s, 77},
                                               {u"LEG_JME"_s},
                                               {u"LEG_POC"_s},
                                               {u"LEG_CER"_s},
                                               {u"LEG_ZUS"_s}});
    m_navigator->SetDataSet(m_data.ffLegHla.get());
    m_data.AnchorTop = y();
    m_data.AnchorLeft = x();
    m_grid->setFocus();
}

THlavni::~THlavni() = default;

QPushButton* THlavni::ToolButton(const QString& caption, void (THlavni::*slot)())
{
    auto* b = new QPushButton(caption, this);
    b->setFocusPolicy(Qt::NoFocus);
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, this, slot);
    return b;
}

void THlavni::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    m_grid->setFocus();
}

void THlavni::closeEvent(QCloseEvent* event)
{
    m_data.ffLegHla->Close();
    QMainWindow::closeEvent(event);
}

bool THlavni::FormKeyDown(QKeyEvent* event)
{
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
        return false;
    switch (event->key()) {
    case Qt::Key_F2:
        NovaClick();
        return true;
    case Qt::Key_F4:
        OpravaClick();
        return true;
    case Qt::Key_F5:
        HledejClick();
        return true;
    case Qt::Key_F10:
        ObratClick();
        return true;
    default:
        return false;
    }
}

void THlavni::EditPass()
{
    TTable& leg = *m_data.ffLegHla;
    auto dialog = std::make_unique<TLegHlaEdit>(leg, this);
    dialog->move(x() + 100, y() + 40);
    // A refused post keeps the record in edit and shows the dialog again, so that the operator
    // can correct the values or give up with Storno.
    for (;;) {
        if (dialog->exec() != QDialog::Accepted) {
            leg.Cancel();
            break;
        }
        try {
            leg.Post();
            break;
        } catch (const EDatabaseError& e) {
            ShowError(e.Message());
        }
    }
}

void THlavni::NovaClick()
{
    TTable& leg = *m_data.ffLegHla;
    leg.Append();
    const QDate today = m_data.Now().date();
    leg.FieldByName(u"LEG_ODD"_s).SetAsDateTime(today.startOfDay());
    leg.FieldByName(u"LEG_CER"_s).SetAsFloat(0);
    leg.FieldByName(u"LEG_POC"_s).SetAsFloat(0);
    leg.FieldByName(u"LEG_DOD"_s).SetAsDateTime(QDate(today.year(), 12, 31).startOfDay());
    EditPass();
    m_grid->setFocus();
}

void THlavni::OpravaClick()
{
    m_data.ffLegHla->Edit();
    EditPass();
    m_grid->setFocus();
}

void THlavni::HledejClick()
{
    TTable& leg = *m_data.ffLegHla;
    auto dialog = std::make_unique<TLegHle>(this);
    dialog->move(x() + (width() - dialog->width()) / 2, y() + (height() - dialog->height()) / 2);
    if (dialog->exec() == QDialog::Accepted) {
        if (dialog->ByHolder()) {
            leg.SetIndexName(u"JME"_s);
            leg.FindNearest({Trim(dialog->SearchText())});
        } else {
            leg.SetIndexName(u"KOD"_s);
            leg.FindNearest({TrimRight(dialog->SearchText())});
        }
    }
    dialog.reset();
    m_grid->setFocus();
}

void THlavni::ObratClick()
{
    TTable& leg = *m_data.ffLegHla;
    const int ide = leg.Active() && leg.HasRecord() ? leg.FieldByName(u"LEG_IDE"_s).AsInteger() : 0;
    TTable& movements = *m_data.ffLegPol;
    movements.SetIndexName(u"KOD"_s);
    movements.Open();
    {
        TScopeExit close([&movements] { movements.Close(); });
        movements.SetRange({ide, 0}, {ide, 10000000});
        movements.First();
        auto account = std::make_unique<TPrehledCerpani>(m_data, this);
        account->move(x() + 30, y() + 30);
        account->exec();
    }
    m_grid->setFocus();
}

void THlavni::PrehledUctenekClick()
{
    auto overview = std::make_unique<TPrehledUctenek>(m_data, this);
    overview->move(x() + 50, y() + 20);
    overview->exec();
    overview.reset();
    m_grid->setFocus();
}
