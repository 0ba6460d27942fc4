#pragma once

#include <QDate>
#include <QString>

class TData;

// Bookings on the account of a pass: new withdrawals and deposits, corrections and deletions of a
// movement. Each booking is one database transaction that locks the pass header first (Edit re-reads
// it inside the transaction), then the movements it changes, so that two tills booking on the same
// pass are serialised and neither booking is lost. Every booking keeps the account's invariants:
//   - LEG_POC is the sum of LEP_KUS x LEP_PC1 over the deposits (LEP_KOE > 0), LEG_CER over the
//     withdrawals;
//   - LEP_ZUS of a movement is the balance right after it, in the order of the movement index "KOD";
//   - the balance LEG_ZUS never falls below 0 through a booking.
//
// The operations work on the data module's cursors as the account window uses them: ffLegHla stands
// on the pass `passId`, ffLegPol is open on index "KOD" with the range of that pass. No widgets here.

// Refusals of a booking; a database error is thrown (EDatabaseError) after the rollback.
enum class TPassBooking {
    Booked,
    InsufficientBalance,  // the booking would leave a negative balance
    InvalidUnits,         // not a usable number of units (negative, absurd, not finite)
    NoPass,               // the register does not stand on the pass (gone, or another till deleted it)
    MovementGone,         // the movement is no longer on this pass (another till deleted it)
};

// What the operator chose for a new movement: the card and its copied price, name and VAT rate.
struct TPassEntry {
    QString kav;     // LEP_KAV
    QString nac;     // LEP_NAC
    double pc1 = 0;  // LEP_PC1, unit price
    double dan = 0;  // LEP_DAN
    double kus = 0;  // LEP_KUS, units
};

namespace PassAccount {

// Units from this many up are taken for a typing error.
inline constexpr double kMaxUnits = 1000000.0;

inline constexpr char16_t kInsufficientBalance[] = u"Nedosatečný zůstatek účtu !!!";
inline constexpr char16_t kInvalidUnits[] = u"Neplatný počet měrných jednotek !";

// A usable number of units: finite, 0 or more, below kMaxUnits.
bool ValidUnits(double units);
// Direction of a movement as the totals count it: +1 deposit (LEP_KOE > 0), -1 withdrawal.
double Direction(double koe);
// The balance a booking leaves: units x price x direction - direction x previous amount + balance.
double BalanceAfter(double units, double price, double koe, double previousAmount, double balance);
// The operator's message for a refusal; empty for Booked.
QString RefusalText(TPassBooking result);

// A new movement on the current pass: koe +1 deposit, -1 withdrawal, dated `day`. Afterwards
// ffLegPol stands on the new movement and ffLegHla shows the new totals.
TPassBooking NewMovement(TData& data, int passId, double koe, const TPassEntry& entry, const QDate& day);

// A new number of units for the movement `movementId` of the current pass; card, price and name stay
// as booked, the date becomes `day`, and the balance of every later movement moves by the change.
// Afterwards ffLegPol stands on the pass's last movement.
TPassBooking Correct(TData& data, int passId, qint64 movementId, double units, const QDate& day);

// Deletes the movement `movementId` of the current pass and takes it out of the account: the total it
// counted in goes down by its amount and every later balance moves back. Refused when that would
// leave a negative balance (a deposit already drawn on). Afterwards ffLegPol stands on the movement
// that followed (or the one before at the end).
TPassBooking Delete(TData& data, int passId, qint64 movementId);

}  // namespace PassAccount
