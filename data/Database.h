#pragma once

#include "DbError.h"

#include <QHash>
#include <QObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

#include <memory>

enum class TStoreKind { Sqlite, Postgres };

struct sqlite3;
struct sqlite3_stmt;

// The transport: "TCPIP" reaches the shared PostgreSQL server named in ServerName ("ACC@host[:port]");
// any other protocol is the embedded single-station store.
class TCommsEngine {
public:
    QString Protocol = QStringLiteral("TCPIP");
    QString ServerName = QStringLiteral("acc@127.0.0.1");

    bool IsTcpIp() const { return Protocol == QStringLiteral("TCPIP"); }
    // For TCP/IP the server must answer on its port within a few seconds; throws EDatabaseError if not.
    void SetActive(bool active);
    bool Active() const { return m_active; }

    QString Host() const;  // part of ServerName after "@", without the port
    int Port() const;      // port after ":" in the host part, else PGPORT, else 5432

private:
    bool m_active = false;
};

class TSession {
public:
    explicit TSession(TCommsEngine& engine) : m_engine(engine) {}
    TCommsEngine& Engine() const { return m_engine; }
    void Open();  // the engine must be active
    void Close() { m_active = false; }
    bool Active() const { return m_active; }

private:
    TCommsEngine& m_engine;
    bool m_active = false;
};

// One client connection to the store named by the alias. All SQL of the program goes through here:
// every statement is prepared once per connection and every failure becomes an EDatabaseError.
class TDatabase : public QObject {
    Q_OBJECT
public:
    explicit TDatabase(TSession& session, QObject* parent = nullptr);
    ~TDatabase() override;

    QString AliasName = QStringLiteral("0001");
    // Folder of the embedded store's file "<AliasName>.db".
    QString Directory;
    // Only the schema tool may create a missing embedded store file.
    bool CreateIfMissing = false;

    void Open();
    void Close();
    bool Connected() const { return m_open; }
    TStoreKind Kind() const { return m_kind; }
    QString EmbeddedFilePath() const;

    void StartTransaction();
    void Commit();
    void Rollback();
    bool InTransaction() const { return m_inTransaction; }

    // A prepared statement for this SQL text, reused on later calls.
    QSqlQuery& Prepare(const QString& sql);
    // Execute a prepared statement; throws with the client's message on failure.
    static void Exec(QSqlQuery& q);
    // Runs a query and returns up to maxRows rows (all when negative), each column as the store gives
    // it: on SQLite a qlonglong, double, QString or null; on PostgreSQL the driver's types. On SQLite
    // this goes straight to the library: the Qt driver's per-statement bookkeeping costs more than the
    // index look-up that a cursor step is.
    QList<QVector<QVariant>> SelectRows(const QString& sql, const QVariantList& binds, int maxRows = -1);
    // Run one statement without bound values (DDL, pragmas).
    void ExecDirect(const QString& sql);
    QSqlDatabase& Sql() { return m_db; }

    // Identifier quoting shared by every statement we build.
    static QString Quote(const QString& ident);
    // Table names are case-insensitive, as the stations have always treated them.
    static QString TableSql(const QString& tableName) { return Quote(tableName.toLower()); }
    static QString ErrorText(const class QSqlError& e);

private:
    TSession& m_session;
    QSqlDatabase m_db;
    QString m_connectionName;
    TStoreKind m_kind = TStoreKind::Sqlite;
    bool m_open = false;
    bool m_inTransaction = false;
    QHash<QString, std::shared_ptr<QSqlQuery>> m_statements;
    sqlite3* m_sqlite = nullptr;
    QHash<QString, sqlite3_stmt*> m_rawStatements;
};

// Registers the "CZECH" collation on an open SQLite connection (done by TDatabase::Open).
void RegisterCzechCollation(QSqlDatabase& db);
// Czech alphabetical comparison used by that collation; equal texts only when identical.
int CompareCzech(const QString& a, const QString& b);
