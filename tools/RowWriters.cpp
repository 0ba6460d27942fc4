#include "RowWriters.h"

#include "StoreValues.h"
#include "Table.h"

#include <QSqlQuery>

#include <algorithm>
#include <stdexcept>

using namespace Qt::StringLiterals;

TRowWriter::TRowWriter(const TTableDef& def, const QStringList& columns, const QString& matchColumn)
    : m_columns(columns)
{
    for (const QString& c : columns) {
        const int fi = def.FieldIndex(c);
        if (fi < 0)
            throw std::invalid_argument("no such column: " + c.toStdString());
        m_fields << fi;
    }
    m_match = matchColumn.isEmpty() ? -1 : static_cast<int>(columns.indexOf(matchColumn));
    m_row.resize(columns.size());
}

TRowWriter& TRowWriter::Set(QStringView column, const QVariant& value)
{
    for (qsizetype i = 0; i < m_columns.size(); ++i)
        if (m_columns[i] == column) {
            m_row[i] = value;
            return *this;
        }
    throw std::invalid_argument("column not written by this writer: " + column.toString().toStdString());
}

void TRowWriter::Add()
{
    Write(m_row);
    ++m_count;
    for (QVariant& v : m_row)
        v = QVariant();
}

namespace {

class TCursorWriter final : public TRowWriter {
public:
    TCursorWriter(TDatabase& db, const TTableDef& def, const QString& tableName, const QStringList& columns,
                  const QString& matchColumn)
        : TRowWriter(def, columns, matchColumn), m_table(db, def)
    {
        m_table.SetTableName(tableName);
        m_table.Open();
    }

protected:
    void Write(const QVariantList& values) override
    {
        m_table.Append();
        for (qsizetype i = 0; i < m_fields.size(); ++i)
            if (values.value(i).isValid())
                m_table.Fields(m_fields[i]).SetValue(values[i]);
        m_table.Post();
        if (m_match >= 0)
            m_ids.insert(values[m_match].toString(), m_table.CurrentRow().id);
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
        m_kind = db.Kind();
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

    void Flush() override
    {
        if (m_rows == 0)
            return;
        QSqlQuery& q = m_db.Prepare(Statement(m_rows));
        for (qsizetype i = 0; i < m_binds.size(); ++i)
            q.bindValue(static_cast<int>(i), m_binds[i]);
        TDatabase::Exec(q);
        if (m_match >= 0)
            while (q.next())
                m_ids.insert(q.value(1).toString(), q.value(0).toLongLong());
        q.finish();
        m_binds.clear();
        m_rows = 0;
    }

protected:
    void Write(const QVariantList& values) override
    {
        for (qsizetype i = 0; i < m_fields.size(); ++i)
            m_binds << StoreValue(m_def.fields[m_fields[i]], values.value(i), m_keys[i], m_kind);
        if (++m_rows == m_batch)
            Flush();
    }

private:
    QString Statement(int rows) const
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
    TStoreKind m_kind = TStoreKind::Sqlite;
    QList<bool> m_keys;
    QString m_head, m_rowMarks, m_tail;
    QVariantList m_binds;
    int m_rows = 0;
};

// The columns each data set fills.
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

}  // namespace

void TWriters::FlushAll()
{
    for (auto* w : {sor.get(), skl.get(), uce.get(), den.get(), leg.get(), lep.get()})
        w->Flush();
}

TWriters MakeWriters(TDatabase& db, const QString& organisation, TWriteMode mode)
{
    const int batch = db.Kind() == TStoreKind::Postgres ? 500 : 200;
    auto make = [&](const char16_t* prefix, const QStringList& cols, const QString& match = {}) {
        const TTableDef& def = TableDef(QString::fromUtf16(prefix));
        const QString name = TableNameFor(def, organisation);
        return mode == TWriteMode::Bulk
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
