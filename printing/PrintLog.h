#pragma once

#include <QLoggingCategory>

// The printing library's log category, "korvanta.print".
Q_DECLARE_LOGGING_CATEGORY(lcPrint)
