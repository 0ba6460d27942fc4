#include "PassStatement.h"

#include "Codepages.h"
#include "DataSestavyUnit.h"
#include "DataUnit.h"
#include "TableGuards.h"

#include <cmath>

using namespace Qt::StringLiterals;

namespace PassStatement {

namespace {

constexpr int kLineWidth = 39;
constexpr int kCellWidth = 28;
const QByteArray kBoldOn("\x1B\x68\x31");   // ESC "h1"
const QByteArray kBoldOff("\x1B\x68\x30");  // ESC "h0"

QByteArray Centred(const QByteArray& text)
{
    return PadCenter(text, ' ', kLineWidth);
}

QByteArray Cell(const QByteArray& text)
{
    return PadRight(text, ' ', kCellWidth).left(kCellWidth);
}

// A heading text taken from the tables: trimmed, in code page 1250.
QByteArray Heading(const QString& text)
{
    return AnsiText(Trim(text));
}

QByteArray TotalLine(const char* caption, double value, const QLocale& locale)
{
    return kBoldOn + Cell(caption) + ' ' + Amount(value, locale) + " pb" + kBoldOff;
}

}  // namespace

QByteArray Amount(double value, const QLocale& locale)
{
    // + 0.0 turns a negative zero (a withdrawal of nothing) into "0.00" rather than "-0.00".
    // Qt's own formatting: a full stop whatever the C library's locale says.
    QByteArray text = QString::asprintf("%8.2f", value + 0.0).toLatin1();
    const QByteArray separator = AnsiText(locale.decimalPoint());
    const qsizetype dot = text.indexOf('.');
    if (dot >= 0 && !separator.isEmpty())
        text.replace(dot, 1, separator);
    return text;
}

QList<TPrintStep> Lines(const TPassStatement& s, const QLocale& locale)
{
    QList<TPrintStep> out;
    const auto line = [&out](const QByteArray& text) { out.append({text, false}); };
    const auto feed = [&out] { out.append({QByteArray(), true}); };

    line(Centred(Heading(s.firm)));
    line(Centred(Heading(s.street + u',' + Trim(s.town)) + ',' + Heading(s.postcode)));
    line(Centred("ICO " + Heading(s.ico + u",DIC "_s + Trim(s.dic))));
    line(Centred(Heading(u"Cerpani Korvanta cislo "_s + s.passNumber)));
    line(Centred(Heading(u"Vlastnik "_s + s.holder)));
    line(Centred(Heading(u"Vystaveno dne "_s + s.day.toString(u"dd.MM.yyyy "_s))));
    feed();

    double balance = s.deposits;
    double deposits = 0;
    double withdrawals = 0;
    for (const TStatementMovement& m : s.movements) {
        if (m.date != s.day)
            continue;
        const QByteArray name = Cell(AnsiToOemText(m.name));
        const double amount = m.units * m.price;
        if (m.units > 1) {
            line(name + ' ' + Amount(m.price, locale) + "  ");
            // The units rounded to a whole number, halves away from zero.
            const QByteArray units = QByteArray::number(std::round(m.units), 'f', 0);
            line(Cell(units + " ks") + ' ' + Amount(amount * m.direction, locale) + " *");
        } else {
            line(name + ' ' + Amount(amount * m.direction, locale) + " *");
        }
        balance = m.balance;
        if (m.direction < 0)
            withdrawals += amount;
        else
            deposits += amount;
    }
    feed();

    if (deposits > 0)
        line(TotalLine("Celkem vklad", deposits, locale));
    if (withdrawals > 0)
        line(TotalLine("Celkem cerpano", withdrawals, locale));
    line(TotalLine("Zustatek", balance, locale));
    feed();
    feed();
    line(kBoldOn + "Schvaluji " + QByteArray(20, '.') + kBoldOff);
    return out;
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
    // The channel's results are not examined: a printer that takes nothing costs nothing more.
    for (const TPrintStep& step : steps) {
        if (step.lineFeed)
            printer.NewLine();
        else
            printer.WriteLine(step.text);
    }
}

TPassStatement Collect(TData& data, const QDateTime& day)
{
    TPassStatement s;
    s.day = day;

    TTable& vla = *data.ffVlastnik;
    {
        TCloseIfOpened owner(vla, TCloseIfOpened::OpenNow);
        if (vla.HasRecord()) {
            s.firm = vla.FieldByName(u"VLA_FIR"_s).AsString();
            s.street = vla.FieldByName(u"VLA_ULI"_s).AsString();
            s.town = vla.FieldByName(u"VLA_MES"_s).AsString();
            s.postcode = vla.FieldByName(u"VLA_PSC"_s).AsString();
            s.ico = vla.FieldByName(u"VLA_ICO"_s).AsString();
            s.dic = vla.FieldByName(u"VLA_DIC"_s).AsString();
        }
    }

    TTable& leg = *data.ffLegHla;
    if (!leg.Active() || !leg.HasRecord())
        return s;
    s.passNumber = leg.FieldByName(u"LEG_KOD"_s).AsString();
    s.holder = leg.FieldByName(u"LEG_JME"_s).AsString();
    s.deposits = leg.FieldByName(u"LEG_POC"_s).AsFloat();
    const int passId = leg.FieldByName(u"LEG_IDE"_s).AsInteger();

    // The movements as the account list shows them, read in blocks by a cursor of our own.
    TTable lep(*data.ffDatabase, data.ffLegPol->Def());
    lep.SetTableName(data.ffLegPol->TableName());
    lep.SetIndexName(u"KOD"_s);
    lep.Open();
    lep.SetRange({passId, 0}, {passId, 10000000});
    const int dat = lep.FieldIndex(u"LEP_DAT"_s);
    const int nac = lep.FieldIndex(u"LEP_NAC"_s);
    const int pc1 = lep.FieldIndex(u"LEP_PC1"_s);
    const int kus = lep.FieldIndex(u"LEP_KUS"_s);
    const int koe = lep.FieldIndex(u"LEP_KOE"_s);
    const int zus = lep.FieldIndex(u"LEP_ZUS"_s);
    constexpr int kBlock = 500;
    QList<TRow> rows = lep.ReadRows(nullptr, kBlock, true);
    while (!rows.isEmpty()) {
        for (const TRow& r : rows)
            s.movements.append({r.values[dat].toDateTime(), r.values[nac].toString(),
                                r.values[pc1].toDouble(), r.values[kus].toDouble(), r.values[koe].toDouble(),
                                r.values[zus].toDouble()});
        if (rows.size() < kBlock)
            break;
        const TRow last = rows.last();
        rows = lep.ReadRows(&last, kBlock, true);
    }
    lep.Close();
    return s;
}

bool Print(TData& data, TDataSestavy& printing, const QDateTime& day, QString* error)
{
    if (!data.MatrixPrinter)
        return false;
    // Everything is read before the job starts: a database error never leaves half a job behind.
    const QList<TPrintStep> steps = Lines(Collect(data, day));
    return printing.PrintDocument(
        data.ParagonovaTiskarna, data.CestaProgramu,
        [&steps](TRAWPrinter& printer) { Write(printer, steps); }, error);
}

}  // namespace PassStatement
