#include "Database.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>
#include <QUrl>
#include <QVariant>

#include <sqlite3.h>

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {

constexpr int kConnectTimeoutMs = 3000;

// True when something accepts a TCP connection at host:port within the timeout.
bool TcpReachable(const QString& host, int port, int timeoutMs)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    const QByteArray h = host.toUtf8();
    const QByteArray p = QByteArray::number(port);
    if (getaddrinfo(h.constData(), p.constData(), &hints, &res) != 0 || !res)
        return false;
    bool ok = false;
    for (addrinfo* ai = res; ai && !ok; ai = ai->ai_next) {
        const int fd =
            ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol);
        if (fd < 0)
            continue;
        int rc = ::connect(fd, ai->ai_addr, ai->ai_addrlen);
        if (rc == 0) {
            ok = true;
        } else if (errno == EINPROGRESS) {
            pollfd pfd{fd, POLLOUT, 0};
            if (::poll(&pfd, 1, timeoutMs) == 1) {
                int err = 0;
                socklen_t len = sizeof err;
                ok = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0;
            }
        }
        ::close(fd);
    }
    freeaddrinfo(res);
    return ok;
}

int CzechCollationCallback(void*, int len1, const void* s1, int len2, const void* s2)
{
    const QString a = QString::fromRawData(static_cast<const QChar*>(s1), len1 / 2);
    const QString b = QString::fromRawData(static_cast<const QChar*>(s2), len2 / 2);
    return CompareCzech(a, b);
}

std::atomic<int> g_connectionCounter{0};

}  // namespace

int CompareCzech(const QString& a, const QString& b)
{
    thread_local QCollator collator = [] {
        QCollator c(QLocale(QLocale::Czech, QLocale::Czechia));
        c.setCaseSensitivity(Qt::CaseSensitive);
        return c;
    }();
    const int r = collator.compare(a, b);
    if (r != 0)
        return r < 0 ? -1 : 1;
    // The collator may call different texts equal; equality must stay exact.
    const int bin = QString::compare(a, b, Qt::CaseSensitive);
    return bin < 0 ? -1 : (bin > 0 ? 1 : 0);
}

namespace {
sqlite3* SqliteHandle(QSqlDatabase& db)
{
    const QVariant v = db.driver()->handle();
    if (!v.isValid() || qstrcmp(v.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(v.data());
}
}  // namespace

void RegisterCzechCollation(QSqlDatabase& db)
{
    const QVariant v = db.driver()->handle();
    if (!v.isValid() || qstrcmp(v.typeName(), "sqlite3*") != 0)
        throw EDatabaseError(u"Nelze zaregistrovat české řazení: neznámé spojení."_s);
    sqlite3* handle = *static_cast<sqlite3* const*>(v.data());
    if (!handle)
        throw EDatabaseError(u"Nelze zaregistrovat české řazení: spojení není otevřené."_s);
    if (sqlite3_create_collation_v2(handle, "CZECH", SQLITE_UTF16_ALIGNED, nullptr, CzechCollationCallback,
                                    nullptr) != SQLITE_OK)
        throw EDatabaseError(QString::fromUtf8(sqlite3_errmsg(handle)));
}

// ---------------------------------------------------------------------------------------------------

QString TCommsEngine::Host() const
{
    QString host = ServerName.section(u'@', 1).trimmed();
    if (host.isEmpty())
        host = u"127.0.0.1"_s;
    // "host:port", but leave a bare IPv6 address alone
    const int colon = host.lastIndexOf(u':');
    if (colon > 0 && host.count(u':') == 1)
        host = host.left(colon);
    return host;
}

int TCommsEngine::Port() const
{
    const QString host = ServerName.section(u'@', 1).trimmed();
    const int colon = host.lastIndexOf(u':');
    if (colon > 0 && host.count(u':') == 1) {
        bool ok = false;
        const int port = host.mid(colon + 1).toInt(&ok);
        if (ok && port > 0 && port < 65536)
            return port;
    }
    bool ok = false;
    const int env = qEnvironmentVariable("PGPORT").toInt(&ok);
    return ok && env > 0 ? env : 5432;
}

void TCommsEngine::SetActive(bool active)
{
    if (!active) {
        m_active = false;
        return;
    }
    if (IsTcpIp() && !TcpReachable(Host(), Port(), kConnectTimeoutMs))
        throw EDatabaseError(u"Server %1 (%2:%3) neodpovídá."_s.arg(ServerName, Host()).arg(Port()));
    m_active = true;
}

void TSession::Open()
{
    if (!m_engine.Active())
        throw EDatabaseError(u"Komunikační modul není aktivní."_s);
    m_active = true;
}

// ---------------------------------------------------------------------------------------------------

TDatabase::TDatabase(TSession& session, QObject* parent) : QObject(parent), m_session(session) {}

TDatabase::~TDatabase()
{
    Close();
}

QString TDatabase::Quote(const QString& ident)
{
    QString s = ident;
    s.replace(u'"', u"\"\""_s);
    return u'"' + s + u'"';
}

QString TDatabase::ErrorText(const QSqlError& e)
{
    QString t = e.databaseText().trimmed();
    if (t.isEmpty())
        t = e.text().trimmed();
    if (t.isEmpty())
        t = e.driverText().trimmed();
    return t;
}

QString TDatabase::EmbeddedFilePath() const
{
    return QDir(Directory.isEmpty() ? QDir::currentPath() : Directory)
        .filePath(AliasName.trimmed() + u".db"_s);
}

void TDatabase::Open()
{
    if (m_open)
        return;
    if (!m_session.Active())
        throw EDatabaseError(u"Relace není otevřená."_s);
    const TCommsEngine& engine = m_session.Engine();
    m_kind = engine.IsTcpIp() ? TStoreKind::Postgres : TStoreKind::Sqlite;
    m_connectionName = u"korvanta-%1"_s.arg(++g_connectionCounter);
    if (m_kind == TStoreKind::Sqlite) {
        m_db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_connectionName);
        const QString path = EmbeddedFilePath();
        QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
        url.setQuery(CreateIfMissing ? u"mode=rwc"_s : u"mode=rw"_s);
        m_db.setDatabaseName(url.toString(QUrl::FullyEncoded));
        m_db.setConnectOptions(u"QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=15000"_s);
    } else {
        m_db = QSqlDatabase::addDatabase(u"QPSQL"_s, m_connectionName);
        m_db.setHostName(engine.Host());
        const QString hostPart = engine.ServerName.section(u'@', 1);
        if (hostPart.count(u':') == 1)
            m_db.setPort(engine.Port());
        m_db.setDatabaseName(AliasName.trimmed());
        m_db.setConnectOptions(u"connect_timeout=5;application_name=korvanta"_s);
    }
    if (!m_db.isValid()) {
        const QString msg = ErrorText(m_db.lastError());
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connectionName);
        throw EDatabaseError(msg.isEmpty() ? u"Ovladač databáze není k dispozici."_s : msg);
    }
    if (!m_db.open()) {
        const QString msg = ErrorText(m_db.lastError());
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connectionName);
        throw EDatabaseError(msg);
    }
    m_open = true;
    try {
        if (m_kind == TStoreKind::Sqlite) {
            RegisterCzechCollation(m_db);
            m_sqlite = SqliteHandle(m_db);
            // Reading the schema tells at once whether the file is a database at all.
            ExecDirect(u"SELECT count(*) FROM sqlite_master"_s);
            ExecDirect(u"PRAGMA journal_mode=WAL"_s);
            ExecDirect(u"PRAGMA synchronous=FULL"_s);
            // Up to 32 MiB of pages instead of SQLite's 2 MB, so that the index pages of a large table
            // (the journal) stay in memory between steps; it only grows as pages are read.
            ExecDirect(u"PRAGMA cache_size=-32768"_s);
        } else {
            ExecDirect(u"SET client_encoding TO 'UTF8'"_s);
        }
    } catch (...) {
        Close();
        throw;
    }
}

void TDatabase::Close()
{
    if (!m_open && m_connectionName.isEmpty())
        return;
    m_statements.clear();
    for (sqlite3_stmt* st : std::as_const(m_rawStatements))
        sqlite3_finalize(st);
    m_rawStatements.clear();
    m_sqlite = nullptr;
    if (m_db.isOpen()) {
        if (m_inTransaction)
            m_db.rollback();
        m_db.close();
    }
    m_inTransaction = false;
    m_db = QSqlDatabase();
    if (!m_connectionName.isEmpty())
        QSqlDatabase::removeDatabase(m_connectionName);
    m_connectionName.clear();
    m_open = false;
}

QSqlQuery& TDatabase::Prepare(const QString& sql)
{
    if (!m_open)
        throw EDatabaseError(u"Databáze není připojena."_s);
    auto it = m_statements.find(sql);
    if (it != m_statements.end()) {
        (*it)->finish();
        return **it;
    }
    auto q = std::make_shared<QSqlQuery>(m_db);
    q->setForwardOnly(true);
    if (!q->prepare(sql))
        throw EDatabaseError(ErrorText(q->lastError()));
    m_statements.insert(sql, q);
    return *q;
}

void TDatabase::Exec(QSqlQuery& q)
{
    if (!q.exec()) {
        const QString msg = ErrorText(q.lastError());
        q.finish();
        throw EDatabaseError(msg);
    }
}

QList<QVector<QVariant>> TDatabase::SelectRows(const QString& sql, const QVariantList& binds, int maxRows)
{
    if (!m_open)
        throw EDatabaseError(u"Databáze není připojena."_s);
    QList<QVector<QVariant>> rows;
    if (!m_sqlite) {
        QSqlQuery& q = Prepare(sql);
        for (int i = 0; i < binds.size(); ++i)
            q.bindValue(i, binds[i]);
        Exec(q);
        const int cols = q.record().count();
        while ((maxRows < 0 || rows.size() < maxRows) && q.next()) {
            QVector<QVariant> row(cols);
            for (int c = 0; c < cols; ++c)
                row[c] = q.value(c);
            rows.append(std::move(row));
        }
        const QSqlError err = q.lastError();
        q.finish();
        if (err.isValid())
            throw EDatabaseError(ErrorText(err));
        return rows;
    }

    sqlite3_stmt* st = m_rawStatements.value(sql);
    if (!st) {
        const QByteArray utf8 = sql.toUtf8();
        if (sqlite3_prepare_v3(m_sqlite, utf8.constData(), int(utf8.size()), SQLITE_PREPARE_PERSISTENT, &st,
                               nullptr) != SQLITE_OK)
            throw EDatabaseError(QString::fromUtf8(sqlite3_errmsg(m_sqlite)));
        m_rawStatements.insert(sql, st);
    }
    // The statement is reset however this ends, so it never holds a read snapshot open.
    struct Reset {
        sqlite3_stmt* st;
        ~Reset()
        {
            sqlite3_reset(st);
            sqlite3_clear_bindings(st);
        }
    } reset{st};
    for (int i = 0; i < binds.size(); ++i) {
        const QVariant& v = binds[i];
        int rc = SQLITE_OK;
        if (!v.isValid() || v.isNull()) {
            rc = sqlite3_bind_null(st, i + 1);
        } else {
            switch (v.typeId()) {
            case QMetaType::Int:
            case QMetaType::UInt:
            case QMetaType::LongLong:
            case QMetaType::ULongLong:
            case QMetaType::Bool:
                rc = sqlite3_bind_int64(st, i + 1, v.toLongLong());
                break;
            case QMetaType::Double:
            case QMetaType::Float:
                rc = sqlite3_bind_double(st, i + 1, v.toDouble());
                break;
            default: {
                // Text travels as UTF-8, the store's own encoding: Qt converts faster than SQLite does.
                const QByteArray text = v.toString().toUtf8();
                rc = sqlite3_bind_text(st, i + 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
            }
            }
        }
        if (rc != SQLITE_OK)
            throw EDatabaseError(QString::fromUtf8(sqlite3_errmsg(m_sqlite)));
    }
    const int cols = sqlite3_column_count(st);
    while (maxRows < 0 || rows.size() < maxRows) {
        const int rc = sqlite3_step(st);
        if (rc == SQLITE_DONE)
            break;
        if (rc != SQLITE_ROW)
            throw EDatabaseError(QString::fromUtf8(sqlite3_errmsg(m_sqlite)));
        QVector<QVariant> row(cols);
        for (int c = 0; c < cols; ++c) {
            switch (sqlite3_column_type(st, c)) {
            case SQLITE_INTEGER:
                row[c] = qlonglong(sqlite3_column_int64(st, c));
                break;
            case SQLITE_FLOAT:
                row[c] = sqlite3_column_double(st, c);
                break;
            case SQLITE_TEXT: {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
                row[c] = QString::fromUtf8(text, sqlite3_column_bytes(st, c));
                break;
            }
            case SQLITE_BLOB:
                row[c] = QByteArray(static_cast<const char*>(sqlite3_column_blob(st, c)),
                                    sqlite3_column_bytes(st, c));
                break;
            default:
                break;  // NULL
            }
        }
        rows.append(std::move(row));
    }
    return rows;
}

void TDatabase::ExecDirect(const QString& sql)
{
    if (!m_open)
        throw EDatabaseError(u"Databáze není připojena."_s);
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (!q.exec(sql))
        throw EDatabaseError(ErrorText(q.lastError()));
    while (q.next()) {}
    q.finish();
}

namespace {
// Transaction control on SQLite runs as statements prepared once per connection, like the cursors'
// reads: through QSqlQuery it would be prepared anew on every posting.
void ExecControl(TDatabase& db, const QString& sql)
{
    if (db.Kind() == TStoreKind::Sqlite)
        db.SelectRows(sql, {});
    else
        db.ExecDirect(sql);
}
}  // namespace

void TDatabase::StartTransaction()
{
    if (!m_open)
        throw EDatabaseError(u"Databáze není připojena."_s);
    if (m_inTransaction)
        throw EDatabaseError(u"Transakce již probíhá."_s);
    // SQLite: take the write lock at once, so a read-modify-write never fails on a busy snapshot.
    ExecControl(*this, m_kind == TStoreKind::Sqlite ? u"BEGIN IMMEDIATE"_s : u"BEGIN"_s);
    m_inTransaction = true;
}

void TDatabase::Commit()
{
    if (!m_inTransaction)
        throw EDatabaseError(u"Žádná transakce neprobíhá."_s);
    for (auto& q : m_statements)
        q->finish();
    try {
        ExecControl(*this, u"COMMIT"_s);
    } catch (const EDatabaseError&) {
        // Nothing of a failed commit may stay half-applied or keep the lock.
        QSqlQuery q(m_db);
        q.exec(u"ROLLBACK"_s);
        m_inTransaction = false;
        throw;
    }
    m_inTransaction = false;
}

void TDatabase::Rollback()
{
    if (!m_inTransaction)
        return;
    for (auto& q : m_statements)
        q->finish();
    m_inTransaction = false;
    ExecControl(*this, u"ROLLBACK"_s);
}
