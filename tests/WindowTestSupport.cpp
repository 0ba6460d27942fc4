#include "WindowTestSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <QPointer>

#include <gtest/gtest.h>

#include <memory>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

// Waits for a modal window to be shown, then acts on it from inside its event loop.
class TModalWatcher : public QObject {
public:
    TModalWatcher(std::function<void(QWidget*)> act, int timeoutMs, std::source_location where)
        : QObject(qApp), m_act(std::move(act)), m_where(where), m_timeoutMs(timeoutMs)
    {
        qApp->installEventFilter(this);
        QTimer::singleShot(timeoutMs, this, [this] {
            if (!m_done)
                Fail(u"no modal window opened within %1 ms"_s.arg(m_timeoutMs));
            deleteLater();
        });
    }

    bool Done() const { return m_done; }

    // The step's window did not open: a failure at the line that set the step.
    void Fail(const QString& why) const
    {
        ADD_FAILURE_AT(m_where.file_name(), int(m_where.line()))
            << "the modal window of this step never opened: " << why.toStdString();
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (m_done || event->type() != QEvent::Show || !watched->isWidgetType())
            return false;
        auto* w = static_cast<QWidget*>(watched);
        if (!w->isWindow() || !w->isModal())
            return false;
        m_done = true;
        qApp->removeEventFilter(this);
        QPointer<QWidget> target(w);
        QTimer::singleShot(0, this, [this, target] {
            if (target)
                m_act(target.data());
            deleteLater();
        });
        return false;
    }

private:
    std::function<void(QWidget*)> m_act;
    std::source_location m_where;
    int m_timeoutMs;
    bool m_done = false;
};

QList<QPointer<TModalWatcher>>& PendingWatchers()
{
    static QList<QPointer<TModalWatcher>> watchers;
    return watchers;
}

// Ends every watcher still waiting; those whose window never opened fail the running test.
void EndWaitingWatchers(const QString& why)
{
    for (const QPointer<TModalWatcher>& w : std::exchange(PendingWatchers(), {})) {
        if (!w)
            continue;
        if (!w->Done())
            w->Fail(why);
        delete w.data();
    }
}

}  // namespace

void OnNextModal(std::function<void(QWidget*)> act, int timeoutMs, std::source_location where)
{
    PendingWatchers().removeAll(nullptr);
    // Only a watcher that already acted (an outer step whose window is still open) may go on.
    QList<QPointer<TModalWatcher>> keep;
    for (const QPointer<TModalWatcher>& w : std::exchange(PendingWatchers(), {})) {
        if (w->Done()) {
            keep.append(w);
        } else {
            w->Fail(u"the next step began before it"_s);
            delete w.data();
        }
    }
    PendingWatchers() = keep;
    PendingWatchers().append(new TModalWatcher(std::move(act), timeoutMs, where));
}

void CancelPendingModals()
{
    EndWaitingWatchers(u"the test ended first"_s);
}

QWidget* KeyTargetIn(const QMetaObject& windowClass)
{
    if (!QApplication::focusWidget()) {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->metaObject()->inherits(&windowClass))
                WaitActive(w);
    }
    return QApplication::focusWidget();
}

void PressIn(const QMetaObject& windowClass, int key, Qt::KeyboardModifiers mods)
{
    QTest::keyClick(KeyTargetIn(windowClass), Qt::Key(key), mods);
}

void TypeIn(const QMetaObject& windowClass, const QString& text)
{
    TypeInto(KeyTargetIn(windowClass), text);
}

int ModalsDuring(const std::function<void()>& act, int waitMs)
{
    int modals = 0;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &watch, [&modals] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            ++modals;
            w->close();
        }
    });
    watch.start(20);
    act();
    QTest::qWait(waitMs);
    watch.stop();
    return modals;
}

void ProcessEvents()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

bool ShowAndActivate(QWidget* window)
{
    window->show();
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}

bool WaitActive(QWidget* window)
{
    if (QApplication::activeWindow() != window)
        window->activateWindow();
    return QTest::qWaitFor([window] { return QApplication::activeWindow() == window; }, 2000);
}

QString FocusName()
{
    QWidget* w = QApplication::focusWidget();
    if (!w)
        return QStringLiteral("(none)");
    return w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className()) : w->objectName();
}

QWidget* KeyTarget()
{
    if (!QApplication::focusWidget())
        ProcessEvents();
    if (!QApplication::focusWidget()) {
        QWidget* front = QApplication::activeModalWidget();
        if (!front) {
            QList<QWidget*> shown;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->isVisible() && !(w->windowType() == Qt::Popup || w->windowType() == Qt::ToolTip))
                    shown.append(w);
            if (shown.size() == 1)
                front = shown.first();
        }
        if (front)
            WaitActive(front);
    }
    QWidget* w = QApplication::focusWidget();
    if (!w)
        ADD_FAILURE() << "no widget has the keyboard focus";
    return w;
}

void TypeInto(QWidget* w, const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() < 128)
            QTest::keyClick(w, char(c.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, w, Qt::Key(c.toUpper().unicode()), QString(c), Qt::NoModifier);
    }
}

void Press(int key, Qt::KeyboardModifiers mods)
{
    if (QWidget* w = KeyTarget())
        QTest::keyClick(w, Qt::Key(key), mods);
}

void Type(const QString& text)
{
    // The focus may move while typing (a field that is full passes it on).
    for (const QChar c : text) {
        QWidget* w = KeyTarget();
        if (!w)
            return;
        TypeInto(w, QString(c));
    }
}
