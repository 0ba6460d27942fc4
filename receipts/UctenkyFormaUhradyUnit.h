#pragma once

#include "FrameUnit.h"

#include <QDialog>

class TDBGrid;
class TTable;

// "Forma úhrady účtenky": the payment forms allowed on receipts (the caller has filtered the table),
// code and name without title row. Enter or a double-click chooses the current row (OK; the table
// then stands on it), Esc cancels.
class TUctenkyFormaUhrady final : public QDialog, public TKeyPreview {
    Q_OBJECT
public:
    TUctenkyFormaUhrady(TTable& formy, QWidget* owner);

    bool FormKeyDown(QKeyEvent* event) override;
    TDBGrid* Grid() const { return m_grid; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    TDBGrid* m_grid;
};
