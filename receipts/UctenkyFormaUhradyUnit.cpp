#include "UctenkyFormaUhradyUnit.h"

#include "DBGrid.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TUctenkyFormaUhrady::TUctenkyFormaUhrady(TTable& formy, QWidget* owner)
    : QDialog(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(u"Forma úhrady účtenky"_s);
    m_grid = new TDBGrid(this);
    m_grid->setObjectName(u"DBGrid1"_s);
    m_grid->SetReadOnly(true);
    m_grid->SetDataSet(&formy, {{u"FUH_FUH"_s, 24}, {u"FUH_NAC"_s, 200}});
    m_grid->horizontalHeader()->hide();
    m_grid->verticalHeader()->hide();
    m_grid->horizontalHeader()->setStretchLastSection(true);
    connect(m_grid, &QAbstractItemView::doubleClicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_grid);
    resize(260, 150);
}

void TUctenkyFormaUhrady::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_grid->setFocus(Qt::OtherFocusReason);
}

bool TUctenkyFormaUhrady::FormKeyDown(QKeyEvent* event)
{
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
    default:
        return false;
    }
}
