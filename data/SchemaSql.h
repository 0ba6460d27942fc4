#pragma once

#include "Database.h"
#include "Schema.h"

#include <QStringList>

// DDL for one table and its named indexes in the given store. Used by the schema tool and the tests;
// the program itself never creates or changes tables.
QStringList CreateTableSql(const TTableDef& def, const QString& tableName, TStoreKind kind,
                           const QString& pgCzechCollation = QStringLiteral("cs-CZ-x-icu"));
bool TableExists(TDatabase& db, const QString& tableName);
// The Czech collation the PostgreSQL server offers: ICU's first, the C library's as a fallback.
QString PgCzechCollation(TDatabase& db);
