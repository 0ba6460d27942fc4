#pragma once

#include "FrameUnit.h"

#include <QMainWindow>
#include <QPushButton>

class TData;
class TDBGrid;
class TDBNavigator;
class TStatusBar;

// Main window: the register of passes. Closing it ends the program.
class THlavni : public QMainWindow, public TKeyPreview {
    Q_OBJECT
public:
    explicit THlavni(TData& data, QWidget* parent = nullptr);
    ~THlavni() override;

    bool FormKeyDown(QKeyEvent* event) override;

    TDBGrid* Grid() const { return m_grid; }
    TDBNavigator* Navigator() const { return m_navigator; }
    TStatusBar* StatusBar() const { return m_statusBar; }
    QPushButton* NewButton() const { return m_newButton; }
    QPushButton* EditButton() const { return m_editButton; }
    QPushButton* SearchButton() const { return m_searchButton; }
    QPushButton* AccountButton() const { return m_accountButton; }
    QAction* ReceiptsAction() const { return m_receiptsAction; }
    QAction* EndAction() const { return m_endAction; }

    void NovaClick();    // F2: new pass
    void OpravaClick();  // F4: correct the current pass
    void HledejClick();  // F5: search
    void ObratClick();   // F10: account of the current pass
    void PrehledUctenekClick();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QPushButton* ToolButton(const QString& caption, void (THlavni::*slot)());
    // Shows the pass dialog over the record in insert or edit state, then posts or cancels it.
    void EditPass();

    TData& m_data;
    TDBGrid* m_grid;
    TDBNavigator* m_navigator;
    TStatusBar* m_statusBar;
    QPushButton* m_newButton = nullptr;
    QPushButton* m_editButton = nullptr;
    QPushButton* m_searchButton = nullptr;
    QPushButton* m_accountButton = nullptr;
    QAction* m_receiptsAction = nullptr;
    QAction* m_endAction = nullptr;
};
