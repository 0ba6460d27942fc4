#pragma once

#include "FrameUnit.h"

#include <QDialog>
#include <QPushButton>
#include <QRadioButton>

class TEditVarno;

// Search dialog of the pass register: by pass number or by holder. OK from "&Hledej"; "Storno" and
// Esc close it without searching.
class TLegHle final : public QDialog, public TKeyPreview {
    Q_OBJECT
public:
    static constexpr int kAbort = 3;

    explicit TLegHle(QWidget* owner);

    bool FormKeyDown(QKeyEvent* event) override;

    bool ByHolder() const { return m_jmeno->isChecked(); }
    QString SearchText() const;

    QRadioButton* CisloOption() const { return m_cislo; }
    QRadioButton* JmenoOption() const { return m_jmeno; }
    TEditVarno* TextEdit() const { return m_text; }
    QPushButton* HledejButton() const { return m_hledej; }
    QPushButton* StornoButton() const { return m_storno; }

protected:
    bool event(QEvent* event) override;

private:
    void FormActivate();

    QRadioButton* m_cislo;
    QRadioButton* m_jmeno;
    TEditVarno* m_text;
    QPushButton* m_hledej;
    QPushButton* m_storno;
};
