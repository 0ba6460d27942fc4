#pragma once

#include <QLabel>
#include <QProgressBar>
#include <QWidget>

class TData;

// Small progress window of a long operation: a title, a label with a value beside it and a gauge
// of 0 to 100. A tool window without title-bar buttons, centred on the screen, shown without waiting.
class TProgresWin final : public QWidget {
    Q_OBJECT
public:
    explicit TProgresWin(QWidget* owner = nullptr);

    // Replaces the designed title and label; `value` stands beside the label.
    void SetTexts(const QString& title, const QString& label, const QString& value);
    void SetPosition(int percent);

    QLabel* Label() const { return m_label; }
    QLabel* ValueLabel() const { return m_value; }
    QProgressBar* Gauge() const { return m_gauge; }

private:
    QLabel* m_label;
    QLabel* m_value;
    QProgressBar* m_gauge;
};

// Installs the data module's progress hooks of the stock card rebuild: the progress window per
// variant and the busy cursor. Each step only repaints the window: the rebuild holds a transaction
// open, so no pending event (a key, a click, a delayed message box) may start other work meanwhile.
void InstallProgressHooks(TData& data);
