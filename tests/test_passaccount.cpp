// The pass account without windows: bookings with their invariants on both stores, two tills booking
// on one pass at once, and the bytes of the printed statement.
#include "TestSupport.h"

#include "DataUnit.h"
#include "PassAccount.h"
#include "PassStatement.h"

#include <atomic>
#include <cmath>
#include <functional>
#include <limits>
#include <thread>

using namespace Qt::StringLiterals;

void PrintTo(const QByteArray& b, std::ostream* os)
{
    *os << "bytes \"" << QString::fromLatin1(b).toStdString() << "\" (" << b.toHex(' ').toStdString() << ')';
}

namespace {

const QDate kToday = QDate(2026, 3, 15);

struct TMovementRow {
    qint64 id = 0;
    int idm = 0;
    QString kav, nac;
    double pc1 = 0, kus = 0, koe = 0, zus = 0, dan = 0;
    QDate dat;
};

class PassAccountTest : public StoreTest {
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        if (!store)
            return;
        data = MakeData(*store);
        pass = AddPass(*data, u"P001"_s);
        other = AddPass(*data, u"P002"_s);
        OpenAccount(*data, pass);
    }
    void TearDown() override
    {
        data.reset();
        StoreTest::TearDown();
    }

    static int AddPass(TData& d, const QString& kod)
    {
        TTable& t = *d.ffLegHla;
        const bool wasOpen = t.Active();
        t.Open();
        t.Append();
        t.FieldByName(u"LEG_KOD"_s).SetAsString(kod);
        t.FieldByName(u"LEG_JME"_s).SetAsString(u"Držitel "_s + kod);
        t.FieldByName(u"LEG_POC"_s).SetAsFloat(0);
        t.FieldByName(u"LEG_CER"_s).SetAsFloat(0);
        t.Post();
        const int ide = t.FieldByName(u"LEG_IDE"_s).AsInteger();
        if (!wasOpen)
            t.Close();
        return ide;
    }

    // The cursors as the main window leaves them for the account window.
    static void OpenAccount(TData& d, int ide)
    {
        d.ffLegHla->Open();
        ASSERT_TRUE(d.ffLegHla->Locate(u"LEG_IDE"_s, {ide}));
        d.ffLegPol->SetIndexName(u"KOD"_s);
        d.ffLegPol->Open();
        d.ffLegPol->SetRange({ide, 0}, {ide, 10000000});
    }

    static int CurrentPass(TData& d) { return d.ffLegHla->FieldByName(u"LEG_IDE"_s).AsInteger(); }
    static TPassBooking Book(TData& d, double koe, double units, double price,
                             const QString& kav = u"000001"_s)
    {
        return PassAccount::NewMovement(d, CurrentPass(d), koe, {kav, u"Karta "_s + kav, price, 21, units},
                                        kToday);
    }

    // What the store holds: the pass's totals and its movements in the order of the index "KOD".
    std::pair<double, double> Totals(int ide)
    {
        TTable leg(store->Db(), TableDef(u"LEG"_s));
        leg.SetTableName(u"LEG0001"_s);
        leg.Open();
        EXPECT_TRUE(leg.Locate(u"LEG_IDE"_s, {ide}));
        return {leg.FieldByName(u"LEG_POC"_s).AsFloat(), leg.FieldByName(u"LEG_CER"_s).AsFloat()};
    }
    QList<TMovementRow> Movements(int ide)
    {
        TTable lep(store->Db(), TableDef(u"LEP"_s));
        lep.SetTableName(u"LEP0001"_s);
        lep.SetIndexName(u"KOD"_s);
        lep.Open();
        lep.SetRange({ide, 0}, {ide, 10000000});
        QList<TMovementRow> rows;
        for (lep.First(); !lep.Eof(); lep.Next()) {
            const auto f = [&lep](const char16_t* name) { return lep.FieldByName(QString::fromUtf16(name)); };
            rows.append({f(u"LEP_IDE").AsInteger(), f(u"LEP_IDM").AsInteger(), f(u"LEP_KAV").AsString(),
                         f(u"LEP_NAC").AsString(), f(u"LEP_PC1").AsFloat(), f(u"LEP_KUS").AsFloat(),
                         f(u"LEP_KOE").AsFloat(), f(u"LEP_ZUS").AsFloat(), f(u"LEP_DAN").AsFloat(),
                         f(u"LEP_DAT").AsDate()});
        }
        return rows;
    }

    // Totals are the sums of the movements; each balance is the running balance in list order; the
    // balance never went below 0.
    void ExpectAccountConsistent(int ide)
    {
        SCOPED_TRACE(ide);
        double deposits = 0, withdrawals = 0;
        for (const TMovementRow& m : Movements(ide)) {
            (m.koe > 0 ? deposits : withdrawals) += m.kus * m.pc1;
            EXPECT_NEAR(m.zus, deposits - withdrawals, 1e-6) << "movement " << m.id;
            EXPECT_GE(m.zus, -1e-9) << "movement " << m.id;
        }
        const auto [poc, cer] = Totals(ide);
        EXPECT_NEAR(poc, deposits, 1e-6);
        EXPECT_NEAR(cer, withdrawals, 1e-6);
    }

    double Cursor(const QString& table, const QString& field)
    {
        TTable& t = table == u"LEG"_s ? *data->ffLegHla : *data->ffLegPol;
        return t.FieldByName(field).AsFloat();
    }

    std::unique_ptr<TData> data;
    int pass = 0;
    int other = 0;
};

TEST_P(PassAccountTest, NewBookingsKeepTotalsAndBalances)
{
    struct Step {
        double koe, units, price;
        TPassBooking expected;
        double poc, cer;  // the pass's totals afterwards
    };
    const QList<Step> steps = {
        {+1, 4, 250, TPassBooking::Booked, 1000, 0},  // deposit: LEG_POC + 1000
        {-1, 3, 10, TPassBooking::Booked, 1000, 30},
        {-1, 2, 485, TPassBooking::Booked, 1000, 1000},  // the whole balance: 0 is allowed
        {-1, 1, 0.01, TPassBooking::InsufficientBalance, 1000, 1000},
        {-1, 0, 10, TPassBooking::Booked, 1000, 1000},  // nothing drawn is no overdraft
        {+1, 0.5, 35, TPassBooking::Booked, 1017.5, 1000},
        {-1, 1, 17.5, TPassBooking::Booked, 1017.5, 1017.5},
        {-1, -1, 10, TPassBooking::InvalidUnits, 1017.5, 1017.5},  // a negative withdrawal pays nothing in
        {+1, -1, 10, TPassBooking::InvalidUnits, 1017.5, 1017.5},
        {+1, PassAccount::kMaxUnits, 1, TPassBooking::InvalidUnits, 1017.5, 1017.5},
        {+1, std::numeric_limits<double>::quiet_NaN(), 1, TPassBooking::InvalidUnits, 1017.5, 1017.5},
        {+1, 1, std::numeric_limits<double>::infinity(), TPassBooking::InvalidUnits, 1017.5, 1017.5},
    };
    int booked = 0;
    for (const Step& s : steps) {
        SCOPED_TRACE(u"%1 x %2 x %3"_s.arg(s.koe).arg(s.units).arg(s.price).toStdString());
        const qint64 before =
            data->ffLegPol->HasRecord() ? data->ffLegPol->FieldByName(u"LEP_IDE"_s).AsInteger() : 0;
        EXPECT_EQ(Book(*data, s.koe, s.units, s.price), s.expected);
        EXPECT_FALSE(data->ffDatabase->InTransaction());
        EXPECT_EQ(data->ffLegHla->State(), TDataSetState::Browse);
        EXPECT_EQ(data->ffLegPol->State(), TDataSetState::Browse);
        const auto [poc, cer] = Totals(pass);
        EXPECT_DOUBLE_EQ(poc, s.poc);
        EXPECT_DOUBLE_EQ(cer, s.cer);
        // The register shows the stored totals and balance.
        EXPECT_DOUBLE_EQ(Cursor(u"LEG"_s, u"LEG_POC"_s), s.poc);
        EXPECT_DOUBLE_EQ(Cursor(u"LEG"_s, u"LEG_ZUS"_s), s.poc - s.cer);
        if (s.expected == TPassBooking::Booked) {
            ++booked;
            // The list stands on the new movement, which holds the balance right after it.
            EXPECT_GT(data->ffLegPol->FieldByName(u"LEP_IDE"_s).AsInteger(), before);
            EXPECT_DOUBLE_EQ(Cursor(u"LEP"_s, u"LEP_ZUS"_s), s.poc - s.cer);
            EXPECT_DOUBLE_EQ(Cursor(u"LEP"_s, u"LEP_KOE"_s), s.koe);
        }
        EXPECT_EQ(Movements(pass).size(), booked);
    }
    const QList<TMovementRow> rows = Movements(pass);
    ASSERT_FALSE(rows.isEmpty());
    const TMovementRow& first = rows.first();
    EXPECT_EQ(first.idm, pass);
    EXPECT_EQ(first.kav, u"000001"_s);
    EXPECT_EQ(first.nac, u"Karta 000001"_s);
    EXPECT_EQ(first.pc1, 250);
    EXPECT_EQ(first.kus, 4);
    EXPECT_EQ(first.dan, 21);
    EXPECT_EQ(first.dat, kToday);
    EXPECT_EQ(first.zus, 1000);
    ExpectAccountConsistent(pass);
    EXPECT_TRUE(Movements(other).isEmpty());
}

TEST_P(PassAccountTest, CorrectionsShiftTheLaterBalances)
{
    ASSERT_EQ(Book(*data, +1, 1, 100), TPassBooking::Booked);  // 100
    ASSERT_EQ(Book(*data, -1, 3, 10), TPassBooking::Booked);   // 70
    ASSERT_EQ(Book(*data, +1, 1, 50), TPassBooking::Booked);   // 120
    ASSERT_EQ(Book(*data, -1, 1, 20), TPassBooking::Booked);   // 100
    // Another pass's movements are not touched.
    OpenAccount(*data, other);
    ASSERT_EQ(Book(*data, +1, 1, 500), TPassBooking::Booked);
    OpenAccount(*data, pass);
    QList<TMovementRow> rows = Movements(pass);
    ASSERT_EQ(rows.size(), 4);
    const QList<double> before = {100, 70, 120, 100};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(rows[i].zus, before[i]);

    struct Step {
        int index;  // the movement corrected
        double units;
        TPassBooking expected;
        double poc, cer;
        QList<double> balances;
    };
    const QList<Step> steps = {
        // A withdrawal from 3 to 1 unit of 10: LEG_CER - 20, its balance and every later one + 20.
        {1, 1, TPassBooking::Booked, 150, 30, {100, 90, 140, 120}},
        // A deposit from 100 to 150: LEG_POC + 50, its balance and every later one + 50.
        {0, 1.5, TPassBooking::Booked, 200, 30, {150, 140, 190, 170}},
        {2, 0, TPassBooking::Booked, 150, 30, {150, 140, 140, 120}},
        // A deposit down so far that the balance would be negative: refused, nothing changes.
        {0, 0, TPassBooking::InsufficientBalance, 150, 30, {150, 140, 140, 120}},
        {0, 0.4, TPassBooking::Booked, 40, 30, {40, 30, 30, 10}},
        {3, 1.5, TPassBooking::Booked, 40, 40, {40, 30, 30, 0}},  // exactly 0 is allowed
        {3, 1.51, TPassBooking::InsufficientBalance, 40, 40, {40, 30, 30, 0}},
        {1, -1, TPassBooking::InvalidUnits, 40, 40, {40, 30, 30, 0}},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(u"movement %1 to %2 units"_s.arg(s.index).arg(s.units).toStdString());
        const qint64 id = rows[s.index].id;
        data->ffLegPol->First();  // the list may stand anywhere
        EXPECT_EQ(PassAccount::Correct(*data, pass, id, s.units, kToday.addDays(3)), s.expected);
        EXPECT_FALSE(data->ffDatabase->InTransaction());
        const auto [poc, cer] = Totals(pass);
        EXPECT_DOUBLE_EQ(poc, s.poc);
        EXPECT_DOUBLE_EQ(cer, s.cer);
        EXPECT_DOUBLE_EQ(Cursor(u"LEG"_s, u"LEG_ZUS"_s), s.poc - s.cer);
        const QList<TMovementRow> now = Movements(pass);
        ASSERT_EQ(now.size(), 4);
        for (int i = 0; i < 4; ++i) {
            EXPECT_NEAR(now[i].zus, s.balances[i], 1e-9) << i;
            // Card, price, name and direction stay as booked; only the corrected one gets the new date.
            EXPECT_EQ(now[i].pc1, rows[i].pc1);
            EXPECT_EQ(now[i].koe, rows[i].koe);
            EXPECT_EQ(now[i].kav, rows[i].kav);
        }
        if (s.expected == TPassBooking::Booked) {
            EXPECT_EQ(now[s.index].kus, s.units);
            EXPECT_EQ(now[s.index].dat, kToday.addDays(3));
            // The list stands on the pass's last movement.
            EXPECT_EQ(data->ffLegPol->FieldByName(u"LEP_IDE"_s).AsInteger(), now.last().id);
        }
        ExpectAccountConsistent(pass);
        rows = now;
    }
    EXPECT_EQ(Totals(other), std::make_pair(500.0, 0.0));
    ExpectAccountConsistent(other);

    // A movement of another pass, or one that is gone, is not corrected here.
    OpenAccount(*data, other);
    const qint64 foreign = Movements(other).first().id;
    OpenAccount(*data, pass);
    EXPECT_EQ(PassAccount::Correct(*data, pass, foreign, 2, kToday), TPassBooking::MovementGone);
    EXPECT_EQ(PassAccount::Correct(*data, pass, 999999, 2, kToday), TPassBooking::MovementGone);
    EXPECT_FALSE(data->ffDatabase->InTransaction());
    EXPECT_EQ(Totals(other), std::make_pair(500.0, 0.0));
}

TEST_P(PassAccountTest, DeletionTakesTheMovementOutOfTheAccount)
{
    ASSERT_EQ(Book(*data, +1, 1, 100), TPassBooking::Booked);  // 100
    ASSERT_EQ(Book(*data, -1, 3, 10), TPassBooking::Booked);   // 70
    ASSERT_EQ(Book(*data, +1, 1, 50), TPassBooking::Booked);   // 120
    ASSERT_EQ(Book(*data, -1, 1, 90), TPassBooking::Booked);   // 30
    const QList<TMovementRow> rows = Movements(pass);

    // The withdrawal in the middle: LEG_CER - 30, later balances + 30, the list on the next movement.
    ASSERT_TRUE(data->ffLegPol->Locate(u"LEP_IDE"_s, {rows[1].id}));
    EXPECT_EQ(PassAccount::Delete(*data, pass, rows[1].id), TPassBooking::Booked);
    EXPECT_EQ(Totals(pass), std::make_pair(150.0, 90.0));
    QList<TMovementRow> now = Movements(pass);
    ASSERT_EQ(now.size(), 3);
    EXPECT_EQ(now[1].zus, 150);
    EXPECT_EQ(now[2].zus, 60);
    EXPECT_EQ(data->ffLegPol->FieldByName(u"LEP_IDE"_s).AsInteger(), rows[2].id);
    EXPECT_DOUBLE_EQ(Cursor(u"LEG"_s, u"LEG_ZUS"_s), 60);
    ExpectAccountConsistent(pass);

    // A deposit that has been drawn on cannot go: the balance would be negative.
    EXPECT_EQ(PassAccount::Delete(*data, pass, rows[0].id), TPassBooking::InsufficientBalance);
    EXPECT_EQ(Movements(pass).size(), 3);
    EXPECT_EQ(Totals(pass), std::make_pair(150.0, 90.0));
    EXPECT_FALSE(data->ffDatabase->InTransaction());

    // The last movement: no later balances, LEG_CER - 90.
    EXPECT_EQ(PassAccount::Delete(*data, pass, rows[3].id), TPassBooking::Booked);
    EXPECT_EQ(Totals(pass), std::make_pair(150.0, 0.0));
    // Now the first deposit can go: 50 remain.
    EXPECT_EQ(PassAccount::Delete(*data, pass, rows[0].id), TPassBooking::Booked);
    now = Movements(pass);
    ASSERT_EQ(now.size(), 1);
    EXPECT_EQ(now[0].zus, 50);
    EXPECT_EQ(Totals(pass), std::make_pair(50.0, 0.0));
    ExpectAccountConsistent(pass);
    EXPECT_EQ(PassAccount::Delete(*data, pass, rows[0].id), TPassBooking::MovementGone);
}

// A booking is only for the pass the register stands on.
TEST_P(PassAccountTest, BookingsGoOnlyToTheirPass)
{
    ASSERT_EQ(Book(*data, +1, 1, 100), TPassBooking::Booked);
    const qint64 id = Movements(pass).first().id;
    EXPECT_EQ(PassAccount::NewMovement(*data, other, +1, {u"000001"_s, u"X"_s, 10, 21, 1}, kToday),
              TPassBooking::NoPass);
    EXPECT_EQ(PassAccount::Correct(*data, other, id, 2, kToday), TPassBooking::NoPass);
    EXPECT_EQ(PassAccount::Delete(*data, other, id), TPassBooking::NoPass);
    EXPECT_FALSE(data->ffDatabase->InTransaction());
    EXPECT_EQ(Totals(pass), std::make_pair(100.0, 0.0));
    EXPECT_EQ(Totals(other), std::make_pair(0.0, 0.0));
    EXPECT_TRUE(Movements(other).isEmpty());
}

// A booking that fails half-way leaves neither the movement nor the new totals behind.
TEST_P(PassAccountTest, FailedBookingStoresNothing)
{
    ASSERT_EQ(Book(*data, +1, 1, 100), TPassBooking::Booked);
    auto till = store->SecondConnection();
    const QString lep = TDatabase::TableSql(u"LEP0001"_s);
    till->Db().ExecDirect(u"ALTER TABLE "_s + lep + u" RENAME TO lep_away"_s);
    EXPECT_THROW(Book(*data, +1, 2, 100), EDatabaseError);
    EXPECT_FALSE(data->ffDatabase->InTransaction());
    EXPECT_EQ(data->ffLegHla->State(), TDataSetState::Browse);
    EXPECT_DOUBLE_EQ(Cursor(u"LEG"_s, u"LEG_POC"_s), 100) << "the register shows what is stored";
    till->Db().ExecDirect(u"ALTER TABLE lep_away RENAME TO "_s + lep);
    EXPECT_EQ(Totals(pass), std::make_pair(100.0, 0.0));
    EXPECT_EQ(Movements(pass).size(), 1);
    // The till books on afterwards.
    EXPECT_EQ(Book(*data, +1, 2, 100), TPassBooking::Booked);
    ExpectAccountConsistent(pass);
}

// A correction or a deletion that fails part-way through moving the later balances (the store refuses
// the third update of a movement): every balance and both totals stay as stored before, and both
// cursors show the stored records they stood on.
TEST_P(PassAccountTest, FailureWhileMovingLaterBalancesChangesNothing)
{
    ASSERT_EQ(Book(*data, +1, 10, 100), TPassBooking::Booked);
    for (int i = 0; i < 4; ++i)
        ASSERT_EQ(Book(*data, -1, 1, 50), TPassBooking::Booked);
    const QList<TMovementRow> before = Movements(pass);
    ASSERT_EQ(before.size(), 5);
    const auto totals = Totals(pass);

    // Counts the updates of movements in the running transaction; the third one fails.
    TDatabase& db = store->Db();
    const QString lep = TDatabase::TableSql(u"LEP0001"_s);
    db.ExecDirect(u"CREATE TABLE kv_updates (n INTEGER)"_s);
    db.ExecDirect(u"INSERT INTO kv_updates VALUES (0)"_s);
    if (store->Kind() == TStoreKind::Sqlite) {
        db.ExecDirect(
            u"CREATE TRIGGER kv_third BEFORE UPDATE ON "_s + lep +
            u" BEGIN UPDATE kv_updates SET n = n + 1; "
            u"SELECT RAISE(ABORT, 'third update refused') WHERE (SELECT n FROM kv_updates) >= 3; END"_s);
    } else {
        db.ExecDirect(
            u"CREATE FUNCTION kv_third() RETURNS trigger LANGUAGE plpgsql AS $$ DECLARE c INTEGER; "
            u"BEGIN UPDATE kv_updates SET n = n + 1 RETURNING n INTO c; "
            u"IF c >= 3 THEN RAISE EXCEPTION 'third update refused'; END IF; RETURN NEW; END $$"_s);
        db.ExecDirect(u"CREATE TRIGGER kv_third BEFORE UPDATE ON "_s + lep +
                      u" FOR EACH ROW EXECUTE FUNCTION kv_third()"_s);
    }

    struct TCase {
        const char* what;
        std::function<TPassBooking()> booking;
    };
    const QList<TCase> cases = {
        {"correction of the deposit",
         [&] { return PassAccount::Correct(*data, pass, before[0].id, 12, kToday); }},
        {"deletion of the first withdrawal", [&] { return PassAccount::Delete(*data, pass, before[1].id); }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        db.ExecDirect(u"UPDATE kv_updates SET n = 0"_s);
        ASSERT_TRUE(data->ffLegPol->Locate(u"LEP_IDE"_s, {before[2].id}));
        try {
            c.booking();
            ADD_FAILURE() << "the refused update did not fail the booking";
        } catch (const EDatabaseError& e) {
            EXPECT_TRUE(e.Message().contains(u"third update refused"_s)) << e.Message().toStdString();
        }
        EXPECT_FALSE(data->ffDatabase->InTransaction());
        const QList<TMovementRow> after = Movements(pass);
        ASSERT_EQ(after.size(), before.size());
        for (int i = 0; i < after.size(); ++i) {
            EXPECT_EQ(after[i].id, before[i].id);
            EXPECT_EQ(after[i].kus, before[i].kus) << "movement " << i;
            EXPECT_EQ(after[i].zus, before[i].zus) << "movement " << i;
        }
        EXPECT_EQ(Totals(pass), totals);
        EXPECT_EQ(data->ffLegHla->State(), TDataSetState::Browse);
        EXPECT_EQ(data->ffLegPol->State(), TDataSetState::Browse);
        EXPECT_EQ(CurrentPass(*data), pass);
        EXPECT_DOUBLE_EQ(Cursor(u"LEG"_s, u"LEG_POC"_s), totals.first);
        EXPECT_DOUBLE_EQ(Cursor(u"LEG"_s, u"LEG_CER"_s), totals.second);
        EXPECT_EQ(data->ffLegPol->FieldByName(u"LEP_IDM"_s).AsInteger(), pass);
        const qint64 at = data->ffLegPol->FieldByName(u"LEP_IDE"_s).AsInteger();
        for (const TMovementRow& m : before) {
            if (m.id == at) {
                EXPECT_DOUBLE_EQ(Cursor(u"LEP"_s, u"LEP_ZUS"_s), m.zus)
                    << "the cursor shows the stored balance";
            }
        }
    }
    ExpectAccountConsistent(pass);
}

// Two tills book on the same pass at once: new movements on one, new movements and corrections of
// the first deposit (which moves every later balance) on the other. Nothing is lost and the account
// adds up.
TEST_P(PassAccountTest, TwoTillsOnOnePassLoseNothing)
{
    ASSERT_EQ(Book(*data, +1, 1, 1000), TPassBooking::Booked);
    const qint64 firstDeposit = Movements(pass).first().id;
    constexpr int kSteps = 30;
    std::atomic<int> booked{0};
    const auto till = [&](int number) {
        try {
            auto own = MakeData(*store);
            OpenAccount(*own, pass);
            for (int i = 0; i < kSteps; ++i) {
                TPassBooking r;
                if (number == 1)
                    r = i % 2 ? Book(*own, -1, 1, 3) : Book(*own, +1, 1, 10);
                else
                    r = i % 2 ? PassAccount::Correct(*own, pass, firstDeposit, 1 + (i / 2) % 2, kToday)
                              : Book(*own, -1, 2, 1);
                if (r == TPassBooking::Booked)
                    ++booked;
                else
                    ADD_FAILURE() << "till " << number << " step " << i << ": " << int(r);
            }
        } catch (const EDatabaseError& e) {
            ADD_FAILURE() << "till " << number << ": " << e.what();
        }
    };
    std::thread a(till, 1), b(till, 2);
    a.join();
    b.join();
    EXPECT_EQ(booked.load(), 2 * kSteps);
    const QList<TMovementRow> rows = Movements(pass);
    EXPECT_EQ(rows.size(), 1 + kSteps + kSteps / 2);
    ExpectAccountConsistent(pass);
    // 15 corrections alternating 1 and 2 units of 1000 end on 1; 15 x 10 in, 15 x 3 and 15 x 2 out.
    const auto [poc, cer] = Totals(pass);
    EXPECT_DOUBLE_EQ(poc, 1000 + 15 * 10);
    EXPECT_DOUBLE_EQ(cer, 15 * 3 + 15 * 2);
}

KV_INSTANTIATE_STORES(PassAccountTest);

// The server ends the till's connection in the middle of a booking: the movement is written and the
// pass's totals wait (for a lock another connection holds) when another connection ends the till's
// server process. The server's own message reaches the caller, and nothing of the booking is stored.
class PassAccountLostConnectionTest : public PassAccountTest {};

TEST_P(PassAccountLostConnectionTest, ConnectionEndedMidBookingStoresNothing)
{
    ASSERT_EQ(Book(*data, +1, 10, 100), TPassBooking::Booked);
    const QList<TMovementRow> before = Movements(pass);
    const auto totals = Totals(pass);
    constexpr qint64 kLock = 4711;
    WaitForLockBefore(store->Db(), u"BEFORE UPDATE"_s, u"LEG0001"_s, kLock);
    QString error;
    {
        TBackendKiller killer(*store, kLock);
        try {
            Book(*data, -1, 2, 100);
        } catch (const EDatabaseError& e) {
            error = e.Message();
        }
        EXPECT_TRUE(killer.Killed()) << killer.Error().toStdString();
    }
    EXPECT_TRUE(error.contains(u"terminating connection due to administrator command"_s))
        << error.toStdString();
    EXPECT_FALSE(data->ffDatabase->InTransaction());
    EXPECT_EQ(Totals(pass), totals);
    ASSERT_EQ(Movements(pass).size(), before.size());
    EXPECT_EQ(Movements(pass).last().id, before.last().id);
    ExpectAccountConsistent(pass);
}

INSTANTIATE_TEST_SUITE_P(Stores, PassAccountLostConnectionTest, testing::Values(TStoreKind::Postgres),
                         StoreName);

// ---------------------------------------------------------------------------------------------------
// The statement's bytes

QByteArray Sp(int n)
{
    return QByteArray(n, ' ');
}

QByteArray Line(const QByteArray& text)
{
    return text + "\n\r";
}

const QByteArray kLf("\n");
const QByteArray kOn("\x1B\x68\x31");
const QByteArray kOff("\x1B\x68\x30");
const QByteArray kSignature = Line(kOn + "Schvaluji ...................." + kOff);

TStatementMovement Movement(QDate day, const QString& name, double units, double price, double koe,
                            double zus)
{
    return {day.startOfDay(), name, price, units, koe, zus};
}

TPassStatement Statement(QList<TStatementMovement> movements)
{
    TPassStatement s;
    s.firm = u" Klub Velmira "_s;
    s.street = u"Sportovni 12  "_s;
    s.town = u" Praha "_s;
    s.postcode = u"110 00"_s;
    s.ico = u"12345678"_s;
    s.dic = u"CZ12345678 "_s;
    s.passNumber = u"P001"_s;
    s.holder = u"Novak Jan"_s;
    s.deposits = 1000;
    s.day = kToday.startOfDay();
    s.movements = std::move(movements);
    return s;
}

// The heading of Statement(): every text centred in 39 columns, the extra blank at the end. The street
// goes in as stored (blanks at its end stay before the comma); only the whole address is trimmed.
const QByteArray kHeading =
    Line(Sp(13) + "Klub Velmira" + Sp(14)) + Line(Sp(6) + "Sportovni 12  ,Praha,110 00" + Sp(6)) +
    Line(Sp(6) + "ICO 12345678,DIC CZ12345678" + Sp(6)) +
    Line(Sp(6) + "Cerpani Korvanta cislo P001" + Sp(6)) + Line(Sp(10) + "Vlastnik Novak Jan" + Sp(11)) +
    Line(Sp(7) + "Vystaveno dne 15.03.2026" + Sp(8)) + kLf;

QByteArray Total(const QByteArray& caption, const QByteArray& amount)
{
    return Line(kOn + caption + Sp(28 - int(caption.size())) + " " + amount + " pb" + kOff);
}

TEST(PassStatementBytes, Layouts)
{
    const QDate d = kToday;
    struct Case {
        const char* what;
        TPassStatement statement;
        QByteArray expected;
    };
    TPassStatement czech = Statement({Movement(d, u"Káva s mlékem"_s, 1, 35, -1, 965)});
    czech.holder = u"Růžička Žofie"_s;
    TPassStatement longTexts =
        Statement({Movement(d, u"Celoroční permanentka do posilovny"_s, 1, 3500, 1, 4500)});
    longTexts.street = u"Sportovni 1234/56"_s;
    longTexts.town = u"Praha 7 - Holesovice"_s;
    longTexts.postcode = u"170 00"_s;
    const QList<Case> cases = {
        {"one withdrawal of 2 at 35.00", Statement({Movement(d, u"Kava"_s, 2, 35, -1, 930)}),
         kHeading + Line("Kava" + Sp(24) + " " + "   35,00" + "  ") +
             Line("2 ks" + Sp(24) + " " + "  -70,00" + " *") + kLf + Total("Celkem cerpano", "   70,00") +
             Total("Zustatek", "  930,00") + kLf + kLf + kSignature},
        {"a single unit and a half unit",
         Statement(
             {Movement(d, u"Permanentka"_s, 1, 120, 1, 1120), Movement(d, u"Kava"_s, 0.5, 35, -1, 1102.5)}),
         kHeading + Line("Permanentka" + Sp(17) + " " + "  120,00" + " *") +
             Line("Kava" + Sp(24) + " " + "  -17,50" + " *") + kLf + Total("Celkem vklad", "  120,00") +
             Total("Celkem cerpano", "   17,50") + Total("Zustatek", " 1102,50") + kLf + kLf + kSignature},
        {"several days mixed: only the day's movements, the day's last balance",
         Statement({Movement(d.addDays(-1), u"Vklad"_s, 1, 1000, 1, 1000),
                    Movement(d, u"Kava"_s, 2, 35, -1, 930),
                    Movement(d.addDays(1), u"Sauna"_s, 1, 100, -1, 830),
                    Movement(d, u"Vklad"_s, 3, 100, 1, 1130), Movement(d, u"Masaz"_s, 1.5, 200, -1, 830),
                    Movement(d.addDays(2), u"Sauna"_s, 1, 100, -1, 730)}),
         kHeading + Line("Kava" + Sp(24) + " " + "   35,00" + "  ") +
             Line("2 ks" + Sp(24) + " " + "  -70,00" + " *") +
             Line("Vklad" + Sp(23) + " " + "  100,00" + "  ") +
             Line("3 ks" + Sp(24) + " " + "  300,00" + " *") +
             Line("Masaz" + Sp(23) + " " + "  200,00" + "  ") +
             Line("2 ks" + Sp(24) + " " + " -300,00" + " *") + kLf + Total("Celkem vklad", "  300,00") +
             Total("Celkem cerpano", "  370,00") + Total("Zustatek", "  830,00") + kLf + kLf + kSignature},
        {"no movement on the day: the deposits total stands as the balance",
         Statement({Movement(d.addDays(-1), u"Vklad"_s, 1, 1000, 1, 1000)}),
         kHeading + kLf + Total("Zustatek", " 1000,00") + kLf + kLf + kSignature},
        {"a long item name is cut to 28, a long heading is printed whole", longTexts,
         Line(Sp(13) + "Klub Velmira" + Sp(14)) + Line("Sportovni 1234/56,Praha 7 - Holesovice,170 00") +
             kHeading.mid(2 * 41) +
             Line("Celoro\x9Fn\xA1 permanentka do pos" + QByteArray(" ") + " 3500,00" + " *") + kLf +
             Total("Celkem vklad", " 3500,00") + Total("Zustatek", " 4500,00") + kLf + kLf + kSignature},
        {"Czech letters: the heading in code page 1250, the item in code page 852", czech,
         kHeading.left(4 * 41) + Line(Sp(8) + "Vlastnik R\xF9\x9Ei\xE8ka \x8Eofie" + Sp(9)) +
             kHeading.mid(5 * 41) + Line("K\xA0va s ml\x82kem" + Sp(15) + " " + "  -35,00" + " *") + kLf +
             Total("Celkem cerpano", "   35,00") + Total("Zustatek", "  965,00") + kLf + kLf + kSignature},
    };
    const QLocale czechLocale(QLocale::Czech, QLocale::Czechia);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QList<TPrintStep> steps = PassStatement::Lines(c.statement, czechLocale);
        EXPECT_EQ(PassStatement::Bytes(steps), c.expected);
        // Text lines are 39 columns, or 40 between the control codes of the total lines; a heading
        // longer than that stays whole.
        for (const TPrintStep& s : steps) {
            if (s.lineFeed)
                continue;
            EXPECT_FALSE(s.text.contains('\n') || s.text.contains('\r'));
            if (s.text.startsWith(kOn) && !s.text.contains("Schvaluji")) {
                EXPECT_EQ(s.text.size(), 3 + 40 + 3);
            }
        }
    }
}

TEST(PassStatementBytes, Amounts)
{
    const QLocale cs(QLocale::Czech, QLocale::Czechia);
    const QLocale en(QLocale::English, QLocale::UnitedStates);
    const QList<std::tuple<double, QLocale, QByteArray>> cases = {
        {35, cs, "   35,00"},   {-70, cs, "  -70,00"},           {0, cs, "    0,00"},
        {-0.0, cs, "    0,00"}, {1234567.891, cs, "1234567,89"}, {-12345.5, cs, "-12345,50"},
        {35, en, "   35.00"},   {-1.5, en, "   -1.50"},
    };
    for (const auto& [value, locale, text] : cases)
        EXPECT_EQ(PassStatement::Amount(value, locale), text) << value;

    // Amounts of prices that binary fractions cannot hold, as units x price gives them, against the
    // decimal amounts worked out by hand (halves away from zero).
    const QList<std::tuple<double, double, QByteArray>> products = {
        {3, 19.9, "   59,70"},    {3, 0.1, "    0,30"},    {1, 123.45, "  123,45"},
        {-3, 19.9, "  -59,70"},   {0.5, 2.01, "    1,01"}, {0.5, 0.25, "    0,13"},
        {-0.5, 0.25, "   -0,13"}, {7, 0.1, "    0,70"},    {0.5, 123.45, "   61,73"},
    };
    for (const auto& [units, price, text] : products)
        EXPECT_EQ(PassStatement::Amount(units * price, cs), text) << units << " x " << price;
}

}  // namespace
