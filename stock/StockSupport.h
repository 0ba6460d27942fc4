#pragma once

// Helpers shared by the stock engine's files; not part of any public interface.

#include "DataSet.h"

#include <QLocale>
#include <QLoggingCategory>
#include <QString>

// The stock engine's log category, "korvanta.stock".
Q_DECLARE_LOGGING_CATEGORY(lcStock)

namespace Stock {

// A stock figure for the operator: the shortest general form of at most 15 significant digits, with
// the station's decimal separator (2.9999999999999996 reads "3").
inline QString StockFigure(double v)
{
    return FieldValues::FloatToStr(QString::number(v, 'g', 15).toDouble(), QLocale());
}

inline QString ShortageText(double figure)
{
    return QStringLiteral("Na skladě je pouze ") + StockFigure(figure) + QStringLiteral(" kusů !");
}

}  // namespace Stock
