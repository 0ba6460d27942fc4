#include "DataLog.h"

Q_LOGGING_CATEGORY(lcData, "korvanta.data")
