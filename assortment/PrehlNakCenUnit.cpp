#include "PrehlNakCenUnit.h"

#include "DBGrid.h"
#include "DataUnit.h"
#include "EditaceVariantaUnit.h"
#include "Messages.h"

#include <QApplication>
#include <QKeyEvent>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TPrehlNakCen::TPrehlNakCen(TData& data, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      m_data(data)
{
    setWindowTitle(u"Přehl. nák. cen"_s);
    TTable& skl = *m_data.ffSklad;
    m_tableGuard.emplace(skl, TCloseIfOpened::OpenNow);

    auto* toolBar = new QToolBar(this);
    toolBar->setMovable(false);
    toolBar->setFloatable(false);
    toolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    m_novy = new QPushButton(u"F2 Nový"_s, toolBar);
    m_novy->setFocusPolicy(Qt::NoFocus);
    m_novy->setAutoDefault(false);
    toolBar->addWidget(m_novy);
    connect(m_novy, &QPushButton::clicked, this, &TPrehlNakCen::NovyClick);

    m_grid = new TDBGrid(this);
    m_grid->setObjectName(u"DBGrid1"_s);
    // Headings are the fields' captions.
    QList<TGridColumn> columns;
    for (const char16_t* field :
         {u"SKL_KAV", u"SKL_IND", u"SKL_SNC", u"SKL_STA", u"SKL_MEN", u"SKL_KUR", u"SKL_POZ", u"SKL_POC"})
        columns.append(TGridColumn{QString::fromUtf16(field), -1, QString()});
    // Card numbers are six digits, wider than six average characters.
    columns[0].width = m_grid->fontMetrics().horizontalAdvance(u"0000000"_s) + 8;
    m_grid->SetDataSet(&skl, columns);
    connect(m_grid, &QAbstractItemView::doubleClicked, this, &QDialog::accept);

    m_statusBar = new QStatusBar(this);
    m_statusBar->setSizeGripEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolBar);
    layout->addWidget(m_grid, 1);
    layout->addWidget(m_statusBar);
    setFixedSize(228, 192);
}

TPrehlNakCen::~TPrehlNakCen() = default;

void TPrehlNakCen::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_grid->setFocus(Qt::OtherFocusReason);
}

bool TPrehlNakCen::FormKeyDown(QKeyEvent* event)
{
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
        return false;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (QApplication::focusWidget() != m_grid)
            return false;
        accept();
        return true;
    case Qt::Key_Escape:
        reject();
        return true;
    case Qt::Key_F2:
        NovyClick();
        return true;
    default:
        return false;
    }
}

void TPrehlNakCen::NovyClick()
{
    TTable& skl = *m_data.ffSklad;
    TTable& sor = *m_data.ffSortiment;
    // The variant belongs to the current assortment card; without one it would belong to no card.
    if (!sor.Active() || !sor.HasRecord()) {
        ShowError(u"Není vybrána karta sortimentu."_s);
        m_grid->setFocus(Qt::OtherFocusReason);
        return;
    }
    const QString card = sor.FieldByName(u"SOR_KAV"_s).AsString();
    skl.Append();
    skl.FieldByName(u"SKL_KAV"_s).SetAsString(card);
    skl.FieldByName(u"SKL_POC"_s).SetAsFloat(0);
    skl.FieldByName(u"SKL_MEN"_s).SetAsString(u"CZK"_s);
    skl.FieldByName(u"SKL_KUR"_s).SetAsFloat(1);

    bool ok = false;
    {
        TEditaceVarianta dialog(skl, this);
        dialog.move(x() + 80, y() - 15);
        ok = dialog.exec() == QDialog::Accepted;
    }
    if (ok) {
        try {
            skl.Post();
        } catch (const EDatabaseError& e) {
            // Refused (a variant code the card already has, the store unreachable): nothing is kept
            // and the list is browsed again.
            ShowError(e.Message());
            skl.Cancel();
        }
    } else {
        skl.Cancel();
    }
    // Not every platform gives the activation back to the list when the dialog closes.
    activateWindow();
    m_grid->setFocus(Qt::OtherFocusReason);
}
