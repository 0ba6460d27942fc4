#include "ProgramLog.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>

using namespace Qt::StringLiterals;

namespace {

struct TLogState {
    QMutex mutex;
    QString path;
    qint64 limit = TProgramLog::kDefaultLimit;
    QString operatorName;
    QtMessageHandler previous = nullptr;
    bool active = false;
};

TLogState& State()
{
    static TLogState state;
    return state;
}

const char* KindName(QtMsgType type)
{
    switch (type) {
    case QtWarningMsg:
        return "warning";
    case QtCriticalMsg:
        return "error";
    case QtFatalMsg:
        return "fatal";
    default:
        return "info";
    }
}

// Appends one line; a log that cannot be written must not stop the program, so failures here are
// only reported on standard error (by the caller's handler, which already printed the message).
void Append(TLogState& s, QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    QFileInfo info(s.path);
    if (info.exists() && info.size() >= s.limit) {
        const QString older = s.path + u".1"_s;
        QFile::remove(older);
        QFile::rename(s.path, older);
    }
    QFile file(s.path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return;
    const QString line = u"%1 [%2] %3 %4: %5\n"_s.arg(
        QDateTime::currentDateTime().toString(u"yyyy-MM-dd HH:mm:ss"_s), s.operatorName,
        QString::fromUtf8(context.category ? context.category : "default"),
        QString::fromLatin1(KindName(type)), message);
    file.write(line.toUtf8());
}

void Handler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    TLogState& s = State();
    QtMessageHandler previous = nullptr;
    {
        QMutexLocker lock(&s.mutex);
        previous = s.previous;
        if (s.active && type != QtDebugMsg && type != QtInfoMsg)
            Append(s, type, context, message);
    }
    if (previous)
        previous(type, context, message);
}

}  // namespace

TProgramLog::TProgramLog(const QString& directory, qint64 limitBytes)
{
    TLogState& s = State();
    QMutexLocker lock(&s.mutex);
    s.path = QDir(directory).filePath(u"korvanta.log"_s);
    s.limit = limitBytes;
    s.active = true;
    s.previous = qInstallMessageHandler(Handler);
}

TProgramLog::~TProgramLog()
{
    TLogState& s = State();
    QMutexLocker lock(&s.mutex);
    s.active = false;
    qInstallMessageHandler(s.previous);
    s.previous = nullptr;
}

QString TProgramLog::FilePath() const
{
    TLogState& s = State();
    QMutexLocker lock(&s.mutex);
    return s.path;
}

void SetLogOperator(const QString& name)
{
    TLogState& s = State();
    QMutexLocker lock(&s.mutex);
    s.operatorName = name;
}
