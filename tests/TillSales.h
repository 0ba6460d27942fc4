#pragma once

// The sales one till makes in the multi-till tests (threads and separate processes alike).

#include "DataUnit.h"

#include <QString>

namespace TillSales {

inline const QString kCards[] = {QStringLiteral("500001"), QStringLiteral("500002")};
inline const QString kVariants[] = {QStringLiteral("001"), QStringLiteral("002")};

// Sells `count` times over both cards and both variants, alternating the two posting operations;
// returns how many postings reported success.
inline int SellMany(TData& data, int till, int count)
{
    int ok = 0;
    for (int i = 0; i < count; ++i) {
        const QString& card = kCards[(i + till) % 2];
        const QString& variant = kVariants[(i / 2) % 2];
        const QString doc = QStringLiteral("T%1-%2").arg(till).arg(i, 5, 10, QLatin1Char('0'));
        const double quantity = -(1 + i % 3);
        const bool posted =
            i % 2
                ? data.ZapisPohybuVar(card, variant, doc, QStringLiteral("005"), 30.0f, 21.0f, quantity)
                : data.ZapisPohybuVarProvize(card, variant, doc, QStringLiteral("005"), QStringLiteral("300"),
                                             i % 4 ? 25.0f : 30.0f, 21.0f, quantity, 30.0f);
        ok += posted ? 1 : 0;
    }
    return ok;
}

}  // namespace TillSales
