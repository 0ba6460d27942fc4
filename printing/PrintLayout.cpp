#include "PrintLayout.h"

#include "Codepages.h"
#include "RAWPrinter.h"

#include <charconv>
#include <cmath>
#include <string>

using namespace Qt::StringLiterals;

namespace PrintLayout {

QByteArray Centre39(const QByteArray& text)
{
    return PadCenter(text, ' ', kLineWidth);
}

QByteArray Col28(const QByteArray& text)
{
    return PadRight(text, ' ', kCellWidth).left(kCellWidth);
}

QString FormatFixed(double value, int decimals, int width, const QLocale& locale)
{
    if (!std::isfinite(value))
        return PadLeft(QString::number(value), u' ', width);

    // The shortest decimal form that reads back as the value: the digits the operator would type. It
    // is rounded as decimal text, so a half is a half (binary 0.125 and 2.675 both round up).
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::fixed);
    std::string digits(buffer, result.ptr);
    std::string whole = digits;
    std::string fraction;
    if (const auto dot = digits.find('.'); dot != std::string::npos) {
        whole = digits.substr(0, dot);
        fraction = digits.substr(dot + 1);
    }
    bool roundUp = false;
    if (int(fraction.size()) > decimals) {
        roundUp = fraction[size_t(decimals)] >= '5';
        fraction.resize(size_t(decimals));
    }
    fraction.append(size_t(decimals) - fraction.size(), '0');
    std::string all = whole + fraction;
    if (roundUp) {
        qsizetype i = qsizetype(all.size()) - 1;
        while (i >= 0 && all[size_t(i)] == '9')
            all[size_t(i--)] = '0';
        if (i >= 0)
            ++all[size_t(i)];
        else
            all.insert(all.begin(), '1');
    }
    const bool zero = all.find_first_not_of('0') == std::string::npos;
    const qsizetype wholeSize = qsizetype(all.size()) - decimals;
    QString text = QString::fromLatin1(all.data(), wholeSize);
    if (decimals > 0)
        text += locale.decimalPoint() + QString::fromLatin1(all.data() + wholeSize, decimals);
    if (value < 0 && !zero)
        text.prepend(u'-');
    return PadLeft(text, u' ', width);
}

QString AmountText(double value, const QLocale& locale)
{
    return FormatFixed(value, 2, 8, locale);
}

QByteArray Amount(double value, const QLocale& locale)
{
    return AnsiText(AmountText(value, locale));
}

QByteArray Quantity(double value)
{
    return Trim(FormatFixed(value, 0, 4).toLatin1());
}

QByteArray Bytes(const QList<TPrintStep>& steps)
{
    QByteArray out;
    for (const TPrintStep& step : steps)
        out += step.lineFeed ? QByteArray("\n") : step.text + "\n\r";
    return out;
}

void Write(TRAWPrinter& printer, const QList<TPrintStep>& steps)
{
    for (const TPrintStep& step : steps) {
        if (step.lineFeed)
            printer.NewLine();
        else
            printer.WriteLine(step.text);
    }
}

}  // namespace PrintLayout
