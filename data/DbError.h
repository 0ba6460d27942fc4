#pragma once

#include <QString>
#include <stdexcept>

// The one error type of the store layer: it carries the database client's message (or our own,
// in Czech, where the refusal is ours) so that callers can show it to the operator as it stands.
// `context` names where the error arose (a table component such as "ffLegHla"); it goes to the log
// and to what(), never into the sentence that the operator reads.
class EDatabaseError : public std::runtime_error {
public:
    explicit EDatabaseError(const QString& message, const QString& context = QString())
        : std::runtime_error(
              (context.isEmpty() ? message : context + QStringLiteral(": ") + message).toStdString()),
          m_message(message),
          m_context(context)
    {}
    const QString& Message() const noexcept { return m_message; }
    const QString& Context() const noexcept { return m_context; }

private:
    QString m_message;
    QString m_context;
};
