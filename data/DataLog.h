#pragma once

#include <QLoggingCategory>

// The store layer's log category, "korvanta.data".
Q_DECLARE_LOGGING_CATEGORY(lcData)
