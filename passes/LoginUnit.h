#pragma once

#include "FrameUnit.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>

class TEditVarno;

// Login dialog: the operator's name and password, when the station asks for them or does not know
// the system user.
class TLoginForm final : public QDialog {
    Q_OBJECT
public:
    explicit TLoginForm(QWidget* parent = nullptr);

    // Shows the dialog centred on the desktop; true for OK, with the texts as typed.
    static bool Execute(QString& name, QString& password);

    TEditVarno* NameEdit() const { return m_name; }
    TEditVarno* PasswordEdit() const { return m_password; }
    QPushButton* StornoButton() const { return m_storno; }
    QPushButton* OkButton() const { return m_ok; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    TEditVarno* m_name;
    TEditVarno* m_password;
    QPushButton* m_storno;
    QPushButton* m_ok;
};
