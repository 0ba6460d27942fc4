#include "ReceiptPrintout.h"

#include "Codepages.h"

using namespace Qt::StringLiterals;
using namespace PrintLayout;

namespace ReceiptPrintout {

namespace {

QByteArray SummaryLine(const char* caption, double value, const QLocale& locale)
{
    return Col28(caption) + ' ' + Amount(value, locale) + " Kc";
}

}  // namespace

QStringList HeadingTexts(const TReceiptPrint& r)
{
    return {
        Trim(r.firm),
        // Blanks at the end of the street stay before the first comma.
        Trim(r.street + u',' + Trim(r.town)) + u',' + Trim(r.postcode),
        u"ICO "_s + Trim(r.ico + u",DIC "_s + Trim(r.dic)),
        Trim(u"Pokladni doklad cislo "_s + r.number),
        Trim(u"Vystaveno dne "_s + r.issued.toString(u"dd.MM.yyyy HH:mm"_s)),
    };
}

QList<TPrintStep> Lines(const TReceiptPrint& r, const QLocale& locale)
{
    QList<TPrintStep> out;
    const auto line = [&out](const QByteArray& text) { out.append({text, false}); };
    const auto feed = [&out] { out.append({QByteArray(), true}); };

    for (const QString& text : HeadingTexts(r))
        line(Centre39(AnsiText(text)));
    feed();

    for (const TReceiptPrintLine& item : r.lines) {
        const QByteArray name = Col28(AnsiToOemText(item.name));
        if (item.quantity > 1) {
            line(name + ' ' + Amount(item.unitPrice, locale) + "  ");
            line(Col28(Quantity(item.quantity) + " ks") + ' ' + Amount(item.total, locale) + " *");
        } else {
            line(name + ' ' + Amount(item.total, locale) + " *");
        }
    }
    feed();

    if (r.base22 > 0) {
        line(SummaryLine("Celkem bez dane 22%", r.base22, locale));
        line(SummaryLine("Dan 22%", r.vat22, locale));
    }
    if (r.base05 > 0) {
        line(SummaryLine("Celkem bez dane 5%", r.base05, locale));
        line(SummaryLine("Dan 5%", r.vat05, locale));
    }
    if (r.base00 > 0)
        line(SummaryLine("Celkem bez dane 0%", r.base00, locale));
    line(kBoldOn + SummaryLine("Celkem k uhrade", r.total, locale) + kBoldOff);
    line(kWideOn + PadCenter(QByteArray("Dekujeme Vam"), ' ', 20) + kWideOff);
    return out;
}

}  // namespace ReceiptPrintout
