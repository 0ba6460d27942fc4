#pragma once

#include "Schema.h"

#include <QChar>
#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QTime>

#include <functional>
#include <optional>

// The rules of the entry fields that do not need a widget: date and time completion, number
// normalisation, the character filters and the text check of each kind of entry.

// Kind of entry of an unbound edit field.
enum class TEditType { String, Integer, Float, Date, Time };

// The station's regional settings as the entry fields use them. Dates are always "dd.mm.yyyy"
// (set for the whole process at start-up); the decimal and time separators follow the locale.
struct TRegional {
    QLocale locale;
    QChar decimalSeparator = u',';
    QChar dateSeparator = u'.';
    QChar timeSeparator = u':';

    static TRegional From(const QLocale& locale);
    static TRegional Current() { return From(QLocale()); }

    QString ShortDate(const QDate& d) const;  // 08.12.2026
    QString LongTime(const QTime& t) const;   // 8:05:09
};

// The moment dates and times are completed from. Tests replace the clock; an empty function
// restores the system clock.
QDateTime VarnoNow();
void SetVarnoClock(std::function<QDateTime()> clock);

struct TCompletion {
    QString text;
    bool ok = false;
};

// Completes a partly typed date or time from a reference text (the base moment written out):
// "8" becomes "8.12.2026" on 8 December 2026. A rejected text comes back empty and not ok.
TCompletion CompleteDateTime(const QString& typed, const QString& reference, QChar separator, int limit,
                             const TRegional& r);
TCompletion CompleteDate(const QString& typed, const QDate& base, const TRegional& r);
TCompletion CompleteTime(const QString& typed, const QTime& base, const TRegional& r);

// "d.m.y" or "d.m" (current year); a year of one or two digits is taken within fifty years of the
// current year.
std::optional<QDate> ParseShortDate(const QString& text, int currentYear, const TRegional& r);
// "h:m" or "h:m:s".
std::optional<QTime> ParseLongTime(const QString& text, const TRegional& r);
// An optional sign and decimal digits that fit a 32-bit integer; blanks around are allowed.
bool IsWholeNumber(const QString& text);
// A number in the regional format, rewritten in fixed notation rounded to `precision` significant
// digits and shown with `digits` decimals (halves away from zero); nothing when not a number.
std::optional<QString> NormalizeFloat(const QString& text, int precision, int digits, const TRegional& r);

struct TKindSettings {
    TEditType type = TEditType::String;
    int floatPrecision = 0;  // 0 switches the number check off
    int floatDigits = 0;
    QString blankDate;
    QString blankTime;
};

struct TCheckResult {
    QString text;  // what the field shows afterwards
    bool ok = true;
};

// Check of the validated edit field: dates and times are completed from `now` first. A rejected
// text keeps what was typed so that the operator can correct it.
TCheckResult CheckEditVarnoText(const QString& text, const TKindSettings& s, const QDateTime& now,
                                const TRegional& r);
// Check of the base edit field: no completion; dates and times are rewritten in full.
TCheckResult CheckVEditText(const QString& text, const TKindSettings& s, const QDateTime& now,
                            const TRegional& r);

// A character typed into a validated edit field of the given kind: the character to insert, or
// nothing when it is refused (with a beep).
std::optional<QChar> FilterEditVarnoChar(QChar c, TEditType type, bool convertDecimalSymbol,
                                         const TRegional& r);
// The comma rule alone: with the conversion on, a comma becomes a full stop in number, date and time
// fields.
QChar ConvertDecimalSymbolChar(QChar c, TEditType type, bool convertDecimalSymbol);
// A character typed into a bound edit field: a comma or full stop becomes the decimal separator in a
// float entry, then the field's own rules decide (numbers take digits, signs, the exponent letter and
// the decimal separator; other fields take anything).
std::optional<QChar> FilterDBEditChar(QChar c, TFieldType fieldType, bool floatEntry, const TRegional& r);
