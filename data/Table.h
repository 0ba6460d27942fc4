#pragma once

#include "DataSet.h"
#include "Database.h"

#include <QHash>

#include <map>

// Where a cursor stood, to come back to it later (the record's stable identity).
struct TBookmark {
    qint64 id = 0;
    bool valid = false;
};

// One record as read from the store, for grids that show rows around the current one.
struct TRow {
    QVector<QVariant> values;  // one slot per field definition, calculated fields included
    qint64 id = 0;
};

// A cursor over one server table, in the manner of an ISAM table component: an index order, an
// optional key range and filter, a current record and its edit state. Every step is one indexed
// query with LIMIT 1 in the current order (keyset navigation); nothing loads the table.
class TTable : public TDataSet {
    Q_OBJECT
public:
    TTable(TDatabase& db, const TTableDef& def, QObject* parent = nullptr);
    ~TTable() override;

    TDatabase& Database() const { return m_db; }
    QString TableName() const { return m_tableName; }
    void SetTableName(const QString& name);  // only while closed

    void Open() override;
    void Close() override;

    // "" (or the name "Sequential Access Index") is the order in which records were stored.
    void SetIndexName(const QString& name);
    QString IndexName() const { return m_indexName; }

    bool FindKey(const QVariantList& values);
    void FindNearest(const QVariantList& values);
    void SetRange(const QVariantList& startValues, const QVariantList& endValues);
    void CancelRange();
    bool Locate(const QString& fields, const QVariantList& values) override;

    void SetFilter(const QString& expression);
    QString Filter() const { return m_filterText; }
    void SetFiltered(bool on);
    bool Filtered() const { return m_filtered; }

    void First() override;
    void Last() override;
    void Next() override;
    void Prior() override;
    bool IsEmpty() override;
    int RecordCount() override;
    bool HasRecord() const { return m_hasRecord; }
    int RecNo();  // 1-based place of the current record in the current order, 0 when empty

    TBookmark GetBookmark() const;
    void GotoBookmark(const TBookmark& b);
    void FreeBookmark(TBookmark& b) { b = TBookmark{}; }
    bool BookmarkValid(const TBookmark& b);

    void Append() override;
    void Edit() override;
    void Post() override;
    void Cancel() override;
    void Delete() override;
    void Refresh();  // read the current record again

    // Rows next to `from` (or from an end of the order when from is null), without moving the cursor.
    QList<TRow> ReadRows(const TRow* from, int count, bool forward);
    // Rows at a 0-based place in the current order, counted from the first record (forward) or from
    // the last one (backward, rows then come last first); for grids that jump to a scroll position.
    QList<TRow> ReadRowsAt(int offset, int count, bool forward = true);
    TRow CurrentRow() const;
    void GotoRow(const TRow& row);

private:
    struct Order {
        QStringList columns;      // index fields, then the identity where the index is not unique
        QList<int> fieldIndexes;  // -1 for the identity column
        bool descending = false;
    };

    void CheckBrowseMode();
    void Invalidate();
    QHash<int, QString>& SqlCache();
    const Order& CurrentOrder();
    QString BaseWhere(QVariantList& binds) const;
    QString OrderBy(bool reverse);
    QString KeyTuple(int n);
    QVariantList CurrentKey(const QVector<QVariant>& values, qint64 id);
    QVariant Bind(const TFieldDef& f, const QVariant& v, bool key) const;
    // A value looked for (key, range end, locate, filter literal): a text is never cut to its field.
    QVariant BindSought(const TFieldDef& f, const QVariant& v) const;
    QVariant BindKeyValue(int orderPos, const QVariant& v);
    bool Fetch(const QString& tail, const QVariantList& binds, bool forUpdate = false);
    QList<TRow> FetchRows(const QString& tail, const QVariantList& binds);
    TRow ReadRow(const QVector<QVariant>& cols) const;
    void Load(const TRow& row);
    void LoadEmpty();
    bool FetchById(qint64 id, bool forUpdate);
    bool Step(bool forward);
    void RunCalcOn(TRow& row);
    const QString& Select();

    TDatabase& m_db;
    QString m_tableName;
    QString m_indexName;
    const TIndexDef* m_index = nullptr;
    bool m_hasRange = false;
    QVariantList m_rangeLo, m_rangeHi;
    QString m_filterText;
    bool m_filtered = false;
    QString m_filterSql;
    QVariantList m_filterBinds;
    bool m_hasRecord = false;
    qint64 m_id = 0;
    QVector<QVariant> m_beforeInsert;
    qint64 m_beforeInsertId = 0;
    bool m_beforeInsertHad = false;
    int m_autoIncField = -1;
    QList<int> m_storedFields;  // field indexes in the select list, after the identity column
    QList<bool> m_keyFields;    // per field: part of an index (stored with the type's empty value for null)
    QString m_selectSql;
    QString m_selectCols;  // the select list alone, also what a write returns
    QString m_insertSql;
    Order m_order;
    bool m_orderValid = false;
    std::map<QString, QHash<int, QString>> m_sqlCaches;  // node-based: m_currentCache stays valid
    QHash<int, QString>* m_currentCache = nullptr;
};
