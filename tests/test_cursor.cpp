// Table cursors over both stores: order, search, ranges, filters, editing, transactions.
#include "TestSupport.h"

#include "MemTable.h"

#include <QThread>

#include <atomic>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

class CursorTest : public StoreTest {
protected:
    std::unique_ptr<TTable> Table(const QString& prefix, TDatabase* db = nullptr)
    {
        const TTableDef& def = TableDef(prefix);
        auto t = std::make_unique<TTable>(db ? *db : store->Db(), def);
        t->SetTableName(TableNameFor(def, u"0001"_s));
        return t;
    }

    void AddCard(TTable& t, const QString& kav, const QString& name, double pc1 = 0)
    {
        t.Append();
        t.FieldByName(u"SOR_KAV"_s).SetAsString(kav);
        t.FieldByName(u"SOR_NAC"_s).SetAsString(name);
        t.FieldByName(u"SOR_PC1"_s).SetAsFloat(pc1);
        t.Post();
    }

    QStringList Walk(TTable& t, const QString& field, bool backwards = false)
    {
        QStringList out;
        if (backwards) {
            for (t.Last(); !t.Bof(); t.Prior())
                out << t.FieldByName(field).AsString();
        } else {
            for (t.First(); !t.Eof(); t.Next())
                out << t.FieldByName(field).AsString();
        }
        return out;
    }
};

TEST_P(CursorTest, IndexOrderNavigationAndEnds)
{
    auto sor = Table(u"SOR"_s);
    sor->Open();
    EXPECT_TRUE(sor->IsEmpty());
    EXPECT_TRUE(sor->Eof());
    EXPECT_TRUE(sor->Bof());
    sor->Next();  // harmless on an empty table
    EXPECT_EQ(sor->RecordCount(), 0);

    AddCard(*sor, u"300"_s, u"Zelí"_s, 10);
    AddCard(*sor, u"100"_s, u"Cukr"_s, 30);
    AddCard(*sor, u"200"_s, u"Čaj"_s, 20);
    AddCard(*sor, u"400"_s, u"Chléb"_s, 20);
    AddCard(*sor, u"500"_s, u"Hrách"_s, 5);

    sor->SetIndexName(u"KAV"_s);
    EXPECT_EQ(Walk(*sor, u"SOR_KAV"_s), (QStringList{u"100"_s, u"200"_s, u"300"_s, u"400"_s, u"500"_s}));
    EXPECT_EQ(Walk(*sor, u"SOR_KAV"_s, true),
              (QStringList{u"500"_s, u"400"_s, u"300"_s, u"200"_s, u"100"_s}));

    // Czech alphabetical order: Č after C, Ch after H.
    sor->SetIndexName(u"NAC"_s);
    EXPECT_EQ(Walk(*sor, u"SOR_NAC"_s),
              (QStringList{u"Cukr"_s, u"Čaj"_s, u"Hrách"_s, u"Chléb"_s, u"Zelí"_s}));

    // Equal keys keep a stable order (the identity breaks ties) and none is skipped or repeated.
    sor->SetIndexName(u"PC1"_s);
    EXPECT_EQ(Walk(*sor, u"SOR_KAV"_s), (QStringList{u"500"_s, u"300"_s, u"200"_s, u"400"_s, u"100"_s}));
    EXPECT_EQ(Walk(*sor, u"SOR_KAV"_s, true),
              (QStringList{u"100"_s, u"400"_s, u"200"_s, u"300"_s, u"500"_s}));

    // Next at the end raises Eof and stays on the last record.
    sor->Last();
    sor->Next();
    EXPECT_TRUE(sor->Eof());
    EXPECT_EQ(sor->FieldByName(u"SOR_KAV"_s).AsString(), u"100"_s);
    sor->First();
    EXPECT_TRUE(sor->Bof());
    sor->Prior();
    EXPECT_TRUE(sor->Bof());
    EXPECT_EQ(sor->FieldByName(u"SOR_KAV"_s).AsString(), u"500"_s);
    EXPECT_EQ(sor->RecordCount(), 5);

    // Opening positions on the first record of the index chosen while closed.
    sor->Close();
    sor->SetIndexName(u"NAC"_s);
    sor->Open();
    EXPECT_EQ(sor->FieldByName(u"SOR_NAC"_s).AsString(), u"Cukr"_s);
    EXPECT_THROW(sor->SetIndexName(u"XYZ"_s), EDatabaseError);
}

TEST_P(CursorTest, FindKeyNearestRangeLocate)
{
    auto sor = Table(u"SOR"_s);
    sor->Open();
    for (const auto& [k, n] :
         {std::pair{u"A1", u"Chléb"}, {u"B2", u"Cukr"}, {u"C3", u"Čaj"}, {u"D4", u"Hrách"}})
        AddCard(*sor, QString::fromUtf16(k), QString::fromUtf16(n));

    sor->SetIndexName(u"KAV"_s);
    EXPECT_TRUE(sor->FindKey({u"C3"_s}));
    EXPECT_EQ(sor->FieldByName(u"SOR_NAC"_s).AsString(), u"Čaj"_s);
    EXPECT_FALSE(sor->FindKey({u"c3"_s}));  // exact, case-sensitive
    EXPECT_EQ(sor->FieldByName(u"SOR_KAV"_s).AsString(), u"C3"_s) << "a failed search keeps the position";

    sor->SetIndexName(u"NAC"_s);
    sor->FindNearest({u"Ch"_s});
    EXPECT_EQ(sor->FieldByName(u"SOR_NAC"_s).AsString(), u"Chléb"_s);
    sor->FindNearest({u"Č"_s});
    EXPECT_EQ(sor->FieldByName(u"SOR_NAC"_s).AsString(), u"Čaj"_s);
    sor->FindNearest({u"Ž"_s});
    EXPECT_TRUE(sor->Eof());

    // Quotes, semicolons and SQL in a value are data.
    for (const QString& evil : {u"x' OR '1'='1"_s, u"'; DROP TABLE sor0001; --"_s, u"\"SOR_KAV\""_s}) {
        EXPECT_FALSE(sor->Locate(u"SOR_NAC"_s, {evil}));
        sor->SetIndexName(u"KAV"_s);
        EXPECT_FALSE(sor->FindKey({evil}));
    }
    EXPECT_TRUE(sor->Locate(u"SOR_KAV;SOR_NAC"_s, {u"D4"_s, u"Hrách"_s}));
    EXPECT_FALSE(sor->Locate(u"SOR_KAV;SOR_NAC"_s, {u"D4"_s, u"hrách"_s}));
    EXPECT_EQ(sor->RecordCount(), 4);

    // Range with both ends included; changing the index cancels it.
    sor->SetIndexName(u"KAV"_s);
    sor->SetRange({u"B2"_s}, {u"C3"_s});
    EXPECT_EQ(Walk(*sor, u"SOR_KAV"_s), (QStringList{u"B2"_s, u"C3"_s}));
    EXPECT_EQ(sor->RecordCount(), 2);
    EXPECT_FALSE(sor->FindKey({u"A1"_s}));
    sor->SetIndexName(u"KAV"_s);
    EXPECT_EQ(sor->RecordCount(), 4);
}

TEST_P(CursorTest, RangeOverTwoFieldKeyAndLatestFirstIndex)
{
    auto lep = Table(u"LEP"_s);
    lep->Open();
    for (int pass : {2, 1, 2, 3, 2}) {
        lep->Append();
        lep->FieldByName(u"LEP_IDM"_s).SetAsInteger(pass);
        lep->Post();
    }
    lep->SetIndexName(u"KOD"_s);
    lep->SetRange({2, 0}, {2, 10000000});
    QList<int> ids;
    for (lep->First(); !lep->Eof(); lep->Next())
        ids << lep->FieldByName(u"LEP_IDE"_s).AsInteger();
    EXPECT_EQ(ids, (QList<int>{1, 3, 5}));

    auto den = Table(u"DEN"_s);
    den->Open();
    const double stock[] = {5, 4, 7, 2};
    for (int i = 0; i < 4; ++i) {
        den->Append();
        den->FieldByName(u"DEN_KAV"_s).SetAsString(i == 2 ? u"X"_s : u"K"_s);
        den->FieldByName(u"DEN_IND"_s).SetAsString(u"000"_s);
        den->FieldByName(u"DEN_ZAS"_s).SetAsFloat(stock[i]);
        den->Post();
    }
    den->SetIndexName(u"STA"_s);
    ASSERT_TRUE(den->FindKey({u"K"_s, u"000"_s}));
    EXPECT_EQ(den->FieldByName(u"DEN_ZAS"_s).AsFloat(), 2) << "the latest movement comes first";
    den->Next();
    EXPECT_EQ(den->FieldByName(u"DEN_ZAS"_s).AsFloat(), 4);
    EXPECT_FALSE(den->FindKey({u"K"_s, u"001"_s}));
}

TEST_P(CursorTest, FilterIsParsedIntoBoundValues)
{
    auto fuh = Table(u"FUH"_s);
    fuh->Open();
    const QList<std::pair<QString, QString>> forms{{u"1"_s, u"1"_s}, {u"2"_s, u"0"_s}, {u"3"_s, u"1"_s}};
    for (const auto& [code, uct] : forms) {
        fuh->Append();
        fuh->FieldByName(u"FUH_FUH"_s).SetAsString(code);
        fuh->FieldByName(u"FUH_UCT"_s).SetAsString(uct);
        fuh->FieldByName(u"FUH_NAC"_s).SetAsString(u"O'Brien; DROP"_s);
        fuh->Post();
    }
    fuh->SetFilter(u"FUH_UCT = '1'"_s);
    fuh->SetFiltered(true);
    EXPECT_EQ(Walk(*fuh, u"FUH_FUH"_s), (QStringList{u"1"_s, u"3"_s}));
    EXPECT_FALSE(fuh->Locate(u"FUH_FUH"_s, {u"2"_s}));

    fuh->SetFilter(u"(FUH_UCT <> '1' OR FUH_FUH = '3') AND NOT FUH_FUH = '1'"_s);
    EXPECT_EQ(Walk(*fuh, u"FUH_FUH"_s), (QStringList{u"2"_s, u"3"_s}));
    fuh->SetFilter(u"FUH_NAC = 'O''Brien; DROP'"_s);
    EXPECT_EQ(fuh->RecordCount(), 3);
    fuh->SetFiltered(false);
    EXPECT_EQ(fuh->RecordCount(), 3);

    for (const QString& bad : {u"FUH_UCT = "_s, u"NOSUCH = 1"_s, u"FUH_UCT = 'x"_s, u"1 = 1"_s,
                               u"FUH_UCT = '1'; DELETE FROM fuh0000"_s}) {
        EXPECT_THROW(fuh->SetFilter(bad), EDatabaseError) << bad.toStdString();
    }
    EXPECT_EQ(fuh->RecordCount(), 3);
}

TEST_P(CursorTest, PostStoresCutTextsAutoIncAndChangedFieldsOnly)
{
    auto leg = Table(u"LEG"_s);
    leg->OnCalcFields = [](TDataSet& d) {
        d.FieldByName(u"LEG_ZUS"_s)
            .SetAsFloat(d.FieldByName(u"LEG_POC"_s).AsFloat() - d.FieldByName(u"LEG_CER"_s).AsFloat());
    };
    leg->Open();
    leg->Append();
    leg->FieldByName(u"LEG_KOD"_s).SetAsString(u"12345678901234"_s);
    leg->FieldByName(u"LEG_JME"_s).SetAsString(u"Žluťoučký kůň úpěl ďábelské ódy a víc"_s);
    leg->FieldByName(u"LEG_POC"_s).SetAsFloat(1000);
    leg->FieldByName(u"LEG_CER"_s).SetAsFloat(1250);
    EXPECT_EQ(leg->FieldByName(u"LEG_ZUS"_s).AsFloat(), -250) << "recomputed during the edit";
    leg->FieldByName(u"LEG_ODD"_s).SetAsDateTime(QDateTime(QDate(2026, 12, 9), QTime(10, 30, 15)));
    leg->Post();
    EXPECT_GT(leg->FieldByName(u"LEG_IDE"_s).AsInteger(), 0);
    EXPECT_EQ(leg->FieldByName(u"LEG_KOD"_s).AsString(), u"1234567890"_s);
    EXPECT_EQ(leg->FieldByName(u"LEG_JME"_s).AsString().size(), 30);
    EXPECT_EQ(leg->FieldByName(u"LEG_ODD"_s).AsDateTime(), QDateTime(QDate(2026, 12, 9), QTime(10, 30, 15)));
    EXPECT_TRUE(leg->FieldByName(u"LEG_DOD"_s).IsNull());
    EXPECT_EQ(leg->FieldByName(u"LEG_POC"_s).DisplayText(), u"1\u00a0000,00"_s);
    EXPECT_EQ(leg->FieldByName(u"LEG_ZUS"_s).AsFloat(), -250);
    EXPECT_EQ(leg->FieldByName(u"LEG_ODD"_s).DisplayText(), u"09.12.2026"_s);

    // Two tills edit different fields of the same pass: both changes survive.
    auto other = store->SecondConnection();
    auto leg2 = Table(u"LEG"_s, &other->Db());
    leg2->Open();
    leg->Edit();
    leg2->Edit();
    leg->FieldByName(u"LEG_POC"_s).SetAsFloat(2000);
    leg2->FieldByName(u"LEG_JME"_s).SetAsString(u"Nový"_s);
    leg->Post();
    leg2->Post();
    EXPECT_EQ(leg2->FieldByName(u"LEG_POC"_s).AsFloat(), 2000);
    leg->Refresh();
    EXPECT_EQ(leg->FieldByName(u"LEG_JME"_s).AsString(), u"Nový"_s);

    // The same field changed by both: the later post is refused and its record stays in edit.
    leg->Edit();
    leg2->Edit();
    leg->FieldByName(u"LEG_CER"_s).SetAsFloat(1);
    leg2->FieldByName(u"LEG_CER"_s).SetAsFloat(2);
    leg->Post();
    EXPECT_THROW(leg2->Post(), EDatabaseError);
    EXPECT_EQ(leg2->State(), TDataSetState::Edit);
    leg2->Cancel();
    leg2->Refresh();
    EXPECT_EQ(leg2->FieldByName(u"LEG_CER"_s).AsFloat(), 1);

    // Floats keep every bit through the store.
    leg->Edit();
    leg->FieldByName(u"LEG_POC"_s).SetAsFloat(0.1 + 0.2);
    leg->Post();
    leg->Refresh();
    EXPECT_EQ(leg->FieldByName(u"LEG_POC"_s).AsFloat(), 0.1 + 0.2);
}

TEST_P(CursorTest, CancelDeleteAndBookmarks)
{
    auto sor = Table(u"SOR"_s);
    sor->Open();
    sor->SetIndexName(u"KAV"_s);
    for (const QString& k : {u"1"_s, u"2"_s, u"3"_s})
        AddCard(*sor, k, u"Karta "_s + k);
    ASSERT_TRUE(sor->FindKey({u"2"_s}));
    const TBookmark mark = sor->GetBookmark();

    sor->Append();
    sor->FieldByName(u"SOR_KAV"_s).SetAsString(u"9"_s);
    sor->Cancel();
    EXPECT_EQ(sor->FieldByName(u"SOR_KAV"_s).AsString(), u"2"_s);
    sor->Edit();
    sor->FieldByName(u"SOR_NAC"_s).SetAsString(u"Změna"_s);
    sor->Cancel();
    EXPECT_EQ(sor->FieldByName(u"SOR_NAC"_s).AsString(), u"Karta 2"_s);
    EXPECT_EQ(sor->RecordCount(), 3);

    sor->First();
    sor->GotoBookmark(mark);
    EXPECT_EQ(sor->FieldByName(u"SOR_KAV"_s).AsString(), u"2"_s);
    sor->Delete();
    EXPECT_EQ(sor->FieldByName(u"SOR_KAV"_s).AsString(), u"3"_s) << "stands on the next record";
    EXPECT_FALSE(sor->BookmarkValid(mark));
    EXPECT_THROW(sor->GotoBookmark(mark), EDatabaseError);
    sor->Delete();
    EXPECT_EQ(sor->FieldByName(u"SOR_KAV"_s).AsString(), u"1"_s) << "the last one deleted: the one before";
    sor->Delete();
    EXPECT_TRUE(sor->IsEmpty());
    EXPECT_THROW(sor->Delete(), EDatabaseError);

    // Edit on an empty table starts an insert.
    sor->Edit();
    EXPECT_EQ(sor->State(), TDataSetState::Insert);
    sor->Cancel();
}

TEST_P(CursorTest, TransactionsStoreAllOrNothing)
{
    auto sor = Table(u"SOR"_s);
    sor->Open();
    auto& db = store->Db();
    db.StartTransaction();
    EXPECT_THROW(db.StartTransaction(), EDatabaseError);
    AddCard(*sor, u"1"_s, u"A"_s);
    AddCard(*sor, u"2"_s, u"B"_s);
    db.Rollback();
    sor->First();
    EXPECT_TRUE(sor->IsEmpty());

    db.StartTransaction();
    AddCard(*sor, u"1"_s, u"A"_s);
    AddCard(*sor, u"2"_s, u"B"_s);
    db.Commit();
    EXPECT_FALSE(db.InTransaction());
    EXPECT_EQ(sor->RecordCount(), 2);

    // A failing statement inside the transaction, then rollback: nothing of it stays.
    db.StartTransaction();
    AddCard(*sor, u"3"_s, u"C"_s);
    EXPECT_THROW(AddCard(*sor, u"1"_s, u"duplicate card"_s), EDatabaseError);
    sor->Cancel();
    db.Rollback();
    EXPECT_EQ(sor->RecordCount(), 2);
}

// A transaction that the store refuses only when it commits (a deferred constraint): the commit
// fails with the store's message, nothing of the transaction is stored, no transaction stays open,
// and the next transaction works.
TEST_P(CursorTest, FailureAtCommitLeavesNothingHalfApplied)
{
    auto sor = Table(u"SOR"_s);
    sor->Open();
    AddCard(*sor, u"1"_s, u"A"_s);
    auto& db = store->Db();
    // SQLite checks foreign keys only where the connection asks for it.
    if (store->Kind() == TStoreKind::Sqlite)
        db.ExecDirect(u"PRAGMA foreign_keys = ON"_s);
    db.ExecDirect(u"CREATE TABLE kv_parent (id INTEGER PRIMARY KEY)"_s);
    db.ExecDirect(
        u"CREATE TABLE kv_child (parent INTEGER REFERENCES kv_parent (id) DEFERRABLE INITIALLY DEFERRED)"_s);

    db.StartTransaction();
    AddCard(*sor, u"2"_s, u"B"_s);
    sor->First();
    sor->Edit();
    sor->FieldByName(u"SOR_NAC"_s).SetAsString(u"A changed"_s);
    sor->Post();
    db.ExecDirect(u"INSERT INTO kv_child (parent) VALUES (7)"_s);  // no parent 7: refused at commit
    QString error;
    try {
        db.Commit();
    } catch (const EDatabaseError& e) {
        error = e.Message();
    }
    EXPECT_FALSE(error.isEmpty()) << "the commit reported success";
    EXPECT_TRUE(error.contains(u"foreign key"_s, Qt::CaseInsensitive)) << error.toStdString();
    EXPECT_FALSE(db.InTransaction());

    // Another connection sees the store as before the transaction.
    auto other = store->SecondConnection();
    auto seen = Table(u"SOR"_s, &other->Db());
    seen->Open();
    EXPECT_EQ(Walk(*seen, u"SOR_NAC"_s), QStringList{u"A"_s});
    EXPECT_TRUE(other->Db().SelectRows(u"SELECT * FROM kv_child"_s, {}).isEmpty());

    // The next transaction goes through, and its lock is gone once it commits.
    sor->Refresh();
    db.StartTransaction();
    AddCard(*sor, u"3"_s, u"C"_s);
    db.Commit();
    EXPECT_FALSE(db.InTransaction());
    seen->Refresh();
    EXPECT_EQ(Walk(*seen, u"SOR_KAV"_s), (QStringList{u"1"_s, u"3"_s}));
    other->Db().StartTransaction();
    AddCard(*seen, u"4"_s, u"D"_s);
    other->Db().Commit();
}

// Two tills raise the receipt counter in transactions many times each; no increment may be lost.
TEST_P(CursorTest, ConcurrentCounterLosesNoUpdate)
{
    {
        auto cis = Table(u"CIS"_s);
        cis->Open();
        cis->Append();
        cis->FieldByName(u"CIS_UCE"_s).SetAsString(u"0"_s);
        cis->Post();
    }
    constexpr int kPerTill = 150;
    std::atomic<int> failures{0};
    auto till = [&] {
        try {
            auto conn = store->SecondConnection();
            TTable cis(conn->Db(), TableDef(u"CIS"_s));
            cis.SetTableName(u"CIS0001"_s);
            cis.Open();
            for (int i = 0; i < kPerTill; ++i) {
                conn->Db().StartTransaction();
                try {
                    cis.Edit();
                    const int n = cis.FieldByName(u"CIS_UCE"_s).AsString().toInt();
                    cis.FieldByName(u"CIS_UCE"_s)
                        .SetAsString(QString::number(n + 1).rightJustified(10, u'0'));
                    cis.Post();
                    conn->Db().Commit();
                } catch (const EDatabaseError& e) {
                    ADD_FAILURE() << e.what();
                    cis.Cancel();
                    conn->Db().Rollback();
                    ++failures;
                }
            }
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what();
            ++failures;
        }
    };
    std::thread a(till), b(till);
    a.join();
    b.join();
    EXPECT_EQ(failures.load(), 0);
    auto cis = Table(u"CIS"_s);
    cis->Open();
    EXPECT_EQ(cis->FieldByName(u"CIS_UCE"_s).AsString(),
              QString::number(2 * kPerTill).rightJustified(10, u'0'));
}

KV_INSTANTIATE_STORES(CursorTest);

TEST(MemTable, KeepsInsertionOrderAndLosesRowsOnClose)
{
    TMemTable dok(TableDef(u"DOK"_s));
    dok.Open();
    for (const QString& k : {u"B"_s, u"A"_s, u"C"_s}) {
        dok.Append();
        dok.FieldByName(u"DOK_KAV"_s).SetAsString(k);
        dok.FieldByName(u"DOK_IND"_s).SetAsString(u"000"_s);
        dok.FieldByName(u"DOK_NAZ"_s).SetAsString(QString(50, u'x'));
        dok.Post();
    }
    QStringList order;
    for (dok.First(); !dok.Eof(); dok.Next())
        order << dok.FieldByName(u"DOK_KAV"_s).AsString();
    EXPECT_EQ(order, (QStringList{u"B"_s, u"A"_s, u"C"_s}));
    EXPECT_TRUE(dok.Locate(u"DOK_KAV;DOK_IND"_s, {u"A"_s, u"000"_s}));
    EXPECT_EQ(dok.FieldByName(u"DOK_NAZ"_s).AsString().size(), 40);
    dok.Edit();
    dok.FieldByName(u"DOK_KUS"_s).SetAsFloat(2.5);
    dok.Post();
    EXPECT_TRUE(dok.Locate(u"DOK_KAV"_s, {u"A"_s}));
    EXPECT_EQ(dok.FieldByName(u"DOK_KUS"_s).AsFloat(), 2.5);
    dok.Close();
    dok.Open();
    EXPECT_TRUE(dok.IsEmpty());
}

TEST(DisplayFormat, FollowsRegionalSettings)
{
    const QLocale cz(QLocale::Czech, QLocale::Czechia);
    const QString nbsp = QString(QChar(0x00a0));
    struct Case {
        const char16_t* pattern;
        double value;
        QString expected;
    };
    const Case cases[] = {
        {u"#,##0.00", 1234.5, u"1"_s + nbsp + u"234,50"_s},
        {u"#,##0.00", -0.001, u"0,00"_s},
        {u"##0.00", 1234.5, u"1234,50"_s},
        {u"#,##0.000", 1234567.0625, u"1"_s + nbsp + u"234"_s + nbsp + u"567,063"_s},
        {u"###0.00", 35, u"35,00"_s},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FieldValues::FormatFloat(QString::fromUtf16(c.pattern), c.value, cz), c.expected)
            << QString::fromUtf16(c.pattern).toStdString();
    EXPECT_EQ(FieldValues::FloatToStr(1.5, cz), u"1,5"_s);
    EXPECT_EQ(FieldValues::FloatToStr(3, cz), u"3"_s);
    EXPECT_EQ(FieldValues::FloatToStr(16.666666666666668, cz), u"16,666666666666668"_s);
    TFieldDef b{u"SOR_SKL"_s, TFieldType::Boolean, 0, u""_s, u"Ano;Ne"_s};
    EXPECT_EQ(FieldValues::Display(b, true, cz), u"Ano"_s);
    EXPECT_EQ(FieldValues::Display(b, false, cz), u"Ne"_s);
}

}  // namespace
