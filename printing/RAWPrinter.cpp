#include "RAWPrinter.h"

#include "TextRoutines.h"

#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

TRAWPrinter::~TRAWPrinter()
{
    if (m_state != Closed)
        AbortDoc();
    // A job that could not be discarded still has its handle released: nothing prints half-way.
    if (m_state != Closed && m_open)
        m_open->Close(m_handle);
}

std::shared_ptr<TSpooler> TRAWPrinter::Spooler() const
{
    return m_spooler ? m_spooler : CurrentSpooler();
}

bool TRAWPrinter::UseDefaultPrinter()
{
    QString entry = Spooler()->DefaultPrinterEntry();
    const qsizetype zero = entry.indexOf(QChar(0));
    if (zero >= 0)
        entry.truncate(zero);
    entry = TrimLeft(entry);
    const qsizetype comma = entry.indexOf(u',');
    if (comma >= 0)
        entry.truncate(comma);
    PrinterName = entry;
    return !PrinterName.isEmpty();
}

bool TRAWPrinter::StartDoc()
{
    if (m_state == Closed) {
        if (PrinterName.isEmpty())
            UseDefaultPrinter();
        if (!PrinterName.isEmpty()) {
            std::shared_ptr<TSpooler> spooler = Spooler();
            if (const TSpooler::THandle handle = spooler->Open(PrinterName)) {
                m_handle = handle;
                m_open = std::move(spooler);
                m_state = PrinterOpen;
            }
        }
    }
    if (m_state == PrinterOpen && m_open->StartDoc(m_handle, DocumentTitle, u"RAW"_s))
        m_state = DocumentStarted;
    if (m_state == DocumentStarted && m_open->StartPage(m_handle))
        m_state = PageStarted;
    return m_state == PageStarted;
}

qint64 TRAWPrinter::WriteBuffer(const char* data, qint64 count)
{
    if (m_state != PageStarted || count <= 0)
        return 0;
    return m_open->Write(m_handle, data, count);
}

bool TRAWPrinter::Write(const QByteArray& bytes)
{
    return WriteBuffer(bytes.constData(), bytes.size()) == bytes.size();
}

bool TRAWPrinter::WriteLine(const QByteArray& bytes)
{
    return Write(bytes + "\x0A\x0D");
}

bool TRAWPrinter::NewLine()
{
    return Write(QByteArray("\x0A", 1));
}

bool TRAWPrinter::SendFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists() || info.isDir())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // Blocks rather than single bytes: the same bytes in the same order, without a spooler call per
    // byte. As with single bytes, a block the spooler refuses does not stop the rest.
    char block[4096];
    for (;;) {
        const qint64 n = file.read(block, sizeof block);
        if (n <= 0)
            break;
        WriteBuffer(block, n);
    }
    return true;
}

bool TRAWPrinter::EndDoc()
{
    if (m_state == PageStarted && m_open->EndPage(m_handle))
        m_state = DocumentStarted;
    if (m_state == DocumentStarted && m_open->EndDoc(m_handle))
        m_state = PrinterOpen;
    if (m_state == PrinterOpen && m_open->Close(m_handle)) {
        m_state = Closed;
        m_handle = 0;
        m_open.reset();
    }
    return m_state == Closed;
}

bool TRAWPrinter::AbortDoc()
{
    if ((m_state == DocumentStarted || m_state == PageStarted) && m_open->Abort(m_handle))
        m_state = PrinterOpen;
    if (m_state == PrinterOpen && m_open->Close(m_handle)) {
        m_state = Closed;
        m_handle = 0;
        m_open.reset();
    }
    return m_state == Closed;
}
