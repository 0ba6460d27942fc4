// Start-up of the data module: reading Prodejna.ini, naming the tables, connecting, Tolmek.ini heights.
#include "TestSupport.h"

#include "DataUnit.h"
#include "IniFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

class StartupTest : public testing::Test {
protected:
    QTemporaryDir dir;
    TMessageRecorder told;

    QString Path(const QString& name) const { return QDir(dir.path()).filePath(name); }

    void WriteFile(const QString& name, const QByteArray& bytes)
    {
        QFile f(Path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }

    std::unique_ptr<TData> Start(const QByteArray& ini)
    {
        WriteFile(u"Prodejna.ini"_s, ini);
        auto data = std::make_unique<TData>(dir.path());
        data->DataModuleCreate();
        return data;
    }

    QStringList Files() const { return QDir(dir.path()).entryList(QDir::Files); }
};

TEST_F(StartupTest, MissingSettingsFileLeavesBuiltInValues)
{
    TData data(dir.path());
    data.DataModuleCreate();
    ASSERT_EQ(told.messages.size(), 1);
    EXPECT_EQ(told.messages[0], u"Konfigurační soubor "_s +
                                    QDir::toNativeSeparators(Path(u"Prodejna.ini"_s)) + u" nenalezen !"_s);
    EXPECT_FALSE(data.Terminated());
    EXPECT_FALSE(data.ffDatabase->Connected());
    EXPECT_EQ(data.ffSortiment->TableName(), u"SOR0001"_s);
    EXPECT_EQ(data.ffDenik->TableName(), u"Den0001"_s);
    EXPECT_EQ(data.ffVlastnik->TableName(), u"VLA0000"_s);
    EXPECT_EQ(data.ffCommsEngine.ServerName, u"acc@127.0.0.1"_s);
    EXPECT_EQ(data.ffDatabase->AliasName, u"0001"_s);
    EXPECT_EQ(data.UzivatelNac, TData::DefaultOperatorName());
    EXPECT_TRUE(data.UzivatelIni.isEmpty());
    EXPECT_EQ(data.Dan22, 22);
    EXPECT_TRUE(Files().isEmpty()) << "nothing is created";
}

TEST_F(StartupTest, OrganisationCodeNamesTheTables)
{
    auto data = Start("[Prodejna]\nProdejna=0007\n");
    QStringList names;
    for (TTable* t : {data->ffSortiment.get(), data->ffLegHla.get(), data->ffLegPol.get(),
                      data->ffUctenky.get(), data->ffSklad.get(), data->ffDenik.get(), data->ffCiselnik.get(),
                      data->ffSemafor.get(), data->ffVlastnik.get(), data->ffCeniky.get(),
                      data->ffProdejny.get(), data->ffFormaUhrady.get(), data->ffUzivatele.get()})
        names << t->TableName();
    EXPECT_EQ(names, (QStringList{u"SOR0007"_s, u"LEG0007"_s, u"LEP0007"_s, u"UCE0007"_s, u"SKL0007"_s,
                                  u"DEN0007"_s, u"CIS0007"_s, u"SYS0007"_s, u"Vla0000"_s, u"Cen0000"_s,
                                  u"Org0000"_s, u"FUH0000"_s, u"USR0000"_s}));
    EXPECT_EQ(data->ffCommsEngine.ServerName, u"ACC@127.0.0.1"_s);
    EXPECT_EQ(data->ffDatabase->AliasName, u"Tolmek"_s);
    EXPECT_FALSE(data->ffCommsEngine.IsTcpIp());
    // The embedded store does not exist: the client's message, the program goes on, no file appears.
    ASSERT_EQ(told.messages.size(), 1);
    EXPECT_FALSE(told.messages[0].isEmpty());
    EXPECT_FALSE(data->Terminated());
    EXPECT_FALSE(data->ffDatabase->Connected());
    EXPECT_EQ(Files(), QStringList{u"Prodejna.ini"_s});
}

TEST_F(StartupTest, SettingsValuesFollowTheirRules)
{
    struct Case {
        QByteArray ini;
        int sdph;
        bool matrix;
        bool login;
        bool tcp;
    };
    const Case cases[] = {
        {"[Prodejna]\n", 2, true, false, false},
        {"[prodejna]\nZAKLADNICENYSDPH=ano\nMatrixPrinter=0\nLoginForm=1\n", 2, false, true, false},
        {"[Prodejna]\nZakladniCenySDPH=Ne\nMatrixPrinter=abc\nLoginForm=abc\n", 1, true, false, false},
        {"[Prodejna]\nZakladniCenySDPH=\nMatrixPrinter=7\nProtocol=tcpip\n", 1, true, false, false},
        {"[Prodejna]\nZakladniCenySDPH=\"ANO\"\nProtocol=TCPIP\nHost=127.0.0.1:1\n", 2, true, false, true},
    };
    for (const Case& c : cases) {
        WriteFile(u"Prodejna.ini"_s, c.ini);
        TData data(dir.path());
        ASSERT_TRUE(data.IniPrepare()) << c.ini.toStdString();
        EXPECT_EQ(data.ZakladniCenySDPH, c.sdph) << c.ini.toStdString();
        EXPECT_EQ(data.MatrixPrinter, c.matrix) << c.ini.toStdString();
        EXPECT_EQ(data.LoginForm, c.login) << c.ini.toStdString();
        EXPECT_EQ(data.ffCommsEngine.IsTcpIp(), c.tcp) << c.ini.toStdString();
    }
    WriteFile(u"Prodejna.ini"_s,
              "[Prodejna]\nHost=  10.0.0.5  \nServerName =  srv \nDan22= 21 \nDan22=99\n"
              "AliasName='Obchod'\nCestaExport=C:\\Data\\Export\\\n");
    TData data(dir.path());
    ASSERT_TRUE(data.IniPrepare());
    EXPECT_EQ(data.Host, u"10.0.0.5"_s);
    EXPECT_EQ(data.ServerName, u"srv"_s);
    EXPECT_EQ(data.Dan22, 21) << "the first key wins";
    EXPECT_EQ(data.AliasName, u"Obchod"_s);
    EXPECT_EQ(data.CestaExport, u"C:\\Data\\Export\\"_s);
    EXPECT_TRUE(told.messages.isEmpty());
}

TEST_F(StartupTest, BadWholeNumberStopsTheStart)
{
    for (const QByteArray& value :
         {QByteArray("abc"), QByteArray(""), QByteArray("12.5"), QByteArray("99999999999")}) {
        told.messages.clear();
        auto data = Start("[Prodejna]\nProdejna=0009\nDan22=21\nDan05=" + value + "\nDan00=3\n");
        ASSERT_EQ(told.messages.size(), 1) << value.toStdString();
        EXPECT_EQ(told.messages[0], u"'%1' is not a valid integer value"_s.arg(QString::fromLatin1(value)));
        EXPECT_EQ(data->Dan22, 21) << "read before the bad key";
        EXPECT_EQ(data->Dan00, 0) << "not read after it";
        EXPECT_FALSE(data->ffDatabase->Connected());
        EXPECT_EQ(data->ffSortiment->TableName(), u"SOR0001"_s) << "no table names set";
        EXPECT_FALSE(data->Terminated());
    }
}

// Values that are whole numbers but cannot be right stop the start the same way.
TEST_F(StartupTest, PortsAndVatRatesOutOfRangeStopTheStart)
{
    struct Case {
        QByteArray line;
        QString message;
    };
    const Case refused[] = {
        {"Dan22=$FFFFFFFF", u"Sazba DPH Dan22=-1 není mezi 0 a 100."_s},
        {"Dan05=101", u"Sazba DPH Dan05=101 není mezi 0 a 100."_s},
        {"Dan00=-5", u"Sazba DPH Dan00=-5 není mezi 0 a 100."_s},
        {"Host=server:99999", u"Port 99999 serveru server:99999 není mezi 1 a 65535."_s},
        {"Host=server:0", u"Port 0 serveru server:0 není mezi 1 a 65535."_s},
        {"Host=server:-1", u"Port -1 serveru server:-1 není mezi 1 a 65535."_s},
        {"Host=server:abc", u"'abc' is not a valid integer value"_s},
        {"Host=server:", u"'' is not a valid integer value"_s},
    };
    for (const Case& c : refused) {
        told.messages.clear();
        auto data = Start("[Prodejna]\nProdejna=0009\n" + c.line + "\n");
        EXPECT_EQ(told.messages, QStringList{c.message}) << c.line.toStdString();
        EXPECT_FALSE(data->ffDatabase->Connected());
        EXPECT_EQ(data->ffSortiment->TableName(), u"SOR0001"_s) << "no table names set";
        EXPECT_FALSE(data->Terminated());
    }
    const QByteArray accepted[] = {"Dan22=100",     "Dan05=0",       "Host=server:65535",
                                   "Host=server:1", "Host=10.0.0.5", "Host=fe80::1"};
    for (const QByteArray& line : accepted) {
        told.messages.clear();
        WriteFile(u"Prodejna.ini"_s, "[Prodejna]\n" + line + "\n");
        TData data(dir.path());
        EXPECT_TRUE(data.IniPrepare()) << line.toStdString();
        EXPECT_TRUE(told.messages.isEmpty()) << line.toStdString();
    }
}

// A start reads each settings file once, and a settings file far beyond any real one is refused
// before it is read.
TEST_F(StartupTest, SettingsFileIsReadOnceAndAHugeOneRefused)
{
    WriteFile(u"Prodejna.ini"_s,
              "[Prodejna]\nProdejna=0007\nDan22=21\nHost=10.0.0.5\nLoginForm=1\n"
              "[Velmira]\nMainX=20\n");
    int reads = inifile_detail::FileReads();
    TData data(dir.path());
    ASSERT_TRUE(data.IniPrepare());
    EXPECT_EQ(inifile_detail::FileReads() - reads, 1);
    EXPECT_EQ(data.MainX, 20);

    const QString path = QDir::toNativeSeparators(Path(u"Prodejna.ini"_s));
    const QByteArray huge = "[Prodejna]\nProdejna=0007\n" + QByteArray(10 * 1024 * 1024, '\n');
    told.messages.clear();
    reads = inifile_detail::FileReads();
    auto big = Start(huge);
    EXPECT_EQ(
        told.messages,
        QStringList{u"Konfigurační soubor %1 je příliš velký (%2 bajtů, nejvýše 1048576)."_s.arg(path).arg(
            huge.size())});
    EXPECT_EQ(inifile_detail::FileReads(), reads) << "refused without reading it";
    EXPECT_EQ(big->ffSortiment->TableName(), u"SOR0001"_s);
    EXPECT_FALSE(big->ffDatabase->Connected());

    // Tolmek.ini likewise: the conversion error goes to the caller.
    WriteFile(u"Tolmek.ini"_s, "[Tolmek]\nUceHeight=400\n" + QByteArray(2 * 1024 * 1024, ' '));
    EXPECT_THROW(data.GetIniWinHigh(13), EConvertError);
}

TEST_F(StartupTest, OddFilesNeverCrash)
{
    struct Case {
        const char* what;
        QByteArray ini;
        bool ok;
        QString prodejna, station;  // what was read
        QStringList messages;
    };
    const QList<Case> cases = {
        {"no section", "no section at all\nProdejna=0002", true, u"0001"_s, u"USER"_s, {}},
        {"code page 1250",
         "[Prodejna]\nStationName=Pokladna \xe8\xed\x9a\x9d\n",
         true,
         u"0001"_s,
         u"Pokladna číšť"_s,
         {}},
        {"long line",
         QByteArray("[Prodejna]\nProdejna=0003\nStationName=") + QByteArray(200000, 'x') + "\n",
         true,
         u"0003"_s,
         QString(200000, u'x'),
         {}},
        {"UTF-8 mark, CR LF",
         "\xef\xbb\xbf[Prodejna]\r\nStationName=Pokladna č. 1\r\n",
         true,
         u"0001"_s,
         u"Pokladna č. 1"_s,
         {}},
        {"broken section, control bytes",
         QByteArray("[Prodejna\nDan22=\x00\x01\n=\n[]\n", 24),
         true,
         u"0001"_s,
         u"USER"_s,
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        told.messages.clear();
        WriteFile(u"Prodejna.ini"_s, c.ini);
        TData data(dir.path());
        EXPECT_EQ(data.IniPrepare(), c.ok);
        EXPECT_EQ(data.Prodejna, c.prodejna);
        EXPECT_EQ(data.StationName, c.station);
        EXPECT_EQ(told.messages, c.messages);
    }
}

TEST_F(StartupTest, UnreachableServerEndsTheProgram)
{
    auto data = Start("[Prodejna]\nProtocol=TCPIP\nHost= 127.0.0.1:1 \nServerName= ACC \n");
    ASSERT_EQ(told.messages.size(), 1);
    EXPECT_EQ(told.messages[0], u"Aplikační server ACC@127.0.0.1:1 není dostupný "_s);
    EXPECT_TRUE(data->Terminated());
}

TEST_F(StartupTest, StoreThatIsNotADatabaseGivesTheClientMessage)
{
    WriteFile(u"Tolmek.db"_s, QByteArray(4096, 'k'));
    auto data = Start("[Prodejna]\n");
    ASSERT_EQ(told.messages.size(), 1);
    EXPECT_TRUE(told.messages[0].contains(u"not a database"_s)) << told.messages[0].toStdString();
    EXPECT_FALSE(data->Terminated());
    EXPECT_FALSE(data->ffDatabase->Connected());
    EXPECT_EQ(QFile(Path(u"Tolmek.db"_s)).size(), 4096) << "the file is left as it was";
}

TEST_F(StartupTest, ConnectsToBothStores)
{
    for (TStoreKind kind : {TStoreKind::Sqlite, TStoreKind::Postgres}) {
        if (kind == TStoreKind::Postgres && !PgAvailableOrSkip())
            GTEST_SKIP() << "the embedded store passed; PostgreSQL test server not configured";
        TTestStore store(kind);
        store.CreateTables();
        QByteArray ini = "[Prodejna]\nAliasName=" + store.AliasName().toUtf8() + "\n";
        if (kind == TStoreKind::Postgres)
            ini += "Protocol=TCPIP\nHost=" + u"%1:%2"_s.arg(PgHost()).arg(PgPort()).toUtf8() + "\n";
        WriteFile(u"Prodejna.ini"_s, ini);
        TData data(kind == TStoreKind::Sqlite ? store.Directory() : dir.path());
        if (kind == TStoreKind::Sqlite)
            QFile::copy(Path(u"Prodejna.ini"_s), QDir(store.Directory()).filePath(u"Prodejna.ini"_s));
        data.DataModuleCreate();
        EXPECT_TRUE(told.messages.isEmpty()) << told.messages.join(u" | "_s).toStdString();
        EXPECT_TRUE(data.ffDatabase->Connected());
        EXPECT_EQ(data.ffDatabase->Kind(), kind);
        EXPECT_TRUE(data.OpenffSor(u"KAV"_s));
        EXPECT_EQ(data.ffSortiment->IndexName(), u"KAV"_s);
        EXPECT_TRUE(data.OpenffSor(u"   "_s)) << "open already: the index stays";
        EXPECT_EQ(data.ffSortiment->IndexName(), u"KAV"_s);
        EXPECT_THROW(data.OpenffSor(u"NOSUCH"_s), EDatabaseError) << "unguarded on an open table";
        data.CloseffSor();
        EXPECT_FALSE(data.OpenffSor(u"NOSUCH"_s)) << "guarded when it opens the table";
        EXPECT_FALSE(data.ffSortiment->Active());
        told.messages.clear();
    }
}

TEST_F(StartupTest, WindowHeightsInTolmekIni)
{
    TData data(dir.path());
    data.CestaProgramu = dir.path() + u'/';
    EXPECT_EQ(data.GetIniWinHigh(13), 361) << "no file reads as the default";
    data.SeTIniWinHigh(13, 400);
    EXPECT_FALSE(QFile::exists(Path(u"Tolmek.ini"_s))) << "never created";

    WriteFile(u"Tolmek.ini"_s, "; okna\r\n[Tolmek]\r\nFakHeight=200\r\n");
    EXPECT_EQ(data.GetIniWinHigh(13), 361);
    EXPECT_EQ(data.GetIniWinHigh(1), 200);
    EXPECT_EQ(data.GetIniWinHigh(0), 0);
    EXPECT_EQ(data.GetIniWinHigh(17), 0);
    data.SeTIniWinHigh(13, 400);
    data.SeTIniWinHigh(17, 999);
    EXPECT_EQ(data.GetIniWinHigh(13), 400);
    QFile f(Path(u"Tolmek.ini"_s));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("; okna\r\n[Tolmek]\r\nFakHeight=200\r\nUceHeight=400\r\n"));
    WriteFile(u"Tolmek.ini"_s, "[Tolmek]\nUceHeight=vysoke\n");
    EXPECT_THROW(data.GetIniWinHigh(13), EConvertError);
}

TEST(CalcFields, PassBalanceAndMovementColumns)
{
    TData data(QString{});
    TMemTable leg(TableDef(u"LEG"_s));
    leg.OnCalcFields = [&](TDataSet& d) { data.ffLegHlaCalcFields(d); };
    leg.Open();
    leg.Append();
    leg.FieldByName(u"LEG_POC"_s).SetAsFloat(1000);
    leg.FieldByName(u"LEG_CER"_s).SetAsFloat(1250);
    EXPECT_EQ(leg.FieldByName(u"LEG_ZUS"_s).AsFloat(), -250);

    TMemTable lep(TableDef(u"LEP"_s));
    lep.OnCalcFields = [&](TDataSet& d) { data.ffLegPolCalcFields(d); };
    lep.Open();
    struct Case {
        double koe, pcc, vkl, cer;
    };
    for (const Case c : {Case{1, 300, 300, 0}, Case{-1, 300, 0, 300}, Case{0, 300, 0, 300}}) {
        lep.Append();
        lep.FieldByName(u"LEP_KUS"_s).SetAsFloat(2);
        lep.FieldByName(u"LEP_PC1"_s).SetAsFloat(150);
        lep.FieldByName(u"LEP_KOE"_s).SetAsFloat(c.koe);
        lep.Post();
        EXPECT_EQ(lep.FieldByName(u"LEP_PCC"_s).AsFloat(), c.pcc);
        EXPECT_EQ(lep.FieldByName(u"LEP_VKL"_s).AsFloat(), c.vkl) << c.koe;
        EXPECT_EQ(lep.FieldByName(u"LEP_CER"_s).AsFloat(), c.cer) << c.koe;
    }
}

}  // namespace

namespace {
TEST_F(StartupTest, MissingServerDatabaseGivesTheClientMessage)
{
    if (!PgAvailableOrSkip())
        GTEST_SKIP();
    auto data = Start("[Prodejna]\nProtocol=TCPIP\nAliasName=kv_no_such_db\nHost=" +
                      u"%1:%2"_s.arg(PgHost()).arg(PgPort()).toUtf8() + "\n");
    ASSERT_EQ(told.messages.size(), 1);
    EXPECT_TRUE(told.messages[0].contains(u"kv_no_such_db"_s)) << told.messages[0].toStdString();
    EXPECT_FALSE(data->Terminated());
    EXPECT_FALSE(data->ffDatabase->Connected());
}
}  // namespace

namespace {

// The program itself, started headless in a station folder of its own: a copy of the executable,
// since the station is the program's folder.
class ProgramTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(station.isValid());
        const QString built = QCoreApplication::applicationDirPath() + u"/korvanta"_s;
        ASSERT_TRUE(QFile::copy(built, Path(u"korvanta"_s))) << built.toStdString();
        program.setProgram(Path(u"korvanta"_s));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        env.insert(u"LC_ALL"_s, u"C.UTF-8"_s);
        env.insert(u"KORVANTA_SPOOL_DIR"_s, station.path());
        program.setProcessEnvironment(env);
    }
    void TearDown() override
    {
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished(5000);
        }
    }

    QString Path(const QString& name) const { return QDir(station.path()).filePath(name); }
    void WriteIni(const QByteArray& text)
    {
        QFile f(Path(u"Prodejna.ini"_s));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }

    QTemporaryDir station;
    QProcess program;
};

TEST_F(ProgramTest, UnreachableServerEndsWithExitCodeOne)
{
    WriteIni("[Prodejna]\nProtocol=TCPIP\nHost=127.0.0.1:1\nServerName=ACC\n");
    program.start();
    ASSERT_TRUE(program.waitForFinished(20000)) << "the program did not end";
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 1);
    const QString out = QString::fromUtf8(program.readAllStandardOutput());
    const QString err = QString::fromUtf8(program.readAllStandardError());
    EXPECT_TRUE(out.split(u'\n').contains(u"Aplikační server ACC@127.0.0.1:1 není dostupný."_s))
        << out.toStdString();
    EXPECT_TRUE(err.contains(u"Aplikační server ACC@127.0.0.1:1 není dostupný "_s)) << err.toStdString();
}

// Without its settings file the program says so and goes on with its built-in values, without a
// database; it does not end by itself.
TEST_F(ProgramTest, MissingSettingsFileIsReportedAndTheProgramGoesOn)
{
    program.start();
    ASSERT_TRUE(program.waitForStarted(5000));
    const QString report = u"Bez konfigurace: program pokračuje bez připojení k databázi."_s;
    QString out;
    for (int i = 0; i < 100 && !out.contains(report) && program.state() == QProcess::Running; ++i) {
        program.waitForReadyRead(200);
        out += QString::fromUtf8(program.readAllStandardOutput());
    }
    EXPECT_TRUE(out.split(u'\n').contains(report)) << out.toStdString();
    EXPECT_FALSE(program.waitForFinished(500)) << "exit code " << program.exitCode();
    EXPECT_EQ(program.state(), QProcess::Running);
    const QString err = QString::fromUtf8(program.readAllStandardError());
    EXPECT_TRUE(err.contains(u"Konfigurační soubor "_s + QDir::toNativeSeparators(Path(u"Prodejna.ini"_s)) +
                             u" nenalezen !"_s))
        << err.toStdString();
}

}  // namespace
