#pragma once

#include "FrameUnit.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>

class TData;
class TDataSource;
class TDBEditVarno;

// "Výpočet vrácené částky ": the receipt total, the cash handed over (HLA_VLO of the receipt header,
// which is in edit state) and the change to give back. Leaving the cash field stores the header and
// shows the change; a change below zero keeps its minus sign.
class TZaplacenoForm final : public QDialog, public TKeyPreview {
    Q_OBJECT
public:
    TZaplacenoForm(TData& dataModule, QWidget* owner);
    ~TZaplacenoForm() override;

    bool FormKeyDown(QKeyEvent* event) override;

    // The change as shown: "%8.2f" with the station's decimal separator, halves away from zero.
    static QString ChangeText(double change);

    QLabel* CelkemLabel() const { return m_celkem; }
    TDBEditVarno* VlozenoEdit() const { return m_vlozeno; }
    QLabel* VratitLabel() const { return m_vratit; }
    QPushButton* OkButton() const { return m_ok; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void DBEditVarno1Valid(QObject* sender, QString& text, bool& valid);

    TData& m_data;
    TDataSource* m_source;
    QLabel* m_celkem;
    TDBEditVarno* m_vlozeno;
    QLabel* m_vratit;
    QPushButton* m_ok;
};
