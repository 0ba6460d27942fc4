#include "VarnoLogic.h"

#include "TextRoutines.h"

#include <QStringList>

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

std::function<QDateTime()>& Clock()
{
    static std::function<QDateTime()> clock;
    return clock;
}

bool IsAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool AllDigits(const QString& s)
{
    for (QChar c : s)
        if (!IsAsciiDigit(c))
            return false;
    return !s.isEmpty();
}

bool IsSeparatorLike(QChar c)
{
    return QStringView(u"*+,-./:?").contains(c);
}

// The part of the reference after its n-th separator; date and time separators both count.
QString AfterSeparator(const QString& reference, int n, const TRegional& r)
{
    int seen = 0;
    for (qsizetype i = 0; i < reference.size(); ++i)
        if ((reference[i] == r.dateSeparator || reference[i] == r.timeSeparator) && ++seen == n)
            return reference.mid(i + 1);
    return QString();
}

bool ValidCompletionChars(const QString& t, const TRegional& r)
{
    for (QChar c : t)
        if (!IsAsciiDigit(c) && c != u' ' && c != r.dateSeparator && c != r.timeSeparator)
            return false;
    return true;
}

QString TwoDigits(int n)
{
    return QString::number(n).rightJustified(2, u'0');
}

bool ReadNumber(const QString& part, int maxDigits, int& out)
{
    const QString s = part.trimmed();
    if (s.size() > maxDigits || !AllDigits(s))
        return false;
    out = s.toInt();
    return true;
}

// A finite number as decimal digits: value = 0.d1d2d3... x 10^point.
struct TDecimal {
    bool negative = false;
    QString digits;
    int point = 0;
};

TDecimal ToDecimal(double v)
{
    // The shortest text that reads back as the same double: 12.345 stays 12.345, so rounding it to two
    // decimals gives 12.35 as the operator expects, not the 12.34 of its binary value.
    const QString e = QString::number(std::fabs(v), 'e', QLocale::FloatingPointShortest);
    const qsizetype ePos = e.indexOf(u'e');
    QString mantissa = e.left(ePos);
    mantissa.remove(u'.');
    return {v < 0, mantissa, e.mid(ePos + 1).toInt() + 1};
}

// Keeps `keep` leading digits, rounding the rest half away from zero.
void RoundDigits(TDecimal& d, int keep)
{
    if (keep >= d.digits.size())
        return;
    if (keep < 0) {
        d.digits.clear();
        return;
    }
    const bool up = d.digits[keep] >= u'5';
    d.digits.truncate(keep);
    if (!up)
        return;
    qsizetype i = d.digits.size() - 1;
    while (i >= 0 && d.digits[i] == u'9') {
        d.digits[i] = u'0';
        --i;
    }
    if (i < 0) {
        d.digits.prepend(u'1');
        ++d.point;
    } else {
        d.digits[i] = QChar(d.digits[i].unicode() + 1);
    }
}

bool IsZero(const TDecimal& d)
{
    for (QChar c : d.digits)
        if (c != u'0')
            return false;
    return true;
}

QChar DigitAt(const TDecimal& d, int index)
{
    return index >= 0 && index < d.digits.size() ? d.digits[index] : u'0';
}

}  // namespace

TRegional TRegional::From(const QLocale& locale)
{
    TRegional r;
    r.locale = locale;
    const QString decimal = locale.decimalPoint();
    r.decimalSeparator = decimal.isEmpty() ? u'.' : decimal.at(0);
    r.dateSeparator = u'.';
    r.timeSeparator = u':';
    for (QChar c : locale.timeFormat(QLocale::ShortFormat))
        if (!c.isLetter() && !c.isSpace() && c != u'\'') {
            r.timeSeparator = c;
            break;
        }
    return r;
}

QString TRegional::ShortDate(const QDate& d) const
{
    return TwoDigits(d.day()) + dateSeparator + TwoDigits(d.month()) + dateSeparator +
           QString::number(d.year()).rightJustified(4, u'0');
}

QString TRegional::LongTime(const QTime& t) const
{
    return QString::number(t.hour()) + timeSeparator + TwoDigits(t.minute()) + timeSeparator +
           TwoDigits(t.second());
}

QDateTime VarnoNow()
{
    return Clock() ? Clock()() : QDateTime::currentDateTime();
}

void SetVarnoClock(std::function<QDateTime()> clock)
{
    Clock() = std::move(clock);
}

TCompletion CompleteDateTime(const QString& typed, const QString& reference, QChar separator, int limit,
                             const TRegional& r)
{
    QString t = Trim(typed);
    const qsizetype n = t.size();
    if (n == 0)
        return {typed, true};
    if (n > 8)
        t.truncate(limit);

    // The first two separator-like characters become the separator.
    qsizetype p1 = 0, p2 = 0;
    for (qsizetype i = 0; i < t.size() && p2 == 0; ++i) {
        if (!IsSeparatorLike(t[i]))
            continue;
        t[i] = separator;
        if (p1 == 0)
            p1 = i + 1;
        else
            p2 = i + 1;
    }
    const bool valid = ValidCompletionChars(t, r);
    const TCompletion rejected{QString(), false};

    if (p1 == 0) {
        if (n <= 2 && valid)
            return {t + separator + AfterSeparator(reference, 1, r), true};
        if (n == 6)
            return {t.left(2) + separator + t.mid(2, 2) + separator + t.mid(4), true};
        return rejected;
    }
    if (p1 == 1)
        return {reference, true};
    if (p2 == 0) {
        if (!valid)
            return rejected;
        if (p1 < t.size())
            return {t + separator + AfterSeparator(reference, 2, r), true};
        return {t + AfterSeparator(reference, 1, r), true};
    }
    if (p2 <= p1 + 1 || !valid)
        return rejected;
    if (p2 < t.size())
        return {t, true};
    return {t + AfterSeparator(reference, 2, r), true};
}

TCompletion CompleteDate(const QString& typed, const QDate& base, const TRegional& r)
{
    return CompleteDateTime(typed, r.ShortDate(base), r.dateSeparator, 10, r);
}

TCompletion CompleteTime(const QString& typed, const QTime& base, const TRegional& r)
{
    return CompleteDateTime(typed, r.LongTime(base), r.timeSeparator, 8, r);
}

std::optional<QDate> ParseShortDate(const QString& text, int currentYear, const TRegional& r)
{
    QStringList parts = text.trimmed().split(r.dateSeparator);
    if (parts.size() == 3 && parts[2].trimmed().isEmpty())
        parts.removeLast();  // "8.12." is a day and a month
    if (parts.size() < 2 || parts.size() > 3)
        return std::nullopt;
    int day = 0, month = 0, year = currentYear;
    if (!ReadNumber(parts[0], 2, day) || !ReadNumber(parts[1], 2, month))
        return std::nullopt;
    if (parts.size() == 3) {
        const QString y = parts[2].trimmed();
        if (y.size() == 3 || !ReadNumber(y, 4, year))
            return std::nullopt;
        if (y.size() <= 2) {
            year += currentYear / 100 * 100;
            if (year > currentYear + 49)
                year -= 100;
            else if (year < currentYear - 50)
                year += 100;
        }
    }
    const QDate d(year, month, day);
    if (!d.isValid() || year < 1)
        return std::nullopt;
    return d;
}

std::optional<QTime> ParseLongTime(const QString& text, const TRegional& r)
{
    const QStringList parts = text.trimmed().split(r.timeSeparator);
    if (parts.size() < 2 || parts.size() > 3)
        return std::nullopt;
    int h = 0, m = 0, s = 0;
    if (!ReadNumber(parts[0], 2, h) || !ReadNumber(parts[1], 2, m))
        return std::nullopt;
    if (parts.size() == 3 && !ReadNumber(parts[2], 2, s))
        return std::nullopt;
    const QTime t(h, m, s);
    if (!t.isValid())
        return std::nullopt;
    return t;
}

bool IsWholeNumber(const QString& text)
{
    QString s = text.trimmed();
    if (s.startsWith(u'+') || s.startsWith(u'-'))
        s.remove(0, 1);
    if (!AllDigits(s))
        return false;
    bool ok = false;
    const qlonglong n = text.trimmed().toLongLong(&ok);
    return ok && n >= std::numeric_limits<qint32>::min() && n <= std::numeric_limits<qint32>::max();
}

std::optional<QString> NormalizeFloat(const QString& text, int precision, int digits, const TRegional& r)
{
    QLocale locale = r.locale;
    locale.setNumberOptions(QLocale::RejectGroupSeparator | QLocale::OmitGroupSeparator);
    bool ok = false;
    const double v = locale.toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;

    precision = std::max(precision, 1);
    digits = std::max(digits, 0);
    TDecimal d = ToDecimal(v);
    if (v == 0)
        d = TDecimal{false, QString(), 1};
    RoundDigits(d, precision);
    if (d.point > precision) {
        // More whole digits than significant ones: only the exponent form can show it.
        const double rounded =
            (d.negative ? -1 : 1) * (u"0."_s + d.digits).toDouble() * std::pow(10.0, d.point);
        return locale.toString(rounded, 'E', precision - 1);
    }
    RoundDigits(d, d.point + digits);

    QString whole;
    for (int i = 0; i < d.point; ++i)
        whole += DigitAt(d, i);
    if (whole.isEmpty())
        whole = u"0"_s;
    QString result = (d.negative && !IsZero(d) ? locale.negativeSign() : QString()) + whole;
    if (digits > 0) {
        result += r.decimalSeparator;
        for (int i = 0; i < digits; ++i)
            result += DigitAt(d, d.point + i);
    }
    return result;
}

TCheckResult CheckEditVarnoText(const QString& text, const TKindSettings& s, const QDateTime& now,
                                const TRegional& r)
{
    switch (s.type) {
    case TEditType::String:
        return {text, true};
    case TEditType::Integer:
        return {text, text.trimmed().isEmpty() || IsWholeNumber(text)};
    case TEditType::Float: {
        if (s.floatPrecision == 0 || text.trimmed().isEmpty())
            return {text, true};
        const std::optional<QString> n = NormalizeFloat(text, s.floatPrecision, s.floatDigits, r);
        return n ? TCheckResult{*n, true} : TCheckResult{text, false};
    }
    case TEditType::Date: {
        if (text.isEmpty() || text == s.blankDate)
            return {s.blankDate, true};
        const TCompletion c = CompleteDate(text, now.date(), r);
        if (!c.ok)
            return {text, false};
        return {c.text, ParseShortDate(c.text, now.date().year(), r).has_value()};
    }
    case TEditType::Time: {
        if (text.isEmpty() || text == s.blankTime)
            return {s.blankTime, true};
        const TCompletion c = CompleteTime(text, now.time(), r);
        if (!c.ok)
            return {text, false};
        return {c.text, ParseLongTime(c.text, r).has_value()};
    }
    }
    return {text, true};
}

TCheckResult CheckVEditText(const QString& text, const TKindSettings& s, const QDateTime& now,
                            const TRegional& r)
{
    switch (s.type) {
    case TEditType::Date: {
        if (text.isEmpty() || text == s.blankDate)
            return {s.blankDate, true};
        const std::optional<QDate> d = ParseShortDate(text, now.date().year(), r);
        return d ? TCheckResult{r.ShortDate(*d), true} : TCheckResult{text, false};
    }
    case TEditType::Time: {
        if (text.isEmpty() || text == s.blankTime)
            return {s.blankTime, true};
        const std::optional<QTime> t = ParseLongTime(text, r);
        return t ? TCheckResult{r.LongTime(*t), true} : TCheckResult{text, false};
    }
    default:
        return CheckEditVarnoText(text, s, now, r);
    }
}

QChar ConvertDecimalSymbolChar(QChar c, TEditType type, bool convertDecimalSymbol)
{
    if (convertDecimalSymbol && c == u',' && type != TEditType::String && type != TEditType::Integer)
        return u'.';
    return c;
}

std::optional<QChar> FilterEditVarnoChar(QChar c, TEditType type, bool convertDecimalSymbol,
                                         const TRegional& r)
{
    c = ConvertDecimalSymbolChar(c, type, convertDecimalSymbol);
    if (type == TEditType::String)
        return c;
    if (c == u',' || c == u'.')
        return r.decimalSeparator;
    if (IsAsciiDigit(c) || c == u'+' || c == u'-' || c == r.dateSeparator || c == r.timeSeparator)
        return c;
    return std::nullopt;
}

std::optional<QChar> FilterDBEditChar(QChar c, TFieldType fieldType, bool floatEntry, const TRegional& r)
{
    if ((floatEntry || fieldType == TFieldType::Float) && (c == u',' || c == u'.'))
        c = r.decimalSeparator;
    switch (fieldType) {
    case TFieldType::Float:
        if (IsAsciiDigit(c) || c == u'+' || c == u'-' || c == u'e' || c == u'E' || c == r.decimalSeparator)
            return c;
        return std::nullopt;
    case TFieldType::Smallint:
    case TFieldType::Integer:
    case TFieldType::AutoInc:
        if (IsAsciiDigit(c) || c == u'+' || c == u'-')
            return c;
        return std::nullopt;
    default:
        return c;
    }
}
