#include "ReceiptPrinting.h"

#include "DataSestavyUnit.h"
#include "DataUnit.h"
#include "Messages.h"
#include "ReceiptPage.h"
#include "ReceiptPrint.h"
#include "Spooler.h"
#include "VyberTiskuDokladuUnit.h"

#include <QApplication>
#include <QDir>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QRegularExpression>

#include <memory>

using namespace Qt::StringLiterals;

namespace ReceiptPrinting {

namespace {

// Shows the busy cursor while the printer is being talked to.
class TBusyCursor {
public:
    TBusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TBusyCursor() { QApplication::restoreOverrideCursor(); }
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;
};

// The folder of the printer when the station prints into spool folders, else empty.
QString SpoolFolder(const QString& printerName)
{
    const auto* spooler = dynamic_cast<const TDirectorySpooler*>(CurrentSpooler().get());
    if (!spooler || printerName.isEmpty())
        return QString();
    const QDir queue(QDir(spooler->Root()).filePath(printerName));
    return queue.exists() ? queue.absolutePath() : QString();
}

// The next free job number of a spool folder, as a PDF file name.
QString NextPdfJob(const QString& folder)
{
    static const QRegularExpression job(u"^(\\d{8})\\.(prn|pdf)$"_s);
    int last = 0;
    for (const QString& name : QDir(folder).entryList(QDir::Files))
        if (const auto m = job.match(name); m.hasMatch())
            last = std::max(last, m.captured(1).toInt());
    return QDir(folder).filePath(u"%1.pdf"_s.arg(last + 1, 8, 10, QChar(u'0')));
}

}  // namespace

bool RunPageReport(const TReceiptPrint& receipt, const TPageJob& job, QWidget* owner)
{
    if (job.copies <= 0)
        return false;
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(u"Pokladni doklad "_s + receipt.number);
    printer.setPageSize(QPageSize(QPageSize::A4));
    QString file = job.pdfFile;
    if (file.isEmpty()) {
        if (const QString folder = SpoolFolder(job.printerName); !folder.isEmpty())
            file = NextPdfJob(folder);
    }
    if (!file.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
    } else if (!job.printerName.isEmpty()) {
        printer.setPrinterName(job.printerName);
    }
    printer.setCopyCount(job.copies);
    // A PDF or a printer without copy support gets the copies one after another.
    const int passes = printer.supportsMultipleCopies() ? 1 : job.copies;

    if (job.preview) {
        QPrintPreviewDialog preview(&printer, owner);
        preview.setWindowTitle(u"Náhled dokladu"_s);
        bool painted = false;
        QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                         [&receipt, passes, &painted](QPrinter* p) {
                             ReceiptPage::Paint(receipt, *p, passes);
                             painted = true;
                         });
        return preview.exec() == QDialog::Accepted && painted;
    }
    TBusyCursor busy;
    ReceiptPage::Paint(receipt, printer, passes);
    return printer.printerState() != QPrinter::Error;
}

bool PrintPage(TData& data, QWidget* owner)
{
    TPageJob job;
    {
        auto dialog = std::make_unique<TVyberTiskuDokladu>(data, owner);
        if (dialog->exec() != QDialog::Accepted)
            return false;
        job.copies = dialog->Copies();
        job.preview = dialog->Preview();
        job.printerName = dialog->PrinterName();
    }
    if (job.copies <= 0)
        return false;  // an empty copies field prints nothing
    return RunPageReport(ReceiptPrint::Collect(data), job, owner);
}

bool PrintReceipt(TData& data, QWidget* owner, QString* error)
{
    if (!data.MatrixPrinter) {
        PrintPage(data, owner);
        return true;
    }
    TDataSestavy* printing = TDataSestavy::Instance();
    if (!printing)
        return true;
    QString listError;
    {
        TBusyCursor busy;
        ReceiptPrint::PrintRaw(data, *printing, &listError);
    }
    if (!listError.isEmpty()) {
        if (error)
            *error = listError;
        return false;
    }
    return true;
}

bool ReprintReceipt(TData& data, QWidget* owner)
{
    bool printed = true;
    const bool done = ReceiptPrint::Reprint(data, [&] { printed = PrintReceipt(data, owner); });
    return done && printed;
}

bool OpenDrawer(TData& data)
{
    TDataSestavy* printing = TDataSestavy::Instance();
    if (!printing)
        return false;
    QString error;
    const bool sent = ReceiptPrint::OpenDrawer(data, *printing, &error);
    if (!error.isEmpty())
        ShowError(error);
    return sent;
}

}  // namespace ReceiptPrinting
