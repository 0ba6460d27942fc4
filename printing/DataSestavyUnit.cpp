#include "DataSestavyUnit.h"

#include "PrintLog.h"
#include "myPrinters.h"

#include <QDir>

using namespace Qt::StringLiterals;

const QByteArray TDataSestavy::kEndOfDocument("\x1B\x64\x30\x07");  // ESC "d0" BEL
const QByteArray TDataSestavy::kDrawerPulse("\x07");

namespace {

TDataSestavy* g_instance = nullptr;

}  // namespace

TDataSestavy::TDataSestavy(QObject* parent) : QObject(parent)
{
    RAWPrinter.DocumentTitle = u"Čerpání Velmira"_s;
    RAWPrinter.PrinterName = u"SP 300"_s;
    g_instance = this;
}

TDataSestavy::~TDataSestavy()
{
    if (g_instance == this)
        g_instance = nullptr;
}

TDataSestavy* TDataSestavy::Instance()
{
    return g_instance;
}

QString TDataSestavy::LogoPath(const QString& logoDirectory)
{
    return QDir(logoDirectory).filePath(u"logo.prn"_s);
}

bool TDataSestavy::SelectPrinter(int printerPosition, QString* error)
{
    try {
        RAWPrinter.PrinterName = GetPrinters().Printer(printerPosition);
        return true;
    } catch (const EPrinter& e) {
        qCWarning(lcPrint).noquote() << "printer" << printerPosition << "not selected:" << e.Message();
        if (error)
            *error = e.Message();
        return false;
    }
}

bool TDataSestavy::PrintDocument(int printerPosition, const QString& logoDirectory,
                                 const std::function<void(TRAWPrinter&)>& body, QString* error)
{
    if (!SelectPrinter(printerPosition, error))
        return false;
    const bool started = RAWPrinter.StartDoc();
    RAWPrinter.SendFile(LogoPath(logoDirectory));  // a missing logo is skipped
    if (body)
        body(RAWPrinter);
    for (int i = 0; i < 7; ++i)
        RAWPrinter.NewLine();
    const bool written = RAWPrinter.WriteLine(kEndOfDocument);
    return RAWPrinter.EndDoc() && started && written;
}

bool TDataSestavy::OpenDrawer(int printerPosition, QString* error)
{
    if (!SelectPrinter(printerPosition, error))
        return false;
    const bool started = RAWPrinter.StartDoc();
    const bool written = RAWPrinter.WriteLine(kDrawerPulse);
    return RAWPrinter.EndDoc() && started && written;
}
