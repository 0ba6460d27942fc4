#include "StoreValues.h"

#include "DataSet.h"

using namespace Qt::StringLiterals;

namespace {

// Formatting digits by hand: QDate::toString goes through the locale machinery, which costs more than
// an insert itself in a bulk load.
void PutDigits(char16_t*& p, int value, int width)
{
    for (int i = width - 1; i >= 0; --i) {
        p[i] = char16_t(u'0' + value % 10);
        value /= 10;
    }
    p += width;
}

// The SQLite store keeps dates and times as the text Bind() writes. Reading that exact form directly
// spares the general date parser, which costs more than the whole index look-up; anything else
// (or an impossible date) still goes the general way.
int Digits(QStringView s, qsizetype at, int n)
{
    int v = 0;
    for (int i = 0; i < n; ++i) {
        const char16_t c = s[at + i].unicode();
        if (c < u'0' || c > u'9')
            return -1;
        v = v * 10 + (c - u'0');
    }
    return v;
}

// "yyyy-MM-dd"
QDate StoredDate(QStringView s)
{
    if (s.size() < 10 || s[4] != u'-' || s[7] != u'-')
        return {};
    const int y = Digits(s, 0, 4), m = Digits(s, 5, 2), d = Digits(s, 8, 2);
    return y < 0 || m < 0 || d < 0 ? QDate() : QDate(y, m, d);
}

// "HH:mm:ss", and with ".zzz" when withMs
QTime StoredTime(QStringView s, bool withMs)
{
    if (s.size() != (withMs ? 12 : 8) || s[2] != u':' || s[5] != u':' || (withMs && s[8] != u'.'))
        return {};
    const int h = Digits(s, 0, 2), m = Digits(s, 3, 2), sec = Digits(s, 6, 2);
    const int ms = withMs ? Digits(s, 9, 3) : 0;
    return h < 0 || m < 0 || sec < 0 || ms < 0 ? QTime() : QTime(h, m, sec, ms);
}

// "yyyy-MM-dd HH:mm:ss.zzz"; invalid where the local time does not exist, so that case parses as before
QDateTime StoredDateTime(QStringView s)
{
    if (s.size() != 23 || s[10] != u' ')
        return {};
    const QDate d = StoredDate(s.first(10));
    const QTime t = StoredTime(s.sliced(11), true);
    if (!d.isValid() || !t.isValid())
        return {};
    QDateTime dt(d, t);
    return dt.isValid() && dt.date() == d && dt.time() == t ? dt : QDateTime();
}

}  // namespace

QString StoreDateText(QDate date)
{
    int y = 0, m = 0, d = 0;
    date.getDate(&y, &m, &d);
    QString s(10, Qt::Uninitialized);
    auto* p = reinterpret_cast<char16_t*>(s.data());
    PutDigits(p, y, 4);
    *p++ = u'-';
    PutDigits(p, m, 2);
    *p++ = u'-';
    PutDigits(p, d, 2);
    return s;
}

QString StoreTimeText(QTime t, bool withMs)
{
    QString s(withMs ? 12 : 8, Qt::Uninitialized);
    auto* p = reinterpret_cast<char16_t*>(s.data());
    PutDigits(p, t.hour(), 2);
    *p++ = u':';
    PutDigits(p, t.minute(), 2);
    *p++ = u':';
    PutDigits(p, t.second(), 2);
    if (withMs) {
        *p++ = u'.';
        PutDigits(p, t.msec(), 3);
    }
    return s;
}

QVariant StoreValue(const TFieldDef& f, const QVariant& value, bool key, TStoreKind kind,
                    FieldValues::TTextFit fit)
{
    const bool pg = kind == TStoreKind::Postgres;
    const QVariant v = FieldValues::Normalize(f, value, fit);
    const bool null = !v.isValid() || v.isNull();
    if (null && !key)
        return QVariant(QMetaType::fromType<QString>());  // typed NULL
    switch (f.type) {
    case TFieldType::String: {
        if (null)
            return QString(u""_s);
        const QString text = v.toString();
        if (text.contains(QChar(u'\0')))
            throw EDatabaseError(
                u"Hodnota pole '%1' obsahuje znak NUL, který databáze nepřijímá"_s.arg(f.name));
        return text;
    }
    case TFieldType::Float: {
        const double d = null ? 0.0 : v.toDouble();
        // Text keeps every bit of the double through the PostgreSQL driver's literal formatting.
        return pg ? QVariant(QString::number(d, 'g', 17)) : QVariant(d);
    }
    case TFieldType::Smallint:
    case TFieldType::Integer:
    case TFieldType::AutoInc:
        return null ? 0 : v.toInt();
    case TFieldType::Boolean: {
        const bool b = null ? false : v.toBool();
        return pg ? QVariant(b) : QVariant(b ? 1 : 0);
    }
    case TFieldType::Date:
        return StoreDateText(null ? kEmptyStoreDate : v.toDate());
    case TFieldType::DateTime: {
        const QDateTime dt = null ? QDateTime(kEmptyStoreDate, QTime(0, 0)) : v.toDateTime();
        return StoreDateText(dt.date()) + u' ' + StoreTimeText(dt.time(), true);
    }
    case TFieldType::Time:
        return StoreTimeText(null ? QTime(0, 0) : v.toTime(), false);
    }
    return v;
}

QVariant ReadStoreValue(const TFieldDef& f, const QVariant& raw)
{
    if (raw.isNull())
        return QVariant();
    switch (f.type) {
    case TFieldType::Float:
        return raw.toDouble();
    case TFieldType::Boolean:
        if (raw.typeId() == QMetaType::QString)
            return raw.toString() == u"t"_s || raw.toString() == u"true"_s || raw.toString() == u"1"_s;
        return raw.toBool();
    case TFieldType::Date: {
        QDate d;
        if (raw.typeId() == QMetaType::QDate) {
            d = raw.toDate();
        } else {
            const QString text = raw.toString();
            d = StoredDate(text);
            if (!d.isValid())
                d = QDate::fromString(text.left(10), u"yyyy-MM-dd"_s);
        }
        return (!d.isValid() || d == kEmptyStoreDate) ? QVariant() : QVariant(d);
    }
    case TFieldType::DateTime: {
        QDateTime dt;
        if (raw.typeId() == QMetaType::QDateTime) {
            const QDateTime r = raw.toDateTime();
            dt = QDateTime(r.date(), r.time());
        } else {
            const QString text = raw.toString();
            dt = StoredDateTime(text);
            if (!dt.isValid())
                dt = FieldValues::Normalize(f, text).toDateTime();
        }
        return (!dt.isValid() || dt.date() == kEmptyStoreDate) ? QVariant() : QVariant(dt);
    }
    case TFieldType::Time: {
        if (raw.typeId() == QMetaType::QTime)
            return raw;
        const QString text = raw.toString();
        const QTime t = StoredTime(text, false);
        return t.isValid() ? QVariant(t) : FieldValues::Normalize(f, text);
    }
    default:
        return FieldValues::Normalize(f, raw);
    }
}
