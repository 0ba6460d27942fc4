#pragma once

#include "FrameUnit.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>

#include <functional>

class TData;
class TDataSource;
class TDBEditVarno;
class TDokladGrid;
class TUctenkaPolDialog;

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
    TDokladUctenka(TData& data, TUctenkaUcel ucel, QWidget* owner);
    ~TDokladUctenka() override;

    bool FormKeyDown(QKeyEvent* event) override;

    void NovaClick();      // F2: a new line through the new-line dialog
    void OpravaClick();    // F4: correct the quantity of the current line
    void TiskClick();      // F8: print, then close
    void UkonceniClick();  // Esc: close
    void OtevriSuplik();   // F11, F12: the cash drawer
    void DoDirectProdej(); // Enter with typed digits

    // The receipt printout of the open receipt (F8). Installed by the printing side; until then F8
    // only closes the window.
    static std::function<void(TData& data, QWidget* window)>& TiskUctenky();

    // Window state (see the opening contract).
    bool NovaUctenka() const { return m_novaUctenka; }
    bool UctenkaZalozena() const { return m_uctenkaZalozena; }
    // Direct-entry state.
    QString PrimyKod() const { return m_primyKod; }
    double PrimeMnozstvi() const { return m_primeMnozstvi; }
    bool MnozstviZadano() const { return m_mnozstviZadano; }

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
    void ResetDirectEntry();
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

    // The steps of a sale around the engine: the tables it works on, numbering and the till closure.
    bool OpenSaleTables(const QString& journalIndex);
    void CloseSaleTables();
    bool ReceiptClosed() const;
    // Numbers a new receipt if needed; false, with the message, when lines can no longer be added.
    bool NumberAndCheck();

    // The calls into the receipts engine, kept together here.
    void NumberReceipt();
    void SellNewLine(double quantity, double basePrice);
    void CorrectLine(double oldQuantity, double basePrice);
    void SellDirect(const QString& code, double quantity);

    TData& m_data;
    TDataSource* m_header;
    bool m_novaUctenka = false;
    bool m_uctenkaZalozena = false;
    QString m_primyKod;
    double m_primeMnozstvi = 1;
    bool m_mnozstviZadano = false;
    QString m_displayText;

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
