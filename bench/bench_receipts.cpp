// Cost of selling on the embedded store (or on PostgreSQL with --pg=host:port), with a journal of
// 1,000,000 rows made by korvanta-db generate: one sale line through the receipt engine (a direct
// sale of one piece on a numbered receipt: look-ups, stock check, and the posting with the header's
// totals in one transaction) against the same work written straight on the SQLite C API, and a whole
// receipt of five direct-sale lines (numbering, five postings, the header's last post).
#include "BenchRaw.h"
#include "DataUnit.h"
#include "Database.h"
#include "DbTool.h"
#include "Messages.h"
#include "ReceiptEngine.h"
#include "Schema.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QTextStream>

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int kFillVersion = 1;  // bump when the generated data changes
constexpr int kCards = 4000;
constexpr int kKeys = 200;           // stock cards the sales take in turn
constexpr double kRestock = 100000;  // pieces a bench card gets when it runs low
const QString kOrg = u"0001"_s;

std::vector<std::string> g_messages;

std::string S(const QString& s)
{
    return s.toStdString();
}
std::string TableSql(const char16_t* prefix)
{
    return S(TDatabase::TableSql(TableNameFor(TableDef(QString::fromUtf16(prefix)), kOrg)));
}
std::string Quote(const QString& ident)
{
    return S(TDatabase::Quote(ident));
}
// Select list of the cursor: the identity, then every stored field.
std::string ColumnsOf(const char16_t* prefix)
{
    const TTableDef& def = TableDef(QString::fromUtf16(prefix));
    std::string cols = Quote(def.IdentityColumn());
    for (const TFieldDef& f : def.fields)
        if (!f.calculated && f.type != TFieldType::AutoInc)
            cols += ", " + Quote(f.name);
    return cols;
}
std::string SelectOf(const char16_t* prefix)
{
    return "SELECT " + ColumnsOf(prefix) + " FROM " + TableSql(prefix);
}

struct Stmt {
    sqlite3_stmt* s = nullptr;
    Stmt() = default;
    Stmt(sqlite3* h, const std::string& sql) : s(PrepareRaw(h, sql)) {}
    Stmt(const Stmt&) = delete;
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
    throw std::runtime_error(std::string("no column ") + name);
}

// Steps a statement to its end; rows it returns (a write's RETURNING) are read past.
int Run(sqlite3* h, sqlite3_stmt* q)
{
    int rc, rows = 0;
    while ((rc = sqlite3_step(q)) == SQLITE_ROW)
        ++rows;
    if (rc != SQLITE_DONE) {
        const std::string msg = sqlite3_errmsg(h);
        sqlite3_reset(q);
        throw std::runtime_error(std::string(sqlite3_sql(q)) + ": " + msg);
    }
    sqlite3_reset(q);
    return rows;
}

void Row(sqlite3* h, sqlite3_stmt* q)
{
    if (sqlite3_step(q) != SQLITE_ROW) {
        const std::string msg = sqlite3_errmsg(h);
        sqlite3_reset(q);
        throw std::runtime_error(std::string(sqlite3_sql(q)) + ": no row " + msg);
    }
}

// --- the store --------------------------------------------------------------------------------------

struct Options {
    int rows = 1000000;
    QString pg;  // host:port of PostgreSQL; empty: the embedded store
};

void Connect(TData& d, const QString& dir, const Options& o, bool create)
{
    d.CestaProgramu = dir + u'/';
    d.Prodejna = kOrg;
    d.UzivatelNac = TData::DefaultOperatorName();
    d.UzivatelIni = u"JN"_s;
    d.ZakladniCenySDPH = 2;
    if (o.pg.isEmpty()) {
        d.Protocol = u"LOCAL"_s;
        d.Host = u"127.0.0.1"_s;
        d.AliasName = u"korvanta-bench-receipts-%1"_s.arg(o.rows);
    } else {
        d.Protocol = u"TCPIP"_s;
        d.Host = o.pg;
        d.AliasName = u"korvanta_bench_receipts_%1"_s.arg(o.rows);
    }
    d.ffCommsEngine.Protocol = d.Protocol;
    d.ServerName = u"ACC"_s;
    d.SetTableNames();
    if (create)
        d.ffDatabase->CreateIfMissing = true;
    d.Connect();
}

bool Usable(TData& d, int rows)
{
    try {
        const auto r = d.ffDatabase->SelectRows(
            u"SELECT COUNT(*) FROM "_s + TDatabase::TableSql(TableNameFor(TableDef(u"DEN"_s), kOrg)), {});
        return !r.isEmpty() && r[0][0].toLongLong() >= rows;
    } catch (const EDatabaseError&) {
        return false;
    }
}

// A store made by korvanta-db init and generate: receipts of five lines make the journal.
void Generate(const QString& dir, const Options& o)
{
    std::fprintf(stderr, "kv_bench_receipts: generating %d journal rows...\n", o.rows);
    TData d(dir);
    Connect(d, dir, o, true);
    QString text;
    QTextStream out(&text);
    TDbTool tool(d, out);
    tool.Init();
    TGenerateOptions g;
    g.cards = kCards;
    g.variants = 3;
    g.receipts = o.rows / 5;
    g.lines = 5;
    g.passes = 0;
    g.movements = 0;
    tool.Generate(g);
}

struct Key {
    QString card;
    std::string kav;
};

struct Store {
    Options opt;
    QString dir;
    std::unique_ptr<TData> data;
    std::unique_ptr<Receipts::TReceiptEngine> engine;
    sqlite3* raw = nullptr;
    std::vector<Key> keys;
    qint64 engineHeader = 0, rawHeader = 0;
    std::string rawNumber;
    size_t next = 0;

    ~Store()
    {
        sqlite3_close(raw);
        engine.reset();
        data.reset();
    }
};

// Stock cards (with variants) for the sales; each gets stock enough for any number of runs, moved in by
// a journal row so that the books stay balanced.
void PickKeys(Store& s)
{
    TDatabase& db = *s.data->ffDatabase;
    const QString sor = TDatabase::TableSql(TableNameFor(TableDef(u"SOR"_s), kOrg));
    const auto cards =
        db.SelectRows(u"SELECT \"SOR_KAV\" FROM "_s + sor +
                          u" WHERE \"SOR_SKL\" = ? AND COALESCE(\"SOR_BLO\", 0) = 0 AND \"SOR_DAN\" = 22"
                          u" ORDER BY \"SOR_KAV\""_s,
                      {db.Kind() == TStoreKind::Postgres ? QVariant(true) : QVariant(1)}, kKeys);
    TData& d = *s.data;
    d.OpenffSkl(u"KAV"_s);
    d.OpenffSor(u"KAV"_s);
    d.OpenffDen(u"DAT"_s);
    for (const auto& r : cards) {
        const QString card = r[0].toString();
        s.keys.push_back({card, S(card)});
        TTable& skl = *d.ffSklad;
        if (!skl.FindKey({card}) || skl.FieldByName(u"SKL_STA"_s).AsFloat() > kRestock / 2)
            continue;
        const QString variant = skl.FieldByName(u"SKL_IND"_s).AsString();
        // A purchase posted like any movement: journal row, stock card and assortment card together.
        if (!d.ZapisPohybuVar(card, variant, u"NAKUP"_s, u"001"_s, 0, 21, kRestock))
            throw std::runtime_error("restocking failed");
    }
    d.CloseffSkl();
    d.CloseffSor();
    d.CloseffDenik();
}

// A numbered receipt with one line, its header left in edit state; returns its row identity.
qint64 NewReceipt(Store& s, const Key& k)
{
    TData& d = *s.data;
    TTable& uce = *d.ffUctenky;
    if (uce.State() != TDataSetState::Browse && uce.Active())
        uce.Post();
    if (!uce.Active())
        uce.Open();
    uce.Append();
    uce.FieldByName(u"HLA_DAT"_s).SetAsDateTime(QDateTime::currentDateTime());
    uce.FieldByName(u"HLA_DVS"_s).SetAsDate(QDate::currentDate());
    uce.FieldByName(u"HLA_DZP"_s).SetAsDate(QDate::currentDate());
    uce.FieldByName(u"HLA_FUH"_s).SetAsString(u"1"_s);
    d.DokladObsah->Close();
    d.DokladObsah->Open();
    s.engine = std::make_unique<Receipts::TReceiptEngine>(d);
    s.engine->OpenNew();
    if (s.engine->DirectSale(k.card, 1) != Receipts::TSaleResult::Sold)
        throw std::runtime_error("the first sale of a receipt failed");
    return uce.GetBookmark().id;
}

// --- the same sale line on the C API ------------------------------------------------------------------

// The statements the engine sends for one direct-sale line, in its order: the three tables opened
// (each on its first record), the card, its variants (the first by key, the rest in a block after
// it), the stock check; in one transaction the card and the variant held, the variant's latest journal
// row, the movement row, the stock and assortment cards and the header's totals; after the commit the
// header read again for the next edit. The stock engine's posting looks the card and the variant up
// again inside the transaction and afterwards puts its three cursors back where they stood (a check
// that the record still exists, then the record).
struct Raw {
    Stmt sorOpen, sklOpen, denOpen, sorFind, sklFirst, sklAfter, sklFind, begin, sorLock, sklLock, denLatest,
        insert, sklUpdate, sorUpdate, uceUpdate, commit, rollback, uceRead, sklExists, denExists, sorExists,
        denRead;
    int sorId, sorSta, sorBlo, sorPc1, sorDan, sklId, sklKav, sklInd, sklSta, sklSnc, denZas;
    double totals[8] = {};  // the header as the window holds it
};
Raw g_raw;

const char16_t* const kTotals[] = {u"HLA_CUH", u"HLA_PCA", u"HLA_NCA", u"HLA_Z00",
                                   u"HLA_Z05", u"HLA_Z22", u"HLA_D05", u"HLA_D22"};

void PrepareRaw(Store& s)
{
    sqlite3* h = s.raw;
    Raw& r = g_raw;
    const std::string sorId = Quote(TableDef(u"SOR"_s).IdentityColumn());
    const std::string sklId = Quote(TableDef(u"SKL"_s).IdentityColumn());
    const std::string uceId = Quote(TableDef(u"UCE"_s).IdentityColumn());
    r.sorOpen = Stmt(h, SelectOf(u"SOR") + " ORDER BY \"SOR_KAV\" LIMIT 1");
    r.sklOpen = Stmt(h, SelectOf(u"SKL") + " ORDER BY \"SKL_KAV\", \"SKL_IND\" LIMIT 1");
    r.denOpen = Stmt(h, SelectOf(u"DEN") + " ORDER BY \"DEN_DAT\", \"DEN_RAD\" LIMIT 1");
    r.sorFind = Stmt(h, SelectOf(u"SOR") + " WHERE \"SOR_KAV\" = ? ORDER BY \"SOR_KAV\" LIMIT 1");
    r.sklFirst =
        Stmt(h, SelectOf(u"SKL") + " WHERE \"SKL_KAV\" = ? ORDER BY \"SKL_KAV\", \"SKL_IND\" LIMIT 1");
    r.sklAfter = Stmt(h, SelectOf(u"SKL") +
                             " WHERE (\"SKL_KAV\", \"SKL_IND\") > (?, ?) ORDER BY \"SKL_KAV\","
                             " \"SKL_IND\" LIMIT 8");
    r.sklFind = Stmt(h, SelectOf(u"SKL") +
                            " WHERE \"SKL_KAV\" = ? AND \"SKL_IND\" = ? ORDER BY \"SKL_KAV\","
                            " \"SKL_IND\" LIMIT 1");
    r.begin = Stmt(h, "BEGIN IMMEDIATE");
    r.sorLock = Stmt(h, SelectOf(u"SOR") + " WHERE " + sorId + " = ?");
    r.sklLock = Stmt(h, SelectOf(u"SKL") + " WHERE " + sklId + " = ?");
    r.denLatest = Stmt(h, SelectOf(u"DEN") +
                              " WHERE \"DEN_KAV\" = ? AND \"DEN_IND\" = ?"
                              " ORDER BY \"DEN_KAV\" DESC, \"DEN_IND\" DESC, \"DEN_RAD\" DESC LIMIT 1");
    r.insert = Stmt(
        h, "INSERT INTO " + TableSql(u"DEN") +
               " (\"DEN_DAT\", \"DEN_DOK\", \"DEN_KAV\", \"DEN_IND\", \"DEN_OPE\", \"DEN_KUS\","
               " \"DEN_HPC\", \"DEN_HNC\", \"DEN_DAN\", \"DEN_ZAS\", \"DEN_REF\", \"DEN_POZ\", \"DEN_PRN\","
               " \"DEN_KDY\") VALUES (?, ?, ?, ?, '005', ?, ?, ?, ?, ?, 'JN', NULL, NULL, ?) RETURNING " +
               ColumnsOf(u"DEN"));
    r.sklUpdate = Stmt(h, "UPDATE " + TableSql(u"SKL") + " SET \"SKL_STA\" = ? WHERE " + sklId +
                              " = ? AND \"SKL_STA\" IS ? RETURNING " + ColumnsOf(u"SKL"));
    r.sorUpdate = Stmt(h, "UPDATE " + TableSql(u"SOR") + " SET \"SOR_STA\" = ?, \"SOR_PPO\" = ? WHERE " +
                              sorId + " = ? AND \"SOR_STA\" IS ? RETURNING " + ColumnsOf(u"SOR"));
    std::string sets, checks;
    for (const char16_t* f : kTotals) {
        sets += std::string(sets.empty() ? "" : ", ") + Quote(QString::fromUtf16(f)) + " = ?";
        checks += " AND " + Quote(QString::fromUtf16(f)) + " IS ?";
    }
    r.uceUpdate = Stmt(h, "UPDATE " + TableSql(u"UCE") + " SET " + sets + " WHERE " + uceId + " = ?" +
                              checks + " RETURNING " + ColumnsOf(u"UCE"));
    r.commit = Stmt(h, "COMMIT");
    r.rollback = Stmt(h, "ROLLBACK");
    r.uceRead = Stmt(h, SelectOf(u"UCE") + " WHERE " + uceId + " = ?");
    r.sklExists = Stmt(h, "SELECT 1 FROM " + TableSql(u"SKL") + " WHERE " + sklId + " = ?");
    r.sorExists = Stmt(h, "SELECT 1 FROM " + TableSql(u"SOR") + " WHERE " + sorId + " = ?");
    r.denExists = Stmt(h, "SELECT 1 FROM " + TableSql(u"DEN") + " WHERE \"DEN_RAD\" = ?");
    r.denRead = Stmt(h, SelectOf(u"DEN") + " WHERE \"DEN_RAD\" = ?");
    r.sorId = ColumnOf(r.sorFind, "REC_ID");
    r.sorSta = ColumnOf(r.sorFind, "SOR_STA");
    r.sorBlo = ColumnOf(r.sorFind, "SOR_BLO");
    r.sorPc1 = ColumnOf(r.sorFind, "SOR_PC1");
    r.sorDan = ColumnOf(r.sorFind, "SOR_DAN");
    r.sklId = ColumnOf(r.sklFind, "REC_ID");
    r.sklKav = ColumnOf(r.sklFind, "SKL_KAV");
    r.sklInd = ColumnOf(r.sklFind, "SKL_IND");
    r.sklSta = ColumnOf(r.sklFind, "SKL_STA");
    r.sklSnc = ColumnOf(r.sklFind, "SKL_SNC");
    r.denZas = ColumnOf(r.denLatest, "DEN_ZAS");
    sqlite3_bind_int64(r.uceRead, 1, s.rawHeader);
    Row(h, r.uceRead);
    for (int i = 0; i < 8; ++i)
        r.totals[i] =
            sqlite3_column_double(r.uceRead, ColumnOf(r.uceRead, S(QString::fromUtf16(kTotals[i])).c_str()));
    sqlite3_reset(r.uceRead);
}

void RawSale(Store& s, const Key& k)
{
    Raw& r = g_raw;
    sqlite3* h = s.raw;
    char today[16], now[16];
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    std::strftime(today, sizeof today, "%Y-%m-%d", &tm);
    std::strftime(now, sizeof now, "%H:%M:%S", &tm);

    for (sqlite3_stmt* open : {r.sorOpen.s, r.sklOpen.s}) {
        Row(h, open);
        sqlite3_reset(open);
    }
    Row(h, r.denOpen);
    const sqlite3_int64 denMark = sqlite3_column_int64(r.denOpen, 0);
    sqlite3_reset(r.denOpen);
    BindText(r.sorFind, 1, k.kav);
    Row(h, r.sorFind);
    const sqlite3_int64 sorId = sqlite3_column_int64(r.sorFind, r.sorId);
    const double price = sqlite3_column_double(r.sorFind, r.sorPc1);
    const double rate = sqlite3_column_double(r.sorFind, r.sorDan);
    if (sqlite3_column_double(r.sorFind, r.sorSta) - sqlite3_column_double(r.sorFind, r.sorBlo) < 1)
        throw std::runtime_error("no free stock");
    sqlite3_reset(r.sorFind);

    // The variants: the first with stock is sold from.
    BindText(r.sklFirst, 1, k.kav);
    Row(h, r.sklFirst);
    std::string variant, lastInd = ColumnText(r.sklFirst, r.sklInd);
    if (sqlite3_column_double(r.sklFirst, r.sklSta) > 0)
        variant = lastInd;
    sqlite3_reset(r.sklFirst);
    BindText(r.sklAfter, 1, k.kav);
    BindText(r.sklAfter, 2, lastInd);
    while (sqlite3_step(r.sklAfter) == SQLITE_ROW) {
        if (ColumnText(r.sklAfter, r.sklKav) != k.kav)
            break;
        if (variant.empty() && sqlite3_column_double(r.sklAfter, r.sklSta) > 0)
            variant = ColumnText(r.sklAfter, r.sklInd);
    }
    sqlite3_reset(r.sklAfter);
    BindText(r.sklFind, 1, k.kav);
    BindText(r.sklFind, 2, variant);
    Row(h, r.sklFind);
    const sqlite3_int64 sklId = sqlite3_column_int64(r.sklFind, r.sklId);
    if (sqlite3_column_double(r.sklFind, r.sklSta) < 1)
        throw std::runtime_error("stock check");
    sqlite3_reset(r.sklFind);

    const double k1 = 1 + rate / 100;
    double next[8];
    Run(h, r.begin);
    try {
        BindText(r.sorFind, 1, k.kav);
        Row(h, r.sorFind);
        sqlite3_reset(r.sorFind);
        BindText(r.sklFind, 1, k.kav);
        BindText(r.sklFind, 2, variant);
        Row(h, r.sklFind);
        sqlite3_reset(r.sklFind);
        sqlite3_bind_int64(r.sorLock, 1, sorId);
        Row(h, r.sorLock);
        const double sorSta = sqlite3_column_double(r.sorLock, r.sorSta);
        sqlite3_reset(r.sorLock);
        sqlite3_bind_int64(r.sklLock, 1, sklId);
        Row(h, r.sklLock);
        const double stock = sqlite3_column_double(r.sklLock, r.sklSta);
        const float purchase = float(sqlite3_column_double(r.sklLock, r.sklSnc));
        sqlite3_reset(r.sklLock);
        BindText(r.denLatest, 1, k.kav);
        BindText(r.denLatest, 2, variant);
        Row(h, r.denLatest);
        if (sqlite3_column_double(r.denLatest, r.denZas) != stock)
            throw std::runtime_error("journal and stock card disagree");
        sqlite3_reset(r.denLatest);

        const float net = float(price / k1);
        BindText(r.insert, 1, today);
        BindText(r.insert, 2, s.rawNumber);
        BindText(r.insert, 3, k.kav);
        BindText(r.insert, 4, variant);
        sqlite3_bind_double(r.insert, 5, -1);
        sqlite3_bind_double(r.insert, 6, -double(net));
        sqlite3_bind_double(r.insert, 7, -double(purchase));
        sqlite3_bind_double(r.insert, 8, double(float(rate)));
        sqlite3_bind_double(r.insert, 9, stock - 1);
        BindText(r.insert, 10, now);
        Run(h, r.insert);
        sqlite3_bind_double(r.sklUpdate, 1, stock - 1);
        sqlite3_bind_int64(r.sklUpdate, 2, sklId);
        sqlite3_bind_double(r.sklUpdate, 3, stock);
        sqlite3_bind_double(r.sorUpdate, 1, sorSta - 1);
        BindText(r.sorUpdate, 2, today);
        sqlite3_bind_int64(r.sorUpdate, 3, sorId);
        sqlite3_bind_double(r.sorUpdate, 4, sorSta);
        if (Run(h, r.sklUpdate) != 1 || Run(h, r.sorUpdate) != 1)
            throw std::runtime_error("a card changed under the sale");
        // The cursors put back: the variant, the journal's first row by date, the card.
        const std::pair<sqlite3_stmt*, sqlite3_stmt*> back[] = {
            {r.sklExists, r.sklLock}, {r.denExists, r.denRead}, {r.sorExists, r.sorLock}};
        const sqlite3_int64 marks[] = {sklId, denMark, sorId};
        for (int i = 0; i < 3; ++i) {
            sqlite3_bind_int64(back[i].first, 1, marks[i]);
            Row(h, back[i].first);
            sqlite3_reset(back[i].first);
            sqlite3_bind_int64(back[i].second, 1, marks[i]);
            Row(h, back[i].second);
            sqlite3_reset(back[i].second);
        }

        // CUH, PCA, NCA, Z00, Z05, Z22, D05, D22 of a line at 22 % in prices with VAT.
        const double change[8] = {price, price, double(purchase), 0, 0, price / k1, 0, price - price / k1};
        for (int i = 0; i < 8; ++i) {
            next[i] = r.totals[i] + change[i];
            sqlite3_bind_double(r.uceUpdate, 1 + i, next[i]);
            sqlite3_bind_double(r.uceUpdate, 10 + i, r.totals[i]);
        }
        sqlite3_bind_int64(r.uceUpdate, 9, s.rawHeader);
        if (Run(h, r.uceUpdate) != 1)
            throw std::runtime_error("the header changed under the sale");
        Run(h, r.commit);
    } catch (...) {
        sqlite3_step(r.rollback);
        sqlite3_reset(r.rollback);
        throw;
    }
    std::copy(next, next + 8, r.totals);
    sqlite3_bind_int64(r.uceRead, 1, s.rawHeader);
    Row(h, r.uceRead);
    sqlite3_reset(r.uceRead);
}

// --- the benchmarks ------------------------------------------------------------------------------

struct TSideTime {
    double wall = 0, cpu = 0;
};
struct TClock {
    std::chrono::steady_clock::time_point wall;
    rusage use{};
    static TClock Now()
    {
        TClock c;
        getrusage(RUSAGE_SELF, &c.use);
        c.wall = std::chrono::steady_clock::now();
        return c;
    }
};
void AddSince(TSideTime& t, const TClock& from)
{
    const TClock to = TClock::Now();
    auto us = [](const timeval& a, const timeval& b) {
        return double(b.tv_sec - a.tv_sec) * 1e6 + double(b.tv_usec - a.tv_usec);
    };
    t.wall += std::chrono::duration<double, std::micro>(to.wall - from.wall).count();
    t.cpu += us(from.use.ru_utime, to.use.ru_utime) + us(from.use.ru_stime, to.use.ru_stime);
}

void EngineSale(Store& s, const Key& k)
{
    if (s.engine->DirectSale(k.card, 1) != Receipts::TSaleResult::Sold)
        throw std::runtime_error("the engine's sale failed");
    // The window's line grid is not what is measured: keep it short.
    if (s.data->DokladObsah->RecordCount() > 500)
        s.data->DokladObsah->EmptyTable();
}

// The engine and the C API sell in turns, blocks of 8 sales; the first sale after a switch is not timed
// (a write on the other connection drops this one's page cache, which a till alone keeps).
constexpr int kBlock = 8;

void SaleLine(benchmark::State& st, Store* s)
{
    TSideTime engine, capi;
    size_t i = 0;
    try {
        for (auto _ : st) {
            const bool engineFirst = i++ % 2 == 0;
            for (int side = 0; side < 2; ++side) {
                const bool byEngine = (side == 0) == engineFirst;
                for (int n = 0; n <= kBlock; ++n) {
                    const Key& key = s->keys[s->next++ % s->keys.size()];
                    const TClock start = TClock::Now();
                    if (byEngine)
                        EngineSale(*s, key);
                    else
                        RawSale(*s, key);
                    if (n > 0)
                        AddSince(byEngine ? engine : capi, start);
                }
            }
        }
    } catch (const std::exception& e) {
        st.SkipWithError(e.what());
        return;
    }
    const double n = double(std::max<benchmark::IterationCount>(st.iterations(), 1)) * kBlock;
    st.counters["engine_wall_us"] = engine.wall / n;
    st.counters["engine_cpu_us"] = engine.cpu / n;
    st.counters["capi_wall_us"] = capi.wall / n;
    st.counters["capi_cpu_us"] = capi.cpu / n;
    if (!g_messages.empty())
        st.SkipWithError(("the operator was told: " + g_messages.front()).c_str());
}

// A whole receipt: numbering with its first line, four more lines, the header's last post.
void FiveLineReceipt(benchmark::State& st, Store* s)
{
    try {
        for (auto _ : st) {
            NewReceipt(*s, s->keys[s->next++ % s->keys.size()]);
            for (int l = 0; l < 4; ++l)
                EngineSale(*s, s->keys[s->next++ % s->keys.size()]);
            s->data->ffUctenky->Post();
        }
    } catch (const std::exception& e) {
        st.SkipWithError(e.what());
        return;
    }
    // The line benchmark goes on with a receipt of its own.
    s->engineHeader = NewReceipt(*s, s->keys[0]);
    if (!g_messages.empty())
        st.SkipWithError(("the operator was told: " + g_messages.front()).c_str());
}

Options ParseOptions(int& argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const bool rows = std::strncmp(argv[i], "--rows=", 7) == 0;
        const bool pg = std::strncmp(argv[i], "--pg=", 5) == 0;
        if (!rows && !pg)
            continue;
        if (rows)
            o.rows = QString::fromLocal8Bit(argv[i] + 7).toInt();
        else
            o.pg = QString::fromLocal8Bit(argv[i] + 5);
        for (int j = i; j + 1 < argc; ++j)
            argv[j] = argv[j + 1];
        --argc;
        --i;
    }
    return o;
}

}  // namespace

int main(int argc, char** argv)
{
    const Options opt = ParseOptions(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    QCoreApplication app(argc, argv);
    const QString dir = qEnvironmentVariableIsSet("KORVANTA_BENCH_DIR")
                            ? qEnvironmentVariable("KORVANTA_BENCH_DIR")
                            : QDir::tempPath();
    auto store = std::make_unique<Store>();
    Store* s = store.get();
    s->opt = opt;
    s->dir = dir;
    SetMessageHandler([](TMessageKind, const QString& text) {
        g_messages.push_back(text.toStdString());
        return true;
    });
    try {
        s->data = std::make_unique<TData>(dir);
        bool ready = false;
        try {
            Connect(*s->data, dir, opt, false);
            ready = Usable(*s->data, opt.rows);
        } catch (const EDatabaseError&) {}
        if (!ready) {
            s->data.reset();
            if (opt.pg.isEmpty())
                QFile::remove(dir + u"/korvanta-bench-receipts-%1.db"_s.arg(opt.rows));
            Generate(dir, opt);
            s->data = std::make_unique<TData>(dir);
            Connect(*s->data, dir, opt, false);
        }
        PickKeys(*s);
        if (s->keys.size() < 10)
            throw std::runtime_error("too few stock cards");
        s->engineHeader = NewReceipt(*s, s->keys[0]);
        if (opt.pg.isEmpty()) {
            s->rawHeader = NewReceipt(*s, s->keys[1]);
            s->rawNumber = S(s->data->ffUctenky->FieldByName(u"HLA_DO1"_s).AsString());
            s->engineHeader = NewReceipt(*s, s->keys[2]);
            s->raw = OpenRaw(S(s->data->ffDatabase->EmbeddedFilePath()), false);
            MirrorPragmas(HandleOf(*s->data->ffDatabase), s->raw);
            PrepareRaw(*s);
            RawSale(*s, s->keys[3]);
        }
        if (qEnvironmentVariableIsSet("KV_TRACE_SALE") && opt.pg.isEmpty()) {
            sqlite3* qt = HandleOf(*s->data->ffDatabase);
            sqlite3_trace_v2(
                qt, SQLITE_TRACE_STMT,
                [](unsigned, void*, void* p, void*) {
                    std::fprintf(stderr, "SQL %s\n", sqlite3_sql(static_cast<sqlite3_stmt*>(p)));
                    return 0;
                },
                nullptr);
            EngineSale(*s, s->keys[4]);
            sqlite3_trace_v2(qt, 0, nullptr, nullptr);
        }
        g_messages.clear();
    } catch (const EDatabaseError& e) {
        std::fprintf(stderr, "kv_bench_receipts: %s\n", qUtf8Printable(e.Message()));
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kv_bench_receipts: %s\n", e.what());
        return 1;
    }
    benchmark::AddCustomContext("journal rows", std::to_string(opt.rows));
    benchmark::AddCustomContext("store", opt.pg.isEmpty() ? "sqlite" : "postgresql");

    const std::string n = "/" + std::to_string(opt.rows);
    if (opt.pg.isEmpty())
        benchmark::RegisterBenchmark(("sale_line" + n).c_str(), [s](benchmark::State& st) {
            SaleLine(st, s);
        })->Unit(benchmark::kMicrosecond);
    else
        benchmark::RegisterBenchmark(("sale_line_engine" + n).c_str(),
                                     [s](benchmark::State& st) {
                                         try {
                                             for (auto _ : st)
                                                 EngineSale(*s, s->keys[s->next++ % s->keys.size()]);
                                         } catch (const std::exception& e) {
                                             st.SkipWithError(e.what());
                                         }
                                     })
            ->Unit(benchmark::kMicrosecond)
            ->UseRealTime();
    benchmark::RegisterBenchmark(("receipt_5_lines" + n).c_str(),
                                 [s](benchmark::State& st) { FiveLineReceipt(st, s); })
        ->Unit(benchmark::kMicrosecond)
        ->UseRealTime();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    SetMessageHandler(nullptr);
    return 0;
}
