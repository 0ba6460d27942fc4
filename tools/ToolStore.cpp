#include "ToolStore.h"

#include "DataUnit.h"
#include "SchemaSql.h"
#include "Table.h"

#include <QLocale>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace Tool {

QString Sql(const TTableDef& def, const QString& organisation)
{
    return TDatabase::TableSql(TableNameFor(def, organisation));
}

QString TableList(const QStringList& names)
{
    return names.join(u", "_s);
}

QStringList AllPrefixes()
{
    QStringList p;
    for (const TTableDef* def : AllTableDefs())
        p << def->prefix;
    return p;
}

void RequireTables(TDatabase& db, const QString& organisation, const QStringList& prefixes)
{
    QStringList missing;
    for (const QString& p : prefixes) {
        const QString name = TableNameFor(TableDef(p), organisation);
        if (!TableExists(db, name))
            missing << name;
    }
    if (!missing.isEmpty())
        throw EDatabaseError(
            u"V databázi chybí tabulky %1. Vytvořte je příkazem korvanta-db init."_s.arg(TableList(missing)));
}

QList<QVariantList> Rows(TDatabase& db, const QString& sql, const QVariantList& binds)
{
    QSqlQuery& q = db.Prepare(sql);
    for (int i = 0; i < binds.size(); ++i)
        q.bindValue(i, binds[i]);
    TDatabase::Exec(q);
    QList<QVariantList> rows;
    const int n = q.record().count();
    while (q.next()) {
        QVariantList row;
        row.reserve(n);
        for (int i = 0; i < n; ++i)
            row << q.value(i);
        rows << row;
    }
    q.finish();
    return rows;
}

QVariant Scalar(TDatabase& db, const QString& sql, const QVariantList& binds)
{
    const auto rows = Rows(db, sql, binds);
    return rows.isEmpty() || rows.first().isEmpty() ? QVariant() : rows.first().first();
}

qint64 MaxDigitsCode(TDatabase& db, const QString& table, const QString& column)
{
    QSqlQuery& q = db.Prepare(u"SELECT "_s + TDatabase::Quote(column) + u" FROM "_s + table);
    TDatabase::Exec(q);
    qint64 best = 0;
    while (q.next())
        if (const auto n = DigitsValue(q.value(0).toString().trimmed()))
            best = std::max(best, *n);
    q.finish();
    return best;
}

qint64 LastReceiptNumber(TDatabase& db, const QString& org)
{
    const QString cis = Sql(TableDef(u"CIS"_s), org);
    const QString uce = Sql(TableDef(u"UCE"_s), org);
    qint64 last = 0;
    const QVariant counter = Scalar(db, uR"(SELECT "CIS_UCE" FROM %1 ORDER BY "REC_ID" LIMIT 1)"_s.arg(cis));
    if (const auto n = DigitsValue(counter.toString().trimmed()))
        last = *n;
    const QVariant highest = Scalar(db, uR"(SELECT MAX("HLA_DO1") FROM %1)"_s.arg(uce));
    if (const auto n = DigitsValue(highest.toString().trimmed()))
        last = std::max(last, *n);
    return last;
}

void SetReceiptCounter(TDatabase& db, const QString& org, qint64 last)
{
    const TTableDef& def = TableDef(u"CIS"_s);
    TTable cis(db, def);
    cis.SetTableName(TableNameFor(def, org));
    cis.Open();
    if (cis.IsEmpty())
        cis.Append();
    else
        cis.Edit();
    cis.FieldByName(u"CIS_UCE"_s).SetAsString(ReceiptNumber(last));
    cis.Post();
    cis.Close();
}

QString ReceiptNumber(qint64 n)
{
    return u"%1"_s.arg(n, 10, 10, QLatin1Char('0'));
}

bool GrossPrices(TDatabase& db, const TData& data)
{
    const QVariant dph = Scalar(db, uR"(SELECT "CEN_DPH" FROM %1 ORDER BY "REC_ID" LIMIT 1)"_s.arg(
                                        Sql(TableDef(u"CEN"_s), data.Prodejna)));
    if (dph.isValid() && !dph.isNull())
        return SqlBool(dph);
    return data.ZakladniCenySDPH == 2;
}

QString OsLogin()
{
    return TData::AutoLoginName(TData::OsUserName());
}

QString OperatorInitials(TDatabase& db)
{
    const QString login = OsLogin();
    const QVariant ini =
        Scalar(db,
               uR"(SELECT "USR_INI" FROM %1 WHERE "USR_LNA" = ? ORDER BY "REC_ID" LIMIT 1)"_s.arg(
                   Sql(TableDef(u"USR"_s), {})),
               {login});
    if (ini.isValid() && !ini.toString().trimmed().isEmpty())
        return ini.toString().trimmed();
    return login.left(2);
}

bool SqlBool(const QVariant& v)
{
    if (v.typeId() == QMetaType::QString)
        return v.toString() == u"t"_s || v.toString() == u"true"_s || v.toString() == u"1"_s;
    return v.toBool();
}

std::optional<qint64> DigitsValue(const QString& text)
{
    if (text.isEmpty() || text.size() > 18)
        return std::nullopt;
    for (const QChar c : text)
        if (c < u'0' || c > u'9')
            return std::nullopt;
    return text.toLongLong();
}

QString Num(double v)
{
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

QString Seconds(qint64 ms)
{
    return QString::number(static_cast<double>(ms) / 1000.0, 'f', 2) + u" s"_s;
}

bool Same(double a, double b)
{
    return std::fabs(a - b) <= 1e-6 * std::max({1.0, std::fabs(a), std::fabs(b)});
}

}  // namespace Tool
