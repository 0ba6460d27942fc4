#include "DbTool.h"
#include "StoreValues.h"

#include "CheckReceipts.h"

#include "DataUnit.h"
#include "Messages.h"
#include "SchemaSql.h"

#include <QElapsedTimer>
#include <QHash>
#include <QLocale>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTextStream>

#include <cmath>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

const QString kOpenTill = u"0000000000"_s;  // HLA_DO2 of a receipt that no till closure took in

QVariant StoreValue(const TFieldDef& f, const QVariant& value, bool key, bool pg)
{
    return ::StoreValue(f, value, key, pg ? TStoreKind::Postgres : TStoreKind::Sqlite);
}

bool SqlBool(const QVariant& v)
{
    if (v.typeId() == QMetaType::QString)
        return v.toString() == u"t"_s || v.toString() == u"true"_s || v.toString() == u"1"_s;
    return v.toBool();
}

// Whole texts of digits only, as numbers (codes and document numbers).
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
    return QString::number(ms / 1000.0, 'f', 2) + u" s"_s;
}

// Two figures that should be equal: sums taken in another order may differ in the last bits.
bool Same(double a, double b)
{
    return std::fabs(a - b) <= 1e-6 * std::max({1.0, std::fabs(a), std::fabs(b)});
}

QString Sql(const TTableDef& def, const QString& organisation)
{
    return TDatabase::TableSql(TableNameFor(def, organisation));
}

// ---------------------------------------------------------------------------------------------------
// Rows of one table with a fixed list of columns: through a cursor (the demo) or as multi-row prepared
// INSERTs (generated volumes; on PostgreSQL every statement is a round trip).

class TRowWriter {
public:
    TRowWriter(const TTableDef& def, const QStringList& columns, const QString& matchColumn)
    {
        for (const QString& c : columns) {
            const int fi = def.FieldIndex(c);
            Q_ASSERT(fi >= 0);
            m_fields << fi;
        }
        m_match = matchColumn.isEmpty() ? -1 : int(columns.indexOf(matchColumn));
    }
    virtual ~TRowWriter() = default;

    // Values in the order of the columns; an invalid QVariant leaves the column empty.
    virtual void Add(const QVariantList& values) = 0;
    virtual void Flush() {}
    qint64 Count() const { return m_count; }
    // Identity of each stored row by the value of its match column, once flushed.
    qint64 StoredId(const QString& match) const { return m_ids.value(match, 0); }

protected:
    QList<int> m_fields;
    int m_match = -1;
    qint64 m_count = 0;
    QHash<QString, qint64> m_ids;
};

class TCursorWriter final : public TRowWriter {
public:
    TCursorWriter(TDatabase& db, const TTableDef& def, const QString& tableName, const QStringList& columns,
                  const QString& matchColumn)
        : TRowWriter(def, columns, matchColumn), m_table(db, def)
    {
        m_table.SetTableName(tableName);
        m_table.Open();
    }

    void Add(const QVariantList& values) override
    {
        m_table.Append();
        for (int i = 0; i < m_fields.size(); ++i)
            if (values.value(i).isValid())
                m_table.Fields(m_fields[i]).SetValue(values[i]);
        m_table.Post();
        if (m_match >= 0)
            m_ids.insert(values[m_match].toString(), m_table.CurrentRow().id);
        ++m_count;
    }

private:
    TTable m_table;
};

class TBulkWriter final : public TRowWriter {
public:
    TBulkWriter(TDatabase& db, const TTableDef& def, const QString& tableName, const QStringList& columns,
                const QString& matchColumn, int batchRows)
        : TRowWriter(def, columns, matchColumn), m_db(db), m_def(def), m_batch(std::max(1, batchRows))
    {
        m_pg = db.Kind() == TStoreKind::Postgres;
        QStringList cols;
        for (int fi : m_fields) {
            cols << TDatabase::Quote(def.fields[fi].name);
            m_keys << def.IsKeyField(def.fields[fi].name);
        }
        m_head = u"INSERT INTO "_s + TDatabase::TableSql(tableName) + u" ("_s + cols.join(u", "_s) +
                 u") VALUES "_s;
        QStringList marks(m_fields.size(), u"?"_s);
        m_rowMarks = u'(' + marks.join(u", "_s) + u')';
        if (m_match >= 0)
            m_tail = u" RETURNING "_s + TDatabase::Quote(def.IdentityColumn()) + u", "_s + cols[m_match];
        m_binds.reserve(m_batch * m_fields.size());
    }

    void Add(const QVariantList& values) override
    {
        for (int i = 0; i < m_fields.size(); ++i)
            m_binds << StoreValue(m_def.fields[m_fields[i]], values.value(i), m_keys[i], m_pg);
        ++m_count;
        if (++m_rows == m_batch)
            Flush();
    }

    void Flush() override
    {
        if (m_rows == 0)
            return;
        QSqlQuery& q = m_db.Prepare(Statement(m_rows));
        for (int i = 0; i < m_binds.size(); ++i)
            q.bindValue(i, m_binds[i]);
        TDatabase::Exec(q);
        if (m_match >= 0)
            while (q.next())
                m_ids.insert(q.value(1).toString(), q.value(0).toLongLong());
        q.finish();
        m_binds.clear();
        m_rows = 0;
    }

private:
    QString Statement(int rows)
    {
        QString sql = m_head;
        sql.reserve(m_head.size() + rows * (m_rowMarks.size() + 2) + m_tail.size());
        for (int r = 0; r < rows; ++r) {
            if (r)
                sql += u", "_s;
            sql += m_rowMarks;
        }
        return sql + m_tail;
    }

    TDatabase& m_db;
    const TTableDef& m_def;
    int m_batch;
    bool m_pg = false;
    QList<bool> m_keys;
    QString m_head, m_rowMarks, m_tail;
    QVariantList m_binds;
    int m_rows = 0;
};

// ---------------------------------------------------------------------------------------------------
// A data set to write: cards with their variants, receipts with their sale lines, passes with their
// movements. Stock figures, journal rows and totals are derived from it while it is written, the way
// the program's postings derive them, so that every invariant holds by construction.

struct TPlanCard {
    QString kav, nac, sku;
    bool skl = true;
    double pc1 = 0, pc2 = 0;
    int dan = 0;
    int firstVariant = 0, variantCount = 0;
};

struct TPlanVariant {
    int card = 0;
    QString ind;
    double snc = 0;
    double poc = 0;
    double sold = 0;
};

struct TPlanLine {
    int variant = 0;
    double qty = 0;  // pieces sold, positive
};

struct TPlanReceipt {
    QDateTime at;
    QString fuh, ref;
    int firstLine = 0, lineCount = 0;
};

struct TPlanMove {
    int card = 0;
    double kus = 0;
    double koe = 1;  // +1 deposit, -1 withdrawal
    QDate dat;
};

struct TPlanPass {
    QString kod, jme;
    QDateTime odd, dod;
    int firstMove = 0, moveCount = 0;
};

struct TPlan {
    std::vector<TPlanCard> cards;
    std::vector<TPlanVariant> variants;
    std::vector<TPlanReceipt> receipts;
    std::vector<TPlanLine> lines;
    std::vector<TPlanPass> passes;
    std::vector<TPlanMove> moves;

    int AddCard(TPlanCard c)
    {
        c.firstVariant = int(variants.size());
        c.variantCount = 0;
        cards.push_back(std::move(c));
        return int(cards.size()) - 1;
    }
    void AddVariant(int card, double snc, double poc)
    {
        TPlanCard& c = cards[card];
        variants.push_back(
            TPlanVariant{card, u"%1"_s.arg(c.variantCount, 3, 10, QLatin1Char('0')), snc, poc, 0});
        ++c.variantCount;
    }
};

// What the written figures follow from: the station's VAT rates and whether prices include VAT.
struct TStation {
    int dan22 = 22, dan05 = 5, dan00 = 0;
    bool gross = true;
};

struct TWriters {
    std::unique_ptr<TRowWriter> sor, skl, uce, den, leg, lep;

    void FlushAll()
    {
        for (auto* w : {sor.get(), skl.get(), uce.get(), den.get(), leg.get(), lep.get()})
            w->Flush();
    }
};

const QStringList kSorColumns{u"SOR_KAV"_s, u"SOR_NAC"_s, u"SOR_PC1"_s, u"SOR_PC2"_s, u"SOR_STA"_s,
                              u"SOR_DAN"_s, u"SOR_SKL"_s, u"SOR_OLD"_s, u"SOR_SKU"_s, u"SOR_BLO"_s,
                              u"SOR_MJE"_s, u"SOR_KOM"_s, u"SOR_PPO"_s, u"SOR_MIN"_s};
const QStringList kSklColumns{u"SKL_KAV"_s, u"SKL_IND"_s, u"SKL_SNC"_s, u"SKL_POC"_s,
                              u"SKL_STA"_s, u"SKL_MEN"_s, u"SKL_KUR"_s};
const QStringList kDenColumns{u"DEN_DAT"_s, u"DEN_DOK"_s, u"DEN_KAV"_s, u"DEN_IND"_s, u"DEN_OPE"_s,
                              u"DEN_KUS"_s, u"DEN_HPC"_s, u"DEN_HNC"_s, u"DEN_DAN"_s, u"DEN_ZAS"_s,
                              u"DEN_REF"_s, u"DEN_POZ"_s, u"DEN_KDY"_s};
const QStringList kUceColumns{u"HLA_DAT"_s, u"HLA_DO1"_s, u"HLA_DO2"_s, u"HLA_CUH"_s, u"HLA_FHV"_s,
                              u"HLA_PCA"_s, u"HLA_NCA"_s, u"HLA_DVS"_s, u"HLA_DZP"_s, u"HLA_DSP"_s,
                              u"HLA_FUH"_s, u"HLA_Z00"_s, u"HLA_Z05"_s, u"HLA_Z22"_s, u"HLA_D05"_s,
                              u"HLA_D22"_s, u"HLA_PLA"_s, u"HLA_EDT"_s, u"HLA_PRN"_s, u"HLA_REF"_s,
                              u"HLA_CEN"_s, u"HLA_SLE"_s, u"HLA_TSK"_s, u"HLA_VLO"_s};
const QStringList kLegColumns{u"LEG_KOD"_s, u"LEG_ODD"_s, u"LEG_DOD"_s,
                              u"LEG_JME"_s, u"LEG_POC"_s, u"LEG_CER"_s};
const QStringList kLepColumns{u"LEP_IDM"_s, u"LEP_KAV"_s, u"LEP_NAC"_s, u"LEP_PC1"_s, u"LEP_KUS"_s,
                              u"LEP_ZUS"_s, u"LEP_DAT"_s, u"LEP_DAN"_s, u"LEP_KOE"_s};

TWriters MakeWriters(TDatabase& db, const QString& organisation, bool bulk)
{
    const int batch = db.Kind() == TStoreKind::Postgres ? 500 : 200;
    auto make = [&](const char16_t* prefix, const QStringList& cols, const QString& match = {}) {
        const TTableDef& def = TableDef(QString::fromUtf16(prefix));
        const QString name = TableNameFor(def, organisation);
        return bulk
                   ? std::unique_ptr<TRowWriter>(
                         std::make_unique<TBulkWriter>(db, def, name, cols, match, batch))
                   : std::unique_ptr<TRowWriter>(std::make_unique<TCursorWriter>(db, def, name, cols, match));
    };
    TWriters w;
    w.sor = make(u"SOR", kSorColumns);
    w.skl = make(u"SKL", kSklColumns);
    w.uce = make(u"UCE", kUceColumns);
    w.den = make(u"DEN", kDenColumns);
    w.leg = make(u"LEG", kLegColumns, u"LEG_KOD"_s);
    w.lep = make(u"LEP", kLepColumns);
    return w;
}

double FinalStock(const TPlan& plan, const TPlanVariant& v)
{
    return plan.cards[v.card].skl ? v.poc - v.sold : v.poc;
}

// Assortment and stock cards with their stock after all the plan's sales.
void WriteCards(TPlan& plan, TWriters& w)
{
    for (auto& v : plan.variants)
        v.sold = 0;
    std::vector<QDate> lastSale(plan.cards.size());
    for (const TPlanReceipt& r : plan.receipts)
        for (int i = r.firstLine; i < r.firstLine + r.lineCount; ++i) {
            TPlanVariant& v = plan.variants[plan.lines[i].variant];
            v.sold += plan.lines[i].qty;
            lastSale[v.card] = r.at.date();
        }
    for (size_t ci = 0; ci < plan.cards.size(); ++ci) {
        const TPlanCard& c = plan.cards[ci];
        double sta = 0;
        for (int vi = c.firstVariant; vi < c.firstVariant + c.variantCount; ++vi)
            sta += FinalStock(plan, plan.variants[vi]);
        w.sor->Add({c.kav, c.nac, c.pc1, c.pc2, sta, double(c.dan), c.skl, false, c.sku, 0.0, u"ks"_s, false,
                    lastSale[ci].isValid() ? QVariant(lastSale[ci]) : QVariant(), 0.0});
    }
    for (const TPlanVariant& v : plan.variants)
        w.skl->Add({plan.cards[v.card].kav, v.ind, v.snc, v.poc, FinalStock(plan, v), u"CZK"_s, 1.0});
}

QString ReceiptNumber(qint64 n)
{
    return u"%1"_s.arg(n, 10, 10, QLatin1Char('0'));
}

// Receipts and their journal rows, numbered after `lastNumber`, as the receipt window posts them: every
// line one sale movement "005" at the card's price (made net when prices include VAT), the variant's
// stock after it in DEN_ZAS, the header totals and VAT buckets summed line by line.
void WriteReceipts(const TPlan& plan, TWriters& w, const TStation& st, qint64 lastNumber,
                   const std::function<void(qint64)>& progress)
{
    std::vector<double> stock(plan.variants.size());
    for (size_t i = 0; i < plan.variants.size(); ++i)
        stock[i] = plan.variants[i].poc;
    const QVariant sale = u"005"_s;
    qint64 written = 0;
    for (size_t ri = 0; ri < plan.receipts.size(); ++ri) {
        const TPlanReceipt& r = plan.receipts[ri];
        const QString number = ReceiptNumber(lastNumber + qint64(ri) + 1);
        double cuh = 0, pca = 0, nca = 0, z00 = 0, z05 = 0, z22 = 0, d05 = 0, d22 = 0;
        for (int li = 0; li < r.lineCount; ++li) {
            const TPlanLine& line = plan.lines[r.firstLine + li];
            const TPlanVariant& v = plan.variants[line.variant];
            const TPlanCard& c = plan.cards[v.card];
            const double q = line.qty;
            const double quantity = -q;
            const double k = 1.0 + c.dan / 100.0;
            // The posting takes prices and the rate in single precision and multiplies in double.
            const float netPrice = float(st.gross ? c.pc1 / k : c.pc1);
            double zas = 0;
            if (c.skl) {
                stock[line.variant] += quantity;
                zas = stock[line.variant];
            }
            const QDateTime at = r.at.addSecs(li);
            w.den->Add({at.date(), number, c.kav, v.ind, sale, quantity, double(netPrice) * quantity,
                        double(float(v.snc)) * quantity, double(float(c.dan)), zas, r.ref, 0.0, at.time()});

            const double pq = c.pc1 * q;
            const double vat = st.gross ? pq - pq / k : pq / 100 * c.dan;
            const double base = st.gross ? pq / k : pq;
            cuh += pq;
            pca += pq;
            if (!c.skl && !st.gross) {
                // A service sold at net prices adds its VAT to the total to pay.
                cuh += vat;
                pca += vat;
            }
            nca += v.snc * q;
            const int rate = int(std::nearbyint(double(c.dan)));
            if (rate == st.dan22) {
                z22 += base;
                d22 += vat;
            }
            if (rate == st.dan05) {
                z05 += base;
                d05 += vat;
            }
            if (rate == st.dan00)
                z00 += base;
            if (progress && ++written % 100000 == 0)
                progress(written);
        }
        const QDate day = r.at.date();
        const bool cash = r.fuh == u"1"_s;
        w.uce->Add({r.at,  number, kOpenTill, cuh, 0.0,   pca,
                    nca,   day,    day,       day, r.fuh, z00,
                    z05,   z22,    d05,       d22, true,  false,
                    false, r.ref,  u"1"_s,    0.0, true,  cash ? std::ceil(cuh / 100) * 100 : 0.0});
    }
}

// Passes with their totals, then their movements in booking order with the balance after each.
void WritePasses(const TPlan& plan, TWriters& w)
{
    for (const TPlanPass& p : plan.passes) {
        double poc = 0, cer = 0;
        for (int mi = p.firstMove; mi < p.firstMove + p.moveCount; ++mi) {
            const TPlanMove& m = plan.moves[mi];
            (m.koe > 0 ? poc : cer) += m.kus * plan.cards[m.card].pc2;
        }
        w.leg->Add({p.kod, p.odd, p.dod, p.jme, poc, cer});
    }
    w.leg->Flush();
    for (const TPlanPass& p : plan.passes) {
        const qint64 id = w.leg->StoredId(p.kod);
        if (id == 0)
            throw EDatabaseError(u"Legitimace %1 nebyla uložena."_s.arg(p.kod));
        double poc = 0, cer = 0;
        for (int mi = p.firstMove; mi < p.firstMove + p.moveCount; ++mi) {
            const TPlanMove& m = plan.moves[mi];
            const TPlanCard& c = plan.cards[m.card];
            const double amount = m.kus * c.pc2;
            (m.koe > 0 ? poc : cer) += amount;
            w.lep->Add({id, c.kav, c.nac, c.pc2, m.kus, poc - cer, QDateTime(m.dat, QTime(0, 0), Qt::UTC),
                        double(c.dan), m.koe});
        }
    }
}

// ---------------------------------------------------------------------------------------------------
// Reading the store.

QList<QVariantList> Rows(TDatabase& db, const QString& sql, const QVariantList& binds = {})
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

QVariant Scalar(TDatabase& db, const QString& sql, const QVariantList& binds = {})
{
    const auto rows = Rows(db, sql, binds);
    return rows.isEmpty() || rows.first().isEmpty() ? QVariant() : rows.first().first();
}

// The highest code of digits in one column (0 when there is none), so that new codes never collide.
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

}  // namespace

// ===================================================================================================

TDbTool::TDbTool(TData& data, QTextStream& out) : m_data(data), m_out(out) {}

namespace {

QString TableList(const QStringList& names)
{
    return names.join(u", "_s);
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

QStringList AllPrefixes()
{
    QStringList p;
    for (const TTableDef* def : AllTableDefs())
        p << def->prefix;
    return p;
}

// Runs `work` in one transaction; anything that fails rolls it all back.
void InTransaction(TDatabase& db, const std::function<void()>& work)
{
    db.StartTransaction();
    try {
        work();
        db.Commit();
    } catch (...) {
        db.Rollback();
        throw;
    }
}

// The login name with which the program signs the system user on without a dialog.
QString OsLogin()
{
    return TData::AutoLoginName(TData::OsUserName());
}

// Receipt counter of the organisation: the first codebook record's CIS_UCE or the highest stored receipt
// number, whichever is higher, so that numbering goes on after everything already stored.
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

// Stores the counter in the first codebook record, creating the record when there is none.
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

// Prices include VAT when the first price list says so (as the receipt overview decides), otherwise
// by the station's setting.
bool GrossPrices(TDatabase& db, const TData& data)
{
    const QVariant dph = Scalar(db, uR"(SELECT "CEN_DPH" FROM %1 ORDER BY "REC_ID" LIMIT 1)"_s.arg(
                                        Sql(TableDef(u"CEN"_s), data.Prodejna)));
    if (dph.isValid() && !dph.isNull())
        return SqlBool(dph);
    return data.ZakladniCenySDPH == 2;
}

// Initials of the operator the program would sign on: the OS user's row, else the first two letters.
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

TStation StationOf(const TData& data, bool gross)
{
    return TStation{data.Dan22, data.Dan05, data.Dan00, gross};
}

}  // namespace

// ---------------------------------------------------------------------------------------------------

void TDbTool::Init()
{
    TDatabase& db = *m_data.ffDatabase;
    const QString org = m_data.Prodejna;
    QStringList existing, kept, created;
    QList<const TTableDef*> toCreate;
    for (const TTableDef* def : AllTableDefs()) {
        const QString name = TableNameFor(*def, org);
        const bool exists = TableExists(db, name);
        if (IsPerOrganisation(*def)) {
            if (exists)
                existing << name;
            else
                toCreate << def;
        } else if (exists) {
            kept << name;  // shared with the other organisations of the store
        } else {
            toCreate << def;
        }
    }
    if (!existing.isEmpty())
        throw EDatabaseError(
            u"Tabulky organizace %1 již existují: %2. Nic nebylo vytvořeno."_s.arg(org, TableList(existing)));

    const QString collation = db.Kind() == TStoreKind::Postgres ? PgCzechCollation(db) : u"cs-CZ-x-icu"_s;
    InTransaction(db, [&] {
        for (const TTableDef* def : toCreate) {
            const QString name = TableNameFor(*def, org);
            for (const QString& sql : CreateTableSql(*def, name, db.Kind(), collation))
                db.ExecDirect(sql);
            created << name;
        }
    });
    m_out << u"Vytvořené tabulky: %1"_s.arg(created.isEmpty() ? u"žádné"_s : TableList(created)) << Qt::endl;
    if (!kept.isEmpty())
        m_out << u"Ponechané společné tabulky: %1"_s.arg(TableList(kept)) << Qt::endl;
}

// ---------------------------------------------------------------------------------------------------

namespace {

enum class TRate { Standard, Reduced, Zero };

struct TDemoCard {
    const char16_t* kav;
    const char16_t* nac;
    const char16_t* sku;
    bool skl;
    TRate rate;
    double pc1, pc2;
    std::vector<std::pair<double, double>> variants;  // purchase price, opening stock
};

struct TDemoLine {
    const char16_t* kav;
    double qty;
};

struct TDemoReceipt {
    int daysAgo;
    QTime at;
    const char16_t* fuh;
    bool byCashier;  // POKLADNI, else the OS user
    std::vector<TDemoLine> lines;
};

struct TDemoMove {
    int daysAgo;
    const char16_t* kav;
    double kus;
    double koe;
};

struct TDemoPass {
    const char16_t* jme;
    int issuedDaysAgo;
    std::vector<TDemoMove> moves;
};

// clang-format off
const std::vector<TDemoCard>& DemoCards()
{
    using R = TRate;
    static const std::vector<TDemoCard> cards{
        {u"100001", u"Vstupné dospělí", u"SLU", false, R::Reduced, 120, 100, {{0, 0}}},
        {u"100002", u"Vstupné děti", u"SLU", false, R::Reduced, 70, 60, {{0, 0}}},
        {u"100003", u"Vstupné senioři", u"SLU", false, R::Reduced, 80, 70, {{0, 0}}},
        {u"100004", u"Permanentka 10 vstupů", u"SLU", false, R::Reduced, 1000, 900, {{0, 0}}},
        {u"100005", u"Permanentka měsíční", u"SLU", false, R::Reduced, 1500, 1350, {{0, 0}}},
        {u"100006", u"Pronájem kurtu 1 hod.", u"SLU", false, R::Standard, 350, 300, {{0, 0}}},
        {u"100007", u"Lekce s trenérem", u"SLU", false, R::Standard, 500, 450, {{0, 0}}},
        {u"100008", u"Zapůjčení rakety", u"SLU", false, R::Standard, 60, 50, {{0, 0}}},
        {u"100009", u"Úschova cenností", u"SLU", false, R::Standard, 20, 20, {{0, 0}}},
        {u"100010", u"Členský příspěvek", u"SLU", false, R::Zero, 800, 800, {{0, 0}}},
        {u"100011", u"Sauna 1 hod.", u"SLU", false, R::Reduced, 150, 130, {{0, 0}}},
        {u"100012", u"Káva espresso", u"NAP", false, R::Reduced, 45, 40, {{0, 0}}},
        {u"100013", u"Čaj s citronem", u"NAP", false, R::Reduced, 35, 30, {{0, 0}}},
        {u"200001", u"Minerální voda 0,5 l", u"NAP", true, R::Reduced, 25, 22, {{9.50, 24}, {10.20, 48}}},
        {u"200002", u"Iontový nápoj 0,5 l", u"NAP", true, R::Reduced, 39, 35, {{18.00, 6}, {19.50, 24}, {20.10, 24}}},
        {u"200003", u"Nealkoholické pivo 0,5 l", u"NAP", true, R::Standard, 39, 35, {{17.90, 20}}},
        {u"200004", u"Energetický nápoj 0,25 l", u"NAP", true, R::Standard, 49, 45, {{21.30, 24}}},
        {u"200005", u"Čokoládová tyčinka", u"POT", true, R::Reduced, 22, 20, {{11.40, 40}}},
        {u"200006", u"Proteinová tyčinka", u"POT", true, R::Reduced, 45, 40, {{24.00, 12}, {26.50, 20}}},
        {u"200007", u"Müsli tyčinka", u"POT", true, R::Reduced, 18, 16, {{8.70, 30}}},
        {u"200008", u"Bageta se šunkou", u"POT", true, R::Reduced, 65, 60, {{38.00, 8}}},
        {u"200009", u"Tenisové míčky (3 ks)", u"ZBO", true, R::Standard, 189, 170, {{110.00, 10}, {118.00, 12}}},
        {u"200010", u"Badmintonové míčky (6 ks)", u"ZBO", true, R::Standard, 249, 225, {{142.00, 8}}},
        {u"200011", u"Grip omotávka", u"ZBO", true, R::Standard, 129, 115, {{64.00, 15}, {69.50, 10}}},
        {u"200012", u"Ručník s logem klubu", u"ZBO", true, R::Standard, 349, 315, {{180.00, 10}}},
        {u"200013", u"Tričko klubové vel. M", u"ZBO", true, R::Standard, 399, 360, {{210.00, 1}, {225.00, 6}, {232.00, 5}}},
        {u"200014", u"Tričko klubové vel. L", u"ZBO", true, R::Standard, 399, 360, {{210.00, 4}, {225.00, 6}}},
        {u"200015", u"Kšiltovka", u"ZBO", true, R::Standard, 249, 225, {{120.00, 7}}},
        {u"200016", u"Ponožky sportovní", u"ZBO", true, R::Standard, 149, 135, {{61.00, 20}}},
        {u"200017", u"Láhev na pití 0,7 l", u"ZBO", true, R::Standard, 199, 180, {{95.00, 12}}},
        {u"200018", u"Visací zámek", u"ZBO", true, R::Standard, 99, 90, {{45.00, 10}}},
    };
    return cards;
}

const std::vector<TDemoReceipt>& DemoReceipts()
{
    static const std::vector<TDemoReceipt> receipts{
        {3, QTime(9, 12), u"1", true, {{u"100001", 2}, {u"100002", 1}, {u"200001", 2}, {u"200005", 1}}},
        {3, QTime(10, 40), u"2", true, {{u"100006", 1}, {u"200009", 1}, {u"200011", 1}, {u"100008", 2}}},
        // Sold over two variants each, as the receipt window splits a quantity.
        {2, QTime(16, 5), u"1", false, {{u"200013", 2}, {u"200002", 8}, {u"100012", 1}}},
        {1, QTime(18, 30), u"1", true, {{u"100011", 2}, {u"200003", 2}, {u"200007", 3}, {u"100013", 1}}},
        {1, QTime(19, 45), u"2", false, {{u"100004", 1}, {u"200006", 1}, {u"200016", 2}}},
    };
    return receipts;
}

const std::vector<TDemoPass>& DemoPasses()
{
    static const std::vector<TDemoPass> passes{
        {u"Jan Novák", 40, {{40, u"100004", 1, 1}, {35, u"100001", 2, -1}, {20, u"100011", 1, -1}, {3, u"100001", 1, -1}}},
        // Drawn down to exactly nothing.
        {u"Marie Dvořáková", 30, {{30, u"100005", 1, 1}, {10, u"100007", 3, -1}}},
        {u"Petr Černý", 10, {{10, u"100004", 2, 1}, {5, u"100006", 1, -1}, {2, u"200001", 2, -1}}},
        {u"Šárka Řeháková", 1, {}},
    };
    return passes;
}
// clang-format on

int DemoRate(TRate r, const TData& data)
{
    switch (r) {
    case TRate::Standard:
        return data.Dan22;
    case TRate::Reduced:
        return data.Dan05;
    case TRate::Zero:
        return data.Dan00;
    }
    return data.Dan22;
}

TPlan DemoPlan(const TData& data, const QString& cashierIni, const QString& osIni, qint64 lastPassCode)
{
    TPlan plan;
    QHash<QString, int> byCode;
    for (const TDemoCard& d : DemoCards()) {
        TPlanCard c;
        c.kav = QString::fromUtf16(d.kav);
        c.nac = QString::fromUtf16(d.nac);
        c.sku = QString::fromUtf16(d.sku);
        c.skl = d.skl;
        c.pc1 = d.pc1;
        c.pc2 = d.pc2;
        c.dan = DemoRate(d.rate, data);
        const int ci = plan.AddCard(c);
        byCode.insert(plan.cards[ci].kav, ci);
        for (const auto& [snc, poc] : d.variants)
            plan.AddVariant(ci, snc, poc);
    }

    const QDate today = QDate::currentDate();
    std::vector<double> stock(plan.variants.size());
    for (size_t i = 0; i < plan.variants.size(); ++i)
        stock[i] = plan.variants[i].poc;
    for (const TDemoReceipt& d : DemoReceipts()) {
        TPlanReceipt r;
        r.at = QDateTime(today.addDays(-d.daysAgo), d.at);
        r.fuh = QString::fromUtf16(d.fuh);
        r.ref = d.byCashier ? cashierIni : osIni;
        r.firstLine = int(plan.lines.size());
        for (const TDemoLine& l : d.lines) {
            const TPlanCard& c = plan.cards[byCode.value(QString::fromUtf16(l.kav))];
            if (!c.skl) {
                plan.lines.push_back({c.firstVariant, l.qty});
                continue;
            }
            // The variants in order, passing over those without stock.
            double left = l.qty;
            for (int vi = c.firstVariant; vi < c.firstVariant + c.variantCount && left > 0; ++vi) {
                if (stock[vi] <= 0)
                    continue;
                const double take = std::min(left, stock[vi]);
                plan.lines.push_back({vi, take});
                stock[vi] -= take;
                left -= take;
            }
            Q_ASSERT(left == 0);
        }
        r.lineCount = int(plan.lines.size()) - r.firstLine;
        plan.receipts.push_back(r);
    }

    qint64 code = std::max<qint64>(lastPassCode, 1000);
    for (const TDemoPass& d : DemoPasses()) {
        TPlanPass p;
        p.kod = QString::number(++code);
        p.jme = QString::fromUtf16(d.jme);
        p.odd = today.addDays(-d.issuedDaysAgo).startOfDay();
        p.dod = p.odd.addYears(1);
        p.firstMove = int(plan.moves.size());
        for (const TDemoMove& m : d.moves)
            plan.moves.push_back(
                {byCode.value(QString::fromUtf16(m.kav)), m.kus, m.koe, today.addDays(-m.daysAgo)});
        p.moveCount = int(plan.moves.size()) - p.firstMove;
        plan.passes.push_back(p);
    }
    return plan;
}

std::unique_ptr<TTable> OpenTable(TDatabase& db, const QString& prefix, const QString& org)
{
    const TTableDef& def = TableDef(prefix);
    auto t = std::make_unique<TTable>(db, def);
    t->SetTableName(TableNameFor(def, org));
    t->Open();
    return t;
}

void SetFields(TTable& t, const QList<std::pair<const char16_t*, QVariant>>& values)
{
    for (const auto& [name, value] : values)
        t.FieldByName(QString::fromUtf16(name)).SetValue(value);
}

void AddRecord(TTable& t, const QList<std::pair<const char16_t*, QVariant>>& values)
{
    t.Append();
    SetFields(t, values);
    t.Post();
}

}  // namespace

void TDbTool::Demo()
{
    TDatabase& db = *m_data.ffDatabase;
    const QString org = m_data.Prodejna;
    RequireTables(db, org, AllPrefixes());

    InTransaction(db, [&] {
        auto sor = OpenTable(db, u"SOR"_s, org);
        if (!sor->IsEmpty())
            throw EDatabaseError(
                u"Sortiment %1 není prázdný: ukázková data se nahrávají jen do prázdné databáze. Nic nebylo změněno."_s
                    .arg(sor->TableName()));
        sor->Close();
        QStringList loaded;

        // Shared reference tables: filled only when another organisation has not filled them yet.
        if (auto vla = OpenTable(db, u"VLA"_s, org); vla->IsEmpty()) {
            AddRecord(*vla, {{u"VLA_KOD", u"000001"_s},
                             {u"VLA_ICO", u"27081231"_s},
                             {u"VLA_DIC", u"CZ27081231"_s},
                             {u"VLA_JED", org},
                             {u"VLA_FIR", u"Tenisový klub Ořechov, z.s."_s},
                             {u"VLA_NAC", u"Recepce"_s},
                             {u"VLA_ULI", u"Za Sokolovnou 418"_s},
                             {u"VLA_MES", u"Ořechov"_s},
                             {u"VLA_PSC", u"664 44"_s},
                             {u"VLA_STA", u"Česká republika"_s},
                             {u"VLA_TEL", u"+420 547 225 118"_s},
                             {u"VLA_EML", u"recepce@tk-orechov.cz"_s},
                             {u"VLA_JME", u"Jana Horáková"_s},
                             {u"VLA_MOB", u"+420 604 118 225"_s},
                             {u"VLA_UCE", u"2801234567/2010"_s},
                             {u"VLA_BAN", u"Fio banka, a.s."_s},
                             {u"VLA_ZAP", u"Spolek zapsaný u Krajského soudu v Brně, L 12345"_s},
                             {u"VLA_POC", QDate(QDate::currentDate().year(), 1, 1)},
                             {u"VLA_KON", u"0308"_s}});
            loaded << vla->TableName();
        }
        if (auto orgs = OpenTable(db, u"ORG"_s, org); orgs->IsEmpty()) {
            AddRecord(*orgs, {{u"ORG_KOD", u"0001"_s},
                              {u"ORG_NAC", u"Recepce – hlavní budova"_s},
                              {u"ORG_ULI", u"Za Sokolovnou 418"_s},
                              {u"ORG_MES", u"Ořechov"_s},
                              {u"ORG_PSC", u"664 44"_s},
                              {u"ORG_CEN", u"1"_s},
                              {u"ORG_SLE", 0.0}});
            AddRecord(*orgs, {{u"ORG_KOD", u"0002"_s},
                              {u"ORG_NAC", u"Bufet u kurtů"_s},
                              {u"ORG_ULI", u"Za Sokolovnou 418"_s},
                              {u"ORG_MES", u"Ořechov"_s},
                              {u"ORG_PSC", u"664 44"_s},
                              {u"ORG_CEN", u"1"_s},
                              {u"ORG_SLE", 0.0}});
            loaded << orgs->TableName();
        }
        if (auto fuh = OpenTable(db, u"FUH"_s, org); fuh->IsEmpty()) {
            for (const auto& [code, name, onReceipts] : {std::tuple{u"1", u"Hotově", u"1"},
                                                         {u"2", u"Platební karta", u"1"},
                                                         {u"3", u"Převodem", u"0"}})
                AddRecord(*fuh, {{u"FUH_FUH", QString::fromUtf16(code)},
                                 {u"FUH_NAC", QString::fromUtf16(name)},
                                 {u"FUH_UCT", QString::fromUtf16(onReceipts)},
                                 {u"FUH_FAK", u"1"_s},
                                 {u"FUH_UVK", false}});
            loaded << fuh->TableName();
        }
        if (auto cen = OpenTable(db, u"CEN"_s, org); cen->IsEmpty()) {
            AddRecord(*cen, {{u"CEN_KOD", u"1"_s},
                             {u"CEN_NAC", u"Základní ceník"_s},
                             {u"CEN_DPH", true},
                             {u"CEN_REF", 0}});
            loaded << cen->TableName();
        }

        // The OS user signs on without a dialog; POKLADNI with the password "heslo".
        const QString login = OsLogin();
        const QString osIni = login.left(2);
        const QString cashierIni = u"PO"_s;
        {
            auto usr = OpenTable(db, u"USR"_s, org);
            int added = 0;
            auto addUser = [&](const QString& lna, const QString& psw, const QString& ini,
                               const QString& nac) {
                // A name longer than the field could never sign on.
                if (lna.isEmpty() || lna.size() > 10 || usr->Locate(u"USR_LNA"_s, {lna}))
                    return;
                const int code = usr->RecordCount() + 1;
                AddRecord(*usr, {{u"USR_KOD", u"%1"_s.arg(code, 3, 10, QLatin1Char('0'))},
                                 {u"USR_LNA", lna},
                                 {u"USR_PSW", psw},
                                 {u"USR_INI", ini},
                                 {u"USR_NAC", nac}});
                ++added;
            };
            addUser(login, QString(), osIni, TData::OsUserName().trimmed());
            addUser(u"POKLADNI"_s, u"heslo"_s, cashierIni, u"Pokladní"_s);
            if (added)
                loaded << usr->TableName();
        }

        const qint64 lastReceipt = LastReceiptNumber(db, org);
        const qint64 lastPass = MaxDigitsCode(db, Sql(TableDef(u"LEG"_s), org), u"LEG_KOD"_s);
        TPlan plan = DemoPlan(m_data, cashierIni, osIni, lastPass);
        TWriters w = MakeWriters(db, org, false);
        WriteCards(plan, w);
        WriteReceipts(plan, w, StationOf(m_data, GrossPrices(db, m_data)), lastReceipt, {});
        WritePasses(plan, w);
        w.FlushAll();
        SetReceiptCounter(db, org, lastReceipt + qint64(plan.receipts.size()));

        m_out << u"Ukázková data nahrána do organizace %1."_s.arg(org) << Qt::endl;
        if (!loaded.isEmpty())
            m_out << u"Číselníky: %1"_s.arg(TableList(loaded)) << Qt::endl;
        m_out << u"Karty sortimentu: %1, skladové karty: %2, účtenky: %3, řádky deníku: %4, legitimace: %5, "
                 u"pohyby legitimací: %6"_s.arg(w.sor->Count())
                     .arg(w.skl->Count())
                     .arg(w.uce->Count())
                     .arg(w.den->Count())
                     .arg(w.leg->Count())
                     .arg(w.lep->Count())
              << Qt::endl;
        m_out << u"Uživatelé: %1 (bez hesla), POKLADNI (heslo „heslo“)"_s.arg(login) << Qt::endl;
    });
}

// ---------------------------------------------------------------------------------------------------

namespace {

class TRandom {
public:
    explicit TRandom(quint32 seed) : m_gen(seed) {}
    int Below(int n) { return n <= 1 ? 0 : int(m_gen() % quint32(n)); }
    double Money(double lo, double hi)
    {
        return std::round((lo + (hi - lo) * (m_gen() / double(m_gen.max()))) * 100) / 100;
    }

private:
    std::mt19937 m_gen;
};

const char16_t* const kGoods[] = {u"Míček", u"Tričko",   u"Láhev",   u"Čepice",  u"Ručník",  u"Šátek",
                                  u"Činka", u"Švihadlo", u"Řemínek", u"Žíněnka", u"Dres",    u"Chránič",
                                  u"Batoh", u"Tyčinka",  u"Nápoj",   u"Oplatka", u"Ponožky", u"Čelenka"};
const char16_t* const kServices[] = {u"Vstupné", u"Lekce", u"Pronájem", u"Úschova",
                                     u"Masáž",   u"Sauna", u"Kurz",     u"Trénink"};
const char16_t* const kMen[] = {u"Jan Novák",       u"Petr Svoboda",  u"Tomáš Dvořák",  u"Jiří Černý",
                                u"Lukáš Procházka", u"Martin Kučera", u"Ondřej Veselý", u"Jakub Horák",
                                u"Zdeněk Šťastný",  u"Vojtěch Říha"};
const char16_t* const kWomen[] = {
    u"Eva Nováková",     u"Jana Svobodová", u"Lucie Dvořáková", u"Tereza Černá",  u"Kateřina Procházková",
    u"Markéta Kučerová", u"Hana Veselá",    u"Zuzana Horáková", u"Šárka Šťastná", u"Věra Říhová"};

template <size_t N>
QString Pick(TRandom& rnd, const char16_t* const (&list)[N])
{
    return QString::fromUtf16(list[rnd.Below(int(N))]);
}

struct TGenerateStart {
    qint64 lastCard = 0;
    qint64 lastReceipt = 0;
    qint64 lastPass = 0;
};

TPlan GeneratePlan(const TGenerateOptions& o, const TGenerateStart& start, const TData& data,
                   const QString& ini)
{
    TRandom rnd(20240917);
    TPlan plan;
    plan.cards.reserve(o.cards);
    const int rates[] = {data.Dan22, data.Dan05, data.Dan22, data.Dan00};
    for (int i = 0; i < o.cards; ++i) {
        TPlanCard c;
        c.kav = u"%1"_s.arg(start.lastCard + 1 + i, 6, 10, QLatin1Char('0'));
        c.skl = i % 4 != 3;  // every fourth card a service
        c.nac = (c.skl ? Pick(rnd, kGoods) : Pick(rnd, kServices)) + u' ' + c.kav;
        c.sku = c.skl ? u"ZBO"_s : u"SLU"_s;
        c.dan = rates[i % 4];
        c.pc1 = rnd.Money(10, 2000);
        c.pc2 = std::round(c.pc1 * 90) / 100;
        const int ci = plan.AddCard(c);
        const int variants = c.skl ? o.variants : 1;
        for (int v = 0; v < variants; ++v)
            plan.AddVariant(ci, c.skl ? std::round(c.pc1 * (55 + 2 * v)) / 100 : 0.0, 0);
    }

    // Wall-clock times kept as UTC: local time would ask the C library for the time zone on every row.
    const QDateTime now = QDateTime(QDate::currentDate(), QTime(QTime::currentTime().hour(), 0), Qt::UTC);
    const QDateTime from = now.addDays(-365);
    const double step = o.receipts > 0 ? 365.0 * 86400 / o.receipts : 0;
    plan.receipts.reserve(o.receipts);
    plan.lines.reserve(size_t(o.receipts) * size_t(o.lines));
    for (int r = 0; r < o.receipts; ++r) {
        TPlanReceipt rec;
        rec.at = from.addSecs(qint64(r * step));
        rec.fuh = r % 5 == 4 ? u"2"_s : u"1"_s;
        rec.ref = r % 3 == 0 ? u"PO"_s : ini;
        rec.firstLine = int(plan.lines.size());
        rec.lineCount = o.lines;
        for (int l = 0; l < o.lines; ++l) {
            const TPlanCard& c = plan.cards[rnd.Below(o.cards)];
            plan.lines.push_back({c.firstVariant + rnd.Below(c.variantCount), double(1 + rnd.Below(3))});
        }
        plan.receipts.push_back(rec);
    }
    // Opening stock covers every sale, so no stock ever goes below zero.
    for (const TPlanLine& l : plan.lines)
        plan.variants[l.variant].sold += l.qty;
    for (TPlanVariant& v : plan.variants)
        v.poc = plan.cards[v.card].skl ? v.sold + rnd.Below(25) : 0;

    plan.passes.reserve(o.passes);
    plan.moves.reserve(size_t(o.passes) * size_t(o.movements));
    for (int p = 0; p < o.passes; ++p) {
        TPlanPass pass;
        pass.kod = QString::number(start.lastPass + 1 + p);
        pass.jme = p % 2 ? Pick(rnd, kWomen) : Pick(rnd, kMen);
        pass.odd = QDateTime(QDate::currentDate().addDays(-30 - rnd.Below(700)), QTime(0, 0), Qt::UTC);
        pass.dod = pass.odd.addYears(2);
        pass.firstMove = int(plan.moves.size());
        double balance = 0;
        for (int m = 0; m < o.movements; ++m) {
            const int card = rnd.Below(o.cards);
            const double price = plan.cards[card].pc2;
            const QDate day = std::min(pass.odd.date().addDays(m), QDate::currentDate());
            // Withdrawals never take the balance below zero; what cannot be drawn becomes a deposit.
            double kus = double(1 + rnd.Below(3));
            if (m > 0 && rnd.Below(10) < 7) {
                kus = std::floor(balance / price);
                while (kus > 0 && kus * price > balance)
                    --kus;
                kus = std::min(kus, double(1 + rnd.Below(3)));
                if (kus >= 1) {
                    plan.moves.push_back({card, kus, -1, day});
                    balance -= kus * price;
                    continue;
                }
                kus = double(1 + rnd.Below(3));
            }
            plan.moves.push_back({card, kus, 1, day});
            balance += kus * price;
        }
        pass.moveCount = int(plan.moves.size()) - pass.firstMove;
        plan.passes.push_back(pass);
    }
    return plan;
}

}  // namespace

void TDbTool::Generate(const TGenerateOptions& o)
{
    TDatabase& db = *m_data.ffDatabase;
    const QString org = m_data.Prodejna;
    RequireTables(db, org,
                  {u"SOR"_s, u"SKL"_s, u"DEN"_s, u"UCE"_s, u"CIS"_s, u"LEG"_s, u"LEP"_s, u"CEN"_s, u"USR"_s});
    QElapsedTimer total;
    total.start();
    qint64 commitFrom = 0;
    struct {
        QString cards, receipts, passes;
        qint64 journalRows = 0, planMs = 0, receiptsMs = 0;
    } summary;

    if (db.Kind() == TStoreKind::Sqlite) {
        // Index upkeep of a big append stays in memory, and so do the statement journals of the
        // multi-row INSERTs (as temporary files they double the writes).
        db.ExecDirect(u"PRAGMA cache_size=-131072"_s);
        db.ExecDirect(u"PRAGMA temp_store=MEMORY"_s);
    }

    InTransaction(db, [&] {
        TGenerateStart start;
        start.lastCard = MaxDigitsCode(db, Sql(TableDef(u"SOR"_s), org), u"SOR_KAV"_s);
        start.lastReceipt = LastReceiptNumber(db, org);
        start.lastPass = MaxDigitsCode(db, Sql(TableDef(u"LEG"_s), org), u"LEG_KOD"_s);
        if (start.lastCard + o.cards > 999999)
            throw EDatabaseError(
                u"Pro %1 nových karet nezbývá dost šestimístných kódů (nejvyšší použitý je %2)."_s
                    .arg(o.cards)
                    .arg(start.lastCard));
        if (start.lastReceipt + o.receipts > 9999999999LL)
            throw EDatabaseError(
                u"Pro %1 nových účtenek nezbývá dost desetimístných čísel."_s.arg(o.receipts));
        if (start.lastPass + o.passes > 9999999999LL)
            throw EDatabaseError(
                u"Pro %1 nových legitimací nezbývá dost desetimístných čísel."_s.arg(o.passes));
        const TStation station = StationOf(m_data, GrossPrices(db, m_data));
        const QString ini = OperatorInitials(db);

        QElapsedTimer phase;
        phase.start();
        TPlan plan = GeneratePlan(o, start, m_data, ini);
        const qint64 planMs = phase.restart();

        TWriters w = MakeWriters(db, org, true);
        WriteCards(plan, w);
        w.sor->Flush();
        w.skl->Flush();
        const qint64 cardsMs = phase.restart();
        m_out << u"Karty sortimentu: %1, skladové karty: %2 (%3)"_s.arg(w.sor->Count())
                     .arg(w.skl->Count())
                     .arg(Seconds(cardsMs))
              << Qt::endl;

        const qint64 journalRows = qint64(plan.lines.size());
        WriteReceipts(plan, w, station, start.lastReceipt, [&](qint64 done) {
            m_out
                << u"  řádky deníku: %1 / %2 (%3)"_s.arg(done).arg(journalRows).arg(Seconds(phase.elapsed()))
                << Qt::endl;
        });
        w.den->Flush();
        w.uce->Flush();
        if (!plan.receipts.empty())
            SetReceiptCounter(db, org, start.lastReceipt + qint64(plan.receipts.size()));
        const qint64 receiptsMs = phase.restart();
        m_out << u"Účtenky: %1, řádky deníku: %2 (%3)"_s.arg(w.uce->Count())
                     .arg(w.den->Count())
                     .arg(Seconds(receiptsMs))
              << Qt::endl;

        WritePasses(plan, w);
        w.FlushAll();
        const qint64 passesMs = phase.restart();
        m_out << u"Legitimace: %1, pohyby legitimací: %2 (%3)"_s.arg(w.leg->Count())
                     .arg(w.lep->Count())
                     .arg(Seconds(passesMs))
              << Qt::endl;

        m_out << u"Ukládání..."_s << Qt::endl;
        commitFrom = total.elapsed();
        summary.cards =
            plan.cards.empty() ? QString() : u"%1 až %2"_s.arg(plan.cards.front().kav, plan.cards.back().kav);
        summary.receipts =
            plan.receipts.empty()
                ? QString()
                : u"%1 až %2"_s.arg(ReceiptNumber(start.lastReceipt + 1),
                                    ReceiptNumber(start.lastReceipt + qint64(plan.receipts.size())));
        summary.passes = plan.passes.empty()
                             ? QString()
                             : u"%1 až %2"_s.arg(plan.passes.front().kod, plan.passes.back().kod);
        summary.journalRows = journalRows;
        summary.planMs = planMs;
        summary.receiptsMs = receiptsMs;
    });
    const qint64 totalMs = total.elapsed();
    m_out << u"Hotovo za %1 (příprava dat %2, uložení transakce %3)."_s.arg(
                 Seconds(totalMs), Seconds(summary.planMs), Seconds(totalMs - commitFrom))
          << Qt::endl;
    if (!summary.cards.isEmpty())
        m_out << u"  nové karty sortimentu: %1"_s.arg(summary.cards) << Qt::endl;
    if (!summary.receipts.isEmpty())
        m_out << u"  nové účtenky: %1"_s.arg(summary.receipts) << Qt::endl;
    if (!summary.passes.isEmpty())
        m_out << u"  nové legitimace: %1"_s.arg(summary.passes) << Qt::endl;
    if (summary.journalRows > 0 && summary.receiptsMs > 0)
        m_out << u"  řádky deníku: %1, %2 řádků/s"_s.arg(summary.journalRows)
                     .arg(qint64(summary.journalRows * 1000.0 / summary.receiptsMs))
              << Qt::endl;
}

// ---------------------------------------------------------------------------------------------------

namespace {

constexpr int kMaxShown = 200;

}  // namespace

int TDbTool::Check()
{
    TDatabase& db = *m_data.ffDatabase;
    const QString org = m_data.Prodejna;
    RequireTables(db, org, {u"SOR"_s, u"SKL"_s, u"DEN"_s, u"LEG"_s, u"LEP"_s});
    const QString sor = Sql(TableDef(u"SOR"_s), org);
    const QString skl = Sql(TableDef(u"SKL"_s), org);
    const QString den = Sql(TableDef(u"DEN"_s), org);
    const QString leg = Sql(TableDef(u"LEG"_s), org);
    const QString lep = Sql(TableDef(u"LEP"_s), org);
    const QVariant yes = db.Kind() == TStoreKind::Postgres ? QVariant(true) : QVariant(1);

    int found = 0;
    auto report = [&](const QString& text) {
        if (++found <= kMaxShown)
            m_out << text << Qt::endl;
    };
    auto variant = [](const QVariantList& r) { return r[0].toString() + u'/' + r[1].toString(); };

    // Stock cards against the journal: opening stock plus every movement, and the stock that the
    // variant's latest movement left.
    const auto cards =
        Rows(db,
             uR"(SELECT k."SKL_KAV", k."SKL_IND", k."SKL_POC", k."SKL_STA", s."SOR_KAV", s."SOR_SKL",
               j.KUS, j.POCET, z."DEN_ZAS"
        FROM %1 k
        LEFT JOIN %2 s ON s."SOR_KAV" = k."SKL_KAV"
        LEFT JOIN (SELECT "DEN_KAV", "DEN_IND", SUM("DEN_KUS") AS KUS, COUNT(*) AS POCET, MAX("DEN_RAD") AS POSL
                   FROM %3 GROUP BY "DEN_KAV", "DEN_IND") j
               ON j."DEN_KAV" = k."SKL_KAV" AND j."DEN_IND" = k."SKL_IND"
        LEFT JOIN %3 z ON z."DEN_RAD" = j.POSL
        ORDER BY k."SKL_KAV", k."SKL_IND")"_s.arg(skl, sor, den));
    for (const QVariantList& r : cards) {
        if (r[4].isNull()) {
            report(u"Skladová karta %1 nemá kartu sortimentu."_s.arg(variant(r)));
            continue;
        }
        if (!SqlBool(r[5]))
            continue;  // items not kept in stock move no stock card
        const double poc = r[2].toDouble(), sta = r[3].toDouble(), kus = r[6].toDouble();
        if (!Same(sta, poc + kus))
            report(u"Skladová karta %1: zásoba %2, ale počáteční stav %3 a pohyby deníku %4 dávají %5."_s.arg(
                variant(r), Num(sta), Num(poc), Num(kus), Num(poc + kus)));
        if (r[7].toLongLong() > 0 && !Same(r[8].toDouble(), sta))
            report(u"Skladová karta %1: zásoba %2, ale poslední pohyb v deníku uvádí zásobu %3."_s.arg(
                variant(r), Num(sta), Num(r[8].toDouble())));
    }
    const auto strays = Rows(db,
                             uR"(SELECT d."DEN_KAV", d."DEN_IND", COUNT(*)
        FROM %1 d JOIN %2 s ON s."SOR_KAV" = d."DEN_KAV"
        WHERE s."SOR_SKL" = ? AND NOT EXISTS
              (SELECT 1 FROM %3 k WHERE k."SKL_KAV" = d."DEN_KAV" AND k."SKL_IND" = d."DEN_IND")
        GROUP BY d."DEN_KAV", d."DEN_IND" ORDER BY 1, 2)"_s.arg(den, sor, skl),
                             {yes});
    for (const QVariantList& r : strays)
        report(u"Deník: %1 pohybů skladové položky %2, která nemá skladovou kartu."_s.arg(r[2].toString(),
                                                                                          variant(r)));

    // Assortment cards against their stock cards.
    const auto totals = Rows(db,
                             uR"(SELECT s."SOR_KAV", s."SOR_STA", SUM(k."SKL_STA")
        FROM %1 s LEFT JOIN %2 k ON k."SKL_KAV" = s."SOR_KAV"
        GROUP BY s."SOR_KAV", s."SOR_STA" ORDER BY s."SOR_KAV")"_s.arg(sor, skl));
    for (const QVariantList& r : totals)
        if (!Same(r[1].toDouble(), r[2].toDouble()))
            report(u"Karta sortimentu %1: zásoba %2, ale součet zásob jejích skladových karet je %3."_s.arg(
                r[0].toString(), Num(r[1].toDouble()), Num(r[2].toDouble())));

    // Passes against their movements: the totals, and the balance after each movement in booking order.
    const auto passes = Rows(db,
                             uR"(SELECT g."LEG_KOD", g."LEG_POC", g."LEG_CER",
               SUM(CASE WHEN p."LEP_KOE" > 0 THEN p."LEP_KUS" * p."LEP_PC1" ELSE 0 END),
               SUM(CASE WHEN p."LEP_KOE" > 0 THEN 0 ELSE p."LEP_KUS" * p."LEP_PC1" END)
        FROM %1 g LEFT JOIN %2 p ON p."LEP_IDM" = g."LEG_IDE"
        GROUP BY g."LEG_IDE", g."LEG_KOD", g."LEG_POC", g."LEG_CER" ORDER BY g."LEG_IDE")"_s.arg(leg, lep));
    for (const QVariantList& r : passes) {
        if (!Same(r[1].toDouble(), r[3].toDouble()))
            report(u"Legitimace %1: vklady %2, ale součet vkladů v pohybech je %3."_s.arg(
                r[0].toString(), Num(r[1].toDouble()), Num(r[3].toDouble())));
        if (!Same(r[2].toDouble(), r[4].toDouble()))
            report(u"Legitimace %1: čerpání %2, ale součet výběrů v pohybech je %3."_s.arg(
                r[0].toString(), Num(r[2].toDouble()), Num(r[4].toDouble())));
    }
    const auto balances = Rows(db,
                               uR"(SELECT x."LEP_IDE", g."LEG_KOD", x."LEP_ZUS", x.ZUS
        FROM (SELECT "LEP_IDE", "LEP_IDM", "LEP_ZUS",
                     SUM(CASE WHEN "LEP_KOE" > 0 THEN 1 ELSE -1 END * "LEP_KUS" * "LEP_PC1")
                         OVER (PARTITION BY "LEP_IDM" ORDER BY "LEP_IDE" ROWS UNBOUNDED PRECEDING) AS ZUS
              FROM %1) x
        JOIN %2 g ON g."LEG_IDE" = x."LEP_IDM"
        WHERE ABS(COALESCE(x.ZUS, 0) - COALESCE(x."LEP_ZUS", 0))
              > 0.000001 * (1 + ABS(COALESCE(x.ZUS, 0)) + ABS(COALESCE(x."LEP_ZUS", 0)))
        ORDER BY x."LEP_IDM", x."LEP_IDE")"_s.arg(lep, leg));
    for (const QVariantList& r : balances)
        report(u"Legitimace %1, pohyb %2: zůstatek %3, ale pohyby do něj včetně dávají %4."_s.arg(
            r[1].toString(), r[0].toString(), Num(r[2].toDouble()), Num(r[3].toDouble())));
    const auto orphans = Rows(db,
                              uR"(SELECT p."LEP_IDM", COUNT(*) FROM %1 p
        WHERE NOT EXISTS (SELECT 1 FROM %2 g WHERE g."LEG_IDE" = p."LEP_IDM")
        GROUP BY p."LEP_IDM" ORDER BY 1)"_s.arg(lep, leg));
    for (const QVariantList& r : orphans)
        report(
            u"%1 pohybů patří legitimaci s ID %2, která neexistuje."_s.arg(r[1].toString(), r[0].toString()));

    CheckReceipts(m_data, GrossPrices(db, m_data), report);

    if (found > 0) {
        if (found > kMaxShown)
            m_out << u"… a dalších %1."_s.arg(found - kMaxShown) << Qt::endl;
        m_out << u"Kontrola organizace %1: nalezeno nesouhlasů: %2."_s.arg(org).arg(found) << Qt::endl;
        return found;
    }
    auto count = [&](const QString& table) {
        return Scalar(db, u"SELECT COUNT(*) FROM "_s + table).toLongLong();
    };
    m_out << u"Kontrola organizace %1 v pořádku: %2 karet sortimentu, %3 skladových karet, %4 řádků deníku, "
             u"%5 legitimací, %6 pohybů legitimací."_s.arg(org)
                 .arg(totals.size())
                 .arg(cards.size())
                 .arg(count(den))
                 .arg(passes.size())
                 .arg(count(lep))
          << Qt::endl;
    return 0;
}

// ===================================================================================================

namespace {

struct TArgs {
    QString dir;
    QString command;
    bool help = false;
    TGenerateOptions generate;
};

// Parses the command line; an empty result text means success.
QString ParseArgs(const QStringList& args, TArgs& a)
{
    const QHash<QString, int TGenerateOptions::*> numbers{
        {u"--cards"_s, &TGenerateOptions::cards},       {u"--variants"_s, &TGenerateOptions::variants},
        {u"--receipts"_s, &TGenerateOptions::receipts}, {u"--lines"_s, &TGenerateOptions::lines},
        {u"--passes"_s, &TGenerateOptions::passes},     {u"--movements"_s, &TGenerateOptions::movements}};
    for (int i = 0; i < args.size(); ++i) {
        QString name = args[i];
        std::optional<QString> value;
        if (name.startsWith(u"--"_s) && name.contains(u'=')) {
            value = name.section(u'=', 1);
            name = name.section(u'=', 0, 0);
        }
        auto takeValue = [&]() -> std::optional<QString> {
            if (value)
                return value;
            if (i + 1 < args.size())
                return args[++i];
            return std::nullopt;
        };
        if (name == u"-h"_s || name == u"--help"_s) {
            a.help = true;
        } else if (name == u"--dir"_s) {
            const auto v = takeValue();
            if (!v || v->isEmpty())
                return u"volba --dir potřebuje adresář"_s;
            a.dir = *v;
        } else if (numbers.contains(name)) {
            if (a.command != u"generate"_s)
                return u"volba %1 patří jen k příkazu generate"_s.arg(name);
            const auto v = takeValue();
            bool ok = false;
            const int n = v ? v->toInt(&ok) : 0;
            if (!ok || n < 0)
                return u"volba %1 potřebuje nezáporné celé číslo"_s.arg(name);
            a.generate.*numbers.value(name) = n;
        } else if (name.startsWith(u'-')) {
            return u"neznámá volba %1"_s.arg(name);
        } else if (a.command.isEmpty()) {
            if (!QStringList{u"init"_s, u"demo"_s, u"generate"_s, u"check"_s}.contains(name))
                return u"neznámý příkaz %1"_s.arg(name);
            a.command = name;
        } else {
            return u"nadbytečný argument %1"_s.arg(name);
        }
    }
    if (a.help)
        return {};
    if (a.command.isEmpty())
        return u"chybí příkaz"_s;
    const TGenerateOptions& g = a.generate;
    if (g.variants < 1 || g.variants > 1000)
        return u"--variants musí být 1 až 1000"_s;
    if (g.lines < 1)
        return u"--lines musí být alespoň 1"_s;
    if (g.cards < 1 && (g.receipts > 0 || g.passes > 0))
        return u"účtenky a legitimace potřebují alespoň jednu novou kartu (--cards)"_s;
    if (qint64(g.receipts) * g.lines > std::numeric_limits<int>::max() ||
        qint64(g.passes) * g.movements > std::numeric_limits<int>::max())
        return u"příliš mnoho řádků najednou"_s;
    return {};
}

// Messages of the data module (a missing Prodejna.ini, a bad number in it) go to stderr.
class TMessagesTo {
public:
    explicit TMessagesTo(QTextStream& err)
    {
        m_previous = SetMessageHandler([&err](TMessageKind kind, const QString& text) {
            err << text << Qt::endl;
            return kind != TMessageKind::Confirmation;
        });
    }
    ~TMessagesTo() { SetMessageHandler(std::move(m_previous)); }

private:
    TMessageHandler m_previous;
};

}  // namespace

QString DbToolUsage()
{
    return u"Použití: korvanta-db [--dir ADRESÁŘ] PŘÍKAZ [volby]\n"
           u"\n"
           u"ADRESÁŘ je složka stanice se souborem Prodejna.ini (výchozí: aktuální složka).\n"
           u"Příkaz pracuje s databází, kterou Prodejna.ini určuje, a s tabulkami její organizace.\n"
           u"\n"
           u"Příkazy:\n"
           u"  init       vytvoří tabulky organizace a chybějící společné tabulky\n"
           u"  demo       nahraje ukázková data (jen do prázdného sortimentu)\n"
           u"  generate   přidá k existujícím datům velký soubor dat pro měření výkonu:\n"
           u"               --cards N      nové karty sortimentu (výchozí 1000)\n"
           u"               --variants N   skladové varianty každé skladové karty, 1 až 1000 (výchozí 3)\n"
           u"               --receipts N   účtenky (výchozí 10000)\n"
           u"               --lines N      řádky deníku každé účtenky (výchozí 5)\n"
           u"               --passes N     legitimace (výchozí 1000)\n"
           u"               --movements N  pohyby každé legitimace (výchozí 10)\n"
           u"  check      ověří, že skladové karty souhlasí s deníkem, sortiment se skladovými kartami\n"
           u"             a legitimace se svými pohyby, hlavičky účtenek s jejich řádky v deníku\n"
           u"\n"
           u"Návratový kód: 0 v pořádku, 1 chyba nebo nalezený nesouhlas, 2 chybné volání nebo Prodejna.ini.\n"_s;
}

int RunDbTool(const QStringList& args, QTextStream& out, QTextStream& err)
{
    TArgs a;
    if (const QString error = ParseArgs(args, a); !error.isEmpty()) {
        err << u"korvanta-db: "_s << error << Qt::endl << Qt::endl << DbToolUsage();
        err.flush();
        return 2;
    }
    if (a.help) {
        out << DbToolUsage();
        out.flush();
        return 0;
    }

    const TMessagesTo messages(err);
    TData data(a.dir);
    if (!data.IniPrepare())
        return 2;
    data.SetTableNames();
    // Only init may bring a new embedded store into being; the program never does.
    if (a.command == u"init"_s && !data.ffCommsEngine.IsTcpIp())
        data.ffDatabase->CreateIfMissing = true;
    try {
        data.Connect();
    } catch (const EDatabaseError& e) {
        err << u"korvanta-db: Nelze se připojit k databázi: "_s << e.Message() << Qt::endl;
        return 1;
    }

    try {
        TDbTool tool(data, out);
        int status = 0;
        if (a.command == u"init"_s)
            tool.Init();
        else if (a.command == u"demo"_s)
            tool.Demo();
        else if (a.command == u"generate"_s)
            tool.Generate(a.generate);
        else if (tool.Check() > 0)
            status = 1;
        out.flush();
        return status;
    } catch (const EDatabaseError& e) {
        out.flush();
        err << u"korvanta-db: "_s << e.Message() << Qt::endl;
        return 1;
    } catch (const std::exception& e) {
        out.flush();
        err << u"korvanta-db: "_s << QString::fromLocal8Bit(e.what()) << Qt::endl;
        return 1;
    }
}
