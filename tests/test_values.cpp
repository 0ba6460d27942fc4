// Values on their way into and out of the store: keys longer than their field, texts cut to a field,
// dates, numbers, a NUL character, deeply nested filters and the range of one pass's movements.
#include "TestSupport.h"

#include "Filter.h"
#include "MemTable.h"

#include <QSqlQuery>

using namespace Qt::StringLiterals;

namespace {

TFieldDef Field(const QString& name, TFieldType type)
{
    TFieldDef f;
    f.name = name;
    f.type = type;
    return f;
}

class ValuesTest : public StoreTest {
protected:
    static QStringList Walk(TTable& t, const QString& field)
    {
        QStringList out;
        for (t.First(); !t.Eof(); t.Next())
            out << t.FieldByName(field).AsString();
        return out;
    }
};

// A code typed one character too long must not find the card whose code it starts with.
TEST_P(ValuesTest, KeyLongerThanItsFieldMatchesNothing)
{
    auto sor = Table(u"SOR"_s);
    for (const QString& kav : {u"100001"_s, u"100002"_s}) {
        sor->Append();
        sor->FieldByName(u"SOR_KAV"_s).SetAsString(kav);
        sor->FieldByName(u"SOR_NAC"_s).SetAsString(u"Karta "_s + kav);
        sor->Post();
    }
    auto skl = Table(u"SKL"_s);
    skl->Append();
    skl->FieldByName(u"SKL_KAV"_s).SetAsString(u"100001"_s);
    skl->FieldByName(u"SKL_IND"_s).SetAsString(u"001"_s);
    skl->Post();

    sor->SetIndexName(u"KAV"_s);
    skl->SetIndexName(u"KAV"_s);
    struct Case {
        const char* what;
        std::function<bool()> found;
        bool expected;
    };
    const Case cases[] = {
        {"find key, exact code", [&] { return sor->FindKey({u"100001"_s}); }, true},
        {"find key, one character more", [&] { return sor->FindKey({u"1000019"_s}); }, false},
        {"find key, two fields, variant too long",
         [&] {
             return skl->FindKey({u"100001"_s, u"0019"_s});
         },
         false},
        {"find key, two fields, card too long",
         [&] {
             return skl->FindKey({u"1000019"_s, u"001"_s});
         },
         false},
        {"find key, two fields, exact",
         [&] {
             return skl->FindKey({u"100001"_s, u"001"_s});
         },
         true},
        {"locate, one character more", [&] { return sor->Locate(u"SOR_KAV"_s, {u"1000019"_s}); }, false},
        {"locate, two fields",
         [&] {
             return skl->Locate(u"SKL_KAV;SKL_IND"_s, {u"100001"_s, u"0019"_s});
         },
         false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.found(), c.expected) << c.what;

    // Find nearest goes where the full value orders: after 100001.
    sor->FindNearest({u"1000019"_s});
    EXPECT_EQ(sor->FieldByName(u"SOR_KAV"_s).AsString(), u"100002"_s);

    // A range runs from and to the full values.
    sor->SetRange({u"1000019"_s}, {u"999999"_s});
    EXPECT_EQ(Walk(*sor, u"SOR_KAV"_s), QStringList{u"100002"_s});
    sor->SetRange({u"000000"_s}, {u"1000019"_s});
    EXPECT_EQ(Walk(*sor, u"SOR_KAV"_s), QStringList{u"100001"_s});
    sor->CancelRange();

    sor->SetFilter(u"SOR_KAV = '1000019'"_s);
    sor->SetFiltered(true);
    EXPECT_EQ(sor->RecordCount(), 0);
    sor->SetFiltered(false);

    // The receipt lines in memory answer the same way.
    TMemTable dok(TableDef(u"DOK"_s));
    dok.Open();
    dok.Append();
    dok.FieldByName(u"DOK_KAV"_s).SetAsString(u"100001"_s);
    dok.FieldByName(u"DOK_IND"_s).SetAsString(u"001"_s);
    dok.Post();
    EXPECT_FALSE(dok.Locate(u"DOK_KAV;DOK_IND"_s, {u"1000019"_s, u"001"_s}));
    EXPECT_TRUE(dok.Locate(u"DOK_KAV;DOK_IND"_s, {u"100001"_s, u"001"_s}));
}

// Storing still cuts a text to its field, but never between the two halves of one character.
TEST_P(ValuesTest, StoredTextIsCutAtACharacterBoundary)
{
    const QString emoji = u"\U0001F600"_s;  // two UTF-16 units
    struct Case {
        QString typed, stored;
    };
    const Case cases[] = {
        {u"abcdefghi"_s + emoji, u"abcdefghi"_s},  // the cut would fall inside the emoji
        {u"abcdefgh"_s + emoji + u"x"_s, u"abcdefgh"_s + emoji},
        {u"Žluťoučký kůň"_s, u"Žluťoučký "_s},
        {emoji + emoji + emoji + emoji + emoji + emoji, emoji + emoji + emoji + emoji + emoji},
    };
    auto leg = Table(u"LEG"_s);
    for (const Case& c : cases) {
        leg->Append();
        leg->FieldByName(u"LEG_KOD"_s).SetAsString(c.typed);
        leg->Post();
        leg->Refresh();
        EXPECT_EQ(leg->FieldByName(u"LEG_KOD"_s).AsString(), c.stored) << c.typed.toStdString();
    }
}

// PostgreSQL cannot take a NUL character; both stores refuse it alike, before the statement.
TEST_P(ValuesTest, NulCharacterIsRefusedOnBothStores)
{
    auto leg = Table(u"LEG"_s);
    leg->Append();
    leg->FieldByName(u"LEG_KOD"_s).SetAsString(u"A1"_s);
    leg->FieldByName(u"LEG_JME"_s).SetAsString(QString::fromUtf16(u"Nov\0ák", 6));
    try {
        leg->Post();
        ADD_FAILURE() << "a value with NUL was stored";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), u"Hodnota pole 'LEG_JME' obsahuje znak NUL, který databáze nepřijímá"_s);
    }
    EXPECT_EQ(leg->State(), TDataSetState::Insert);
    leg->Cancel();
    EXPECT_EQ(leg->RecordCount(), 0);

    leg->SetIndexName(u"KOD"_s);
    EXPECT_THROW(leg->FindKey({QString::fromUtf16(u"A\0", 2)}), EDatabaseError);
    EXPECT_THROW(leg->Locate(u"LEG_JME"_s, {QString::fromUtf16(u"\0", 1)}), EDatabaseError);
    // The connection is still usable on both stores.
    leg->Append();
    leg->FieldByName(u"LEG_KOD"_s).SetAsString(u"A1"_s);
    leg->Post();
    EXPECT_EQ(leg->RecordCount(), 1);
}

// The pass register shows one pass's movements by the range (pass, 0)-(pass, 10000000); movement
// identities are table-wide and pass ten million once the table is large.
TEST_P(ValuesTest, PassRangeHoldsMovementsWithIdentitiesPastTenMillion)
{
    const QString table = TDatabase::TableSql(TableNameFor(TableDef(u"LEP"_s), u"0001"_s));
    const QList<std::pair<int, int>> movements{{5, 1},        {9999999, 1},    {10000000, 1},  {10000001, 2},
                                               {10000002, 1}, {2000000000, 1}, {2000000001, 3}};
    for (const auto& [id, pass] : movements) {
        QSqlQuery& q =
            store->Db().Prepare(u"INSERT INTO "_s + table + u" (\"LEP_IDE\", \"LEP_IDM\") VALUES (?, ?)"_s);
        q.addBindValue(id);
        q.addBindValue(pass);
        TDatabase::Exec(q);
        q.finish();
    }
    auto lep = Table(u"LEP"_s);
    lep->SetIndexName(u"KOD"_s);
    const QList<std::pair<int, QStringList>> passes{
        {1, {u"5"_s, u"9999999"_s, u"10000000"_s, u"10000002"_s, u"2000000000"_s}},
        {2, {u"10000001"_s}},
        {3, {u"2000000001"_s}},
        {4, {}},
    };
    for (const auto& [pass, ids] : passes) {
        lep->SetRange({pass, 0}, {pass, 10000000});
        EXPECT_EQ(Walk(*lep, u"LEP_IDE"_s), ids) << "pass " << pass;
        EXPECT_EQ(lep->RecordCount(), ids.size()) << "pass " << pass;
        lep->Last();
        if (!ids.isEmpty()) {
            EXPECT_EQ(lep->FieldByName(u"LEP_IDE"_s).AsString(), ids.last()) << "pass " << pass;
        }
    }
}

KV_INSTANTIATE_STORES(ValuesTest);

// ---------------------------------------------------------------------------------------------------
// Conversions without a store

TEST(FieldConversion, TwoDigitYearsAndNothingAfterTheDate)
{
    const TFieldDef dod = Field(u"LEG_DOD"_s, TFieldType::DateTime);
    const TFieldDef ppo = Field(u"SOR_PPO"_s, TFieldType::Date);
    struct Case {
        const char16_t* text;
        QDate expected;  // invalid: refused
    };
    const Case cases[] = {
        {u"31.12.26", QDate(2026, 12, 31)},
        {u"8.3.26", QDate(2026, 3, 8)},
        {u"01.02.99", QDate(1999, 2, 1)},
        {u"31.12.2026", QDate(2026, 12, 31)},
        {u" 31.12.2026 ", QDate(2026, 12, 31)},
        {u"2026-12-31", QDate(2026, 12, 31)},
        {u"01.02.2026xyz", {}},
        {u"01.02.2026 xyz", {}},
        {u"31.12.26x", {}},
        {u"31.02.26", {}},
        {u"31.12.260", {}},
        {u"1.2.3", {}},
    };
    for (const Case& c : cases) {
        const QString text = QString::fromUtf16(c.text);
        SCOPED_TRACE(text.toStdString());
        if (c.expected.isValid()) {
            EXPECT_EQ(FieldValues::Normalize(dod, text).toDateTime(), c.expected.startOfDay());
            EXPECT_EQ(FieldValues::Normalize(ppo, text).toDate(), c.expected);
        } else {
            EXPECT_THROW(FieldValues::Normalize(dod, text), EDatabaseError);
            EXPECT_THROW(FieldValues::Normalize(ppo, text), EDatabaseError);
        }
    }
    // A date with its time still reads as before.
    EXPECT_EQ(FieldValues::Normalize(dod, u"09.12.2026 10:30:15"_s).toDateTime(),
              QDateTime(QDate(2026, 12, 9), QTime(10, 30, 15)));
    EXPECT_EQ(FieldValues::Normalize(ppo, u"2026-12-09 10:30:15.000"_s).toDate(), QDate(2026, 12, 9));
}

TEST(FieldConversion, ErrorNamesTheField)
{
    struct Case {
        TFieldDef field;
        const char16_t* text;
        QString message;
    };
    const Case cases[] = {
        {Field(u"SOR_PC1"_s, TFieldType::Float), u"abc",
         u"'abc' is not a valid floating point value for field 'SOR_PC1'"_s},
        {Field(u"LEP_IDM"_s, TFieldType::Integer), u"1,5",
         u"'1,5' is not a valid integer value for field 'LEP_IDM'"_s},
        {Field(u"LEG_DOD"_s, TFieldType::DateTime), u"31.02.2026",
         u"'31.02.2026' is not a valid date and time for field 'LEG_DOD'"_s},
        {Field(u"SOR_PPO"_s, TFieldType::Date), u"x", u"'x' is not a valid date for field 'SOR_PPO'"_s},
        {Field(u"DEN_KDY"_s, TFieldType::Time), u"25:00",
         u"'25:00' is not a valid time for field 'DEN_KDY'"_s},
        {Field(u"HLA_PLA"_s, TFieldType::Boolean), u"možná",
         u"'možná' is not a valid boolean value for field 'HLA_PLA'"_s},
    };
    for (const Case& c : cases) {
        try {
            FieldValues::Normalize(c.field, QString::fromUtf16(c.text));
            ADD_FAILURE() << "accepted " << c.field.name.toStdString();
        } catch (const EDatabaseError& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
    }
}

TEST(FieldConversion, FloatWithoutFormatShowsAtMostFifteenDigits)
{
    const QLocale cz(QLocale::Czech, QLocale::Czechia);
    const TFieldDef sta = Field(u"SOR_STA"_s, TFieldType::Float);
    struct Case {
        double value;
        QString shown;
    };
    const Case cases[] = {
        {0.1 + 0.2, u"0,3"_s},   {1.0 / 3, u"0,333333333333333"_s},         {2.9999999999999996, u"3"_s},
        {-1234.5, u"-1234,5"_s}, {123456789012.345, u"123456789012,345"_s},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FieldValues::Display(sta, c.value, cz), c.shown) << c.value;

    // The edit box of a float field without an edit format shows the same.
    TMemTable dok(TableDef(u"DOK"_s));
    dok.SetLocale(cz);
    dok.Open();
    dok.Append();
    dok.FieldByName(u"DOK_KUS"_s).SetAsFloat(0.1 + 0.2);
    dok.Post();
    EXPECT_EQ(dok.FieldByName(u"DOK_KUS"_s).DisplayText(), u"0,3"_s);
    EXPECT_EQ(dok.FieldByName(u"DOK_KUS"_s).EditText(), u"0,3"_s);
    EXPECT_EQ(dok.FieldByName(u"DOK_KUS"_s).AsFloat(), 0.1 + 0.2) << "the value itself keeps every bit";
}

TEST(FilterParser, NestingDeeperThanTheBoundIsRefused)
{
    const TTableDef& fuh = TableDef(u"FUH"_s);
    auto nested = [](int depth, const QString& open, const QString& close) {
        return open.repeated(depth) + u"FUH_UCT = '1'"_s + close.repeated(depth);
    };
    EXPECT_NO_THROW(ParseFilter(nested(64, u"("_s, u")"_s), fuh));
    EXPECT_NO_THROW(ParseFilter(nested(64, u"NOT "_s, QString()), fuh));
    for (const QString& filter :
         {nested(65, u"("_s, u")"_s), nested(7000, u"("_s, u")"_s), nested(100000, u"("_s, QString()),
          nested(100000, u"NOT "_s, QString()), nested(40000, u"NOT ("_s, u")"_s)}) {
        try {
            ParseFilter(filter, fuh);
            ADD_FAILURE() << "accepted a filter of " << filter.size() << " characters";
        } catch (const EDatabaseError& e) {
            EXPECT_TRUE(e.Message().startsWith(u"Chybný filtr"_s)) << e.Message().toStdString();
            EXPECT_TRUE(e.Message().contains(u"příliš mnoho vnořených závorek"_s))
                << e.Message().toStdString();
        }
    }
}

}  // namespace
