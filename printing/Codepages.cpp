#include "Codepages.h"

#include <QList>
#include <QtEndian>

#include <iconv.h>
#include <cerrno>

namespace {

// glibc's tables are Microsoft's: identity for 0x00-0x7F. (ICU's "IBM852", which Qt's QStringEncoder
// would use, is IBM's variant that swaps the control codes 0x1A/0x1C/0x7F and substitutes 0x7F or
// 0x1A for a missing character, so it is not used here.)
const char* IconvName(TCodePage page)
{
    return page == TCodePage::Cp852 ? "CP852" : "CP1250";
}

class TIconv {
public:
    explicit TIconv(TCodePage page)
        : m_cd(iconv_open(IconvName(page), Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? "UTF-32LE" : "UTF-32BE"))
    {}
    ~TIconv()
    {
        if (Valid())
            iconv_close(m_cd);
    }
    TIconv(const TIconv&) = delete;
    TIconv& operator=(const TIconv&) = delete;
    bool Valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t Cd() const { return m_cd; }

private:
    iconv_t m_cd;
};

}  // namespace

QByteArray EncodeText(const QString& text, TCodePage page)
{
    // One code point a character: surrogate pairs join, a lone surrogate becomes U+FFFD (then "?").
    QList<uint> ucs4 = text.toUcs4();
    QByteArray out;
    out.reserve(ucs4.size());
    TIconv conv(page);
    if (!conv.Valid()) {
        // No converter on this system: plain ASCII still prints.
        for (uint c : ucs4)
            out.append(c < 0x80 ? char(c) : '?');
        return out;
    }
    char* in = reinterpret_cast<char*>(ucs4.data());
    size_t inLeft = size_t(ucs4.size()) * sizeof(uint);
    while (inLeft > 0) {
        char buffer[256];
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        const size_t r = iconv(conv.Cd(), &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, outPtr - buffer);
        if (r == size_t(-1)) {
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

QByteArray AnsiToOemText(const QString& text)
{
    return EncodeText(text, TCodePage::Cp852);
}

QByteArray AnsiText(const QString& text)
{
    return EncodeText(text, TCodePage::Cp1250);
}

namespace {

template <typename S, typename Pred>
S TrimWith(const S& text, Pred drop)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && drop(text.at(begin)))
        ++begin;
    while (end > begin && drop(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

template <typename S, typename C>
S PadCenterImpl(S text, C fill, int width)
{
    while (text.size() < width) {
        text.append(fill);
        if (text.size() < width)
            text.prepend(fill);
    }
    return text;
}

template <typename S, typename C>
S PadLeftImpl(const S& text, C fill, int width)
{
    if (text.size() >= width)
        return text;
    return S(width - text.size(), fill) + text;
}

template <typename S, typename C>
S PadRightImpl(const S& text, C fill, int width)
{
    if (text.size() >= width)
        return text;
    return text + S(width - text.size(), fill);
}

}  // namespace

QString TrimBlanks(const QString& text)
{
    return TrimWith(text, [](QChar c) { return c == u' '; });
}

QByteArray TrimBlanks(const QByteArray& text)
{
    return TrimWith(text, [](char c) { return c == ' '; });
}

QString Trim(const QString& text)
{
    return TrimWith(text, [](QChar c) { return c.unicode() <= 32; });
}

QString TrimRight(const QString& text)
{
    qsizetype e = text.size();
    while (e > 0 && text[e - 1].unicode() <= 32)
        --e;
    return text.left(e);
}

QByteArray Trim(const QByteArray& text)
{
    return TrimWith(text, [](char c) { return uchar(c) <= 32; });
}

QString PadLeft(const QString& text, QChar fill, int width)
{
    return PadLeftImpl(text, fill, width);
}

QByteArray PadLeft(const QByteArray& text, char fill, int width)
{
    return PadLeftImpl(text, fill, width);
}

QString PadRight(const QString& text, QChar fill, int width)
{
    return PadRightImpl(text, fill, width);
}

QByteArray PadRight(const QByteArray& text, char fill, int width)
{
    return PadRightImpl(text, fill, width);
}

QString PadCenter(const QString& text, QChar fill, int width)
{
    return PadCenterImpl(text, fill, width);
}

QByteArray PadCenter(const QByteArray& text, char fill, int width)
{
    return PadCenterImpl(text, fill, width);
}

QString ZeroPad(const QString& text, int width)
{
    return PadLeft(TrimBlanks(text), u'0', width);
}

QByteArray ZeroPad(const QByteArray& text, int width)
{
    return PadLeft(TrimBlanks(text), '0', width);
}
