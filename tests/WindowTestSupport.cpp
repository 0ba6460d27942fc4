#include "WindowTestSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <QPointer>
#include <memory>
#include <utility>

namespace {

QList<QPointer<QObject>>& PendingWatchers()
{
    static QList<QPointer<QObject>> watchers;
    return watchers;
}

// Waits for a modal window to be shown, then acts on it from inside its event loop.
class TModalWatcher : public QObject {
public:
    TModalWatcher(std::function<void(QWidget*)> act, int timeoutMs) : QObject(qApp), m_act(std::move(act))
    {
        qApp->installEventFilter(this);
        QTimer::singleShot(timeoutMs, this, [this] { deleteLater(); });
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
    bool m_done = false;
};

}  // namespace

void OnNextModal(std::function<void(QWidget*)> act, int timeoutMs)
{
    PendingWatchers().removeAll(nullptr);
    PendingWatchers().append(new TModalWatcher(std::move(act), timeoutMs));
}

void CancelPendingModals()
{
    for (const QPointer<QObject>& w : std::exchange(PendingWatchers(), {}))
        delete w.data();
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
