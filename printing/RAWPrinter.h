#pragma once

#include "Spooler.h"

#include <QByteArray>
#include <QString>

#include <memory>

// The raw channel to the receipt printer: one spooler job at a time whose bytes reach the device
// unchanged. It shows no message and throws nothing; every failure shows only in the results, and a
// channel that could not start a document simply sends nothing.
class TRAWPrinter {
public:
    enum TState { Closed = 0, PrinterOpen = 1, DocumentStarted = 2, PageStarted = 3 };

    TRAWPrinter() = default;
    // A channel left open discards its job rather than printing it.
    ~TRAWPrinter();
    TRAWPrinter(const TRAWPrinter&) = delete;
    TRAWPrinter& operator=(const TRAWPrinter&) = delete;

    QString DocumentTitle;  // job name for the spooler
    QString PrinterName;    // queue to open; read only when a document starts from Closed

    TState State() const { return m_state; }
    TSpooler::THandle Handle() const { return m_handle; }

    // A fixed spooler for this channel (tests); without one the process's CurrentSpooler() is used.
    void SetSpooler(std::shared_ptr<TSpooler> spooler) { m_spooler = std::move(spooler); }

    // PrinterName := the name in the spooler's default printer entry ("name,driver,port"); true when
    // a name was found.
    bool UseDefaultPrinter();
    // Opens the printer, starts a raw job and a page, as far as each step succeeds; from a state
    // other than Closed it continues on the printer already open. True when a page is open.
    bool StartDoc();
    // Number of bytes the spooler accepted; 0 unless a page is open.
    qint64 WriteBuffer(const char* data, qint64 count);
    // True when every byte was accepted.
    bool Write(const QByteArray& bytes);
    // The bytes followed by LF CR (0x0A 0x0D), in one write.
    bool WriteLine(const QByteArray& bytes);
    // A single LF.
    bool NewLine();
    // Passes the file's bytes unchanged; false (and nothing sent) when there is no readable file.
    bool SendFile(const QString& path);
    // Ends the page, the job and closes the printer, as far as each step succeeds; true when Closed.
    bool EndDoc();
    // Discards the job and closes the printer; true when Closed.
    bool AbortDoc();

private:
    std::shared_ptr<TSpooler> Spooler() const;

    TState m_state = Closed;
    TSpooler::THandle m_handle = 0;
    std::shared_ptr<TSpooler> m_spooler;  // fixed for this channel, or none
    std::shared_ptr<TSpooler> m_open;     // the spooler that holds m_handle
};
