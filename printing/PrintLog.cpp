#include "PrintLog.h"

Q_LOGGING_CATEGORY(lcPrint, "korvanta.print")
