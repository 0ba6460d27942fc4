// Pictures of the program's windows for the documentation: sets up a demo station in a temporary
// folder, opens each window offscreen and writes one PNG per window into the folder given.
#include "DBEditVarno.h"
#include "DataUnit.h"
#include "DokladGrid.h"
#include "DokladUctenkaUnit.h"
#include "EditaceVariantaUnit.h"
#include "FrameUnit.h"
#include "HlavniUnit.h"
#include "LegHlaEditUnit.h"
#include "LegHleUnit.h"
#include "LoginUnit.h"
#include "Messages.h"
#include "PrehlNakCenUnit.h"
#include "PrehledSortimentuUnit.h"
#include "PrehledUctenekUnit.h"
#include "ProgresWinUnit.h"
#include "ReceiptPage.h"
#include "ReceiptPrint.h"
#include "SchemaSql.h"
#include "SorHleUnit.h"
#include "UctenHleUnit.h"
#include "UctenkaPolEditUnit.h"
#include "UctenkyFormaUhradyUnit.h"
#include "VyberTiskuDokladuUnit.h"
#include "ZaplacenoUnit.h"

#include <QAbstractTextDocumentLayout>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLocale>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

void Say(const QString& text)
{
    std::fprintf(stderr, "kv_screens: %s\n", text.toLocal8Bit().constData());
}

// The station's database: the administration tool's demo data where the tool was built, otherwise
// the tables and a few passes made here.
bool SetUpStation(const QString& dir)
{
    QFile ini(dir + u"/Prodejna.ini"_s);
    if (!ini.open(QIODevice::WriteOnly))
        return false;
    ini.write("[Prodejna]\nProdejna=0001\nProtocol=LOCAL\nAliasName=Tolmek\nLoginForm=0\n");
    ini.close();
    const QString tool = QCoreApplication::applicationDirPath() + u"/korvanta-db"_s;
    if (QFileInfo(tool).isExecutable()) {
        return QProcess::execute(tool, {u"--dir"_s, dir, u"init"_s}) == 0 &&
               QProcess::execute(tool, {u"--dir"_s, dir, u"demo"_s}) == 0;
    }
    TCommsEngine engine;
    engine.Protocol = u"LOCAL"_s;
    engine.SetActive(true);
    TSession session(engine);
    session.Open();
    TDatabase db(session);
    db.AliasName = u"Tolmek"_s;
    db.Directory = dir;
    db.CreateIfMissing = true;
    db.Open();
    for (const TTableDef* def : AllTableDefs())
        for (const QString& sql : CreateTableSql(*def, TableNameFor(*def, u"0001"_s), TStoreKind::Sqlite))
            db.ExecDirect(sql);
    TTable users(db, TableDef(u"USR"_s));
    users.Open();
    users.Append();
    users.FieldByName(u"USR_LNA"_s).SetAsString(TData::AutoLoginName(TData::OsUserName()));
    users.FieldByName(u"USR_NAC"_s).SetAsString(u"Pokladní"_s);
    users.Post();
    TTable passes(db, TableDef(u"LEG"_s));
    passes.SetTableName(u"LEG0001"_s);
    passes.Open();
    const struct {
        const char16_t* kod;
        const char16_t* jme;
        double poc, cer;
    } rows[] = {{u"1001", u"Novák Jan", 1500, 420},
                {u"1002", u"Dvořáková Marie", 800, 800},
                {u"1003", u"Černý Tomáš", 2000, 350.5},
                {u"1004", u"Šťastná Eva", 500, 0}};
    for (const auto& r : rows) {
        passes.Append();
        passes.FieldByName(u"LEG_KOD"_s).SetAsString(QString::fromUtf16(r.kod));
        passes.FieldByName(u"LEG_JME"_s).SetAsString(QString::fromUtf16(r.jme));
        passes.FieldByName(u"LEG_ODD"_s).SetAsDateTime(QDate(2026, 1, 5).startOfDay());
        passes.FieldByName(u"LEG_DOD"_s).SetAsDateTime(QDate(2026, 12, 31).startOfDay());
        passes.FieldByName(u"LEG_POC"_s).SetAsFloat(r.poc);
        passes.FieldByName(u"LEG_CER"_s).SetAsFloat(r.cer);
        passes.Post();
    }
    return true;
}

bool Save(QWidget* w, const QString& outDir, const QString& name)
{
    w->show();
    (void)QTest::qWaitForWindowExposed(w);
    QTest::qWait(50);
    const QString path = QDir(outDir).filePath(name);
    if (!w->grab().save(path)) {
        Say(u"cannot write "_s + path);
        return false;
    }
    std::printf("%s\n", path.toLocal8Bit().constData());
    return true;
}

// Receipts: a new receipt with lines sold through the engine, the two line dialogs, the payment form
// picker and the change dialog.
bool SaveReceipts(TData& data, QWidget* owner, const QString& outDir)
{
    bool ok = true;
    // Two cards with free stock from the demo assortment, sold as from the keyboard.
    QStringList cards;
    TTable& sor = *data.ffSortiment;
    sor.SetIndexName(u"KAV"_s);
    sor.Open();
    for (sor.First(); !sor.Eof() && cards.size() < 3; sor.Next())
        if (sor.FieldByName(u"SOR_SKL"_s).AsBoolean() &&
            sor.FieldByName(u"SOR_STA"_s).AsFloat() - sor.FieldByName(u"SOR_BLO"_s).AsFloat() >= 3)
            cards << sor.FieldByName(u"SOR_KAV"_s).AsString();
    sor.Close();

    data.AnchorLeft = 40;
    data.AnchorTop = 40;
    data.OpenffUce(u"DO1"_s);
    TTable& uce = *data.ffUctenky;
    uce.Append();
    const QDate today = QDate::currentDate();
    uce.FieldByName(u"HLA_DAT"_s).SetAsDateTime(today.startOfDay());
    uce.FieldByName(u"HLA_DVS"_s).SetAsDate(today);
    uce.FieldByName(u"HLA_DZP"_s).SetAsDate(today);
    uce.FieldByName(u"HLA_FUH"_s).SetAsString(u"1"_s);
    data.DokladObsah->Open();
    data.DokladObsah->EmptyTable();
    TDokladUctenka window(data, TUctenkaUcel::Nova, owner);
    for (int i = 0; i < cards.size(); ++i)
        window.Engine().DirectSale(cards[i], i + 1);
    // A quantity and the first digits of the next code typed on the keyboard.
    window.show();
    for (const Qt::Key key : {Qt::Key_2, Qt::Key_Asterisk, Qt::Key_2, Qt::Key_0, Qt::Key_0})
        QTest::keyClick(window.Grid(), key, Qt::KeypadModifier);
    ok &= Save(&window, outDir, u"doklaductenka.png"_s);

    if (window.Engine().BeginNewLine()) {
        TUctenkaPolNewEdit dialog(data, *data.DokladObsah, &window);
        if (!cards.isEmpty()) {
            dialog.KartaEdit()->setText(cards.first());
            QString text = cards.first();
            sor.Open();
            if (sor.FindKey({cards.first()})) {
                TDataSet& line = *data.DokladObsah;
                line.FieldByName(u"DOK_KAV"_s).SetAsString(cards.first());
                line.FieldByName(u"DOK_NAZ"_s).SetAsString(sor.FieldByName(u"SOR_NAC"_s).AsString());
                line.FieldByName(u"DOK_PC1"_s).SetAsFloat(sor.FieldByName(u"SOR_PC1"_s).AsFloat());
                line.FieldByName(u"DOK_DAN"_s).SetAsFloat(sor.FieldByName(u"SOR_DAN"_s).AsFloat());
                line.FieldByName(u"DOK_KUS"_s).SetAsFloat(2);
                dialog.SetStockDisplay(
                    FieldValues::FloatToStr(sor.FieldByName(u"SOR_STA"_s).AsFloat(), QLocale()));
            }
            sor.Close();
        }
        ok &= Save(&dialog, outDir, u"uctenkapolnewedit.png"_s);
        dialog.hide();
        window.Engine().CancelNewLine();
    }

    data.DokladObsah->First();
    Receipts::TCorrectionDialog start;
    if (window.Engine().BeginCorrection(start) == Receipts::TCorrectionStart::Ready) {
        TUctenkaPolEdit dialog(data, *data.DokladObsah, &window);
        dialog.KartaEdit()->setEnabled(false);
        dialog.VariantEdit()->setEnabled(false);
        dialog.PuvodniMnozstvi = start.puvodniMnozstvi;
        dialog.SetStockDisplay(start.stockDisplay);
        ok &= Save(&dialog, outDir, u"uctenkapoledit.png"_s);
        dialog.hide();
        window.Engine().CancelCorrection();
    }

    TTable& fuh = *data.ffFormaUhrady;
    fuh.Open();
    fuh.SetFilter(u"FUH_UCT = '1'"_s);
    fuh.SetFiltered(true);
    {
        TUctenkyFormaUhrady picker(fuh, &window);
        ok &= Save(&picker, outDir, u"uctenkyformauhrady.png"_s);
    }
    fuh.SetFiltered(false);
    fuh.SetFilter(QString());
    fuh.Close();

    {
        TZaplacenoForm change(data, &window);
        change.show();
        change.activateWindow();
        (void)QTest::qWaitForWindowActive(&change);
        change.VlozenoEdit()->setFocus();
        change.VlozenoEdit()->setText(u"1000"_s);
        change.OkButton()->setFocus();
        ok &= Save(&change, outDir, u"zaplaceno.png"_s);
    }
    window.hide();
    data.DokladObsah->Close();
    uce.Cancel();
    uce.Close();
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    TApplication::SetTitle(u"Korvanta"_s);
    QLocale::setDefault(QLocale(QLocale::Czech, QLocale::Czechia));
    if (argc < 2) {
        Say(u"usage: kv_screens OUTDIR"_s);
        return 2;
    }
    const QString outDir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(outDir);
    SetMessageHandler([](TMessageKind, const QString& text) {
        Say(text);
        return true;
    });

    QTemporaryDir station;
    try {
        if (!SetUpStation(station.path())) {
            Say(u"the demo station could not be set up"_s);
            return 1;
        }
    } catch (const EDatabaseError& e) {
        Say(e.Message());
        return 1;
    }
    TData data(station.path());
    data.LoginDialog = [](QString&, QString&) { return false; };
    data.DataModuleCreate();
    if (data.Terminated() || !data.ffDatabase->Connected()) {
        Say(u"the demo station did not start"_s);
        return 1;
    }

    bool ok = true;
    THlavni hlavni(data);
    ok &= Save(&hlavni, outDir, u"hlavni.png"_s);

    TTable& leg = *data.ffLegHla;
    leg.Append();
    leg.FieldByName(u"LEG_ODD"_s).SetAsDateTime(QDate::currentDate().startOfDay());
    leg.FieldByName(u"LEG_POC"_s).SetAsFloat(0);
    leg.FieldByName(u"LEG_CER"_s).SetAsFloat(0);
    leg.FieldByName(u"LEG_DOD"_s).SetAsDateTime(QDate(QDate::currentDate().year(), 12, 31).startOfDay());
    {
        TLegHlaEdit edit(leg, &hlavni);
        ok &= Save(&edit, outDir, u"leghlaedit.png"_s);
    }
    leg.Cancel();
    {
        TLegHle search(&hlavni);
        ok &= Save(&search, outDir, u"leghle.png"_s);
    }
    {
        TLoginForm login;
        ok &= Save(&login, outDir, u"login.png"_s);
    }

    // Assortment: the card list by name, its search, the variants of the first card with the
    // new-variant dialog, and the rebuild's progress window.
    {
        TTable& sor = *data.ffSortiment;
        sor.SetIndexName(u"NAC"_s);
        sor.Open();
        {
            TPrehledSortimentu cards(data, &hlavni);
            ok &= Save(&cards, outDir, u"prehledsortimentu.png"_s);
            TSorHle search(sor, &cards);
            ok &= Save(&search, outDir, u"sorhle.png"_s);
        }
        TTable& skl = *data.ffSklad;
        skl.SetIndexName(u"KAV"_s);
        skl.Open();
        const QString card = sor.FieldByName(u"SOR_KAV"_s).AsString();
        skl.SetRange({card, u"000"_s}, {card, u"999"_s});
        {
            TPrehlNakCen variants(data, &hlavni);
            ok &= Save(&variants, outDir, u"prehlnakcen.png"_s);
            skl.Append();
            skl.FieldByName(u"SKL_KAV"_s).SetAsString(card);
            skl.FieldByName(u"SKL_POC"_s).SetAsFloat(0);
            skl.FieldByName(u"SKL_MEN"_s).SetAsString(u"CZK"_s);
            skl.FieldByName(u"SKL_KUR"_s).SetAsFloat(1);
            TEditaceVarianta variant(skl, &variants);
            ok &= Save(&variant, outDir, u"editacevarianta.png"_s);
            skl.Cancel();
        }
        skl.Close();
        TProgresWin progress;
        progress.SetTexts(u"Rekonstrukce skladové karty"_s, u"Název sortimentu "_s,
                          sor.FieldByName(u"SOR_NAC"_s).AsString());
        progress.SetPosition(40);
        ok &= Save(&progress, outDir, u"progreswin.png"_s);
        sor.Close();
    }

    // Receipts: the overview on its last receipt, its search, the print options and the page that a
    // page printer gets for that receipt.
    {
        TPrehledUctenek overview(data, &hlavni);
        ok &= Save(&overview, outDir, u"prehleductenek.png"_s);
        {
            TUctenHle search(*data.ffUctenky, &overview);
            ok &= Save(&search, outDir, u"uctenhle.png"_s);
        }
        {
            TVyberTiskuDokladu options(data, &overview);
            ok &= Save(&options, outDir, u"vybertiskudokladu.png"_s);
        }
        if (data.ffUctenky->Active() && data.ffUctenky->HasRecord()) {
            ReceiptPrint::LoadLines(data);
            const TReceiptPrint receipt = ReceiptPrint::Collect(data);
            data.DokladObsah->Close();
            // An A4 page at 96 dots per inch.
            QImage page(794, 1123, QImage::Format_RGB32);
            page.fill(Qt::white);
            QTextDocument document;
            document.documentLayout()->setPaintDevice(&page);
            document.setHtml(ReceiptPage::Html(receipt));
            document.setTextWidth(page.width() - 96);
            QPainter painter(&page);
            painter.translate(48, 48);
            document.drawContents(&painter);
            painter.end();
            const QString path = QDir(outDir).filePath(u"uctenka-stranka.png"_s);
            if (page.save(path))
                std::printf("%s\n", path.toLocal8Bit().constData());
            else
                ok = false;
        }
        overview.reject();
    }
    ok &= SaveReceipts(data, &hlavni, outDir);
    return ok ? 0 : 1;
}
