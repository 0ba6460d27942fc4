#pragma once

#include <QLoggingCategory>

// Errors of the receipt engine that end an operation with a false result or a message.
Q_DECLARE_LOGGING_CATEGORY(lcReceipts)
