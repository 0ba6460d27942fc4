#pragma once

#include <QLoggingCategory>

// The application frame's log category, "korvanta.app".
Q_DECLARE_LOGGING_CATEGORY(lcApp)
