#pragma once

// Reader and writer of the station's settings files (Prodejna.ini, Tolmek.ini) with Windows
// profile semantics: names match without regard to case, the first section and key win, blanks
// around names and values are dropped, matching quotes around a value are removed, a backslash is
// an ordinary character. A file in UTF-8 is read as UTF-8, any other file as code page 1250.
// Writing changes one line (or adds one) and keeps every other byte of the file.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <memory>
#include <optional>
#include <stdexcept>

// A text that is not the number it should be.
class EConvertError : public std::runtime_error {
public:
    explicit EConvertError(const QString& message);
    QString Message() const { return m_message; }

private:
    QString m_message;
};

// A settings file that could not be written, or a name or value that cannot be stored in it.
class EIniFileException : public std::runtime_error {
public:
    explicit EIniFileException(const QString& message);
    QString Message() const { return m_message; }

private:
    QString m_message;
};

class TIniFile {
public:
    explicit TIniFile(QString path);

    QString FileName() const;
    bool Exists() const;

    // The first read reads the file and the object keeps what it read, so that many keys cost one
    // read of the file; its own writes keep that up to date. A file that is missing or cannot be
    // read has no sections. Make a new object to see changes that others made since.
    QString ReadString(const QString& section, const QString& key, const QString& def) const;
    // Absent key: def. A present value that is not a whole number throws EConvertError.
    int ReadInteger(const QString& section, const QString& key, int def) const;
    // 0 is false, any other whole number true; anything else counts as absent.
    bool ReadBool(const QString& section, const QString& key, bool def) const;
    bool SectionExists(const QString& section) const;
    bool ValueExists(const QString& section, const QString& key) const;

    // Throws EIniFileException when the file cannot be read or written, or when the section, key or
    // value could not be read back as written (line breaks, a character missing from the file's
    // code page). The file is then left as it was.
    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);

private:
    struct TContent;
    const TContent& Content() const;

    QString m_path;
    mutable std::shared_ptr<const TContent> m_content;
};

// Delphi StrToInt: optional sign, then decimal digits or "$" and hex digits; the result must fit
// 32 bits (a hex number is taken as the 32-bit pattern, so "$FFFFFFFF" is -1).
std::optional<int> IniStrToInt(QStringView text);

// Code page 1250 through glibc iconv, used when Qt's converters lack the code page. Exposed so
// that tests can compare it with Qt's converter.
namespace inifile_detail {
// How many times a settings file was read from disk in this process (tests check that a start reads
// each file once).
int FileReads();
QString DecodeCp1250Iconv(QByteArrayView bytes);
std::optional<QByteArray> EncodeCp1250Iconv(QStringView text);
}  // namespace inifile_detail
