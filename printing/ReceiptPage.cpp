#include "ReceiptPage.h"

#include <QAbstractTextDocumentLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextDocument>

using namespace Qt::StringLiterals;

namespace ReceiptPage {

namespace {

QString Amount(double value, const QLocale& locale)
{
    return PrintLayout::AmountText(value, locale).trimmed();
}

QString Row(const QStringList& cells, bool bold = false)
{
    QString row = u"<tr>"_s;
    for (qsizetype i = 0; i < cells.size(); ++i) {
        const QString align = i == 0 ? u"left"_s : u"right"_s;
        QString cell = cells.at(i).toHtmlEscaped();
        if (bold)
            cell = u"<b>"_s + cell + u"</b>"_s;
        row += u"<td align=\""_s + align + u"\">"_s + cell + u"</td>"_s;
    }
    return row + u"</tr>"_s;
}

}  // namespace

QString Html(const TReceiptPrint& r, const QLocale& locale)
{
    const QStringList heading = ReceiptPrintout::HeadingTexts(r);
    QString html = u"<html><body>"_s;
    html += u"<h2 align=\"center\">"_s + heading.value(0).toHtmlEscaped() + u"</h2>"_s;
    for (int i = 1; i < 3; ++i)
        html += u"<p align=\"center\">"_s + heading.value(i).toHtmlEscaped() + u"</p>"_s;
    html += u"<h3 align=\"center\">"_s + heading.value(3).toHtmlEscaped() + u"</h3>"_s;
    html += u"<p align=\"center\">"_s + heading.value(4).toHtmlEscaped() + u"</p>"_s;

    html += u"<table width=\"100%\" cellspacing=\"0\" cellpadding=\"3\" border=\"1\">"_s;
    html += Row({u"Položka"_s, u"Množství"_s, u"Cena/ks"_s, u"Celkem"_s}, true);
    for (const TReceiptPrintLine& line : r.lines)
        html += Row({line.name, locale.toString(line.quantity, 'f', QLocale::FloatingPointShortest),
                     Amount(line.unitPrice, locale), Amount(line.total, locale)});
    html += u"</table><br/>"_s;

    html += u"<table width=\"60%\" align=\"right\" cellspacing=\"0\" cellpadding=\"2\">"_s;
    if (r.base22 > 0) {
        html += Row({u"Celkem bez daně 22%"_s, Amount(r.base22, locale) + u" Kč"_s});
        html += Row({u"Daň 22%"_s, Amount(r.vat22, locale) + u" Kč"_s});
    }
    if (r.base05 > 0) {
        html += Row({u"Celkem bez daně 5%"_s, Amount(r.base05, locale) + u" Kč"_s});
        html += Row({u"Daň 5%"_s, Amount(r.vat05, locale) + u" Kč"_s});
    }
    if (r.base00 > 0)
        html += Row({u"Celkem bez daně 0%"_s, Amount(r.base00, locale) + u" Kč"_s});
    html += Row({u"Celkem k úhradě"_s, Amount(r.total, locale) + u" Kč"_s}, true);
    html += u"</table><br/><p align=\"center\">Děkujeme Vám</p></body></html>"_s;
    return html;
}

void Paint(const TReceiptPrint& receipt, QPagedPaintDevice& device, int copies, const QLocale& locale)
{
    QPainter painter(&device);
    if (!painter.isActive())
        return;  // the device could not be opened: nothing to print on
    QTextDocument document;
    // Laid out in the device's resolution, so that point sizes come out as points on paper.
    document.documentLayout()->setPaintDevice(&device);
    document.setHtml(Html(receipt, locale));
    const QRectF page(0, 0, device.width(), device.height());
    document.setPageSize(page.size());
    const int pages = document.pageCount();
    for (int copy = 0; copy < copies; ++copy) {
        for (int p = 0; p < pages; ++p) {
            if (copy > 0 || p > 0)
                device.newPage();
            painter.save();
            painter.translate(0, -p * page.height());
            QAbstractTextDocumentLayout::PaintContext context;
            context.clip = QRectF(0, p * page.height(), page.width(), page.height());
            document.documentLayout()->draw(&painter, context);
            painter.restore();
        }
    }
}

}  // namespace ReceiptPage
