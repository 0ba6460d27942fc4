#include "ReceiptPrint.h"

#include "DataSestavyUnit.h"
#include "DataUnit.h"
#include "DbError.h"

#include <QLoggingCategory>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcReceiptPrint, "korvanta.print")

namespace ReceiptPrint {

TReceiptPrint Collect(TData& data)
{
    TReceiptPrint r;

    TTable& vla = *data.ffVlastnik;
    if (!vla.Active())
        vla.Open();
    if (vla.HasRecord()) {
        r.firm = vla.FieldByName(u"VLA_FIR"_s).AsString();
        r.street = vla.FieldByName(u"VLA_ULI"_s).AsString();
        r.town = vla.FieldByName(u"VLA_MES"_s).AsString();
        r.postcode = vla.FieldByName(u"VLA_PSC"_s).AsString();
        r.ico = vla.FieldByName(u"VLA_ICO"_s).AsString();
        r.dic = vla.FieldByName(u"VLA_DIC"_s).AsString();
    }

    TTable& uce = *data.ffUctenky;
    // A receipt being appended has no stored record yet but its fields hold what is known.
    if (uce.Active() && (uce.HasRecord() || uce.State() == TDataSetState::Insert)) {
        r.number = uce.FieldByName(u"HLA_DO1"_s).AsString();
        r.issued = uce.FieldByName(u"HLA_DAT"_s).AsDateTime();
        r.total = uce.FieldByName(u"HLA_CUH"_s).AsFloat();
        r.base22 = uce.FieldByName(u"HLA_Z22"_s).AsFloat();
        r.vat22 = uce.FieldByName(u"HLA_D22"_s).AsFloat();
        r.base05 = uce.FieldByName(u"HLA_Z05"_s).AsFloat();
        r.vat05 = uce.FieldByName(u"HLA_D05"_s).AsFloat();
        r.base00 = uce.FieldByName(u"HLA_Z00"_s).AsFloat();
    }

    TMemTable& dok = *data.DokladObsah;
    if (dok.Active() && !dok.IsEmpty()) {
        const int nazIndex = dok.FieldIndex(u"DOK_NAZ"_s), kusIndex = dok.FieldIndex(u"DOK_KUS"_s),
                  pc1Index = dok.FieldIndex(u"DOK_PC1"_s), pccIndex = dok.FieldIndex(u"DOK_PCC"_s);
        // The receipt window's grid keeps its place: the line table is walked and put back.
        const int place = dok.RecNo();
        for (dok.First(); !dok.Eof(); dok.Next())
            r.lines.append({dok.GetFieldValue(nazIndex).toString(), dok.GetFieldValue(kusIndex).toDouble(),
                            dok.GetFieldValue(pc1Index).toDouble(), dok.GetFieldValue(pccIndex).toDouble()});
        dok.First();
        for (int i = 1; i < place && !dok.Eof(); ++i)
            dok.Next();
    }
    return r;
}

bool PrintRaw(TData& data, TDataSestavy& printing, QString* error)
{
    const TReceiptPrint receipt = Collect(data);
    const QList<TPrintStep> steps = ReceiptPrintout::Lines(receipt);
    const bool printed = printing.PrintDocument(
        data.ParagonovaTiskarna, data.CestaProgramu,
        [&steps](TRAWPrinter& printer) { PrintLayout::Write(printer, steps); }, error);
    if (!printed)
        qCWarning(lcReceiptPrint) << "receipt" << receipt.number << "did not print completely";
    return printed;
}

bool OpenDrawer(TData& data, TDataSestavy& printing, QString* error)
{
    return printing.OpenDrawer(data.ParagonovaTiskarna, error);
}

void LoadLines(TData& data)
{
    TTable& uce = *data.ffUctenky;
    TMemTable& dok = *data.DokladObsah;
    uce.Edit();
    try {
        dok.Open();
        dok.EmptyTable();
        data.GetDoklad(uce.FieldByName(u"HLA_DO1"_s).AsString(), u"005"_s, QString(), QString(), u"300"_s, 6);
        dok.First();
        uce.Post();
    } catch (...) {
        if (uce.State() != TDataSetState::Browse)
            uce.Cancel();
        throw;
    }
}

bool Reprint(TData& data, const std::function<void()>& print)
{
    TMemTable& dok = *data.DokladObsah;
    bool done = false;
    try {
        TTable& uce = *data.ffUctenky;
        if (uce.Active() && uce.HasRecord()) {
            LoadLines(data);
            if (print)
                print();
            done = true;
        }
    } catch (const EDatabaseError& e) {
        qCWarning(lcReceiptPrint) << "reprint ended:" << e.Message();
    } catch (const std::exception& e) {
        qCWarning(lcReceiptPrint) << "reprint ended:" << e.what();
    }
    dok.Close();
    return done;
}

}  // namespace ReceiptPrint
