#pragma once

#include "Schema.h"

#include <QList>
#include <QString>
#include <QVariant>

// A filter expression such as "FUH_UCT = '1' AND NOT (SOR_STA <= 0)" turned into a WHERE clause
// with "?" placeholders. Literals never reach the SQL text: each becomes a bound value, typed after the
// field it is compared with. Throws EDatabaseError for an expression it cannot read.
struct TFilterParam {
    const TFieldDef* field = nullptr;
    QVariant literal;  // a QString or a double, as written in the expression
};

struct TParsedFilter {
    QString sql;
    QList<TFilterParam> params;
};

TParsedFilter ParseFilter(const QString& expression, const TTableDef& def);
