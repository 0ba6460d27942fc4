#include "myPrinters.h"

#include "Spooler.h"

#include <memory>

using namespace Qt::StringLiterals;

EPrinter::EPrinter(QString message) : m_message(std::move(message)), m_what(m_message.toUtf8()) {}

QStringList TPrinter::Printers() const
{
    QStringList names;
    names.reserve(m_entries.size());
    for (const TEntry& e : m_entries)
        names << e.Text;
    return names;
}

void TPrinter::Check(int i) const
{
    if (i < 0 || i >= m_entries.size())
        throw EPrinter(u"List index out of bounds (%1)"_s.arg(i));
}

QString TPrinter::Printer(int i) const
{
    Check(i);
    return m_entries.at(i).Text;
}

const TPrinterDevice& TPrinter::Device(int i) const
{
    Check(i);
    return m_entries.at(i).Device;
}

namespace {

std::unique_ptr<TPrinter>& Instance()
{
    static std::unique_ptr<TPrinter> printers;
    return printers;
}

}  // namespace

TPrinter& GetPrinters()
{
    std::unique_ptr<TPrinter>& printers = Instance();
    if (!printers) {
        // Built aside: an error while building leaves no list, so the next call tries again. An
        // empty list, by contrast, stays for the run.
        QList<TPrinter::TEntry> entries;
        for (const QString& name : CurrentSpooler()->ListPrinters())
            entries.append({name, {name, {}, {}}});
        printers = std::make_unique<TPrinter>(std::move(entries));
    }
    return *printers;
}

void ResetPrintersForTests()
{
    Instance().reset();
}
