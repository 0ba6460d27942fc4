#include "TestSupport.h"

#include "DataUnit.h"
#include "SchemaSql.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QUuid>

#include <unistd.h>

using namespace Qt::StringLiterals;

QString PgHost()
{
    return qEnvironmentVariable("KORVANTA_PG_HOST", u"127.0.0.1"_s);
}

int PgPort()
{
    return qEnvironmentVariableIntValue("KORVANTA_PG_PORT");
}

bool PgAvailableOrSkip()
{
    if (PgPort() > 0)
        return true;
    if (qEnvironmentVariableIsSet("KORVANTA_REQUIRE_PG")) {
        ADD_FAILURE() << "KORVANTA_REQUIRE_PG is set but KORVANTA_PG_PORT is not";
    }
    return false;
}

std::string StoreName(const testing::TestParamInfo<TStoreKind>& info)
{
    return info.param == TStoreKind::Sqlite ? "Sqlite" : "Postgres";
}

namespace {

void AdminExec(const QString& sql)
{
    const QString name = u"kv-admin-%1"_s.arg(QUuid::createUuid().toString(QUuid::Id128));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QPSQL"_s, name);
        db.setHostName(PgHost());
        db.setPort(PgPort());
        db.setDatabaseName(u"postgres"_s);
        if (!db.open())
            throw EDatabaseError(u"admin connection: "_s + db.lastError().text());
        QSqlQuery q(db);
        if (!q.exec(sql))
            throw EDatabaseError(sql + u": "_s + q.lastError().text());
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

}  // namespace

TTestStore::TTestStore(TStoreKind kind) : m_kind(kind)
{
    if (kind == TStoreKind::Sqlite) {
        m_tmp = std::make_unique<QTemporaryDir>();
        m_dir = m_tmp->path();
        m_alias = u"Tolmek"_s;
    } else {
        static int counter = 0;
        m_alias = u"kvtest_%1_%2_%3"_s.arg(getpid()).arg(++counter).arg(
            QUuid::createUuid().toString(QUuid::Id128).left(8));
        AdminExec(u"CREATE DATABASE "_s + m_alias + u" TEMPLATE template0 ENCODING 'UTF8'"_s);
    }
    Connect();
}

TTestStore::TTestStore(TStoreKind kind, QString dir, QString alias, bool owner)
    : m_kind(kind), m_dir(std::move(dir)), m_alias(std::move(alias)), m_owner(owner)
{
    Connect();
}

QString TTestStore::ServerName() const
{
    return u"ACC@%1:%2"_s.arg(PgHost()).arg(PgPort());
}

void TTestStore::Connect()
{
    m_engine = std::make_unique<TCommsEngine>();
    m_engine->Protocol = m_kind == TStoreKind::Postgres ? u"TCPIP"_s : u"LOCAL"_s;
    m_engine->ServerName = ServerName();
    m_engine->SetActive(true);
    m_session = std::make_unique<TSession>(*m_engine);
    m_session->Open();
    m_db = std::make_unique<TDatabase>(*m_session);
    m_db->AliasName = m_alias;
    m_db->Directory = m_dir;
    m_db->CreateIfMissing = m_kind == TStoreKind::Sqlite;
    m_db->Open();
}

std::unique_ptr<TTestStore> TTestStore::SecondConnection() const
{
    return std::unique_ptr<TTestStore>(new TTestStore(m_kind, m_dir, m_alias, false));
}

void TTestStore::CreateTables(const QString& organisation)
{
    const QString collation = m_kind == TStoreKind::Postgres ? PgCzechCollation(*m_db) : QString();
    for (const TTableDef* def : AllTableDefs())
        for (const QString& sql : CreateTableSql(*def, TableNameFor(*def, organisation), m_kind, collation))
            m_db->ExecDirect(sql);
}

TTestStore::~TTestStore()
{
    m_db.reset();
    m_session.reset();
    m_engine.reset();
    if (m_kind == TStoreKind::Postgres && m_owner) {
        try {
            AdminExec(u"DROP DATABASE IF EXISTS "_s + m_alias + u" WITH (FORCE)"_s);
        } catch (...) {}
    }
}

void StoreTest::SetUp()
{
    KV_SKIP_WITHOUT_STORE(GetParam());
    store = std::make_unique<TTestStore>(GetParam());
    store->CreateTables();
}

std::unique_ptr<TData> MakeData(const TTestStore& store)
{
    auto data = std::make_unique<TData>(store.Directory());
    data->CestaProgramu = store.Directory() + u'/';
    data->Prodejna = u"0001"_s;
    data->Protocol = store.Protocol();
    data->ffCommsEngine.Protocol = data->Protocol;
    if (store.Kind() == TStoreKind::Postgres) {
        data->ServerName = u"ACC"_s;
        data->Host = u"%1:%2"_s.arg(PgHost()).arg(PgPort());
    } else {
        data->ServerName = u"ACC"_s;
        data->Host = u"127.0.0.1"_s;
    }
    data->AliasName = store.AliasName();
    data->UzivatelNac = TData::DefaultOperatorName();
    data->SetTableNames();
    data->Connect();
    return data;
}

TMessageRecorder::TMessageRecorder(bool answer) : m_answer(answer)
{
    m_previous = SetMessageHandler([this](TMessageKind, const QString& text) {
        messages << text;
        return m_answer;
    });
}

TMessageRecorder::~TMessageRecorder()
{
    SetMessageHandler(std::move(m_previous));
}

TBackendKiller::TBackendKiller(const TTestStore& store, qint64 key) : m_holder(store.SecondConnection())
{
    m_holder->Db().SelectRows(u"SELECT pg_advisory_lock(%1)"_s.arg(key), {});
    const QString alias = store.AliasName();
    m_thread = std::thread([this, alias] {
        const QString name = u"kv-killer-%1"_s.arg(QUuid::createUuid().toString(QUuid::Id128));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QPSQL"_s, name);
            db.setHostName(PgHost());
            db.setPort(PgPort());
            db.setDatabaseName(alias);
            if (!db.open()) {
                std::lock_guard lock(m_mutex);
                m_error = db.lastError().text();
            } else {
                QSqlQuery q(db);
                QElapsedTimer waiting;
                waiting.start();
                while (!m_stop && !m_killed && waiting.elapsed() < 20000) {
                    if (!q.exec(u"SELECT pid FROM pg_stat_activity WHERE datname = current_database() "
                                u"AND wait_event_type = 'Lock' AND wait_event = 'advisory'"_s)) {
                        std::lock_guard lock(m_mutex);
                        m_error = q.lastError().text();
                        break;
                    }
                    if (q.next()) {
                        const int pid = q.value(0).toInt();
                        q.finish();
                        if (!q.exec(u"SELECT pg_terminate_backend(%1)"_s.arg(pid))) {
                            std::lock_guard lock(m_mutex);
                            m_error = q.lastError().text();
                            break;
                        }
                        q.finish();
                        // Done when the server process has gone.
                        for (int i = 0; i < 250 && !m_killed; ++i) {
                            m_killed =
                                q.exec(u"SELECT COUNT(*) FROM pg_stat_activity WHERE pid = %1"_s.arg(pid)) &&
                                q.next() && q.value(0).toInt() == 0;
                            q.finish();
                            if (!m_killed)
                                QThread::msleep(20);
                        }
                        if (!m_killed) {
                            std::lock_guard lock(m_mutex);
                            m_error = u"the server process %1 did not end"_s.arg(pid);
                        }
                        break;
                    } else {
                        QThread::msleep(20);
                    }
                }
                q.finish();
                db.close();
            }
        }
        QSqlDatabase::removeDatabase(name);
    });
}

bool TBackendKiller::Killed()
{
    if (m_thread.joinable())
        m_thread.join();
    return m_killed;
}

TBackendKiller::~TBackendKiller()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    m_holder.reset();  // ends the lock with its connection
}

QString TBackendKiller::Error() const
{
    std::lock_guard lock(m_mutex);
    return m_error;
}

void WaitForLockBefore(TDatabase& db, const QString& event, const QString& table, qint64 key)
{
    static int counter = 0;
    const QString function = u"kv_wait_%1"_s.arg(++counter);
    db.ExecDirect(u"CREATE FUNCTION "_s + function +
                  u"() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN PERFORM pg_advisory_lock(%1); "
                  u"RETURN NEW; END $$"_s.arg(key));
    db.ExecDirect(u"CREATE TRIGGER "_s + function + u' ' + event + u" ON "_s + TDatabase::TableSql(table) +
                  u" FOR EACH ROW EXECUTE FUNCTION "_s + function + u"()"_s);
}
