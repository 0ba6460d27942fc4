#include "Table.h"

#include "Filter.h"
#include "StoreValues.h"

#include <QSqlError>
#include <QSqlRecord>

using namespace Qt::StringLiterals;

namespace {

// Cached statement kinds; the number of key values is added for the kinds that take them.
enum SqlKind { kFirst = 1, kLast, kNext, kPrior, kById, kByIdLock, kCount, kFindKey = 100, kNearest = 200 };
// The two statements of a step on SQLite: within the current key, then past it.
enum StepKind { kNextInKey = 10, kPriorInKey, kNextKey, kPriorKey };

QString Tuple(const QStringList& cols)
{
    if (cols.size() == 1)
        return cols.first();
    return u'(' + cols.join(u", "_s) + u')';
}

QString Placeholders(int n)
{
    if (n == 1)
        return u"?"_s;
    QStringList p;
    for (int i = 0; i < n; ++i)
        p << u"?"_s;
    return u'(' + p.join(u", "_s) + u')';
}

}  // namespace

TTable::TTable(TDatabase& db, const TTableDef& def, QObject* parent) : TDataSet(def, parent), m_db(db)
{
    m_tableName = def.builtInName;
    // The auto-increment field is the identity, read once as the first column.
    for (int i = 0; i < def.fields.size(); ++i) {
        if (def.fields[i].type == TFieldType::AutoInc)
            m_autoIncField = i;
        else if (!def.fields[i].calculated)
            m_storedFields.append(i);
        m_keyFields.append(def.IsKeyField(def.fields[i].name));
    }
}

TTable::~TTable() = default;

void TTable::SetTableName(const QString& name)
{
    if (Active())
        throw EDatabaseError(u"Název tabulky nelze měnit u otevřené tabulky."_s, m_def.component);
    m_tableName = name;
    m_selectSql.clear();
    m_selectCols.clear();
    m_insertSql.clear();
    m_sqlCaches.clear();
    Invalidate();
}

// The statements that follow the index, range and filter; the select list and the insert name only the
// table, so choosing an index (which every stock operation does) keeps them.
void TTable::Invalidate()
{
    m_currentCache = nullptr;
    m_orderValid = false;
}

// Statement texts are kept per shape of the query (index, range, filter), so that a table that goes
// back and forth between its indexes, as every stock operation does, builds each text only once.
QHash<int, QString>& TTable::SqlCache()
{
    if (!m_currentCache) {
        QString shape = m_indexName;
        if (m_hasRange)
            shape += u"|R%1/%2"_s.arg(m_rangeLo.size()).arg(m_rangeHi.size());
        if (m_filtered && !m_filterSql.isEmpty())
            shape += u"|F"_s + m_filterSql;
        m_currentCache = &m_sqlCaches[shape];
    }
    return *m_currentCache;
}

const QString& TTable::Select()
{
    if (m_selectSql.isEmpty()) {
        QStringList cols{TDatabase::Quote(m_def.IdentityColumn())};
        for (int fi : m_storedFields)
            cols << TDatabase::Quote(m_def.fields[fi].name);
        m_selectCols = cols.join(u", "_s);
        m_selectSql = u"SELECT "_s + m_selectCols + u" FROM "_s + TDatabase::TableSql(m_tableName);
    }
    return m_selectSql;
}

const TTable::Order& TTable::CurrentOrder()
{
    if (m_orderValid)
        return m_order;
    m_order = Order{};
    const QString id = m_def.IdentityColumn();
    if (m_index) {
        for (const QString& f : m_index->fields) {
            m_order.columns << TDatabase::Quote(f);
            m_order.fieldIndexes << m_def.FieldIndex(f);
        }
        m_order.descending = m_index->descending;
        // A unique index orders every record by itself; others need the identity as tie-breaker.
        const bool idLast = m_index->fields.last().compare(id, Qt::CaseInsensitive) == 0;
        if (!m_index->unique && !idLast) {
            m_order.columns << TDatabase::Quote(id);
            m_order.fieldIndexes << -1;
        }
    } else {
        m_order.columns << TDatabase::Quote(id);
        m_order.fieldIndexes << -1;
    }
    m_orderValid = true;
    return m_order;
}

QString TTable::OrderBy(bool reverse)
{
    const Order& o = CurrentOrder();
    const bool desc = o.descending != reverse;
    QStringList parts;
    for (const QString& c : o.columns)
        parts << (desc ? c + u" DESC"_s : c);
    return u" ORDER BY "_s + parts.join(u", "_s);
}

QString TTable::KeyTuple(int n)
{
    return Tuple(CurrentOrder().columns.mid(0, n));
}

QVariant TTable::Bind(const TFieldDef& f, const QVariant& value, bool key) const
{
    return StoreValue(f, value, key, m_db.Kind());
}

QVariant TTable::BindSought(const TFieldDef& f, const QVariant& value) const
{
    return StoreValue(f, value, true, m_db.Kind(), FieldValues::TTextFit::Whole);
}

QVariant TTable::BindKeyValue(int orderPos, const QVariant& v)
{
    const int fi = CurrentOrder().fieldIndexes.value(orderPos, -1);
    if (fi < 0)
        return QVariant(v.toLongLong());
    return Bind(m_def.fields[fi], v, true);
}

QVariantList TTable::CurrentKey(const QVector<QVariant>& values, qint64 id)
{
    const Order& o = CurrentOrder();
    QVariantList key;
    for (int i = 0; i < o.fieldIndexes.size(); ++i) {
        const int fi = o.fieldIndexes[i];
        key << (fi < 0 ? QVariant(id) : Bind(m_def.fields[fi], values.value(fi), true));
    }
    return key;
}

QString TTable::BaseWhere(QVariantList& binds) const
{
    QStringList conds;
    if (m_hasRange && m_index) {
        QStringList cols;
        for (const QString& f : m_index->fields)
            cols << TDatabase::Quote(f);
        auto rangeCond = [&](const QVariantList& vals, const QString& op) {
            const int n = std::min<int>(int(vals.size()), int(cols.size()));
            if (n == 0)
                return;
            conds << Tuple(cols.mid(0, n)) + u' ' + op + u' ' + Placeholders(n);
            for (int i = 0; i < n; ++i)
                binds << BindSought(*m_def.Field(m_index->fields[i]), vals[i]);
        };
        rangeCond(m_rangeLo, u">="_s);
        rangeCond(m_rangeHi, u"<="_s);
    }
    if (m_filtered && !m_filterSql.isEmpty()) {
        conds << m_filterSql;
        binds += m_filterBinds;
    }
    return conds.join(u" AND "_s);
}

TRow TTable::ReadRow(const QVector<QVariant>& cols) const
{
    TRow row;
    row.values = QVector<QVariant>(m_def.fields.size());
    row.id = cols.value(0).toLongLong();
    if (m_autoIncField >= 0)
        row.values[m_autoIncField] = int(row.id);
    for (int c = 0; c < m_storedFields.size(); ++c) {
        const int fi = m_storedFields[c];
        row.values[fi] = ReadStoreValue(m_def.fields[fi], cols.value(c + 1));
    }
    return row;
}

void TTable::RunCalcOn(TRow& row)
{
    if (!OnCalcFields)
        return;
    std::swap(m_buf, row.values);
    try {
        RunCalc();
    } catch (...) {
        std::swap(m_buf, row.values);
        throw;
    }
    std::swap(m_buf, row.values);
}

QList<TRow> TTable::FetchRows(const QString& tail, const QVariantList& binds)
{
    QList<TRow> rows;
    for (const QVector<QVariant>& cols : m_db.SelectRows(Select() + tail, binds))
        rows.append(ReadRow(cols));
    return rows;
}

void TTable::Load(const TRow& row)
{
    m_buf = row.values;
    m_id = row.id;
    m_hasRecord = true;
    m_changed.fill(false);
    RunCalc();
}

void TTable::LoadEmpty()
{
    ClearBuffer();
    m_hasRecord = false;
    m_id = 0;
    m_eof = m_bof = true;
    RunCalc();
}

bool TTable::Fetch(const QString& tail, const QVariantList& binds, bool)
{
    const QList<QVector<QVariant>> rows = m_db.SelectRows(Select() + tail, binds, 1);
    if (rows.isEmpty())
        return false;
    Load(ReadRow(rows.first()));
    return true;
}

bool TTable::FetchById(qint64 id, bool forUpdate)
{
    const bool lock = forUpdate && m_db.Kind() == TStoreKind::Postgres && m_db.InTransaction();
    const int kind = lock ? kByIdLock : kById;
    QString& tail = SqlCache()[kind];
    if (tail.isEmpty())
        tail = u" WHERE "_s + TDatabase::Quote(m_def.IdentityColumn()) + u" = ?"_s +
               (lock ? u" FOR UPDATE"_s : u""_s);
    return Fetch(tail, {QVariant(id)});
}

// ---------------------------------------------------------------------------------------------------

void TTable::Open()
{
    if (Active())
        return;
    if (!m_db.Connected())
        throw EDatabaseError(u"Databáze není připojena."_s, m_def.component);
    SetState(TDataSetState::Browse);
    try {
        First();
    } catch (...) {
        SetState(TDataSetState::Inactive);
        LoadEmpty();
        throw;
    }
    emit AfterOpen();
}

void TTable::Close()
{
    if (!Active())
        return;
    if (State() == TDataSetState::Edit || State() == TDataSetState::Insert)
        Cancel();
    m_hasRange = false;
    m_rangeLo.clear();
    m_rangeHi.clear();
    m_currentCache = nullptr;
    LoadEmpty();
    SetState(TDataSetState::Inactive);
    emit AfterClose();
}

void TTable::SetIndexName(const QString& name)
{
    const QString trimmed = name.trimmed();
    const TIndexDef* ix = nullptr;
    if (!trimmed.isEmpty() &&
        trimmed.compare(QString::fromUtf16(kSequentialIndex), Qt::CaseInsensitive) != 0) {
        ix = m_def.Index(name);
        if (!ix)
            throw EDatabaseError(u"Index '%1' v tabulce %2 neexistuje."_s.arg(name, m_tableName),
                                 m_def.component);
    }
    if (Active())
        CheckBrowseMode();
    m_indexName = ix ? ix->name : QString();
    m_index = ix;
    m_hasRange = false;
    Invalidate();
}

void TTable::CheckBrowseMode()
{
    CheckActive();
    if (State() == TDataSetState::Edit || State() == TDataSetState::Insert)
        Post();
}

void TTable::First()
{
    CheckBrowseMode();
    QString& tail = SqlCache()[kFirst];
    QVariantList binds;
    const QString where = BaseWhere(binds);
    if (tail.isEmpty())
        tail = (where.isEmpty() ? QString() : u" WHERE "_s + where) + OrderBy(false) + u" LIMIT 1"_s;
    if (!Fetch(tail, binds))
        LoadEmpty();
    m_bof = true;
    m_eof = !m_hasRecord;
    emit AfterScroll();
}

void TTable::Last()
{
    CheckBrowseMode();
    QString& tail = SqlCache()[kLast];
    QVariantList binds;
    const QString where = BaseWhere(binds);
    if (tail.isEmpty())
        tail = (where.isEmpty() ? QString() : u" WHERE "_s + where) + OrderBy(true) + u" LIMIT 1"_s;
    if (!Fetch(tail, binds))
        LoadEmpty();
    m_eof = true;
    m_bof = !m_hasRecord;
    emit AfterScroll();
}

bool TTable::Step(bool forward)
{
    const Order& o = CurrentOrder();
    const int n = int(o.columns.size());
    // SQLite seeks a row value only on the columns before a trailing identity (the rowid) and then
    // walks every record of the current key from its start, so a step inside a key with many records
    // would cost as much as the key has records. Look for the next identity within the key first (an
    // exact seek), then for the next key.
    const int lastField = o.fieldIndexes.last();
    const bool identityLast = lastField < 0 || m_def.fields[lastField].type == TFieldType::AutoInc;
    if (m_db.Kind() == TStoreKind::Sqlite && n > 1 && identityLast) {
        const bool greater = forward != o.descending;
        const QString cmp = greater ? u" > "_s : u" < "_s;
        QVariantList binds;
        const QString where = BaseWhere(binds);
        const QString keyCols = Tuple(o.columns.mid(0, n - 1));
        const QVariantList key = CurrentKey(m_buf, m_id);
        QString& inKey = SqlCache()[forward ? kNextInKey : kPriorInKey];
        if (inKey.isEmpty())
            inKey = u" WHERE "_s + (where.isEmpty() ? QString() : where + u" AND "_s) + keyCols + u" = "_s +
                    Placeholders(n - 1) + u" AND "_s + o.columns.last() + cmp + u"?"_s + OrderBy(!forward) +
                    u" LIMIT 1"_s;
        if (Fetch(inKey, binds + key))
            return true;
        QString& nextKey = SqlCache()[forward ? kNextKey : kPriorKey];
        if (nextKey.isEmpty())
            nextKey = u" WHERE "_s + (where.isEmpty() ? QString() : where + u" AND "_s) + keyCols + cmp +
                      Placeholders(n - 1) + OrderBy(!forward) + u" LIMIT 1"_s;
        return Fetch(nextKey, binds + key.mid(0, n - 1));
    }
    const int kind = forward ? kNext : kPrior;
    QString& tail = SqlCache()[kind];
    QVariantList binds;
    const QString where = BaseWhere(binds);
    if (tail.isEmpty()) {
        const bool greater = forward != o.descending;
        tail = u" WHERE "_s + (where.isEmpty() ? QString() : where + u" AND "_s) + Tuple(o.columns) +
               (greater ? u" > "_s : u" < "_s) + Placeholders(int(o.columns.size())) + OrderBy(!forward) +
               u" LIMIT 1"_s;
    }
    binds += CurrentKey(m_buf, m_id);
    return Fetch(tail, binds);
}

void TTable::Next()
{
    CheckBrowseMode();
    if (!m_hasRecord) {
        m_eof = true;
        return;
    }
    if (Step(true))
        m_eof = m_bof = false;
    else
        m_eof = true;
    emit AfterScroll();
}

void TTable::Prior()
{
    CheckBrowseMode();
    if (!m_hasRecord) {
        m_bof = true;
        return;
    }
    if (Step(false))
        m_eof = m_bof = false;
    else
        m_bof = true;
    emit AfterScroll();
}

bool TTable::FindKey(const QVariantList& values)
{
    CheckBrowseMode();
    if (!m_index)
        throw EDatabaseError(u"Hledání podle klíče vyžaduje zvolený index."_s, m_def.component);
    const int n = std::min<int>(int(values.size()), int(m_index->fields.size()));
    if (n == 0)
        throw EDatabaseError(u"Chybí hodnota klíče."_s, m_def.component);
    QString& tail = SqlCache()[kFindKey + n];
    QVariantList binds;
    const QString where = BaseWhere(binds);
    if (tail.isEmpty()) {
        QStringList conds;
        if (!where.isEmpty())
            conds << where;
        for (int i = 0; i < n; ++i)
            conds << TDatabase::Quote(m_index->fields[i]) + u" = ?"_s;
        tail = u" WHERE "_s + conds.join(u" AND "_s) + OrderBy(false) + u" LIMIT 1"_s;
    }
    for (int i = 0; i < n; ++i)
        binds << BindSought(*m_def.Field(m_index->fields[i]), values[i]);
    if (!Fetch(tail, binds))
        return false;
    m_eof = m_bof = false;
    emit AfterScroll();
    return true;
}

void TTable::FindNearest(const QVariantList& values)
{
    CheckBrowseMode();
    if (!m_index)
        throw EDatabaseError(u"Hledání podle klíče vyžaduje zvolený index."_s, m_def.component);
    const int n = std::min<int>(int(values.size()), int(m_index->fields.size()));
    if (n == 0) {
        First();
        return;
    }
    QString& tail = SqlCache()[kNearest + n];
    QVariantList binds;
    const QString where = BaseWhere(binds);
    if (tail.isEmpty()) {
        QStringList cols;
        for (int i = 0; i < n; ++i)
            cols << TDatabase::Quote(m_index->fields[i]);
        tail = u" WHERE "_s + (where.isEmpty() ? QString() : where + u" AND "_s) + Tuple(cols) +
               (m_index->descending ? u" <= "_s : u" >= "_s) + Placeholders(n) + OrderBy(false) +
               u" LIMIT 1"_s;
    }
    for (int i = 0; i < n; ++i)
        binds << BindSought(*m_def.Field(m_index->fields[i]), values[i]);
    if (Fetch(tail, binds)) {
        m_eof = m_bof = false;
        emit AfterScroll();
    } else {
        Last();  // nothing at or after the key: stand on the last record, at the end
    }
}

void TTable::SetRange(const QVariantList& startValues, const QVariantList& endValues)
{
    CheckBrowseMode();
    if (!m_index)
        throw EDatabaseError(u"Rozsah vyžaduje zvolený index."_s, m_def.component);
    m_hasRange = true;
    m_rangeLo = startValues;
    m_rangeHi = endValues;
    m_currentCache = nullptr;
    First();
}

void TTable::CancelRange()
{
    if (!m_hasRange)
        return;
    m_hasRange = false;
    m_rangeLo.clear();
    m_rangeHi.clear();
    m_currentCache = nullptr;
    if (Active())
        First();
}

bool TTable::Locate(const QString& fields, const QVariantList& values)
{
    CheckBrowseMode();
    const QStringList names = fields.split(u';', Qt::SkipEmptyParts);
    if (names.isEmpty() || names.size() != values.size())
        throw EDatabaseError(u"Počet polí a hodnot hledání nesouhlasí."_s, m_def.component);
    QVariantList binds;
    const QString where = BaseWhere(binds);
    QStringList conds;
    if (!where.isEmpty())
        conds << where;
    for (int i = 0; i < names.size(); ++i) {
        const TFieldDef* f = m_def.Field(names[i].trimmed());
        if (!f || f->calculated)
            throw EDatabaseError(u"Pole '%1' nenalezeno."_s.arg(names[i]), m_def.component);
        const QVariant v = FieldValues::Normalize(*f, values[i], FieldValues::TTextFit::Whole);
        if (!v.isValid() || v.isNull()) {
            conds << TDatabase::Quote(f->name) + u" IS NULL"_s;
        } else {
            conds << TDatabase::Quote(f->name) + u" = ?"_s;
            binds << (m_def.IsKeyField(f->name)
                          ? BindSought(*f, v)
                          : StoreValue(*f, v, false, m_db.Kind(), FieldValues::TTextFit::Whole));
        }
    }
    const QString tail = u" WHERE "_s + conds.join(u" AND "_s) + OrderBy(false) + u" LIMIT 1"_s;
    if (!Fetch(tail, binds))
        return false;
    m_eof = m_bof = false;
    emit AfterScroll();
    return true;
}

void TTable::SetFilter(const QString& expression)
{
    const TParsedFilter parsed = ParseFilter(expression, m_def);
    QVariantList binds;
    for (const TFilterParam& p : parsed.params)
        binds << BindSought(*p.field, p.literal);
    m_filterText = expression;
    m_filterSql = parsed.sql;
    m_filterBinds = binds;
    m_currentCache = nullptr;
    if (Active() && m_filtered)
        First();
}

void TTable::SetFiltered(bool on)
{
    if (m_filtered == on)
        return;
    m_filtered = on;
    m_currentCache = nullptr;
    if (Active())
        First();
}

bool TTable::IsEmpty()
{
    CheckActive();
    if (State() == TDataSetState::Insert)
        return false;
    return !m_hasRecord;
}

int TTable::RecordCount()
{
    CheckActive();
    QString& sql = SqlCache()[kCount];
    QVariantList binds;
    const QString where = BaseWhere(binds);
    if (sql.isEmpty())
        sql = u"SELECT COUNT(*) FROM "_s + TDatabase::TableSql(m_tableName) +
              (where.isEmpty() ? QString() : u" WHERE "_s + where);
    QSqlQuery& q = m_db.Prepare(sql);
    for (int i = 0; i < binds.size(); ++i)
        q.bindValue(i, binds[i]);
    TDatabase::Exec(q);
    const int n = q.next() ? q.value(0).toInt() : 0;
    q.finish();
    return n;
}

int TTable::RecNo()
{
    CheckActive();
    if (!m_hasRecord)
        return 0;
    const Order& o = CurrentOrder();
    QVariantList binds;
    const QString where = BaseWhere(binds);
    const QString sql = u"SELECT COUNT(*) FROM "_s + TDatabase::TableSql(m_tableName) + u" WHERE "_s +
                        (where.isEmpty() ? QString() : where + u" AND "_s) + Tuple(o.columns) +
                        (o.descending ? u" > "_s : u" < "_s) + Placeholders(int(o.columns.size()));
    binds += CurrentKey(m_buf, m_id);
    QSqlQuery& q = m_db.Prepare(sql);
    for (int i = 0; i < binds.size(); ++i)
        q.bindValue(i, binds[i]);
    TDatabase::Exec(q);
    const int n = q.next() ? q.value(0).toInt() : 0;
    q.finish();
    return n + 1;
}

TBookmark TTable::GetBookmark() const
{
    return m_hasRecord ? TBookmark{m_id, true} : TBookmark{};
}

bool TTable::BookmarkValid(const TBookmark& b)
{
    if (!b.valid || !Active())
        return false;
    const QString sql = u"SELECT 1 FROM "_s + TDatabase::TableSql(m_tableName) + u" WHERE "_s +
                        TDatabase::Quote(m_def.IdentityColumn()) + u" = ?"_s;
    QSqlQuery& q = m_db.Prepare(sql);
    q.bindValue(0, b.id);
    TDatabase::Exec(q);
    const bool found = q.next();
    q.finish();
    return found;
}

void TTable::GotoBookmark(const TBookmark& b)
{
    CheckBrowseMode();
    if (!b.valid)
        throw EDatabaseError(u"Neplatná záložka."_s, m_def.component);
    if (!FetchById(b.id, false))
        throw EDatabaseError(u"Záznam nenalezen."_s, m_def.component);
    m_eof = m_bof = false;
    emit AfterScroll();
}

TRow TTable::CurrentRow() const
{
    return TRow{m_buf, m_id};
}

void TTable::GotoRow(const TRow& row)
{
    GotoBookmark(TBookmark{row.id, true});
}

QList<TRow> TTable::ReadRows(const TRow* from, int count, bool forward)
{
    CheckActive();
    const Order& o = CurrentOrder();
    QVariantList binds;
    const QString where = BaseWhere(binds);
    const int n = int(o.columns.size());
    // As in Step: SQLite would walk `from`'s whole key from its start for every block. Read the rest of
    // that key by an exact seek on the identity, then the keys after it.
    if (from && m_db.Kind() == TStoreKind::Sqlite && n > 1 && o.fieldIndexes.last() < 0) {
        const QString cmp = forward != o.descending ? u" > "_s : u" < "_s;
        const QString head = u" WHERE "_s + (where.isEmpty() ? QString() : where + u" AND "_s);
        const QString keyCols = Tuple(o.columns.mid(0, n - 1));
        const QVariantList key = CurrentKey(from->values, from->id);
        const QString limit = OrderBy(!forward) + u" LIMIT ?"_s;
        QList<TRow> rows = FetchRows(head + keyCols + u" = "_s + Placeholders(n - 1) + u" AND "_s +
                                         o.columns.last() + cmp + u"?"_s + limit,
                                     binds + key + QVariantList{qint64(std::max(count, 0))});
        if (rows.size() < count)
            rows += FetchRows(head + keyCols + cmp + Placeholders(n - 1) + limit,
                              binds + key.mid(0, n - 1) + QVariantList{qint64(count - rows.size())});
        for (TRow& r : rows)
            RunCalcOn(r);
        return rows;
    }
    QStringList conds;
    if (!where.isEmpty())
        conds << where;
    if (from) {
        const bool greater = forward != o.descending;
        conds << Tuple(o.columns) + (greater ? u" > "_s : u" < "_s) + Placeholders(n);
        binds += CurrentKey(from->values, from->id);
    }
    const QString tail = (conds.isEmpty() ? QString() : u" WHERE "_s + conds.join(u" AND "_s)) +
                         OrderBy(!forward) + u" LIMIT "_s + QString::number(std::max(count, 0));
    QList<TRow> rows = FetchRows(tail, binds);
    for (TRow& r : rows)
        RunCalcOn(r);
    return rows;
}

QList<TRow> TTable::ReadRowsAt(int offset, int count, bool forward)
{
    CheckActive();
    QVariantList binds;
    const QString where = BaseWhere(binds);
    const QString tail =
        (where.isEmpty() ? QString() : u" WHERE "_s + where) + OrderBy(!forward) + u" LIMIT ? OFFSET ?"_s;
    binds << QVariant(qint64(std::max(count, 0))) << QVariant(qint64(std::max(offset, 0)));
    QList<TRow> rows = FetchRows(tail, binds);
    for (TRow& r : rows)
        RunCalcOn(r);
    return rows;
}

// ---------------------------------------------------------------------------------------------------

void TTable::Append()
{
    CheckBrowseMode();
    m_beforeInsert = m_buf;
    m_beforeInsertId = m_id;
    m_beforeInsertHad = m_hasRecord;
    StartEditBuffer(true);
    SetState(TDataSetState::Insert);
    emit AfterScroll();
}

void TTable::Edit()
{
    CheckActive();
    if (State() == TDataSetState::Edit || State() == TDataSetState::Insert)
        return;
    if (!m_hasRecord) {
        Append();
        return;
    }
    // Always start from the stored record; inside a transaction also hold it against other tills.
    if (!FetchById(m_id, true))
        throw EDatabaseError(u"Záznam byl mezitím smazán jiným uživatelem."_s, m_def.component);
    StartEditBuffer(false);
    SetState(TDataSetState::Edit);
}

void TTable::Post()
{
    CheckActive();
    const QString table = TDatabase::TableSql(m_tableName);
    const QString idCol = TDatabase::Quote(m_def.IdentityColumn());
    if (State() == TDataSetState::Insert) {
        QVariantList binds;
        for (int fi : m_storedFields) {
            const TFieldDef& f = m_def.fields[fi];
            if (f.type != TFieldType::AutoInc)
                binds << Bind(f, m_buf[fi], m_keyFields[fi]);
        }
        if (m_insertSql.isEmpty()) {
            QStringList cols, marks;
            for (int fi : m_storedFields) {
                const TFieldDef& f = m_def.fields[fi];
                if (f.type == TFieldType::AutoInc)
                    continue;
                cols << TDatabase::Quote(f.name);
                marks << u"?"_s;
            }
            Select();
            m_insertSql = u"INSERT INTO "_s + table + u" ("_s + cols.join(u", "_s) + u") VALUES ("_s +
                          marks.join(u", "_s) + u") RETURNING "_s + m_selectCols;
        }
        // Writes go the way of the cursor's reads: on SQLite straight to the library, without the Qt
        // driver's per-statement bookkeeping. The stored record comes back with the write itself, as a
        // reading of it would give it, instead of by a second statement.
        const QList<QVector<QVariant>> rows = m_db.SelectRows(m_insertSql, binds);
        if (rows.size() != 1 || rows.first().isEmpty())
            throw EDatabaseError(u"Záznam nebyl uložen."_s, m_def.component);
        Load(ReadRow(rows.first()));
    } else if (State() == TDataSetState::Edit) {
        QStringList sets, checks;
        QVariantList setBinds, checkBinds;
        const bool pg = m_db.Kind() == TStoreKind::Postgres;
        for (int fi : m_storedFields) {
            if (!m_changed[fi])
                continue;
            const TFieldDef& f = m_def.fields[fi];
            const bool key = m_keyFields[fi];
            sets << TDatabase::Quote(f.name) + u" = ?"_s;
            setBinds << Bind(f, m_buf[fi], key);
            // Refuse to overwrite what another till changed since the record was read.
            checks << TDatabase::Quote(f.name) + (pg ? u" IS NOT DISTINCT FROM ?"_s : u" IS ?"_s);
            checkBinds << Bind(f, m_saved[fi], key);
        }
        if (!sets.isEmpty()) {
            // The record changed comes back: none when another till got there first.
            Select();
            const QString sql = u"UPDATE "_s + table + u" SET "_s + sets.join(u", "_s) + u" WHERE "_s +
                                idCol + u" = ? AND "_s + checks.join(u" AND "_s) + u" RETURNING "_s +
                                m_selectCols;
            const QVariantList binds = setBinds + QVariantList{QVariant(m_id)} + checkBinds;
            const QList<QVector<QVariant>> rows = m_db.SelectRows(sql, binds);
            if (rows.size() != 1)
                throw EDatabaseError(u"Záznam byl mezitím změněn nebo smazán jiným uživatelem."_s,
                                     m_def.component);
            Load(ReadRow(rows.first()));
        } else if (!FetchById(m_id, false)) {
            throw EDatabaseError(u"Záznam byl mezitím smazán jiným uživatelem."_s, m_def.component);
        }
    } else {
        return;
    }
    m_modified = false;
    m_eof = m_bof = false;
    SetState(TDataSetState::Browse);
    emit AfterPost();
    emit AfterScroll();
}

void TTable::Cancel()
{
    if (State() == TDataSetState::Insert) {
        m_buf = m_beforeInsert;
        m_id = m_beforeInsertId;
        m_hasRecord = m_beforeInsertHad;
    } else if (State() == TDataSetState::Edit) {
        m_buf = m_saved;
    } else {
        return;
    }
    m_changed.fill(false);
    m_modified = false;
    SetState(TDataSetState::Browse);
    RunCalc();
    emit AfterCancel();
    emit AfterScroll();
}

void TTable::Delete()
{
    CheckActive();
    if (State() == TDataSetState::Insert) {
        Cancel();
        return;
    }
    if (State() == TDataSetState::Edit)
        Cancel();
    if (!m_hasRecord)
        throw EDatabaseError(u"Nelze smazat záznam z prázdné tabulky."_s, m_def.component);
    const QString sql = u"DELETE FROM "_s + TDatabase::TableSql(m_tableName) + u" WHERE "_s +
                        TDatabase::Quote(m_def.IdentityColumn()) + u" = ?"_s;
    QSqlQuery& q = m_db.Prepare(sql);
    q.bindValue(0, m_id);
    TDatabase::Exec(q);
    q.finish();
    // Stand on the record that followed the deleted one, or on the one before it at the end.
    if (Step(true)) {
        m_eof = m_bof = false;
    } else if (Step(false)) {
        m_eof = true;
        m_bof = false;
    } else {
        LoadEmpty();
    }
    emit AfterDelete();
    emit AfterScroll();
}

void TTable::Refresh()
{
    CheckBrowseMode();
    if (m_hasRecord && !FetchById(m_id, false))
        First();
    emit AfterScroll();
}
