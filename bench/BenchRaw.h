#pragma once

// Straight SQLite C API helpers shared by the benchmarks: the reference side of every comparison.

#include "Database.h"

#include <sqlite3.h>

#include <string>

[[noreturn]] void Fail(sqlite3* h, const std::string& what);
void Exec(sqlite3* h, const std::string& sql);
sqlite3_stmt* PrepareRaw(sqlite3* h, const std::string& sql);
// A raw connection with the CZECH collation, WAL and synchronous=FULL, as TDatabase::Open sets up its own.
sqlite3* OpenRaw(const std::string& path, bool create);
sqlite3_int64 PragmaValue(sqlite3* h, const std::string& name);
// The C API connection reads with the same settings as the one TDatabase::Open set up.
void MirrorPragmas(sqlite3* from, sqlite3* to);
// The SQLite handle behind a TDatabase of the embedded store.
sqlite3* HandleOf(TDatabase& db);
std::string ColumnText(sqlite3_stmt* q, int c);
void RemoveStoreFiles(const std::string& path);
