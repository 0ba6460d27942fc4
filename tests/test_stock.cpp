// The stock engine over both stores: look-ups and checks, postings, the card rebuild, document
// loading, a failure inside a posting, and several tills selling the same cards at once.
#include "TestSupport.h"

#include "DataUnit.h"
#include "ProgramLog.h"
#include "TillSales.h"
#include "Transaction.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

struct TJournalRow {
    QString doc, card, variant, op;
    double kus = 0, hpc = 0, hnc = 0, dan = 0, zas = 0;
    QVariant poz;
    QString ref;
    QDate dat;
    QTime kdy;
};

class StockTest : public StoreTest {
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        if (IsSkipped())
            return;
        data = MakeData(*store);
        data->UzivatelIni = u"JN"_s;
    }
    void TearDown() override
    {
        data.reset();
        StoreTest::TearDown();
    }

    void AddCard(const QString& kav, const QString& name, bool stockItem, double sta = 0,
                 const QString& sku = {})
    {
        auto sor = Table(u"SOR"_s);
        sor->Append();
        sor->FieldByName(u"SOR_KAV"_s).SetAsString(kav);
        sor->FieldByName(u"SOR_NAC"_s).SetAsString(name);
        sor->FieldByName(u"SOR_SKL"_s).SetAsBoolean(stockItem);
        sor->FieldByName(u"SOR_STA"_s).SetAsFloat(sta);
        sor->FieldByName(u"SOR_SKU"_s).SetAsString(sku);
        sor->Post();
    }

    void AddVariant(const QString& kav, const QString& ind, double poc, double sta, double snc = 0)
    {
        auto skl = Table(u"SKL"_s);
        skl->Append();
        skl->FieldByName(u"SKL_KAV"_s).SetAsString(kav);
        skl->FieldByName(u"SKL_IND"_s).SetAsString(ind);
        skl->FieldByName(u"SKL_POC"_s).SetAsFloat(poc);
        skl->FieldByName(u"SKL_STA"_s).SetAsFloat(sta);
        skl->FieldByName(u"SKL_SNC"_s).SetAsFloat(snc);
        skl->Post();
    }

    void AddJournal(TTable& den, const QString& doc, const QString& kav, const QString& ind,
                    const QString& op, double kus, double hpc = 0, double hnc = 0, double dan = 0,
                    double zas = 0)
    {
        den.Append();
        den.FieldByName(u"DEN_DOK"_s).SetAsString(doc);
        den.FieldByName(u"DEN_KAV"_s).SetAsString(kav);
        den.FieldByName(u"DEN_IND"_s).SetAsString(ind);
        den.FieldByName(u"DEN_OPE"_s).SetAsString(op);
        den.FieldByName(u"DEN_KUS"_s).SetAsFloat(kus);
        den.FieldByName(u"DEN_HPC"_s).SetAsFloat(hpc);
        den.FieldByName(u"DEN_HNC"_s).SetAsFloat(hnc);
        den.FieldByName(u"DEN_DAN"_s).SetAsFloat(dan);
        den.FieldByName(u"DEN_ZAS"_s).SetAsFloat(zas);
        den.Post();
    }
    void AddJournal(const QString& doc, const QString& kav, const QString& ind, const QString& op, double kus,
                    double hpc = 0, double hnc = 0, double dan = 0, double zas = 0)
    {
        auto den = Table(u"DEN"_s);
        AddJournal(*den, doc, kav, ind, op, kus, hpc, hnc, dan, zas);
    }

    double VariantStock(const QString& kav, const QString& ind)
    {
        auto skl = Table(u"SKL"_s);
        skl->SetIndexName(u"KAV"_s);
        EXPECT_TRUE(skl->FindKey({kav, ind})) << kav.toStdString() << '/' << ind.toStdString();
        return skl->FieldByName(u"SKL_STA"_s).AsFloat();
    }

    double CardStock(const QString& kav) { return CardField(kav, u"SOR_STA"_s).toDouble(); }
    QVariant CardField(const QString& kav, const QString& field)
    {
        auto sor = Table(u"SOR"_s);
        sor->SetIndexName(u"KAV"_s);
        EXPECT_TRUE(sor->FindKey({kav})) << kav.toStdString();
        return sor->FieldByName(field).Value();
    }

    // The journal in posting order, optionally of one card variant.
    QList<TJournalRow> Journal(const QString& kav = {}, const QString& ind = {})
    {
        auto den = Table(u"DEN"_s);
        QList<TJournalRow> rows;
        for (den->First(); !den->Eof(); den->Next()) {
            TJournalRow r;
            r.doc = den->FieldByName(u"DEN_DOK"_s).AsString();
            r.card = den->FieldByName(u"DEN_KAV"_s).AsString();
            r.variant = den->FieldByName(u"DEN_IND"_s).AsString();
            if ((!kav.isEmpty() && r.card != kav) || (!ind.isEmpty() && r.variant != ind))
                continue;
            r.op = den->FieldByName(u"DEN_OPE"_s).AsString();
            r.kus = den->FieldByName(u"DEN_KUS"_s).AsFloat();
            r.hpc = den->FieldByName(u"DEN_HPC"_s).AsFloat();
            r.hnc = den->FieldByName(u"DEN_HNC"_s).AsFloat();
            r.dan = den->FieldByName(u"DEN_DAN"_s).AsFloat();
            r.zas = den->FieldByName(u"DEN_ZAS"_s).AsFloat();
            r.poz = den->FieldByName(u"DEN_POZ"_s).Value();
            r.ref = den->FieldByName(u"DEN_REF"_s).AsString();
            r.dat = den->FieldByName(u"DEN_DAT"_s).AsDate();
            r.kdy = den->FieldByName(u"DEN_KDY"_s).AsTime();
            rows << r;
        }
        return rows;
    }

    // Each variant of the cards: stock = opening stock + its journal quantities, every journal row's
    // DEN_ZAS the running stock (so the latest one is the card's), and the card's stock the sum of its
    // variants'.
    void ExpectBooksBalance(const QStringList& cards)
    {
        for (const QString& kav : cards) {
            auto skl = Table(u"SKL"_s);
            skl->SetIndexName(u"KAV"_s);
            skl->SetRange({kav, u"000"_s}, {kav, u"999"_s});
            double total = 0;
            for (skl->First(); !skl->Eof(); skl->Next()) {
                const QString ind = skl->FieldByName(u"SKL_IND"_s).AsString();
                double running = skl->FieldByName(u"SKL_POC"_s).AsFloat();
                int broken = 0;
                for (const TJournalRow& r : Journal(kav, ind)) {
                    running += r.kus;
                    broken += r.zas != running;
                }
                EXPECT_EQ(broken, 0) << kav.toStdString() << '/' << ind.toStdString();
                EXPECT_EQ(skl->FieldByName(u"SKL_STA"_s).AsFloat(), running)
                    << kav.toStdString() << '/' << ind.toStdString();
                total += skl->FieldByName(u"SKL_STA"_s).AsFloat();
            }
            EXPECT_EQ(CardStock(kav), total) << kav.toStdString();
        }
    }

    int JournalCount() { return Table(u"DEN"_s)->RecordCount(); }

    // Every later update of an assortment card's SOR_PPO fails in the store.
    void FailCardUpdates()
    {
        TDatabase& db = store->Db();
        if (store->Kind() == TStoreKind::Sqlite) {
            db.ExecDirect(
                u"CREATE TRIGGER kv_fail BEFORE UPDATE OF \"SOR_PPO\" ON \"sor0001\" "
                "BEGIN SELECT RAISE(ABORT, 'injected failure'); END"_s);
        } else {
            db.ExecDirect(
                u"CREATE FUNCTION kv_fail() RETURNS trigger LANGUAGE plpgsql AS "
                "$$ BEGIN RAISE EXCEPTION 'injected failure'; END $$"_s);
            db.ExecDirect(
                u"CREATE TRIGGER kv_fail BEFORE UPDATE OF \"SOR_PPO\" ON \"sor0001\" "
                "FOR EACH ROW EXECUTE FUNCTION kv_fail()"_s);
        }
    }

    std::unique_ptr<TData> data;
};

// ---------------------------------------------------------------------------------------------------

TEST_P(StockTest, VariantCheckRefusesWithStockPlusLineQuantity)
{
    AddCard(u"100001"_s, u"Rohlík"_s, true, 3);
    AddVariant(u"100001"_s, u"001"_s, 3, 3);
    struct Case {
        const char16_t* variant;
        double change, line;
        bool ok;
        QString message;
    };
    const Case cases[] = {
        {u"001", -3, 0, true, {}},
        {u"001", 2, 0, true, {}},
        {u"001", -4, 0, false, u"Na skladě je pouze 3 kusů !"_s},
        {u"001", -4, 2, false, u"Na skladě je pouze 5 kusů !"_s},
        {u"002", -1, 0, false, {}},  // unknown variant: no message, the caller decides
    };
    for (const Case& c : cases) {
        TMessageRecorder told;
        EXPECT_EQ(data->KontrolaStavu(u"100001"_s, QString::fromUtf16(c.variant), c.change, c.line), c.ok)
            << c.change << ' ' << c.line;
        EXPECT_EQ(told.messages, c.message.isEmpty() ? QStringList{} : QStringList{c.message});
    }
    EXPECT_FALSE(data->ffSklad->Active()) << "a table found closed is closed again";

    // A caller that has the table open finds it on the variant.
    data->ffSklad->Open();
    EXPECT_TRUE(data->KontrolaStavu(u"100001"_s, u"001"_s, -1, 0));
    EXPECT_TRUE(data->ffSklad->Active());
    EXPECT_EQ(data->ffSklad->IndexName(), u"KAV"_s);
    EXPECT_EQ(data->ffSklad->FieldByName(u"SKL_IND"_s).AsString(), u"001"_s);
}

TEST_P(StockTest, CardCheckSumsEveryVariantOfTheCard)
{
    AddVariant(u"200000"_s, u"001"_s, 0, 100);
    AddVariant(u"200001"_s, u"001"_s, 0, 2);
    AddVariant(u"200001"_s, u"002"_s, 0, 0);
    AddVariant(u"200001"_s, u"003"_s, 0, 1.5);
    AddVariant(u"200002"_s, u"001"_s, 0, 9);
    struct Case {
        const char16_t* card;
        double change, line;
        bool ok;
        QString message;
    };
    const Case cases[] = {
        {u"200001", -3.5, 0, true, {}},
        {u"200001", -4, 0, false, u"Na skladě je pouze 3,5 kusů !"_s},
        {u"200001", -5, 1, false, u"Na skladě je pouze 4,5 kusů !"_s},
        {u"200002", -9, 0, true, {}},  // the last card of the table
        {u"299999", -1, 0, false, {}},
    };
    for (const Case& c : cases) {
        TMessageRecorder told;
        EXPECT_EQ(data->KontrolaStavuKarta(QString::fromUtf16(c.card), c.change, c.line), c.ok) << c.change;
        EXPECT_EQ(told.messages, c.message.isEmpty() ? QStringList{} : QStringList{c.message});
    }
    EXPECT_FALSE(data->ffSklad->Active());

    data->ffSklad->Open();
    EXPECT_TRUE(data->KontrolaStavuKarta(u"200001"_s, -1, 0));
    EXPECT_EQ(data->ffSklad->FieldByName(u"SKL_KAV"_s).AsString(), u"200002"_s)
        << "left on the first record after the card's variants";
}

TEST_P(StockTest, SorValidTakesFullCodesAndOtherwiseOpensThePicker)
{
    AddCard(u"100001"_s, u"Rohlík"_s, true);
    AddCard(u"100002"_s, u"Chléb"_s, true);
    AddCard(u"100003"_s, u"Mléko"_s, true);
    data->AnchorTop = 10;
    data->AnchorLeft = 20;
    struct Call {
        int top, left;
        QString index, card;
    };
    QList<Call> calls;
    QString choose;  // card the operator picks; empty: cancels
    data->PickSortiment = [&](int top, int left) {
        TTable& sor = *data->ffSortiment;
        calls << Call{top, left, sor.IndexName(), sor.FieldByName(u"SOR_KAV"_s).AsString()};
        return !choose.isEmpty() && sor.Locate(u"SOR_KAV"_s, {choose});
    };

    EXPECT_TRUE(data->SorValid(u"100002"_s));
    EXPECT_TRUE(calls.isEmpty()) << "an exact code needs no picker";
    EXPECT_TRUE(data->LastSorValid);
    EXPECT_EQ(data->LastSorKav, u"100002"_s);
    EXPECT_EQ(data->LastSorIndex, u"KAV"_s);
    EXPECT_FALSE(data->ffSortiment->Active());

    // Five characters or fewer are never looked up; the picker opens by name on the card used last.
    EXPECT_FALSE(data->SorValid(u" 10000 "_s));
    ASSERT_EQ(calls.size(), 1);
    EXPECT_EQ(calls[0].top, 112);
    EXPECT_EQ(calls[0].left, 70);
    EXPECT_EQ(calls[0].index, u"NAC"_s);
    EXPECT_EQ(calls[0].card, u"100002"_s);

    // An unknown full code falls back to the picker; the picked card is remembered and, for a caller
    // that has the table open, current.
    data->OpenffSor(u""_s);
    choose = u"100003"_s;
    EXPECT_TRUE(data->SorValid(u"999999"_s));
    EXPECT_EQ(calls.size(), 2);
    EXPECT_TRUE(data->ffSortiment->Active());
    EXPECT_EQ(data->ffSortiment->IndexName(), u"NAC"_s);
    EXPECT_EQ(data->ffSortiment->FieldByName(u"SOR_KAV"_s).AsString(), u"100003"_s);
    EXPECT_EQ(data->LastSorKav, u"100003"_s);
    EXPECT_EQ(data->LastSorIndex, u"NAC"_s);

    data->PickSortiment = nullptr;
    EXPECT_FALSE(data->SorValid(u"1"_s)) << "no picker installed counts as cancelled";
}

TEST_P(StockTest, SklValidOffersOnlyTheCardsVariants)
{
    AddVariant(u"100001"_s, u"001"_s, 0, 1);
    AddVariant(u"100001"_s, u"002"_s, 0, 2);
    AddVariant(u"100002"_s, u"001"_s, 0, 3);
    data->AnchorTop = 10;
    data->AnchorLeft = 20;
    QList<QStringList> offered;
    QString choose;
    data->PickSklad = [&](int top, int left) {
        EXPECT_EQ(top, 112);
        EXPECT_EQ(left, 250);
        TTable& skl = *data->ffSklad;
        QStringList rows;
        for (skl.First(); !skl.Eof(); skl.Next())
            rows << skl.FieldByName(u"SKL_KAV"_s).AsString() + u'/' +
                        skl.FieldByName(u"SKL_IND"_s).AsString();
        offered << rows;
        return !choose.isEmpty() && skl.Locate(u"SKL_IND"_s, {choose});
    };

    EXPECT_TRUE(data->SklValid(u"100001"_s, u"002"_s));
    EXPECT_TRUE(offered.isEmpty());

    EXPECT_FALSE(data->SklValid(u"100001"_s, u"009"_s));
    ASSERT_EQ(offered.size(), 1);
    EXPECT_EQ(offered[0], (QStringList{u"100001/001"_s, u"100001/002"_s}));

    data->ffSklad->Open();
    choose = u"002"_s;
    EXPECT_TRUE(data->SklValid(u"100001"_s, u"009"_s));
    EXPECT_EQ(data->ffSklad->FieldByName(u"SKL_IND"_s).AsString(), u"002"_s);
    EXPECT_EQ(data->ffSklad->RecordCount(), 3) << "the range is gone";
    data->ffSklad->Close();

    // A cancelled picker looks for the variant "   ".
    choose.clear();
    AddVariant(u"100001"_s, u"   "_s, 0, 0);
    EXPECT_TRUE(data->SklValid(u"100001"_s, u"009"_s));
}

TEST_P(StockTest, RememberedCardComesBackWithItsIndex)
{
    AddCard(u"100001"_s, u"Rohlík"_s, true);
    AddCard(u"100002"_s, u"Chléb"_s, true);
    AddCard(u"100003"_s, u"Mléko"_s, true);
    TTable& sor = *data->ffSortiment;
    EXPECT_FALSE(data->GetLastSor()) << "nothing remembered yet";
    EXPECT_FALSE(data->SetLastSor()) << "closed table: at its end";

    ASSERT_TRUE(data->OpenffSor(u"NAC"_s));
    sor.Last();
    EXPECT_FALSE(data->SetLastSor()) << "at the end";
    sor.First();  // Chléb
    EXPECT_TRUE(data->SetLastSor());
    sor.SetIndexName(u"KAV"_s);
    sor.Last();
    EXPECT_TRUE(data->GetLastSor());
    EXPECT_EQ(sor.FieldByName(u"SOR_KAV"_s).AsString(), u"100002"_s);
    EXPECT_EQ(sor.IndexName(), u"NAC"_s);

    // A card that has gone leaves the table where it stood.
    {
        auto other = Table(u"SOR"_s);
        ASSERT_TRUE(other->Locate(u"SOR_KAV"_s, {u"100002"_s}));
        other->Delete();
    }
    sor.First();
    EXPECT_TRUE(data->GetLastSor());
    EXPECT_EQ(sor.FieldByName(u"SOR_KAV"_s).AsString(), u"100003"_s);

    data->CloseffSor();
    EXPECT_FALSE(data->GetLastSor()) << "an error becomes false";
}

// ---------------------------------------------------------------------------------------------------

TEST_P(StockTest, SalePostsJournalStockCardAndAssortmentTogether)
{
    AddCard(u"100001"_s, u"Rohlík"_s, true, 5);
    AddVariant(u"100001"_s, u"001"_s, 0, 5, 10);
    AddJournal(u"P1"_s, u"100001"_s, u"001"_s, u"001"_s, 5, 0, 0, 0, 5);  // the receipt that brought 5 in
    TMessageRecorder told;
    // The data module's clock dates the movement, whatever the machine's says around midnight.
    const QDateTime now(QDate(2026, 3, 14), QTime(23, 59, 59, 700));
    data->Clock = [now] { return now; };

    ASSERT_TRUE(data->ZapisPohybuVar(u"100001"_s, u"001"_s, u"0000000007"_s, u"005"_s, 30, 21, -2));
    QList<TJournalRow> rows = Journal();
    ASSERT_EQ(rows.size(), 2);
    const TJournalRow& sale = rows[1];
    EXPECT_EQ(sale.doc, u"0000000007"_s);
    EXPECT_EQ(sale.card, u"100001"_s);
    EXPECT_EQ(sale.variant, u"001"_s);
    EXPECT_EQ(sale.op, u"005"_s);
    EXPECT_EQ(sale.kus, -2);
    EXPECT_EQ(sale.hpc, -60);
    EXPECT_EQ(sale.hnc, -20);
    EXPECT_EQ(sale.zas, 3);
    EXPECT_EQ(sale.dan, 21);
    EXPECT_EQ(sale.ref, u"JN"_s);
    EXPECT_FALSE(sale.poz.isValid()) << "ZapisPohybuVar leaves DEN_POZ empty";
    EXPECT_EQ(sale.dat, QDate(2026, 3, 14));
    EXPECT_EQ(sale.kdy, QTime(23, 59, 59)) << "whole seconds";
    EXPECT_EQ(VariantStock(u"100001"_s, u"001"_s), 3);
    EXPECT_EQ(CardStock(u"100001"_s), 3);
    EXPECT_EQ(CardField(u"100001"_s, u"SOR_PPO"_s).toDate(), QDate(2026, 3, 14));

    // Sold below the base price: the movement at the base price and the difference beside it.
    ASSERT_TRUE(data->ZapisPohybuVarProvize(u"100001"_s, u"001"_s, u"0000000008"_s, u"005"_s, u"300"_s, 25,
                                            21, -2, 30));
    rows = Journal();
    ASSERT_EQ(rows.size(), 4);
    EXPECT_EQ(rows[2].op, u"005"_s);
    EXPECT_EQ(rows[2].kus, -2);
    EXPECT_EQ(rows[2].hpc, -60);
    EXPECT_EQ(rows[2].hnc, -20);
    EXPECT_EQ(rows[2].zas, 1);
    EXPECT_EQ(rows[2].poz, QVariant(0.0));
    EXPECT_EQ(rows[3].op, u"300"_s);
    EXPECT_EQ(rows[3].doc, u"0000000008"_s);
    EXPECT_EQ(rows[3].kus, 0);
    EXPECT_EQ(rows[3].hpc, 10);
    EXPECT_EQ(rows[3].hnc, 0);
    EXPECT_EQ(rows[3].zas, 1);
    EXPECT_EQ(rows[3].dan, 21);
    EXPECT_EQ(VariantStock(u"100001"_s, u"001"_s), 1);
    EXPECT_EQ(CardStock(u"100001"_s), 1);

    // At the base price there is no difference to record; an outflow below zero is not refused.
    ASSERT_TRUE(data->ZapisPohybuVarProvize(u"100001"_s, u"001"_s, u"0000000009"_s, u"005"_s, u"300"_s, 30,
                                            21, -1.5, 30));
    EXPECT_EQ(JournalCount(), 5);
    EXPECT_EQ(VariantStock(u"100001"_s, u"001"_s), -0.5);
    EXPECT_TRUE(told.messages.isEmpty());
    EXPECT_FALSE(data->ffDatabase->InTransaction());
    ExpectBooksBalance({u"100001"_s});
}

TEST_P(StockTest, NonStockItemIsJournalledWithoutStock)
{
    AddCard(u"300001"_s, u"Služba"_s, false, 0);
    AddVariant(u"300001"_s, u"001"_s, 0, 0, 4);
    data->Clock = [] { return QDateTime(QDate(2027, 1, 1), QTime(0, 0)); };
    ASSERT_TRUE(data->ZapisPohybuVar(u"300001"_s, u"001"_s, u"D1"_s, u"005"_s, 10, 21, -3));
    ASSERT_TRUE(
        data->ZapisPohybuVarProvize(u"300001"_s, u"777"_s, u"D2"_s, u"005"_s, u"300"_s, 12, 21, -1, 10));
    const QList<TJournalRow> rows = Journal();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0].hpc, -30);
    EXPECT_EQ(rows[0].hnc, -12) << "purchase price of the variant's stock card";
    EXPECT_EQ(rows[1].hnc, 0) << "no stock card for the variant";
    EXPECT_EQ(rows[2].op, u"300"_s);
    EXPECT_EQ(rows[2].hpc, -2);
    for (const TJournalRow& r : rows)
        EXPECT_EQ(r.zas, 0);
    EXPECT_EQ(VariantStock(u"300001"_s, u"001"_s), 0);
    EXPECT_EQ(CardStock(u"300001"_s), 0);
    EXPECT_EQ(CardField(u"300001"_s, u"SOR_PPO"_s).toDate(), QDate(2027, 1, 1));
}

TEST_P(StockTest, CardThatDisagreesWithTheJournalIsRebuiltBeforePosting)
{
    // Stock 4 and no journal at all: the journal says the opening stock of 7 is all there is.
    for (const QString& kav : {u"100001"_s, u"100002"_s}) {
        AddCard(kav, u"Káva"_s, true, 4);
        AddVariant(kav, u"001"_s, 7, 4);
    }
    TMessageRecorder told;
    ASSERT_TRUE(data->ZapisPohybuVar(u"100001"_s, u"001"_s, u"D1"_s, u"005"_s, 30, 21, -1));
    EXPECT_EQ(told.messages, QStringList{u"7"_s});
    ASSERT_TRUE(
        data->ZapisPohybuVarProvize(u"100002"_s, u"001"_s, u"D2"_s, u"005"_s, u"300"_s, 30, 21, -1, 30));
    EXPECT_EQ(told.messages.size(), 1) << "ZapisPohybuVarProvize rebuilds silently";
    for (const QString& kav : {u"100001"_s, u"100002"_s}) {
        EXPECT_EQ(Journal(kav).value(0).zas, 6);
        EXPECT_EQ(VariantStock(kav, u"001"_s), 6);
        EXPECT_EQ(CardStock(kav), 6);
    }
    ExpectBooksBalance({u"100001"_s, u"100002"_s});
}

TEST_P(StockTest, UnknownCardOrVariantPostsNothing)
{
    AddCard(u"100001"_s, u"Rohlík"_s, true, 5);
    AddVariant(u"100001"_s, u"001"_s, 5, 5);
    TMessageRecorder told;
    const std::pair<const char16_t*, const char16_t*> cases[] = {{u"999999", u"001"}, {u"100001", u"002"}};
    for (const auto& [kav, ind] : cases) {
        const QString card = QString::fromUtf16(kav), variant = QString::fromUtf16(ind);
        EXPECT_FALSE(data->ZapisPohybuVar(card, variant, u"D"_s, u"005"_s, 30, 21, -1));
        EXPECT_FALSE(data->ZapisPohybuVarProvize(card, variant, u"D"_s, u"005"_s, u"300"_s, 25, 21, -1, 30));
    }
    EXPECT_EQ(JournalCount(), 0);
    EXPECT_EQ(VariantStock(u"100001"_s, u"001"_s), 5);
    EXPECT_EQ(CardStock(u"100001"_s), 5);
    EXPECT_TRUE(CardField(u"100001"_s, u"SOR_PPO"_s).isNull());
    EXPECT_TRUE(told.messages.isEmpty());
    for (TTable* t : {data->ffSortiment.get(), data->ffSklad.get(), data->ffDenik.get()})
        EXPECT_FALSE(t->Active()) << t->Def().component.toStdString();
}

// A code one character longer than its field (a typing slip) names no card: it is neither cut to the
// card it starts with nor posted to it, and every operation agrees about it.
TEST_P(StockTest, CodesLongerThanTheirFieldNameNoCard)
{
    AddCard(u"100001"_s, u"Rohlík"_s, true, 5);
    AddVariant(u"100001"_s, u"001"_s, 5, 5);
    int pickerOpened = 0;
    data->PickSortiment = [&](int, int) {
        ++pickerOpened;
        return false;
    };
    data->PickSklad = [&](int, int) { return false; };
    TMessageRecorder told;
    struct Case {
        const char* what;
        std::function<bool()> call;
    };
    const Case cases[] = {
        {"SorValid", [&] { return data->SorValid(u"1000019"_s); }},
        {"SklValid", [&] { return data->SklValid(u"100001"_s, u"0019"_s); }},
        {"KontrolaStavu, card", [&] { return data->KontrolaStavu(u"1000019"_s, u"001"_s, -1, 0); }},
        {"KontrolaStavu, variant", [&] { return data->KontrolaStavu(u"100001"_s, u"0019"_s, -1, 0); }},
        {"KontrolaStavuKarta", [&] { return data->KontrolaStavuKarta(u"1000019"_s, -1, 0); }},
        {"ZapisPohybuVar, card",
         [&] { return data->ZapisPohybuVar(u"1000019"_s, u"001"_s, u"D"_s, u"005"_s, 30, 21, -1); }},
        {"ZapisPohybuVar, variant",
         [&] { return data->ZapisPohybuVar(u"1000019"_s, u"0019"_s, u"D"_s, u"005"_s, 30, 21, -1); }},
        {"ZapisPohybuVarProvize",
         [&] {
             return data->ZapisPohybuVarProvize(u"100001"_s, u"0019"_s, u"D"_s, u"005"_s, u"300"_s, 25, 21,
                                                -1, 30);
         }},
    };
    for (const Case& c : cases)
        EXPECT_FALSE(c.call()) << c.what;
    EXPECT_EQ(pickerOpened, 1) << "SorValid falls back to the picker";
    EXPECT_EQ(JournalCount(), 0);
    EXPECT_EQ(VariantStock(u"100001"_s, u"001"_s), 5);
    EXPECT_EQ(CardStock(u"100001"_s), 5);
    EXPECT_TRUE(told.messages.isEmpty()) << told.messages.join(u" | "_s).toStdString();
}

TEST_P(StockTest, OperationsGiveBackOpenStateIndexAndPosition)
{
    AddCard(u"100001"_s, u"Rohlík"_s, true, 10);
    AddCard(u"100002"_s, u"Chléb"_s, true, 0);
    AddVariant(u"100001"_s, u"001"_s, 10, 10);
    AddVariant(u"100002"_s, u"001"_s, 0, 0);
    AddJournal(u"P"_s, u"100001"_s, u"001"_s, u"001"_s, 0, 0, 0, 0, 10);
    AddJournal(u"P"_s, u"100002"_s, u"001"_s, u"001"_s, 0, 0, 0, 0, 0);

    using Op = std::function<bool()>;
    const std::pair<const char*, Op> ops[] = {
        {"ZapisPohybuVar",
         [&] { return data->ZapisPohybuVar(u"100001"_s, u"001"_s, u"D"_s, u"005"_s, 1, 0, -1); }},
        {"ZapisPohybuVarProvize",
         [&] {
             return data->ZapisPohybuVarProvize(u"100001"_s, u"001"_s, u"D"_s, u"005"_s, u"300"_s, 2, 0, -1,
                                                1);
         }},
        {"RekonstrukceKarty", [&] { return data->RekonstrukceKarty(u"100001"_s); }},
    };
    for (const auto& [name, op] : ops) {
        SCOPED_TRACE(name);
        // The assortment open by name on the other card, the stock cards open without an index on the
        // other card's variant, the journal closed with an index chosen.
        TTable& sor = *data->ffSortiment;
        TTable& skl = *data->ffSklad;
        TTable& den = *data->ffDenik;
        sor.SetIndexName(u"NAC"_s);
        sor.Open();
        ASSERT_TRUE(sor.Locate(u"SOR_KAV"_s, {u"100002"_s}));
        skl.SetIndexName(u""_s);
        skl.Open();
        ASSERT_TRUE(skl.Locate(u"SKL_KAV"_s, {u"100002"_s}));
        den.SetIndexName(u"DAT"_s);

        EXPECT_TRUE(op());
        EXPECT_TRUE(sor.Active());
        EXPECT_EQ(sor.IndexName(), u"NAC"_s);
        EXPECT_EQ(sor.FieldByName(u"SOR_KAV"_s).AsString(), u"100002"_s);
        EXPECT_TRUE(skl.Active());
        EXPECT_EQ(skl.IndexName(), u""_s);
        EXPECT_EQ(skl.FieldByName(u"SKL_KAV"_s).AsString(), u"100002"_s);
        EXPECT_FALSE(den.Active());
        EXPECT_EQ(den.IndexName(), u"DAT"_s);

        // The other way round: closed ones stay closed, an open journal comes back with its range gone.
        sor.Close();
        skl.Close();
        den.SetIndexName(u"KAV"_s);
        den.Open();
        den.SetRange({u"100002"_s}, {u"100002"_s});
        const TBookmark mark = den.GetBookmark();
        EXPECT_TRUE(op());
        EXPECT_FALSE(sor.Active());
        EXPECT_FALSE(skl.Active());
        EXPECT_EQ(den.IndexName(), u"KAV"_s);
        EXPECT_EQ(den.GetBookmark().id, mark.id);
        EXPECT_GT(den.RecordCount(), 1) << "the range ended";
        den.Close();
    }
    ExpectBooksBalance({u"100001"_s, u"100002"_s});

    // The stock card the caller stood on is deleted by another till meanwhile: the sale still reports
    // its success.
    data->ffSklad->Open();
    ASSERT_TRUE(data->ffSklad->Locate(u"SKL_KAV"_s, {u"100002"_s}));
    {
        auto other = Table(u"SKL"_s);
        ASSERT_TRUE(other->Locate(u"SKL_KAV"_s, {u"100002"_s}));
        other->Delete();
    }
    EXPECT_TRUE(data->ZapisPohybuVar(u"100001"_s, u"001"_s, u"D"_s, u"005"_s, 1, 0, -1));
    EXPECT_TRUE(data->ffSklad->Active());
}

// ---------------------------------------------------------------------------------------------------

TEST_P(StockTest, RebuildSumsTheJournalOfEveryVariant)
{
    AddCard(u"100001"_s, u"Rohlík tukový"_s, true, 0);
    AddVariant(u"100001"_s, u"001"_s, 10, 99);
    AddVariant(u"100001"_s, u"002"_s, 7, 0);
    AddJournal(u"D1"_s, u"100001"_s, u"001"_s, u"005"_s, -2);
    AddJournal(u"D2"_s, u"100002"_s, u"001"_s, u"005"_s, -50);  // another card
    AddJournal(u"D2"_s, u"100001"_s, u"001"_s, u"005"_s, -3);
    AddJournal(u"D2"_s, u"100001"_s, u"001"_s, u"300"_s, 0);
    AddJournal(u"D3"_s, u"100001"_s, u"003"_s, u"005"_s, -40);  // a variant without a stock card
    AddCard(u"300001"_s, u"Služba"_s, false, 9);
    AddVariant(u"300001"_s, u"001"_s, 3, 3);
    AddVariant(u"300001"_s, u"002"_s, 4, 4);

    QStringList shown, busy;
    QList<int> steps;
    int hidden = 0;
    data->ProgressShow = [&](const QString& title, const QString& label, const QString& name) {
        shown << title + u'|' + label + u'|' + name;
    };
    data->ProgressStep = [&](int percent) { steps << percent; };
    data->ProgressHide = [&] { ++hidden; };
    data->BusyCursor = [&](bool on) { busy << (on ? u"on"_s : u"off"_s); };

    EXPECT_TRUE(data->RekonstrukceKarty(u"100001"_s));
    EXPECT_EQ(VariantStock(u"100001"_s, u"001"_s), 5);
    EXPECT_EQ(VariantStock(u"100001"_s, u"002"_s), 7) << "no journal: the opening stock";
    EXPECT_EQ(CardStock(u"100001"_s), 12);
    const QString window = u"Rekonstrukce skladové karty|Název sortimentu |Rohlík tukový"_s;
    EXPECT_EQ(shown, (QStringList{window, window}));
    EXPECT_EQ(hidden, 2);
    EXPECT_EQ(steps, QList<int>{100});
    EXPECT_EQ(busy, (QStringList{u"on"_s, u"off"_s}));

    shown.clear();
    EXPECT_TRUE(data->RekonstrukceKarty(u"300001"_s));
    EXPECT_EQ(VariantStock(u"300001"_s, u"001"_s), 0);
    EXPECT_EQ(VariantStock(u"300001"_s, u"002"_s), 0);
    EXPECT_EQ(CardStock(u"300001"_s), 0);
    EXPECT_TRUE(shown.isEmpty()) << "goods not kept in stock: the journal is not read";

    EXPECT_FALSE(data->RekonstrukceKarty(u"999999"_s));
    EXPECT_FALSE(data->ffDatabase->InTransaction());
}

TEST_P(StockTest, RebuildReadsALongJournalInBlocks)
{
    AddCard(u"100001"_s, u"Rohlík"_s, true, 0);
    AddVariant(u"100001"_s, u"001"_s, 20000, 0);
    AddVariant(u"100001"_s, u"002"_s, 0, 0);
    constexpr int kRows = 9000;  // more than two blocks
    // Row i goes to variant "001" unless i is a multiple of 3, with -1.5 for odd i and -0.5 for even.
    store->Db().ExecDirect(
        u"WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
        "INSERT INTO \"den0001\" (\"DEN_DOK\", \"DEN_KAV\", \"DEN_IND\", \"DEN_OPE\", \"DEN_KUS\") "
        "SELECT 'D', '100001', CASE WHEN i % 3 <> 0 THEN '001' ELSE '002' END, '005', "
        "CASE WHEN i % 2 = 1 THEN -1.5 ELSE -0.5 END FROM n"_s.arg(kRows - 1));
    // Block reads run on from one variant into the next without losing or repeating a row.
    {
        auto den = Table(u"DEN"_s);
        den->SetIndexName(u"KAV"_s);
        QList<qint64> ids;
        QStringList variants;
        for (QList<TRow> rows = den->ReadRows(nullptr, 1000, true); !rows.isEmpty();
             rows = den->ReadRows(&rows.last(), 1000, true))
            for (const TRow& r : rows) {
                ids << r.id;
                if (variants.isEmpty() ||
                    variants.last() != r.values.at(den->FieldIndex(u"DEN_IND"_s)).toString())
                    variants << r.values.at(den->FieldIndex(u"DEN_IND"_s)).toString();
            }
        EXPECT_EQ(ids.size(), kRows);
        EXPECT_EQ(variants, (QStringList{u"001"_s, u"002"_s}));
        EXPECT_TRUE(std::is_sorted(ids.begin(), ids.begin() + 6000) &&
                    std::is_sorted(ids.begin() + 6000, ids.end()));
    }
    QList<int> steps;
    data->ProgressStep = [&](int percent) { steps << percent; };
    EXPECT_TRUE(data->RekonstrukceKarty(u"100001"_s));
    EXPECT_EQ(VariantStock(u"100001"_s, u"001"_s), 20000 - 6000);
    EXPECT_EQ(VariantStock(u"100001"_s, u"002"_s), -3000);
    EXPECT_EQ(CardStock(u"100001"_s), 20000 - 9000);
    ASSERT_GE(steps.size(), 3);
    EXPECT_TRUE(std::is_sorted(steps.begin(), steps.begin() + 2));
    EXPECT_EQ(steps.back(), 100);
}

// A trigger makes the assortment card's post fail after the journal row and the stock card were
// written inside the transaction.
TEST_P(StockTest, FailedPostingLeavesNothingHalfPosted)
{
    AddCard(u"100001"_s, u"Rohlík"_s, true, 5);
    AddVariant(u"100001"_s, u"001"_s, 0, 5, 10);
    AddJournal(u"P1"_s, u"100001"_s, u"001"_s, u"001"_s, 5, 0, 0, 0, 5);
    AddCard(u"300001"_s, u"Služba"_s, false, 0);
    TDatabase& db = store->Db();
    if (store->Kind() == TStoreKind::Sqlite) {
        db.ExecDirect(
            u"CREATE TRIGGER kv_fail BEFORE UPDATE OF \"SOR_PPO\" ON \"sor0001\" "
            "BEGIN SELECT RAISE(ABORT, 'injected failure'); END"_s);
    } else {
        db.ExecDirect(
            u"CREATE FUNCTION kv_fail() RETURNS trigger LANGUAGE plpgsql AS "
            "$$ BEGIN RAISE EXCEPTION 'injected failure'; END $$"_s);
        db.ExecDirect(
            u"CREATE TRIGGER kv_fail BEFORE UPDATE OF \"SOR_PPO\" ON \"sor0001\" "
            "FOR EACH ROW EXECUTE FUNCTION kv_fail()"_s);
    }
    TMessageRecorder told;
    EXPECT_FALSE(
        data->ZapisPohybuVarProvize(u"100001"_s, u"001"_s, u"D1"_s, u"005"_s, u"300"_s, 25, 21, -2, 30));
    EXPECT_FALSE(data->ffDatabase->InTransaction());
    EXPECT_FALSE(data->ZapisPohybuVar(u"100001"_s, u"001"_s, u"D2"_s, u"005"_s, 30, 21, -2));
    EXPECT_FALSE(data->ZapisPohybuVar(u"300001"_s, u"001"_s, u"D3"_s, u"005"_s, 30, 21, -2));
    EXPECT_FALSE(data->ffDatabase->InTransaction());
    EXPECT_EQ(JournalCount(), 1) << "no journal row of a failed posting remains";
    EXPECT_EQ(VariantStock(u"100001"_s, u"001"_s), 5);
    EXPECT_EQ(CardStock(u"100001"_s), 5);
    EXPECT_TRUE(CardField(u"100001"_s, u"SOR_PPO"_s).isNull());
    ExpectBooksBalance({u"100001"_s});
    EXPECT_TRUE(told.messages.isEmpty());

    // The connection is usable again: with the fault gone the same sale goes through.
    db.ExecDirect(u"DROP TRIGGER kv_fail"_s +
                  (store->Kind() == TStoreKind::Postgres ? u" ON \"sor0001\""_s : u""_s));
    EXPECT_TRUE(
        data->ZapisPohybuVarProvize(u"100001"_s, u"001"_s, u"D1"_s, u"005"_s, u"300"_s, 25, 21, -2, 30));
    EXPECT_EQ(VariantStock(u"100001"_s, u"001"_s), 3);
    ExpectBooksBalance({u"100001"_s});
}

// A sale's part posted inside the caller's transaction: it stands or falls with the caller's other
// writes, joins the rebuild of a card out of step with its journal, and hands database errors over.
TEST_P(StockTest, PostingInsideTheCallersTransactionCommitsAndRollsBackWithIt)
{
    AddCard(u"100001"_s, u"Rohlík"_s, true, 5);
    AddVariant(u"100001"_s, u"001"_s, 0, 5, 10);
    AddJournal(u"P1"_s, u"100001"_s, u"001"_s, u"001"_s, 5, 0, 0, 0, 5);
    AddCard(u"100002"_s, u"Káva"_s, true, 4);
    AddVariant(u"100002"_s, u"001"_s, 7, 4);  // out of step: the journal says 7
    TStockEngine& stock = data->Stock();
    TDatabase& db = *data->ffDatabase;
    const TStockMovement sale =
        TStockMovement::Commission(u"100001"_s, u"001"_s, u"D1"_s, u"005"_s, u"300"_s, 25, 21, -2, 30);
    const TStockMovement other = TStockMovement::Plain(u"100002"_s, u"001"_s, u"D1"_s, u"005"_s, 30, 21, -1);

    EXPECT_THROW(stock.PostInTransaction(sale), EDatabaseError) << "no transaction open";
    {
        TTransaction tx(db);
        ASSERT_TRUE(stock.PostInTransaction(sale));
        ASSERT_TRUE(stock.PostInTransaction(other));
        EXPECT_FALSE(stock.PostInTransaction(
            TStockMovement::Plain(u"100001"_s, u"009"_s, u"D1"_s, u"005"_s, 30, 21, -1)))
            << "unknown variant: refused, nothing written, the transaction goes on";
        EXPECT_TRUE(db.InTransaction()) << "the caller's transaction stays open";
        EXPECT_EQ(JournalCount(), 1) << "the test's own connection sees nothing uncommitted";
    }  // not committed: rolled back
    EXPECT_FALSE(db.InTransaction());
    EXPECT_EQ(JournalCount(), 1);
    EXPECT_EQ(VariantStock(u"100001"_s, u"001"_s), 5);
    EXPECT_EQ(VariantStock(u"100002"_s, u"001"_s), 4) << "the joined rebuild went with the rollback";

    {
        TTransaction tx(db);
        ASSERT_TRUE(stock.PostInTransaction(sale));
        ASSERT_TRUE(stock.PostInTransaction(other));
        tx.Commit();
    }
    EXPECT_EQ(JournalCount(), 4);
    EXPECT_EQ(VariantStock(u"100001"_s, u"001"_s), 3);
    EXPECT_EQ(VariantStock(u"100002"_s, u"001"_s), 6);
    ExpectBooksBalance({u"100001"_s, u"100002"_s});

    // A database error inside the posting reaches the caller, whose guard rolls everything back.
    FailCardUpdates();
    try {
        TTransaction tx(db);
        stock.PostInTransaction(sale);
        ADD_FAILURE() << "the injected failure did not reach the caller";
        tx.Commit();
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.Message().contains(u"injected failure"_s)) << e.Message().toStdString();
    }
    EXPECT_FALSE(db.InTransaction());
    EXPECT_EQ(JournalCount(), 4);
    EXPECT_EQ(VariantStock(u"100001"_s, u"001"_s), 3);
    for (TTable* t : {data->ffSortiment.get(), data->ffSklad.get(), data->ffDenik.get()})
        EXPECT_EQ(t->State(), TDataSetState::Inactive) << t->Def().component.toStdString();
}

// A posting that fails says so in the station's log, with the movement and the store's message.
TEST_P(StockTest, FailedPostingLeavesItsLogLine)
{
    AddCard(u"100001"_s, u"Rohlík"_s, true, 5);
    AddVariant(u"100001"_s, u"001"_s, 5, 5);
    FailCardUpdates();
    QTemporaryDir station;
    ASSERT_TRUE(station.isValid());
    const TProgramLog log(station.path());
    SetLogOperator(u"Jana Nováková"_s);
    EXPECT_FALSE(data->ZapisPohybuVar(u"100001"_s, u"001"_s, u"0000000042"_s, u"005"_s, 30, 21, -2));
    SetLogOperator(QString());

    QFile file(log.FilePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString text = QString::fromUtf8(file.readAll());
    const QStringList lines = text.split(u'\n', Qt::SkipEmptyParts);
    const auto posting = std::find_if(lines.cbegin(), lines.cend(),
                                      [](const QString& l) { return l.contains(u"posting failed"_s); });
    ASSERT_NE(posting, lines.cend()) << text.toStdString();
    EXPECT_TRUE(posting->contains(u"[Jana Nováková] korvanta.stock warning: "_s)) << posting->toStdString();
    EXPECT_TRUE(posting->contains(u"karta 100001, varianta 001, doklad 0000000042"_s))
        << posting->toStdString();
    EXPECT_TRUE(posting->contains(u"injected failure"_s)) << posting->toStdString();
}

TEST(JournalAmounts, MovementAndCommissionRows)
{
    struct Case {
        TStockMovement m;
        float purchase;
        double value, purchaseValue;
        bool difference;
        double differenceValue;
    };
    const Case cases[] = {
        {TStockMovement::Plain(u"1"_s, u"001"_s, u"D"_s, u"005"_s, 30, 21, -2), 10, -60, -20, false, 0},
        {TStockMovement::Commission(u"1"_s, u"001"_s, u"D"_s, u"005"_s, u"300"_s, 25, 21, -2, 30), 10, -60,
         -20, true, 10},
        {TStockMovement::Commission(u"1"_s, u"001"_s, u"D"_s, u"005"_s, u"300"_s, 30, 21, -1.5, 30), 4, -45,
         -6, false, 0},
        // Prices arrive in single precision: 0.1f - 0.3f is not -0.2 exactly, the row still follows.
        {TStockMovement::Commission(u"1"_s, u"001"_s, u"D"_s, u"005"_s, u"300"_s, 0.1f, 21, 3, 0.3f), 0,
         static_cast<double>(0.3f) * 3, 0, true, static_cast<double>(0.1f - 0.3f) * 3},
    };
    for (const Case& c : cases) {
        const TJournalAmounts a = JournalAmounts(c.m, c.purchase);
        EXPECT_EQ(a.quantity, c.m.quantity);
        EXPECT_EQ(a.value, c.value);
        EXPECT_EQ(a.purchaseValue, c.purchaseValue);
        EXPECT_EQ(a.hasDifference, c.difference);
        EXPECT_EQ(a.differenceValue, c.differenceValue);
    }
}

// The rebuild cannot write one variant's figure (the store refuses it): that variant keeps its old
// figure, the others and the card get theirs, and the transaction commits (in PostgreSQL only the
// savepoint around the refused write is rolled back).
TEST_P(StockTest, RebuildKeepsTheFigureItCannotWriteAndCommitsTheRest)
{
    AddCard(u"100001"_s, u"Rohlík"_s, true, 0);
    AddVariant(u"100001"_s, u"001"_s, 10, 1);
    AddVariant(u"100001"_s, u"002"_s, 20, 2);
    AddVariant(u"100001"_s, u"003"_s, 30, 3);
    AddJournal(u"D1"_s, u"100001"_s, u"001"_s, u"005"_s, -1);
    AddJournal(u"D1"_s, u"100001"_s, u"002"_s, u"005"_s, -2);
    AddJournal(u"D1"_s, u"100001"_s, u"003"_s, u"005"_s, -3);
    TDatabase& db = store->Db();
    const QString skl = TDatabase::TableSql(u"SKL0001"_s);
    if (store->Kind() == TStoreKind::Sqlite) {
        db.ExecDirect(u"CREATE TRIGGER kv_refuse BEFORE UPDATE ON "_s + skl +
                      u" WHEN NEW.\"SKL_IND\" = '002' BEGIN SELECT RAISE(ABORT, 'refused'); END"_s);
    } else {
        db.ExecDirect(
            u"CREATE FUNCTION kv_refuse() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
            u"IF NEW.\"SKL_IND\" = '002' THEN RAISE EXCEPTION 'refused'; END IF; RETURN NEW; END $$"_s);
        db.ExecDirect(u"CREATE TRIGGER kv_refuse BEFORE UPDATE ON "_s + skl +
                      u" FOR EACH ROW EXECUTE FUNCTION kv_refuse()"_s);
    }
    TMessageRecorder told;
    EXPECT_TRUE(data->RekonstrukceKarty(u"100001"_s));
    EXPECT_FALSE(data->ffDatabase->InTransaction());
    EXPECT_EQ(VariantStock(u"100001"_s, u"001"_s), 9);
    EXPECT_EQ(VariantStock(u"100001"_s, u"002"_s), 2) << "the old figure stays";
    EXPECT_EQ(VariantStock(u"100001"_s, u"003"_s), 27);
    EXPECT_EQ(CardStock(u"100001"_s), 9 + 2 + 27) << "the card adds up the figures stored";
    EXPECT_TRUE(told.messages.isEmpty()) << told.messages.join(u" | "_s).toStdString();
    // The connection goes on: the next posting of another variant commits.
    EXPECT_TRUE(data->ZapisPohybuVar(u"100001"_s, u"001"_s, u"D2"_s, u"005"_s, 10, 21, -1));
    EXPECT_EQ(VariantStock(u"100001"_s, u"001"_s), 8);
}

// Prices that single precision cannot hold exactly: the movement, the price-difference row and the
// card's figures against values computed by hand (to a tenth of a haléř).
TEST_P(StockTest, PricesSinglePrecisionCannotHoldPostExact)
{
    AddCard(u"100001"_s, u"Rohlík"_s, true, 100);
    AddVariant(u"100001"_s, u"001"_s, 0, 100, 12.3);
    AddJournal(u"P1"_s, u"100001"_s, u"001"_s, u"001"_s, 100, 0, 0, 0, 100);
    struct TCase {
        float line, base;
        double quantity;
        double hpc, hnc, difference;  // by hand
    };
    const QList<TCase> cases = {
        {19.9f, 19.9f, -3, -59.7, -36.9, 0},
        {0.1f, 0.1f, -7, -0.7, -86.1, 0},
        {123.45f, 123.45f, -1, -123.45, -12.3, 0},
        {19.9f, 20.0f, -3, -60.0, -36.9, 0.3},      // sold 0.10 below the base price
        {0.1f, 123.45f, -2, -246.9, -24.6, 246.7},  // a token price
        {123.45f, 0.1f, 1, 0.1, 12.3, 123.35},      // returned above the base price
    };
    double stock = 100;
    int n = 0;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.line);
        const QString doc = u"D%1"_s.arg(++n);
        ASSERT_TRUE(data->ZapisPohybuVarProvize(u"100001"_s, u"001"_s, doc, u"005"_s, u"300"_s, c.line, 21,
                                                c.quantity, c.base));
        stock += c.quantity;
        QList<TJournalRow> rows;
        for (const TJournalRow& r : Journal())
            if (r.doc == doc)
                rows << r;
        ASSERT_EQ(rows.size(), c.difference != 0 ? 2 : 1);
        EXPECT_NEAR(rows[0].hpc, c.hpc, 1e-4);
        EXPECT_NEAR(rows[0].hnc, c.hnc, 1e-4);
        EXPECT_EQ(rows[0].kus, c.quantity);
        EXPECT_EQ(rows[0].zas, stock);
        if (c.difference != 0) {
            EXPECT_EQ(rows[1].op, u"300"_s);
            EXPECT_NEAR(rows[1].hpc, c.difference, 1e-4);
            EXPECT_EQ(rows[1].kus, 0);
        }
    }
    EXPECT_EQ(VariantStock(u"100001"_s, u"001"_s), stock);
    ExpectBooksBalance({u"100001"_s});
}

// ---------------------------------------------------------------------------------------------------

TEST_P(StockTest, DocumentLinesAreRebuiltFromTheJournal)
{
    AddCard(u"100001"_s, u"Rohlík"_s, true, 0, u"PEC"_s);
    {
        auto den = Table(u"DEN"_s);
        AddJournal(*den, u"0000000001"_s, u"100001"_s, u"001"_s, u"005"_s, -2, -60, -20, 21);
        AddJournal(*den, u"0000000002"_s, u"100001"_s, u"001"_s, u"005"_s, -2, -60, -20, 21);
        AddJournal(*den, u"0000000003"_s, u"100001"_s, u"001"_s, u"005"_s, -1, -100, -50, 22);
        AddJournal(*den, u"0000000002"_s, u"100001"_s, u"001"_s, u"300"_s, 0, 10, 0, 21);
        AddJournal(*den, u"0000000004"_s, u"100001"_s, u"001"_s, u"005"_s, -1, -30, 0, 21);
        AddJournal(*den, u"0000000004"_s, u"100001"_s, u"002"_s, u"005"_s, -1, -30, 0, 21);
        AddJournal(*den, u"0000000004"_s, u"100001"_s, u"001"_s, u"005"_s, -1, -30, 0, 21);
        AddJournal(*den, u"0000000004"_s, u"999999"_s, u"001"_s, u"005"_s, -1, -5, 0, 21);
    }
    TMemTable& dok = *data->DokladObsah;
    auto load = [&](const QString& doc, int priceBasis, int type = 6, const QString& pcs = u"005"_s) {
        data->ZakladniCenySDPH = priceBasis;
        dok.Close();
        dok.Open();
        data->GetDoklad(doc, pcs, u""_s, u""_s, u"300"_s, type);
        dok.First();
    };
    auto f = [&](const char16_t* field) { return dok.FieldByName(QString::fromUtf16(field)).AsFloat(); };

    // Two pieces at the base price of 30, lists given as a longer text.
    load(u"0000000001"_s, 1, 6, u"005,006"_s);
    ASSERT_EQ(dok.RecordCount(), 1);
    EXPECT_EQ(f(u"DOK_KUS"), 2);
    EXPECT_EQ(f(u"DOK_PCC"), 60);
    EXPECT_EQ(f(u"DOK_PCS"), 60);
    EXPECT_EQ(f(u"DOK_RAB"), 0);
    EXPECT_EQ(f(u"DOK_PC1"), 30);
    EXPECT_EQ(f(u"DOK_NCC"), 20);
    EXPECT_EQ(f(u"DOK_NC1"), 10);
    EXPECT_DOUBLE_EQ(f(u"DOK_DPH"), 12.6);
    EXPECT_EQ(f(u"DOK_DAN"), 21);
    EXPECT_EQ(f(u"DOK_RAP"), 0);
    EXPECT_FALSE(std::signbit(f(u"DOK_RAP"))) << "no discount reads 0, not -0";
    EXPECT_EQ(dok.FieldByName(u"DOK_CIS"_s).AsString(), u"0000000001"_s);
    EXPECT_EQ(dok.FieldByName(u"DOK_NAZ"_s).AsString(), u"Rohlík"_s);
    EXPECT_EQ(dok.FieldByName(u"DOK_SKU"_s).AsString(), u"PEC"_s);

    // The same sale at 25: the difference row is merged into the line (rows of another document
    // lie between them).
    load(u"0000000002"_s, 1);
    ASSERT_EQ(dok.RecordCount(), 1);
    EXPECT_EQ(f(u"DOK_KUS"), 2);
    EXPECT_EQ(f(u"DOK_PCS"), 60);
    EXPECT_EQ(f(u"DOK_RAB"), -10);
    EXPECT_EQ(f(u"DOK_PCC"), 50);
    EXPECT_EQ(f(u"DOK_PC1"), 25);
    EXPECT_DOUBLE_EQ(f(u"DOK_RAP"), 16.666666666666668);

    // Prices with VAT: a net 100 at 22 % is a line of 122 with 22 of VAT.
    load(u"0000000003"_s, 2);
    EXPECT_EQ(f(u"DOK_PCC"), 122);
    EXPECT_EQ(f(u"DOK_DPH"), 22);
    EXPECT_EQ(f(u"DOK_PC1"), 122);

    // One line per card and variant; a card no longer in the assortment still gets a line.
    load(u"0000000004"_s, 1);
    ASSERT_EQ(dok.RecordCount(), 3);
    EXPECT_EQ(dok.FieldByName(u"DOK_IND"_s).AsString(), u"001"_s);
    EXPECT_EQ(f(u"DOK_KUS"), 2);
    dok.Next();
    EXPECT_EQ(dok.FieldByName(u"DOK_IND"_s).AsString(), u"002"_s);
    dok.Next();
    EXPECT_EQ(dok.FieldByName(u"DOK_NAZ"_s).AsString(), u"Sortiment 999999"_s);
    EXPECT_EQ(dok.FieldByName(u"DOK_SKU"_s).AsString(), u"000"_s);

    // Types 1 and 3 keep the journal's signs; type 3 takes VAT from the purchase value.
    load(u"0000000003"_s, 1, 1);
    EXPECT_EQ(f(u"DOK_KUS"), -1);
    EXPECT_EQ(f(u"DOK_DPH"), -22);
    load(u"0000000003"_s, 1, 3);
    EXPECT_EQ(f(u"DOK_DPH"), -11);

    TMessageRecorder told;
    load(u"0000000004"_s, 1, 0);
    EXPECT_EQ(told.messages, QStringList(4, u"Není definován typ"_s));
    EXPECT_TRUE(dok.IsEmpty());
    told.messages.clear();
    load(u"0000000009"_s, 1);
    load(u"000000000"_s, 1);
    EXPECT_TRUE(dok.IsEmpty());
    EXPECT_TRUE(told.messages.isEmpty());
    EXPECT_FALSE(data->ffDenik->Active());
    EXPECT_FALSE(data->ffSortiment->Active());

    // An open journal keeps the index "DOK" and stands after the document.
    data->OpenffDen(u"KAV"_s);
    load(u"0000000002"_s, 1);
    EXPECT_TRUE(data->ffDenik->Active());
    EXPECT_EQ(data->ffDenik->IndexName(), u"DOK"_s);
    EXPECT_EQ(data->ffDenik->FieldByName(u"DEN_DOK"_s).AsString(), u"0000000003"_s);
    load(u"0000000004"_s, 1);
    EXPECT_TRUE(data->ffDenik->Eof());
}

// ---------------------------------------------------------------------------------------------------

class TillTest : public StockTest {
protected:
    void SetUpTills()
    {
        for (const QString& kav : TillSales::kCards) {
            AddCard(kav, u"Zboží "_s + kav, true, 150000);
            AddVariant(kav, TillSales::kVariants[0], 100000, 100000, 7);  // no journal yet: rebuilt first
            AddVariant(kav, TillSales::kVariants[1], 50000, 50000, 7);
        }
    }
    void ExpectEverySaleBooked(int succeeded)
    {
        int sales = 0;
        for (const TJournalRow& r : Journal())
            sales += r.op == u"005"_s;
        EXPECT_EQ(sales, succeeded);
        ExpectBooksBalance({TillSales::kCards[0], TillSales::kCards[1]});
    }
};

TEST_P(TillTest, TillsInThreadsSellingTheSameCardsLoseNothing)
{
    SetUpTills();
    constexpr int kTills = 3, kSales = 60;
    std::atomic<int> succeeded{0};
    std::vector<std::thread> tills;
    for (int till = 1; till <= kTills; ++till)
        tills.emplace_back([&, till] {
            try {
                auto own = MakeData(*store);
                own->UzivatelIni = u"T"_s + QString::number(till);
                succeeded += TillSales::SellMany(*own, till, kSales);
            } catch (const std::exception& e) {
                ADD_FAILURE() << e.what();
            }
        });
    for (std::thread& t : tills)
        t.join();
    EXPECT_EQ(succeeded.load(), kTills * kSales);
    ExpectEverySaleBooked(succeeded.load());
}

TEST_P(TillTest, TillProcessesSellingTheSameCardsLoseNothing)
{
    SetUpTills();
    constexpr int kSales = 80;
    const QString worker = QCoreApplication::applicationDirPath() + u"/kv_till_worker"_s;
    const bool pg = store->Kind() == TStoreKind::Postgres;
    std::vector<std::unique_ptr<QProcess>> tills;
    for (int till = 1; till <= 2; ++till) {
        auto p = std::make_unique<QProcess>();
        p->start(worker, {pg ? u"TCPIP"_s : u"LOCAL"_s, store->Directory(), store->AliasName(),
                          pg ? u"%1:%2"_s.arg(PgHost()).arg(PgPort()) : u"127.0.0.1"_s, QString::number(till),
                          QString::number(kSales)});
        ASSERT_TRUE(p->waitForStarted()) << worker.toStdString();
        tills.push_back(std::move(p));
    }
    int succeeded = 0;
    for (auto& p : tills) {
        ASSERT_TRUE(p->waitForFinished(180000));
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
        succeeded += p->readAllStandardOutput().trimmed().toInt();
    }
    EXPECT_EQ(succeeded, 2 * kSales);
    ExpectEverySaleBooked(succeeded);
}

// The server ends the till's connection in the middle of a posting: the journal row and the stock
// card are written, the assortment card waits (for a lock another connection holds) when another
// connection ends the till's server process. The posting fails, and nothing of it is stored.
class StockLostConnectionTest : public StockTest {};

TEST_P(StockLostConnectionTest, ConnectionEndedMidPostingStoresNothing)
{
    AddCard(u"100001"_s, u"Rohlík"_s, true, 5);
    AddVariant(u"100001"_s, u"001"_s, 0, 5, 10);
    AddJournal(u"P1"_s, u"100001"_s, u"001"_s, u"001"_s, 5, 0, 0, 0, 5);
    constexpr qint64 kLock = 4712;
    WaitForLockBefore(store->Db(), u"BEFORE UPDATE"_s, u"SOR0001"_s, kLock);
    TMessageRecorder told;
    bool posted = true;
    {
        TBackendKiller killer(*store, kLock);
        EXPECT_NO_THROW(posted = data->ZapisPohybuVar(u"100001"_s, u"001"_s, u"D1"_s, u"005"_s, 30, 21, -2));
        EXPECT_TRUE(killer.Killed()) << killer.Error().toStdString();
    }
    EXPECT_FALSE(posted);
    EXPECT_FALSE(data->ffDatabase->InTransaction());
    EXPECT_EQ(JournalCount(), 1) << "no journal row of the lost posting";
    EXPECT_EQ(VariantStock(u"100001"_s, u"001"_s), 5);
    EXPECT_EQ(CardStock(u"100001"_s), 5);
    EXPECT_TRUE(CardField(u"100001"_s, u"SOR_PPO"_s).isNull());
    ExpectBooksBalance({u"100001"_s});
}

INSTANTIATE_TEST_SUITE_P(Stores, StockLostConnectionTest, testing::Values(TStoreKind::Postgres), StoreName);

KV_INSTANTIATE_STORES(StockTest);
KV_INSTANTIATE_STORES(TillTest);

}  // namespace
