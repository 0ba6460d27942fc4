#pragma once

#include "FrameUnit.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>

class TData;
class TDataSet;
class TDataSource;
class TDBEditVarno;

// What the two line dialogs share: the card row, the card's name, price and VAT rate, the stock
// display and the quantity field over the current row of the receipt lines, then "Storno" and "Zapiš".
// The dialogs only fill the line and check the quantity against the stock; the receipt window posts,
// splits over the stock variants and discards a cancelled line.
class TUctenkaPolDialog : public QDialog, public TKeyPreview {
    Q_OBJECT
public:
    ~TUctenkaPolDialog() override;

    bool FormKeyDown(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // The card's base sale price (SOR_PC1), captured when the card field is validated.
    double ZakladniCena = 0;
    // The quantity the line had before the dialog: 0 for a new line, the old DOK_KUS for a correction.
    double PuvodniMnozstvi = 0;

    void SetStockDisplay(const QString& text) { m_stav->setText(text); }

    TDBEditVarno* KartaEdit() const { return m_karta; }
    TDBEditVarno* NazevEdit() const { return m_nazev; }
    TDBEditVarno* CenaEdit() const { return m_cena; }
    TDBEditVarno* DanEdit() const { return m_dan; }
    TDBEditVarno* KusEdit() const { return m_kus; }
    QLabel* StavLabel() const { return m_stav; }
    QPushButton* ZapisButton() const { return m_zapis; }
    QPushButton* StornoButton() const { return m_storno; }

    // The quantity check shared by both dialogs: a number from 0 up and below a million pieces.
    // Returns the refusal's message, or empty with *quantity set. "2,5" and "2.5" both read as 2.5.
    static QString QuantityRefusal(const QString& text, double* quantity);

protected:
    TUctenkaPolDialog(TData& dataModule, TDataSet& line, QWidget* owner, bool correction);

    // The stock check of the quantity q (the card or the line's variant); shows its own refusal.
    virtual bool CheckStock(const QString& card, double q) = 0;
    // Whether the assortment's current record is a stock item.
    bool StockItem() const;
    QString StockFigure(double value) const;

    TData& m_data;
    TDataSet& m_line;
    TDataSource* m_source;
    TDBEditVarno* m_karta;
    TDBEditVarno* m_variant = nullptr;
    TDBEditVarno* m_nazev;
    TDBEditVarno* m_cena;
    TDBEditVarno* m_dan;
    TDBEditVarno* m_kus;
    QLabel* m_kusCaption;
    QLabel* m_stav;
    QPushButton* m_storno;
    QPushButton* m_zapis;

private:
    Qt::FocusReason m_kusExitReason = Qt::OtherFocusReason;

    void DBEditVarnoKusValid(QObject* sender, QString& text, bool& valid);
    void ZapisClick();
};

// "Nová položka": the card (exact code, else the assortment list) and the quantity of the line that
// the receipt window has just appended. The quantity is checked against the card's whole stock.
class TUctenkaPolNewEdit final : public TUctenkaPolDialog {
    Q_OBJECT
public:
    TUctenkaPolNewEdit(TData& dataModule, TDataSet& line, QWidget* owner);

protected:
    void showEvent(QShowEvent* event) override;
    bool CheckStock(const QString& card, double q) override;

private:
    void DBEditVarno1Valid(QObject* sender, QString& text, bool& valid);
    void DBEditVarno1ClickButton(QObject* sender);
    // Looks the code up and copies the card into the line; true when a card was found or picked.
    bool TakeCard(QString& text);
};

// "Oprava položky": a new quantity for an existing line. The card and variant fields are locked by
// the caller, which also sets the stock display and gives the quantity field the focus; the quantity
// is checked against the line's variant.
class TUctenkaPolEdit final : public TUctenkaPolDialog {
    Q_OBJECT
public:
    TUctenkaPolEdit(TData& dataModule, TDataSet& line, QWidget* owner);

    TDBEditVarno* VariantEdit() const { return m_variant; }

protected:
    void showEvent(QShowEvent* event) override;
    bool CheckStock(const QString& card, double q) override;
};
