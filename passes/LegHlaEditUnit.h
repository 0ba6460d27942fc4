#pragma once

#include "FrameUnit.h"

#include <QDialog>
#include <QPushButton>

class TDataSource;
class TDBEditVarno;
class TOrmandDBDateEdit;
class TTable;

// Pass dialog: number, holder and expiry date of the pass that the opener put into insert or edit.
// OK ("Zapiš") and Cancel ("Storno") tell the opener whether to post or cancel the record.
class TLegHlaEdit final : public QDialog, public TKeyPreview {
    Q_OBJECT
public:
    TLegHlaEdit(TTable& passes, QWidget* owner);
    ~TLegHlaEdit() override;

    bool FormKeyDown(QKeyEvent* event) override;

    TDBEditVarno* KodEdit() const { return m_kod; }
    TDBEditVarno* JmeEdit() const { return m_jme; }
    TOrmandDBDateEdit* DodEdit() const { return m_dod; }
    QPushButton* StornoButton() const { return m_storno; }
    QPushButton* ZapisButton() const { return m_zapis; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void DBEditVarno1Valid(QObject* sender, QString& text, bool& valid);
    void ZapisClick();

    TTable& m_passes;
    TDataSource* m_source;
    TDBEditVarno* m_kod;
    TDBEditVarno* m_jme;
    TOrmandDBDateEdit* m_dod;
    QPushButton* m_storno;
    QPushButton* m_zapis;
};
