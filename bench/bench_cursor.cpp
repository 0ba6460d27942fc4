// Cost of one cursor step on the embedded store, against the same statements run through a bare
// QSqlQuery and straight through the SQLite C API, on a journal table of 10,000 and of 1,000,000 rows.
// bench/run prints the summary.
#include "BenchRaw.h"
#include "Database.h"
#include "Schema.h"
#include "SchemaSql.h"
#include "Table.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

const QString kPrefix = u"DEN"_s;
const QString kIndex = u"KAV"_s;
constexpr int kVariants = 4;     // variants per card
constexpr int kRowsPerKey = 50;  // journal rows per (card, variant)
constexpr int kMaxCards = 5000;
constexpr int kFillVersion = 1;  // bump when the generated data changes
constexpr int kWalk = 1000;      // Next steps before the cursor goes back to the middle
constexpr size_t kKeyCount = 1024;

const TTableDef& Def()
{
    return TableDef(kPrefix);
}
QString TableName()
{
    return TableNameFor(Def(), u"0001"_s);
}
int CardsFor(int rows)
{
    return std::clamp(rows / (kVariants * kRowsPerKey), 1, kMaxCards);
}
// Existing cards are even numbers, so an odd code is a key that FindNearest has to step over.
std::string CardCode(int n)
{
    char b[16];
    std::snprintf(b, sizeof b, "%06d", n);
    return b;
}
std::string VariantCode(int n)
{
    char b[16];
    std::snprintf(b, sizeof b, "%03d", n);
    return b;
}

std::vector<std::string> ExpectedDdl()
{
    std::vector<std::string> out;
    for (const QString& s : CreateTableSql(Def(), TableName(), TStoreKind::Sqlite))
        out.push_back(s.toStdString());
    return out;
}

// The cached file is reused when it holds this schema, this fill and this many rows.
bool CachedStoreUsable(const std::string& path, int rows)
{
    if (!QFile::exists(QString::fromStdString(path)))
        return false;
    sqlite3* h = nullptr;
    bool ok = false;
    try {
        h = OpenRaw(path, false);
        const std::string table = TableName().toLower().toStdString();
        std::set<std::string> stored;
        sqlite3_stmt* s =
            PrepareRaw(h, "SELECT sql FROM sqlite_master WHERE tbl_name = ? AND sql IS NOT NULL");
        sqlite3_bind_text(s, 1, table.c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(s) == SQLITE_ROW)
            stored.insert(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
        sqlite3_finalize(s);
        const std::vector<std::string> ddl = ExpectedDdl();
        ok = stored == std::set<std::string>(ddl.begin(), ddl.end());
        s = PrepareRaw(h, "PRAGMA user_version");
        ok = ok && sqlite3_step(s) == SQLITE_ROW && sqlite3_column_int(s, 0) == kFillVersion;
        sqlite3_finalize(s);
        if (ok) {
            // Rows numbered 1..rows without gaps: the fill finished.
            s = PrepareRaw(h, "SELECT min(\"DEN_RAD\"), max(\"DEN_RAD\") FROM \"" + table + '"');
            ok = sqlite3_step(s) == SQLITE_ROW && sqlite3_column_int64(s, 0) == 1 &&
                 sqlite3_column_int64(s, 1) == rows;
            sqlite3_finalize(s);
        }
    } catch (const std::exception&) {
        ok = false;
    }
    sqlite3_close(h);
    return ok;
}

// Journal rows in time order, each for a random card variant; indexes built after the fill.
void GenerateStore(const std::string& path, int rows)
{
    const std::string part = path + ".part";
    RemoveStoreFiles(part);
    sqlite3* h = OpenRaw(part, true);
    Exec(h, "PRAGMA synchronous=OFF");
    const std::vector<std::string> ddl = ExpectedDdl();
    Exec(h, ddl[0]);

    const TTableDef& def = Def();
    std::vector<const TFieldDef*> cols;
    std::string names, marks;
    for (const TFieldDef& f : def.fields) {
        if (f.calculated || f.type == TFieldType::AutoInc)
            continue;
        names += (cols.empty() ? "" : ", ") + TDatabase::Quote(f.name).toStdString();
        marks += cols.empty() ? "?" : ", ?";
        cols.push_back(&f);
    }
    sqlite3_stmt* ins = PrepareRaw(h, "INSERT INTO " + TDatabase::TableSql(TableName()).toStdString() + " (" +
                                          names + ") VALUES (" + marks + ")");
    std::mt19937_64 rng(20240601 + rows);
    const int cards = CardsFor(rows);
    const QDate start(2020, 1, 1);
    std::string day;
    int lastDay = -1;
    char text[64];
    Exec(h, "BEGIN");
    for (int i = 0; i < rows; ++i) {
        const int d = int(qint64(i) * 1826 / rows);
        if (d != lastDay) {
            day = start.addDays(d).toString(u"yyyy-MM-dd"_s).toStdString();
            lastDay = d;
        }
        const int card = 2 * int(rng() % cards) + 2;
        const int variant = int(rng() % kVariants) + 1;
        sqlite3_reset(ins);
        for (int c = 0; c < int(cols.size()); ++c) {
            const TFieldDef& f = *cols[c];
            const int p = c + 1;
            if (f.name == u"DEN_KAV") {
                sqlite3_bind_text(ins, p, CardCode(card).c_str(), -1, SQLITE_TRANSIENT);
            } else if (f.name == u"DEN_IND") {
                sqlite3_bind_text(ins, p, VariantCode(variant).c_str(), -1, SQLITE_TRANSIENT);
            } else if (f.name == u"DEN_DOK") {
                std::snprintf(text, sizeof text, "P%09d", i / 5);  // about five lines per receipt
                sqlite3_bind_text(ins, p, text, -1, SQLITE_TRANSIENT);
            } else {
                switch (f.type) {
                case TFieldType::Date:
                    sqlite3_bind_text(ins, p, day.c_str(), -1, SQLITE_TRANSIENT);
                    break;
                case TFieldType::DateTime:
                    sqlite3_bind_text(ins, p, (day + " 12:00:00.000").c_str(), -1, SQLITE_TRANSIENT);
                    break;
                case TFieldType::Time:
                    std::snprintf(text, sizeof text, "%02d:%02d:%02d", int(8 + i % 12), int(i % 60),
                                  int(i * 7 % 60));
                    sqlite3_bind_text(ins, p, text, -1, SQLITE_TRANSIENT);
                    break;
                case TFieldType::Float:
                    sqlite3_bind_double(ins, p, double(rng() % 100000) / 100.0);
                    break;
                case TFieldType::String: {
                    const int size = std::clamp(f.size, 1, 10);
                    std::snprintf(text, sizeof text, "%0*d", size, int(rng() % 1000));
                    sqlite3_bind_text(ins, p, text, size, SQLITE_TRANSIENT);
                    break;
                }
                default:
                    sqlite3_bind_int(ins, p, int(rng() % 2));
                }
            }
        }
        if (sqlite3_step(ins) != SQLITE_DONE)
            Fail(h, "insert");
    }
    sqlite3_finalize(ins);
    Exec(h, "COMMIT");
    Exec(h, "BEGIN");
    for (size_t i = 1; i < ddl.size(); ++i)
        Exec(h, ddl[i]);
    Exec(h, "PRAGMA user_version=" + std::to_string(kFillVersion));
    Exec(h, "COMMIT");
    Exec(h, "PRAGMA wal_checkpoint(TRUNCATE)");
    sqlite3_close(h);
    RemoveStoreFiles(path);
    if (!QFile::rename(QString::fromStdString(part), QString::fromStdString(path)))
        throw std::runtime_error("cannot rename " + part);
    RemoveStoreFiles(part);
}

// Every SELECT the cursor's connection runs while tracing is on.
std::vector<std::string> g_selects;

int TraceSelect(unsigned type, void*, void* p, void*)
{
    if (type == SQLITE_TRACE_STMT) {
        const char* sql = sqlite3_sql(static_cast<sqlite3_stmt*>(p));
        if (sql && std::strncmp(sql, "SELECT", 6) == 0)
            g_selects.emplace_back(sql);
    }
    return 0;
}

// One key value as the C API binds it.
struct KeyValue {
    bool integer = false;
    std::string text;
    sqlite3_int64 number = 0;
};
using RawKey = std::vector<KeyValue>;

// Binds as many leading key values as the statement has parameters: the key of a step or a search,
// or its part before the identity.
void BindKey(sqlite3_stmt* q, const RawKey& key)
{
    const int n = sqlite3_bind_parameter_count(q);
    for (int i = 0; i < n && i < int(key.size()); ++i) {
        if (key[i].integer)
            sqlite3_bind_int64(q, i + 1, key[i].number);
        else
            sqlite3_bind_text(q, i + 1, key[i].text.data(), int(key[i].text.size()), SQLITE_STATIC);
    }
}

QVariantList CursorKey(const RawKey& key)
{
    QVariantList out;
    for (const KeyValue& v : key)
        out << (v.integer ? QVariant(qint64(v.number)) : QVariant(QString::fromStdString(v.text)));
    return out;
}

// A row of the C API statement kept as the cursor keeps it: every column copied out.
struct RawRow {
    std::vector<std::string> text;
    std::vector<double> real;
    std::vector<sqlite3_int64> integer;

    void Read(sqlite3_stmt* s)
    {
        const int n = sqlite3_column_count(s);
        if (int(text.size()) != n) {
            text.assign(n, std::string());
            real.assign(n, 0);
            integer.assign(n, 0);
        }
        for (int c = 0; c < n; ++c) {
            switch (sqlite3_column_type(s, c)) {
            case SQLITE_INTEGER:
                integer[c] = sqlite3_column_int64(s, c);
                break;
            case SQLITE_FLOAT:
                real[c] = sqlite3_column_double(s, c);
                break;
            case SQLITE_TEXT:
                text[c].assign(reinterpret_cast<const char*>(sqlite3_column_text(s, c)),
                               size_t(sqlite3_column_bytes(s, c)));
                break;
            default:
                text[c].clear();
            }
        }
    }
};

enum Op { kFirst, kLast, kNext, kFindKey, kNearest, kOpCount };
const char* const kOpNames[kOpCount] = {"First", "Last", "Next", "FindKey", "FindNearest"};

// One index of the table: a cursor standing on it and, per operation, the statements that cursor
// sent (a step may send two), prepared on the raw connection and as bare QSqlQuery.
struct Nav {
    QString index;
    std::vector<std::string> keyFields;  // index fields, then the identity
    std::unique_ptr<TTable> table;
    qint64 middleId = 0;
    RawKey middleKey;
    std::vector<std::string> sql[kOpCount];
    std::vector<sqlite3_stmt*> stmt[kOpCount];
    std::vector<std::unique_ptr<QSqlQuery>> qt[kOpCount];
    std::vector<int> params[kOpCount];  // bound values per statement
    std::vector<int> keyColumns;        // where the key fields sit in the select list

    ~Nav()
    {
        for (auto& list : stmt)
            for (sqlite3_stmt* q : list)
                sqlite3_finalize(q);
    }
};

struct Store {
    int rows = 0;
    std::string path;
    TCommsEngine engine;
    std::unique_ptr<TSession> session;
    std::unique_ptr<TDatabase> db;
    sqlite3* raw = nullptr;
    std::unique_ptr<Nav> kavNav = std::make_unique<Nav>(), datNav = std::make_unique<Nav>();
    Nav& kav = *kavNav;
    Nav& dat = *datNav;
    std::vector<RawKey> keys;      // existing (card, variant)
    std::vector<RawKey> nearKeys;  // any card code, variants from 000: found or stepped over
    std::vector<QVariantList> cursorKeys, cursorNearKeys;

    ~Store()
    {
        kavNav.reset();  // statements and cursors before their connections
        datNav.reset();
        sqlite3_close(raw);
        db.reset();
    }
};

// The record in the middle of the index order, and the last record of its key.
void FindMiddle(Store& s, Nav& nav, qint64& lastOfKey)
{
    const std::string table = TDatabase::TableSql(TableName()).toStdString();
    std::string cols, order, eq;
    for (size_t i = 0; i + 1 < nav.keyFields.size(); ++i) {
        cols += ", \"" + nav.keyFields[i] + '"';
        eq += std::string(i ? " AND " : "") + '"' + nav.keyFields[i] + "\" = ?";
    }
    order = cols.substr(2) + ", \"DEN_RAD\"";
    sqlite3_stmt* q = PrepareRaw(
        s.raw, "SELECT \"DEN_RAD\"" + cols + " FROM " + table + " ORDER BY " + order + " LIMIT 1 OFFSET ?");
    sqlite3_bind_int(q, 1, s.rows / 2);
    if (sqlite3_step(q) != SQLITE_ROW)
        Fail(s.raw, "middle record");
    nav.middleId = sqlite3_column_int64(q, 0);
    nav.middleKey.clear();
    for (size_t i = 0; i + 1 < nav.keyFields.size(); ++i)
        nav.middleKey.push_back(KeyValue{false, ColumnText(q, int(i) + 1), 0});
    nav.middleKey.push_back(KeyValue{true, {}, nav.middleId});
    sqlite3_finalize(q);
    q = PrepareRaw(s.raw, "SELECT max(\"DEN_RAD\") FROM " + table + " WHERE " + eq);
    BindKey(q, nav.middleKey);
    if (sqlite3_step(q) != SQLITE_ROW)
        Fail(s.raw, "last record of a key");
    lastOfKey = sqlite3_column_int64(q, 0);
    sqlite3_finalize(q);
}

// Runs each operation once on the cursor and keeps the statements it sent.
void CaptureStatements(Store& s, Nav& nav, bool allOps)
{
    nav.table = std::make_unique<TTable>(*s.db, Def());
    nav.table->SetTableName(TableName());
    nav.table->Open();
    nav.table->SetIndexName(nav.index);
    qint64 lastOfKey = 0;
    FindMiddle(s, nav, lastOfKey);
    TTable& t = *nav.table;
    sqlite3* qtHandle = HandleOf(*s.db);
    auto capture = [&](Op op, auto&& step) {
        g_selects.clear();
        sqlite3_trace_v2(qtHandle, SQLITE_TRACE_STMT, TraceSelect, nullptr);
        step();
        sqlite3_trace_v2(qtHandle, 0, nullptr, nullptr);
        if (g_selects.empty())
            throw std::runtime_error(std::string("no statement seen for ") + kOpNames[op]);
        nav.sql[op] = g_selects;
    };
    if (allOps) {
        capture(kFirst, [&] { t.First(); });
        capture(kLast, [&] { t.Last(); });
        capture(kFindKey, [&] { t.FindKey(s.cursorKeys[0]); });
        capture(kNearest, [&] { t.FindNearest(s.cursorNearKeys[0]); });
    }
    // From the last record of a key, so that a step that looks within the key first shows both statements.
    t.GotoBookmark(TBookmark{lastOfKey, true});
    capture(kNext, [&] { t.Next(); });

    for (int op = 0; op < kOpCount; ++op) {
        for (const std::string& sql : nav.sql[op]) {
            nav.stmt[op].push_back(PrepareRaw(s.raw, sql));
            nav.params[op].push_back(sqlite3_bind_parameter_count(nav.stmt[op].back()));
            // The traced text shows Qt's numbered markers; QSqlQuery takes them as "?".
            QString qtSql = QString::fromStdString(sql);
            qtSql.replace(QRegularExpression(u":\\d+"_s), u"?"_s);
            auto q = std::make_unique<QSqlQuery>(s.db->Sql());
            q->setForwardOnly(true);
            if (!q->prepare(qtSql))
                throw std::runtime_error("QSqlQuery::prepare: " + sql);
            nav.qt[op].push_back(std::move(q));
        }
    }
    sqlite3_stmt* probe = nav.stmt[kNext].front();
    for (const std::string& field : nav.keyFields) {
        int at = -1;
        for (int c = 0; c < sqlite3_column_count(probe) && at < 0; ++c)
            if (field == sqlite3_column_name(probe, c))
                at = c;
        if (at < 0)
            throw std::runtime_error("key column " + field + " missing from the select list");
        nav.keyColumns.push_back(at);
    }
}

std::unique_ptr<Store> OpenStore(const QString& dir, int rows)
{
    auto s = std::make_unique<Store>();
    s->rows = rows;
    const QString alias = u"korvanta-bench-%1"_s.arg(rows);
    s->path = QDir(dir).filePath(alias + u".db"_s).toStdString();
    if (!CachedStoreUsable(s->path, rows)) {
        std::fprintf(stderr, "kv_bench: generating %s (%d rows)...\n", s->path.c_str(), rows);
        GenerateStore(s->path, rows);
    }

    s->engine.Protocol = u"LOCAL"_s;
    s->engine.SetActive(true);
    s->session = std::make_unique<TSession>(s->engine);
    s->session->Open();
    s->db = std::make_unique<TDatabase>(*s->session);
    s->db->Directory = dir;
    s->db->AliasName = alias;
    s->db->Open();
    s->raw = OpenRaw(s->path, false);
    MirrorPragmas(HandleOf(*s->db), s->raw);

    // Keys picked from the data itself, the same sequence for the cursor and for the C API.
    const std::string table = TDatabase::TableSql(TableName()).toStdString();
    std::mt19937_64 rng(7);
    sqlite3_stmt* q =
        PrepareRaw(s->raw, "SELECT \"DEN_KAV\", \"DEN_IND\" FROM " + table + " WHERE \"DEN_RAD\" = ?");
    while (s->keys.size() < kKeyCount) {
        sqlite3_reset(q);
        sqlite3_bind_int64(q, 1, sqlite3_int64(rng() % rows) + 1);
        if (sqlite3_step(q) != SQLITE_ROW)
            Fail(s->raw, "key sample");
        s->keys.push_back(RawKey{KeyValue{false, ColumnText(q, 0), 0}, KeyValue{false, ColumnText(q, 1), 0}});
    }
    sqlite3_finalize(q);
    const int cards = CardsFor(rows);
    while (s->nearKeys.size() < kKeyCount)
        s->nearKeys.push_back(RawKey{KeyValue{false, CardCode(int(rng() % (2 * cards - 1)) + 1), 0},
                                     KeyValue{false, VariantCode(int(rng() % kVariants)), 0}});
    for (const RawKey& k : s->keys)
        s->cursorKeys.push_back(CursorKey(k));
    for (const RawKey& k : s->nearKeys)
        s->cursorNearKeys.push_back(CursorKey(k));

    s->kav.index = kIndex;
    s->kav.keyFields = {"DEN_KAV", "DEN_IND", "DEN_RAD"};
    CaptureStatements(*s, s->kav, true);
    // Many records per date: shows whether a step inside one key costs more as the key grows.
    s->dat.index = u"DAT"_s;
    s->dat.keyFields = {"DEN_DAT", "DEN_RAD"};
    CaptureStatements(*s, s->dat, false);
    return s;
}

// EXPLAIN QUERY PLAN of one statement; OK when every access goes through an index and nothing is sorted.
std::string PlanOf(sqlite3* h, const std::string& sql)
{
    sqlite3_stmt* q = PrepareRaw(h, "EXPLAIN QUERY PLAN " + sql);
    std::string detail, verdict = "OK";
    while (sqlite3_step(q) == SQLITE_ROW) {
        const std::string line = ColumnText(q, 3);
        detail += (detail.empty() ? "" : "; ") + line;
        if (line.find("TEMP B-TREE") != std::string::npos)
            verdict = "SORTS";
        else if ((line.rfind("SCAN", 0) == 0 || line.rfind("SEARCH", 0) == 0) &&
                 line.find("USING") == std::string::npos)
            verdict = "FULL SCAN";
    }
    sqlite3_finalize(q);
    return verdict + " | " + detail;
}

void Check(benchmark::State& st, bool ok, const char* what)
{
    if (!ok)
        st.SkipWithError(what);
}

// --- the cursor -------------------------------------------------------------------------------------

void CursorOp(benchmark::State& st, Store* s, Op op)
{
    TTable& t = *s->kav.table;
    size_t i = 0;
    bool all = true;
    switch (op) {
    case kFirst:
        for (auto _ : st)
            t.First();
        break;
    case kLast:
        for (auto _ : st)
            t.Last();
        break;
    case kFindKey:
        for (auto _ : st)
            all &= t.FindKey(s->cursorKeys[i++ % kKeyCount]);
        break;
    case kNearest:
        for (auto _ : st)
            t.FindNearest(s->cursorNearKeys[i++ % kKeyCount]);
        break;
    default:
        break;
    }
    Check(st, all && t.HasRecord(), "no record");
}

// Steps forward from the middle of the order, going back there every kWalk steps (untimed).
void CursorNext(benchmark::State& st, Nav* nav)
{
    TTable& t = *nav->table;
    t.GotoBookmark(TBookmark{nav->middleId, true});
    int walked = 0;
    for (auto _ : st) {
        t.Next();
        if (++walked == kWalk) {
            st.PauseTiming();
            if (t.Eof())
                st.SkipWithError("ran off the end");
            t.GotoBookmark(TBookmark{nav->middleId, true});
            walked = 0;
            st.ResumeTiming();
        }
    }
    Check(st, !t.Eof(), "ran off the end");
}

// --- the same statements through the C API -------------------------------------------------------------

// Runs the statements of one operation in turn until one yields a row, as the cursor does.
bool RunRaw(const std::vector<sqlite3_stmt*>& stmts, const RawKey* key, RawRow& row)
{
    for (sqlite3_stmt* q : stmts) {
        if (key)
            BindKey(q, *key);
        const bool found = sqlite3_step(q) == SQLITE_ROW;
        if (found)
            row.Read(q);
        sqlite3_reset(q);
        if (found)
            return true;
    }
    return false;
}

void RawOp(benchmark::State& st, Store* s, Op op)
{
    const std::vector<sqlite3_stmt*>& stmts = s->kav.stmt[op];
    const std::vector<RawKey>* keys = op == kFindKey ? &s->keys : op == kNearest ? &s->nearKeys : nullptr;
    RawRow row;
    size_t i = 0;
    bool all = true;
    for (auto _ : st)
        all &= RunRaw(stmts, keys ? &(*keys)[i++ % kKeyCount] : nullptr, row);
    Check(st, all, "no row");
}

void RawNext(benchmark::State& st, Nav* nav)
{
    RawRow row;
    RawKey key = nav->middleKey;
    int walked = 0;
    bool all = true;
    for (auto _ : st) {
        all &= RunRaw(nav->stmt[kNext], &key, row);
        for (size_t k = 0; k < key.size(); ++k) {
            const int c = nav->keyColumns[k];
            if (key[k].integer)
                key[k].number = row.integer[c];
            else
                key[k].text = row.text[c];
        }
        if (++walked == kWalk) {
            key = nav->middleKey;
            walked = 0;
        }
    }
    Check(st, all, "ran off the end");
}

// --- the same statements through a bare QSqlQuery: what the Qt driver adds ---------------------------

bool RunQt(const Nav& nav, Op op, const QVariantList* key, QVector<QVariant>& row)
{
    for (size_t n = 0; n < nav.qt[op].size(); ++n) {
        QSqlQuery* q = nav.qt[op][n].get();
        if (key)
            for (int i = 0; i < nav.params[op][n] && i < key->size(); ++i)
                q->bindValue(i, (*key)[i]);
        if (!q->exec())
            return false;
        const bool found = q->next();
        if (found) {
            row.resize(q->record().count());
            for (int c = 0; c < row.size(); ++c)
                row[c] = q->value(c);
        }
        q->finish();
        if (found)
            return true;
    }
    return false;
}

void QtOp(benchmark::State& st, Store* s, Op op)
{
    const std::vector<QVariantList>* keys = op == kFindKey   ? &s->cursorKeys
                                            : op == kNearest ? &s->cursorNearKeys
                                                             : nullptr;
    QVector<QVariant> row;
    size_t i = 0;
    bool all = true;
    if (op == kNext) {
        QVariantList key = CursorKey(s->kav.middleKey);
        int walked = 0;
        for (auto _ : st) {
            if (!RunQt(s->kav, op, &key, row)) {
                all = false;
                break;
            }
            for (int k = 0; k < key.size(); ++k)
                key[k] = row[s->kav.keyColumns[k]];
            if (++walked == kWalk) {
                key = CursorKey(s->kav.middleKey);
                walked = 0;
            }
        }
    } else {
        for (auto _ : st)
            all &= RunQt(s->kav, op, keys ? &(*keys)[i++ % kKeyCount] : nullptr, row);
    }
    Check(st, all, "no row");
}

// A table as a form opens it: fresh cursor, index chosen, straight to the end.
void OpenLast(benchmark::State& st, Store* s)
{
    bool all = true;
    for (auto _ : st) {
        TTable t(*s->db, Def());
        t.SetTableName(TableName());
        t.Open();
        t.SetIndexName(kIndex);
        t.Last();
        all &= t.HasRecord();
    }
    Check(st, all, "empty");
}

std::vector<int> ParseRows(int& argc, char** argv)
{
    std::vector<int> rows{10000, 1000000};
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--rows=", 7) != 0)
            continue;
        rows.clear();
        for (const QString& n : QString::fromLocal8Bit(argv[i] + 7).split(u',', Qt::SkipEmptyParts))
            rows.push_back(n.toInt());
        for (int j = i; j + 1 < argc; ++j)
            argv[j] = argv[j + 1];
        --argc;
        --i;
    }
    return rows;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<int> sizes = ParseRows(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    QCoreApplication app(argc, argv);
    const QString dir = qEnvironmentVariableIsSet("KORVANTA_BENCH_DIR")
                            ? qEnvironmentVariable("KORVANTA_BENCH_DIR")
                            : QDir::tempPath();
    std::map<int, std::unique_ptr<Store>> stores;
    try {
        for (int rows : sizes) {
            if (rows <= 0)
                throw std::runtime_error("--rows takes positive row counts");
            stores[rows] = OpenStore(dir, rows);
        }
    } catch (const EDatabaseError& e) {
        std::fprintf(stderr, "kv_bench: %s\n", qUtf8Printable(e.Message()));
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kv_bench: %s\n", e.what());
        return 1;
    }

    for (auto& [rows, store] : stores) {
        Store* s = store.get();
        const std::string n = std::to_string(rows);
        if (store == stores.begin()->second) {
            std::string settings;
            for (const char* name : {"journal_mode", "synchronous", "cache_size", "mmap_size"}) {
                sqlite3_stmt* q = PrepareRaw(HandleOf(*s->db), std::string("PRAGMA ") + name);
                settings += std::string(settings.empty() ? "" : ", ") + name + "=" +
                            (sqlite3_step(q) == SQLITE_ROW ? ColumnText(q, 0) : "?");
                sqlite3_finalize(q);
            }
            benchmark::AddCustomContext("store settings", settings);
        }
        for (int op = 0; op < kOpCount; ++op) {
            for (size_t k = 0; k < s->kav.sql[op].size(); ++k) {
                const std::string key =
                    std::string(kOpNames[op]) + (k ? " (" + std::to_string(k + 1) + ")" : "");
                benchmark::AddCustomContext("sql " + n + " " + key, s->kav.sql[op][k]);
                benchmark::AddCustomContext("plan " + n + " " + key, PlanOf(s->raw, s->kav.sql[op][k]));
            }
        }
        for (size_t k = 0; k < s->dat.sql[kNext].size(); ++k) {
            const std::string key = std::string("Next DAT") + (k ? " (" + std::to_string(k + 1) + ")" : "");
            benchmark::AddCustomContext("sql " + n + " " + key, s->dat.sql[kNext][k]);
            benchmark::AddCustomContext("plan " + n + " " + key, PlanOf(s->raw, s->dat.sql[kNext][k]));
        }
        auto reg = [&](const std::string& name, auto fn) {
            benchmark::RegisterBenchmark((name + "/" + n).c_str(), fn)->Unit(benchmark::kNanosecond);
        };
        for (Op op : {kFirst, kLast, kNext, kFindKey, kNearest}) {
            const std::string name = kOpNames[op];
            if (op == kNext)
                reg("cursor/Next", [s](benchmark::State& st) { CursorNext(st, &s->kav); });
            else
                reg("cursor/" + name, [s, op](benchmark::State& st) { CursorOp(st, s, op); });
            if (op == kNext)
                reg("capi/Next", [s](benchmark::State& st) { RawNext(st, &s->kav); });
            else
                reg("capi/" + name, [s, op](benchmark::State& st) { RawOp(st, s, op); });
            reg("qsql/" + name, [s, op](benchmark::State& st) { QtOp(st, s, op); });
        }
        reg("cursor/NextDAT", [s](benchmark::State& st) { CursorNext(st, &s->dat); });
        reg("capi/NextDAT", [s](benchmark::State& st) { RawNext(st, &s->dat); });
        reg("open_last", [s](benchmark::State& st) { OpenLast(st, s); });
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
