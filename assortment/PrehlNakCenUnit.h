#pragma once

#include "FrameUnit.h"
#include "TableGuards.h"

#include <QDialog>
#include <QPushButton>

#include <optional>

class QStatusBar;
class TData;
class TDBGrid;

// Pick list of the stock variants (purchase prices) of a card: the data module's stock table in the
// range its opener set. Enter in the grid or a double click closes it with OK (the table stands on
// the variant picked), Esc with Cancel; F2 creates a variant of the current assortment card;
// Ctrl+Del deletes the current variant after a confirmation.
class TPrehlNakCen final : public QDialog, public TKeyPreview {
    Q_OBJECT
public:
    TPrehlNakCen(TData& data, QWidget* owner);
    ~TPrehlNakCen() override;

    bool FormKeyDown(QKeyEvent* event) override;

    TDBGrid* Grid() const { return m_grid; }
    QPushButton* NovyButton() const { return m_novy; }
    QStatusBar* StatusBar() const { return m_statusBar; }

    void NovyClick();  // F2: new variant

protected:
    void showEvent(QShowEvent* event) override;

private:
    TData& m_data;
    std::optional<TCloseIfOpened> m_tableGuard;  // closes the table if this window opened it
    TDBGrid* m_grid;
    QPushButton* m_novy;
    QStatusBar* m_statusBar;
};
