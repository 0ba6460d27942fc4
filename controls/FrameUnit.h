#pragma once

#include <QApplication>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QWidget>

#include <functional>
#include <optional>

class QKeyEvent;
class TDataSet;

// A window that sees every key before its controls do (key preview) derives from this as well as
// from its widget class. TApplication hands each key press to the window of the receiving widget
// first; FormKeyDown returns true when it handled the key, which then goes no further.
class TKeyPreview {
public:
    virtual ~TKeyPreview() = default;
    virtual bool FormKeyDown(QKeyEvent* event) = 0;
};

// The program's application object. It routes key presses through the key preview of their window
// and shows any error that escapes an event handler (database errors with the client's message)
// instead of letting it end the program. Windows rely on it: the program and every window test
// create a TApplication, not a plain QApplication.
class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    // Shows the exception being handled; call it only inside a catch block. The operator reads the
    // message; where it arose (a table's internal name) goes to the log.
    static void ShowCurrentException();
    // Names the application. Window titles stay exactly as each window sets them: no application
    // display name is set, since the platform would append it to every title (" — Korvanta").
    static void SetTitle(const QString& title);
};

// Operator messages become modal message boxes over the active window (see Messages.h).
void InstallMessageBoxes();

// Caps Lock and Num Lock as the keyboard has them. The state is read from its source (on X11 the
// X server's keyboard state) after every key and once a second by the status bars, so that locks
// switched off, or switched while another program had the keyboard, show too. Without a source the
// lock keys pressed during the run are counted.
class TKeyLocks : public QObject {
    Q_OBJECT
public:
    struct TState {
        bool caps = false;
        bool num = false;
    };
    // Returns nothing when the state cannot be read.
    using TStateSource = std::function<std::optional<TState>()>;

    static TKeyLocks& Instance();
    bool CapsLock() const { return m_caps; }
    bool NumLock() const { return m_num; }
    void Observe(const QKeyEvent& event);
    void Set(bool caps, bool num);
    // Reads the state from the source, when there is one.
    void Refresh();
    // Replaces the source (tests); an empty function means none.
    void SetStateSource(TStateSource source);

signals:
    void Changed();

private:
    TKeyLocks();
    bool m_caps = false;
    bool m_num = false;
    TStateSource m_source;
};

// Status bar of the list windows: a text pane, Caps Lock and Num Lock indicators and a clock.
class TStatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit TStatusBar(QWidget* parent = nullptr);
    void SetText(const QString& text) { m_text->setText(text); }
    QString Text() const { return m_text->text(); }
    QLabel* CapsPane() const { return m_caps; }
    QLabel* NumPane() const { return m_num; }
    QLabel* ClockPane() const { return m_clock; }

private:
    void UpdateLocks();
    void Tick();

    QLabel* m_text;
    QLabel* m_caps;
    QLabel* m_num;
    QLabel* m_clock;
    QTimer m_timer;
};

// Record navigator: first, prior, next and last record of a table. The buttons never take the focus.
class TDBNavigator : public QWidget {
    Q_OBJECT
public:
    explicit TDBNavigator(QWidget* parent = nullptr);
    void SetDataSet(TDataSet* dataSet);
    TDataSet* DataSet() const { return m_dataSet; }

    QToolButton* FirstButton() const { return m_first; }
    QToolButton* PriorButton() const { return m_prior; }
    QToolButton* NextButton() const { return m_next; }
    QToolButton* LastButton() const { return m_last; }

private:
    QToolButton* MakeButton(const QString& tip, void (TDBNavigator::*slot)());
    void FirstClick();
    void PriorClick();
    void NextClick();
    void LastClick();
    void UpdateButtons();

    TDataSet* m_dataSet = nullptr;
    QMetaObject::Connection m_connections[5];
    QToolButton* m_first;
    QToolButton* m_prior;
    QToolButton* m_next;
    QToolButton* m_last;
};
