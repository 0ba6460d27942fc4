#pragma once

#include <QString>
#include <QtGlobal>

// The program's log. While a TProgramLog exists, every warning, critical and fatal message of any
// logging category goes, as before, to standard error and is also appended, with the time and the
// operator, to korvanta.log in the station directory:
//
//     2026-12-10 04:06:08 [Novák] korvanta.stock warning: posting failed: karta 100001, ...
//
// The file is capped: once it has grown past the limit it becomes korvanta.log.1 (replacing the older
// one) and a new file starts, so the log never takes more than about twice the limit.
class TProgramLog {
public:
    static constexpr qint64 kDefaultLimit = 1024 * 1024;

    explicit TProgramLog(const QString& directory, qint64 limitBytes = kDefaultLimit);
    // Puts back the message handler that was installed before.
    ~TProgramLog();

    TProgramLog(const TProgramLog&) = delete;
    TProgramLog& operator=(const TProgramLog&) = delete;

    // Path of the log file.
    QString FilePath() const;
};

// The operator named in the log's lines from now on (the data module calls it at sign-on).
void SetLogOperator(const QString& name);
