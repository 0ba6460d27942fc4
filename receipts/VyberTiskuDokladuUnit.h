#pragma once

#include "FrameUnit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QPushButton>

class TData;
class TEditVarno;

// Print options of a receipt printed on a page printer: the number of copies, a preview first, and
// the page printer. "Tisk" makes the chosen printer the station's page printer for the rest of the
// run (HlavniTiskarna) and closes with OK; "Storno" and Esc close with Cancel.
class TVyberTiskuDokladu final : public QDialog, public TKeyPreview {
    Q_OBJECT
public:
    TVyberTiskuDokladu(TData& dataModule, QWidget* owner);

    bool FormKeyDown(QKeyEvent* event) override;

    void TiskClick();

    // After OK: the copies to print (0 when the field was left empty or holds no number), whether a
    // preview comes first, and the chosen page printer's name (empty: no printer is installed).
    int Copies() const;
    bool Preview() const { return m_nahled->isChecked(); }
    QString PrinterName() const { return m_printerName; }

    TEditVarno* CopiesEdit() const { return m_kopie; }
    QCheckBox* NahledCheck() const { return m_nahled; }
    QComboBox* PrinterCombo() const { return m_tiskarna; }
    QPushButton* TiskButton() const { return m_tisk; }
    QPushButton* StornoButton() const { return m_storno; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    TData& m_data;
    TEditVarno* m_kopie;
    QCheckBox* m_nahled;
    QComboBox* m_tiskarna;
    QPushButton* m_storno;
    QPushButton* m_tisk;
    QString m_printerName;
};
