#pragma once

#include "Spooler.h"

#include <QByteArray>

#include <map>
#include <memory>

// Raw jobs through CUPS (libcups). A handle is its own connection to the scheduler, held from Open to
// Close; a job is Create-Job, then one raw document streamed with Send-Document. Every connection
// gives up after a few seconds without an answer, so an unreachable scheduler never keeps the cashier
// waiting long.
class TCupsSpooler final : public TSpooler {
public:
    // server: "host:port" or the path of the scheduler's local socket; empty = the client
    // configuration (CUPS_SERVER, client.conf, the local scheduler).
    explicit TCupsSpooler(QString server = {}, int timeoutMs = kDefaultTimeoutMs);
    ~TCupsSpooler() override;

    static constexpr int kDefaultTimeoutMs = 3000;
    int TimeoutMs() const { return m_timeoutMs; }

    THandle Open(const QString& name) override;
    bool StartDoc(THandle handle, const QString& title, const QString& dataType) override;
    bool StartPage(THandle handle) override;
    qint64 Write(THandle handle, const char* data, qint64 count) override;
    bool EndPage(THandle handle) override;
    bool EndDoc(THandle handle) override;
    bool Abort(THandle handle) override;
    bool Close(THandle handle) override;
    // The CUPS default destination (lpoptions of the user, LPDEST/PRINTER, the server's default) as
    // "name,,".
    QString DefaultPrinterEntry() override;
    // The destinations in cupsGetDests2 order (by name), without instances.
    QStringList ListPrinters() override;

private:
    struct TJob;
    TJob* Find(THandle handle);
    struct TConnection;
    std::unique_ptr<TConnection> Connect() const;
    bool Reconnect(TJob& job);
    bool CreateJob(TJob& job);
    bool Cancel(TJob& job);

    QString m_server;
    int m_timeoutMs;
    THandle m_next = 0;
    std::map<THandle, std::unique_ptr<TJob>> m_jobs;
};
