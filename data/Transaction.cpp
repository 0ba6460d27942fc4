#include "Transaction.h"

#include "DataLog.h"

using namespace Qt::StringLiterals;

TTransaction::TTransaction(TDatabase& db, TMode mode) : m_db(db)
{
    if (mode == JoinOpen && db.InTransaction())
        return;
    db.StartTransaction();
    m_owned = true;
}

TTransaction::~TTransaction()
{
    if (!m_owned)
        return;
    try {
        m_db.Rollback();
    } catch (const EDatabaseError& e) {
        qCWarning(lcData).noquote() << "rollback failed:" << e.Message();
    }
}

void TTransaction::Commit()
{
    if (!m_owned)
        return;
    m_owned = false;  // a failed commit has rolled back already (TDatabase::Commit)
    m_db.Commit();
}

void TTransaction::Rollback()
{
    if (!m_owned)
        return;
    m_owned = false;
    m_db.Rollback();
}

TSavepoint::TSavepoint(TDatabase& db, const QString& name) : m_db(db), m_name(TDatabase::Quote(name))
{
    m_db.ExecDirect(u"SAVEPOINT "_s + m_name);
    m_open = true;
}

TSavepoint::~TSavepoint()
{
    if (!m_open)
        return;
    try {
        Rollback();
    } catch (const EDatabaseError& e) {
        qCWarning(lcData).noquote() << "rollback to savepoint" << m_name << "failed:" << e.Message();
    }
}

void TSavepoint::Release()
{
    if (!m_open)
        return;
    m_open = false;
    m_db.ExecDirect(u"RELEASE SAVEPOINT "_s + m_name);
}

void TSavepoint::Rollback()
{
    if (!m_open)
        return;
    m_open = false;
    m_db.ExecDirect(u"ROLLBACK TO SAVEPOINT "_s + m_name);
    m_db.ExecDirect(u"RELEASE SAVEPOINT "_s + m_name);
}
