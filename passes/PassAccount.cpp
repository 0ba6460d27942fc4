#include "PassAccount.h"

#include "DataUnit.h"
#include "TableGuards.h"
#include "Transaction.h"

#include <QLoggingCategory>

#include <cmath>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcPasses, "korvanta.passes")

namespace PassAccount {

namespace {

// A booking that does not go through leaves nothing behind: pending edits are dropped, the
// transaction is rolled back and both cursors read their records again, so that they show what is
// stored and not the values of the rolled-back posts. While an error is on its way out, a failure
// here (a lost connection) must not replace it; it is logged instead.
void Abandon(TData& data, TTransaction& tx, bool failing)
{
    for (TTable* t : {data.ffLegPol.get(), data.ffLegHla.get()})
        CancelEdit(*t);
    try {
        tx.Rollback();
        for (TTable* t : {data.ffLegPol.get(), data.ffLegHla.get()})
            if (t->Active())
                t->Refresh();
    } catch (const EDatabaseError& e) {
        if (!failing)
            throw;
        qCWarning(lcPasses).noquote() << "clean-up after a failed booking failed:" << e.Message();
    }
}

// Runs one booking in its own transaction: committed when the body books, rolled back when it
// refuses or throws.
template <typename Body>
TPassBooking InTransaction(TData& data, Body body)
{
    TTransaction tx(*data.ffDatabase);
    TPassBooking result = TPassBooking::Booked;
    try {
        result = body();
        if (result == TPassBooking::Booked) {
            tx.Commit();
            return result;
        }
    } catch (...) {
        Abandon(data, tx, true);
        throw;
    }
    Abandon(data, tx, false);
    return result;
}

double Amount(TTable& lep)
{
    return lep.FieldByName(u"LEP_KUS"_s).AsFloat() * lep.FieldByName(u"LEP_PC1"_s).AsFloat();
}

// The register stands on the pass the booking is meant for.
bool OnPass(TTable& leg, int passId)
{
    return leg.Active() && leg.HasRecord() && leg.State() == TDataSetState::Browse &&
           leg.FieldByName(u"LEG_IDE"_s).AsInteger() == passId;
}

// Puts the movement into edit (re-read and locked), when it still belongs to the pass.
bool LockMovement(TTable& lep, qint64 movementId, int passId)
{
    if (!lep.Locate(u"LEP_IDE"_s, {movementId}))
        return false;
    lep.Edit();
    return lep.FieldByName(u"LEP_IDM"_s).AsInteger() == passId;
}

// Adds `change` to the running total that a movement of this direction counts in.
void AddToTotal(TTable& leg, double koe, double change)
{
    TField total = leg.FieldByName(Direction(koe) > 0 ? u"LEG_POC"_s : u"LEG_CER"_s);
    total.SetAsFloat(total.AsFloat() + change);
}

// Moves the balance of every movement after the current one by `shift`, to the end of the pass.
void ShiftLaterBalances(TTable& lep, double shift)
{
    if (shift == 0)
        return;
    for (lep.Next(); !lep.Eof(); lep.Next()) {
        lep.Edit();
        TField zus = lep.FieldByName(u"LEP_ZUS"_s);
        zus.SetAsFloat(zus.AsFloat() + shift);
        lep.Post();
    }
}

}  // namespace

bool ValidUnits(double units)
{
    return std::isfinite(units) && units >= 0 && units < kMaxUnits;
}

double Direction(double koe)
{
    return koe > 0 ? 1.0 : -1.0;
}

double BalanceAfter(double units, double price, double koe, double previousAmount, double balance)
{
    const double k = Direction(koe);
    return units * price * k - k * previousAmount + balance;
}

QString RefusalText(TPassBooking result)
{
    switch (result) {
    case TPassBooking::Booked:
        return {};
    case TPassBooking::NoPass:
        return u"Legitimace byla mezitím smazána jiným uživatelem."_s;
    case TPassBooking::InsufficientBalance:
        return QString::fromUtf16(kInsufficientBalance);
    case TPassBooking::InvalidUnits:
        return QString::fromUtf16(kInvalidUnits);
    case TPassBooking::MovementGone:
        return u"Položka byla mezitím smazána jiným uživatelem."_s;
    }
    return {};
}

TPassBooking NewMovement(TData& data, int passId, double koe, const TPassEntry& entry, const QDate& day)
{
    if (!ValidUnits(entry.kus) || !std::isfinite(entry.pc1) || !std::isfinite(entry.kus * entry.pc1))
        return TPassBooking::InvalidUnits;
    TTable& leg = *data.ffLegHla;
    TTable& lep = *data.ffLegPol;
    if (!OnPass(leg, passId))
        return TPassBooking::NoPass;

    return InTransaction(data, [&] {
        leg.Edit();  // inside the transaction: the stored totals, held against other tills
        const double balance = leg.FieldByName(u"LEG_ZUS"_s).AsFloat();
        if (BalanceAfter(entry.kus, entry.pc1, koe, 0, balance) < 0)
            return TPassBooking::InsufficientBalance;
        AddToTotal(leg, koe, entry.kus * entry.pc1);

        lep.Append();
        lep.FieldByName(u"LEP_IDM"_s).SetAsInteger(passId);
        lep.FieldByName(u"LEP_DAT"_s).SetAsDateTime(day.startOfDay());
        lep.FieldByName(u"LEP_KOE"_s).SetAsFloat(koe);
        lep.FieldByName(u"LEP_KAV"_s).SetAsString(entry.kav);
        lep.FieldByName(u"LEP_NAC"_s).SetAsString(entry.nac);
        lep.FieldByName(u"LEP_PC1"_s).SetAsFloat(entry.pc1);
        lep.FieldByName(u"LEP_DAN"_s).SetAsFloat(entry.dan);
        lep.FieldByName(u"LEP_KUS"_s).SetAsFloat(entry.kus);
        lep.FieldByName(u"LEP_ZUS"_s).SetAsFloat(leg.FieldByName(u"LEG_ZUS"_s).AsFloat());
        lep.Post();
        leg.Post();
        return TPassBooking::Booked;
    });
}

TPassBooking Correct(TData& data, int passId, qint64 movementId, double units, const QDate& day)
{
    if (!ValidUnits(units))
        return TPassBooking::InvalidUnits;
    TTable& leg = *data.ffLegHla;
    TTable& lep = *data.ffLegPol;
    if (!OnPass(leg, passId))
        return TPassBooking::NoPass;

    const TPassBooking result = InTransaction(data, [&] {
        leg.Edit();  // the pass first, as every booking does: no two tills wait for each other
        if (!LockMovement(lep, movementId, passId))
            return TPassBooking::MovementGone;
        // The amount as stored now, not as it was when the dialog opened.
        const double previous = Amount(lep);
        const double price = lep.FieldByName(u"LEP_PC1"_s).AsFloat();
        const double koe = lep.FieldByName(u"LEP_KOE"_s).AsFloat();
        const double change = units * price - previous;
        if (!std::isfinite(change))
            return TPassBooking::InvalidUnits;
        if (BalanceAfter(units, price, koe, previous, leg.FieldByName(u"LEG_ZUS"_s).AsFloat()) < 0)
            return TPassBooking::InsufficientBalance;
        const double shift = Direction(koe) * change;
        lep.FieldByName(u"LEP_KUS"_s).SetAsFloat(units);
        lep.FieldByName(u"LEP_DAT"_s).SetAsDateTime(day.startOfDay());
        lep.FieldByName(u"LEP_IDM"_s).SetAsInteger(passId);
        TField zus = lep.FieldByName(u"LEP_ZUS"_s);
        zus.SetAsFloat(zus.AsFloat() + shift);
        lep.Post();
        ShiftLaterBalances(lep, shift);
        AddToTotal(leg, koe, change);
        leg.Post();
        return TPassBooking::Booked;
    });
    if (result == TPassBooking::Booked)
        lep.Last();
    return result;
}

TPassBooking Delete(TData& data, int passId, qint64 movementId)
{
    TTable& leg = *data.ffLegHla;
    TTable& lep = *data.ffLegPol;
    if (!OnPass(leg, passId))
        return TPassBooking::NoPass;

    return InTransaction(data, [&] {
        leg.Edit();
        if (!LockMovement(lep, movementId, passId))
            return TPassBooking::MovementGone;
        const double amount = Amount(lep);
        const double koe = lep.FieldByName(u"LEP_KOE"_s).AsFloat();
        // Taking the movement out is a correction to 0 units.
        if (BalanceAfter(0, 0, koe, amount, leg.FieldByName(u"LEG_ZUS"_s).AsFloat()) < 0)
            return TPassBooking::InsufficientBalance;
        lep.Cancel();  // the row stays locked until the end of the transaction
        ShiftLaterBalances(lep, -Direction(koe) * amount);
        if (!lep.Locate(u"LEP_IDE"_s, {movementId}))
            return TPassBooking::MovementGone;
        lep.Delete();
        AddToTotal(leg, koe, -amount);
        leg.Post();
        return TPassBooking::Booked;
    });
}

}  // namespace PassAccount
