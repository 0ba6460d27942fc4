#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>

// Acts on the next modal window that opens (a dialog or a message box shown with exec()): `act`
// runs once, inside that window's event loop, and should close it. Gives up after `timeoutMs`.
void OnNextModal(std::function<void(QWidget*)> act, int timeoutMs = 5000);

// Forgets the OnNextModal actions still waiting, so that none acts on a later test's window.
void CancelPendingModals();

// Lets queued work of the windows run (deferred grid updates, posted events).
void ProcessEvents();

// Shows a top-level window and waits until it is active, so that focus and keys behave as on a desktop.
bool ShowAndActivate(QWidget* window);

// Waits until the window is the active window. A dialog opened over an active window does not become
// active by itself on the offscreen platform (its owner counts as active for QTest).
bool WaitActive(QWidget* window);

// The widget that has the keyboard focus, by object name or class for failure messages.
QString FocusName();
