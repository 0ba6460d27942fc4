#include "CupsSpooler.h"

#include <cups/cups.h>

#include <sys/socket.h>

using namespace Qt::StringLiterals;

namespace {

// No retries on a silent scheduler: the request fails once the timeout has passed.
int GiveUp(http_t*, void*)
{
    return 0;
}

// The program has nobody to type a password: a scheduler that asks for one gets none (the default
// callback would wait for input on the terminal).
const char* NoPassword(const char*, http_t*, const char*, const char*, void*)
{
    return nullptr;
}

bool IppOk(ipp_status_t status)
{
    return status <= IPP_STATUS_OK_CONFLICTING;
}

// A request on the queue `name` of the scheduler we are connected to, on behalf of this user.
ipp_t* NewPrinterRequest(ipp_op_t op, const QByteArray& name)
{
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(),
                     "/printers/%s", name.constData());
    ipp_t* request = ippNewRequest(op);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    return request;
}

}  // namespace

struct TCupsSpooler::TConnection {
    http_t* http = nullptr;
    ~TConnection()
    {
        if (http)
            httpClose(http);
    }
};

// One open queue and the job on it. The job's one raw document is streamed with Send-Document from
// its first byte on; a page is only a mark of the channel.
struct TCupsSpooler::TJob {
    std::unique_ptr<TConnection> connection;
    QByteArray name;       // queue
    QByteArray title;      // UTF-8
    bool created = false;  // StartDoc asked for a job (jobId is 0 when the scheduler refused it)
    int jobId = 0;
    bool page = false;
    bool streaming = false;          // a Send-Document request is open on the connection
    bool broken = false;             // the stream failed: this job takes no more bytes
    bool connectionSpoiled = false;  // a request broke off half-way: talk over a new connection
};

TCupsSpooler::TCupsSpooler(QString server, int timeoutMs)
    : m_server(std::move(server)), m_timeoutMs(timeoutMs)
{}

TCupsSpooler::~TCupsSpooler()
{
    // Handles still open: their jobs are discarded, not printed half-way.
    for (auto& [handle, job] : m_jobs) {
        if (job->jobId != 0) {
            Cancel(*job);
        }
    }
}

std::unique_ptr<TCupsSpooler::TConnection> TCupsSpooler::Connect() const
{
    QByteArray host;
    int port = 0;
    if (m_server.isEmpty()) {
        host = cupsServer();
        port = ippPort();
    } else {
        host = m_server.toUtf8();
        port = ippPort();
        // "host:port"; "[v6]:port"; a local socket path has no port.
        const qsizetype colon = host.lastIndexOf(':');
        if (!host.startsWith('/') && colon > 0 && host.indexOf(']', colon) < 0) {
            bool ok = false;
            const int p = host.mid(colon + 1).toInt(&ok);
            if (ok) {
                port = p;
                host.truncate(colon);
            }
        }
        if (host.startsWith('[') && host.endsWith(']'))
            host = host.mid(1, host.size() - 2);
    }
    cupsSetPasswordCB2(NoPassword, nullptr);  // per thread
    auto connection = std::make_unique<TConnection>();
    connection->http =
        httpConnect2(host.constData(), port, nullptr, AF_UNSPEC, cupsEncryption(), 1, m_timeoutMs, nullptr);
    if (!connection->http)
        return nullptr;
    httpSetTimeout(connection->http, m_timeoutMs / 1000.0, GiveUp, nullptr);
    return connection;
}

TCupsSpooler::TJob* TCupsSpooler::Find(THandle handle)
{
    const auto it = m_jobs.find(handle);
    return it == m_jobs.end() ? nullptr : it->second.get();
}

TSpooler::THandle TCupsSpooler::Open(const QString& name)
{
    if (name.isEmpty())
        return 0;
    auto connection = Connect();
    if (!connection)
        return 0;
    const QByteArray queue = name.toUtf8();

    // Does the queue exist? One Get-Printer-Attributes on it (cupsGetNamedDest would also search the
    // network for a name it does not know, which takes a second).
    ipp_t* request = NewPrinterRequest(IPP_OP_GET_PRINTER_ATTRIBUTES, queue);
    static const char* const kAttributes[] = {"printer-name"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 1, nullptr,
                  kAttributes);
    ipp_t* response = cupsDoRequest(connection->http, request, "/");
    const bool exists = response && IppOk(ippGetStatusCode(response));
    ippDelete(response);
    if (!exists)
        return 0;

    auto job = std::make_unique<TJob>();
    job->connection = std::move(connection);
    job->name = queue;
    const THandle handle = ++m_next;
    m_jobs.emplace(handle, std::move(job));
    return handle;
}

bool TCupsSpooler::Reconnect(TJob& job)
{
    if (!job.connectionSpoiled)
        return true;
    auto connection = Connect();
    if (!connection)
        return false;
    // Closing the old connection breaks off an open Send-Document: the scheduler drops its data.
    job.connection = std::move(connection);
    job.connectionSpoiled = false;
    job.streaming = false;
    return true;
}

bool TCupsSpooler::CreateJob(TJob& job)
{
    if (!Reconnect(job))
        return false;
    // Create-Job straight to the queue. (cupsCreateJob first looks the destination up and, on a local
    // scheduler, asks the queue's device for its capabilities; a raw socket device has none to give.)
    ipp_t* request = NewPrinterRequest(IPP_OP_CREATE_JOB, job.name);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr, job.title.constData());
    ipp_t* response = cupsDoRequest(job.connection->http, request, "/");
    ipp_attribute_t* id = response && IppOk(ippGetStatusCode(response))
                              ? ippFindAttribute(response, "job-id", IPP_TAG_INTEGER)
                              : nullptr;
    job.jobId = id ? ippGetInteger(id, 0) : 0;
    ippDelete(response);
    job.streaming = false;
    job.broken = false;
    return job.jobId > 0;
}

bool TCupsSpooler::StartDoc(THandle handle, const QString& title, const QString& dataType)
{
    TJob* job = Find(handle);
    if (!job || job->created || dataType != u"RAW"_s)
        return false;
    job->title = title.toUtf8();
    job->created = CreateJob(*job);
    return job->created;
}

bool TCupsSpooler::StartPage(THandle handle)
{
    TJob* job = Find(handle);
    if (!job || !job->created || job->page)
        return false;
    // After an end that failed the old job is gone: the next document goes into a new one.
    if (job->jobId == 0) {
        if (!CreateJob(*job))
            return false;
    }
    job->page = true;
    return true;
}

qint64 TCupsSpooler::Write(THandle handle, const char* data, qint64 count)
{
    TJob* job = Find(handle);
    if (!job || !job->page || job->broken || count <= 0)
        return 0;
    if (!job->streaming) {
        job->connectionSpoiled = true;
        if (cupsStartDocument(job->connection->http, job->name.constData(), job->jobId,
                              job->title.constData(), CUPS_FORMAT_RAW, 1) != HTTP_STATUS_CONTINUE) {
            job->broken = true;
            return 0;
        }
        job->streaming = true;
    }
    if (cupsWriteRequestData(job->connection->http, data, size_t(count)) != HTTP_STATUS_CONTINUE) {
        job->broken = true;
        return 0;
    }
    return count;
}

bool TCupsSpooler::EndPage(THandle handle)
{
    TJob* job = Find(handle);
    if (!job || !job->page)
        return false;
    job->page = false;
    return true;
}

bool TCupsSpooler::EndDoc(THandle handle)
{
    TJob* job = Find(handle);
    if (!job || !job->created)
        return false;
    if (job->jobId == 0) {
        job->created = false;  // withdrawn when an earlier end failed; nothing is pending
        return true;
    }
    job->page = false;
    if (job->broken) {
        // Part of the document is lost: the rest must not print as if it were whole.
        Cancel(*job);
        job->jobId = 0;
        return false;
    }
    if (!job->streaming) {
        // No byte was written: nothing to print (the scheduler refuses an empty document).
        if (!Cancel(*job))
            return false;
        job->created = false;
        return true;
    }
    const ipp_status_t status = cupsFinishDocument(job->connection->http, job->name.constData());
    job->streaming = false;
    job->jobId = 0;
    if (!IppOk(status))
        return false;  // the scheduler decides what becomes of it; this channel is done with it
    job->connectionSpoiled = false;
    job->created = false;
    return true;
}

bool TCupsSpooler::Cancel(TJob& job)
{
    if (!Reconnect(job))
        return false;
    // A job that the scheduler no longer has, or has already finished or cancelled, is gone as
    // well: otherwise a job cancelled elsewhere would keep the channel from ever closing.
    const ipp_status_t status = cupsCancelJob2(job.connection->http, job.name.constData(), job.jobId, 0);
    if (!IppOk(status) && status != IPP_STATUS_ERROR_NOT_FOUND && status != IPP_STATUS_ERROR_NOT_POSSIBLE)
        return false;
    job.jobId = 0;
    job.page = false;
    job.broken = false;
    return true;
}

bool TCupsSpooler::Abort(THandle handle)
{
    TJob* job = Find(handle);
    if (!job || !job->created)
        return false;
    if (job->jobId == 0) {
        job->created = false;
        job->page = false;
        return true;
    }
    if (!Cancel(*job))
        return false;
    job->created = false;
    return true;
}

bool TCupsSpooler::Close(THandle handle)
{
    const auto it = m_jobs.find(handle);
    if (it == m_jobs.end())
        return false;
    if (it->second->jobId != 0)
        Cancel(*it->second);  // never leave a half-sent job to be printed
    m_jobs.erase(it);
    return true;
}

QString TCupsSpooler::DefaultPrinterEntry()
{
    auto connection = Connect();
    if (!connection)
        return {};
    cups_dest_t* dest = cupsGetNamedDest(connection->http, nullptr, nullptr);
    if (!dest)
        return {};
    const QString name = QString::fromUtf8(dest->name);
    cupsFreeDests(1, dest);
    return name + u",,"_s;
}

QStringList TCupsSpooler::ListPrinters()
{
    auto connection = Connect();
    if (!connection)
        return {};
    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(connection->http, &dests);
    QStringList names;
    for (int i = 0; i < count; ++i) {
        if (!dests[i].instance)
            names << QString::fromUtf8(dests[i].name);
    }
    cupsFreeDests(count, dests);
    return names;
}
