#pragma once

#include "FrameUnit.h"
#include "ReceiptEngine.h"
#include "ReceiptRules.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>

#include <functional>

class TData;
class TDataSource;
class TDBEditVarno;
class TDokladGrid;

// Why the receipt window is opened (see TDokladUctenka).
enum class TUctenkaUcel {
    // ffUctenky in insert state, not yet posted; DokladObsah open and empty.
    Nova,
    // ffUctenky in edit state on the stored receipt; DokladObsah filled by GetDoklad.
    Oprava,
};

// "Účtenka - prodej za hotové": one cash-sale receipt entered line by line. Lines come from the
// new-line dialog (F2) or from the keyboard (the direct sale: digits, the keypad's multiply key for a
// quantity, Enter); F4 corrects the quantity of the current line; the payment form field checks the
// form and offers the change dialog; F8 prints; F11 and F12 open the cash drawer. Every line is posted
// by the receipts engine the moment it is confirmed; the window only gathers input and shows results.
//
// Opening contract: the opener prepares ffUctenky and DokladObsah as TUctenkaUcel says and calls
// exec(). The result is Accepted exactly when the receipt exists in the table (numbered by its first
// line, or opened for correction): the opener then posts the header, otherwise cancels it.
class TDokladUctenka final : public QDialog, public TKeyPreview {
    Q_OBJECT
public:
    TDokladUctenka(TData& dataModule, TUctenkaUcel ucel, QWidget* owner);
    ~TDokladUctenka() override;

    bool FormKeyDown(QKeyEvent* event) override;

    void NovaClick();       // F2: a new line through the new-line dialog
    void OpravaClick();     // F4: correct the quantity of the current line
    void TiskClick();       // F8: print, then close
    void UkonceniClick();   // Esc: close
    void OtevriSuplik();    // F11, F12: the cash drawer
    void DoDirectProdej();  // Enter with typed digits

    // The receipt printout of the open receipt (F8). Installed by the printing side; until then F8
    // only closes the window.
    static std::function<void(TData& dataModule, QWidget* window)>& TiskUctenky();

    // Window state (see the opening contract).
    bool NovaUctenka() const { return m_engine.NovaUctenka(); }
    bool UctenkaZalozena() const { return m_engine.UctenkaZalozena(); }
    // Direct-entry state.
    QString PrimyKod() const { return m_direct.PrimyKod; }
    double PrimeMnozstvi() const { return m_direct.PrimeMnozstvi; }
    bool MnozstviZadano() const { return m_direct.MnozstviZadano; }
    Receipts::TReceiptEngine& Engine() { return m_engine; }

    TDokladGrid* Grid() const { return m_grid; }
    QLabel* CisloLabel() const { return m_cislo; }
    QLabel* CelkemLabel() const { return m_celkem; }
    QLabel* PrimyDisplay() const { return m_display; }
    TDBEditVarno* FormaUhradyEdit() const { return m_fuh; }
    QLabel* FormaUhradyNazev() const { return m_fuhNazev; }
    QPushButton* NovaButton() const { return m_nova; }
    QPushButton* OpravaButton() const { return m_oprava; }
    QPushButton* TiskButton() const { return m_tisk; }
    QPushButton* UkonceniButton() const { return m_ukonceni; }
    TDBNavigator* Navigator() const { return m_navigator; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QPushButton* ToolButton(const QString& caption, void (TDokladUctenka::*slot)());
    void UpdateHeader();
    void Done();
    void CloseWithResult();
    // Places a line dialog as the receipt overview expects it.
    void PlaceDialog(QDialog& dialog) const;
    void AppendDigit(QChar digit);
    void MultiplyKey();
    bool EnterKey();

    // Payment form field (validation and lookup button) and the change dialog.
    void DBEditVarnoFuhValid(QObject* sender, QString& text, bool& valid);
    void DBEditVarnoFuhClickButton(QObject* sender);
    // Opens the payment forms allowed on receipts; true when `code` is one of them (the table then
    // stands on it). pick: offer the picker when it is not (or always, for the lookup button).
    bool ChooseForm(const QString& code, bool alwaysPick, QString* chosen, QString* name);
    void ShowFormName();

    TData& m_data;
    Receipts::TReceiptEngine m_engine;
    Receipts::TDirectEntry m_direct;
    TDataSource* m_header;

    TDokladGrid* m_grid;
    QLabel* m_cislo;
    QLabel* m_celkem;
    QLabel* m_display;
    TDBEditVarno* m_fuh;
    QLabel* m_fuhNazev;
    QPushButton* m_nova;
    QPushButton* m_oprava;
    TDBNavigator* m_navigator;
    QPushButton* m_tisk;
    QPushButton* m_ukonceni;
};
