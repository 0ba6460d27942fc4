#include "ZaplacenoUnit.h"

#include "DBEditVarno.h"
#include "DataSource.h"
#include "DataUnit.h"
#include "EditBase.h"
#include "PassStatement.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TZaplacenoForm::TZaplacenoForm(TData& dataModule, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      m_data(dataModule),
      m_source(new TDataSource(dataModule.ffUctenky.get(), this))
{
    setWindowTitle(u"Výpočet vrácené částky "_s);
    QFont big = font();
    big.setPointSize(big.pointSize() * 2);
    big.setBold(true);

    m_celkem = new QLabel(this);
    m_celkem->setObjectName(u"CelkemLabel"_s);
    m_vlozeno = new TDBEditVarno(this);
    m_vlozeno->setObjectName(u"VlozenoEdit"_s);
    m_vlozeno->SetDataSource(m_source);
    m_vlozeno->SetDataField(u"HLA_VLO"_s);
    m_vlozeno->SetEditType(TDBEditType::Float);
    m_vlozeno->SetEnterIsTab(true);
    m_vlozeno->SetWhenValid(TWhenValid::Always);
    m_vlozeno->OnValid = std::bind_front(&TZaplacenoForm::DBEditVarno1Valid, this);
    m_vratit = new QLabel(u"0.00"_s, this);
    m_vratit->setObjectName(u"VratitLabel"_s);
    for (QWidget* w : std::initializer_list<QWidget*>{m_celkem, m_vlozeno, m_vratit}) {
        w->setFont(big);
        w->setFixedWidth(200);
    }
    m_celkem->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_vratit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_vlozeno->setAlignment(Qt::AlignRight);
    m_ok = new QPushButton(u"OK"_s, this);
    m_ok->setAutoDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);

    const TTable& uce = *dataModule.ffUctenky;
    if (uce.Active())
        m_celkem->setText(dataModule.ffUctenky->FieldByName(u"HLA_CUH"_s).DisplayText());

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(u"Celkem k úhradě"_s, this), 0, 0);
    grid->addWidget(m_celkem, 0, 1);
    grid->addWidget(new QLabel(u"Do pokladny vloženo"_s, this), 1, 0);
    grid->addWidget(m_vlozeno, 1, 1);
    grid->addWidget(new QLabel(u"Vrátit zákazníkovi"_s, this), 2, 0);
    grid->addWidget(m_vratit, 2, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(m_ok, 0, Qt::AlignRight);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setTabOrder(m_vlozeno, m_ok);
}

TZaplacenoForm::~TZaplacenoForm() = default;

QString TZaplacenoForm::ChangeText(double change)
{
    // The printouts' amount routine, so the screen and the paper agree to the last digit.
    return QString::fromLatin1(PassStatement::Amount(change, QLocale()));
}

void TZaplacenoForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    m_vlozeno->setFocus(Qt::OtherFocusReason);
}

bool TZaplacenoForm::FormKeyDown(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        reject();
        return true;
    }
    return false;
}

void TZaplacenoForm::DBEditVarno1Valid(QObject*, QString&, bool&)
{
    // The typed cash reaches HLA_VLO only through the post, so the header is stored first; the
    // calculation always passes. A store that fails is told and the change is not shown.
    TTable& uce = *m_data.ffUctenky;
    try {
        m_source->UpdateRecord();
        uce.Post();
        uce.Edit();
    } catch (const EDatabaseError& e) {
        ReportAfterFocusChange(e.Message());
        return;
    }
    const double change = uce.FieldByName(u"HLA_VLO"_s).AsFloat() - uce.FieldByName(u"HLA_CUH"_s).AsFloat();
    m_vratit->setText(ChangeText(change));
}
