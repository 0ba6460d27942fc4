// korvanta-db init: the organisation's tables and the missing shared ones, in one transaction.
#include "DbTool.h"

#include "ToolStore.h"

#include "DataUnit.h"
#include "SchemaSql.h"
#include "Transaction.h"

#include <QTextStream>

using namespace Qt::StringLiterals;
using namespace Tool;

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
    TTransaction tx(db);
    for (const TTableDef* def : toCreate) {
        const QString name = TableNameFor(*def, org);
        for (const QString& sql : CreateTableSql(*def, name, db.Kind(), collation))
            db.ExecDirect(sql);
        created << name;
    }
    tx.Commit();
    m_out << u"Vytvořené tabulky: %1"_s.arg(created.isEmpty() ? u"žádné"_s : TableList(created)) << Qt::endl;
    if (!kept.isEmpty())
        m_out << u"Ponechané společné tabulky: %1"_s.arg(TableList(kept)) << Qt::endl;
}
