#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <source_location>

// Acts on the next modal window that opens (a dialog or a message box shown with exec()): `act`
// runs once, inside that window's event loop, and should close it. A step whose window never opens
// fails the test that set it: when `timeoutMs` pass while the test waits, when the next OnNextModal
// is set while this one still waits, or when the test ends (CancelPendingModals()).
void OnNextModal(std::function<void(QWidget*)> act, int timeoutMs = 5000,
                 std::source_location where = std::source_location::current());

// Ends the OnNextModal actions still waiting, so that none acts on a later test's window; each one
// whose window never opened is a failure of the running test. Window fixtures call it when they
// end, and the window tests' main once more after every test.
void CancelPendingModals();

// Runs `act`, then waits `waitMs`; every modal window that opens meanwhile is rejected and counted.
// For steps that must open no dialog at all (OnNextModal fails when its window never opens).
int ModalsDuring(const std::function<void()>& act, int waitMs);

// Lets queued work of the windows run (deferred grid updates, posted events).
void ProcessEvents();

// Shows a top-level window and waits until it is active, so that focus and keys behave as on a desktop.
bool ShowAndActivate(QWidget* window);

// Waits until the window is the active window. A dialog opened over an active window does not become
// active by itself on the offscreen platform (its owner counts as active for QTest).
bool WaitActive(QWidget* window);

// The widget that has the keyboard focus, by object name or class for failure messages.
QString FocusName();

// The widget that takes the keys: the focus widget. After a dialog closed, the offscreen platform
// leaves no window active; the window in front (the open modal window, else the only visible
// window) is activated again as a desktop would do. No focus at all fails the test (nullptr).
QWidget* KeyTarget();

// KeyTarget() for a test whose window stands beside others: when nothing has the focus, the visible
// top-level window of `windowClass` is activated first. PressIn and TypeIn send keys there.
QWidget* KeyTargetIn(const QMetaObject& windowClass);
void PressIn(const QMetaObject& windowClass, int key, Qt::KeyboardModifiers mods = Qt::NoModifier);
void TypeIn(const QMetaObject& windowClass, const QString& text);

// Types `text` into `w` as key presses; letters beyond ASCII arrive with their key and their text,
// as from a Czech keyboard.
void TypeInto(QWidget* w, const QString& text);

// A key press, or typed text, in the KeyTarget().
void Press(int key, Qt::KeyboardModifiers mods = Qt::NoModifier);
void Type(const QString& text);

// Runs `act` on the next modal window of type T when it opens, after it became active.
template <typename T>
void OnDialog(std::function<void(T*)> act)
{
    OnNextModal([act](QWidget* w) {
        auto* dialog = qobject_cast<T*>(w);
        ASSERT_NE(dialog, nullptr) << w->metaObject()->className();
        ASSERT_TRUE(WaitActive(dialog));
        act(dialog);
    });
}
