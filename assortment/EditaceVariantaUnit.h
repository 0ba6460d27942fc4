#pragma once

#include <QDialog>
#include <QPushButton>

class TDataSource;
class TDBEditVarno;
class TEditVarno;
class TTable;

// New price variant of a card: the opener has appended the stock record with its card, currency,
// rate and opening stock; the operator gives the variant code, the purchase price and a note.
// "Zapiš" writes the variant code as typed into the record and closes with OK; "Storno" and Esc
// close with Cancel. The opener posts or cancels the record.
class TEditaceVarianta final : public QDialog {
    Q_OBJECT
public:
    TEditaceVarianta(TTable& stock, QWidget* owner);
    ~TEditaceVarianta() override;

    TEditVarno* VariantaEdit() const { return m_varianta; }
    TDBEditVarno* CenaEdit() const { return m_cena; }
    TDBEditVarno* MenaEdit() const { return m_mena; }
    TDBEditVarno* KurzEdit() const { return m_kurz; }
    TDBEditVarno* ZasobaEdit() const { return m_zasoba; }
    TDBEditVarno* PoznamkaEdit() const { return m_poznamka; }
    QPushButton* ZapisButton() const { return m_zapis; }
    QPushButton* StornoButton() const { return m_storno; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    TDBEditVarno* Bound(const QString& field);
    void ZapisClick();

    TTable& m_stock;
    TDataSource* m_source;
    TEditVarno* m_varianta;
    TDBEditVarno* m_cena;
    TDBEditVarno* m_mena;
    TDBEditVarno* m_kurz;
    TDBEditVarno* m_zasoba;
    TDBEditVarno* m_poznamka;
    QPushButton* m_zapis;
    QPushButton* m_storno;
};
