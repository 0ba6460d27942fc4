// Cost of the stock engine on the embedded store, journal of 1,000,000 rows: one posting with a
// price difference against the same statements run straight through the SQLite C API, the rebuild
// of a card whose variant has 100,000 journal rows (with the longest pause between its progress
// calls), and the loading of a receipt of 50 lines. bench/run prints the summary.
#include "BenchRaw.h"
#include "DataUnit.h"
#include "Database.h"
#include "Messages.h"
#include "Schema.h"
#include "SchemaSql.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QVariant>

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int kFillVersion = 1;         // bump when the generated data changes
constexpr int kHeavyRows = 100000;      // journal rows of the rebuilt card's only variant
constexpr int kBigLines = 50;           // lines of the loaded receipt, each a different card
constexpr int kLinesPerReceipt = 5;     // every other receipt
constexpr int kCards = 5000;            // ordinary cards, codes 200000 upwards
constexpr int kVariants = 4;            // variants "001" to "004" of each ordinary card
constexpr int kPostKeys = 256;          // variants the postings take in turn
constexpr double kOpeningStock = 1000;  // SKL_POC of every variant
const QString kOrg = u"0001"_s;
const std::string kHeavyCard = "100000";
const std::string kHeavyVariant = "001";

// Posting arguments: base price 30, line price 25, one piece sold, so the difference row is written.
constexpr float kBasePrice = 30.0f;
constexpr float kLinePrice = 25.0f;
constexpr float kVatRate = 21.0f;
constexpr double kQuantity = -1;
const std::string kOp = "005";
const std::string kDiffOp = "300";
const std::string kOperator = "JN";

std::string CardCode(int n)
{
    return std::to_string(200000 + n);
}
std::string VariantCode(int n)
{
    char b[8];
    std::snprintf(b, sizeof b, "%03d", n);
    return b;
}
std::string ReceiptNumber(qint64 n)
{
    char b[24];
    std::snprintf(b, sizeof b, "%010lld", static_cast<long long>(n));
    return b;
}
QString Q(const std::string& s)
{
    return QString::fromStdString(s);
}

const TTableDef& Def(const char16_t* prefix)
{
    return TableDef(QString::fromUtf16(prefix));
}
QString NameOf(const TTableDef& def)
{
    return TableNameFor(def, kOrg);
}
std::string TableSql(const TTableDef& def)
{
    return TDatabase::TableSql(NameOf(def)).toStdString();
}
std::string QuoteSql(const QString& ident)
{
    return TDatabase::Quote(ident).toStdString();
}

// --- SQLite C API helpers ----------------------------------------------------------------------------

// A prepared statement that is finalized with its owner.
struct Stmt {
    sqlite3_stmt* s = nullptr;
    Stmt() = default;
    Stmt(sqlite3* h, const std::string& sql) : s(PrepareRaw(h, sql)) {}
    Stmt(Stmt&& o) noexcept : s(o.s) { o.s = nullptr; }
    Stmt& operator=(Stmt&& o) noexcept
    {
        std::swap(s, o.s);
        return *this;
    }
    ~Stmt() { sqlite3_finalize(s); }
    operator sqlite3_stmt*() const { return s; }
};

void BindText(sqlite3_stmt* q, int i, const std::string& v)
{
    sqlite3_bind_text(q, i, v.data(), int(v.size()), SQLITE_TRANSIENT);
}

int ColumnOf(sqlite3_stmt* q, const char* name)
{
    for (int c = 0; c < sqlite3_column_count(q); ++c)
        if (std::strcmp(sqlite3_column_name(q, c), name) == 0)
            return c;
    throw std::runtime_error(std::string("no column ") + name + " in " + sqlite3_sql(q));
}

std::string PragmaText(sqlite3* h, const std::string& name)
{
    Stmt q(h, "PRAGMA " + name);
    return sqlite3_step(q) == SQLITE_ROW ? ColumnText(q, 0) : "?";
}

// --- the generated store -----------------------------------------------------------------------------

const std::vector<const TTableDef*>& StoreDefs()
{
    static const std::vector<const TTableDef*> defs{&Def(u"SOR"), &Def(u"SKL"), &Def(u"DEN")};
    return defs;
}

std::vector<std::string> Ddl(const TTableDef& def)
{
    std::vector<std::string> out;
    for (const QString& s : CreateTableSql(def, NameOf(def), TStoreKind::Sqlite))
        out.push_back(s.toStdString());
    return out;
}

// Journal columns as the cursor inserts them: every stored field but the identity, in field order.
enum Role { kDat, kDok, kKav, kInd, kOpe, kKus, kHpc, kHnc, kDan, kZas, kRef, kPoz, kKdy, kOther };
struct JournalColumns {
    std::vector<Role> roles;
    std::string names, marks;
};
JournalColumns DenColumns()
{
    static const std::map<QString, Role> byName{
        {u"DEN_DAT"_s, kDat}, {u"DEN_DOK"_s, kDok}, {u"DEN_KAV"_s, kKav}, {u"DEN_IND"_s, kInd},
        {u"DEN_OPE"_s, kOpe}, {u"DEN_KUS"_s, kKus}, {u"DEN_HPC"_s, kHpc}, {u"DEN_HNC"_s, kHnc},
        {u"DEN_DAN"_s, kDan}, {u"DEN_ZAS"_s, kZas}, {u"DEN_REF"_s, kRef}, {u"DEN_POZ"_s, kPoz},
        {u"DEN_KDY"_s, kKdy}};
    JournalColumns c;
    for (const TFieldDef& f : Def(u"DEN").fields) {
        if (f.calculated || f.type == TFieldType::AutoInc)
            continue;
        const auto it = byName.find(f.name);
        c.roles.push_back(it == byName.end() ? kOther : it->second);
        c.names += (c.names.empty() ? "" : ", ") + QuoteSql(f.name);
        c.marks += c.marks.empty() ? "?" : ", ?";
    }
    return c;
}

// One journal row's values, bound by role; columns without a value get NULL.
struct JournalRow {
    std::string dat, dok, kav, ind, ope, kdy;
    double kus = 0, hpc = 0, hnc = 0, dan = 0, zas = 0, poz = 0;
    bool hasPoz = false;
};

void BindJournal(sqlite3_stmt* q, const JournalColumns& cols, const JournalRow& r)
{
    for (int c = 0; c < int(cols.roles.size()); ++c) {
        const int p = c + 1;
        switch (cols.roles[c]) {
        case kDat:
            BindText(q, p, r.dat);
            break;
        case kDok:
            BindText(q, p, r.dok);
            break;
        case kKav:
            BindText(q, p, r.kav);
            break;
        case kInd:
            BindText(q, p, r.ind);
            break;
        case kOpe:
            BindText(q, p, r.ope);
            break;
        case kKdy:
            BindText(q, p, r.kdy);
            break;
        case kRef:
            BindText(q, p, kOperator);
            break;
        case kKus:
            sqlite3_bind_double(q, p, r.kus);
            break;
        case kHpc:
            sqlite3_bind_double(q, p, r.hpc);
            break;
        case kHnc:
            sqlite3_bind_double(q, p, r.hnc);
            break;
        case kDan:
            sqlite3_bind_double(q, p, r.dan);
            break;
        case kZas:
            sqlite3_bind_double(q, p, r.zas);
            break;
        case kPoz:
            if (r.hasPoz)
                sqlite3_bind_double(q, p, r.poz);
            else
                sqlite3_bind_null(q, p);
            break;
        default:
            sqlite3_bind_null(q, p);
        }
    }
}

std::string StoreFile(const QString& dir, int rows)
{
    return QDir(dir).filePath(u"korvanta-bench-stock-%1.db"_s.arg(rows)).toStdString();
}

QString AliasOf(int rows)
{
    return u"korvanta-bench-stock-%1"_s.arg(rows);
}

// The big receipt sits in the middle of the journal.
qint64 BigReceipt(int rows)
{
    return rows / 2 / kLinesPerReceipt + 1;
}

// The cached file is reused when it holds these tables, this fill and this many generated journal rows.
bool CachedStoreUsable(const std::string& path, int rows)
{
    if (!QFile::exists(QString::fromStdString(path)))
        return false;
    sqlite3* h = nullptr;
    bool ok = true;
    try {
        h = OpenRaw(path, false);
        for (const TTableDef* def : StoreDefs()) {
            std::set<std::string> stored;
            Stmt s(h, "SELECT sql FROM sqlite_master WHERE tbl_name = ? AND sql IS NOT NULL");
            BindText(s, 1, NameOf(*def).toLower().toStdString());
            while (sqlite3_step(s) == SQLITE_ROW)
                stored.insert(ColumnText(s, 0));
            const std::vector<std::string> ddl = Ddl(*def);
            ok = ok && stored == std::set<std::string>(ddl.begin(), ddl.end());
        }
        ok = ok && PragmaValue(h, "user_version") == kFillVersion;
        if (ok) {
            Stmt s(h, "SELECT count(*) FROM " + TableSql(Def(u"DEN")) + " WHERE \"DEN_RAD\" = ?");
            sqlite3_bind_int(s, 1, rows);
            ok = sqlite3_step(s) == SQLITE_ROW && sqlite3_column_int(s, 0) == 1;
        }
    } catch (const std::exception&) {
        ok = false;
    }
    sqlite3_close(h);
    return ok;
}

// Receipts of five lines in time order, one of 50 lines in the middle. A tenth of the lines (exactly
// kHeavyRows) move the one variant of card 100000, the rest random variants of the ordinary cards.
// Every line carries the variant's stock after it, the stock cards the final figures: the books
// balance, so neither a posting nor the rebuild finds anything to repair.
void GenerateStore(const std::string& path, int rows)
{
    const std::string part = path + ".part";
    RemoveStoreFiles(part);
    sqlite3* h = OpenRaw(part, true);
    Exec(h, "PRAGMA synchronous=OFF");
    Exec(h, "PRAGMA cache_size=-262144");
    const std::vector<std::string> den = Ddl(Def(u"DEN"));
    Exec(h, den[0]);
    for (const char16_t* p : {u"SOR", u"SKL"})
        for (const std::string& sql : Ddl(Def(p)))
            Exec(h, sql);

    const JournalColumns cols = DenColumns();
    Stmt ins(h, "INSERT INTO " + TableSql(Def(u"DEN")) + " (" + cols.names + ") VALUES (" + cols.marks + ")");
    std::mt19937_64 rng(20240611 + rows);
    const int slotCount = kCards * kVariants;
    std::vector<double> stock(slotCount + 1, kOpeningStock);  // slot 0 is the heavy variant
    const QDate start(2020, 1, 1);
    const qint64 big = BigReceipt(rows);
    const qint64 others = rows - kBigLines;  // lines outside the big receipt
    qint64 row = 0, plain = 0, receipt = 0;
    int lastDay = -1;
    JournalRow r;
    char text[32];
    Exec(h, "BEGIN");
    while (row < rows) {
        ++receipt;
        const bool isBig = receipt == big;
        const int lines = isBig ? kBigLines : int(std::min<qint64>(kLinesPerReceipt, rows - row));
        if (!isBig && row + lines > others && receipt < big)
            throw std::runtime_error("journal too short for the big receipt");
        r.dok = ReceiptNumber(receipt);
        for (int k = 0; k < lines; ++k, ++row) {
            int slot;
            if (isBig) {
                slot = 1 + int((receipt * 7 + qint64(k) * 97) % kCards) * kVariants + k % kVariants;
            } else {
                // Spreads exactly kHeavyRows heavy lines evenly over the other lines.
                const bool heavy = (plain + 1) * kHeavyRows / others != plain * kHeavyRows / others;
                ++plain;
                slot = heavy ? 0 : 1 + int(rng() % slotCount);
            }
            const int d = int(row * 1826 / rows);
            if (d != lastDay) {
                r.dat = start.addDays(d).toString(u"yyyy-MM-dd"_s).toStdString();
                lastDay = d;
            }
            std::snprintf(text, sizeof text, "%02d:%02d:%02d", int(8 + row % 12), int(row / 12 % 60),
                          int(row * 7 % 60));
            r.kdy = text;
            r.kav = slot ? CardCode((slot - 1) / kVariants) : kHeavyCard;
            r.ind = slot ? VariantCode((slot - 1) % kVariants + 1) : kHeavyVariant;
            const bool sale = isBig || rng() % 10 != 0;
            r.ope = sale ? "005" : "001";
            r.kus = sale ? -double(1 + rng() % 3) : double(10 + rng() % 21);
            const double price = double(10 + rng() % 490);
            r.hpc = price * r.kus;
            r.hnc = std::round(price * 0.7) * r.kus;
            r.dan = 21;
            stock[slot] += r.kus;
            r.zas = stock[slot];
            sqlite3_reset(ins);
            BindJournal(ins, cols, r);
            if (sqlite3_step(ins) != SQLITE_DONE)
                Fail(h, "journal insert");
        }
    }
    if (plain != others)
        throw std::runtime_error("generator: heavy lines miscounted");

    Stmt skl(h,
             "INSERT INTO " + TableSql(Def(u"SKL")) +
                 " (\"SKL_KAV\", \"SKL_IND\", \"SKL_SNC\", \"SKL_POC\", \"SKL_STA\") VALUES (?, ?, ?, ?, ?)");
    Stmt sor(
        h, "INSERT INTO " + TableSql(Def(u"SOR")) +
               " (\"SOR_KAV\", \"SOR_NAC\", \"SOR_PC1\", \"SOR_STA\", \"SOR_DAN\", \"SOR_SKL\", \"SOR_OLD\","
               " \"SOR_SKU\", \"SOR_PPO\") VALUES (?, ?, ?, ?, 21, 1, 0, ?, '2024-12-31')");
    for (int card = -1; card < kCards; ++card) {
        const std::string kav = card < 0 ? kHeavyCard : CardCode(card);
        double total = 0;
        for (int v = 1; v <= (card < 0 ? 1 : kVariants); ++v) {
            const double sta = stock[card < 0 ? 0 : 1 + card * kVariants + v - 1];
            total += sta;
            sqlite3_reset(skl);
            BindText(skl, 1, kav);
            BindText(skl, 2, VariantCode(v));
            sqlite3_bind_double(skl, 3, double(5 + (card + 7 * v + 1000) % 300));
            sqlite3_bind_double(skl, 4, kOpeningStock);
            sqlite3_bind_double(skl, 5, sta);
            if (sqlite3_step(skl) != SQLITE_DONE)
                Fail(h, "stock card insert");
        }
        sqlite3_reset(sor);
        BindText(sor, 1, kav);
        std::snprintf(text, sizeof text, "%05d", card + 1);
        BindText(sor, 2, card < 0 ? "Karta s dlouhým deníkem" : "Zboží č. " + std::string(text));
        sqlite3_bind_double(sor, 3, double(10 + (card + 1000) % 490));
        sqlite3_bind_double(sor, 4, total);
        std::snprintf(text, sizeof text, "%03d", (card + 1000) % 40);
        BindText(sor, 5, text);
        if (sqlite3_step(sor) != SQLITE_DONE)
            Fail(h, "assortment card insert");
    }
    Exec(h, "COMMIT");
    Exec(h, "BEGIN");
    for (size_t i = 1; i < den.size(); ++i)
        Exec(h, den[i]);
    Exec(h, "PRAGMA user_version=" + std::to_string(kFillVersion));
    Exec(h, "COMMIT");
    Exec(h, "ANALYZE");
    Exec(h, "PRAGMA wal_checkpoint(TRUNCATE)");
    ins = Stmt();
    skl = Stmt();
    sor = Stmt();
    sqlite3_close(h);
    RemoveStoreFiles(path);
    if (!QFile::rename(QString::fromStdString(part), QString::fromStdString(path)))
        throw std::runtime_error("cannot rename " + part);
    RemoveStoreFiles(part);
}

// Takes back what the postings of earlier runs appended: their journal rows go, and the stock cards and
// assortment cards take the figures of what is left.
void ResetPostings(sqlite3* h, int rows)
{
    const std::string den = TableSql(Def(u"DEN")), skl = TableSql(Def(u"SKL")), sor = TableSql(Def(u"SOR"));
    Stmt top(h, "SELECT max(\"DEN_RAD\") FROM " + den);
    if (sqlite3_step(top) != SQLITE_ROW || sqlite3_column_int64(top, 0) <= rows)
        return;
    top = Stmt();
    Exec(h, "BEGIN IMMEDIATE");
    Exec(h, "DELETE FROM " + den + " WHERE \"DEN_RAD\" > " + std::to_string(rows));
    Exec(h, "UPDATE " + skl + " SET \"SKL_STA\" = coalesce((SELECT \"DEN_ZAS\" FROM " + den +
                " WHERE \"DEN_KAV\" = \"SKL_KAV\" AND \"DEN_IND\" = \"SKL_IND\""
                " ORDER BY \"DEN_KAV\" DESC, \"DEN_IND\" DESC, \"DEN_RAD\" DESC LIMIT 1), \"SKL_POC\")");
    Exec(h, "UPDATE " + sor + " SET \"SOR_STA\" = (SELECT total(\"SKL_STA\") FROM " + skl +
                " WHERE \"SKL_KAV\" = \"SOR_KAV\")");
    Exec(h, "COMMIT");
    Exec(h, "PRAGMA wal_checkpoint(TRUNCATE)");
}

// --- what the engine sends ---------------------------------------------------------------------------

std::vector<std::string> g_trace;

int TraceAll(unsigned type, void*, void* p, void*)
{
    if (type == SQLITE_TRACE_STMT)
        if (const char* sql = sqlite3_sql(static_cast<sqlite3_stmt*>(p)))
            g_trace.emplace_back(sql);
    return 0;
}

// Qt may show its own numbered markers; the C API takes them as "?" all the same.
std::string Normalised(const std::string& sql)
{
    static const QRegularExpression marker(u"[:?]\\d+"_s);
    return QString::fromStdString(sql).replace(marker, u"?"_s).toStdString();
}

std::vector<std::string> g_messages;

// --- the store, the data module and the C API connection -----------------------------------------------

struct Key {
    std::string card, variant;
    QString qcard, qvariant;
};

// The statements of one posting written by hand on the C API, the same texts the engine sends.
struct Replay {
    Stmt begin, commit, rollback, sorFind, sklFind, denLatest, insert, sklUpdate, sorUpdate;
    int sorId = 0, sorSkl = 0, sorSta = 0, sorPpo = 0, sklId = 0, sklSta = 0, sklSnc = 0, denZas = 0;
    JournalColumns cols;
    std::vector<std::string> sql;  // in the order run
};

struct Store {
    int rows = 0;
    std::string path, bigDoc;
    QString dir;
    std::unique_ptr<TData> data;
    sqlite3* raw = nullptr;
    std::vector<Key> keys;
    Replay replay;
    std::vector<std::string> engineSql;  // one posting of the engine, every statement in order
    qint64 docCounter = 0;

    ~Store()
    {
        replay = Replay();
        sqlite3_close(raw);
        data.reset();
    }
    std::string NextDoc() { return "B" + ReceiptNumber(++docCounter).substr(1); }
};

// Select list of the cursor: the identity, then every stored field.
std::string SelectOf(const TTableDef& def)
{
    std::string cols = QuoteSql(def.IdentityColumn());
    for (const TFieldDef& f : def.fields)
        if (!f.calculated && f.type != TFieldType::AutoInc)
            cols += ", " + QuoteSql(f.name);
    return "SELECT " + cols + " FROM " + TableSql(def);
}

void BuildReplay(Store& s)
{
    Replay& r = s.replay;
    const TTableDef &sor = Def(u"SOR"), &skl = Def(u"SKL"), &den = Def(u"DEN");
    r.cols = DenColumns();
    const std::string id = QuoteSql(sor.IdentityColumn());
    const std::vector<std::pair<Stmt*, std::string>> texts{
        {&r.begin, "BEGIN IMMEDIATE"},
        {&r.sorFind, SelectOf(sor) + " WHERE \"SOR_KAV\" = ? ORDER BY \"SOR_KAV\" LIMIT 1"},
        {&r.sklFind,
         SelectOf(skl) +
             " WHERE \"SKL_KAV\" = ? AND \"SKL_IND\" = ? ORDER BY \"SKL_KAV\", \"SKL_IND\" LIMIT 1"},
        {&r.denLatest, SelectOf(den) +
                           " WHERE \"DEN_KAV\" = ? AND \"DEN_IND\" = ?"
                           " ORDER BY \"DEN_KAV\" DESC, \"DEN_IND\" DESC, \"DEN_RAD\" DESC LIMIT 1"},
        {&r.insert, "INSERT INTO " + TableSql(den) + " (" + r.cols.names + ") VALUES (" + r.cols.marks + ")"},
        {&r.sklUpdate,
         "UPDATE " + TableSql(skl) + " SET \"SKL_STA\" = ? WHERE " + id + " = ? AND \"SKL_STA\" IS ?"},
        {&r.sorUpdate, "UPDATE " + TableSql(sor) + " SET \"SOR_STA\" = ?, \"SOR_PPO\" = ? WHERE " + id +
                           " = ? AND \"SOR_STA\" IS ? AND \"SOR_PPO\" IS ?"},
        {&r.commit, "COMMIT"},
    };
    // The replay must run what the engine runs: every text has to be among the statements it sent. A
    // write may have rows come back ("RETURNING ..."); the replay then asks for the same.
    std::set<std::string> sent;
    for (const std::string& sql : s.engineSql)
        sent.insert(Normalised(sql));
    for (const auto& [stmt, text] : texts) {
        std::string sql = text;
        for (const std::string& e : sent)
            if (!sent.count(text) && e.rfind(text + " RETURNING ", 0) == 0)
                sql = e;
        if (!sent.count(sql))
            throw std::runtime_error("the engine no longer sends: " + sql);
        *stmt = Stmt(s.raw, sql);
        r.sql.push_back(sql);
        if (stmt == &r.insert)
            r.sql.push_back(sql);  // the movement row, then the difference row
    }
    r.rollback = Stmt(s.raw, "ROLLBACK");
    r.sorId = ColumnOf(r.sorFind, "REC_ID");
    r.sorSkl = ColumnOf(r.sorFind, "SOR_SKL");
    r.sorSta = ColumnOf(r.sorFind, "SOR_STA");
    r.sorPpo = ColumnOf(r.sorFind, "SOR_PPO");
    r.sklId = ColumnOf(r.sklFind, "REC_ID");
    r.sklSta = ColumnOf(r.sklFind, "SKL_STA");
    r.sklSnc = ColumnOf(r.sklFind, "SKL_SNC");
    r.denZas = ColumnOf(r.denLatest, "DEN_ZAS");
}

bool EnginePost(Store& s, const Key& k)
{
    return s.data->ZapisPohybuVarProvize(k.qcard, k.qvariant, Q(s.NextDoc()), Q(kOp), Q(kDiffOp), kLinePrice,
                                         kVatRate, kQuantity, kBasePrice);
}

// Runs a write to its end, past any rows it returns; the number of rows it changed.
int Write(sqlite3* h, sqlite3_stmt* q)
{
    int rc;
    while ((rc = sqlite3_step(q)) == SQLITE_ROW) {}
    if (rc != SQLITE_DONE) {
        const std::string msg = sqlite3_errmsg(h);
        sqlite3_reset(q);
        throw std::runtime_error(std::string(sqlite3_sql(q)) + ": " + msg);
    }
    const int changed = sqlite3_changes(h);
    sqlite3_reset(q);
    return changed;
}

void Step(sqlite3* h, sqlite3_stmt* q, int expect)
{
    const int rc = sqlite3_step(q);
    if (rc != expect) {
        const std::string msg = sqlite3_errmsg(h);
        sqlite3_reset(q);
        throw std::runtime_error(std::string(sqlite3_sql(q)) + ": " + msg);
    }
}

// One posting on the C API: the card, the variant and the variant's latest journal row read inside the
// transaction, the movement row and the difference row, the variant's and the card's stock, commit.
void RawPost(Store& s, const Key& k)
{
    Replay& r = s.replay;
    sqlite3* h = s.raw;
    char today[16], now[16];
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    std::strftime(today, sizeof today, "%Y-%m-%d", &tm);
    std::strftime(now, sizeof now, "%H:%M:%S", &tm);
    const std::string doc = s.NextDoc();

    Step(h, r.begin, SQLITE_DONE);
    sqlite3_reset(r.begin);
    try {
        BindText(r.sorFind, 1, k.card);
        Step(h, r.sorFind, SQLITE_ROW);
        const sqlite3_int64 sorId = sqlite3_column_int64(r.sorFind, r.sorId);
        const bool stockItem = sqlite3_column_int(r.sorFind, r.sorSkl) != 0;
        const double sorSta = sqlite3_column_double(r.sorFind, r.sorSta);
        const std::string sorPpo = ColumnText(r.sorFind, r.sorPpo);
        sqlite3_reset(r.sorFind);

        BindText(r.sklFind, 1, k.card);
        BindText(r.sklFind, 2, k.variant);
        Step(h, r.sklFind, SQLITE_ROW);
        const sqlite3_int64 sklId = sqlite3_column_int64(r.sklFind, r.sklId);
        const double stock = sqlite3_column_double(r.sklFind, r.sklSta);
        const float purchase = float(sqlite3_column_double(r.sklFind, r.sklSnc));
        sqlite3_reset(r.sklFind);

        BindText(r.denLatest, 1, k.card);
        BindText(r.denLatest, 2, k.variant);
        Step(h, r.denLatest, SQLITE_ROW);
        const double journal = sqlite3_column_double(r.denLatest, r.denZas);
        sqlite3_reset(r.denLatest);
        if (!stockItem || journal != stock)
            throw std::runtime_error("C API posting: card " + k.card + "/" + k.variant + " out of balance");

        const double after = stock + kQuantity;
        JournalRow row;
        row.dat = today;
        row.kdy = now;
        row.dok = doc;
        row.kav = k.card;
        row.ind = k.variant;
        row.dan = double(kVatRate);
        row.zas = after;
        row.hasPoz = true;
        const auto insert = [&] {
            BindJournal(r.insert, r.cols, row);
            Step(h, r.insert, SQLITE_ROW);  // the new identity
            Write(h, r.insert);
        };
        row.ope = kOp;
        row.kus = kQuantity;
        row.hpc = double(kBasePrice) * kQuantity;
        row.hnc = double(purchase) * kQuantity;
        insert();
        row.ope = kDiffOp;
        row.kus = 0;
        row.hpc = double(kLinePrice - kBasePrice) * kQuantity;
        row.hnc = 0;
        insert();

        sqlite3_bind_double(r.sklUpdate, 1, after);
        sqlite3_bind_int64(r.sklUpdate, 2, sklId);
        sqlite3_bind_double(r.sklUpdate, 3, stock);
        const bool sklDone = Write(h, r.sklUpdate) == 1;

        sqlite3_bind_double(r.sorUpdate, 1, sorSta + kQuantity);
        BindText(r.sorUpdate, 2, today);
        sqlite3_bind_int64(r.sorUpdate, 3, sorId);
        sqlite3_bind_double(r.sorUpdate, 4, sorSta);
        BindText(r.sorUpdate, 5, sorPpo);
        if (!sklDone || Write(h, r.sorUpdate) != 1)
            throw std::runtime_error("C API posting: a card changed under the posting");

        Step(h, r.commit, SQLITE_DONE);
        sqlite3_reset(r.commit);
    } catch (...) {
        sqlite3_step(r.rollback);
        sqlite3_reset(r.rollback);
        throw;
    }
}

std::unique_ptr<Store> OpenStore(const QString& dir, int rows)
{
    if (rows < 2 * kHeavyRows)
        throw std::runtime_error("--rows must be at least " + std::to_string(2 * kHeavyRows));
    auto s = std::make_unique<Store>();
    s->rows = rows;
    s->dir = dir;
    s->path = StoreFile(dir, rows);
    s->bigDoc = ReceiptNumber(BigReceipt(rows));
    if (!CachedStoreUsable(s->path, rows)) {
        std::fprintf(stderr, "kv_bench_stock: generating %s (%d journal rows)...\n", s->path.c_str(), rows);
        GenerateStore(s->path, rows);
    }
    s->raw = OpenRaw(s->path, false);
    ResetPostings(s->raw, rows);

    // The data module as the program sets it up, without a settings file (as the tests connect it).
    s->data = std::make_unique<TData>(dir);
    TData& d = *s->data;
    d.CestaProgramu = dir + u'/';
    d.Prodejna = kOrg;
    d.Protocol = u"LOCAL"_s;
    d.ffCommsEngine.Protocol = d.Protocol;
    d.ServerName = u"ACC"_s;
    d.Host = u"127.0.0.1"_s;
    d.AliasName = AliasOf(rows);
    d.UzivatelNac = TData::DefaultOperatorName();
    d.UzivatelIni = Q(kOperator);
    d.SetTableNames();
    d.Connect();
    MirrorPragmas(HandleOf(*d.ffDatabase), s->raw);
    SetMessageHandler([](TMessageKind, const QString& text) {
        g_messages.push_back(text.toStdString());
        return true;
    });

    // Variants spread over the cards, each with journal rows (a variant without any would be rebuilt).
    Stmt moved(s->raw,
               "SELECT 1 FROM " + TableSql(Def(u"DEN")) + " WHERE \"DEN_KAV\" = ? AND \"DEN_IND\" = ?");
    for (int k = 0; int(s->keys.size()) < kPostKeys && k < kCards; ++k) {
        Key key{CardCode((k * 37 + 11) % kCards), VariantCode(k % kVariants + 1), {}, {}};
        BindText(moved, 1, key.card);
        BindText(moved, 2, key.variant);
        const bool hasRows = sqlite3_step(moved) == SQLITE_ROW;
        sqlite3_reset(moved);
        if (!hasRows)
            continue;
        key.qcard = Q(key.card);
        key.qvariant = Q(key.variant);
        s->keys.push_back(std::move(key));
    }
    moved = Stmt();

    // One posting to warm up, then one traced: every statement the engine sends for it.
    if (!EnginePost(*s, s->keys[0]))
        throw std::runtime_error("the engine's posting failed");
    sqlite3* qt = HandleOf(*d.ffDatabase);
    g_trace.clear();
    sqlite3_trace_v2(qt, SQLITE_TRACE_STMT, TraceAll, nullptr);
    const bool posted = EnginePost(*s, s->keys[1]);
    sqlite3_trace_v2(qt, 0, nullptr, nullptr);
    if (!posted)
        throw std::runtime_error("the engine's posting failed");
    s->engineSql = g_trace;
    BuildReplay(*s);
    RawPost(*s, s->keys[2]);
    if (!g_messages.empty())
        throw std::runtime_error("the operator was told: " + g_messages.front());
    return s;
}

void CheckQuiet(benchmark::State& st)
{
    if (!g_messages.empty())
        st.SkipWithError(("the operator was told: " + g_messages.front()).c_str());
}

// --- the benchmarks ----------------------------------------------------------------------------------

// The engine and the C API post in turns, a block of kPairBlock postings each, and each posting is timed on
// its own: both sides meet the same load from the other work on the machine, which on two shared cores
// swings more between runs than the difference being measured. The first posting after a switch is not
// timed: a write by the other connection makes SQLite drop the whole page cache of this one, and a till
// posting alone keeps its cache. Per posting and side the counters give elapsed time and the process's CPU
// time, split into user and kernel time (the commit's writes and fsync, the file locks of each read
// transaction).
constexpr int kPairBlock = 8;

struct TSideTime {
    double wall = 0, user = 0, sys = 0;
};

struct TCpuClock {
    std::chrono::steady_clock::time_point wall;
    rusage use{};
    static TCpuClock Now()
    {
        TCpuClock c;
        getrusage(RUSAGE_SELF, &c.use);
        c.wall = std::chrono::steady_clock::now();
        return c;
    }
};

void AddSince(TSideTime& t, const TCpuClock& from)
{
    const TCpuClock to = TCpuClock::Now();
    auto us = [](const timeval& a, const timeval& b) {
        return double(b.tv_sec - a.tv_sec) * 1e6 + double(b.tv_usec - a.tv_usec);
    };
    t.wall += std::chrono::duration<double, std::micro>(to.wall - from.wall).count();
    t.user += us(from.use.ru_utime, to.use.ru_utime);
    t.sys += us(from.use.ru_stime, to.use.ru_stime);
}

void PostPair(benchmark::State& st, Store* s)
{
    TSideTime engine, capi;
    size_t i = 0, posting = 0;
    bool all = true;
    try {
        for (auto _ : st) {
            const bool engineFirst = i++ % 2 == 0;
            for (int side = 0; side < 2; ++side) {
                const bool byEngine = (side == 0) == engineFirst;
                for (int k = 0; k <= kPairBlock; ++k) {
                    const Key& key = s->keys[posting++ % s->keys.size()];
                    const TCpuClock start = TCpuClock::Now();
                    if (byEngine)
                        all &= EnginePost(*s, key);
                    else
                        RawPost(*s, key);
                    if (k > 0)
                        AddSince(byEngine ? engine : capi, start);
                }
            }
        }
    } catch (const std::exception& e) {
        st.SkipWithError(e.what());
        return;
    }
    const double n = double(std::max<benchmark::IterationCount>(st.iterations(), 1)) * kPairBlock;
    for (const auto& [name, t] : {std::pair{"engine", engine}, std::pair{"capi", capi}}) {
        st.counters[std::string(name) + "_wall_us"] = t.wall / n;
        st.counters[std::string(name) + "_cpu_us"] = (t.user + t.sys) / n;
        st.counters[std::string(name) + "_user_us"] = t.user / n;
        st.counters[std::string(name) + "_sys_us"] = t.sys / n;
    }
    if (!all)
        st.SkipWithError("a posting failed");
    CheckQuiet(st);
}

// The rebuild with the progress window's hooks installed; they only note when they are called. Besides
// the longest pause between two calls, the counters say which calls bound it (codes of THook).
enum THook { kBusyOn, kShow, kStep, kHide, kBusyOff };

void Rebuild(benchmark::State& st, Store* s)
{
    using Clock = std::chrono::steady_clock;
    TData& d = *s->data;
    std::vector<std::pair<Clock::time_point, THook>> calls;
    int steps = 0, shows = 0, hides = 0, lastPercent = -1;
    d.ProgressShow = [&](const QString&, const QString&, const QString&) {
        calls.emplace_back(Clock::now(), kShow);
        ++shows;
    };
    d.ProgressStep = [&](int percent) {
        calls.emplace_back(Clock::now(), kStep);
        ++steps;
        lastPercent = percent;
    };
    d.ProgressHide = [&] {
        calls.emplace_back(Clock::now(), kHide);
        ++hides;
    };
    d.BusyCursor = [&](bool on) { calls.emplace_back(Clock::now(), on ? kBusyOn : kBusyOff); };
    double maxGap = 0, before = 0, after = 0;
    THook gapFrom = kBusyOn, gapTo = kBusyOn;
    bool all = true;
    for (auto _ : st) {
        calls.clear();
        const Clock::time_point start = Clock::now();
        all &= d.RekonstrukceKarty(Q(kHeavyCard));
        const Clock::time_point end = Clock::now();
        auto us = [](Clock::duration t) { return std::chrono::duration<double, std::micro>(t).count(); };
        for (size_t i = 1; i < calls.size(); ++i) {
            const double gap = us(calls[i].first - calls[i - 1].first);
            if (gap > maxGap) {
                maxGap = gap;
                gapFrom = calls[i - 1].second;
                gapTo = calls[i].second;
            }
        }
        if (!calls.empty()) {
            before = std::max(before, us(calls.front().first - start));
            after = std::max(after, us(end - calls.back().first));
        }
    }
    d.ProgressShow = nullptr;
    d.ProgressStep = nullptr;
    d.ProgressHide = nullptr;
    d.BusyCursor = nullptr;
    st.counters["max_gap_us"] = maxGap;
    st.counters["max_gap_from"] = gapFrom;
    st.counters["max_gap_to"] = gapTo;
    st.counters["before_first_us"] = before;
    st.counters["after_last_us"] = after;
    st.counters["progress_steps"] = double(steps) / double(st.iterations());
    if (!all)
        st.SkipWithError("the rebuild failed");
    else if (shows == 0 || shows != hides || lastPercent != 100)
        st.SkipWithError("progress window not shown, not hidden or not at 100 %");
    CheckQuiet(st);
}

void LoadReceipt(benchmark::State& st, Store* s)
{
    TData& d = *s->data;
    TMemTable& dok = *d.DokladObsah;
    const QString doc = Q(s->bigDoc);
    dok.Open();
    for (auto _ : st) {
        st.PauseTiming();
        dok.EmptyTable();  // the caller's part
        st.ResumeTiming();
        d.GetDoklad(doc, Q(kOp), QString(), QString(), Q(kDiffOp), 2);
    }
    st.counters["lines"] = dok.RecordCount();
    if (dok.RecordCount() != kBigLines)
        st.SkipWithError("the receipt did not load its 50 lines");
    CheckQuiet(st);
}

int ParseRows(int& argc, char** argv)
{
    int rows = 1000000;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--rows=", 7) != 0)
            continue;
        rows = QString::fromLocal8Bit(argv[i] + 7).toInt();
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
    const int rows = ParseRows(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    QCoreApplication app(argc, argv);
    const QString dir = qEnvironmentVariableIsSet("KORVANTA_BENCH_DIR")
                            ? qEnvironmentVariable("KORVANTA_BENCH_DIR")
                            : QDir::tempPath();
    std::unique_ptr<Store> store;
    try {
        store = OpenStore(dir, rows);
    } catch (const EDatabaseError& e) {
        std::fprintf(stderr, "kv_bench_stock: %s\n", qUtf8Printable(e.Message()));
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kv_bench_stock: %s\n", e.what());
        return 1;
    }
    Store* s = store.get();

    sqlite3* qt = HandleOf(*s->data->ffDatabase);
    auto settings = [](sqlite3* h) {
        return "journal_mode=" + PragmaText(h, "journal_mode") +
               ", synchronous=" + PragmaText(h, "synchronous") +
               ", cache_size=" + PragmaText(h, "cache_size");
    };
    benchmark::AddCustomContext("store settings engine", settings(qt));
    benchmark::AddCustomContext("store settings capi", settings(s->raw));
    benchmark::AddCustomContext("journal rows", std::to_string(rows));
    benchmark::AddCustomContext("receipt", s->bigDoc);
    for (size_t i = 0; i < s->engineSql.size(); ++i) {
        char key[32];
        std::snprintf(key, sizeof key, "engine sql %02zu", i + 1);
        benchmark::AddCustomContext(key, Normalised(s->engineSql[i]));
    }
    for (size_t i = 0; i < s->replay.sql.size(); ++i) {
        char key[32];
        std::snprintf(key, sizeof key, "capi sql %02zu", i + 1);
        benchmark::AddCustomContext(key, s->replay.sql[i]);
    }

    const std::string n = "/" + std::to_string(rows);
    benchmark::RegisterBenchmark(("post" + n).c_str(), [s](benchmark::State& st) {
        PostPair(st, s);
    })->Unit(benchmark::kMicrosecond);
    // One rebuild per run: it takes long enough to time on its own.
    benchmark::RegisterBenchmark(("rebuild" + n).c_str(), [s](benchmark::State& st) { Rebuild(st, s); })
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
    benchmark::RegisterBenchmark(("getdoklad" + n).c_str(), [s](benchmark::State& st) {
        LoadReceipt(st, s);
    })->Unit(benchmark::kMicrosecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    SetMessageHandler(nullptr);
    return 0;
}
