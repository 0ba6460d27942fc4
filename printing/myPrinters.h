#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <exception>

// The installed printers by position, as the settings HlavniTiskarna and ParagonovaTiskarna count
// them. Every entry is a bare queue name that the raw channel can open. The list is read from the
// spooler in use once, at its first use, and kept for the whole run.

class EPrinter : public std::exception {
public:
    explicit EPrinter(QString message);
    QString Message() const { return m_message; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    QString m_message;
    QByteArray m_what;
};

struct TPrinterDevice {
    QString Device;  // printer name
    QString Driver;  // always empty
    QString Port;    // empty: the spoolers report no ports
};

class TPrinter {
public:
    struct TEntry {
        QString Text;  // the bare printer name
        TPrinterDevice Device;
    };

    explicit TPrinter(QList<TEntry> entries) : m_entries(std::move(entries)) {}

    int Count() const { return int(m_entries.size()); }
    QStringList Printers() const;
    // The printer name at 0-based position i; EPrinter "List index out of bounds (i)" outside the list.
    QString Printer(int i) const;
    const TPrinterDevice& Device(int i) const;

private:
    void Check(int i) const;
    QList<TEntry> m_entries;
};

// The list, built on the first call from CurrentSpooler(); the same list afterwards.
TPrinter& GetPrinters();
// Forgets the list, so that the next GetPrinters() builds it again. For tests.
void ResetPrintersForTests();
