#pragma once

#include "FrameUnit.h"
#include "TableGuards.h"

#include <QDialog>
#include <QPushButton>

#include <optional>

class QStatusBar;
class TData;
class TDBGrid;
class TDBNavigator;

// Pick list of assortment cards. It works on the data module's assortment table in whatever order
// the table stands and opens on the card picked or viewed last. Enter or a double click closes it
// with OK (the table stands on the card picked), Esc with Cancel; F5 searches.
class TPrehledSortimentu final : public QDialog, public TKeyPreview {
    Q_OBJECT
public:
    TPrehledSortimentu(TData& data, QWidget* owner);
    ~TPrehledSortimentu() override;

    bool FormKeyDown(QKeyEvent* event) override;
    void done(int result) override;

    TDBGrid* Grid() const { return m_grid; }
    TDBNavigator* Navigator() const { return m_navigator; }
    QPushButton* HledejButton() const { return m_hledej; }
    QStatusBar* StatusBar() const { return m_statusBar; }

    void HledejClick();  // F5: the search dialog

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormActivate();
    void DBGrid1DblClick();

    TData& m_data;
    std::optional<TCloseIfOpened> m_tableGuard;  // closes the table if this window opened it
    bool m_activated = false;
    TDBGrid* m_grid;
    TDBNavigator* m_navigator;
    QPushButton* m_hledej;
    QStatusBar* m_statusBar;
};
