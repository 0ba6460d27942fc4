#include "IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <climits>
#include <ostream>
#include <random>
#include <vector>

using namespace Qt::StringLiterals;

void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

void PrintTo(const QByteArray& b, std::ostream* os)
{
    *os << "bytes \"" << b.toStdString() << "\" (" << b.toHex(' ').toStdString() << ')';
}

namespace {

// Bytes exactly as written, NUL bytes included.
template <size_t N>
QByteArray B(const char (&s)[N])
{
    return QByteArray(s, qsizetype(N - 1));
}

const QString kNone = u"<none>"_s;

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString path(const QString& name = u"Prodejna.ini"_s) const { return m_dir.filePath(name); }

    void put(const QByteArray& bytes, const QString& name = u"Prodejna.ini"_s) const
    {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }

    QByteArray bytes(const QString& name = u"Prodejna.ini"_s) const
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;
};

// ---------------------------------------------------------------------------------------------
// Reading

struct LookupCase {
    const char16_t* section;
    const char16_t* key;
    const char16_t* expected;  // nullptr: absent
};

TEST_F(IniFileTest, ReadStringFollowsProfileRules)
{
    put(
        QByteArray("; settings of the station\n"
                   "Orphan=before any section\n"
                   "[Prodejna]\n"
                   "Cesta = C:\\Korvanta\\Data\\  \n"
                   "Nazev=\"  Obchod u Nováků  \"\n"
                   "Single='Brno'\n"
                   "Mixed=\"abc'\n"
                   "Lone=\"\n"
                   "EmptyQuotes=\"\"\n"
                   "Semicolon=a ; b\n"
                   "Equals=a=b=c\n"
                   "Empty=\n"
                   "Blank =   \n"
                   "NoEquals line\n"
                   "  ; Komentar=ignored\n"
                   "Dup=first\n"
                   "DUP=second\n"
                   "Čas=ráno\n"
                   "[ Tisk ]\n"
                   "Port=LPT1\n"
                   "[prodejna]\n"
                   "Late=hidden\n"));

    const LookupCase cases[] = {
        {u"Prodejna", u"Cesta", u"C:\\Korvanta\\Data\\"},
        {u"PRODEJNA", u"cesta", u"C:\\Korvanta\\Data\\"},
        {u" prodejna ", u" CESTA ", u"C:\\Korvanta\\Data\\"},
        {u"Prodejna", u"Nazev", u"  Obchod u Nováků  "},
        {u"Prodejna", u"Single", u"Brno"},
        {u"Prodejna", u"Mixed", u"\"abc'"},
        {u"Prodejna", u"Lone", u"\""},
        {u"Prodejna", u"EmptyQuotes", u""},
        {u"Prodejna", u"Semicolon", u"a ; b"},
        {u"Prodejna", u"Equals", u"a=b=c"},
        {u"Prodejna", u"Empty", u""},
        {u"Prodejna", u"Blank", u""},
        {u"Prodejna", u"dup", u"first"},
        {u"PRODEJNA", u"ČAS", u"ráno"},
        {u"tisk", u"PORT", u"LPT1"},
        {u"Prodejna", u"Late", nullptr},  // only in a later duplicate of the section
        {u"Prodejna", u"Komentar", nullptr},
        {u"Prodejna", u"; Komentar", nullptr},
        {u"Prodejna", u"NoEquals line", nullptr},
        {u"Prodejna", u"Orphan", nullptr},
        {u"Prodejna", u"Port", nullptr},
        {u"Chybí", u"Port", nullptr},
    };
    const TIniFile ini(path());
    for (const LookupCase& c : cases) {
        const QString section = QString::fromUtf16(c.section);
        const QString key = QString::fromUtf16(c.key);
        SCOPED_TRACE(section.toStdString() + " / " + key.toStdString());
        const QString expected = c.expected ? QString::fromUtf16(c.expected) : kNone;
        EXPECT_EQ(ini.ReadString(section, key, kNone), expected);
        EXPECT_EQ(ini.ValueExists(section, key), c.expected != nullptr);
    }
    EXPECT_TRUE(ini.SectionExists(u"TISK"_s));
    EXPECT_TRUE(ini.SectionExists(u"prodejna"_s));
    EXPECT_FALSE(ini.SectionExists(u"Chybí"_s));
    EXPECT_FALSE(ini.SectionExists(u"Orphan"_s));
}

TEST_F(IniFileTest, MissingFileReadsAsEmpty)
{
    const TIniFile ini(path(u"Chybí.ini"_s));
    EXPECT_FALSE(ini.Exists());
    EXPECT_EQ(ini.FileName(), path(u"Chybí.ini"_s));
    EXPECT_EQ(ini.ReadString(u"A"_s, u"B"_s, u"def"_s), u"def"_s);
    EXPECT_EQ(ini.ReadInteger(u"A"_s, u"B"_s, 7), 7);
    EXPECT_TRUE(ini.ReadBool(u"A"_s, u"B"_s, true));
    EXPECT_FALSE(ini.SectionExists(u"A"_s));

    // A directory of that name is no settings file either.
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(u"Adresar.ini"_s));
    const TIniFile dir(path(u"Adresar.ini"_s));
    EXPECT_FALSE(dir.Exists());
    EXPECT_EQ(dir.ReadString(u"A"_s, u"B"_s, u"def"_s), u"def"_s);
}

struct EncodingCase {
    const char* name;
    QByteArray file;
    const char16_t* section;
    const char16_t* key;
    QString expected;
};

TEST_F(IniFileTest, ReadsEncodingsAndLineEnds)
{
    const EncodingCase cases[] = {
        {"cp1250", B("[Adresa]\r\nMesto=Praha \xe8\r\n"), u"Adresa", u"Mesto", u"Praha č"_s},
        {"cp1250 all accents",
         B("[S]\nK=P\xf8\xedli\x9a \x9elu\x9dou\xe8k\xfd k\xf9\xf2 \xfap\xecl \xef\xe1"
           "belsk\xe9 \xf3"
           "dy \x80\n"),
         u"S", u"K", u"Příliš žluťoučký kůň úpěl ďábelské ódy €"_s},
        {"cp1250 names", B("[Nastaven\xed]\nU\x9eivatel=Ji\xf8\xed\n"), u"NASTAVENÍ", u"UŽIVATEL", u"Jiří"_s},
        {"cp1250 that partly looks like UTF-8", B("[S]\nA=\xc8\x8a\nK=\xc8\x8a \xe8\n"), u"S", u"K",
         u"ČŠ č"_s},
        {"UTF-8", B("[Nastavení]\nUživatel=Jiří\n"), u"nastavení", u"uživatel", u"Jiří"_s},
        {"UTF-8 with BOM", B("\xEF\xBB\xBF[S]\nK=Kůň\n"), u"S", u"K", u"Kůň"_s},
        {"BOM before cp1250", B("\xEF\xBB\xBF[S]\nK=\xe8\n"), u"S", u"K", u"č"_s},
        {"overlong UTF-8 is cp1250", B("[S]\nK=\xc0\xaf\n"), u"S", u"K", u"ŔŻ"_s},
        {"CRLF", B("[S]\r\nA=1\r\nK=v\r\n"), u"S", u"K", u"v"_s},
        {"CR", B("[S]\rA=1\rK=v\r"), u"S", u"K", u"v"_s},
        {"mixed line ends", B("[S]\r\nA=1\rB=2\nK=v\r\n"), u"S", u"K", u"v"_s},
        {"no final newline", B("[S]\nK=v"), u"S", u"K", u"v"_s},
        {"blank lines at the end", B("[S]\nK=v\n\n\r\n"), u"S", u"K", u"v"_s},
        {"tabs", B("\t[\tS\t]\t\n\tK\t=\tv\t\n"), u"S", u"K", u"v"_s},
        {"text after ]", B("[S] ; sekce\nK=v\n"), u"S", u"K", u"v"_s},
        {"NUL in a value", B("[S]\nK=a\0b\n"), u"S", u"K", u"a\0b"_s},
        {"NUL in a cp1250 file", B("[S]\nX=\0\xe8\nK=\xe8\n"), u"S", u"K", u"č"_s},
    };
    for (const EncodingCase& c : cases) {
        SCOPED_TRACE(c.name);
        put(c.file);
        const TIniFile ini(path());
        EXPECT_EQ(ini.ReadString(QString::fromUtf16(c.section), QString::fromUtf16(c.key), kNone),
                  c.expected);
    }
}

TEST_F(IniFileTest, LongLines)
{
    const QByteArray big(1 << 20, 'x');
    put("[S]\r\nBig=" + big + "\r\n" + big + "\r\nK=after\r\n[T]\r\nNoEnd=" + big);
    const TIniFile ini(path());
    EXPECT_EQ(ini.ReadString(u"S"_s, u"Big"_s, kNone), QString::fromLatin1(big));
    EXPECT_EQ(ini.ReadString(u"S"_s, u"K"_s, kNone), u"after"_s);
    EXPECT_EQ(ini.ReadString(u"T"_s, u"NoEnd"_s, kNone).size(), big.size());

    // The same in code page 1250, and a write next to it.
    QByteArray bigCp(1 << 20, '\xe8');
    put("[S]\nBig=" + bigCp + "\nK=\xe8");
    TIniFile cp(path());
    EXPECT_EQ(cp.ReadString(u"S"_s, u"Big"_s, kNone), QString(1 << 20, u'č'));
    cp.WriteString(u"S"_s, u"K"_s, u"Ř"_s);
    EXPECT_EQ(bytes(), "[S]\nBig=" + bigCp + "\nK=\xd8");
}

// ---------------------------------------------------------------------------------------------
// Whole numbers and booleans

struct IntCase {
    const char* text;
    int expected;
};

TEST_F(IniFileTest, ReadIntegerAcceptsDelphiNumbers)
{
    const IntCase cases[] = {
        {"0", 0},
        {"42", 42},
        {"  42  ", 42},
        {"'42'", 42},
        {"+5", 5},
        {"-17", -17},
        {"007", 7},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
        {"00000000000000000000012", 12},
        {"$1F", 31},
        {"$ff", 255},
        {"-$10", -16},
        {"$7FFFFFFF", INT_MAX},
        {"$FFFFFFFF", -1},  // a hex number is the 32-bit pattern, as in Delphi
        {"$0000000000010", 16},
    };
    for (const IntCase& c : cases) {
        SCOPED_TRACE(c.text);
        put(QByteArray("[S]\nN=") + c.text + '\n');
        EXPECT_EQ(TIniFile(path()).ReadInteger(u"S"_s, u"N"_s, 99), c.expected);
    }
    EXPECT_EQ(TIniFile(path()).ReadInteger(u"S"_s, u"Absent"_s, 99), 99);
    EXPECT_EQ(TIniFile(path()).ReadInteger(u"Absent"_s, u"N"_s, -3), -3);
}

TEST_F(IniFileTest, ReadIntegerRejectsOtherTextWithItsMessage)
{
    // The last one is "12" in full-width digits.
    const char* const cases[] = {
        "abc",
        "",
        "''",
        "12abc",
        "1.5",
        "1,5",
        "1 000",
        "1e3",
        "+",
        "-",
        "+-1",
        "- 1",
        "2147483648",
        "-2147483649",
        "99999999999999999999",
        "$",
        "-$",
        "$1G",
        "$100000000",
        "0x10",
        "\xef\xbc\x91\xef\xbc\x92",
    };
    for (const char* text : cases) {
        SCOPED_TRACE(text);
        put(QByteArray("[S]\nN=") + text + '\n');
        const QString value = TIniFile(path()).ReadString(u"S"_s, u"N"_s, kNone);
        try {
            TIniFile(path()).ReadInteger(u"S"_s, u"N"_s, 0);
            ADD_FAILURE() << "no exception";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), u"'%1' is not a valid integer value"_s.arg(value));
        }
    }

    put("[S]\nA=abc\nE=\n");
    const TIniFile ini(path());
    for (const auto& [key, message] : {std::pair{u"A"_s, u"'abc' is not a valid integer value"_s},
                                       std::pair{u"E"_s, u"'' is not a valid integer value"_s}}) {
        try {
            ini.ReadInteger(u"S"_s, key, 0);
            ADD_FAILURE() << "no exception for " << key.toStdString();
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), message);
            EXPECT_EQ(QString::fromUtf8(e.what()), message);
        }
    }
}

TEST_F(IniFileTest, ReadBoolTakesWholeNumbersOnly)
{
    struct BoolCase {
        const char* line;
        bool ifDefaultFalse;
        bool ifDefaultTrue;
    };
    const BoolCase cases[] = {
        {"B=1", true, true},    {"B=0", false, false},   {"B=-1", true, true},   {"B=2", true, true},
        {"B=$0", false, false}, {"B=000", false, false}, {"B=yes", false, true}, {"B=true", false, true},
        {"B=Ano", false, true}, {"B=", false, true},     {"B=1.0", false, true}, {"Other=1", false, true},
    };
    for (const BoolCase& c : cases) {
        SCOPED_TRACE(c.line);
        put(QByteArray("[S]\n") + c.line + '\n');
        const TIniFile ini(path());
        EXPECT_EQ(ini.ReadBool(u"S"_s, u"B"_s, false), c.ifDefaultFalse);
        EXPECT_EQ(ini.ReadBool(u"S"_s, u"B"_s, true), c.ifDefaultTrue);
    }
}

// ---------------------------------------------------------------------------------------------
// Writing

TEST_F(IniFileTest, WriteInPlaceKeepsEveryOtherByte)
{
    const QByteArray before =
        B("; Korvanta\r\n"
          "[Prodejna]\r\n"
          "  PrintER = EPSON  \r\n"
          "Host=server\r\n"
          "\r\n"
          "[Tisk]\r\n"
          "Printer=other\r\n"
          "Pocet=1");
    put(before);
    TIniFile ini(path());
    ini.WriteString(u"prodejna"_s, u"PRINTER"_s, u"Star TSP"_s);
    QByteArray expected = before;
    expected.replace("  PrintER = EPSON  \r\n", "  PrintER = Star TSP\r\n");
    EXPECT_EQ(bytes(), expected);

    ini.WriteInteger(u"Tisk"_s, u"Pocet"_s, -12);
    expected.replace("Pocet=1", "Pocet=-12");
    EXPECT_EQ(bytes(), expected);
    EXPECT_EQ(ini.ReadInteger(u"TISK"_s, u"pocet"_s, 0), -12);
    EXPECT_EQ(ini.ReadString(u"Prodejna"_s, u"Printer"_s, kNone), u"Star TSP"_s);
}

struct WriteCase {
    const char* name;
    QByteArray before;
    const char16_t* section;
    const char16_t* key;
    const char16_t* value;
    QByteArray after;
};

TEST_F(IniFileTest, WriteAddsKeysAndSections)
{
    const WriteCase cases[] = {
        {"key after the section's last line", B("[A]\nx=1\n\n\n[B]\ny=2\n"), u"A", u"k", u"v",
         B("[A]\nx=1\nk=v\n\n\n[B]\ny=2\n")},
        {"comment counts as a line", B("[A]\nx=1\n; pozn.\n\n[B]\n"), u"a", u"k", u"v",
         B("[A]\nx=1\n; pozn.\nk=v\n\n[B]\n")},
        {"empty section", B("[A]\r\n[B]\r\n"), u"A", u"k", u"v", B("[A]\r\nk=v\r\n[B]\r\n")},
        {"last section, no final newline", B("[A]\nx=1"), u"A", u"k", u"v", B("[A]\nx=1\nk=v")},
        {"last section, trailing blank lines", B("[A]\r\nx=1\r\n\r\n"), u"A", u"k", u"v",
         B("[A]\r\nx=1\r\nk=v\r\n\r\n")},
        {"header only, no final newline", B("[A]"), u"A", u"k", u"v", B("[A]\nk=v")},
        {"new section at the end", B("[A]\nx=1\n"), u"B", u"k", u"v", B("[A]\nx=1\n[B]\nk=v\n")},
        {"new section, CRLF without final newline", B("[A]\r\nx=1"), u"B", u"k", u"v",
         B("[A]\r\nx=1\r\n[B]\r\nk=v")},
        {"new section, CR", B("[A]\rx=1\r"), u"B", u"k", u"v", B("[A]\rx=1\r[B]\rk=v\r")},
        {"new section, trimmed name", B("[A]\n"), u"  Nová ", u" k ", u"v", B("[A]\n[Nová]\nk=v\n")},
        {"empty file", B(""), u"B", u"k", u"v", B("[B]\nk=v\n")},
        {"BOM only", B("\xEF\xBB\xBF"), u"B", u"k", u"v", B("\xEF\xBB\xBF[B]\nk=v\n")},
        {"keys before any section stay there", B("k=1\n"), u"A", u"k", u"v", B("k=1\n[A]\nk=v\n")},
        {"first of duplicate keys", B("[A]\nk=1\nK=2\n"), u"A", u"k", u"v", B("[A]\nk=v\nK=2\n")},
        {"first of duplicate sections", B("[A]\nx=1\n[B]\n[a]\nk=old\n"), u"A", u"k", u"v",
         B("[A]\nx=1\nk=v\n[B]\n[a]\nk=old\n")},
        {"blanks after = kept", B("[A]\nk =  1  \n"), u"A", u"k", u"v", B("[A]\nk =  v\n")},
        {"empty value", B("[A]\nk=1\n"), u"A", u"k", u"", B("[A]\nk=\n")},
        {"path", B("[A]\nk=1\n"), u"A", u"k", u"C:\\Data\\", B("[A]\nk=C:\\Data\\\n")},
        {"blanks at the ends are quoted", B("[A]\nk=1\n"), u"A", u"k", u" x ", B("[A]\nk=\" x \"\n")},
        {"quotes are quoted", B("[A]\nk=1\n"), u"A", u"k", u"'q'", B("[A]\nk=\"'q'\"\n")},
        {"lone quote as is", B("[A]\nk=1\n"), u"A", u"k", u"\"a", B("[A]\nk=\"a\n")},
        {"UTF-8 file", B("[A]\nx=Kůň\n"), u"A", u"k", u"Žluť", B("[A]\nx=Kůň\nk=Žluť\n")},
        {"UTF-8 file with BOM", B("\xEF\xBB\xBF[A]\r\nk=1\r\n"), u"A", u"k", u"Žluť",
         B("\xEF\xBB\xBF[A]\r\nk=Žluť\r\n")},
    };
    for (const WriteCase& c : cases) {
        SCOPED_TRACE(c.name);
        put(c.before);
        TIniFile ini(path());
        const QString section = QString::fromUtf16(c.section);
        const QString key = QString::fromUtf16(c.key);
        const QString value = QString::fromUtf16(c.value);
        ini.WriteString(section, key, value);
        EXPECT_EQ(bytes(), c.after);
        EXPECT_EQ(ini.ReadString(section, key, kNone), value);
    }
}

TEST_F(IniFileTest, WriteCreatesMissingFile)
{
    TIniFile ini(path(u"Nový.ini"_s));
    EXPECT_FALSE(ini.Exists());
    ini.WriteString(u"Prodejna"_s, u"Host"_s, u"localhost"_s);
    ini.WriteInteger(u"Prodejna"_s, u"Port"_s, 5432);
    EXPECT_TRUE(ini.Exists());
    EXPECT_EQ(bytes(u"Nový.ini"_s), "[Prodejna]\nHost=localhost\nPort=5432\n");
}

TEST_F(IniFileTest, WriteKeepsCodePage1250)
{
    put(B("[Adresa]\r\nMesto=Praha \xe8\r\n"));
    TIniFile ini(path());
    ini.WriteString(u"Adresa"_s, u"Ulice"_s, u"Náměstí Míru"_s);
    ini.WriteString(u"Adresa"_s, u"Mesto"_s, u"Brno"_s);
    ini.WriteString(u"Účet"_s, u"Měna"_s, u"Kč €"_s);
    EXPECT_EQ(bytes(), B("[Adresa]\r\nMesto=Brno\r\nUlice=N\xe1m\xecst\xed M\xedru\r\n"
                         "[\xda\xe8"
                         "et]\r\nM\xecna=K\xe8 \x80\r\n"));
    EXPECT_EQ(ini.ReadString(u"účet"_s, u"MĚNA"_s, kNone), u"Kč €"_s);
    EXPECT_EQ(ini.ReadString(u"Adresa"_s, u"Ulice"_s, kNone), u"Náměstí Míru"_s);
}

struct RefusedCase {
    const char* name;
    QByteArray file;
    const char16_t* section;
    const char16_t* key;
    const char16_t* value;
};

TEST_F(IniFileTest, WriteRefusesWhatCouldNotBeReadBack)
{
    const QByteArray cp = B("[A]\nk=\xe8\n");
    const RefusedCase cases[] = {
        {"character missing from cp1250", cp, u"A", u"k", u"中"},
        {"new key missing from cp1250", cp, u"A", u"中", u"v"},
        {"new section missing from cp1250", cp, u"中", u"k", u"v"},
        {"lone surrogate", B("[A]\n"), u"A", u"k", u"\xD800"},
        {"line break in value", B("[A]\n"), u"A", u"k", u"a\n[B]\nk=evil"},
        {"CR in value", B("[A]\n"), u"A", u"k", u"a\rb"},
        {"= in key", B("[A]\n"), u"A", u"a=b", u"v"},
        {"comment key", B("[A]\n"), u"A", u";k", u"v"},
        {"bracket key", B("[A]\n"), u"A", u"[k", u"v]"},
        {"empty key", B("[A]\n"), u"A", u" ", u"v"},
        {"empty section", B("[A]\n"), u"", u"k", u"v"},
        {"line break in section", B("[A]\n"), u"A]\n[B", u"k", u"v"},
        // The file's only byte that is not UTF-8 would go, and "ČŠ" would read as "Ȋ" afterwards.
        {"cp1250 file would turn into UTF-8", B("[A]\nx=\xc8\x8a\nk=\xe8\n"), u"A", u"k", u"x"},
    };
    for (const RefusedCase& c : cases) {
        SCOPED_TRACE(c.name);
        put(c.file);
        TIniFile ini(path());
        EXPECT_THROW(ini.WriteString(QString::fromUtf16(c.section), QString::fromUtf16(c.key),
                                     QString::fromUtf16(c.value)),
                     EIniFileException);
        EXPECT_EQ(bytes(), c.file);
    }

    // Replacing the only non-ASCII line of a cp1250 file is fine: the rest is plain ASCII.
    put(cp);
    TIniFile(path()).WriteString(u"A"_s, u"k"_s, u"x"_s);
    EXPECT_EQ(bytes(), "[A]\nk=x\n");
}

TEST_F(IniFileTest, WriteFailureThrows)
{
    TIniFile noDir(m_dir.filePath(u"chybí/Prodejna.ini"_s));
    EXPECT_THROW(noDir.WriteString(u"A"_s, u"k"_s, u"v"_s), EIniFileException);

    ASSERT_TRUE(QDir(m_dir.path()).mkdir(u"Adresar.ini"_s));
    TIniFile dir(path(u"Adresar.ini"_s));
    EXPECT_THROW(dir.WriteString(u"A"_s, u"k"_s, u"v"_s), EIniFileException);
    EXPECT_TRUE(QFileInfo(path(u"Adresar.ini"_s)).isDir());
}

// Random files built from the pieces that trouble parsers: whatever the file holds, a write must
// read back as written and leave every other key reading as before.
TEST_F(IniFileTest, RandomFilesWriteReadsBackAndKeepsOtherKeys)
{
    const QByteArray pieces[] = {
        "[S]", "[s ]", "[T]",   "[Nov\xe1]", "[Nová]",       "[",  "]",   "k",    "K2", "\xe8",
        "č",   "=",    " = ",   "v",         "'x'",          "\"", ";",   "\r\n", "\n", "\r",
        " ",   "\t",   B("\0"), "\xc8\x8a",  "\xef\xbb\xbf", "\\", "$1F",
    };
    const QString sections[] = {u"S"_s, u"T"_s, u"Nová"_s};
    const QString keys[] = {u"k"_s, u"K2"_s, u"č"_s};
    const QString values[] = {u"x"_s, u" y "_s, u"\"q\""_s, u"Praha č"_s, u"C:\\a\\"_s, u""_s};

    std::mt19937 rng(20240601);
    int written = 0;
    for (int round = 0; round < 400; ++round) {
        QByteArray file;
        const int n = int(rng() % 40);
        for (int i = 0; i < n; ++i)
            file += pieces[rng() % std::size(pieces)];
        put(file);
        SCOPED_TRACE(testing::PrintToString(file));

        TIniFile ini(path());
        QString before[3][3];
        for (int s = 0; s < 3; ++s)
            for (int k = 0; k < 3; ++k)
                before[s][k] = ini.ReadString(sections[s], keys[k], kNone);
        (void)ini.ReadBool(u"S"_s, u"k"_s, false);

        const int ws = int(rng() % 3);
        const int wk = int(rng() % 3);
        const QString value = values[rng() % std::size(values)];
        try {
            ini.WriteString(sections[ws], keys[wk], value);
        } catch (const EIniFileException&) {
            EXPECT_EQ(bytes(), file);
            continue;
        }
        ++written;
        for (int s = 0; s < 3; ++s) {
            for (int k = 0; k < 3; ++k) {
                const QString expected = (s == ws && k == wk) ? value : before[s][k];
                EXPECT_EQ(ini.ReadString(sections[s], keys[k], kNone), expected)
                    << sections[s].toStdString() << " / " << keys[k].toStdString();
            }
        }
    }
    EXPECT_GT(written, 300);
}

// ---------------------------------------------------------------------------------------------
// The iconv fallback for code page 1250

TEST(IniFileCp1250, IconvFallbackMatchesQt)
{
    QStringDecoder qtDecoder("windows-1250");
    QStringEncoder qtEncoder("windows-1250");
    if (!qtDecoder.isValid() || !qtEncoder.isValid())
        GTEST_SKIP() << "this Qt has no windows-1250 converter to compare with";

    QByteArray all;
    for (int b = 1; b < 256; ++b)
        all += char(b);
    const QString viaQt = qtDecoder.decode(all);
    const QString viaIconv = inifile_detail::DecodeCp1250Iconv(all);
    ASSERT_EQ(viaIconv.size(), viaQt.size());
    for (int i = 0; i < viaQt.size(); ++i)
        EXPECT_EQ(viaIconv[i], viaQt[i]) << "byte " << i + 1;

    const QString czech = u"Příliš žluťoučký kůň úpěl ďábelské ódy; ŠŤŽ € „“ ‰ C:\\Data"_s;
    const QByteArray encoded = qtEncoder.encode(czech);
    EXPECT_EQ(inifile_detail::EncodeCp1250Iconv(czech), std::optional<QByteArray>(encoded));
    EXPECT_EQ(inifile_detail::EncodeCp1250Iconv(u"中"_s), std::nullopt);
}

}  // namespace
