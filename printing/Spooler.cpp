#include "Spooler.h"

#include "CupsSpooler.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QTemporaryFile>

#include <cerrno>

#include <unistd.h>

using namespace Qt::StringLiterals;

// ---------------------------------------------------------------------------------------------------
// Directory spooler

struct TDirectorySpooler::TJob {
    QString folder;
    std::unique_ptr<QTemporaryFile> file;  // while a document is open
    bool page = false;
};

TDirectorySpooler::TDirectorySpooler(QString root) : m_root(std::move(root)) {}

TDirectorySpooler::~TDirectorySpooler() = default;  // open temporary files are removed with their jobs

TDirectorySpooler::TJob* TDirectorySpooler::Find(THandle handle)
{
    const auto it = m_jobs.find(handle);
    return it == m_jobs.end() ? nullptr : it->second.get();
}

TSpooler::THandle TDirectorySpooler::Open(const QString& name)
{
    // A queue is a direct sub-folder: no separators, no "." or "..".
    if (name.isEmpty() || name == u"."_s || name == u".."_s || name.contains(u'/') || name.contains(u'\\') ||
        name.contains(QChar(0)))
        return 0;
    const QFileInfo folder(QDir(m_root).filePath(name));
    if (!folder.isDir())
        return 0;
    auto job = std::make_unique<TJob>();
    job->folder = folder.absoluteFilePath();
    const THandle handle = ++m_next;
    m_jobs.emplace(handle, std::move(job));
    return handle;
}

bool TDirectorySpooler::StartDoc(THandle handle, const QString&, const QString& dataType)
{
    TJob* job = Find(handle);
    if (!job || job->file || dataType != u"RAW"_s)
        return false;
    auto file = std::make_unique<QTemporaryFile>(QDir(job->folder).filePath(u".job-XXXXXX.tmp"_s));
    if (!file->open())
        return false;
    job->file = std::move(file);
    job->page = false;
    return true;
}

bool TDirectorySpooler::StartPage(THandle handle)
{
    TJob* job = Find(handle);
    if (!job || !job->file || job->page)
        return false;
    job->page = true;
    return true;
}

qint64 TDirectorySpooler::Write(THandle handle, const char* data, qint64 count)
{
    TJob* job = Find(handle);
    if (!job || !job->file || !job->page || count <= 0)
        return 0;
    const qint64 written = job->file->write(data, count);
    return qMax<qint64>(written, 0);
}

bool TDirectorySpooler::EndPage(THandle handle)
{
    TJob* job = Find(handle);
    if (!job || !job->page)
        return false;
    job->page = false;
    return true;
}

bool TDirectorySpooler::EndDoc(THandle handle)
{
    TJob* job = Find(handle);
    if (!job || !job->file)
        return false;
    QTemporaryFile& file = *job->file;
    // The job must be complete on disk before it gets a name that readers look for.
    if (!file.flush() || ::fsync(file.handle()) != 0)
        return false;

    const QDir folder(job->folder);
    int next = 1;
    const QStringList done = folder.entryList({u"*.prn"_s}, QDir::Files | QDir::Hidden);
    for (const QString& name : done)
        next = qMax(next, QFileInfo(name).completeBaseName().toInt() + 1);
    // Another writer (another till's process) may take a number at the same moment: the job gets its
    // name by a hard link, which never replaces an existing file and leaves the job where it was when
    // the number is taken; the temporary name goes with the temporary file. (QTemporaryFile::rename
    // closes the file on its first failure, and every later attempt then fails: the job was lost.)
    const QByteArray temporary = QFile::encodeName(file.fileName());
    for (int attempt = 0; attempt < 1000; ++attempt, ++next) {
        const QString target = folder.filePath(u"%1.prn"_s.arg(next, 8, 10, QChar(u'0')));
        if (::link(temporary.constData(), QFile::encodeName(target).constData()) == 0) {
            job->file.reset();
            job->page = false;
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

bool TDirectorySpooler::Abort(THandle handle)
{
    TJob* job = Find(handle);
    if (!job || !job->file)
        return false;
    job->file->remove();
    job->file.reset();
    job->page = false;
    return true;
}

bool TDirectorySpooler::Close(THandle handle)
{
    // Closing with a job still open discards it (the temporary file goes with it).
    return m_jobs.erase(handle) > 0;
}

QString TDirectorySpooler::DefaultPrinterEntry()
{
    QFile file(QDir(m_root).filePath(u"default"_s));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString name = QString::fromUtf8(file.readLine()).remove(u'\n').remove(u'\r');
    if (name.trimmed().isEmpty())
        return {};
    return name + u",,"_s;
}

QStringList TDirectorySpooler::ListPrinters()
{
    return QDir(m_root).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

// ---------------------------------------------------------------------------------------------------
// The spooler in use

namespace {

struct TSpoolerChoice {
    QMutex mutex;
    std::shared_ptr<TSpooler> installed;
    QString directory;
    // The instance handed out last, so that every caller shares one spooler while the choice holds.
    std::shared_ptr<TSpooler> current;
    QString currentKey;
};

TSpoolerChoice& Choice()
{
    static TSpoolerChoice choice;
    return choice;
}

}  // namespace

std::shared_ptr<TSpooler> CurrentSpooler()
{
    TSpoolerChoice& c = Choice();
    QMutexLocker lock(&c.mutex);
    if (c.installed)
        return c.installed;
    QString dir = c.directory;
    if (dir.isEmpty())
        dir = qEnvironmentVariable("KORVANTA_SPOOL_DIR");
    const QString key = dir.isEmpty() ? u"cups"_s : u"dir:"_s + dir;
    if (!c.current || c.currentKey != key) {
        if (dir.isEmpty())
            c.current = std::make_shared<TCupsSpooler>();
        else
            c.current = std::make_shared<TDirectorySpooler>(dir);
        c.currentKey = key;
    }
    return c.current;
}

void SetSpooler(std::shared_ptr<TSpooler> spooler)
{
    TSpoolerChoice& c = Choice();
    QMutexLocker lock(&c.mutex);
    c.installed = std::move(spooler);
}

void SetSpoolDirectory(const QString& dir)
{
    TSpoolerChoice& c = Choice();
    QMutexLocker lock(&c.mutex);
    c.directory = dir;
}
