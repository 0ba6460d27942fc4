#include "BenchRaw.h"

#include <QFile>
#include <QSqlDriver>
#include <QVariant>

#include <stdexcept>

namespace {

int CzechCollation(void*, int len1, const void* s1, int len2, const void* s2)
{
    return CompareCzech(QString::fromRawData(static_cast<const QChar*>(s1), len1 / 2),
                        QString::fromRawData(static_cast<const QChar*>(s2), len2 / 2));
}

}  // namespace

void Fail(sqlite3* h, const std::string& what)
{
    throw std::runtime_error(what + ": " + (h ? sqlite3_errmsg(h) : "no connection"));
}

void Exec(sqlite3* h, const std::string& sql)
{
    char* err = nullptr;
    if (sqlite3_exec(h, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        const std::string msg = err ? err : "?";
        sqlite3_free(err);
        throw std::runtime_error(sql + ": " + msg);
    }
}

sqlite3_stmt* PrepareRaw(sqlite3* h, const std::string& sql)
{
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v3(h, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr) != SQLITE_OK)
        Fail(h, sql);
    return s;
}

sqlite3* OpenRaw(const std::string& path, bool create)
{
    sqlite3* h = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(path.c_str(), &h, flags, nullptr) != SQLITE_OK) {
        const std::string msg = h ? sqlite3_errmsg(h) : "out of memory";
        sqlite3_close(h);
        throw std::runtime_error(path + ": " + msg);
    }
    sqlite3_busy_timeout(h, 15000);
    if (sqlite3_create_collation_v2(h, "CZECH", SQLITE_UTF16_ALIGNED, nullptr, CzechCollation, nullptr) !=
        SQLITE_OK)
        Fail(h, "CZECH collation");
    Exec(h, "PRAGMA journal_mode=WAL");
    Exec(h, "PRAGMA synchronous=FULL");
    return h;
}

sqlite3_int64 PragmaValue(sqlite3* h, const std::string& name)
{
    sqlite3_stmt* q = PrepareRaw(h, "PRAGMA " + name);
    const sqlite3_int64 v = sqlite3_step(q) == SQLITE_ROW ? sqlite3_column_int64(q, 0) : 0;
    sqlite3_finalize(q);
    return v;
}

void MirrorPragmas(sqlite3* from, sqlite3* to)
{
    for (const char* name : {"cache_size", "mmap_size", "synchronous", "temp_store"})
        Exec(to, "PRAGMA " + std::string(name) + "=" + std::to_string(PragmaValue(from, name)));
}

sqlite3* HandleOf(TDatabase& db)
{
    const QVariant v = db.Sql().driver()->handle();
    if (!v.isValid() || qstrcmp(v.typeName(), "sqlite3*") != 0)
        throw std::runtime_error("not an SQLite connection");
    return *static_cast<sqlite3* const*>(v.data());
}

std::string ColumnText(sqlite3_stmt* q, int c)
{
    const unsigned char* t = sqlite3_column_text(q, c);
    return t ? reinterpret_cast<const char*>(t) : "";
}

void RemoveStoreFiles(const std::string& path)
{
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(QString::fromStdString(path + suffix));
}
