#include "PrehledSortimentuUnit.h"

#include "DBGrid.h"
#include "DataUnit.h"
#include "SorHleUnit.h"

#include <QKeyEvent>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TPrehledSortimentu::TPrehledSortimentu(TData& data, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      m_data(data)
{
    setWindowTitle(u"Přehled položek sortimentu"_s);
    TTable& sor = *m_data.ffSortiment;
    // The opener normally has the table open; a window opened on its own opens it for its lifetime.
    m_tableGuard.emplace(sor, TCloseIfOpened::OpenNow);

    auto* toolBar = new QToolBar(this);
    toolBar->setMovable(false);
    toolBar->setFloatable(false);
    toolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    m_navigator = new TDBNavigator(toolBar);
    toolBar->addWidget(m_navigator);
    toolBar->addSeparator();
    m_hledej = new QPushButton(u"F5 Hledej"_s, toolBar);
    m_hledej->setFocusPolicy(Qt::NoFocus);
    m_hledej->setAutoDefault(false);
    toolBar->addWidget(m_hledej);
    connect(m_hledej, &QPushButton::clicked, this, &TPrehledSortimentu::HledejClick);

    m_grid = new TDBGrid(this);
    m_grid->setObjectName(u"DBGrid1"_s);
    m_grid->SetReadOnly(true);
    // Headings are the fields' captions.
    QList<TGridColumn> columns;
    for (const char16_t* field : {u"SOR_KAV", u"SOR_NAC", u"SOR_PC2", u"SOR_STA", u"SOR_DAN", u"SOR_DIS",
                                  u"SOR_SKL", u"SOR_OLD", u"SOR_SKU"})
        columns.append(TGridColumn{QString::fromUtf16(field), -1, QString()});
    // Card numbers are six digits, wider than six average characters.
    columns[0].width = m_grid->fontMetrics().horizontalAdvance(u"0000000"_s) + 8;
    m_grid->SetDataSet(&sor, columns);
    connect(m_grid, &QAbstractItemView::doubleClicked, this, &TPrehledSortimentu::DBGrid1DblClick);
    m_navigator->SetDataSet(&sor);

    m_statusBar = new QStatusBar(this);
    m_statusBar->setSizeGripEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolBar);
    layout->addWidget(m_grid, 1);
    layout->addWidget(m_statusBar);
    resize(464, 223);
}

TPrehledSortimentu::~TPrehledSortimentu() = default;

void TPrehledSortimentu::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_activated) {
        m_activated = true;
        FormActivate();
    }
    m_grid->setFocus(Qt::OtherFocusReason);
}

void TPrehledSortimentu::FormActivate()
{
    // Back on the card picked or viewed last, in the order that was in force then. Done once per
    // opening: coming back from the search dialog must keep what the search found.
    TTable& sor = *m_data.ffSortiment;
    if (sor.Active() && !sor.IsEmpty())
        m_data.GetLastSor();
    m_grid->Reload();
}

bool TPrehledSortimentu::FormKeyDown(QKeyEvent* event)
{
    // Every key remembers the card under the cursor first, so that the next opening comes back here.
    m_data.SetLastSor();
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
        return false;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        accept();
        return true;
    case Qt::Key_Escape:
        reject();
        return true;
    case Qt::Key_F5:
        HledejClick();
        return true;
    default:
        return false;
    }
}

void TPrehledSortimentu::DBGrid1DblClick()
{
    m_data.SetLastSor();
    accept();
}

void TPrehledSortimentu::done(int result)
{
    // Whatever the result, the next opening starts on the card shown now (nothing past the end).
    m_data.SetLastSor();
    QDialog::done(result);
}

void TPrehledSortimentu::HledejClick()
{
    {
        TSorHle dialog(*m_data.ffSortiment, this);
        dialog.move(x() + (width() - dialog.width()) / 2, y() + (height() - dialog.height()) / 2);
        dialog.exec();
    }
    // The search may have changed the order without moving the cursor (a refused price).
    m_grid->Reload();
    // Not every platform gives the activation back to the list when the dialog closes.
    activateWindow();
    m_grid->setFocus(Qt::OtherFocusReason);
}
