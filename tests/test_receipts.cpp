// The receipt engine: the pure rules (numbers, amounts, VAT buckets, the keyboard buffer), the
// operations of the receipt window on both stores without a window, failures inside a sale, several
// tills selling at once and tills killed in the middle of a sale.
#include "TestSupport.h"

#include "DataUnit.h"
#include "DbTool.h"
#include "ReceiptCheck.h"
#include "ReceiptEngine.h"
#include "ReceiptRules.h"
#include "ReceiptTill.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTextStream>
#include <QThread>

#include <cmath>
#include <csignal>

using namespace Qt::StringLiterals;
using namespace Receipts;

namespace {

// ---------------------------------------------------------------------------------------------------
// Pure rules

TEST(ReceiptRules, CounterGivesTheNextNumberPaddedButNeverCut)
{
    const struct {
        const char16_t* counter;
        const char16_t* raised;  // nullptr: numbering fails
        const char16_t* number;
    } cases[] = {
        {u"124", u"125", u"0000000125"},
        {u" 0000000124 ", u"125", u"0000000125"},
        {u"0", u"1", u"0000000001"},
        {u"9999999999", u"10000000000", u"10000000000"},
        {u"123456789012", u"123456789013", u"123456789013"},
        {u"", nullptr, nullptr},
        {u"12a", nullptr, nullptr},
        {u"-5", nullptr, nullptr},
        {u"1.5", nullptr, nullptr},
    };
    for (const auto& c : cases) {
        const std::optional<QString> raised = RaisedCounter(QString::fromUtf16(c.counter));
        SCOPED_TRACE(QString::fromUtf16(c.counter).toStdString());
        if (!c.raised) {
            EXPECT_FALSE(raised.has_value());
            continue;
        }
        ASSERT_TRUE(raised.has_value());
        EXPECT_EQ(*raised, QString::fromUtf16(c.raised));
        EXPECT_EQ(ReceiptNumber(*raised), QString::fromUtf16(c.number));
    }
}

TEST(ReceiptRules, OnlyTheOpenMarkKeepsAReceiptOutOfATillClosure)
{
    EXPECT_FALSE(InTillClosure(u"0000000000"_s));
    for (const QString& closed : {u""_s, u"0000000001"_s, u" 000000000"_s, u"000000000"_s})
        EXPECT_TRUE(InTillClosure(closed)) << closed.toStdString();
}

TEST(ReceiptRules, RatesRoundHalvesToTheEvenNumber)
{
    const struct {
        double rate;
        int rounded;
    } cases[] = {{21.5, 22}, {22.5, 22}, {4.5, 4}, {5.5, 6}, {0.5, 0}, {22.4999, 22}, {20.6, 21}, {0, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(RoundedRate(c.rate), c.rounded) << c.rate;
}

TEST(ReceiptRules, LineAmountsInNetAndGrossMode)
{
    const struct {
        TPriceBasis basis;
        double price, purchase, quantity, rate, base;
        double postingPrice, postingBase, pcc, ncc, dph, taxBase;
    } cases[] = {
        {TPriceBasis::Net, 100, 60, 2, 22, 100, 100, 100, 200, 120, 44, 200},
        {TPriceBasis::Gross, 122, 50, 1, 22, 122, 100, 100, 122, 50, 22, 100},
        {TPriceBasis::Gross, 105, 0, 3, 5, 126, 100, 120, 315, 0, 15, 300},
        {TPriceBasis::Net, 10, 4, 0.5, 0, 12, 10, 12, 5, 2, 0, 5},
    };
    for (const auto& c : cases) {
        const TLineAmounts a = LineAmounts(c.basis, c.price, c.purchase, c.quantity, c.rate, c.base);
        SCOPED_TRACE(c.price);
        EXPECT_NEAR(a.postingPrice, c.postingPrice, 1e-9);
        EXPECT_NEAR(a.postingBase, c.postingBase, 1e-9);
        EXPECT_NEAR(a.pcc, c.pcc, 1e-9);
        EXPECT_NEAR(a.pcs, c.pcc, 1e-9);
        EXPECT_NEAR(a.ncc, c.ncc, 1e-9);
        EXPECT_NEAR(a.dph, c.dph, 1e-9);
        EXPECT_NEAR(a.taxBase, c.taxBase, 1e-9);
    }
}

TEST(ReceiptRules, BucketsTakeTheRoundedRateAndTestEachSettingOnItsOwn)
{
    const TVatRates standard;
    const struct {
        TVatRates rates;
        double rate;
        TTotals expected;  // of a base of 100 and a VAT of 10
    } cases[] = {
        {standard, 22, {0, 0, 0, 100, 0, 0, 10, 0}},
        {standard, 21.5, {0, 0, 0, 100, 0, 0, 10, 0}},
        {standard, 22.5, {0, 0, 0, 100, 0, 0, 10, 0}},
        {standard, 4.5, {}},  // 4.5 rounds to 4: no bucket at all
        {standard, 5, {0, 0, 0, 0, 100, 0, 0, 10}},
        {standard, 0.4, {0, 0, 0, 0, 0, 100, 0, 0}},
        {standard, 15, {}},
        {TVatRates{21, 21, 0}, 21, {0, 0, 0, 100, 100, 0, 10, 10}},
    };
    for (const auto& c : cases) {
        TTotals t;
        AddToBuckets(t, c.rates, c.rate, 100, 10);
        SCOPED_TRACE(c.rate);
        EXPECT_EQ(t.z22, c.expected.z22);
        EXPECT_EQ(t.z05, c.expected.z05);
        EXPECT_EQ(t.z00, c.expected.z00);
        EXPECT_EQ(t.d22, c.expected.d22);
        EXPECT_EQ(t.d05, c.expected.d05);
    }
}

TEST(ReceiptRules, PartAndCorrectionTotals)
{
    const TVatRates rates;
    // A non-stock line of "Nová" in net mode carries its VAT into the total.
    const TLineAmounts net = LineAmounts(TPriceBasis::Net, 100, 60, 2, 22, 100);
    const TTotals stock = PartTotals(rates, net, 22, false);
    const TTotals service = PartTotals(rates, net, 22, true);
    EXPECT_EQ(stock.cuh, 200);
    EXPECT_EQ(stock.pca, 200);
    EXPECT_EQ(service.cuh, 244);
    EXPECT_EQ(service.pca, 244);
    EXPECT_EQ(stock.nca, 120);
    EXPECT_EQ(stock.z22, 200);
    EXPECT_EQ(stock.d22, 44);

    // From 3 to 1 piece in gross mode at 5 %.
    const double p = 105;
    const TTotals c = CorrectionTotals(TPriceBasis::Gross, rates, p, 40, 3, 1, 5);
    EXPECT_NEAR(c.cuh, -2 * p, 1e-9);
    EXPECT_NEAR(c.pca, -2 * p, 1e-9);
    EXPECT_NEAR(c.nca, -80, 1e-9);
    EXPECT_NEAR(c.z05, -2 * p / 1.05, 1e-9);
    EXPECT_NEAR(c.d05, -(2 * p - 2 * p / 1.05), 1e-9);
    const TTotals cn = CorrectionTotals(TPriceBasis::Net, rates, 100, 0, 1, 3, 22);
    EXPECT_NEAR(cn.z22, 200, 1e-9);
    EXPECT_NEAR(cn.d22, 44, 1e-9);
}

TEST(ReceiptRules, DirectEntryBufferTakesQuantityFromTheFirstEightDigits)
{
    TDirectEntry e;
    EXPECT_FALSE(e.Enter()) << "nothing typed, nothing to sell";
    e.Multiply();
    EXPECT_FALSE(e.MnozstviZadano) << "multiply with an empty buffer does nothing";

    for (QChar c : u"3"_s)
        e.Digit(c);
    e.Multiply();
    EXPECT_TRUE(e.MnozstviZadano);
    EXPECT_EQ(e.PrimeMnozstvi, 3);
    EXPECT_EQ(e.Display(), u"3x "_s);
    for (QChar c : u"600001"_s)
        e.Digit(c);
    e.Digit(u'a');
    e.Multiply();  // a second quantity is not taken
    EXPECT_EQ(e.PrimyKod, u"600001"_s);
    EXPECT_EQ(e.Display(), u"3x 600001"_s);
    EXPECT_TRUE(e.Enter());
    EXPECT_EQ(e.PrimeMnozstvi, 3);
    EXPECT_EQ(e.Code(), u"600001"_s);
    e.Reset();
    EXPECT_EQ(e.PrimeMnozstvi, 1);
    EXPECT_TRUE(e.PrimyKod.isEmpty());
    EXPECT_TRUE(e.Display().isEmpty());

    const struct {
        const char16_t* typed;
        double quantity;
    } cases[] = {{u"12345678", 12345678}, {u"123456789", 12345678}, {u"999999999999", 99999999}, {u"007", 7}};
    for (const auto& c : cases) {
        TDirectEntry q;
        for (QChar ch : QString::fromUtf16(c.typed))
            q.Digit(ch);
        q.Multiply();
        EXPECT_EQ(q.PrimeMnozstvi, c.quantity) << QString::fromUtf16(c.typed).toStdString();
    }

    // Enter without a typed quantity sells one piece.
    TDirectEntry one;
    one.PrimeMnozstvi = 5;
    one.Digit(u'1');
    EXPECT_TRUE(one.Enter());
    EXPECT_EQ(one.PrimeMnozstvi, 1);
}

TEST(ReceiptRules, HeaderAgreesWithItsJournalRows)
{
    const TVatRates rates;
    // Gross mode: 1 x 122 at 22 % (base 100) with a difference row, 2 x 10.5 at 5 %.
    const QList<TJournalRow> rows{{u"005"_s, -1, -110, -50, 22, true, true},
                                  {u"300"_s, 0, 10, 0, 22, true, true},
                                  {u"005"_s, -2, -20, -8, 5, false, true},
                                  {u"001"_s, 10, 1000, 0, 22, false, true}};
    const TExpectedTotals e = ExpectedFromJournal(rows, TPriceBasis::Gross, rates);
    EXPECT_NEAR(e.totals.z22, 100, 1e-9);
    EXPECT_NEAR(e.totals.d22, 22, 1e-9);
    EXPECT_NEAR(e.totals.z05, 20, 1e-9);
    EXPECT_NEAR(e.totals.d05, 1, 1e-9);
    EXPECT_NEAR(e.totals.nca, 58, 1e-9);
    TTotals h{143, 143, 58, 100, 20, 0, 22, 1};
    EXPECT_TRUE(HeaderDisagreements(h, e).isEmpty()) << HeaderDisagreements(h, e).join(u"; "_s).toStdString();
    h.cuh = h.pca = 122;  // the second line's total missing
    h.d05 = 0;
    EXPECT_EQ(HeaderDisagreements(h, e).size(), 2);

    // Net mode: a non-stock line of the dialogs may carry its VAT into the total, a stock line not.
    const QList<TJournalRow> net{{u"005"_s, -2, -200, 0, 22, true, false},
                                 {u"005"_s, -1, -100, 0, 22, true, true}};
    const TExpectedTotals en = ExpectedFromJournal(net, TPriceBasis::Net, rates);
    EXPECT_TRUE(HeaderDisagreements({344, 344, 0, 300, 0, 0, 66, 0}, en).isEmpty());
    EXPECT_FALSE(HeaderDisagreements({366, 366, 0, 300, 0, 0, 66, 0}, en).isEmpty());
    EXPECT_FALSE(HeaderDisagreements({344, 300, 0, 300, 0, 0, 66, 0}, en).isEmpty()) << "PCA must follow CUH";
}

// ---------------------------------------------------------------------------------------------------
// The engine on both stores

struct TLine {
    QString kav, ind;
    double kus = 0, pcc = 0, ncc = 0, pcs = 0, dph = 0, rab = 0;
};

struct TJournal {
    QString doc, kav, ind, op;
    double kus = 0, hpc = 0, hnc = 0, dan = 0;
    QVariant poz;
};

class ReceiptTest : public StoreTest {
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        if (IsSkipped())
            return;
        data = MakeData(*store);
        data->UzivatelIni = u"JN"_s;
        data->ZakladniCenySDPH = 1;
        SetCounter(u"124"_s);
    }
    void TearDown() override
    {
        engine.reset();
        data.reset();
        StoreTest::TearDown();
    }

    void SetCounter(const QString& value)
    {
        auto cis = Table(u"CIS"_s);
        if (cis->IsEmpty())
            cis->Append();
        else
            cis->Edit();
        cis->FieldByName(u"CIS_UCE"_s).SetAsString(value);
        cis->Post();
    }
    QString Counter() { return Table(u"CIS"_s)->FieldByName(u"CIS_UCE"_s).AsString(); }

    void AddCard(const QString& kav, double price, double rate, bool stockItem, double sta = 0,
                 double blo = 0)
    {
        auto sor = Table(u"SOR"_s);
        sor->Append();
        sor->FieldByName(u"SOR_KAV"_s).SetAsString(kav);
        sor->FieldByName(u"SOR_NAC"_s).SetAsString(u"Karta "_s + kav);
        sor->FieldByName(u"SOR_PC1"_s).SetAsFloat(price);
        sor->FieldByName(u"SOR_DAN"_s).SetAsFloat(rate);
        sor->FieldByName(u"SOR_SKL"_s).SetAsBoolean(stockItem);
        sor->FieldByName(u"SOR_STA"_s).SetAsFloat(sta);
        sor->FieldByName(u"SOR_BLO"_s).SetAsFloat(blo);
        sor->Post();
    }
    // A variant whose opening stock is its stock, with the journal row that brought it in.
    void AddVariant(const QString& kav, const QString& ind, double sta, double snc = 0)
    {
        auto skl = Table(u"SKL"_s);
        skl->Append();
        skl->FieldByName(u"SKL_KAV"_s).SetAsString(kav);
        skl->FieldByName(u"SKL_IND"_s).SetAsString(ind);
        skl->FieldByName(u"SKL_POC"_s).SetAsFloat(sta);
        skl->FieldByName(u"SKL_STA"_s).SetAsFloat(sta);
        skl->FieldByName(u"SKL_SNC"_s).SetAsFloat(snc);
        skl->Post();
        if (sta != 0) {
            auto den = Table(u"DEN"_s);
            den->Append();
            den->FieldByName(u"DEN_DOK"_s).SetAsString(u"POC"_s);
            den->FieldByName(u"DEN_KAV"_s).SetAsString(kav);
            den->FieldByName(u"DEN_IND"_s).SetAsString(ind);
            den->FieldByName(u"DEN_OPE"_s).SetAsString(u"000"_s);
            den->FieldByName(u"DEN_KUS"_s).SetAsFloat(0);
            den->FieldByName(u"DEN_ZAS"_s).SetAsFloat(sta);
            den->Post();
        }
    }

    // The receipt window opened by the overview for a new receipt.
    void OpenNewReceipt()
    {
        ReceiptTill::AppendHeader(*data);
        data->DokladObsah->Close();
        data->DokladObsah->Open();
        engine = std::make_unique<TReceiptEngine>(*data);
        engine->OpenNew();
    }

    // "Nová" with the new-line dialog confirming `quantity` of `card`.
    TSaleResult NewLine(const QString& card, double quantity)
    {
        if (!engine->BeginNewLine())
            return TSaleResult::Nothing;
        return engine->FinishNewLine(ReceiptTill::FillLine(*data, card, quantity));
    }

    QList<TLine> Lines()
    {
        QList<TLine> out;
        TMemTable& dok = *data->DokladObsah;
        for (dok.First(); !dok.Eof(); dok.Next()) {
            auto f = [&](const char16_t* n) { return dok.FieldByName(QString::fromUtf16(n)).AsFloat(); };
            out << TLine{dok.FieldByName(u"DOK_KAV"_s).AsString(),
                         dok.FieldByName(u"DOK_IND"_s).AsString(),
                         f(u"DOK_KUS"),
                         f(u"DOK_PCC"),
                         f(u"DOK_NCC"),
                         f(u"DOK_PCS"),
                         f(u"DOK_DPH"),
                         f(u"DOK_RAB")};
        }
        return out;
    }

    // Sale rows of the journal (the opening rows left out), in posting order.
    QList<TJournal> Journal()
    {
        auto den = Table(u"DEN"_s);
        QList<TJournal> out;
        for (den->First(); !den->Eof(); den->Next()) {
            if (den->FieldByName(u"DEN_OPE"_s).AsString() == u"000"_s)
                continue;
            auto f = [&](const char16_t* n) { return den->FieldByName(QString::fromUtf16(n)).AsFloat(); };
            out << TJournal{den->FieldByName(u"DEN_DOK"_s).AsString(),
                            den->FieldByName(u"DEN_KAV"_s).AsString(),
                            den->FieldByName(u"DEN_IND"_s).AsString(),
                            den->FieldByName(u"DEN_OPE"_s).AsString(),
                            f(u"DEN_KUS"),
                            f(u"DEN_HPC"),
                            f(u"DEN_HNC"),
                            f(u"DEN_DAN"),
                            den->FieldByName(u"DEN_POZ"_s).Value()};
        }
        return out;
    }

    // The stored header of a receipt number.
    TTotals StoredTotals(const QString& number)
    {
        auto uce = Table(u"UCE"_s);
        uce->SetIndexName(u"DO1"_s);
        EXPECT_TRUE(uce->FindKey({number})) << number.toStdString();
        auto f = [&](const char16_t* n) { return uce->FieldByName(QString::fromUtf16(n)).AsFloat(); };
        return TTotals{f(u"HLA_CUH"), f(u"HLA_PCA"), f(u"HLA_NCA"), f(u"HLA_Z22"),
                       f(u"HLA_Z05"), f(u"HLA_Z00"), f(u"HLA_D22"), f(u"HLA_D05")};
    }
    double VariantStock(const QString& kav, const QString& ind)
    {
        auto skl = Table(u"SKL"_s);
        skl->SetIndexName(u"KAV"_s);
        EXPECT_TRUE(skl->FindKey({kav, ind}));
        return skl->FieldByName(u"SKL_STA"_s).AsFloat();
    }
    int HeaderCount() { return Table(u"UCE"_s)->RecordCount(); }
    QString Number() { return data->ffUctenky->FieldByName(u"HLA_DO1"_s).AsString(); }

    // Every stock card equals its opening stock plus its journal, every card the sum of its
    // variants, every header its journal rows; receipt numbers run without a gap or a repeat from
    // the first one up to the counter.
    void ExpectConsistent(int firstNumber)
    {
        TDatabase& db = store->Db();
        const auto cards = db.SelectRows(
            uR"(SELECT k."SKL_KAV", k."SKL_IND", k."SKL_POC", k."SKL_STA",
                       (SELECT COALESCE(SUM(d."DEN_KUS"), 0) FROM "den0001" d
                         WHERE d."DEN_KAV" = k."SKL_KAV" AND d."DEN_IND" = k."SKL_IND")
                FROM "skl0001" k JOIN "sor0001" s ON s."SOR_KAV" = k."SKL_KAV" WHERE s."SOR_SKL" = ?)"_s,
            {store->Kind() == TStoreKind::Postgres ? QVariant(true) : QVariant(1)});
        for (const auto& r : cards)
            EXPECT_NEAR(r[3].toDouble(), r[2].toDouble() + r[4].toDouble(), 1e-9)
                << r[0].toString().toStdString() << '/' << r[1].toString().toStdString();
        const auto sor = db.SelectRows(
            uR"(SELECT s."SOR_KAV", s."SOR_STA", (SELECT COALESCE(SUM(k."SKL_STA"), 0) FROM "skl0001" k
                WHERE k."SKL_KAV" = s."SOR_KAV") FROM "sor0001" s WHERE s."SOR_SKL" = ?)"_s,
            {store->Kind() == TStoreKind::Postgres ? QVariant(true) : QVariant(1)});
        for (const auto& r : sor)
            EXPECT_NEAR(r[1].toDouble(), r[2].toDouble(), 1e-9) << r[0].toString().toStdString();

        QStringList wrong;
        EXPECT_EQ(CheckReceiptHeaders(db, u"0001"_s,
                                      engine ? engine->Basis() : BasisFromSetting(data->ZakladniCenySDPH),
                                      TVatRates{data->Dan22, data->Dan05, data->Dan00},
                                      [&](const QString& t) { wrong << t; }),
                  0)
            << wrong.mid(0, 5).join(u"\n"_s).toStdString();

        const auto numbers = db.SelectRows(uR"(SELECT "HLA_DO1" FROM "uce0001" ORDER BY "HLA_DO1")"_s, {});
        const int last = Counter().toInt();
        ASSERT_EQ(numbers.size(), last - firstNumber + 1) << "every number taken is one stored header";
        for (int i = 0; i < numbers.size(); ++i)
            ASSERT_EQ(numbers[i][0].toString(), ReceiptNumber(QString::number(firstNumber + i)));
    }

    void InjectFailure(const QString& table, const QString& when)
    {
        TDatabase& db = store->Db();
        if (store->Kind() == TStoreKind::Sqlite) {
            db.ExecDirect(u"CREATE TRIGGER kv_fail BEFORE "_s + when + u" ON \""_s + table +
                          u"\" BEGIN SELECT RAISE(ABORT, 'injected failure'); END"_s);
        } else {
            db.ExecDirect(
                u"CREATE OR REPLACE FUNCTION kv_fail() RETURNS trigger LANGUAGE plpgsql AS "
                "$$ BEGIN RAISE EXCEPTION 'injected failure'; END $$"_s);
            db.ExecDirect(u"CREATE TRIGGER kv_fail BEFORE "_s + when + u" ON \""_s + table +
                          u"\" FOR EACH ROW EXECUTE FUNCTION kv_fail()"_s);
        }
        m_failTable = table;
    }
    void RemoveFailure()
    {
        store->Db().ExecDirect(u"DROP TRIGGER kv_fail"_s + (store->Kind() == TStoreKind::Postgres
                                                                ? u" ON \""_s + m_failTable + u"\""_s
                                                                : u""_s));
    }

    std::unique_ptr<TData> data;
    std::unique_ptr<TReceiptEngine> engine;
    QString m_failTable;
};

TEST_P(ReceiptTest, FirstLineNumbersTheReceiptFromTheCounter)
{
    const struct {
        const char16_t* counter;
        const char16_t* number;
        const char16_t* after;
    } cases[] = {{u"124", u"0000000125", u"125"}, {u"0000000999", u"0000001000", u"1000"}};
    for (const auto& c : cases) {
        SetCounter(QString::fromUtf16(c.counter));
        AddCard(u"100001"_s, 10, 22, false);
        AddVariant(u"100001"_s, u"001"_s, 0);
        OpenNewReceipt();
        EXPECT_TRUE(engine->NovaUctenka());
        EXPECT_FALSE(engine->UctenkaZalozena());
        EXPECT_EQ(HeaderCount(), 0) << "an opened receipt stores nothing yet";

        ASSERT_EQ(NewLine(u"100001"_s, 1), TSaleResult::Sold);
        EXPECT_EQ(Number(), QString::fromUtf16(c.number));
        EXPECT_EQ(data->ffUctenky->FieldByName(u"HLA_DO2"_s).AsString(), u"0000000000"_s);
        EXPECT_EQ(data->ffUctenky->State(), TDataSetState::Edit);
        EXPECT_FALSE(engine->NovaUctenka());
        EXPECT_TRUE(engine->UctenkaZalozena());
        EXPECT_EQ(Counter(), QString::fromUtf16(c.after));
        EXPECT_EQ(HeaderCount(), 1);
        // The second line keeps the number.
        ASSERT_EQ(NewLine(u"100001"_s, 1), TSaleResult::Sold);
        EXPECT_EQ(Number(), QString::fromUtf16(c.number));
        EXPECT_EQ(HeaderCount(), 1);
        EXPECT_NEAR(StoredTotals(Number()).cuh, 24.4, 1e-9);

        data->ffUctenky->Post();
        data->ffUctenky->Close();
        store->Db().ExecDirect(u"DELETE FROM \"uce0001\""_s);
        store->Db().ExecDirect(u"DELETE FROM \"den0001\""_s);
        store->Db().ExecDirect(u"DELETE FROM \"skl0001\""_s);
        store->Db().ExecDirect(u"DELETE FROM \"sor0001\""_s);
    }
}

TEST_P(ReceiptTest, FailedNumberingRollsBackAndRefusesTheLine)
{
    AddCard(u"100001"_s, 10, 22, true, 5);
    AddVariant(u"100001"_s, u"001"_s, 5);
    for (const QString& counter : {u"abc"_s, u""_s}) {
        SetCounter(counter);
        OpenNewReceipt();
        TMessageRecorder told;
        EXPECT_FALSE(engine->BeginNewLine());
        EXPECT_EQ(told.messages, QStringList{u"Účtenka již uzavřena výčetkou, nelze přidat !"_s});
        EXPECT_EQ(engine->DirectSale(u"100001"_s, 1), TSaleResult::Nothing);
        EXPECT_TRUE(engine->NovaUctenka());
        EXPECT_FALSE(engine->UctenkaZalozena());
        EXPECT_EQ(data->ffUctenky->State(), TDataSetState::Insert) << "the header waits unnumbered";
        EXPECT_TRUE(data->ffUctenky->FieldByName(u"HLA_DO1"_s).AsString().isEmpty());
        EXPECT_EQ(data->ffUctenky->FieldByName(u"HLA_FUH"_s).AsString(), u"1"_s);
        EXPECT_EQ(Counter(), counter);
        EXPECT_EQ(HeaderCount(), 0);
        EXPECT_FALSE(data->ffDatabase->InTransaction());
        data->ffUctenky->Cancel();
    }
    // A number that does not fit the receipt number field is not taken (it would be cut short and
    // come round again).
    SetCounter(u"9999999999"_s);
    OpenNewReceipt();
    EXPECT_FALSE(engine->NumberReceipt());
    EXPECT_EQ(Counter(), u"9999999999"_s);
    EXPECT_EQ(HeaderCount(), 0);
    data->ffUctenky->Cancel();

    // A failure at the store of the header rolls the counter back as well.
    SetCounter(u"124"_s);
    InjectFailure(u"uce0001"_s, u"INSERT"_s);
    OpenNewReceipt();
    EXPECT_FALSE(engine->NumberReceipt());
    EXPECT_EQ(Counter(), u"124"_s);
    EXPECT_EQ(data->ffUctenky->State(), TDataSetState::Insert);
    EXPECT_TRUE(data->ffUctenky->FieldByName(u"HLA_DO2"_s).AsString().isEmpty());
    RemoveFailure();
    TMessageRecorder told;
    ASSERT_EQ(NewLine(u"100001"_s, 2), TSaleResult::Sold) << "the next line numbers it";
    EXPECT_EQ(Number(), u"0000000125"_s);
    EXPECT_TRUE(told.messages.isEmpty());
    ExpectConsistent(125);
}

TEST_P(ReceiptTest, QuantityIsSplitOverTheStockVariants)
{
    AddCard(u"200001"_s, 30, 22, true, 7);
    AddVariant(u"200001"_s, u"001"_s, 2, 10);
    AddVariant(u"200001"_s, u"002"_s, 0, 11);
    AddVariant(u"200001"_s, u"003"_s, 5, 12);
    OpenNewReceipt();
    ASSERT_EQ(NewLine(u"200001"_s, 4), TSaleResult::Sold);
    const QList<TLine> lines = Lines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0].ind, u"001"_s);
    EXPECT_EQ(lines[0].kus, 2);
    EXPECT_EQ(lines[0].ncc, 20);
    EXPECT_EQ(lines[1].ind, u"003"_s);
    EXPECT_EQ(lines[1].kus, 2);
    EXPECT_EQ(lines[1].ncc, 24);
    const QList<TJournal> j = Journal();
    ASSERT_EQ(j.size(), 2) << "no difference rows at the base price";
    EXPECT_EQ(j[0].kus, -2);
    EXPECT_EQ(j[0].ind, u"001"_s);
    EXPECT_EQ(j[1].kus, -2);
    EXPECT_EQ(j[1].ind, u"003"_s);
    EXPECT_EQ(j[0].doc, u"0000000125"_s);
    EXPECT_EQ(VariantStock(u"200001"_s, u"001"_s), 0);
    EXPECT_EQ(VariantStock(u"200001"_s, u"002"_s), 0);
    EXPECT_EQ(VariantStock(u"200001"_s, u"003"_s), 3);
    const TTotals t = StoredTotals(u"0000000125"_s);
    EXPECT_EQ(t.cuh, 120);
    EXPECT_EQ(t.nca, 44);
    EXPECT_FALSE(data->ffSklad->Active()) << "the tables are closed again";

    // More than the variants hold: what is there is sold, the rest is not.
    ASSERT_EQ(NewLine(u"200001"_s, 5), TSaleResult::Sold);
    EXPECT_EQ(Lines().size(), 3);
    EXPECT_EQ(VariantStock(u"200001"_s, u"003"_s), 0);
    // A zero quantity or a card without any variant sells nothing.
    AddCard(u"200002"_s, 30, 22, true, 0);
    EXPECT_EQ(NewLine(u"200001"_s, 0), TSaleResult::Nothing);
    EXPECT_EQ(NewLine(u"200002"_s, 1), TSaleResult::Nothing);
    EXPECT_EQ(Lines().size(), 3);
    ExpectConsistent(125);
}

TEST_P(ReceiptTest, AmountsAndBucketsInNetAndGrossMode)
{
    const struct {
        int basis;
        bool stockItem;
        double price, quantity, rate;
        double cuh, z22, d22, hpc;  // header after the line; DEN_HPC of the movement
    } cases[] = {
        {1, true, 100, 2, 22, 200, 200, 44, -200},     {1, false, 100, 2, 22, 244, 200, 44, -200},
        {2, true, 122, 1, 22, 122, 100, 22, -100},     {2, false, 122, 1, 22, 122, 100, 22, -100},
        {1, true, 100, 1, 21.5, 100, 100, 21.5, -100}, {1, true, 100, 1, 22.5, 100, 100, 22.5, -100},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(n);
        data->ZakladniCenySDPH = c.basis;
        // Each case on receipts of its own, numbered from a counter of its own.
        store->Db().ExecDirect(u"DELETE FROM \"uce0001\""_s);
        SetCounter(QString::number(1000 * (n + 1)));
        const QString card = u"30000%1"_s.arg(++n);
        AddCard(card, c.price, c.rate, c.stockItem, c.stockItem ? 10 : 0);
        AddVariant(card, u"001"_s, c.stockItem ? 10 : 0, 50);
        OpenNewReceipt();
        ASSERT_EQ(NewLine(card, c.quantity), TSaleResult::Sold);
        const TTotals t = StoredTotals(Number());
        EXPECT_NEAR(t.cuh, c.cuh, 1e-9);
        EXPECT_NEAR(t.pca, c.cuh, 1e-9);
        EXPECT_NEAR(t.z22, c.z22, 1e-9);
        EXPECT_NEAR(t.d22, c.d22, 1e-9);
        EXPECT_EQ(t.z05 + t.z00 + t.d05, 0);
        EXPECT_NEAR(t.nca, 50 * c.quantity, 1e-9);
        const TJournal row = Journal().last();
        EXPECT_NEAR(row.hpc, c.hpc, 1e-4);
        EXPECT_EQ(row.doc, Number());
        if (!c.stockItem) {
            EXPECT_NEAR(Lines().last().pcs, c.price * c.quantity, 1e-9);
            EXPECT_EQ(Lines().last().rab, 0);
        }
        ExpectConsistent(1000 * n + 1);
        data->ffUctenky->Post();
    }
}

TEST_P(ReceiptTest, NonStockLineSoldBelowTheBasePriceKeepsItsDifference)
{
    data->ZakladniCenySDPH = 1;
    AddCard(u"400001"_s, 30, 22, false);
    AddVariant(u"400001"_s, u"001"_s, 0, 4);
    OpenNewReceipt();
    ASSERT_TRUE(engine->BeginNewLine());
    ReceiptTill::FillLine(*data, u"400001"_s, 2);
    data->DokladObsah->FieldByName(u"DOK_PC1"_s).SetAsFloat(25);  // a price below the card's
    ASSERT_EQ(engine->FinishNewLine(30), TSaleResult::Sold);
    const TLine line = Lines().last();
    EXPECT_EQ(line.pcc, 50);
    EXPECT_EQ(line.pcs, 60);
    EXPECT_EQ(line.rab, -10);
    EXPECT_NEAR(data->DokladObsah->FieldByName(u"DOK_RAP"_s).AsFloat(), 10.0 / 0.6, 1e-9);
    const QList<TJournal> j = Journal();
    ASSERT_EQ(j.size(), 2);
    EXPECT_EQ(j[0].hpc, -60);
    EXPECT_EQ(j[1].op, u"300"_s);
    EXPECT_EQ(j[1].hpc, 10);
    EXPECT_EQ(j[0].hnc, -8);
    EXPECT_NEAR(StoredTotals(Number()).cuh, 61, 1e-9);  // 50 plus 22 % of it
    ExpectConsistent(125);
}

TEST_P(ReceiptTest, CorrectionPostsTheChangeAndMovesTheTotals)
{
    data->ZakladniCenySDPH = 2;
    AddCard(u"500001"_s, 105, 5, true, 4);
    AddVariant(u"500001"_s, u"001"_s, 4, 40);
    OpenNewReceipt();
    ASSERT_EQ(NewLine(u"500001"_s, 3), TSaleResult::Sold);
    const TTotals before = StoredTotals(Number());

    TCorrectionDialog dialog;
    ASSERT_EQ(engine->BeginCorrection(dialog), TCorrectionStart::Ready);
    EXPECT_EQ(dialog.puvodniMnozstvi, 3);
    EXPECT_EQ(dialog.stockDisplay, u"4"_s);
    EXPECT_EQ(dialog.basePrice, 105);
    EXPECT_EQ(data->DokladObsah->State(), TDataSetState::Edit);
    data->DokladObsah->FieldByName(u"DOK_KUS"_s).SetAsFloat(1);  // what the dialog leaves
    ASSERT_EQ(engine->FinishCorrection(), TSaleResult::Sold);
    EXPECT_EQ(data->DokladObsah->State(), TDataSetState::Browse);
    EXPECT_EQ(Lines().first().kus, 1);
    EXPECT_EQ(VariantStock(u"500001"_s, u"001"_s), 3);
    EXPECT_EQ(Journal().last().kus, 2);
    const TTotals after = StoredTotals(Number());
    EXPECT_NEAR(after.cuh - before.cuh, -210, 1e-9);
    EXPECT_NEAR(after.pca - before.pca, -210, 1e-9);
    EXPECT_NEAR(after.nca - before.nca, -80, 1e-9);
    EXPECT_NEAR(after.z05 - before.z05, -200, 1e-9);
    EXPECT_NEAR(after.d05 - before.d05, -(210 - 210 / 1.05), 1e-9);
    ExpectConsistent(125);

    // More than the variant holds is refused with the stock the line could have.
    ASSERT_EQ(engine->BeginCorrection(dialog), TCorrectionStart::Ready);
    data->DokladObsah->FieldByName(u"DOK_KUS"_s).SetAsFloat(5);
    {
        TMessageRecorder told;
        EXPECT_EQ(engine->FinishCorrection(), TSaleResult::Nothing);
        EXPECT_EQ(told.messages, QStringList{u"Na skladě je pouze 4 kusů !"_s});
    }
    EXPECT_EQ(Lines().first().kus, 1);
    // Cancelled dialog: nothing changes.
    ASSERT_EQ(engine->BeginCorrection(dialog), TCorrectionStart::Ready);
    engine->CancelCorrection();
    EXPECT_EQ(data->DokladObsah->State(), TDataSetState::Browse);
    EXPECT_EQ(Journal().size(), 2);
    ExpectConsistent(125);
}

TEST_P(ReceiptTest, ClosedReceiptsRefuseNewLinesAndCorrections)
{
    AddCard(u"500001"_s, 10, 22, true, 4);
    AddVariant(u"500001"_s, u"001"_s, 4);
    OpenNewReceipt();
    ASSERT_EQ(NewLine(u"500001"_s, 1), TSaleResult::Sold);
    TTable& uce = *data->ffUctenky;
    for (const QString& closure : {u"0000000007"_s, u""_s}) {
        uce.FieldByName(u"HLA_DO2"_s).SetAsString(closure);
        EXPECT_TRUE(engine->ReceiptClosed());
        TMessageRecorder told;
        TCorrectionDialog dialog;
        EXPECT_EQ(engine->BeginCorrection(dialog), TCorrectionStart::Refused);
        EXPECT_FALSE(engine->BeginNewLine());
        EXPECT_EQ(engine->DirectSale(u"500001"_s, 1), TSaleResult::Nothing);
        EXPECT_EQ(told.messages, (QStringList{u"Účtenka uzavřena výčetkou, nelze opravit"_s,
                                              u"Účtenka již uzavřena výčetkou, nelze přidat !"_s,
                                              u"Účtenka již uzavřena výčetkou, nelze přidat !"_s}));
    }
    EXPECT_EQ(Journal().size(), 1);
    // An empty receipt sends the operator to the payment form.
    uce.FieldByName(u"HLA_DO2"_s).SetAsString(u"0000000000"_s);
    data->DokladObsah->EmptyTable();
    TCorrectionDialog dialog;
    EXPECT_EQ(engine->BeginCorrection(dialog), TCorrectionStart::EmptyReceipt);
}

TEST_P(ReceiptTest, DirectSaleTakesOnlyTheFreeStock)
{
    data->ZakladniCenySDPH = 2;
    AddCard(u"600001"_s, 122, 22, true, 3, 1);
    AddVariant(u"600001"_s, u"001"_s, 1, 50);
    AddVariant(u"600001"_s, u"002"_s, 2, 60);
    OpenNewReceipt();
    {
        TMessageRecorder told;
        EXPECT_EQ(engine->DirectSale(u" 600001 "_s, 5), TSaleResult::Sold);
        EXPECT_EQ(told.messages, QStringList{u"Bude vydáno pouze 2 kusů, víc nemám"_s});
    }
    const QList<TLine> lines = Lines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0].kus, 1);
    EXPECT_EQ(lines[1].kus, 1);
    const QList<TJournal> j = Journal();
    ASSERT_EQ(j.size(), 2);
    for (const TJournal& r : j) {
        EXPECT_NEAR(r.hpc, -100, 1e-4) << "the net price";
        EXPECT_TRUE(r.poz.isNull()) << "posted without a difference row";
        EXPECT_EQ(r.op, u"005"_s);
    }
    EXPECT_NEAR(StoredTotals(Number()).cuh, 244, 1e-9);
    ExpectConsistent(125);

    // No free stock left (3 - 2 sold = 1, blocked 1): the message with 0, nothing sold.
    {
        TMessageRecorder told;
        EXPECT_EQ(engine->DirectSale(u"600001"_s, 1), TSaleResult::Nothing);
        EXPECT_EQ(told.messages, QStringList{u"Bude vydáno pouze 0 kusů, víc nemám"_s});
    }
    // Unknown, over-long and short codes sell nothing, never another card.
    for (const QString& code : {u"999999"_s, u"6000011"_s, u"60000"_s}) {
        TMessageRecorder told;
        EXPECT_EQ(engine->DirectSale(code, 1), TSaleResult::Nothing);
        EXPECT_EQ(told.messages, QStringList{u"Je mi líto kartu "_s + code + u" neznám."_s});
    }
    EXPECT_EQ(Lines().size(), 2);
    EXPECT_EQ(Journal().size(), 2);
}

TEST_P(ReceiptTest, FailedPostingKeepsTheEarlierPartsAndLeavesNoHalfLine)
{
    AddCard(u"200001"_s, 30, 22, true, 7);
    AddVariant(u"200001"_s, u"001"_s, 2, 10);
    AddVariant(u"200001"_s, u"003"_s, 5, 12);
    OpenNewReceipt();
    ASSERT_EQ(NewLine(u"200001"_s, 1), TSaleResult::Sold);  // numbered, one part stored
    const TTotals first = StoredTotals(Number());

    // The second variant's stock card cannot be written: its part rolls back, the first stays.
    TDatabase& db = store->Db();
    if (store->Kind() == TStoreKind::Sqlite)
        db.ExecDirect(
            u"CREATE TRIGGER kv_fail BEFORE UPDATE ON \"skl0001\" WHEN NEW.\"SKL_IND\" = '003' "
            "BEGIN SELECT RAISE(ABORT, 'injected failure'); END"_s);
    else {
        db.ExecDirect(
            u"CREATE OR REPLACE FUNCTION kv_fail() RETURNS trigger LANGUAGE plpgsql AS "
            "$$ BEGIN IF NEW.\"SKL_IND\" = '003' THEN RAISE EXCEPTION 'injected failure'; END IF; "
            "RETURN NEW; END $$"_s);
        db.ExecDirect(
            u"CREATE TRIGGER kv_fail BEFORE UPDATE ON \"skl0001\" FOR EACH ROW EXECUTE FUNCTION kv_fail()"_s);
    }
    m_failTable = u"skl0001"_s;
    TMessageRecorder told;
    EXPECT_EQ(NewLine(u"200001"_s, 4), TSaleResult::Sold);
    EXPECT_TRUE(told.messages.isEmpty());
    const QList<TLine> lines = Lines();
    ASSERT_EQ(lines.size(), 2) << "the first line and the part of 001; no half-written line";
    EXPECT_EQ(lines[1].ind, u"001"_s);
    EXPECT_EQ(lines[1].kus, 1);
    EXPECT_EQ(VariantStock(u"200001"_s, u"003"_s), 5);
    const TTotals after = StoredTotals(Number());
    EXPECT_NEAR(after.cuh - first.cuh, 30, 1e-9);
    EXPECT_EQ(data->ffUctenky->FieldByName(u"HLA_CUH"_s).AsFloat(), after.cuh)
        << "window shows what is stored";
    EXPECT_EQ(data->ffUctenky->State(), TDataSetState::Edit);
    EXPECT_FALSE(data->ffDatabase->InTransaction());
    RemoveFailure();
    ExpectConsistent(125);
}

TEST_P(ReceiptTest, FailedHeaderStoreRollsThePostingBack)
{
    AddCard(u"200001"_s, 30, 22, true, 5);
    AddVariant(u"200001"_s, u"001"_s, 5, 10);
    OpenNewReceipt();
    ASSERT_EQ(NewLine(u"200001"_s, 1), TSaleResult::Sold);
    data->ffUctenky->FieldByName(u"HLA_FUH"_s).SetAsString(u"2"_s);  // typed in the window meanwhile
    InjectFailure(u"uce0001"_s, u"UPDATE"_s);
    EXPECT_EQ(NewLine(u"200001"_s, 2), TSaleResult::Failed);
    EXPECT_EQ(Lines().size(), 1);
    EXPECT_EQ(Journal().size(), 1) << "the stock posting went back with the header";
    EXPECT_EQ(VariantStock(u"200001"_s, u"001"_s), 4);
    EXPECT_EQ(data->ffUctenky->FieldByName(u"HLA_CUH"_s).AsFloat(), 30);
    EXPECT_EQ(data->ffUctenky->FieldByName(u"HLA_FUH"_s).AsString(), u"2"_s) << "the window's edit is kept";
    RemoveFailure();
    ExpectConsistent(125);
    ASSERT_EQ(NewLine(u"200001"_s, 2), TSaleResult::Sold);
    data->ffUctenky->Post();
    auto uce = Table(u"UCE"_s);
    EXPECT_EQ(uce->FieldByName(u"HLA_FUH"_s).AsString(), u"2"_s);
    EXPECT_EQ(uce->FieldByName(u"HLA_CUH"_s).AsFloat(), 90);
    ExpectConsistent(125);
}

TEST_P(ReceiptTest, LostConnectionEndsTheSaleWithoutAHalfWrittenLine)
{
    if (store->Kind() != TStoreKind::Postgres)
        GTEST_SKIP() << "only a server connection can be lost";
    AddCard(u"200001"_s, 30, 22, true, 5);
    AddVariant(u"200001"_s, u"001"_s, 5, 10);
    OpenNewReceipt();
    ASSERT_EQ(NewLine(u"200001"_s, 1), TSaleResult::Sold);
    // The server ends the till's session (a restart, a network fault) in the middle of a direct sale,
    // while the operator reads that only part of the quantity is there.
    QStringList told;
    TMessageHandler previous = SetMessageHandler([&](TMessageKind, const QString& text) {
        told << text;
        if (told.size() == 1)
            store->Db().ExecDirect(
                u"SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                "WHERE datname = current_database() AND pid <> pg_backend_pid()"_s);
        return true;
    });
    EXPECT_EQ(engine->DirectSale(u"200001"_s, 9), TSaleResult::Failed);
    SetMessageHandler(previous);
    EXPECT_EQ(told, (QStringList{u"Bude vydáno pouze 4 kusů, víc nemám"_s, u"Osetreni vyjimky"_s}));
    EXPECT_NE(data->DokladObsah->State(), TDataSetState::Insert) << "no half-written line";
    EXPECT_EQ(Lines().size(), Journal().size()) << "every line shown is posted, every posting shown";
    EXPECT_FALSE(data->ffDatabase->InTransaction());
    ExpectConsistent(125);
}

TEST_P(ReceiptTest, CheckReportsAHeaderThatDisagreesWithItsJournal)
{
    AddCard(u"200001"_s, 30, 22, true, 5);
    AddVariant(u"200001"_s, u"001"_s, 5, 10);
    OpenNewReceipt();
    ASSERT_EQ(NewLine(u"200001"_s, 2), TSaleResult::Sold);
    data->ffUctenky->Post();
    const TVatRates rates;
    EXPECT_EQ(CheckReceiptHeaders(store->Db(), u"0001"_s, TPriceBasis::Net, rates, {}), 0);
    store->Db().ExecDirect(u"UPDATE \"uce0001\" SET \"HLA_D22\" = 13"_s);
    QStringList told;
    EXPECT_EQ(CheckReceiptHeaders(store->Db(), u"0001"_s, TPriceBasis::Net, rates,
                                  [&](const QString& t) { told << t; }),
              1);
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].contains(u"0000000125"_s) && told[0].contains(u"HLA_D22"_s)) << told[0].toStdString();

    // korvanta-db check reports it among its findings.
    QString out;
    QTextStream stream(&out);
    EXPECT_EQ(TDbTool(*data, stream).Check(), 1) << out.toStdString();
    EXPECT_TRUE(out.contains(u"Účtenka 0000000125 nesouhlasí s deníkem: HLA_D22 13 (deník 13,2)."_s))
        << out.toStdString();
}

// ---------------------------------------------------------------------------------------------------
// Several tills

class TillReceiptTest : public ReceiptTest {
protected:
    void SetUpTills()
    {
        data->ZakladniCenySDPH = 2;
        for (const QString& kav : ReceiptTill::kStockCards) {
            AddCard(kav, 122, 22, true, 300000);
            AddVariant(kav, u"001"_s, 100000, 50);
            AddVariant(kav, u"002"_s, 200000, 55);
        }
        AddCard(ReceiptTill::kServiceCard, 105, 5, false);
        AddVariant(ReceiptTill::kServiceCard, u"001"_s, 0, 0);
    }

    std::unique_ptr<QProcess> StartTill(int till, int count)
    {
        const QString worker = QCoreApplication::applicationDirPath() + u"/kv_receipt_worker"_s;
        const bool pg = store->Kind() == TStoreKind::Postgres;
        auto p = std::make_unique<QProcess>();
        p->start(worker, {pg ? u"TCPIP"_s : u"LOCAL"_s, store->Directory(), store->AliasName(),
                          pg ? u"%1:%2"_s.arg(PgHost()).arg(PgPort()) : u"127.0.0.1"_s, QString::number(till),
                          QString::number(count)});
        EXPECT_TRUE(p->waitForStarted()) << worker.toStdString();
        return p;
    }
};

TEST_P(TillReceiptTest, TillsNumberAndPostReceiptsTogetherWithoutLoss)
{
    SetUpTills();
    const int tills = store->Kind() == TStoreKind::Postgres ? 4 : 2;
    const int receipts = store->Kind() == TStoreKind::Postgres ? 150 : 200;
    std::vector<std::unique_ptr<QProcess>> running;
    for (int till = 1; till <= tills; ++till)
        running.push_back(StartTill(till, receipts));
    int numbered = 0;
    for (auto& p : running) {
        ASSERT_TRUE(p->waitForFinished(300000));
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
        numbered += p->readAllStandardOutput().trimmed().toInt();
    }
    EXPECT_EQ(numbered, tills * receipts);
    EXPECT_EQ(Counter().toInt(), 124 + numbered);
    ExpectConsistent(125);
}

TEST_P(TillReceiptTest, TillKilledInTheMiddleOfASaleLeavesConsistentBooks)
{
    SetUpTills();
    QRandomGenerator rnd(20261210);
    constexpr int kKills = 50;
    for (int i = 0; i < kKills; ++i) {
        auto p = StartTill(1 + i % 3, 0);
        ASSERT_TRUE(p->waitForReadyRead(30000)) << p->readAllStandardError().toStdString();
        ASSERT_EQ(p->readLine().trimmed(), QByteArray("ready"));
        QThread::usleep(1000 * (5 + rnd.bounded(150)));
        ::kill(pid_t(p->processId()), SIGKILL);
        ASSERT_TRUE(p->waitForFinished(10000));
        EXPECT_EQ(p->exitStatus(), QProcess::CrashExit) << "killed while selling, not finished";
    }
    EXPECT_GT(Counter().toInt(), 124) << "the tills got to sell";
    ExpectConsistent(125);
}

KV_INSTANTIATE_STORES(ReceiptTest);
KV_INSTANTIATE_STORES(TillReceiptTest);

}  // namespace
