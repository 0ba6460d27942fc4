#pragma once

#include "FrameUnit.h"

#include <QDialog>
#include <QPushButton>

class TData;
class TDataSet;
class TDataSource;
class TDBEditVarno;

// Movement dialog of the pass account: the assortment card that prices the movement (resolved with
// SorValid, with the assortment list for a code that is not exact) and the number of units. It works
// on a movement record that the opener put into insert state (LEP_IDM, LEP_KOE and LEP_DAT filled;
// for a correction also the booked card, price and units). The units are checked as they are left:
// a number from 0 up, not absurdly large, and a balance that the booking would not leave negative.
// OK ("Zapiš") and Cancel ("Storno", Esc, the frame) tell the opener whether to book.
class TCerPolEdit final : public QDialog, public TKeyPreview {
    Q_OBJECT
public:
    TCerPolEdit(TData& data, TDataSet& movement, QWidget* owner);
    ~TCerPolEdit() override;

    bool FormKeyDown(QKeyEvent* event) override;

    // A new deposit: the dialog's title says so.
    void SetDeposit();
    // A correction of a booked movement whose amount was `previousAmount`: only the units can change.
    void SetCorrection(double previousAmount);

    TDBEditVarno* KartaEdit() const { return m_karta; }
    TDBEditVarno* NazevEdit() const { return m_nazev; }
    TDBEditVarno* CenaEdit() const { return m_cena; }
    TDBEditVarno* KusEdit() const { return m_kus; }
    QPushButton* ZapisButton() const { return m_zapis; }
    QPushButton* StornoButton() const { return m_storno; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void DBEditVarno1Valid(QObject* sender, QString& text, bool& valid);
    void DBEditVarno1ClickButton(QObject* sender);
    void DBEditVarno4Valid(QObject* sender, QString& text, bool& valid);
    void ZapisClick();
    // Looks the code up (exact code, else the assortment list) and copies the card into the movement.
    bool TakeCard(QString& text);
    // The units check; the refusal's message when it fails, else empty.
    QString UnitsRefusal(double units) const;

    TData& m_data;
    TDataSet& m_movement;
    TDataSource* m_source;
    double m_previousAmount = 0;
    TDBEditVarno* m_karta;
    TDBEditVarno* m_nazev;
    TDBEditVarno* m_cena;
    TDBEditVarno* m_kus;
    QPushButton* m_zapis;
    QPushButton* m_storno;
};
