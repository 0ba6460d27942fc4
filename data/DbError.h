#pragma once

#include <QString>
#include <stdexcept>

// The one error type of the store layer: it carries the database client's message (or our own,
// in Czech, where the refusal is ours) so that callers can show it to the operator as it stands.
class EDatabaseError : public std::runtime_error {
public:
    explicit EDatabaseError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString& Message() const noexcept { return m_message; }

private:
    QString m_message;
};
