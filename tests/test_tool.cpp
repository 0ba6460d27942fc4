// korvanta-db against both stores: creating the tables, the demo data set, generated volumes and the
// consistency check, run in-process on a station folder with its own Prodejna.ini.
#include "TestSupport.h"

#include "DataUnit.h"
#include "DbTool.h"
#include "SchemaSql.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTextStream>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

QString Ini(const QString& protocol, const QString& host, const QString& alias, const QString& org)
{
    return u"[Prodejna]\nProdejna=%1\nDan22=21\nDan05=12\nDan00=0\nProtocol=%2\nHost=%3\nAliasName=%4\n"
           u"ServerName=ACC\nZakladniCenySDPH=Ano\n"_s.arg(org, protocol, host, alias);
}

void WriteFile(const QString& path, const QString& text)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text.toUtf8());
}

struct TRun {
    int status = -1;
    QString out, err;
};

TRun RunTool(const QString& dir, const QStringList& args)
{
    TRun r;
    {
        QTextStream out(&r.out), err(&r.err);
        r.status = RunDbTool(QStringList{u"--dir"_s, dir} + args, out, err);
    }
    return r;
}

// The same name the program signs on with.
QString OsLogin()
{
    return TData::AutoLoginName(TData::OsUserName());
}

bool Near(double a, double b)
{
    return std::fabs(a - b) <= 1e-5 * (1 + std::fabs(a));
}

class ToolTest : public StoreTest {
protected:
    void SetUp() override
    {
        KV_SKIP_WITHOUT_STORE(GetParam());
        store = std::make_unique<TTestStore>(GetParam());  // empty: the tool creates the tables
        UseOrganisation(u"0001"_s);
    }

    QString Dir() const
    {
        return store->Kind() == TStoreKind::Sqlite ? store->Directory() : m_station.path();
    }

    void UseOrganisation(const QString& org)
    {
        m_org = org;
        const bool pg = store->Kind() == TStoreKind::Postgres;
        WriteFile(Dir() + u"/Prodejna.ini"_s,
                  Ini(pg ? u"TCPIP"_s : u"LOCAL"_s,
                      pg ? u"%1:%2"_s.arg(PgHost()).arg(PgPort()) : u"127.0.0.1"_s, store->AliasName(), org));
    }

    TRun Run(const QStringList& args) { return RunTool(Dir(), args); }

    QString T(const char16_t* prefix) const
    {
        return TDatabase::TableSql(TableNameFor(TableDef(QString::fromUtf16(prefix)), m_org));
    }

    QList<QVariantList> Rows(const QString& sql, const QVariantList& binds = {})
    {
        QSqlQuery& q = store->Db().Prepare(sql);
        for (int i = 0; i < binds.size(); ++i)
            q.bindValue(i, binds[i]);
        TDatabase::Exec(q);
        QList<QVariantList> rows;
        while (q.next()) {
            QVariantList row;
            for (int i = 0; i < q.record().count(); ++i)
                row << q.value(i);
            rows << row;
        }
        q.finish();
        return rows;
    }

    QVariant Scalar(const QString& sql, const QVariantList& binds = {})
    {
        const auto rows = Rows(sql, binds);
        return rows.isEmpty() ? QVariant() : rows.first().value(0);
    }

    void Exec(const QString& sql, const QVariantList& binds = {})
    {
        QSqlQuery& q = store->Db().Prepare(sql);
        for (int i = 0; i < binds.size(); ++i)
            q.bindValue(i, binds[i]);
        TDatabase::Exec(q);
        q.finish();
    }

    qint64 Count(const char16_t* prefix)
    {
        return Scalar(u"SELECT COUNT(*) FROM "_s + T(prefix)).toLongLong();
    }

    int CatalogTables()
    {
        return Scalar(store->Kind() == TStoreKind::Postgres
                          ? u"SELECT COUNT(*) FROM pg_tables WHERE schemaname = current_schema()"_s
                          : u"SELECT COUNT(*) FROM sqlite_master WHERE type IN ('table', 'index')"_s)
            .toInt();
    }

    std::unique_ptr<TTable> Table(const char16_t* prefix)
    {
        const TTableDef& def = TableDef(QString::fromUtf16(prefix));
        auto t = std::make_unique<TTable>(store->Db(), def);
        t->SetTableName(TableNameFor(def, m_org));
        t->Open();
        return t;
    }

    // Receipts against their journal rows, by what must hold whatever formula wrote them: the net
    // amounts of the lines at each of the station's rates (21, 12, 0) are the header's VAT bases, the
    // header's total is its bases plus its VAT, the VAT of a rate is that rate of its base, the
    // purchase total is the lines' purchase amounts; every journal row belongs to a receipt.
    void ExpectReceiptsMatchJournal()
    {
        const auto rows = Rows(
            uR"(SELECT u."HLA_DO1", u."HLA_CUH", u."HLA_PCA", u."HLA_NCA",
                   u."HLA_Z22", u."HLA_Z05", u."HLA_Z00", u."HLA_D22", u."HLA_D05",
                   SUM(CASE WHEN d."DEN_DAN" = 21 THEN -d."DEN_HPC" ELSE 0 END),
                   SUM(CASE WHEN d."DEN_DAN" = 12 THEN -d."DEN_HPC" ELSE 0 END),
                   SUM(CASE WHEN d."DEN_DAN" = 0 THEN -d."DEN_HPC" ELSE 0 END),
                   SUM(-d."DEN_HNC"), COUNT(d."DEN_DOK"),
                   SUM(CASE WHEN d."DEN_DAN" IN (0, 12, 21) THEN 0 ELSE 1 END)
            FROM %1 u LEFT JOIN %2 d ON d."DEN_DOK" = u."HLA_DO1"
            GROUP BY u."HLA_DO1", u."HLA_CUH", u."HLA_PCA", u."HLA_NCA", u."HLA_Z22", u."HLA_Z05",
                     u."HLA_Z00", u."HLA_D22", u."HLA_D05")"_s.arg(T(u"UCE"), T(u"DEN")));
        ASSERT_FALSE(rows.isEmpty());
        int withVat = 0;
        for (const QVariantList& r : rows) {
            SCOPED_TRACE(r[0].toString().toStdString());
            const auto v = [&r](int i) { return r[i].toDouble(); };
            const double cuh = v(1), pca = v(2), nca = v(3), z22 = v(4), z05 = v(5), z00 = v(6), d22 = v(7),
                         d05 = v(8);
            EXPECT_GT(r[13].toInt(), 0);
            EXPECT_EQ(r[14].toInt(), 0) << "a line at a rate the station does not have";
            EXPECT_TRUE(Near(z22, v(9))) << z22 << " " << v(9);
            EXPECT_TRUE(Near(z05, v(10))) << z05 << " " << v(10);
            EXPECT_TRUE(Near(z00, v(11))) << z00 << " " << v(11);
            EXPECT_TRUE(Near(nca, v(12))) << nca << " " << v(12);
            EXPECT_TRUE(Near(d22, z22 * 0.21)) << d22 << " " << z22;
            EXPECT_TRUE(Near(d05, z05 * 0.12)) << d05 << " " << z05;
            EXPECT_TRUE(Near(cuh, z22 + z05 + z00 + d22 + d05)) << cuh;
            EXPECT_TRUE(Near(pca, cuh)) << pca << " " << cuh;
            EXPECT_GT(cuh, 0);
            withVat += d22 + d05 > 0;
        }
        EXPECT_GT(withVat, 0);
        EXPECT_EQ(Scalar(uR"(SELECT COUNT(*) FROM %1 d WHERE NOT EXISTS
                             (SELECT 1 FROM %2 u WHERE u."HLA_DO1" = d."DEN_DOK"))"_s.arg(T(u"DEN"),
                                                                                          T(u"UCE")))
                      .toInt(),
                  0);
    }

    // The journal against the stock: a stock card's figure is its opening stock plus every movement
    // of its variant, and the stock its latest movement left; a card's figure is its variants' sum.
    void ExpectJournalMatchesStock()
    {
        const auto cards = Rows(
            uR"(SELECT k."SKL_KAV", k."SKL_IND", k."SKL_POC", k."SKL_STA",
                   (SELECT SUM(d."DEN_KUS") FROM %2 d WHERE d."DEN_KAV" = k."SKL_KAV" AND d."DEN_IND" = k."SKL_IND"),
                   (SELECT d."DEN_ZAS" FROM %2 d WHERE d."DEN_KAV" = k."SKL_KAV" AND d."DEN_IND" = k."SKL_IND"
                    ORDER BY d."DEN_RAD" DESC LIMIT 1)
            FROM %1 k JOIN %3 s ON s."SOR_KAV" = k."SKL_KAV" WHERE s."SOR_SKL" = ?)"_s.arg(
                T(u"SKL"), T(u"DEN"), T(u"SOR")),
            {store->Kind() == TStoreKind::Postgres ? QVariant(true) : QVariant(1)});
        ASSERT_FALSE(cards.isEmpty());
        int moved = 0;
        for (const QVariantList& r : cards) {
            SCOPED_TRACE((r[0].toString() + u'/' + r[1].toString()).toStdString());
            const double poc = r[2].toDouble(), sta = r[3].toDouble();
            EXPECT_TRUE(Near(sta, poc + r[4].toDouble())) << sta << " " << poc << " " << r[4].toDouble();
            if (!r[5].isNull()) {
                ++moved;
                EXPECT_TRUE(Near(sta, r[5].toDouble())) << sta << " " << r[5].toDouble();
            }
        }
        EXPECT_GT(moved, 0);
        const auto totals = Rows(
            uR"(SELECT s."SOR_KAV", s."SOR_STA", SUM(k."SKL_STA") FROM %1 s
                                     JOIN %2 k ON k."SKL_KAV" = s."SOR_KAV" GROUP BY s."SOR_KAV", s."SOR_STA")"_s
                .arg(T(u"SOR"), T(u"SKL")));
        for (const QVariantList& r : totals)
            EXPECT_TRUE(Near(r[1].toDouble(), r[2].toDouble())) << r[0].toString().toStdString();
    }

    // The columns of the store's index `index` on `table`, in key order; empty when the store has no
    // such index on that table.
    QStringList StoreIndexColumns(const QString& table, const QString& index)
    {
        const QString sql = store->Kind() == TStoreKind::Postgres
                                ? uR"(SELECT a.attname FROM pg_indexes x
                      JOIN pg_class c ON c.relname = x.indexname AND c.relnamespace = (SELECT oid FROM pg_namespace WHERE nspname = x.schemaname)
                      JOIN pg_index i ON i.indexrelid = c.oid
                      JOIN LATERAL unnest(i.indkey) WITH ORDINALITY AS k(attnum, n) ON true
                      JOIN pg_attribute a ON a.attrelid = i.indrelid AND a.attnum = k.attnum
                      WHERE x.schemaname = current_schema() AND x.indexname = ? AND x.tablename = ?
                      ORDER BY k.n)"_s
                                : uR"(SELECT ii.name FROM sqlite_master m, pragma_index_info(m.name) ii
                      WHERE m.type = 'index' AND m.name = ? AND m.tbl_name = ? ORDER BY ii.seqno)"_s;
        QStringList columns;
        for (const QVariantList& r : Rows(sql, {index.toLower(), table.toLower()}))
            columns << r[0].toString();
        return columns;
    }

    // The receipt counter stands on the highest receipt number, so the till's next receipt is new.
    void ExpectCounterOnLastReceipt(qint64 last)
    {
        EXPECT_EQ(Scalar(uR"(SELECT MAX("HLA_DO1") FROM %1)"_s.arg(T(u"UCE"))).toString(),
                  u"%1"_s.arg(last, 10, 10, QLatin1Char('0')));
        EXPECT_EQ(Scalar(uR"(SELECT "CIS_UCE" FROM %1)"_s.arg(T(u"CIS"))).toString().toLongLong(), last);
        EXPECT_EQ(Count(u"CIS"), 1);
        EXPECT_EQ(Scalar(uR"(SELECT COUNT(DISTINCT "HLA_DO1") FROM %1)"_s.arg(T(u"UCE"))).toLongLong(),
                  Count(u"UCE"));
    }

    QTemporaryDir m_station;
    QString m_org;
};

TEST_P(ToolTest, InitCreatesTheTablesOnceAndLeavesSharedOnesToOtherOrganisations)
{
    TRun r = Run({u"init"_s});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    for (const TTableDef* def : AllTableDefs()) {
        const QString name = TableNameFor(*def, u"0001"_s);
        EXPECT_TRUE(TableExists(store->Db(), name)) << name.toStdString();
        // Every named index is there for the cursors.
        TTable t(store->Db(), *def);
        t.SetTableName(name);
        t.Open();
        for (const TIndexDef& ix : def->indexes)
            EXPECT_NO_THROW(t.SetIndexName(ix.name)) << name.toStdString() << " " << ix.name.toStdString();
        // ... and a real index of the store, on the same fields in the same order, the row identity
        // last as the tie-breaker of an index that is not unique.
        for (const TIndexDef& ix : def->indexes) {
            SCOPED_TRACE((name + u' ' + ix.name).toStdString());
            QStringList expected = ix.fields;
            if (!ix.unique && ix.fields.last().compare(def->IdentityColumn(), Qt::CaseInsensitive) != 0)
                expected << def->IdentityColumn();
            EXPECT_EQ(StoreIndexColumns(name, name + u'_' + ix.name).join(u',').toStdString(),
                      expected.join(u',').toStdString());
        }
    }

    // A second init refuses, names the tables and changes nothing.
    auto sor = Table(u"SOR");
    sor->Append();
    sor->FieldByName(u"SOR_KAV"_s).SetAsString(u"X1"_s);
    sor->Post();
    sor->Close();
    const int catalog = CatalogTables();
    r = Run({u"init"_s});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(u"SOR0001"_s) && r.err.contains(u"DEN0001"_s)) << r.err.toStdString();
    EXPECT_EQ(CatalogTables(), catalog);
    EXPECT_EQ(Count(u"SOR"), 1);

    // One table of an organisation already there: nothing at all is created for it.
    UseOrganisation(u"0003"_s);
    for (const QString& sql : CreateTableSql(
             TableDef(u"SKL"_s), u"SKL0003"_s, store->Kind(),
             store->Kind() == TStoreKind::Postgres ? PgCzechCollation(store->Db()) : u"cs-CZ-x-icu"_s))
        store->Db().ExecDirect(sql);
    r = Run({u"init"_s});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(u"SKL0003"_s)) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(u"SOR0003"_s)) << r.err.toStdString();
    EXPECT_FALSE(TableExists(store->Db(), u"SOR0003"_s));

    // Another organisation gets its own tables; the shared ones and what they hold stay as they are.
    UseOrganisation(u"0001"_s);
    ASSERT_EQ(Run({u"demo"_s}).status, 1) << "the assortment holds X1";
    Exec(u"DELETE FROM "_s + T(u"SOR"));
    ASSERT_EQ(Run({u"demo"_s}).status, 0);
    const qint64 users = Count(u"USR");
    UseOrganisation(u"0002"_s);
    r = Run({u"init"_s});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(TableExists(store->Db(), u"DEN0002"_s));
    EXPECT_TRUE(r.out.contains(u"Vla0000"_s)) << r.out.toStdString();
    EXPECT_EQ(Count(u"VLA"), 1);
    r = Run({u"demo"_s});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(Count(u"VLA"), 1);
    EXPECT_EQ(Count(u"FUH"), 3);
    EXPECT_EQ(Count(u"USR"), users) << "the users were there already";
    EXPECT_EQ(Count(u"SOR"), 31);
    EXPECT_EQ(Run({u"check"_s}).status, 0);
}

TEST_P(ToolTest, DemoLoadsAConsistentCzechDataSetOnce)
{
    ASSERT_EQ(Run({u"init"_s}).status, 0);
    TRun r = Run({u"demo"_s});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    r = Run({u"check"_s});
    EXPECT_EQ(r.status, 0) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(u"v pořádku"_s)) << r.out.toStdString();

    auto sor = Table(u"SOR");
    sor->SetIndexName(u"KAV"_s);
    ASSERT_TRUE(sor->FindKey({u"100001"_s}));
    EXPECT_EQ(sor->FieldByName(u"SOR_NAC"_s).AsString(), u"Vstupné dospělí"_s);
    EXPECT_FALSE(sor->FieldByName(u"SOR_SKL"_s).AsBoolean());
    EXPECT_EQ(sor->FieldByName(u"SOR_MJE"_s).AsString(), u"ks"_s);
    ASSERT_TRUE(sor->FindKey({u"200005"_s}));
    EXPECT_EQ(sor->FieldByName(u"SOR_NAC"_s).AsString(), u"Čokoládová tyčinka"_s);
    EXPECT_TRUE(sor->FieldByName(u"SOR_SKL"_s).AsBoolean());
    EXPECT_TRUE(sor->FieldByName(u"SOR_PPO"_s).AsDate().isValid()) << "sold in the demo receipts";
    EXPECT_GE(Count(u"SOR"), 25);
    // The station's rates, all three in use; a card with three stock variants.
    const auto rates = Rows(uR"(SELECT DISTINCT "SOR_DAN" FROM %1 ORDER BY 1)"_s.arg(T(u"SOR")));
    ASSERT_EQ(rates.size(), 3);
    EXPECT_EQ(rates[0][0].toDouble(), 0);
    EXPECT_EQ(rates[1][0].toDouble(), 12);
    EXPECT_EQ(rates[2][0].toDouble(), 21);
    EXPECT_EQ(
        Scalar(uR"(SELECT MAX(n) FROM (SELECT COUNT(*) AS n FROM %1 GROUP BY "SKL_KAV") x)"_s.arg(T(u"SKL")))
            .toInt(),
        3);

    auto fuh = Table(u"FUH");
    for (const auto& [code, name, onReceipts] :
         {std::tuple{u"1", u"Hotově", u"1"}, {u"2", u"Platební karta", u"1"}, {u"3", u"Převodem", u"0"}}) {
        ASSERT_TRUE(fuh->Locate(u"FUH_FUH"_s, {QString::fromUtf16(code)}));
        EXPECT_EQ(fuh->FieldByName(u"FUH_NAC"_s).AsString(), QString::fromUtf16(name));
        EXPECT_EQ(fuh->FieldByName(u"FUH_UCT"_s).AsString(), QString::fromUtf16(onReceipts));
    }
    auto usr = Table(u"USR");
    ASSERT_TRUE(usr->Locate(u"USR_LNA"_s, {OsLogin()}));
    EXPECT_EQ(usr->FieldByName(u"USR_INI"_s).AsString(), OsLogin().left(2));
    ASSERT_TRUE(usr->Locate(u"USR_LNA"_s, {u"POKLADNI"_s}));
    EXPECT_EQ(usr->FieldByName(u"USR_PSW"_s).AsString(), u"heslo"_s);
    EXPECT_EQ(usr->FieldByName(u"USR_INI"_s).AsString(), u"PO"_s);
    auto vla = Table(u"VLA");
    EXPECT_EQ(vla->FieldByName(u"VLA_ICO"_s).AsString().size(), 8);
    EXPECT_TRUE(vla->FieldByName(u"VLA_DIC"_s).AsString().startsWith(u"CZ"_s));
    EXPECT_FALSE(vla->FieldByName(u"VLA_FIR"_s).AsString().isEmpty());
    auto cen = Table(u"CEN");
    EXPECT_TRUE(cen->FieldByName(u"CEN_DPH"_s).AsBoolean());

    ExpectReceiptsMatchJournal();
    ExpectJournalMatchesStock();
    ExpectCounterOnLastReceipt(Count(u"UCE"));
    // A pass drawn down to nothing, and one without movements.
    EXPECT_EQ(
        Scalar(uR"(SELECT COUNT(*) FROM %1 WHERE "LEG_POC" = "LEG_CER" AND "LEG_POC" > 0)"_s.arg(T(u"LEG")))
            .toInt(),
        1);
    EXPECT_EQ(Scalar(uR"(SELECT COUNT(*) FROM %1 g WHERE NOT EXISTS
                         (SELECT 1 FROM %2 p WHERE p."LEP_IDM" = g."LEG_IDE"))"_s.arg(T(u"LEG"), T(u"LEP")))
                  .toInt(),
              1);

    // Only into an empty assortment.
    const qint64 journal = Count(u"DEN");
    r = Run({u"demo"_s});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(u"SOR0001"_s)) << r.err.toStdString();
    EXPECT_EQ(Count(u"DEN"), journal);
    EXPECT_EQ(Count(u"VLA"), 1);
}

TEST_P(ToolTest, CheckNamesEveryDisagreement)
{
    ASSERT_EQ(Run({u"init"_s}).status, 0);
    ASSERT_EQ(Run({u"demo"_s}).status, 0);
    const qint64 lastRow =
        Scalar(uR"(SELECT MAX("DEN_RAD") FROM %1 WHERE "DEN_KAV" = '200002' AND "DEN_IND" = '001')"_s.arg(
                   T(u"DEN")))
            .toLongLong();
    ASSERT_GT(lastRow, 0);
    const auto moves = Rows(
        uR"(SELECT p."LEP_IDE", g."LEG_KOD" FROM %1 p JOIN %2 g ON g."LEG_IDE" = p."LEP_IDM"
                                ORDER BY p."LEP_IDE")"_s.arg(T(u"LEP"), T(u"LEG")));
    ASSERT_GE(moves.size(), 3);
    const qint64 middleMove = moves[1][0].toLongLong();
    const QString pass = moves[1][1].toString();

    struct TCase {
        const char* what;
        QString spoil, mend;
        QVariantList binds;
        QString expected;
    };
    const QList<TCase> cases{
        {"stock card against journal and assortment",
         uR"(UPDATE %1 SET "SKL_STA" = "SKL_STA" + 1 WHERE "SKL_KAV" = ? AND "SKL_IND" = ?)"_s.arg(T(u"SKL")),
         uR"(UPDATE %1 SET "SKL_STA" = "SKL_STA" - 1 WHERE "SKL_KAV" = ? AND "SKL_IND" = ?)"_s.arg(T(u"SKL")),
         {u"200001"_s, u"000"_s},
         u"Skladová karta 200001/000"_s},
        {"assortment against stock cards",
         uR"(UPDATE %1 SET "SOR_STA" = "SOR_STA" - 2 WHERE "SOR_KAV" = ?)"_s.arg(T(u"SOR")),
         uR"(UPDATE %1 SET "SOR_STA" = "SOR_STA" + 2 WHERE "SOR_KAV" = ?)"_s.arg(T(u"SOR")),
         {u"200009"_s},
         u"Karta sortimentu 200009"_s},
        {"stock after the latest movement",
         uR"(UPDATE %1 SET "DEN_ZAS" = "DEN_ZAS" + 1 WHERE "DEN_RAD" = ?)"_s.arg(T(u"DEN")),
         uR"(UPDATE %1 SET "DEN_ZAS" = "DEN_ZAS" - 1 WHERE "DEN_RAD" = ?)"_s.arg(T(u"DEN")),
         {lastRow},
         u"200002/001: zásoba"_s},
        {"movement of a stock item without its stock card",
         uR"(UPDATE %1 SET "DEN_IND" = '009' WHERE "DEN_RAD" = ?)"_s.arg(T(u"DEN")),
         uR"(UPDATE %1 SET "DEN_IND" = '001' WHERE "DEN_RAD" = ?)"_s.arg(T(u"DEN")),
         {lastRow},
         u"200002/009"_s},
        {"pass total against its movements",
         uR"(UPDATE %1 SET "LEG_CER" = "LEG_CER" + 10 WHERE "LEG_KOD" = ?)"_s.arg(T(u"LEG")),
         uR"(UPDATE %1 SET "LEG_CER" = "LEG_CER" - 10 WHERE "LEG_KOD" = ?)"_s.arg(T(u"LEG")),
         {pass},
         u"Legitimace %1: čerpání"_s.arg(pass)},
        {"balance after a movement",
         uR"(UPDATE %1 SET "LEP_ZUS" = "LEP_ZUS" + 5 WHERE "LEP_IDE" = ?)"_s.arg(T(u"LEP")),
         uR"(UPDATE %1 SET "LEP_ZUS" = "LEP_ZUS" - 5 WHERE "LEP_IDE" = ?)"_s.arg(T(u"LEP")),
         {middleMove},
         u"Legitimace %1, pohyb %2"_s.arg(pass).arg(middleMove)},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        Exec(c.spoil, c.binds);
        const TRun r = Run({u"check"_s});
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.out.contains(c.expected)) << r.out.toStdString();
        Exec(c.mend, c.binds);
        EXPECT_EQ(Run({u"check"_s}).status, 0);
    }
}

// Deleting a pass keeps its movements by design: check notes them and still passes; a real
// disagreement beside them still fails.
TEST_P(ToolTest, CheckNotesTheMovementsOfADeletedPass)
{
    ASSERT_EQ(Run({u"init"_s}).status, 0);
    ASSERT_EQ(Run({u"demo"_s}).status, 0);
    const auto owners =
        Rows(uR"(SELECT p."LEP_IDM", COUNT(*) FROM %1 p GROUP BY p."LEP_IDM" ORDER BY 1)"_s.arg(T(u"LEP")));
    ASSERT_GE(owners.size(), 2);
    const qint64 deleted = owners[0][0].toLongLong();
    const qint64 moves = owners[0][1].toLongLong();
    ASSERT_GT(moves, 0);
    Exec(uR"(DELETE FROM %1 WHERE "LEG_IDE" = ?)"_s.arg(T(u"LEG")), {deleted});

    TRun r = Run({u"check"_s});
    EXPECT_EQ(r.status, 0) << r.out.toStdString();
    EXPECT_TRUE(
        r.out.contains(u"Poznámka: %1 pohybů patří smazané legitimaci s ID %2"_s.arg(moves).arg(deleted)))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(u"v pořádku"_s)) << r.out.toStdString();

    const QString other =
        Scalar(uR"(SELECT "LEG_KOD" FROM %1 WHERE "LEG_IDE" = ?)"_s.arg(T(u"LEG")), {owners[1][0]})
            .toString();
    Exec(uR"(UPDATE %1 SET "LEG_POC" = "LEG_POC" + 10 WHERE "LEG_KOD" = ?)"_s.arg(T(u"LEG")), {other});
    r = Run({u"check"_s});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.contains(u"Legitimace %1: vklady"_s.arg(other))) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(u"nalezeno nesouhlasů: 1."_s)) << r.out.toStdString();
}

TEST_P(ToolTest, GenerateAppendsConsistentVolumesAfterExistingData)
{
    ASSERT_EQ(Run({u"init"_s}).status, 0);
    ASSERT_EQ(Run({u"demo"_s}).status, 0);
    const qint64 cards = Count(u"SOR"), receipts = Count(u"UCE"), journal = Count(u"DEN"),
                 passes = Count(u"LEG"), moves = Count(u"LEP");
    const QStringList sizes{u"generate"_s, u"--cards"_s,    u"12"_s,          u"--variants"_s,
                            u"3"_s,        u"--receipts"_s, u"40"_s,          u"--lines=4"_s,
                            u"--passes"_s, u"6"_s,          u"--movements"_s, u"5"_s};
    TRun r = Run(sizes);
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(u"Hotovo"_s)) << r.out.toStdString();
    EXPECT_EQ(Count(u"SOR"), cards + 12);
    EXPECT_EQ(Count(u"UCE"), receipts + 40);
    EXPECT_EQ(Count(u"DEN"), journal + 160);
    EXPECT_EQ(Count(u"LEG"), passes + 6);
    EXPECT_EQ(Count(u"LEP"), moves + 30);
    r = Run({u"check"_s});
    EXPECT_EQ(r.status, 0) << r.out.toStdString();
    ExpectReceiptsMatchJournal();
    ExpectJournalMatchesStock();
    ExpectCounterOnLastReceipt(receipts + 40);

    // New stock cards have the asked variants, services one; stock and services both generated.
    const auto variants = Rows(
        uR"(SELECT s."SOR_KAV", s."SOR_SKL", COUNT(k."SKL_IND") FROM %1 s
                                   JOIN %2 k ON k."SKL_KAV" = s."SOR_KAV"
                                   WHERE s."SOR_KAV" > '200018' GROUP BY s."SOR_KAV", s."SOR_SKL")"_s.arg(
            T(u"SOR"), T(u"SKL")));
    ASSERT_EQ(variants.size(), 12);
    int stockCards = 0;
    for (const QVariantList& v : variants) {
        const bool skl = v[1].toString() == u"t"_s || v[1].toString() == u"true"_s || v[1].toInt() == 1;
        stockCards += skl;
        EXPECT_EQ(v[2].toInt(), skl ? 3 : 1) << v[0].toString().toStdString();
    }
    EXPECT_GT(stockCards, 0);
    EXPECT_LT(stockCards, 12);

    // What the bulk inserts wrote reads back through the cursors like what the program writes.
    const QString lastReceipt = u"%1"_s.arg(receipts + 40, 10, 10, QLatin1Char('0'));
    auto uce = Table(u"UCE");
    uce->SetIndexName(u"DO1"_s);
    ASSERT_TRUE(uce->FindKey({lastReceipt}));
    const QDateTime at = uce->FieldByName(u"HLA_DAT"_s).AsDateTime();
    EXPECT_TRUE(at.isValid());
    EXPECT_EQ(uce->FieldByName(u"HLA_DO2"_s).AsString(), u"0000000000"_s);
    EXPECT_TRUE(uce->FieldByName(u"HLA_PLA"_s).AsBoolean());
    auto den = Table(u"DEN");
    den->SetIndexName(u"DOK"_s);
    ASSERT_TRUE(den->FindKey({lastReceipt}));
    EXPECT_EQ(den->FieldByName(u"DEN_DAT"_s).AsDate(), at.date());
    EXPECT_TRUE(den->FieldByName(u"DEN_KDY"_s).AsTime().isValid());
    EXPECT_EQ(den->FieldByName(u"DEN_OPE"_s).AsString(), u"005"_s);
    EXPECT_LT(den->FieldByName(u"DEN_KUS"_s).AsFloat(), 0);
    auto leg = Table(u"LEG");
    leg->SetIndexName(u"KOD"_s);
    leg->Last();
    const qint64 passId = leg->FieldByName(u"LEG_IDE"_s).AsInteger();
    EXPECT_TRUE(leg->FieldByName(u"LEG_ODD"_s).AsDateTime().isValid());
    EXPECT_GT(leg->FieldByName(u"LEG_DOD"_s).AsDateTime(), leg->FieldByName(u"LEG_ODD"_s).AsDateTime());
    auto lep = Table(u"LEP");
    lep->SetIndexName(u"KOD"_s);
    lep->SetRange({passId, 0}, {passId, 10000000});
    lep->Last();
    EXPECT_EQ(lep->RecordCount(), 5);
    EXPECT_TRUE(Near(lep->FieldByName(u"LEP_ZUS"_s).AsFloat(),
                     leg->FieldByName(u"LEG_POC"_s).AsFloat() - leg->FieldByName(u"LEG_CER"_s).AsFloat()));
    EXPECT_GE(lep->FieldByName(u"LEP_ZUS"_s).AsFloat(), 0);

    // Again: new codes after the generated ones, still consistent.
    ASSERT_EQ(Run(sizes).status, 0);
    EXPECT_EQ(Count(u"SOR"), cards + 24);
    EXPECT_EQ(Scalar(uR"(SELECT COUNT(DISTINCT "LEG_KOD") FROM %1)"_s.arg(T(u"LEG"))).toLongLong(),
              passes + 12);
    EXPECT_EQ(Run({u"check"_s}).status, 0);
    ExpectCounterOnLastReceipt(receipts + 80);

    // An organisation without demo data: the codebook record is created, numbering starts at 1.
    UseOrganisation(u"0002"_s);
    ASSERT_EQ(Run({u"init"_s}).status, 0);
    r = Run(sizes);
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(Run({u"check"_s}).status, 0);
    ExpectCounterOnLastReceipt(40);
    ExpectReceiptsMatchJournal();
}

KV_INSTANTIATE_STORES(ToolTest);

TEST(ToolEmbeddedStore, InitCreatesAMissingStoreFile)
{
    QTemporaryDir dir;
    WriteFile(dir.filePath(u"Prodejna.ini"_s), Ini(u"LOCAL"_s, u"127.0.0.1"_s, u"Nova"_s, u"0001"_s));
    const TRun r = RunTool(dir.path(), {u"init"_s});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(QFile::exists(dir.filePath(u"Nova.db"_s)));
    const TRun check = RunTool(dir.path(), {u"check"_s});
    EXPECT_EQ(check.status, 0) << check.out.toStdString() << check.err.toStdString();
}

TEST(ToolEmbeddedStore, WithoutTheStoreEveryOtherCommandFailsAndCreatesNothing)
{
    QTemporaryDir dir;
    WriteFile(dir.filePath(u"Prodejna.ini"_s), Ini(u"LOCAL"_s, u"127.0.0.1"_s, u"Chybi"_s, u"0001"_s));
    QString clientMessage;
    {
        TCommsEngine engine;
        engine.Protocol = u"LOCAL"_s;
        engine.SetActive(true);
        TSession session(engine);
        session.Open();
        TDatabase db(session);
        db.AliasName = u"Chybi"_s;
        db.Directory = dir.path();
        try {
            db.Open();
        } catch (const EDatabaseError& e) {
            clientMessage = e.Message();
        }
    }
    ASSERT_FALSE(clientMessage.isEmpty());
    for (const QStringList& args : {QStringList{u"demo"_s}, QStringList{u"generate"_s, u"--cards"_s, u"5"_s},
                                    QStringList{u"check"_s}}) {
        const TRun r = RunTool(dir.path(), args);
        EXPECT_EQ(r.status, 1) << args.join(u' ').toStdString();
        EXPECT_TRUE(r.err.contains(clientMessage)) << r.err.toStdString();
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{u"Prodejna.ini"_s});
    }
}

TEST(ToolUsage, WrongCallsExitWithTwo)
{
    QTemporaryDir withoutIni;
    struct TCase {
        QStringList args;
        int status;
        QString text;
    };
    const QList<TCase> cases{
        {{}, 2, u"chybí příkaz"_s},
        {{u"vytvor"_s}, 2, u"neznámý příkaz vytvor"_s},
        {{u"init"_s, u"demo"_s}, 2, u"nadbytečný argument demo"_s},
        {{u"check"_s, u"--cards"_s, u"5"_s}, 2, u"--cards"_s},
        {{u"generate"_s, u"--cards"_s}, 2, u"--cards"_s},
        {{u"generate"_s, u"--receipts"_s, u"-1"_s}, 2, u"--receipts"_s},
        {{u"generate"_s, u"--lines"_s, u"x"_s}, 2, u"--lines"_s},
        {{u"generate"_s, u"--variants"_s, u"0"_s}, 2, u"--variants"_s},
        {{u"generate"_s, u"--cards"_s, u"0"_s}, 2, u"--cards"_s},
        {{u"generate"_s, u"--verbose"_s}, 2, u"neznámá volba --verbose"_s},
        {{u"check"_s}, 2, u"nenalezen"_s},  // no Prodejna.ini in the folder
    };
    for (const TCase& c : cases) {
        const TRun r = RunTool(withoutIni.path(), c.args);
        EXPECT_EQ(r.status, c.status) << c.args.join(u' ').toStdString();
        EXPECT_TRUE(r.err.contains(c.text)) << c.args.join(u' ').toStdString() << ": " << r.err.toStdString();
    }
    const TRun help = RunTool(withoutIni.path(), {u"--help"_s});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains(u"Použití: korvanta-db"_s));
}

}  // namespace
