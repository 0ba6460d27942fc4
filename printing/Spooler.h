#pragma once

#include <QString>
#include <QStringList>

#include <map>
#include <memory>

class QTemporaryFile;

// What the raw printer channel needs of a print spooler: open a queue by name, run one raw job on it
// (start, page, bytes, end or abort), close it; the default printer; the installed printers.
// Every operation reports failure through its result and never throws.
class TSpooler {
public:
    using THandle = quint64;  // 0 = no handle

    virtual ~TSpooler() = default;

    // A handle to the named queue, or 0 when there is no such queue or the spooler cannot be reached.
    virtual THandle Open(const QString& name) = 0;
    // A new job on the open queue. dataType is "RAW": the bytes reach the device unchanged.
    virtual bool StartDoc(THandle handle, const QString& title, const QString& dataType) = 0;
    virtual bool StartPage(THandle handle) = 0;
    // Number of bytes accepted.
    virtual qint64 Write(THandle handle, const char* data, qint64 count) = 0;
    virtual bool EndPage(THandle handle) = 0;
    // Completes the job: it is printed.
    virtual bool EndDoc(THandle handle) = 0;
    // Discards the job.
    virtual bool Abort(THandle handle) = 0;
    // Releases the handle (also on failure the handle is gone when this returns true).
    virtual bool Close(THandle handle) = 0;

    // The default printer in the form "name,driver,port"; empty when there is none.
    virtual QString DefaultPrinterEntry() = 0;
    // The installed printers' bare queue names in the spooler's stable order.
    virtual QStringList ListPrinters() = 0;
};

// A spooler on the file system, for stations without CUPS, for the demo and for tests. Each queue is a
// sub-folder of the root. A job is written to a hidden temporary file in its queue folder and renamed
// to the next free number, "00000001.prn", "00000002.prn", ..., when the document ends, so a reader of
// the folder never sees a half-written job. The default printer is the folder named on the first line
// of the file "default" in the root.
class TDirectorySpooler final : public TSpooler {
public:
    explicit TDirectorySpooler(QString root);
    ~TDirectorySpooler() override;

    QString Root() const { return m_root; }

    THandle Open(const QString& name) override;
    bool StartDoc(THandle handle, const QString& title, const QString& dataType) override;
    bool StartPage(THandle handle) override;
    qint64 Write(THandle handle, const char* data, qint64 count) override;
    bool EndPage(THandle handle) override;
    bool EndDoc(THandle handle) override;
    bool Abort(THandle handle) override;
    bool Close(THandle handle) override;
    QString DefaultPrinterEntry() override;
    QStringList ListPrinters() override;

private:
    struct TJob;
    TJob* Find(THandle handle);

    QString m_root;
    THandle m_next = 0;
    std::map<THandle, std::unique_ptr<TJob>> m_jobs;
};

// The spooler in use for this process: the one installed with SetSpooler, else a directory spooler
// when a spool directory is set (SetSpoolDirectory, or the environment variable KORVANTA_SPOOL_DIR),
// else CUPS.
std::shared_ptr<TSpooler> CurrentSpooler();
// Installs a spooler for the whole process; nullptr goes back to the choice above.
void SetSpooler(std::shared_ptr<TSpooler> spooler);
// Prints into folders under dir (see TDirectorySpooler); an empty dir goes back to the default choice.
void SetSpoolDirectory(const QString& dir);
