#include "Codepages.h"

QByteArray EncodeText(const QString& text, TCodePage page)
{
    return EncodeCodePage(text, page);
}

QByteArray AnsiToOemText(const QString& text)
{
    return EncodeText(text, TCodePage::Cp852);
}

QByteArray AnsiText(const QString& text)
{
    return EncodeText(text, TCodePage::Cp1250);
}
