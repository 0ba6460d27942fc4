#pragma once

#include "FrameUnit.h"

#include <QDialog>
#include <QPushButton>
#include <QRadioButton>

class TEditVarno;
class TTable;

// Search of the receipt overview: by receipt number (index "DO1"), by till-closure number ("DO2") or
// by date of issue ("DAT"). "&Hledej" switches the receipt table to the option's index, finds the
// nearest receipt to the text and closes with OK; the index stays in force afterwards. "Storno"
// closes with Abort, Esc with Cancel; both leave the table as it was.
class TUctenHle final : public QDialog, public TKeyPreview {
    Q_OBJECT
public:
    static constexpr int kAbort = 3;

    TUctenHle(TTable& receipts, QWidget* owner);

    bool FormKeyDown(QKeyEvent* event) override;

    void HledejClick();

    QRadioButton* CisloOption() const { return m_cislo; }
    QRadioButton* VycetkaOption() const { return m_vycetka; }
    QRadioButton* DatumOption() const { return m_datum; }
    TEditVarno* TextEdit() const { return m_text; }
    QPushButton* HledejButton() const { return m_hledej; }
    QPushButton* StornoButton() const { return m_storno; }

protected:
    bool event(QEvent* event) override;

private:
    void FormActivate();
    // Plain text, or date entry while the date option is selected.
    void UpdateEditType();

    TTable& m_receipts;
    QRadioButton* m_cislo;
    QRadioButton* m_vycetka;
    QRadioButton* m_datum;
    TEditVarno* m_text;
    QPushButton* m_hledej;
    QPushButton* m_storno;
};
