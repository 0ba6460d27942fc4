#pragma once

#include "FrameUnit.h"

#include <QDialog>
#include <QList>
#include <QPushButton>
#include <QRadioButton>

class TEditVarno;
class TTable;

// Search dialog of the assortment list: by name, card number or sale price (search by alias,
// supplier's and maker's code are shown but not offered). "&Hledej" switches the assortment table to
// the chosen order and moves it to the nearest record, then closes with OK; Esc closes with Cancel
// and "Storno" with kAbort, both without searching.
class TSorHle final : public QDialog, public TKeyPreview {
    Q_OBJECT
public:
    static constexpr int kAbort = 3;
    enum TOption { kNazev, kKarta, kAlias, kDodavatel, kVyrobce, kCena, kOptionCount };

    TSorHle(TTable& sortiment, QWidget* owner);

    bool FormKeyDown(QKeyEvent* event) override;

    TOption SelectedOption() const;
    QRadioButton* Option(TOption option) const { return m_options.at(option); }
    TEditVarno* TextEdit() const { return m_text; }
    QPushButton* HledejButton() const { return m_hledej; }
    QPushButton* StornoButton() const { return m_storno; }

    // Index name and the text used as the key for an option: names and codes lose trailing blanks,
    // card numbers blanks on both sides (a blank being any character up to code 32).
    static QString IndexOf(TOption option);
    static QString KeyText(TOption option, const QString& text);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void HledejClick();
    void Search();
    void SetEntryKind();

    TTable& m_sortiment;
    QList<QRadioButton*> m_options;
    TEditVarno* m_text;
    QPushButton* m_hledej;
    QPushButton* m_storno;
};
