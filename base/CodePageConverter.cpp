#include "CodePageConverter.h"

#include <QList>
#include <QtEndian>

#include <iconv.h>

#include <cerrno>
#include <cstring>

namespace {

const char* IconvName(TCodePage page)
{
    return page == TCodePage::Cp852 ? "CP852" : "CP1250";
}

const char* Utf32Name()
{
    return Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? "UTF-32LE" : "UTF-32BE";
}

// One iconv conversion descriptor, closed with the object.
class TIconv {
public:
    TIconv(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~TIconv()
    {
        if (Valid())
            iconv_close(m_cd);
    }
    TIconv(const TIconv&) = delete;
    TIconv& operator=(const TIconv&) = delete;
    bool Valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    // One call of iconv(3): converts what fits, returns false with errno set where it stopped.
    bool Convert(char*& in, size_t& inLeft, char*& out, size_t& outLeft) const
    {
        return iconv(m_cd, &in, &inLeft, &out, &outLeft) != static_cast<size_t>(-1);
    }

private:
    iconv_t m_cd;
};

// Text as UTF-32 code points: surrogate pairs join, a lone surrogate becomes U+FFFD.
QList<uint> CodePoints(QStringView text)
{
    return text.toUcs4();
}

}  // namespace

QByteArray EncodeCodePage(QStringView text, TCodePage page)
{
    QList<uint> ucs4 = CodePoints(text);
    QByteArray out;
    out.reserve(ucs4.size());
    const TIconv conv(IconvName(page), Utf32Name());
    if (!conv.Valid()) {
        // No converter on this system: plain ASCII still prints.
        for (uint c : ucs4)
            out.append(c < 0x80 ? static_cast<char>(c) : '?');
        return out;
    }
    char* in = reinterpret_cast<char*>(ucs4.data());
    size_t inLeft = static_cast<size_t>(ucs4.size()) * sizeof(uint);
    while (inLeft > 0) {
        char buffer[256];
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        const bool done = conv.Convert(in, inLeft, outPtr, outLeft);
        out.append(buffer, outPtr - buffer);
        if (!done) {
            if (errno == E2BIG)
                continue;
            // EILSEQ (no byte for this character) or anything unexpected: one "?", next character.
            out.append('?');
            const size_t skip = qMin(inLeft, sizeof(uint));
            in += skip;
            inLeft -= skip;
        }
    }
    return out;
}

std::optional<QByteArray> EncodeCodePageExact(QStringView text, TCodePage page)
{
    const TIconv conv(IconvName(page), "UTF-8");
    if (!conv.Valid())
        return std::nullopt;
    QByteArray utf8 = text.toUtf8();
    QByteArray out(utf8.size() + 4, Qt::Uninitialized);
    char* in = utf8.data();
    size_t inLeft = static_cast<size_t>(utf8.size());
    char* outPtr = out.data();
    size_t outLeft = static_cast<size_t>(out.size());
    if (!conv.Convert(in, inLeft, outPtr, outLeft))
        return std::nullopt;  // a character without a byte in the code page
    out.truncate(outPtr - out.data());
    return out;
}

QString DecodeCodePage(QByteArrayView bytes, TCodePage page)
{
    const TIconv conv("UTF-8", IconvName(page));
    if (!conv.Valid())
        return QString::fromLatin1(bytes);  // no converter at all: keep at least the ASCII part right
    // One byte of a single-byte page is at most three bytes of UTF-8, so the output never runs short.
    QByteArray out(bytes.size() * 3 + 4, Qt::Uninitialized);
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = static_cast<size_t>(bytes.size());
    char* outPtr = out.data();
    size_t outLeft = static_cast<size_t>(out.size());
    while (inLeft > 0) {
        if (conv.Convert(in, inLeft, outPtr, outLeft))
            break;
        if (errno != EILSEQ && errno != EINVAL)
            break;
        const auto c = static_cast<char16_t>(static_cast<unsigned char>(*in));
        const QByteArray utf8 = QString(QChar(c)).toUtf8();
        memcpy(outPtr, utf8.constData(), static_cast<size_t>(utf8.size()));
        outPtr += utf8.size();
        outLeft -= static_cast<size_t>(utf8.size());
        ++in;
        --inLeft;
    }
    out.truncate(outPtr - out.data());
    return QString::fromUtf8(out);
}
