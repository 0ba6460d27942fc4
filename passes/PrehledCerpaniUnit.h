#pragma once

#include "FrameUnit.h"

#include <QDialog>
#include <QPushButton>

#include <memory>

class QLabel;
class TData;
class TDBGrid;
class TDBNavigator;
class TMemTable;

// The account of one pass: its movements, new withdrawals and deposits, corrections, deletions and the
// printed statement of a day. The opener puts ffLegHla on the pass and opens ffLegPol on index "KOD"
// with the range of that pass; the window books through PassAccount and prints through
// PassStatement. Each booking is one transaction that starts when the operator confirms the dialog,
// so no lock is held while the dialog waits for the operator.
class TPrehledCerpani final : public QDialog, public TKeyPreview {
    Q_OBJECT
public:
    TPrehledCerpani(TData& data, QWidget* owner);
    ~TPrehledCerpani() override;

    bool FormKeyDown(QKeyEvent* event) override;

    void NovyVyberClick();  // F2: new withdrawal
    void NovyVkladClick();  // F3: new deposit
    void OpravaClick();     // F4: correct the selected movement
    void TiskClick();       // F8: statement of the selected movement's day
    void DeleteMovement();  // Ctrl+Del in the list

    TDBGrid* Grid() const { return m_grid; }
    TDBNavigator* Navigator() const { return m_navigator; }
    QPushButton* TiskButton() const { return m_tisk; }
    QPushButton* OpravaButton() const { return m_oprava; }
    QPushButton* VkladButton() const { return m_vklad; }
    QPushButton* VyberButton() const { return m_vyber; }
    // The bottom panel's values: LEG_KOD, LEG_JME, LEG_DOD, LEG_POC, LEG_CER, LEG_ZUS.
    QLabel* PanelValue(int index) const { return m_panel[index]; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QPushButton* ToolButton(const QString& caption, void (TPrehledCerpani::*slot)());
    // The register still stands on this window's pass.
    bool HasPass() const;
    // Reads the pass again (other tills may have booked); false, with the message, when it is gone.
    bool RefreshPass();
    bool HasMovement() const;
    // A new withdrawal (koe -1) or deposit (+1).
    void NewMovement(double koe);
    // Shows the dialog over the prepared movement record; true for OK.
    bool RunDialog(bool deposit, bool correction, double previousAmount);
    // Starts the movement record the dialog works on.
    void StartEntry();
    void UpdatePanel();
    void Done();

    TData& m_data;
    int m_passId = 0;  // the pass whose account this is (the register's current pass at opening)
    std::unique_ptr<TMemTable> m_entry;  // the movement being entered, until it is booked
    TDBNavigator* m_navigator;
    TDBGrid* m_grid;
    QPushButton* m_tisk;
    QPushButton* m_oprava;
    QPushButton* m_vklad;
    QPushButton* m_vyber;
    QLabel* m_panel[6];
};
