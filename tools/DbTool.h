#pragma once

#include <QStringList>

#include <functional>

class QTextStream;
class TData;

// Sizes of a generated data set (korvanta-db generate).
struct TGenerateOptions {
    int cards = 1000;  // new assortment cards
    int variants = 3;  // stock variants of each stock card ("000" upwards)
    int receipts = 10000;
    int lines = 5;  // journal lines of each receipt
    int passes = 1000;
    int movements = 10;  // movements of each pass
};

// The commands of the administration tool on a connected data module (tables named for its
// organisation), each in a file of its own. Failures throw EDatabaseError with a Czech message or the
// database client's.
class TDbTool {
public:
    TDbTool(TData& data, QTextStream& out);

    // Creates the organisation's tables and the missing shared ones, in one transaction; refuses, and
    // creates nothing, when a table of the organisation already exists.
    void Init();
    // Loads the Czech demo data set; refuses when the assortment is not empty.
    void Demo();
    // Appends a large consistent data set for benchmarks and load tests.
    void Generate(const TGenerateOptions& options);
    // Prints every disagreement between stock cards and journal, assortment and stock cards, passes
    // and their movements; returns how many there were.
    int Check();

    // Shows how far a long command has got (a line that replaces the previous one; an empty text
    // takes it away); the program installs it when standard error is a terminal.
    std::function<void(const QString&)> Progress;

private:
    TData& m_data;
    QTextStream& m_out;
};

// The program korvanta-db: arguments without the program name. Returns the exit status: 0 done,
// 1 failure (or disagreements found by check), 2 wrong usage or unusable Prodejna.ini.
int RunDbTool(const QStringList& args, QTextStream& out, QTextStream& err);

// The usage text printed for --help and after a usage error.
QString DbToolUsage();
