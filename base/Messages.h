#pragma once

#include <QString>

#include <functional>

// Every message meant for the operator goes through here. The windows install a handler that shows
// a modal message box; tests install one that records what the operator was told.
enum class TMessageKind { Information, Warning, Error, Confirmation };

using TMessageHandler = std::function<bool(TMessageKind, const QString&)>;

// Shows the text; for a confirmation returns the operator's yes or no (true for the other kinds).
bool ShowMessage(const QString& text, TMessageKind kind = TMessageKind::Information);
inline bool ShowError(const QString& text)
{
    return ShowMessage(text, TMessageKind::Error);
}
inline bool Confirm(const QString& text)
{
    return ShowMessage(text, TMessageKind::Confirmation);
}

// Installs a handler and returns the one it replaces. Without a handler messages go to stderr.
TMessageHandler SetMessageHandler(TMessageHandler handler);
