#include "DataSet.h"

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace FieldValues {

namespace {

// "dd.mm.yy": the two-digit year lands in the hundred years around the current one.
QDate ParseTwoDigitYearDate(const QString& t)
{
    const QStringList parts = t.split(u'.');
    if (parts.size() != 3 || parts[2].size() != 2)
        return QDate();
    int n[3] = {};
    for (int i = 0; i < 3; ++i) {
        if (parts[i].isEmpty() || parts[i].size() > 2)
            return QDate();
        for (const QChar c : parts[i])
            if (c < u'0' || c > u'9')
                return QDate();
        n[i] = parts[i].toInt();
    }
    return QDate(ExpandTwoDigitYear(n[2], QDate::currentDate().year()), n[1], n[0]);
}

QDate ParseDateOnly(const QString& t)
{
    for (const auto fmt : {u"dd.MM.yyyy", u"d.M.yyyy", u"yyyy-MM-dd"}) {
        const QDate d = QDate::fromString(t, QString::fromUtf16(fmt));
        if (d.isValid())
            return d;
    }
    return ParseTwoDigitYearDate(t);
}

QDateTime ParseDateAndTime(const QString& t)
{
    for (const auto fmt : {u"yyyy-MM-dd HH:mm:ss.zzz", u"yyyy-MM-dd HH:mm:ss", u"yyyy-MM-ddTHH:mm:ss.zzz",
                           u"yyyy-MM-ddTHH:mm:ss", u"dd.MM.yyyy HH:mm:ss", u"dd.MM.yyyy H:mm:ss",
                           u"dd.MM.yyyy HH:mm", u"d.M.yyyy H:mm:ss"}) {
        const QDateTime dt = QDateTime::fromString(t, QString::fromUtf16(fmt));
        if (dt.isValid())
            return dt;
    }
    return QDateTime::fromString(t, Qt::ISODateWithMs);
}

// The whole text must be a date, or a date with a time of day (whose time is dropped); anything
// after it is an error, not ignored.
QDate ParseDate(const QString& s)
{
    const QString t = s.trimmed();
    const QDate d = ParseDateOnly(t);
    if (d.isValid())
        return d;
    const QDateTime dt = ParseDateAndTime(t);
    return dt.isValid() ? dt.date() : QDate();
}

QDateTime ParseDateTime(const QString& s)
{
    const QString t = s.trimmed();
    const QDateTime dt = ParseDateAndTime(t);
    if (dt.isValid())
        return dt;
    const QDate d = ParseDateOnly(t);
    return d.isValid() ? d.startOfDay() : QDateTime();
}

QTime ParseTime(const QString& s)
{
    const QString t = s.trimmed();
    for (const auto fmt : {u"HH:mm:ss", u"H:mm:ss", u"HH:mm:ss.zzz", u"HH:mm", u"H:mm"}) {
        const QTime tm = QTime::fromString(t, QString::fromUtf16(fmt));
        if (tm.isValid())
            return tm;
    }
    return QTime();
}

[[noreturn]] void Invalid(const QString& text, const char16_t* what, const QString& field)
{
    QString message = u"'%1' is not a valid %2"_s.arg(text, QString::fromUtf16(what));
    if (!field.isEmpty())
        message += u" for field '%1'"_s.arg(field);
    throw EDatabaseError(message);
}

double ParseFloat(const QString& text, const QString& field)
{
    const QString t = text.trimmed();
    bool ok = false;
    double d = QLocale().toDouble(t, &ok);
    if (!ok)
        d = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(d))
        Invalid(text, u"floating point value", field);
    return d;
}

qint64 ParseInt(const QString& text, const QString& field)
{
    bool ok = false;
    const qint64 n = text.trimmed().toLongLong(&ok);
    if (!ok)
        Invalid(text, u"integer value", field);
    return n;
}

}  // namespace

int ExpandTwoDigitYear(int year, int currentYear)
{
    year += currentYear / 100 * 100;
    if (year > currentYear + 49)
        year -= 100;
    else if (year < currentYear - 50)
        year += 100;
    return year;
}

QString CutText(const QString& s, int size)
{
    if (size <= 0 || s.size() <= size)
        return s;
    // Never keep the first half of a character made of two UTF-16 units.
    const int n = s.at(size - 1).isHighSurrogate() ? size - 1 : size;
    return s.left(n);
}

QVariant Normalize(const TFieldDef& f, const QVariant& v, TTextFit fit)
{
    if (!v.isValid() || v.isNull())
        return QVariant();
    const bool isText = v.typeId() == QMetaType::QString || v.typeId() == QMetaType::QByteArray;
    switch (f.type) {
    case TFieldType::String: {
        QString s = v.typeId() == QMetaType::Double ? FloatToStr(v.toDouble(), QLocale()) : v.toString();
        return fit == TTextFit::Cut ? CutText(s, f.size) : s;
    }
    case TFieldType::Float: {
        if (isText) {
            if (v.toString().trimmed().isEmpty())
                return QVariant();
            return ParseFloat(v.toString(), f.name);
        }
        bool ok = false;
        const double d = v.toDouble(&ok);
        if (!ok || !std::isfinite(d))
            Invalid(v.toString(), u"floating point value", f.name);
        return d;
    }
    case TFieldType::Smallint:
    case TFieldType::Integer:
    case TFieldType::AutoInc: {
        qint64 n = 0;
        if (isText) {
            if (v.toString().trimmed().isEmpty())
                return QVariant();
            n = ParseInt(v.toString(), f.name);
        } else if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float) {
            const double d = v.toDouble();
            if (!std::isfinite(d) || std::fabs(d) > 2147483647.0)
                Invalid(v.toString(), u"integer value", f.name);
            n = qRound64(d);
        } else {
            n = v.toLongLong();
        }
        const qint64 lo = f.type == TFieldType::Smallint ? -32768 : std::numeric_limits<qint32>::min();
        const qint64 hi = f.type == TFieldType::Smallint ? 32767 : std::numeric_limits<qint32>::max();
        if (n < lo || n > hi)
            throw EDatabaseError(
                u"%1 is not a valid value for field '%2'. The allowed range is %3 to %4"_s.arg(n)
                    .arg(f.name)
                    .arg(lo)
                    .arg(hi));
        return int(n);
    }
    case TFieldType::Boolean: {
        if (isText) {
            const QString s = v.toString().trimmed();
            if (s.isEmpty())
                return QVariant();
            if (s.compare(u"true"_s, Qt::CaseInsensitive) == 0 ||
                s.compare(u"ano"_s, Qt::CaseInsensitive) == 0 || s == u"1"_s)
                return true;
            if (s.compare(u"false"_s, Qt::CaseInsensitive) == 0 ||
                s.compare(u"ne"_s, Qt::CaseInsensitive) == 0 || s == u"0"_s)
                return false;
            Invalid(s, u"boolean value", f.name);
        }
        return v.toBool();
    }
    case TFieldType::Date: {
        if (v.typeId() == QMetaType::QDate)
            return v.toDate().isValid() ? v : QVariant();
        if (v.typeId() == QMetaType::QDateTime)
            return v.toDateTime().isValid() ? QVariant(v.toDateTime().date()) : QVariant();
        const QString s = v.toString();
        if (s.trimmed().isEmpty())
            return QVariant();
        const QDate d = ParseDate(s);
        if (!d.isValid())
            Invalid(s, u"date", f.name);
        return d;
    }
    case TFieldType::DateTime: {
        if (v.typeId() == QMetaType::QDateTime)
            return v.toDateTime().isValid() ? v : QVariant();
        if (v.typeId() == QMetaType::QDate)
            return v.toDate().isValid() ? QVariant(v.toDate().startOfDay()) : QVariant();
        const QString s = v.toString();
        if (s.trimmed().isEmpty())
            return QVariant();
        const QDateTime dt = ParseDateTime(s);
        if (!dt.isValid())
            Invalid(s, u"date and time", f.name);
        return dt;
    }
    case TFieldType::Time: {
        if (v.typeId() == QMetaType::QTime)
            return v.toTime().isValid() ? v : QVariant();
        if (v.typeId() == QMetaType::QDateTime)
            return v.toDateTime().time();
        const QString s = v.toString();
        if (s.trimmed().isEmpty())
            return QVariant();
        const QTime t = ParseTime(s);
        if (!t.isValid())
            Invalid(s, u"time", f.name);
        return t;
    }
    }
    return v;
}

QString FloatToStr(double v, const QLocale& locale)
{
    if (v == 0)
        return u"0"_s;
    QLocale l = locale;
    l.setNumberOptions(QLocale::OmitGroupSeparator);
    const double a = std::fabs(v);
    if (a >= 1e15 || a < 1e-5)
        return l.toString(v, 'g', QLocale::FloatingPointShortest);
    return l.toString(v, 'f', QLocale::FloatingPointShortest);
}

QString GeneralFloat(double v, const QLocale& locale)
{
    if (!std::isfinite(v))
        return FloatToStr(v, locale);
    return FloatToStr(QString::number(v, 'g', 15).toDouble(), locale);
}

QString FormatFloat(const QString& pattern, double v, const QLocale& locale)
{
    const int dot = pattern.indexOf(u'.');
    const bool grouping = pattern.left(dot < 0 ? pattern.size() : dot).contains(u',');
    int decimals = 0;
    if (dot >= 0)
        for (int i = dot + 1; i < pattern.size() && (pattern[i] == u'0' || pattern[i] == u'#'); ++i)
            ++decimals;
    QLocale l = locale;
    l.setNumberOptions(grouping ? QLocale::DefaultNumberOptions : QLocale::OmitGroupSeparator);
    // No "-0,00" for a value that rounds to zero.
    const double scale = std::pow(10.0, decimals);
    if (std::round(std::fabs(v) * scale) == 0)
        v = 0;
    return l.toString(v, 'f', decimals);
}

QString AsString(const TFieldDef& f, const QVariant& v)
{
    if (!v.isValid() || v.isNull())
        return QString();
    switch (f.type) {
    case TFieldType::String:
        return v.toString();
    case TFieldType::Float:
        return FloatToStr(v.toDouble(), QLocale());
    case TFieldType::Smallint:
    case TFieldType::Integer:
    case TFieldType::AutoInc:
        return QString::number(v.toLongLong());
    case TFieldType::Boolean:
        return v.toBool() ? u"True"_s : u"False"_s;
    case TFieldType::Date:
        return v.toDate().toString(u"dd.MM.yyyy"_s);
    case TFieldType::DateTime: {
        const QDateTime dt = v.toDateTime();
        if (dt.time() == QTime(0, 0))
            return dt.date().toString(u"dd.MM.yyyy"_s);
        return dt.toString(u"dd.MM.yyyy H:mm:ss"_s);
    }
    case TFieldType::Time:
        return v.toTime().toString(u"H:mm:ss"_s);
    }
    return v.toString();
}

QString Display(const TFieldDef& f, const QVariant& v, const QLocale& locale)
{
    if (!v.isValid() || v.isNull())
        return QString();
    const QString& fmt = f.displayFormat;
    switch (f.type) {
    case TFieldType::Float:
        return fmt.isEmpty() ? GeneralFloat(v.toDouble(), locale) : FormatFloat(fmt, v.toDouble(), locale);
    case TFieldType::Boolean: {
        if (fmt.contains(u';')) {
            const QStringList parts = fmt.split(u';');
            return v.toBool() ? parts.value(0) : parts.value(1);
        }
        return v.toBool() ? u"True"_s : u"False"_s;
    }
    case TFieldType::Date:
    case TFieldType::DateTime: {
        const QDate d = f.type == TFieldType::Date ? v.toDate() : v.toDateTime().date();
        if (fmt.compare(u"dd.mm.yyyy"_s, Qt::CaseInsensitive) == 0)
            return d.toString(u"dd.MM.yyyy"_s);
        return AsString(f, v);
    }
    case TFieldType::Time:
        if (fmt.compare(u"hh:mm:ss"_s, Qt::CaseInsensitive) == 0)
            return v.toTime().toString(u"HH:mm:ss"_s);
        return AsString(f, v);
    default:
        return AsString(f, v);
    }
}

}  // namespace FieldValues

// ---------------------------------------------------------------------------------------------------

namespace {

// The field read as another type (a text field read as a number, ...), keeping its name for messages.
TFieldDef AsType(const TFieldDef& f, TFieldType type)
{
    TFieldDef d;
    d.name = f.name;
    d.type = type;
    return d;
}

}  // namespace

const TFieldDef& TField::Def() const
{
    return m_ds->Def().fields[m_index];
}

QVariant TField::Value() const
{
    return m_ds->GetFieldValue(m_index);
}

void TField::SetValue(const QVariant& v)
{
    m_ds->SetFieldValue(m_index, v);
}

bool TField::IsNull() const
{
    const QVariant v = Value();
    return !v.isValid() || v.isNull();
}

QString TField::AsString() const
{
    return FieldValues::AsString(Def(), Value());
}

void TField::SetAsString(const QString& s)
{
    SetValue(s);
}

double TField::AsFloat() const
{
    const QVariant v = Value();
    if (!v.isValid() || v.isNull())
        return 0;
    if (Def().IsText())
        return FieldValues::Normalize(AsType(Def(), TFieldType::Float), v).toDouble();
    return v.toDouble();
}

int TField::AsInteger() const
{
    const QVariant v = Value();
    if (!v.isValid() || v.isNull())
        return 0;
    if (Def().IsText())
        return FieldValues::Normalize(AsType(Def(), TFieldType::Integer), v).toInt();
    if (Def().type == TFieldType::Float)
        return int(qRound64(v.toDouble()));
    return v.toInt();
}

bool TField::AsBoolean() const
{
    const QVariant v = Value();
    if (!v.isValid() || v.isNull())
        return false;
    if (Def().IsText())
        return FieldValues::Normalize(AsType(Def(), TFieldType::Boolean), v).toBool();
    return v.toBool();
}

QDateTime TField::AsDateTime() const
{
    const QVariant v = Value();
    if (!v.isValid() || v.isNull())
        return QDateTime();
    if (v.typeId() == QMetaType::QDate)
        return v.toDate().startOfDay();
    if (v.typeId() == QMetaType::QTime)
        return QDateTime(QDate(1899, 12, 30), v.toTime());
    return FieldValues::Normalize(AsType(Def(), TFieldType::DateTime), v).toDateTime();
}

QDate TField::AsDate() const
{
    return AsDateTime().date();
}

QTime TField::AsTime() const
{
    return AsDateTime().time();
}

QString TField::DisplayText() const
{
    return FieldValues::Display(Def(), Value(), m_ds->Locale());
}

QString TField::EditText() const
{
    const QVariant v = Value();
    if (!v.isValid() || v.isNull())
        return QString();
    if (Def().type == TFieldType::Float && !Def().editFormat.isEmpty())
        return FieldValues::FormatFloat(Def().editFormat, v.toDouble(), m_ds->Locale());
    if (Def().type == TFieldType::Float)
        return FieldValues::GeneralFloat(v.toDouble(), m_ds->Locale());
    return AsString();
}

// ---------------------------------------------------------------------------------------------------

TDataSet::TDataSet(const TTableDef& def, QObject* parent) : QObject(parent), m_def(def)
{
    ClearBuffer();
}

TField TDataSet::FieldByName(const QString& name)
{
    const int i = m_def.FieldIndex(name);
    if (i < 0)
        throw EDatabaseError(u"Pole '%1' nenalezeno."_s.arg(name), m_def.component);
    return TField(this, i);
}

void TDataSet::SetState(TDataSetState s)
{
    if (m_state == s)
        return;
    m_state = s;
    emit StateChanged();
}

void TDataSet::CheckActive() const
{
    if (m_state == TDataSetState::Inactive)
        throw EDatabaseError(u"Tabulka není otevřená."_s, m_def.component);
}

void TDataSet::CheckBrowse() const
{
    CheckActive();
    if (m_state != TDataSetState::Browse)
        throw EDatabaseError(u"Záznam je právě upravován."_s, m_def.component);
}

void TDataSet::ClearBuffer()
{
    m_buf = QVector<QVariant>(m_def.fields.size());
    m_changed = QVector<bool>(m_def.fields.size(), false);
}

void TDataSet::StartEditBuffer(bool inserting)
{
    if (inserting)
        ClearBuffer();
    m_saved = m_buf;
    m_changed = QVector<bool>(m_def.fields.size(), false);
    m_modified = false;
    RunCalc();
}

void TDataSet::SetFieldValue(int i, const QVariant& v)
{
    if (i < 0 || i >= m_buf.size())
        throw EDatabaseError(u"Pole číslo %1 neexistuje."_s.arg(i), m_def.component);
    const TFieldDef& f = m_def.fields[i];
    if (m_inCalc) {
        m_buf[i] = FieldValues::Normalize(f, v);
        return;
    }
    if (m_state != TDataSetState::Edit && m_state != TDataSetState::Insert)
        throw EDatabaseError(u"Tabulka není v režimu úprav."_s, m_def.component);
    if (f.calculated)
        throw EDatabaseError(u"Pole '%1' nelze měnit."_s.arg(f.name), m_def.component);
    if (f.type == TFieldType::AutoInc)
        throw EDatabaseError(u"Pole '%1' vyplňuje databáze."_s.arg(f.name), m_def.component);
    m_buf[i] = FieldValues::Normalize(f, v);
    m_changed[i] = true;
    m_modified = true;
    RunCalc();
    emit FieldChanged(i);
}

void TDataSet::RunCalc()
{
    bool any = false;
    for (int i = 0; i < m_def.fields.size(); ++i)
        if (m_def.fields[i].calculated) {
            m_buf[i] = QVariant();
            any = true;
        }
    if (!any || !OnCalcFields)
        return;
    m_inCalc = true;
    try {
        OnCalcFields(*this);
    } catch (...) {
        m_inCalc = false;
        throw;
    }
    m_inCalc = false;
}
