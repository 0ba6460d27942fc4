#pragma once

#include "Database.h"
#include "Messages.h"
#include "Schema.h"
#include "Table.h"

#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// A fresh, empty store of one kind for one test: a temporary SQLite file, or a new database on the
// private PostgreSQL server that the test command starts (KORVANTA_PG_HOST / KORVANTA_PG_PORT).
class TTestStore {
public:
    explicit TTestStore(TStoreKind kind);
    ~TTestStore();

    TStoreKind Kind() const { return m_kind; }
    TDatabase& Db() { return *m_db; }
    // Another connection to the same store (another till).
    std::unique_ptr<TTestStore> SecondConnection() const;
    QString Protocol() const
    {
        return m_kind == TStoreKind::Postgres ? QStringLiteral("TCPIP") : QStringLiteral("LOCAL");
    }
    // Folder of the SQLite file, or empty.
    QString Directory() const { return m_dir; }
    QString AliasName() const { return m_alias; }
    QString ServerName() const;  // "ACC@host:port" for PostgreSQL
    void CreateTables(const QString& organisation = QStringLiteral("0001"));

private:
    TTestStore(TStoreKind kind, QString dir, QString alias, bool owner);
    void Connect();

    TStoreKind m_kind;
    std::unique_ptr<QTemporaryDir> m_tmp;
    QString m_dir;
    QString m_alias;
    bool m_owner = true;
    std::unique_ptr<TCommsEngine> m_engine;
    std::unique_ptr<TSession> m_session;
    std::unique_ptr<TDatabase> m_db;
};

// PostgreSQL only: while it lives, holds the advisory lock `key` on a connection of its own, and
// from another one (a thread of its own) ends the server process of the first connection that waits
// for that lock: a statement that waits for it (see WaitForLockBefore) fails as when the server ends
// a connection in the middle of its work.
class TBackendKiller {
public:
    TBackendKiller(const TTestStore& store, qint64 key);
    ~TBackendKiller();
    TBackendKiller(const TBackendKiller&) = delete;
    TBackendKiller& operator=(const TBackendKiller&) = delete;
    // Waits until the killer is done (it gives up after 20 s without a waiting connection).
    bool Killed();
    QString Error() const;  // why the killer could not work, if it could not

private:
    std::unique_ptr<TTestStore> m_holder;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_killed{false};
    mutable std::mutex m_mutex;
    QString m_error;
};

// PostgreSQL only: makes `event` on `table` ("BEFORE UPDATE", "BEFORE INSERT") wait for the advisory
// lock `key` in the writing transaction.
void WaitForLockBefore(TDatabase& db, const QString& event, const QString& table, qint64 key);

class TData;
// A data module connected to the test store (its own connection), tables named for organisation
// "0001", with no settings file and no sign-on. Messages go to the handler the test installs.
std::unique_ptr<TData> MakeData(const TTestStore& store);

// Records what the operator was told while it lives; confirmations answer `answer`.
class TMessageRecorder {
public:
    explicit TMessageRecorder(bool answer = true);
    ~TMessageRecorder();
    QStringList messages;

private:
    TMessageHandler m_previous;
    bool m_answer;
};

// True when the private PostgreSQL server is configured; otherwise skips the test, or fails it when
// KORVANTA_REQUIRE_PG is set (the test command sets it, so CI never silently skips a store).
bool PgAvailableOrSkip();
QString PgHost();
int PgPort();

std::string StoreName(const testing::TestParamInfo<TStoreKind>& info);

#define KV_SKIP_WITHOUT_STORE(kind)                                  \
    do {                                                             \
        if ((kind) == TStoreKind::Postgres && !PgAvailableOrSkip())  \
            GTEST_SKIP() << "PostgreSQL test server not configured"; \
    } while (0)

// Parameterised over both stores.
class StoreTest : public testing::TestWithParam<TStoreKind> {
protected:
    void SetUp() override;
    void TearDown() override { store.reset(); }
    // A cursor on the test's own connection over the organisation's table of that prefix, open: it
    // sees only what the code under test committed.
    std::unique_ptr<TTable> Table(const QString& prefix, const QString& organisation = QStringLiteral("0001"))
    {
        const TTableDef& def = TableDef(prefix);
        auto t = std::make_unique<TTable>(store->Db(), def);
        t->SetTableName(TableNameFor(def, organisation));
        t->Open();
        return t;
    }
    std::unique_ptr<TTestStore> store;
};

#define KV_INSTANTIATE_STORES(Suite)                                                                   \
    INSTANTIATE_TEST_SUITE_P(Stores, Suite, testing::Values(TStoreKind::Sqlite, TStoreKind::Postgres), \
                             StoreName)
