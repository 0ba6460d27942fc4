#include "TextRoutines.h"

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
