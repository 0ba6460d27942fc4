#pragma once

#include "Database.h"

#include <QString>

// The one way to run a transaction: the guard starts it, Commit() ends it, and a guard that leaves
// its scope without a commit (an exception, an early return) rolls it back.
//
//     TTransaction tx(db);
//     ... writes; a failure throws EDatabaseError ...
//     tx.Commit();
//
// With TTransaction::JoinOpen a transaction that the caller already holds is joined instead: the
// guard then neither commits nor rolls back, which stays the business of the caller's own guard.
class TTransaction {
public:
    enum TMode { Start, JoinOpen };

    explicit TTransaction(TDatabase& db, TMode mode = Start);
    // Rolls back what was not committed. A failing rollback (a lost connection) is logged, never
    // thrown: an error may already be on its way out.
    ~TTransaction();

    // Commits the transaction this guard started; a joined one is left to its owner. A failed commit
    // throws, with nothing of the transaction kept.
    void Commit();
    // Rolls back now (an operation that refuses without an error); throws when the rollback fails.
    void Rollback();

    // True while this guard owns an open transaction.
    bool Owned() const { return m_owned; }
    TDatabase& Database() const { return m_db; }

    TTransaction(const TTransaction&) = delete;
    TTransaction& operator=(const TTransaction&) = delete;

private:
    TDatabase& m_db;
    bool m_owned = false;
};

// A savepoint inside an open transaction, on both stores: a failed statement after it can be undone
// with Rollback() and the transaction goes on (PostgreSQL would otherwise refuse every later statement
// of the transaction). The guard releases the savepoint when it leaves its scope; one that was
// neither released nor rolled back by then is rolled back first.
class TSavepoint {
public:
    // name: a plain identifier of our own, never input.
    TSavepoint(TDatabase& db, const QString& name);
    ~TSavepoint();

    void Release();
    // Undoes everything since the savepoint and releases it.
    void Rollback();

    TSavepoint(const TSavepoint&) = delete;
    TSavepoint& operator=(const TSavepoint&) = delete;

private:
    TDatabase& m_db;
    QString m_name;
    bool m_open = false;
};
