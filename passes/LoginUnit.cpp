#include "LoginUnit.h"

#include "EditVarno.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QScreen>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TLoginForm::TLoginForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setWindowTitle(u"Přihlašovací dialog uživatele"_s);

    auto* top = new QLabel(u"Přihlašovací jméno z Windows není v seznamu uživatelů systému"_s, this);
    m_name = new TEditVarno(this);
    m_name->setObjectName(u"NameEdit"_s);
    m_name->SetEditType(TEditType::String);
    m_password = new TEditVarno(this);
    m_password->setObjectName(u"PasswordEdit"_s);
    m_password->SetEditType(TEditType::String);
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setStyleSheet(u"lineedit-password-character: 42;"_s);
    m_storno = new QPushButton(u"Storno"_s, this);
    m_ok = new QPushButton(u"OK"_s, this);
    connect(m_storno, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(u"Přístupové jméno uživatele "_s, this), 0, 0);
    fields->addWidget(m_name, 0, 1);
    fields->addWidget(new QLabel(u"Přístupové heslo uživatele"_s, this), 1, 0);
    fields->addWidget(m_password, 1, 1);
    fields->setColumnMinimumWidth(1, 140);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_storno);
    buttons->addWidget(m_ok);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(top);
    layout->addSpacing(6);
    layout->addLayout(fields);
    layout->addSpacing(6);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(m_name, m_password);
    setTabOrder(m_password, m_storno);
    setTabOrder(m_storno, m_ok);
}

void TLoginForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_name->setFocus(Qt::OtherFocusReason);
}

bool TLoginForm::Execute(QString& name, QString& password)
{
    TLoginForm form;
    form.adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        form.move(area.center() - QPoint(form.width() / 2, form.height() / 2));
    }
    if (form.exec() != QDialog::Accepted)
        return false;
    name = form.m_name->text();
    password = form.m_password->text();
    return true;
}
