#pragma once

#include "FrameUnit.h"

#include <QDialog>
#include <QPushButton>

#include <functional>

class QAction;
class QMenuBar;
class TData;
class TDBGrid;
class TDBNavigator;
class TStatusBar;

// The overview of the stored cash receipts, the door to the receipt window: a new receipt, the
// correction of a stored one, its reprint, the cash drawer and the search by number, till closure or
// date. The main window opens it modally; it works on data.ffUctenky, open with index "DO1" while the
// overview lives.
class TPrehledUctenek final : public QDialog, public TKeyPreview {
    Q_OBJECT
public:
    // How the receipt window is opened: a new receipt still to be numbered, or a stored one whose
    // lines are in DokladObsah (closedTill: a till closure has taken it in, no new or corrected lines).
    struct TReceiptWindowRequest {
        bool newReceipt = false;
        bool closedTill = false;
        QPoint position;  // top-left corner of the receipt window
    };
    // Opens the receipt window modally and returns its result (QDialog::Accepted for OK). Tests put
    // their own in place; while it is empty the program's receipt window opens.
    using TReceiptWindow = std::function<int(TPrehledUctenek& owner, const TReceiptWindowRequest& request)>;
    static TReceiptWindow& ReceiptWindow();

    TPrehledUctenek(TData& dataModule, QWidget* owner);
    ~TPrehledUctenek() override;

    bool FormKeyDown(QKeyEvent* event) override;

    void NovyClick();    // F2: new receipt
    void OpravaClick();  // F4: correction of the current receipt
    void TiskClick();    // F8: reprint of the current receipt
    void SuplikClick();  // F11, F12: open the cash drawer
    void HledejClick();  // F5: search

    TData& Data() const { return m_data; }
    TDBGrid* Grid() const { return m_grid; }
    TDBNavigator* Navigator() const { return m_navigator; }
    TStatusBar* StatusBar() const { return m_statusBar; }
    QPushButton* OpravaButton() const { return m_oprava; }
    QPushButton* NovyButton() const { return m_novy; }
    QAction* NovyAction() const { return m_novyAction; }
    QAction* OpravaAction() const { return m_opravaAction; }
    QAction* TiskAction() const { return m_tiskAction; }
    QAction* SuplikAction() const { return m_suplikAction; }
    QAction* HledejAction() const { return m_hledejAction; }

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    QPushButton* ToolButton(const QString& caption, void (TPrehledUctenek::*slot)());
    QAction* MenuAction(QMenu* menu, const QString& caption, const QString& key,
                        void (TPrehledUctenek::*slot)());
    void FormCreate();
    void FormActivate();
    bool HasReceipt() const;
    int OpenReceiptWindow(const TReceiptWindowRequest& request);

    TData& m_data;
    QMenuBar* m_menu;
    TDBNavigator* m_navigator;
    TDBGrid* m_grid;
    TStatusBar* m_statusBar;
    QPushButton* m_oprava;
    QPushButton* m_novy;
    QAction* m_novyAction = nullptr;
    QAction* m_opravaAction = nullptr;
    QAction* m_tiskAction = nullptr;
    QAction* m_suplikAction = nullptr;
    QAction* m_hledejAction = nullptr;
    bool m_closed = false;
};
