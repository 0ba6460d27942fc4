#include "PassStatement.h"

#include "Codepages.h"
#include "DataSestavyUnit.h"
#include "DataUnit.h"
#include "TableGuards.h"

using namespace Qt::StringLiterals;

namespace PassStatement {

namespace {

using PrintLayout::Col28;
using PrintLayout::kBoldOff;
using PrintLayout::kBoldOn;

QByteArray Centred(const QByteArray& text)
{
    return PrintLayout::Centre39(text);
}

// A heading text taken from the tables: trimmed, in code page 1250.
QByteArray Heading(const QString& text)
{
    return AnsiText(Trim(text));
}

QByteArray TotalLine(const char* caption, double value, const QLocale& locale)
{
    return kBoldOn + Col28(caption) + ' ' + Amount(value, locale) + " pb" + kBoldOff;
}

}  // namespace

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
        const QByteArray name = Col28(AnsiToOemText(m.name));
        const double amount = m.units * m.price;
        if (m.units > 1) {
            line(name + ' ' + Amount(m.price, locale) + "  ");
            line(Col28(PrintLayout::Quantity(m.units) + " ks") + ' ' + Amount(amount * m.direction, locale) +
                 " *");
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
