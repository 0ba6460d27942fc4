// Printing devices: code pages and text routines, the raw channel over its spoolers, the printer
// list, the document frame, and one run through a private CUPS scheduler.
#include "Codepages.h"
#include "CupsSpooler.h"
#include "DataSestavyUnit.h"
#include "RAWPrinter.h"
#include "Spooler.h"
#include "myPrinters.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <grp.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <thread>

using namespace Qt::StringLiterals;

void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

void PrintTo(const QByteArray& b, std::ostream* os)
{
    *os << "bytes (" << b.toHex(' ').toStdString() << ')';
}

namespace {

QByteArray Hex(const char* hex)
{
    return QByteArray::fromHex(hex);
}

// ---------------------------------------------------------------------------------------------------
// A spooler that records every call and fails the steps it is told to fail.

class TFakeSpooler final : public TSpooler {
public:
    QStringList calls;
    QList<QByteArray> writes;  // one entry per Write call
    QSet<QString> failing;     // "Open", "StartDoc", ..., "Close"
    qint64 acceptAtMost = -1;  // Write accepts at most this many bytes (-1: all)
    QString defaultEntry;
    QStringList printers;
    int listCalls = 0;

    QByteArray Written() const
    {
        QByteArray all;
        for (const QByteArray& w : writes)
            all += w;
        return all;
    }

    THandle Open(const QString& name) override { return Step(u"Open(%1)"_s.arg(name), u"Open"_s) ? 7 : 0; }
    bool StartDoc(THandle h, const QString& title, const QString& type) override
    {
        return Step(u"StartDoc(%1,%2,%3)"_s.arg(h).arg(title, type), u"StartDoc"_s);
    }
    bool StartPage(THandle) override { return Step(u"StartPage"_s, u"StartPage"_s); }
    qint64 Write(THandle, const char* data, qint64 count) override
    {
        if (!Step(u"Write"_s, u"Write"_s))
            return 0;
        const qint64 n = acceptAtMost < 0 ? count : qMin(count, acceptAtMost);
        writes << QByteArray(data, n);
        return n;
    }
    bool EndPage(THandle) override { return Step(u"EndPage"_s, u"EndPage"_s); }
    bool EndDoc(THandle) override { return Step(u"EndDoc"_s, u"EndDoc"_s); }
    bool Abort(THandle) override { return Step(u"Abort"_s, u"Abort"_s); }
    bool Close(THandle) override { return Step(u"Close"_s, u"Close"_s); }
    QString DefaultPrinterEntry() override { return defaultEntry; }
    QStringList ListPrinters() override
    {
        ++listCalls;
        return printers;
    }

private:
    bool Step(const QString& call, const QString& step)
    {
        calls << call;
        return !failing.contains(step);
    }
};

class ChannelTest : public testing::Test {
protected:
    std::shared_ptr<TFakeSpooler> spooler = std::make_shared<TFakeSpooler>();
    std::unique_ptr<TRAWPrinter> channel = std::make_unique<TRAWPrinter>();
    QTemporaryDir dir;

    void SetUp() override
    {
        channel->SetSpooler(spooler);
        channel->DocumentTitle = u"Čerpání Velmira"_s;
        channel->PrinterName = u"SP 300"_s;
    }

    QString WriteFile(const QString& name, const QByteArray& bytes)
    {
        const QString path = QDir(dir.path()).filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
};

// ---------------------------------------------------------------------------------------------------
// Code pages and text routines

TEST(CodePages, CzechLettersInBothPages)
{
    const QString text = u"Žluťoučký kůň ĚŠČŘŽÝÁÍÉ ěščřžýáíéúů§"_s;
    EXPECT_EQ(AnsiToOemText(text),
              Hex("a66c759c6f759f6bec206b85e520b7e6acfca6edb5d69020d8e79ffda7eca0a182a385f5"));
    EXPECT_EQ(AnsiText(text),
              Hex("8e6c759d6f75e86bfd206bf9f220cc8ac8d88eddc1cdc920ec9ae8f89efde1ede9faf9a7"));
    EXPECT_EQ(AnsiToOemText(u"Pokladni doklad 12,50 Kc"_s), QByteArray("Pokladni doklad 12,50 Kc"));
}

TEST(CodePages, MissingCharactersBecomeOneQuestionMarkEach)
{
    struct Case {
        QString text;
        QByteArray oem, ansi;
    };
    const Case cases[] = {
        {u"a€b"_s, "a?b", Hex("618062")},  // the euro sign exists in 1250 only
        {u"中文"_s, "??", "??"},
        {u"x\U0001F600y"_s, "x?y", "x?y"},                // outside the BMP: one character, one "?"
        {u"a"_s + QChar(0xD800) + u"b"_s, "a?b", "a?b"},  // a lone surrogate
        {u""_s, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(AnsiToOemText(c.text), c.oem);
        EXPECT_EQ(AnsiText(c.text), c.ansi);
    }
    // Long texts with gaps keep one byte per character.
    const QString mixed = u"Čaj €中 "_s.repeated(100);
    EXPECT_EQ(AnsiToOemText(mixed).size(), 7 * 100);
    EXPECT_EQ(AnsiToOemText(mixed).left(7), Hex("ac616a203f3f20"));
}

TEST(CodePages, ControlCodesAndAsciiPassUnchanged)
{
    // Printer control codes that a text may carry must not be remapped (IBM's 852 table swaps some).
    QString controls;
    QByteArray bytes;
    for (int c = 0; c < 0x80; ++c) {
        controls += QChar(c);
        bytes += char(c);
    }
    EXPECT_EQ(AnsiToOemText(controls), bytes);
    EXPECT_EQ(AnsiText(controls), bytes);
    EXPECT_EQ(AnsiToOemText(u"¬"_s), Hex("aa"));
}

TEST(TextRoutines, PaddingAndTrimming)
{
    EXPECT_EQ(TrimBlanks(QByteArray("  \tab c\t  ")), QByteArray("\tab c\t"));
    EXPECT_EQ(TrimBlanks(u"  ab  "_s), u"ab"_s);
    EXPECT_EQ(Trim(QByteArray("\x01\t ab c \r\n")), QByteArray("ab c"));
    EXPECT_EQ(Trim(u"\t Čaj \u00A0"_s), u"Čaj \u00A0"_s) << "only codes up to 32";
    EXPECT_EQ(Trim(QByteArray(" \xA0 ")), QByteArray("\xA0"));

    struct Case {
        QByteArray text;
        int width;
        QByteArray left, right, center;
    };
    const Case cases[] = {
        {"ab", 5, "...ab", "ab...", ".ab.."},  // odd surplus: the extra fill at the end
        {"ab", 6, "....ab", "ab....", "..ab.."},
        {"abc", 3, "abc", "abc", "abc"},
        {"abcdef", 3, "abcdef", "abcdef", "abcdef"},  // never shortened
        {"", 1, ".", ".", "."},
        {"x", 0, "x", "x", "x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString() + " to " + std::to_string(c.width));
        EXPECT_EQ(PadLeft(c.text, '.', c.width), c.left);
        EXPECT_EQ(PadRight(c.text, '.', c.width), c.right);
        EXPECT_EQ(PadCenter(c.text, '.', c.width), c.center);
    }
    EXPECT_EQ(PadCenter(QByteArray("Dekujeme Vam"), ' ', 20), QByteArray("    Dekujeme Vam    "));
    EXPECT_EQ(PadCenter(u"Čaj"_s, u'*', 6), u"*Čaj**"_s);
    EXPECT_EQ(PadRight(u"Čaj"_s, u' ', 5), u"Čaj  "_s);

    EXPECT_EQ(ZeroPad(u" 42 "_s, 10), u"0000000042"_s);
    EXPECT_EQ(ZeroPad(QByteArray("12345678901"), 10), QByteArray("12345678901"));
    EXPECT_EQ(ZeroPad(QByteArray("\t7"), 3), QByteArray("0\t7")) << "only blanks are trimmed";
}

// ---------------------------------------------------------------------------------------------------
// The channel over a recording spooler

TEST_F(ChannelTest, DocumentCallsAndExactBytes)
{
    EXPECT_EQ(channel->State(), TRAWPrinter::Closed);
    ASSERT_TRUE(channel->StartDoc());
    EXPECT_EQ(channel->State(), TRAWPrinter::PageStarted);
    EXPECT_EQ(channel->Handle(), 7u);
    EXPECT_EQ(spooler->calls,
              (QStringList{u"Open(SP 300)"_s, u"StartDoc(7,Čerpání Velmira,RAW)"_s, u"StartPage"_s}));

    EXPECT_TRUE(channel->WriteLine("abc"));
    EXPECT_TRUE(channel->WriteLine(""));
    EXPECT_TRUE(channel->NewLine());
    EXPECT_TRUE(channel->Write(Hex("1b643007")));
    EXPECT_EQ(channel->WriteBuffer("xyz", 2), 2);
    EXPECT_EQ(spooler->writes,
              (QList<QByteArray>{Hex("6162630a0d"), Hex("0a0d"), Hex("0a"), Hex("1b643007"), "xy"}));

    spooler->calls.clear();
    EXPECT_TRUE(channel->EndDoc());
    EXPECT_EQ(channel->State(), TRAWPrinter::Closed);
    EXPECT_EQ(channel->Handle(), 0u);
    EXPECT_EQ(spooler->calls, (QStringList{u"EndPage"_s, u"EndDoc"_s, u"Close"_s}));

    // Closed again: writes send nothing.
    EXPECT_EQ(channel->WriteBuffer("abc", 3), 0);
    EXPECT_FALSE(channel->WriteLine("abc"));
    EXPECT_EQ(spooler->writes.size(), 5);
}

TEST_F(ChannelTest, NoNameAndNoDefaultPrinter)
{
    channel->PrinterName.clear();
    EXPECT_FALSE(channel->StartDoc());
    EXPECT_EQ(channel->State(), TRAWPrinter::Closed);
    EXPECT_TRUE(spooler->calls.isEmpty()) << "no queue is opened without a name";
    EXPECT_EQ(channel->WriteBuffer("abc", 3), 0);
    EXPECT_FALSE(channel->Write("abc"));
    EXPECT_FALSE(channel->NewLine());
    EXPECT_TRUE(channel->EndDoc());
    EXPECT_TRUE(channel->AbortDoc());
    EXPECT_TRUE(spooler->calls.isEmpty());

    // With a default printer the empty name takes it.
    spooler->defaultEntry = u"Kasa,raw,socket"_s;
    EXPECT_TRUE(channel->StartDoc());
    EXPECT_EQ(channel->PrinterName, u"Kasa"_s);
    EXPECT_EQ(spooler->calls.value(0), u"Open(Kasa)"_s);
}

TEST_F(ChannelTest, DefaultPrinterEntryParsing)
{
    struct Case {
        QString entry, name;
    };
    const Case cases[] = {
        {u"  SP 300 ,winspool,Ne00:"_s, u"SP 300 "_s},  // leading blanks go, the blank before the comma stays
        {u"  Kasa 2"_s, u"Kasa 2"_s},
        {u"\t\x01Kasa,,"_s, u"Kasa"_s},
        {u",driver,port"_s, u""_s},
        {u"   "_s, u""_s},
        {u""_s, u""_s},
        {u"Ka"_s + QChar(0) + u"sa,x,y"_s, u"Ka"_s},               // the text ends at a zero
        {u"A"_s.repeated(100) + u",x,y"_s, u"A"_s.repeated(100)},  // long names stay whole
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entry.toStdString());
        spooler->defaultEntry = c.entry;
        channel->PrinterName = u"before"_s;
        EXPECT_EQ(channel->UseDefaultPrinter(), !c.name.isEmpty());
        EXPECT_EQ(channel->PrinterName, c.name);
    }
}

// Each step of the state table: where a failure leaves the channel and how it goes on from there.
TEST_F(ChannelTest, FailingStepsLeaveTheStateWhereItWas)
{
    struct Case {
        QString failing;
        bool started;
        TRAWPrinter::TState afterStart;
        bool ended;
        TRAWPrinter::TState afterEnd;
        QStringList endCalls;
    };
    using S = TRAWPrinter;
    const Case cases[] = {
        {u"Open"_s, false, S::Closed, true, S::Closed, {}},
        {u"StartDoc"_s, false, S::PrinterOpen, true, S::Closed, {u"Close"_s}},
        {u"StartPage"_s, false, S::DocumentStarted, true, S::Closed, {u"EndDoc"_s, u"Close"_s}},
        {u"EndPage"_s, true, S::PageStarted, false, S::PageStarted, {u"EndPage"_s}},
        {u"EndDoc"_s, true, S::PageStarted, false, S::DocumentStarted, {u"EndPage"_s, u"EndDoc"_s}},
        {u"Close"_s, true, S::PageStarted, false, S::PrinterOpen, {u"EndPage"_s, u"EndDoc"_s, u"Close"_s}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failing.toStdString());
        auto fake = std::make_shared<TFakeSpooler>();
        fake->failing = {c.failing};
        {
            TRAWPrinter ch;
            ch.SetSpooler(fake);
            ch.PrinterName = u"P"_s;
            EXPECT_EQ(ch.StartDoc(), c.started);
            EXPECT_EQ(ch.State(), c.afterStart);
            EXPECT_EQ(ch.Write("ab"), c.started) << "writes only on an open page";
            fake->calls.clear();
            EXPECT_EQ(ch.EndDoc(), c.ended);
            EXPECT_EQ(ch.State(), c.afterEnd);
            EXPECT_EQ(fake->calls, c.endCalls);
            fake->failing.clear();
        }
    }
}

TEST_F(ChannelTest, UnfinishedJobIsContinuedByTheNextDocument)
{
    spooler->failing = {u"EndDoc"_s};
    ASSERT_TRUE(channel->StartDoc());
    channel->WriteLine("first");
    EXPECT_FALSE(channel->EndDoc());
    ASSERT_EQ(channel->State(), TRAWPrinter::DocumentStarted);

    // A new printer name has no effect while the job is open: the same queue goes on.
    channel->PrinterName = u"Other"_s;
    spooler->failing.clear();
    spooler->calls.clear();
    EXPECT_TRUE(channel->StartDoc());
    channel->WriteLine("second");
    EXPECT_TRUE(channel->EndDoc());
    EXPECT_EQ(spooler->calls,
              (QStringList{u"StartPage"_s, u"Write"_s, u"EndPage"_s, u"EndDoc"_s, u"Close"_s}));
    EXPECT_EQ(spooler->Written(), QByteArray("first\n\rsecond\n\r"));

    // Closed: now the new name counts.
    spooler->calls.clear();
    EXPECT_TRUE(channel->StartDoc());
    EXPECT_EQ(spooler->calls.value(0), u"Open(Other)"_s);
}

TEST_F(ChannelTest, AbortAndDestruction)
{
    ASSERT_TRUE(channel->StartDoc());
    spooler->failing = {u"Abort"_s};
    spooler->calls.clear();
    EXPECT_FALSE(channel->AbortDoc());
    EXPECT_EQ(channel->State(), TRAWPrinter::PageStarted);
    spooler->failing.clear();
    EXPECT_TRUE(channel->AbortDoc());
    EXPECT_EQ(spooler->calls, (QStringList{u"Abort"_s, u"Abort"_s, u"Close"_s}));

    // Destroying a channel with an open page discards the job; nothing is ended.
    ASSERT_TRUE(channel->StartDoc());
    channel->WriteLine("never printed");
    spooler->calls.clear();
    channel.reset();
    EXPECT_EQ(spooler->calls, (QStringList{u"Abort"_s, u"Close"_s}));
}

TEST_F(ChannelTest, PartialWritesReportFailure)
{
    ASSERT_TRUE(channel->StartDoc());
    spooler->acceptAtMost = 2;
    EXPECT_EQ(channel->WriteBuffer("abcd", 4), 2);
    EXPECT_FALSE(channel->WriteLine("abc"));
    EXPECT_TRUE(channel->Write("ab"));
    spooler->failing = {u"Write"_s};
    EXPECT_FALSE(channel->NewLine());
}

TEST_F(ChannelTest, SendFilePassesBytesUnchanged)
{
    QByteArray binary;
    for (int i = 0; i < 10000; ++i)
        binary += char((i * 7) % 256);  // zero bytes, ESC, BEL, 0xFF ...
    const QString logo = WriteFile(u"logo.prn"_s, binary);
    const QString empty = WriteFile(u"empty.prn"_s, {});
    const QString missing = QDir(dir.path()).filePath(u"missing.prn"_s);

    // Not started: an existing file is "sent" but nothing reaches the spooler.
    EXPECT_TRUE(channel->SendFile(logo));
    EXPECT_TRUE(spooler->writes.isEmpty());

    ASSERT_TRUE(channel->StartDoc());
    EXPECT_FALSE(channel->SendFile(missing));
    EXPECT_FALSE(channel->SendFile(dir.path())) << "a folder is not a file";
    EXPECT_TRUE(channel->SendFile(empty));
    EXPECT_TRUE(spooler->writes.isEmpty());
    EXPECT_TRUE(channel->SendFile(logo));
    EXPECT_EQ(spooler->Written(), binary);

    // A refusing spooler does not change the result.
    spooler->failing = {u"Write"_s};
    EXPECT_TRUE(channel->SendFile(logo));
}

// ---------------------------------------------------------------------------------------------------
// The directory spooler

class DirectorySpoolerTest : public testing::Test {
protected:
    QTemporaryDir root;
    std::shared_ptr<TDirectorySpooler> spooler;

    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        QDir r(root.path());
        for (const QString& q : {u"Kasa"_s, u"B tiskárna, 2. patro"_s, u"A"_s})
            ASSERT_TRUE(r.mkdir(q));
        QFile plain(r.filePath(u"not-a-queue.txt"_s));
        ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
        spooler = std::make_shared<TDirectorySpooler>(root.path());
    }

    QStringList Files(const QString& queue, QDir::Filters extra = {}) const
    {
        return QDir(QDir(root.path()).filePath(queue)).entryList(QDir::Files | extra, QDir::Name);
    }
    QByteArray Read(const QString& queue, const QString& file) const
    {
        QFile f(QDir(QDir(root.path()).filePath(queue)).filePath(file));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    void SetDefault(const QByteArray& text)
    {
        QFile f(QDir(root.path()).filePath(u"default"_s));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
};

TEST_F(DirectorySpoolerTest, JobsBecomeNumberedFilesOnlyWhenComplete)
{
    TRAWPrinter channel;
    channel.SetSpooler(spooler);
    channel.PrinterName = u"Kasa"_s;

    ASSERT_TRUE(channel.StartDoc());
    channel.WriteLine("abc");
    EXPECT_TRUE(Files(u"Kasa"_s, QDir::Hidden).filter(u".prn"_s).isEmpty())
        << "no job is visible while it is written";
    channel.Write(Hex("00ff1b07"));
    ASSERT_TRUE(channel.EndDoc());
    EXPECT_EQ(Files(u"Kasa"_s, QDir::Hidden), (QStringList{u"00000001.prn"_s}));
    EXPECT_EQ(Read(u"Kasa"_s, u"00000001.prn"_s), Hex("6162630a0d00ff1b07"));

    // Aborted: no file and no leftover.
    ASSERT_TRUE(channel.StartDoc());
    channel.WriteLine("discarded");
    EXPECT_TRUE(channel.AbortDoc());
    // Destroyed while open: the same.
    {
        TRAWPrinter other;
        other.SetSpooler(spooler);
        other.PrinterName = u"Kasa"_s;
        ASSERT_TRUE(other.StartDoc());
        other.WriteLine("discarded too");
    }
    EXPECT_EQ(Files(u"Kasa"_s, QDir::Hidden), (QStringList{u"00000001.prn"_s}));

    // Numbers go on after the highest existing job, also one left by someone else.
    QFile taken(QDir(QDir(root.path()).filePath(u"Kasa"_s)).filePath(u"00000041.prn"_s));
    ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
    taken.close();
    ASSERT_TRUE(channel.StartDoc());
    ASSERT_TRUE(channel.EndDoc());
    EXPECT_EQ(Files(u"Kasa"_s, QDir::Hidden),
              (QStringList{u"00000001.prn"_s, u"00000041.prn"_s, u"00000042.prn"_s}));
    EXPECT_EQ(Read(u"Kasa"_s, u"00000042.prn"_s), QByteArray());
}

// Two processes (two tills, or a till and its reprint) finish jobs into one queue at the same time:
// every job gets a file of its own, none is lost or overwritten.
TEST_F(DirectorySpoolerTest, TwoProcessesWritingOneQueueLoseNoJob)
{
    constexpr int kJobs = 60;
    const auto printJobs = [this](char who) {
        TDirectorySpooler own(root.path());  // each process its own spooler, as each till has
        int failed = 0;
        for (int i = 0; i < kJobs; ++i) {
            const TSpooler::THandle h = own.Open(u"Kasa"_s);
            const QByteArray bytes = QByteArray(1, who) + QByteArray::number(i) + QByteArray(300, who);
            const bool ok = h != 0 && own.StartDoc(h, u"t"_s, u"RAW"_s) && own.StartPage(h) &&
                            own.Write(h, bytes.constData(), bytes.size()) == bytes.size() && own.EndPage(h) &&
                            own.EndDoc(h);
            failed += !ok;
            own.Close(h);
        }
        return failed;
    };
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        ::_exit(printJobs('B') == 0 ? 0 : 1);
    const int failedHere = printJobs('A');
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the other process lost a job";
    EXPECT_EQ(failedHere, 0);

    const QStringList files = Files(u"Kasa"_s, QDir::Hidden);
    ASSERT_EQ(files.size(), 2 * kJobs) << files.join(u' ').toStdString();
    QSet<QByteArray> jobs;
    for (int i = 0; i < files.size(); ++i) {
        EXPECT_EQ(files[i], u"%1.prn"_s.arg(i + 1, 8, 10, QChar(u'0')));
        jobs.insert(Read(u"Kasa"_s, files[i]));
    }
    for (const char who : {'A', 'B'})
        for (int i = 0; i < kJobs; ++i)
            EXPECT_TRUE(jobs.contains(QByteArray(1, who) + QByteArray::number(i) + QByteArray(300, who)))
                << who << i;
}

TEST_F(DirectorySpoolerTest, QueuesDefaultAndRefusedNames)
{
    EXPECT_EQ(spooler->ListPrinters(), (QStringList{u"A"_s, u"B tiskárna, 2. patro"_s, u"Kasa"_s}));
    EXPECT_EQ(spooler->DefaultPrinterEntry(), QString()) << "no file: no default";
    SetDefault("B tiskárna, 2. patro\nignored\n");
    EXPECT_EQ(spooler->DefaultPrinterEntry(), u"B tiskárna, 2. patro,,"_s);

    // Names that are not a queue folder, or would leave the root.
    for (const QString& name :
         {u""_s, u"."_s, u".."_s, u"../Kasa"_s, u"Kasa/.."_s, u"Nic"_s, u"not-a-queue.txt"_s}) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(spooler->Open(name), 0u);
    }
    const TSpooler::THandle h = spooler->Open(u"B tiskárna, 2. patro"_s);
    ASSERT_NE(h, 0u);
    EXPECT_FALSE(spooler->StartDoc(h, u"t"_s, u"TEXT"_s)) << "raw jobs only";
    EXPECT_FALSE(spooler->StartPage(h)) << "no page before the document";
    EXPECT_EQ(spooler->Write(h, "a", 1), 0);
    EXPECT_TRUE(spooler->StartDoc(h, u"t"_s, u"RAW"_s));
    EXPECT_EQ(spooler->Write(h, "a", 1), 0) << "no bytes before the page";
    EXPECT_TRUE(spooler->Close(h));
    EXPECT_FALSE(spooler->Close(h));
    EXPECT_TRUE(Files(u"B tiskárna, 2. patro"_s, QDir::Hidden).isEmpty()) << "closing dropped the open job";
}

TEST(SpoolerChoice, DirectoryOrCups)
{
    // The choice is global: it goes back to the built-in one, and the environment to what it was,
    // however the test ends.
    struct TRestore {
        const bool hadEnv = qEnvironmentVariableIsSet("KORVANTA_SPOOL_DIR");
        const QByteArray env = qgetenv("KORVANTA_SPOOL_DIR");
        ~TRestore()
        {
            SetSpooler(nullptr);
            SetSpoolDirectory({});
            if (hadEnv)
                qputenv("KORVANTA_SPOOL_DIR", env);
            else
                qunsetenv("KORVANTA_SPOOL_DIR");
        }
    } restore;
    QTemporaryDir a, b;
    SetSpooler(nullptr);
    SetSpoolDirectory({});
    qunsetenv("KORVANTA_SPOOL_DIR");
    EXPECT_NE(dynamic_cast<TCupsSpooler*>(CurrentSpooler().get()), nullptr);
    EXPECT_EQ(CurrentSpooler(), CurrentSpooler()) << "one spooler while the choice holds";

    qputenv("KORVANTA_SPOOL_DIR", a.path().toUtf8());
    auto* fromEnv = dynamic_cast<TDirectorySpooler*>(CurrentSpooler().get());
    ASSERT_NE(fromEnv, nullptr);
    EXPECT_EQ(fromEnv->Root(), a.path());

    SetSpoolDirectory(b.path());  // the setting wins over the environment
    auto* fromSetting = dynamic_cast<TDirectorySpooler*>(CurrentSpooler().get());
    ASSERT_NE(fromSetting, nullptr);
    EXPECT_EQ(fromSetting->Root(), b.path());

    auto fake = std::make_shared<TFakeSpooler>();
    SetSpooler(fake);
    EXPECT_EQ(CurrentSpooler(), fake);

    SetSpooler(nullptr);
    SetSpoolDirectory({});
    qunsetenv("KORVANTA_SPOOL_DIR");
    auto* cups = dynamic_cast<TCupsSpooler*>(CurrentSpooler().get());
    ASSERT_NE(cups, nullptr);
    // The till's own spooler gives up after the default time.
    EXPECT_EQ(cups->TimeoutMs(), TCupsSpooler::kDefaultTimeoutMs);
    EXPECT_GE(TCupsSpooler::kDefaultTimeoutMs, 1000);
    EXPECT_LE(TCupsSpooler::kDefaultTimeoutMs, 5000);
}

// ---------------------------------------------------------------------------------------------------
// Printer list

class PrinterListTest : public testing::Test {
protected:
    std::shared_ptr<TFakeSpooler> spooler = std::make_shared<TFakeSpooler>();
    void SetUp() override
    {
        SetSpooler(spooler);
        ResetPrintersForTests();
    }
    void TearDown() override
    {
        ResetPrintersForTests();
        SetSpooler(nullptr);
    }
};

TEST_F(PrinterListTest, PositionsNamesAndBounds)
{
    spooler->printers = {u"A"_s, u"B"_s, u"HP, 2. patro"_s};
    TPrinter& list = GetPrinters();
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Printer(0), u"A"_s);
    EXPECT_EQ(list.Printer(1), u"B"_s);
    EXPECT_EQ(list.Printer(2), u"HP, 2. patro"_s);
    EXPECT_EQ(list.Device(2).Device, u"HP, 2. patro"_s);
    EXPECT_TRUE(list.Device(2).Driver.isEmpty());
    for (int bad : {3, -1, 100}) {
        try {
            list.Printer(bad);
            ADD_FAILURE() << "no error for " << bad;
        } catch (const EPrinter& e) {
            EXPECT_EQ(e.Message(), u"List index out of bounds (%1)"_s.arg(bad));
        }
    }
    EXPECT_THROW(list.Device(3), EPrinter);

    // Built once: printers added later are not seen during the run.
    spooler->printers << u"C"_s;
    EXPECT_EQ(&GetPrinters(), &list);
    EXPECT_EQ(GetPrinters().Count(), 3);
    EXPECT_EQ(spooler->listCalls, 1);
}

TEST_F(PrinterListTest, EmptyListStays)
{
    EXPECT_EQ(GetPrinters().Count(), 0);
    EXPECT_THROW(GetPrinters().Printer(0), EPrinter);
    spooler->printers = {u"A"_s};
    EXPECT_EQ(GetPrinters().Count(), 0);
    EXPECT_EQ(spooler->listCalls, 1);
}

// ---------------------------------------------------------------------------------------------------
// The document frame and the drawer pulse, through the directory spooler

class FrameTest : public testing::Test {
protected:
    QTemporaryDir spool, program;
    void SetUp() override
    {
        QDir r(spool.path());
        ASSERT_TRUE(r.mkdir(u"Alpha"_s));
        ASSERT_TRUE(r.mkdir(u"SP 300"_s));
        SetSpoolDirectory(spool.path());
        ResetPrintersForTests();
    }
    void TearDown() override
    {
        ResetPrintersForTests();
        SetSpoolDirectory({});
    }
    QStringList Jobs(const QString& queue) const
    {
        return QDir(QDir(spool.path()).filePath(queue)).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    QByteArray Job(const QString& queue, const QString& name) const
    {
        QFile f(QDir(QDir(spool.path()).filePath(queue)).filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    void WriteLogo(const QByteArray& bytes)
    {
        QFile f(QDir(program.path()).filePath(u"logo.prn"_s));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
};

const QByteArray kSevenFeedsAndEnd = QByteArray(7, '\x0A') + Hex("1b6430070a0d");

TEST_F(FrameTest, DocumentFrameBytes)
{
    TDataSestavy module;
    EXPECT_EQ(module.RAWPrinter.DocumentTitle, u"Čerpání Velmira"_s);
    EXPECT_EQ(module.RAWPrinter.PrinterName, u"SP 300"_s);

    const QByteArray logo = Hex("1b40000102ff") + "LOGO";
    WriteLogo(logo);
    const auto body = [](TRAWPrinter& p) {
        p.WriteLine(PadCenter(QByteArray("Prodejna"), ' ', 39));
        p.NewLine();
        p.WriteLine(PadRight(AnsiToOemText(u"Čaj"_s), ' ', 28) + "    35,00 *");
    };
    QString error;
    EXPECT_TRUE(module.PrintDocument(1, program.path(), body, &error));
    EXPECT_TRUE(error.isEmpty());
    ASSERT_EQ(Jobs(u"SP 300"_s), (QStringList{u"00000001.prn"_s}));
    EXPECT_TRUE(Jobs(u"Alpha"_s).isEmpty());
    const QByteArray expected = logo + QByteArray(15, ' ') + "Prodejna" + QByteArray(16, ' ') + "\n\r" +
                                "\n" + Hex("ac616a") + QByteArray(25, ' ') + "    35,00 *\n\r" +
                                kSevenFeedsAndEnd;
    EXPECT_EQ(Job(u"SP 300"_s, u"00000001.prn"_s), expected);
    EXPECT_EQ(module.RAWPrinter.State(), TRAWPrinter::Closed);

    // Without a logo file the document simply starts with its lines.
    QFile::remove(QDir(program.path()).filePath(u"logo.prn"_s));
    EXPECT_TRUE(module.PrintDocument(0, program.path(), {}));
    EXPECT_EQ(Job(u"Alpha"_s, u"00000001.prn"_s), kSevenFeedsAndEnd);
}

TEST_F(FrameTest, BadPositionPrintsNothingAndDrawerPulseIsItsOwnJob)
{
    TDataSestavy module;
    WriteLogo("LOGO");
    bool bodyRan = false;
    QString error;
    EXPECT_FALSE(module.PrintDocument(
        2, program.path(), [&](TRAWPrinter&) { bodyRan = true; }, &error));
    EXPECT_EQ(error, u"List index out of bounds (2)"_s);
    EXPECT_FALSE(bodyRan);
    EXPECT_FALSE(module.OpenDrawer(-1, &error));
    EXPECT_EQ(error, u"List index out of bounds (-1)"_s);
    EXPECT_TRUE(Jobs(u"Alpha"_s).isEmpty());
    EXPECT_TRUE(Jobs(u"SP 300"_s).isEmpty());

    EXPECT_TRUE(module.OpenDrawer(1));
    ASSERT_EQ(Jobs(u"SP 300"_s), (QStringList{u"00000001.prn"_s}));
    EXPECT_EQ(Job(u"SP 300"_s, u"00000001.prn"_s), Hex("070a0d")) << "no logo, no other byte";

    // A queue that vanished after the list was read: nothing printed, nothing thrown.
    ASSERT_TRUE(QDir(QDir(spool.path()).filePath(u"Alpha"_s)).removeRecursively());
    EXPECT_FALSE(module.PrintDocument(0, program.path(), [](TRAWPrinter& p) { p.WriteLine("x"); }));
    EXPECT_EQ(module.RAWPrinter.State(), TRAWPrinter::Closed);
}

// ---------------------------------------------------------------------------------------------------
// CUPS

// A listening TCP socket on 127.0.0.1. With Serve() it stands for the printer: every connection's
// bytes are collected until the peer closes it. Without, it accepts connections and never answers.
class TTcpListener {
public:
    TTcpListener()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
            ::listen(m_fd, 8) != 0 || ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
            return;
        m_port = ntohs(addr.sin_port);
    }
    ~TTcpListener()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int Port() const { return m_port; }

    void Serve()
    {
        m_thread = std::thread([this] {
            while (!m_stop) {
                pollfd p{m_fd, POLLIN, 0};
                if (::poll(&p, 1, 100) <= 0)
                    continue;
                const int c = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
                if (c < 0)
                    continue;
                QByteArray data;
                for (;;) {
                    pollfd q{c, POLLIN, 0};
                    if (m_stop)
                        break;
                    if (::poll(&q, 1, 100) <= 0)
                        continue;
                    char buffer[4096];
                    const ssize_t n = ::read(c, buffer, sizeof buffer);
                    if (n <= 0)
                        break;
                    data.append(buffer, n);
                }
                ::close(c);
                std::lock_guard lock(m_mutex);
                m_jobs << data;
                m_changed.notify_all();
            }
        });
    }

    // The connections received so far, once at least `count` have ended or the time is up.
    QList<QByteArray> WaitForJobs(int count, int timeoutMs)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return m_jobs.size() >= count; });
        return m_jobs;
    }

private:
    int m_fd = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    QList<QByteArray> m_jobs;
};

int FreePort()
{
    TTcpListener probe;
    return probe.Port();
}

// A loopback port bound but not listening while it lives: a connection to it is refused, and no
// other process can take the port meanwhile.
class TRefusingPort {
public:
    TRefusingPort()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), len) == 0 &&
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
            m_port = ntohs(addr.sin_port);
    }
    ~TRefusingPort()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    TRefusingPort(const TRefusingPort&) = delete;
    TRefusingPort& operator=(const TRefusingPort&) = delete;
    int Port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = 0;
};

TEST(CupsSpooler, UnreachableSchedulerFailsWithinSeconds)
{
    TTcpListener silent;  // takes the connection, never answers
    ASSERT_GT(silent.Port(), 0);
    TRefusingPort refusing;
    ASSERT_GT(refusing.Port(), 0);
    const int refused = refusing.Port();
    // A short limit of its own, so that the suite does not wait out the default one (checked where the
    // spooler is chosen). A few requests and reconnections may each wait for it.
    constexpr int kTimeoutMs = 300;

    for (const int port : {refused, silent.Port()}) {
        SCOPED_TRACE(port == refused ? "refused" : "silent");
        auto spooler = std::make_shared<TCupsSpooler>(u"127.0.0.1:%1"_s.arg(port), kTimeoutMs);
        TRAWPrinter channel;
        channel.SetSpooler(spooler);
        channel.PrinterName = u"Kasa"_s;
        QElapsedTimer timer;
        timer.start();
        EXPECT_FALSE(channel.StartDoc());
        EXPECT_EQ(channel.State(), TRAWPrinter::Closed);
        EXPECT_LT(timer.elapsed(), 3000);
        if (port == refused) {
            EXPECT_TRUE(spooler->ListPrinters().isEmpty());
            EXPECT_TRUE(spooler->DefaultPrinterEntry().isEmpty());
        }
    }
}

// A private scheduler in a temporary folder, listening on a loopback port, with two raw queues
// configured before it starts: KvRaw (the default), whose device is `device`, and KvAaa.
class TPrivateCupsd {
public:
    static constexpr const char* kCupsd = "/usr/sbin/cupsd";

    static bool Available() { return QFileInfo(QString::fromLatin1(kCupsd)).isExecutable(); }

    explicit TPrivateCupsd(int devicePort)
    {
        if (!m_dir.isValid())
            return;
        // The scheduler runs its backends as "lp" when started by root: they must reach the spool.
        QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                                QFile::ExeOther);
        QDir d(m_dir.path());
        for (const QString& sub :
             {u"etc"_s, u"state"_s, u"cache"_s, u"spool"_s, u"tmp"_s, u"log"_s, u"ssl"_s})
            d.mkdir(sub);
        const QString root = m_dir.path();
        QString files =
            u"ServerRoot %1/etc\nStateDir %1/state\nCacheDir %1/cache\nRequestRoot %1/spool\n"
            u"TempDir %1/tmp\nServerKeychain %1/ssl\nErrorLog %1/log/error_log\n"
            u"AccessLog %1/log/access_log\nPageLog %1/log/page_log\nPrintcap %1/printcap\n"
            u"FileDevice No\n"_s.arg(root);
        if (geteuid() == 0 && getpwnam("lp") && getgrnam("lp"))
            files += u"User lp\nGroup lp\n"_s;
        Write(u"etc/cups-files.conf"_s, files);
        // A queue without a driver is a raw queue: bytes go to the device untouched. KvAaa's device
        // is never printed to.
        const QString queue =
            u"<%1 %2>\nState Idle\nAccepting Yes\nShared No\n"
            u"DeviceURI socket://127.0.0.1:%3/?snmp=false\n</%1>\n"_s;
        const QString printers = queue.arg(u"DefaultPrinter"_s, u"KvRaw"_s).arg(devicePort) +
                                 queue.arg(u"Printer"_s, u"KvAaa"_s).arg(1);

        // The port was free when chosen, but another process may take it before the scheduler binds
        // it: then the scheduler does not come up with our queues, and it starts again on another.
        for (int attempt = 0; attempt < 3 && !m_ready; ++attempt) {
            Stop();
            m_port = FreePort();
            Write(u"etc/cupsd.conf"_s,
                  u"LogLevel debug\n"
                  u"Listen 127.0.0.1:%1\n"
                  u"Browsing No\n"
                  u"BrowseLocalProtocols none\n"
                  u"DefaultAuthType None\n"
                  u"WebInterface No\n"
                  u"DefaultShared No\n"
                  u"<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                  u"<Policy default>\n"
                  u"  JobPrivateAccess all\n  JobPrivateValues none\n"
                  u"  SubscriptionPrivateAccess all\n  SubscriptionPrivateValues none\n"
                  u"  <Limit All>\n    Order deny,allow\n    Allow all\n  </Limit>\n"
                  u"</Policy>\n"_s.arg(m_port));
            // The scheduler rewrites printers.conf; every attempt starts from the same queues.
            Write(u"etc/printers.conf"_s, printers);
            Start(root);
        }
    }

    void Start(const QString& root)
    {
        m_process.setProgram(QString::fromLatin1(kCupsd));
        m_process.setArguments(
            {u"-f"_s, u"-c"_s, root + u"/etc/cupsd.conf"_s, u"-s"_s, root + u"/etc/cups-files.conf"_s});
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        // Should this test die, the scheduler goes with it.
        m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        m_process.start();
        if (!m_process.waitForStarted(5000))
            return;

        // Ready when it lists its queues (and not another program's answer on that port).
        TCupsSpooler probe(Server(), 1000);
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 15000 && m_process.state() == QProcess::Running) {
            if (probe.ListPrinters() == QStringList{u"KvAaa"_s, u"KvRaw"_s}) {
                m_ready = true;
                break;
            }
            QThread::msleep(100);
        }
    }

    void Stop()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(5000)) {
                m_process.kill();
                m_process.waitForFinished(2000);
            }
        }
    }

    ~TPrivateCupsd() { Stop(); }

    bool Ready() const { return m_ready; }
    QString Server() const { return u"127.0.0.1:%1"_s.arg(m_port); }

    std::string Log()
    {
        // Everything above debug level, and the answers to the requests.
        QFile f(m_dir.filePath(u"log/error_log"_s));
        QByteArray log;
        if (f.open(QIODevice::ReadOnly)) {
            while (!f.atEnd()) {
                const QByteArray line = f.readLine();
                if (!line.startsWith("D ") || line.contains("Returning IPP") ||
                    line.contains("cupsdProcessIPPRequest"))
                    log += line;
            }
        }
        return (QByteArray("cupsd output: ") + m_process.readAll() + "\nerror_log:\n" + log.right(8000))
            .toStdString();
    }

private:
    void Write(const QString& name, const QString& text)
    {
        QFile f(m_dir.filePath(name));
        if (f.open(QIODevice::WriteOnly))
            f.write(text.toUtf8());
    }

    QTemporaryDir m_dir;
    int m_port = 0;
    QProcess m_process;
    bool m_ready = false;
};

TEST(CupsSpooler, RawJobsThroughAPrivateScheduler)
{
    if (!TPrivateCupsd::Available())
        GTEST_SKIP() << "no cupsd on this machine";

    TTcpListener device;
    ASSERT_GT(device.Port(), 0);
    device.Serve();
    TPrivateCupsd cupsd(device.Port());
    ASSERT_TRUE(cupsd.Ready()) << cupsd.Log();

    auto spooler = std::make_shared<TCupsSpooler>(cupsd.Server());
    SetSpooler(spooler);
    ResetPrintersForTests();
    struct TRestore {
        ~TRestore()
        {
            ResetPrintersForTests();
            SetSpooler(nullptr);
        }
    } restore;

    EXPECT_EQ(GetPrinters().Printers(), (QStringList{u"KvAaa"_s, u"KvRaw"_s}));

    // The scheduler's default, unless this user or machine chose another one for itself; what could
    // not be checked here is reported as a skip at the end.
    QStringList notChecked;
    if (qEnvironmentVariableIsSet("LPDEST") || qEnvironmentVariableIsSet("PRINTER") ||
        QFileInfo::exists(QDir::home().filePath(u".cups/lpoptions"_s)) ||
        QFileInfo::exists(u"/etc/cups/lpoptions"_s)) {
        notChecked
            << u"the scheduler's default printer (LPDEST, PRINTER or an lpoptions file chooses another)"_s;
    } else {
        TRAWPrinter channel;
        EXPECT_TRUE(channel.UseDefaultPrinter());
        EXPECT_EQ(channel.PrinterName, u"KvRaw"_s);
    }

    // A queue that does not exist fails at once.
    {
        TRAWPrinter channel;
        channel.PrinterName = u"NoSuchQueue"_s;
        QElapsedTimer timer;
        timer.start();
        EXPECT_FALSE(channel.StartDoc());
        EXPECT_LT(timer.elapsed(), 2000);
        EXPECT_EQ(channel.State(), TRAWPrinter::Closed);
    }

    // A job dropped half-way never reaches the printer.
    {
        TRAWPrinter channel;
        channel.DocumentTitle = u"Čerpání Velmira"_s;
        channel.PrinterName = u"KvRaw"_s;
        ASSERT_TRUE(channel.StartDoc()) << channel.State() << cupsd.Log();
        EXPECT_TRUE(channel.WriteLine("DISCARDED"));
    }

    // A document without a byte ends cleanly and prints nothing.
    {
        TRAWPrinter channel;
        channel.PrinterName = u"KvRaw"_s;
        ASSERT_TRUE(channel.StartDoc());
        EXPECT_TRUE(channel.EndDoc());
        EXPECT_EQ(channel.State(), TRAWPrinter::Closed);
    }

    // A job cancelled elsewhere while it is written does not print, and the channel goes on with the
    // next document instead of staying stuck on the dead job.
    QByteArray afterCancel;
    if (QFileInfo(u"/usr/bin/cancel"_s).isExecutable()) {
        TRAWPrinter channel;
        channel.PrinterName = u"KvRaw"_s;
        ASSERT_TRUE(channel.StartDoc());
        ASSERT_EQ(QProcess::execute(u"/usr/bin/cancel"_s, {u"-h"_s, cupsd.Server(), u"-a"_s, u"KvRaw"_s}), 0);
        channel.WriteLine("CANCELLED ELSEWHERE");
        channel.EndDoc();  // the scheduler may or may not report the cancelled job's end as failed
        EXPECT_TRUE(channel.StartDoc());
        EXPECT_TRUE(channel.WriteLine("AFTER"));
        EXPECT_TRUE(channel.EndDoc());
        EXPECT_EQ(channel.State(), TRAWPrinter::Closed);
        afterCancel = "AFTER\n\r";
    } else {
        notChecked << u"a job cancelled elsewhere (no /usr/bin/cancel: scripts/deps installs cups-client)"_s;
    }

    QTemporaryDir program;
    const QByteArray logo = Hex("1b4000ff0d0a00") + "LOGO";
    {
        QFile f(program.filePath(u"logo.prn"_s));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(logo);
    }
    TDataSestavy module;
    const QByteArray name = AnsiToOemText(u"Čaj zelený"_s);
    EXPECT_TRUE(module.PrintDocument(1, program.path(), [&](TRAWPrinter& p) {
        p.WriteLine(PadCenter(QByteArray("Pokladni doklad cislo 0000000001"), ' ', 39));
        p.NewLine();
        p.WriteLine(PadRight(name, ' ', 28) + "    35,00 *");
    }));
    EXPECT_TRUE(module.OpenDrawer(1));
    EXPECT_EQ(module.RAWPrinter.State(), TRAWPrinter::Closed);

    QList<QByteArray> expected;
    if (!afterCancel.isEmpty())
        expected << afterCancel;
    expected << logo + "   Pokladni doklad cislo 0000000001    \n\r" + "\n" + name + QByteArray(18, ' ') +
                    "    35,00 *\n\r" + kSevenFeedsAndEnd;
    expected << Hex("070a0d");
    EXPECT_EQ(device.WaitForJobs(int(expected.size()), 20000), expected) << cupsd.Log();
    EXPECT_EQ(device.WaitForJobs(int(expected.size()) + 1, 500).size(), expected.size())
        << "no dropped job follows";
    if (!notChecked.isEmpty())
        GTEST_SKIP() << "not checked on this machine: " << notChecked.join(u"; "_s).toStdString();
}

}  // namespace
