#include "IniFile.h"

#include "CodePageConverter.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

EConvertError::EConvertError(const QString& message)
    : std::runtime_error(message.toStdString()), m_message(message)
{}

EIniFileException::EIniFileException(const QString& message)
    : std::runtime_error(message.toStdString()), m_message(message)
{}

// ---------------------------------------------------------------------------------------------
// Code page 1250 through iconv

namespace inifile_detail {

QString DecodeCp1250Iconv(QByteArrayView bytes)
{
    return DecodeCodePage(bytes, TCodePage::Cp1250);
}

std::optional<QByteArray> EncodeCp1250Iconv(QStringView text)
{
    return EncodeCodePageExact(text, TCodePage::Cp1250);
}

}  // namespace inifile_detail

// ---------------------------------------------------------------------------------------------
// Whole numbers

namespace {

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

}  // namespace

std::optional<int> IniStrToInt(QStringView text)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == text.size())
        return std::nullopt;

    if (text[i] == u'$') {
        ++i;
        if (i == text.size())
            return std::nullopt;
        quint64 v = 0;
        for (; i < text.size(); ++i) {
            const int d = hexDigit(text[i]);
            if (d < 0)
                return std::nullopt;
            v = v * 16 + quint64(d);
            if (v > 0xFFFFFFFFull)
                return std::nullopt;
        }
        quint32 bits = quint32(v);
        if (negative)
            bits = 0u - bits;
        return static_cast<int>(bits);
    }

    const qint64 limit = negative ? 2147483648LL : 2147483647LL;
    qint64 v = 0;
    for (; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u < u'0' || u > u'9')
            return std::nullopt;
        v = v * 10 + (u - u'0');
        if (v > limit)
            return std::nullopt;
    }
    return static_cast<int>(negative ? -v : v);
}

// ---------------------------------------------------------------------------------------------
// The file as lines of bytes

namespace {

enum class Encoding { Utf8, Cp1250 };

const QByteArray kUtf8Bom = QByteArrayLiteral("\xEF\xBB\xBF");

bool cp1250InQt()
{
    static const bool ok =
        QStringDecoder("windows-1250").isValid() && QStringEncoder("windows-1250").isValid();
    return ok;
}

bool isValidUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = decoder.decode(bytes);  // errors show only once the text is produced
    return !decoder.hasError();
}

// Converts lines of one file; one converter serves every line.
class LineCodec {
public:
    explicit LineCodec(Encoding encoding) : m_encoding(encoding)
    {
        if (m_encoding == Encoding::Cp1250 && cp1250InQt()) {
            m_decoder = QStringDecoder("windows-1250", QStringDecoder::Flag::Stateless);
            m_encoder = QStringEncoder("windows-1250", QStringEncoder::Flag::Stateless);
        }
    }

    QString decode(QByteArrayView bytes)
    {
        if (m_encoding == Encoding::Utf8)
            return QString::fromUtf8(bytes);
        if (m_decoder.isValid())
            return m_decoder.decode(bytes);
        return inifile_detail::DecodeCp1250Iconv(bytes);
    }

    // nullopt when the text does not survive the trip through the file's encoding.
    std::optional<QByteArray> encode(QStringView text)
    {
        QByteArray bytes;
        if (m_encoding == Encoding::Utf8) {
            bytes = text.toUtf8();
        } else if (m_encoder.isValid()) {
            bytes = m_encoder.encode(text);
            if (m_encoder.hasError()) {
                m_encoder.resetState();
                return std::nullopt;
            }
        } else {
            auto converted = inifile_detail::EncodeCp1250Iconv(text);
            if (!converted)
                return std::nullopt;
            bytes = std::move(*converted);
        }
        if (decode(bytes) != text)
            return std::nullopt;  // e.g. a lone surrogate
        return bytes;
    }

private:
    Encoding m_encoding;
    QStringDecoder m_decoder;
    QStringEncoder m_encoder;
};

struct RawLine {
    QByteArray text;  // without the line end
    QByteArray eol;   // "\r\n", "\n", "\r", or empty on a last line without one
};

struct RawFile {
    QByteArray bom;
    Encoding encoding = Encoding::Utf8;
    std::vector<RawLine> lines;

    QByteArray bytes() const
    {
        QByteArray out = bom;
        for (const RawLine& line : lines)
            out += line.text + line.eol;
        return out;
    }
};

RawFile splitFile(const QByteArray& bytes)
{
    RawFile file;
    QByteArrayView body(bytes);
    // A BOM marks UTF-8; should the rest not be UTF-8 after all, it is still no part of the text.
    if (body.startsWith(kUtf8Bom)) {
        file.bom = kUtf8Bom;
        body = body.sliced(kUtf8Bom.size());
    }
    file.encoding = isValidUtf8(body) ? Encoding::Utf8 : Encoding::Cp1250;

    qsizetype start = 0;
    const qsizetype n = body.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = body[i];
        if (c != '\n' && c != '\r')
            continue;
        const qsizetype eolLen = (c == '\r' && i + 1 < n && body[i + 1] == '\n') ? 2 : 1;
        file.lines.push_back(
            {body.sliced(start, i - start).toByteArray(), body.sliced(i, eolLen).toByteArray()});
        i += eolLen - 1;
        start = i + 1;
    }
    if (start < n)
        file.lines.push_back({body.sliced(start).toByteArray(), {}});
    return file;
}

// ---------------------------------------------------------------------------------------------
// The file as sections and keys

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

QStringView trimBlanks(QStringView s)
{
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.sliced(b, e - b);
}

bool isQuote(QChar c)
{
    return c == u'"' || c == u'\'';
}

bool quotedOnBothEnds(QStringView v)
{
    return v.size() >= 2 && isQuote(v.front()) && v.back() == v.front();
}

QString fold(QStringView name)
{
    return trimBlanks(name).toString().toCaseFolded();
}

enum class LineKind { Blank, Comment, Section, Key, Other };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    QString name;   // section or key, case-folded
    QString value;  // key only: unquoted
};

ParsedLine parseLine(QStringView text)
{
    ParsedLine p;
    const QStringView t = trimBlanks(text);
    if (t.isEmpty()) {
        p.kind = LineKind::Blank;
    } else if (t.front() == u';') {
        p.kind = LineKind::Comment;
    } else if (const qsizetype close = t.lastIndexOf(u']'); t.front() == u'[' && close > 0) {
        p.kind = LineKind::Section;
        p.name = fold(t.sliced(1, close - 1));
    } else if (const qsizetype eq = t.indexOf(u'='); eq >= 0) {
        const QStringView key = trimBlanks(t.first(eq));
        if (!key.isEmpty()) {
            p.kind = LineKind::Key;
            p.name = key.toString().toCaseFolded();
            QStringView v = trimBlanks(t.sliced(eq + 1));
            if (quotedOnBothEnds(v))
                v = v.sliced(1, v.size() - 2);
            p.value = v.toString();
        }
    }
    return p;
}

std::vector<ParsedLine> parseFile(const RawFile& file)
{
    LineCodec codec(file.encoding);
    std::vector<ParsedLine> parsed;
    parsed.reserve(file.lines.size());
    for (const RawLine& line : file.lines)
        parsed.push_back(parseLine(codec.decode(line.text)));
    return parsed;
}

struct Location {
    qsizetype section = -1;       // header line of the first matching section
    qsizetype key = -1;           // first matching key in that section
    qsizetype lastNonBlank = -1;  // last non-blank line of that section (the header at least)
};

Location locate(const std::vector<ParsedLine>& lines, const QString& section, const QString& key)
{
    Location loc;
    const qsizetype n = qsizetype(lines.size());
    qsizetype i = 0;
    for (; i < n; ++i) {
        if (lines[size_t(i)].kind == LineKind::Section && lines[size_t(i)].name == section)
            break;
    }
    if (i == n)
        return loc;
    loc.section = loc.lastNonBlank = i;
    for (++i; i < n; ++i) {
        const ParsedLine& line = lines[size_t(i)];
        if (line.kind == LineKind::Section)
            break;
        if (line.kind != LineKind::Blank)
            loc.lastNonBlank = i;
        if (!key.isNull() && line.kind == LineKind::Key && line.name == key) {
            loc.key = i;
            break;
        }
    }
    return loc;
}

// The bytes of the file, or nullopt when there is no readable file.
std::optional<QByteArray> readBytes(const QString& path, QString* error = nullptr)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = f.errorString();
        return std::nullopt;
    }
    QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        if (error)
            *error = f.errorString();
        return std::nullopt;
    }
    return bytes;
}

struct Lookup {
    bool sectionFound = false;
    std::optional<QString> value;
};

Lookup lookup(const QString& path, const QString& section, const QString& key)
{
    Lookup result;
    const auto bytes = readBytes(path);
    if (!bytes)
        return result;
    const std::vector<ParsedLine> lines = parseFile(splitFile(*bytes));
    const Location loc = locate(lines, fold(section), key.isNull() ? QString() : fold(key));
    result.sectionFound = loc.section >= 0;
    if (loc.key >= 0)
        result.value = lines[size_t(loc.key)].value;
    return result;
}

bool hasNonAscii(const QByteArray& bytes)
{
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    }
    return false;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TIniFile

TIniFile::TIniFile(QString path) : m_path(std::move(path)) {}

QString TIniFile::FileName() const
{
    return m_path;
}

bool TIniFile::Exists() const
{
    return QFileInfo(m_path).isFile();
}

QString TIniFile::ReadString(const QString& section, const QString& key, const QString& def) const
{
    return lookup(m_path, section, key).value.value_or(def);
}

int TIniFile::ReadInteger(const QString& section, const QString& key, int def) const
{
    const auto text = lookup(m_path, section, key).value;
    if (!text)
        return def;
    const auto n = IniStrToInt(*text);
    if (!n)
        throw EConvertError(u"'%1' is not a valid integer value"_s.arg(*text));
    return *n;
}

bool TIniFile::ReadBool(const QString& section, const QString& key, bool def) const
{
    const auto text = lookup(m_path, section, key).value;
    if (!text)
        return def;
    const auto n = IniStrToInt(*text);
    return n ? *n != 0 : def;
}

bool TIniFile::SectionExists(const QString& section) const
{
    return lookup(m_path, section, QString()).sectionFound;
}

bool TIniFile::ValueExists(const QString& section, const QString& key) const
{
    return lookup(m_path, section, key).value.has_value();
}

void TIniFile::WriteString(const QString& section, const QString& key, const QString& value)
{
    const QString sectionName = trimBlanks(section).toString();
    const QString keyName = trimBlanks(key).toString();
    const auto refuse = [&](const QString& reason) {
        return EIniFileException(
            u"Do souboru %1 nelze zapsat klíč %2 sekce [%3]: %4"_s.arg(m_path, keyName, sectionName, reason));
    };
    const auto hasLineBreak = [](const QString& s) { return s.contains(u'\n') || s.contains(u'\r'); };

    // Anything that would read back as something else, or split the line, is refused rather than
    // written: the line would otherwise turn into other keys or sections.
    if (sectionName.isEmpty() || hasLineBreak(sectionName))
        throw refuse(u"neplatný název sekce"_s);
    if (keyName.isEmpty() || hasLineBreak(keyName) || keyName.contains(u'=') || keyName.front() == u';' ||
        keyName.front() == u'[')
        throw refuse(u"neplatný název klíče"_s);
    if (hasLineBreak(value))
        throw refuse(u"hodnota obsahuje konec řádku"_s);

    RawFile file;
    if (QFileInfo::exists(m_path)) {
        // An existing file that cannot be read must never be replaced by one holding a single key.
        QString error;
        const auto bytes = readBytes(m_path, &error);
        if (!bytes)
            throw EIniFileException(u"Soubor %1 nelze přečíst: %2"_s.arg(m_path, error));
        file = splitFile(*bytes);
    }

    // Blanks or quotes at the ends of a value would be dropped on reading; a pair of double quotes
    // around it keeps them.
    const QString stored =
        !value.isEmpty() && (isBlank(value.front()) || isBlank(value.back()) || quotedOnBothEnds(value))
            ? u'"' + value + u'"'
            : value;

    LineCodec codec(file.encoding);
    const auto valueBytes = codec.encode(stored);
    if (!valueBytes)
        throw refuse(u"hodnota obsahuje znak, který kódová stránka souboru nemá"_s);

    QByteArray fileEol = QByteArrayLiteral("\n");
    for (const RawLine& line : file.lines) {
        if (!line.eol.isEmpty()) {
            fileEol = line.eol;
            break;
        }
    }

    const std::vector<ParsedLine> parsed = parseFile(file);
    const Location loc = locate(parsed, fold(sectionName), fold(keyName));
    if (loc.key >= 0) {
        // Keep the key as spelled in the file and the blanks after "=".
        QByteArray& text = file.lines[size_t(loc.key)].text;
        qsizetype valueStart = text.indexOf('=') + 1;
        while (valueStart < text.size() && (text[valueStart] == ' ' || text[valueStart] == '\t'))
            ++valueStart;
        text = text.first(valueStart) + *valueBytes;
    } else {
        const auto keyBytes = codec.encode(keyName);
        if (!keyBytes)
            throw refuse(u"název klíče obsahuje znak, který kódová stránka souboru nemá"_s);
        const QByteArray keyLine = *keyBytes + '=' + *valueBytes;
        if (loc.section >= 0) {
            // The new line takes over the line end of the line it follows, so a file without a
            // final line end keeps having none.
            RawLine& before = file.lines[size_t(loc.lastNonBlank)];
            RawLine added{keyLine, before.eol};
            if (before.eol.isEmpty())
                before.eol = fileEol;
            file.lines.insert(file.lines.begin() + loc.lastNonBlank + 1, std::move(added));
        } else {
            const auto sectionBytes = codec.encode(sectionName);
            if (!sectionBytes)
                throw refuse(u"název sekce obsahuje znak, který kódová stránka souboru nemá"_s);
            QByteArray lastEol = fileEol;
            if (!file.lines.empty()) {
                lastEol = file.lines.back().eol;
                if (lastEol.isEmpty())
                    file.lines.back().eol = fileEol;
            }
            file.lines.push_back({'[' + *sectionBytes + ']', fileEol});
            file.lines.push_back({keyLine, lastEol});
        }
    }

    const QByteArray out = file.bytes();

    // A code page 1250 file whose last byte that is not UTF-8 was just replaced would be read as
    // UTF-8 from now on, changing what its other lines say.
    const RawFile written = splitFile(out);
    if (file.encoding == Encoding::Cp1250 && written.encoding == Encoding::Utf8 &&
        hasNonAscii(out.sliced(written.bom.size())))
        throw refuse(u"soubor by změnil kódování"_s);
    // Last guard before the file is touched: the key must read back exactly as given.
    const std::vector<ParsedLine> check = parseFile(written);
    const Location back = locate(check, fold(sectionName), fold(keyName));
    if (back.key < 0 || check[size_t(back.key)].value != value)
        throw refuse(u"hodnota by se nepřečetla tak, jak byla zapsána"_s);

    QSaveFile save(m_path);
    if (!save.open(QIODevice::WriteOnly))
        throw EIniFileException(u"Soubor %1 nelze zapsat: %2"_s.arg(m_path, save.errorString()));
    if (save.write(out) != out.size()) {
        const QString error = save.errorString();
        save.cancelWriting();
        throw EIniFileException(u"Soubor %1 nelze zapsat: %2"_s.arg(m_path, error));
    }
    if (!save.commit())
        throw EIniFileException(u"Soubor %1 nelze zapsat: %2"_s.arg(m_path, save.errorString()));
}

void TIniFile::WriteInteger(const QString& section, const QString& key, int value)
{
    WriteString(section, key, QString::number(value));
}
