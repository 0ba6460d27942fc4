// The receipt overview driven with the keyboard: opening on the last receipt, the search dialog, the
// correction and the new receipt handed to the receipt window, the reprint into a directory spooler
// queue, the drawer pulses, and the page path through the print-options dialog into PDF files.
#include "TestSupport.h"
#include "WindowTestSupport.h"

#include "DBGrid.h"
#include "DataSestavyUnit.h"
#include "DataUnit.h"
#include "DokladUctenkaUnit.h"
#include "EditVarno.h"
#include "HlavniUnit.h"
#include "IniFile.h"
#include "MemTable.h"
#include "PrehledUctenekUnit.h"
#include "ReceiptPrinting.h"
#include "Spooler.h"
#include "UctenHleUnit.h"
#include "VyberTiskuDokladuUnit.h"
#include "myPrinters.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPrintPreviewDialog>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

void PrintTo(const QByteArray& b, std::ostream* os)
{
    *os << "bytes \"" << QString::fromLatin1(b).toStdString() << "\" (" << b.toHex(' ').toStdString() << ')';
}

namespace {

// Keys go to this window when a closed dialog left no window active (offscreen platform).
void OverviewPress(int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    PressIn(TPrehledUctenek::staticMetaObject, key, mods);
}

void OverviewType(const QString& text)
{
    TypeIn(TPrehledUctenek::staticMetaObject, text);
}

QByteArray Sp(int n)
{
    return QByteArray(n, ' ');
}

QByteArray Line(const QByteArray& text)
{
    return text + "\n\r";
}

const QString kOpen = u"0000000000"_s;

// The bytes of AddSale()'s receipt 0000000005 after the logo: its lines as the journal rebuilds them.
QByteArray SaleBytes()
{
    const QByteArray bold("\x1B\x68\x31"), boldEnd("\x1B\x68\x30");
    return Line(Sp(12) + "Obchod Korvanta" + Sp(12)) + Line(Sp(9) + "Hlavni 5,Brno,602 00" + Sp(10)) +
           Line(Sp(6) + "ICO 12345678,DIC CZ12345678" + Sp(6)) +
           Line(Sp(3) + "Pokladni doklad cislo 0000000005" + Sp(4)) +
           Line(Sp(4) + "Vystaveno dne 15.03.2026 14:05" + Sp(5)) + "\n" +
           // Two sales of 30 and a commission row of -10 merge into one line of 2 pieces at 25.
           Line("K\xA0va" + Sp(24) + " " + "   25,00" + "  ") +
           Line("2 ks" + Sp(24) + " " + "   50,00" + " *") +
           Line("Rohl\xA1k" + Sp(22) + " " + "    3,50" + " *") + "\n" +
           Line("Celkem bez dane 22%" + Sp(9) + " " + "   50,00" + " Kc") +
           Line("Dan 22%" + Sp(21) + " " + "   11,00" + " Kc") +
           Line("Celkem bez dane 5%" + Sp(10) + " " + "    3,50" + " Kc") +
           Line("Dan 5%" + Sp(22) + " " + "    0,18" + " Kc") +
           Line(bold + "Celkem k uhrade" + Sp(13) + " " + "   64,68" + " Kc" + boldEnd) +
           Line("\x1B\x57\x31" + Sp(4) + "Dekujeme Vam" + Sp(4) + "\x1B\x57\x30") + QByteArray(7, '\n') +
           "\x1B\x64\x30\x07\n\r";
}

class ReceiptOverviewTest : public StoreTest {
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        if (!store)
            return;
        ASSERT_TRUE(tmp.isValid());
        data = MakeData(*store);
        data->CestaProgramu = tmp.path() + u"/"_s;
        data->MatrixPrinter = true;
        data->ParagonovaTiskarna = 0;
        data->HlavniTiskarna = 0;
        data->ZakladniCenySDPH = 1;
        AddOwner();
        spool = tmp.path() + u"/spool"_s;
        ASSERT_TRUE(QDir().mkpath(spool + u"/SP 300"_s));
        SetSpoolDirectory(spool);
        ResetPrintersForTests();
        printing = std::make_unique<TDataSestavy>();
        TPrehledUctenek::ReceiptWindow() = [this](TPrehledUctenek& owner, const auto& request) {
            requests.append(request);
            EXPECT_EQ(request.position, owner.pos() + QPoint(35, 40));
            return receiptWindow ? receiptWindow(request) : int(QDialog::Rejected);
        };
    }
    void TearDown() override
    {
        CancelPendingModals();
        if (window)
            window->reject();
        window.reset();
        TPrehledUctenek::ReceiptWindow() = nullptr;
        printing.reset();
        data.reset();
        SetSpoolDirectory(QString());
        ResetPrintersForTests();
        StoreTest::TearDown();
    }

    void AddOwner()
    {
        TTable& t = *data->ffVlastnik;
        t.Open();
        t.Append();
        t.FieldByName(u"VLA_FIR"_s).SetAsString(u"Obchod Korvanta"_s);
        t.FieldByName(u"VLA_ULI"_s).SetAsString(u"Hlavni 5"_s);
        t.FieldByName(u"VLA_MES"_s).SetAsString(u"Brno"_s);
        t.FieldByName(u"VLA_PSC"_s).SetAsString(u"602 00"_s);
        t.FieldByName(u"VLA_ICO"_s).SetAsString(u"12345678"_s);
        t.FieldByName(u"VLA_DIC"_s).SetAsString(u"CZ12345678"_s);
        t.Post();
        t.Close();
    }
    void AddCard(const QString& kav, const QString& nac)
    {
        TTable& t = *data->ffSortiment;
        t.Open();
        t.Append();
        t.FieldByName(u"SOR_KAV"_s).SetAsString(kav);
        t.FieldByName(u"SOR_NAC"_s).SetAsString(nac);
        t.FieldByName(u"SOR_SKU"_s).SetAsString(u"001"_s);
        t.Post();
        t.Close();
    }
    struct TReceiptRow {
        QString do1, do2;
        QDateTime dat;
        double cuh = 0, z22 = 0, d22 = 0, z05 = 0, d05 = 0, z00 = 0;
    };
    void AddReceipt(const TReceiptRow& r)
    {
        TTable& t = *data->ffUctenky;
        const bool wasOpen = t.Active();
        if (!wasOpen)
            t.Open();
        t.Append();
        t.FieldByName(u"HLA_DO1"_s).SetAsString(r.do1);
        t.FieldByName(u"HLA_DO2"_s).SetAsString(r.do2);
        t.FieldByName(u"HLA_DAT"_s).SetAsDateTime(r.dat);
        t.FieldByName(u"HLA_CUH"_s).SetAsFloat(r.cuh);
        t.FieldByName(u"HLA_Z22"_s).SetAsFloat(r.z22);
        t.FieldByName(u"HLA_D22"_s).SetAsFloat(r.d22);
        t.FieldByName(u"HLA_Z05"_s).SetAsFloat(r.z05);
        t.FieldByName(u"HLA_D05"_s).SetAsFloat(r.d05);
        t.FieldByName(u"HLA_Z00"_s).SetAsFloat(r.z00);
        t.FieldByName(u"HLA_FUH"_s).SetAsString(u"1"_s);
        t.FieldByName(u"HLA_TSK"_s).SetAsBoolean(false);
        t.Post();
        if (!wasOpen)
            t.Close();
    }
    // A journal row as the sale of a receipt writes it (quantities and amounts negative).
    void AddJournal(const QString& dok, const QString& kav, const QString& ope, double kus, double hpc,
                    double dan)
    {
        TTable& t = *data->ffDenik;
        t.Open();
        t.Append();
        t.FieldByName(u"DEN_DOK"_s).SetAsString(dok);
        t.FieldByName(u"DEN_KAV"_s).SetAsString(kav);
        t.FieldByName(u"DEN_IND"_s).SetAsString(u"001"_s);
        t.FieldByName(u"DEN_OPE"_s).SetAsString(ope);
        t.FieldByName(u"DEN_KUS"_s).SetAsFloat(kus);
        t.FieldByName(u"DEN_HPC"_s).SetAsFloat(hpc);
        t.FieldByName(u"DEN_HNC"_s).SetAsFloat(hpc / 2);
        t.FieldByName(u"DEN_DAN"_s).SetAsFloat(dan);
        t.FieldByName(u"DEN_DAT"_s).SetAsDate(QDate(2026, 3, 15));
        t.Post();
        t.Close();
    }
    // Four receipts, two of them in a till closure, issued on three days.
    void AddFour()
    {
        AddReceipt({u"0000000001"_s, u"0000000007"_s, QDateTime(QDate(2026, 3, 1), QTime(10, 0))});
        AddReceipt({u"0000000002"_s, kOpen, QDateTime(QDate(2026, 3, 5), QTime(9, 0))});
        AddReceipt({u"0000000011"_s, kOpen, QDateTime(QDate(2026, 3, 10), QTime(15, 0))});
        AddReceipt({u"0000000010"_s, u"0000000007"_s, QDateTime(QDate(2026, 3, 10), QTime(12, 0))});
    }
    // A receipt with two cards: one sold twice and discounted by a commission row, one sold once.
    void AddSale()
    {
        AddCard(u"000001"_s, u"Káva"_s);
        AddCard(u"000002"_s, u"Rohlík"_s);
        AddReceipt({u"0000000005"_s, kOpen, QDateTime(QDate(2026, 3, 15), QTime(14, 5, 59)), 64.68, 50, 11,
                    3.5, 0.175, 0});
        AddJournal(u"0000000005"_s, u"000001"_s, u"005"_s, -1, -30, 22);
        AddJournal(u"0000000005"_s, u"000002"_s, u"005"_s, -1, -3.5, 5);
        AddJournal(u"0000000005"_s, u"000001"_s, u"005"_s, -1, -30, 22);
        AddJournal(u"0000000005"_s, u"000001"_s, u"300"_s, 0, 10, 22);
        AddJournal(u"0000000006"_s, u"000002"_s, u"005"_s, -4, -14, 5);  // the next receipt's row
    }

    void Open()
    {
        window = std::make_unique<TPrehledUctenek>(*data, nullptr);
        ASSERT_TRUE(ShowAndActivate(window.get()));
        ProcessEvents();
    }
    QString Current(const QString& field = u"HLA_DO1"_s) const
    {
        return data->ffUctenky->FieldByName(field).AsString();
    }
    int ReceiptCount() const
    {
        TTable t(store->Db(), data->ffUctenky->Def());
        t.SetTableName(data->ffUctenky->TableName());
        t.Open();
        return t.RecordCount();
    }

    QStringList Jobs(const QString& filter = u"*.prn"_s, const QString& queue = u"SP 300"_s) const
    {
        return QDir(spool + u'/' + queue).entryList({filter}, QDir::Files, QDir::Name);
    }
    QByteArray Job(const QString& name) const
    {
        QFile f(spool + u"/SP 300/"_s + name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir tmp;
    QString spool;
    std::unique_ptr<TData> data;
    std::unique_ptr<TDataSestavy> printing;
    std::unique_ptr<TPrehledUctenek> window;
    QList<TPrehledUctenek::TReceiptWindowRequest> requests;
    std::function<int(const TPrehledUctenek::TReceiptWindowRequest&)> receiptWindow;
};

TEST_P(ReceiptOverviewTest, OpensOnTheLastReceiptWithTheFirstPriceListsBasis)
{
    AddFour();
    TTable& cen = *data->ffCeniky;
    cen.Open();
    cen.Append();
    cen.FieldByName(u"CEN_KOD"_s).SetAsString(u"A"_s);
    cen.FieldByName(u"CEN_DPH"_s).SetAsBoolean(true);
    cen.Post();
    cen.Close();
    {
        QFile ini(data->TolmekIniPath());
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[Tolmek]\nUceHeight=420\n");
    }

    Open();
    EXPECT_EQ(window->windowTitle(), u"Přehled účtenek  "_s);
    EXPECT_EQ(window->width(), 327);
    EXPECT_EQ(window->height(), 420);
    EXPECT_EQ(Current(), u"0000000011"_s);  // the highest number, not the last one stored
    EXPECT_EQ(data->ffUctenky->IndexName(), u"DO1"_s);
    EXPECT_EQ(data->ZakladniCenySDPH, 2);
    EXPECT_EQ(window->Grid()->model()->columnCount(), 22);
    EXPECT_EQ(window->Grid()->model()->headerData(1, Qt::Horizontal).toString(), u"Účtenka"_s);
    EXPECT_EQ(window->Grid()->model()->headerData(21, Qt::Horizontal).toString(), u"Tisk"_s);
    EXPECT_EQ(data->AnchorTop, window->y());
    EXPECT_EQ(data->AnchorLeft, window->x());
    EXPECT_EQ(window->OpravaButton()->text(), u"F4 Oprava"_s);
    EXPECT_EQ(window->NovyButton()->text(), u"F2 Nový"_s);
    EXPECT_TRUE(window->TiskAction()->text().startsWith(u"Tisk dokladu"_s));
    EXPECT_TRUE(window->SuplikAction()->text().startsWith(u"Otevři šuplík"_s));

    window->resize(327, 400);
    OverviewPress(Qt::Key_Escape);
    ProcessEvents();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Rejected);
    EXPECT_FALSE(data->ffUctenky->Active());
    EXPECT_EQ(data->GetIniWinHigh(13), 400);
}

TEST_P(ReceiptOverviewTest, OpensModallyFromTheMainWindow)
{
    AddFour();
    THlavni main(*data);
    ASSERT_TRUE(ShowAndActivate(&main));
    QPoint at;
    QString current;
    OnDialog<TPrehledUctenek>([&](TPrehledUctenek* overview) {
        EXPECT_TRUE(overview->isModal());
        at = overview->pos();
        current = Current();
        OverviewPress(Qt::Key_Escape);
    });
    main.ReceiptsAction()->trigger();
    ProcessEvents();
    EXPECT_EQ(at, main.pos() + QPoint(50, 20));
    EXPECT_EQ(current, u"0000000011"_s);
    EXPECT_FALSE(data->ffUctenky->Active());
    main.close();
}

TEST_P(ReceiptOverviewTest, EmptyPriceListKeepsTheBasisAndAnEmptyTableOpens)
{
    data->ZakladniCenySDPH = 1;
    Open();
    EXPECT_EQ(data->ZakladniCenySDPH, 1);
    EXPECT_FALSE(data->ffUctenky->HasRecord());
    // Nothing to correct or reprint: no receipt window, no job.
    OverviewPress(Qt::Key_F4);
    OverviewPress(Qt::Key_F8);
    EXPECT_TRUE(requests.isEmpty());
    EXPECT_TRUE(Jobs().isEmpty());
}

TEST_P(ReceiptOverviewTest, SearchByNumberTillClosureAndDate)
{
    AddFour();
    Open();

    // By keyboard: the first option, Enter to the text, the number with its zeros, Enter to "&Hledej",
    // Enter searches.
    OnDialog<TUctenHle>([](TUctenHle* d) {
        EXPECT_EQ(d->windowTitle(), u"Hledej položku databáze"_s);
        EXPECT_TRUE(d->CisloOption()->isChecked());
        EXPECT_EQ(QApplication::focusWidget(), d->CisloOption());
        EXPECT_FALSE(d->HledejButton()->isEnabled());
        OverviewPress(Qt::Key_Return);
        EXPECT_EQ(QApplication::focusWidget(), d->TextEdit());
        OverviewType(u"0000000002"_s);
        EXPECT_TRUE(d->HledejButton()->isEnabled());
        OverviewPress(Qt::Key_Return);
        EXPECT_EQ(QApplication::focusWidget(), d->HledejButton());
        OverviewPress(Qt::Key_Return);
    });
    OverviewPress(Qt::Key_F5);
    ProcessEvents();
    EXPECT_EQ(Current(), u"0000000002"_s);
    EXPECT_EQ(window->focusWidget(), window->Grid());

    struct Case {
        const char* what;
        int option;  // 0 number, 1 till closure, 2 date
        QString text;
        QString index;
        QString expected;
    };
    const QList<Case> cases = {
        {"a number without its zeros sorts after every receipt", 0, u"11"_s, u"DO1"_s, u"0000000011"_s},
        {"a number between two receipts lands on the next", 0, u"0000000003"_s, u"DO1"_s, u"0000000010"_s},
        {"the open till lands on the first receipt not yet closed", 1, u"0000000000"_s, u"DO2"_s,
         u"0000000002"_s},
        {"a till closure number", 1, u"0000000007"_s, u"DO2"_s, u"0000000001"_s},
        {"the first receipt issued on or after the date", 2, u"06.03.2026"_s, u"DAT"_s, u"0000000010"_s},
        {"blanks around the text are dropped", 0, u"  0000000010 "_s, u"DO1"_s, u"0000000010"_s},
        {"quotes and SQL are data", 0, u"0'; DROP TABLE UCE0001; --"_s, u"DO1"_s, u"0000000001"_s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OnDialog<TUctenHle>([&c](TUctenHle* d) {
            // Each showing starts from the first option and an empty, plain text field.
            EXPECT_TRUE(d->CisloOption()->isChecked());
            EXPECT_TRUE(d->TextEdit()->text().isEmpty());
            EXPECT_EQ(d->TextEdit()->EditType(), TEditType::String);
            for (int i = 0; i < c.option; ++i)
                OverviewPress(Qt::Key_Down);
            OverviewPress(Qt::Key_Return);
            EXPECT_EQ(d->TextEdit()->EditType(), c.option == 2 ? TEditType::Date : TEditType::String);
            d->TextEdit()->setText(c.text);
            OverviewPress(Qt::Key_End);
            d->HledejButton()->click();
        });
        OverviewPress(Qt::Key_F5);
        ProcessEvents();
        EXPECT_EQ(data->ffUctenky->IndexName(), c.index);
        EXPECT_EQ(Current(), c.expected);
    }
    EXPECT_EQ(ReceiptCount(), 4);

    // Esc and "Storno" leave the index and the place as they are.
    OnDialog<TUctenHle>([](TUctenHle*) {
        OverviewPress(Qt::Key_Down);
        OverviewPress(Qt::Key_Return);
        OverviewType(u"0000000002"_s);
        OverviewPress(Qt::Key_Escape);
    });
    OverviewPress(Qt::Key_F5);
    OnDialog<TUctenHle>([](TUctenHle* d) {
        OverviewType(u"x"_s);
        d->StornoButton()->click();
    });
    window->HledejAction()->trigger();
    ProcessEvents();
    EXPECT_EQ(data->ffUctenky->IndexName(), u"DO1"_s);
    EXPECT_EQ(Current(), u"0000000001"_s);
}

TEST_P(ReceiptOverviewTest, ReprintRebuildsTheLinesFromTheJournal)
{
    AddSale();
    QFile logo(tmp.path() + u"/logo.prn"_s);
    ASSERT_TRUE(logo.open(QIODevice::WriteOnly));
    logo.write(QByteArray("LOGO\x1B\x00\x07", 7));
    logo.close();
    Open();
    ASSERT_EQ(Current(), u"0000000005"_s);

    OverviewPress(Qt::Key_F8);
    ProcessEvents();
    ASSERT_EQ(Jobs(), QStringList{u"00000001.prn"_s});
    const QByteArray expected = QByteArray("LOGO\x1B\x00\x07", 7) + SaleBytes();
    EXPECT_EQ(Job(u"00000001.prn"_s), expected);

    // The reprint changes nothing and leaves no lines behind.
    EXPECT_EQ(data->ffUctenky->State(), TDataSetState::Browse);
    EXPECT_FALSE(data->ffUctenky->FieldByName(u"HLA_TSK"_s).AsBoolean());
    EXPECT_FALSE(data->DokladObsah->Active());
    EXPECT_EQ(window->focusWidget(), window->Grid());

    // The menu entry prints the same again.
    window->TiskAction()->trigger();
    ProcessEvents();
    ASSERT_EQ(Jobs().size(), 2);
    EXPECT_EQ(Job(Jobs().at(1)), expected);
}

TEST_P(ReceiptOverviewTest, ReceiptWindowPrintsItsLinesAsTheyStand)
{
    // A receipt not yet created: no number, no date; its lines as the receipt window holds them.
    ASSERT_TRUE(data->OpenffUce(u"DO1"_s));
    data->ffUctenky->Append();
    data->ffUctenky->FieldByName(u"HLA_CUH"_s).SetAsFloat(60);
    TMemTable& dok = *data->DokladObsah;
    dok.Open();
    for (int i = 0; i < 2; ++i) {
        dok.Append();
        dok.FieldByName(u"DOK_NAZ"_s).SetAsString(u"Káva"_s);
        dok.FieldByName(u"DOK_KUS"_s).SetAsFloat(1);
        dok.FieldByName(u"DOK_PC1"_s).SetAsFloat(30);
        dok.FieldByName(u"DOK_PCC"_s).SetAsFloat(30);
        dok.Post();
    }
    dok.First();
    QString error;
    EXPECT_TRUE(ReceiptPrinting::PrintReceipt(*data, nullptr, &error));
    EXPECT_TRUE(error.isEmpty());
    ASSERT_EQ(Jobs().size(), 1);
    const QByteArray job = Job(Jobs().at(0));
    const QByteArray item = Line("K\xA0va" + Sp(24) + " " + "   30,00" + " *");
    EXPECT_TRUE(job.contains(Line(Sp(9) + "Pokladni doklad cislo" + Sp(9)) +
                             Line(Sp(13) + "Vystaveno dne" + Sp(13)) + "\n" + item + item + "\n"))
        << job.toStdString();
    EXPECT_TRUE(
        job.contains(Line("\x1B\x68\x31"
                          "Celkem k uhrade" +
                          Sp(13) + " " + "   60,00" + " Kc" + "\x1B\x68\x30")));
    // The window's tables stay as they were.
    EXPECT_EQ(data->ffUctenky->State(), TDataSetState::Insert);
    EXPECT_TRUE(dok.Active());
    EXPECT_EQ(dok.RecordCount(), 2);
    data->ffUctenky->Cancel();
    dok.Close();
}

TEST_P(ReceiptOverviewTest, BadPrinterPositionSendsNothing)
{
    AddSale();
    data->ParagonovaTiskarna = 5;
    TMessageRecorder messages;
    Open();
    // The reprint ends silently.
    OverviewPress(Qt::Key_F8);
    ProcessEvents();
    EXPECT_TRUE(Jobs().isEmpty());
    EXPECT_TRUE(messages.messages.isEmpty());
    EXPECT_FALSE(data->DokladObsah->Active());
    // From the receipt window the list's error comes back to be shown; nothing was sent.
    data->DokladObsah->Open();
    QString error;
    EXPECT_FALSE(ReceiptPrinting::PrintReceipt(*data, window.get(), &error));
    EXPECT_EQ(error, u"List index out of bounds (5)"_s);
    EXPECT_TRUE(Jobs().isEmpty());
    data->DokladObsah->Close();
    // The drawer tells the operator.
    OverviewPress(Qt::Key_F11);
    EXPECT_EQ(messages.messages, QStringList{u"List index out of bounds (5)"_s});
    EXPECT_TRUE(Jobs().isEmpty());
}

TEST_P(ReceiptOverviewTest, DrawerPulses)
{
    data->MatrixPrinter = false;  // the drawer does not depend on it
    Open();
    OverviewPress(Qt::Key_F11);
    OverviewPress(Qt::Key_F12);
    window->SuplikAction()->trigger();
    ProcessEvents();
    const QStringList jobs = Jobs();
    ASSERT_EQ(jobs.size(), 3);
    for (const QString& job : jobs)
        EXPECT_EQ(Job(job), QByteArray("\x07\n\r"));
    // Modified keys are not the drawer's.
    OverviewPress(Qt::Key_F11, Qt::ControlModifier);
    EXPECT_EQ(Jobs().size(), 3);
}

TEST_P(ReceiptOverviewTest, CorrectionAndNewReceiptOpenTheReceiptWindow)
{
    AddSale();
    AddReceipt({u"0000000009"_s, u"0000000003"_s, QDateTime(QDate(2026, 3, 16), QTime(8, 0)), 14});
    Open();
    ASSERT_EQ(Current(), u"0000000009"_s);

    // A receipt in a till closure opens with its buttons disabled (closedTill).
    int lines = -1;
    receiptWindow = [&](const TPrehledUctenek::TReceiptWindowRequest&) {
        lines = data->DokladObsah->RecordCount();
        EXPECT_EQ(data->ffUctenky->State(), TDataSetState::Edit);
        return int(QDialog::Rejected);
    };
    OverviewPress(Qt::Key_F4);
    ASSERT_EQ(requests.size(), 1);
    EXPECT_FALSE(requests[0].newReceipt);
    EXPECT_TRUE(requests[0].closedTill);
    EXPECT_EQ(lines, 0);  // no journal rows for it
    EXPECT_EQ(data->ffUctenky->State(), TDataSetState::Browse);
    EXPECT_FALSE(data->DokladObsah->Active());

    // An open receipt: its lines merged by card and variant; OK stores the record.
    window->Navigator()->PriorButton()->click();
    ProcessEvents();
    ASSERT_EQ(Current(), u"0000000005"_s);
    receiptWindow = [&](const TPrehledUctenek::TReceiptWindowRequest&) {
        lines = data->DokladObsah->RecordCount();
        data->ffUctenky->FieldByName(u"HLA_TSK"_s).SetAsBoolean(true);
        return int(QDialog::Accepted);
    };
    OverviewPress(Qt::Key_F4, Qt::ShiftModifier);
    ASSERT_EQ(requests.size(), 2);
    EXPECT_FALSE(requests[1].closedTill);
    EXPECT_EQ(lines, 2);
    data->ffUctenky->Refresh();
    EXPECT_TRUE(data->ffUctenky->FieldByName(u"HLA_TSK"_s).AsBoolean());

    // Ctrl+F4 corrects as well; Alt+F4 alone does not.
    OverviewPress(Qt::Key_F4, Qt::ControlModifier);
    EXPECT_EQ(requests.size(), 3);
    OverviewPress(Qt::Key_F4, Qt::AltModifier);
    EXPECT_EQ(requests.size(), 3);

    // A new receipt closed without creating it leaves no record.
    QDateTime issued;
    receiptWindow = [&](const TPrehledUctenek::TReceiptWindowRequest&) {
        EXPECT_EQ(data->ffUctenky->State(), TDataSetState::Insert);
        EXPECT_TRUE(data->DokladObsah->Active());
        EXPECT_EQ(data->ffUctenky->FieldByName(u"HLA_FUH"_s).AsString(), u"1"_s);
        issued = data->ffUctenky->FieldByName(u"HLA_DAT"_s).AsDateTime();
        return int(QDialog::Rejected);
    };
    const int before = ReceiptCount();
    OverviewPress(Qt::Key_F2);
    ASSERT_EQ(requests.size(), 4);
    EXPECT_TRUE(requests[3].newReceipt);
    EXPECT_EQ(issued, QDate::currentDate().startOfDay());
    EXPECT_EQ(ReceiptCount(), before);
    EXPECT_EQ(data->ffUctenky->State(), TDataSetState::Browse);
    EXPECT_FALSE(data->DokladObsah->Active());

    // OK stores it.
    receiptWindow = [&](const TPrehledUctenek::TReceiptWindowRequest&) {
        data->ffUctenky->FieldByName(u"HLA_DO1"_s).SetAsString(u"0000000012"_s);
        data->ffUctenky->FieldByName(u"HLA_DO2"_s).SetAsString(kOpen);
        return int(QDialog::Accepted);
    };
    window->NovyButton()->click();
    ProcessEvents();
    EXPECT_EQ(ReceiptCount(), before + 1);
}

TEST_P(ReceiptOverviewTest, CorrectionOfAVanishedReceiptEndsSilently)
{
    AddSale();
    TMessageRecorder messages;
    Open();
    // Another station removes the receipt while the overview shows it.
    {
        auto other = store->SecondConnection();
        TTable t(other->Db(), data->ffUctenky->Def());
        t.SetTableName(data->ffUctenky->TableName());
        t.Open();
        ASSERT_TRUE(t.Locate(u"HLA_DO1"_s, {u"0000000005"_s}));
        t.Delete();
    }
    OverviewPress(Qt::Key_F4);
    OverviewPress(Qt::Key_F8);
    ProcessEvents();
    EXPECT_TRUE(requests.isEmpty());
    EXPECT_TRUE(messages.messages.isEmpty());
    EXPECT_TRUE(Jobs().isEmpty());
    EXPECT_FALSE(data->DokladObsah->Active());
    EXPECT_TRUE(window->isVisible());
}

TEST_P(ReceiptOverviewTest, TheReceiptWindowFromTheOverview)
{
    AddSale();
    AddReceipt({u"0000000009"_s, u"0000000003"_s, QDateTime(QDate(2026, 3, 16), QTime(8, 0)), 14});
    TPrehledUctenek::ReceiptWindow() = nullptr;  // the program's receipt window
    TMessageRecorder told;
    Open();
    ASSERT_EQ(Current(), u"0000000009"_s);

    // A receipt in a till closure: "F2 Nová" and "F4 Oprava" disabled, the keys refused with a reason.
    OnDialog<TDokladUctenka>([](TDokladUctenka* w) {
        EXPECT_FALSE(w->NovaButton()->isEnabled());
        EXPECT_FALSE(w->OpravaButton()->isEnabled());
        OverviewPress(Qt::Key_F2);
        ProcessEvents();
        OverviewPress(Qt::Key_F4);
        ProcessEvents();
        OverviewPress(Qt::Key_Escape);
    });
    OverviewPress(Qt::Key_F4);
    ProcessEvents();
    EXPECT_EQ(told.messages, (QStringList{u"Účtenka již uzavřena výčetkou, nelze přidat !"_s,
                                          u"Účtenka uzavřena výčetkou, nelze opravit"_s}));
    EXPECT_EQ(data->ffUctenky->State(), TDataSetState::Browse);
    EXPECT_FALSE(data->DokladObsah->Active());

    // An open receipt: a bad receipt printer position keeps the window open with the list's message;
    // with the right one F8 prints the lines the window holds and closes it with OK.
    window->Navigator()->PriorButton()->click();
    ProcessEvents();
    ASSERT_EQ(Current(), u"0000000005"_s);
    told.messages.clear();
    data->ParagonovaTiskarna = 5;
    bool stayedOpen = false;
    OnDialog<TDokladUctenka>([this, &stayedOpen](TDokladUctenka* w) {
        EXPECT_TRUE(w->NovaButton()->isEnabled());
        EXPECT_EQ(data->DokladObsah->RecordCount(), 2);
        OverviewPress(Qt::Key_F8);
        ProcessEvents();
        stayedOpen = w->isVisible();
        data->ParagonovaTiskarna = 0;
        OverviewPress(Qt::Key_F8);
    });
    OverviewPress(Qt::Key_F4);
    ProcessEvents();
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(told.messages, QStringList{u"List index out of bounds (5)"_s});
    ASSERT_EQ(Jobs().size(), 1);
    EXPECT_EQ(Job(Jobs().at(0)), SaleBytes());
    EXPECT_EQ(data->ffUctenky->State(), TDataSetState::Browse);
    EXPECT_FALSE(data->DokladObsah->Active());

    // The drawer from the receipt window: one pulse each for F11 and F12.
    OnDialog<TDokladUctenka>([](TDokladUctenka*) {
        OverviewPress(Qt::Key_F11);
        OverviewPress(Qt::Key_F12);
        OverviewPress(Qt::Key_Escape);
    });
    OverviewPress(Qt::Key_F4);
    ProcessEvents();
    ASSERT_EQ(Jobs().size(), 3);
    EXPECT_EQ(Job(Jobs().at(1)), QByteArray("\x07\n\r"));
    EXPECT_EQ(Job(Jobs().at(2)), QByteArray("\x07\n\r"));
}

// ---------------------------------------------------------------------------------------------------
// Page printing

QString PdfText(const QString& file, int* pages = nullptr)
{
    QProcess p;
    p.start(u"pdftotext"_s, {u"-layout"_s, file, u"-"_s});
    p.waitForFinished(30000);
    const QString text = QString::fromUtf8(p.readAllStandardOutput());
    if (pages) {
        QProcess info;
        info.start(u"pdfinfo"_s, {file});
        info.waitForFinished(30000);
        const QString out = QString::fromUtf8(info.readAllStandardOutput());
        const qsizetype at = out.indexOf(u"Pages:"_s);
        *pages = at < 0 ? -1 : out.mid(at + 6).section(u'\n', 0, 0).trimmed().toInt();
    }
    return text;
}

TEST_P(ReceiptOverviewTest, PagePrintingThroughTheOptionsDialog)
{
    if (QStandardPaths::findExecutable(u"pdftotext"_s).isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed; scripts/deps installs it";
    AddSale();
    ASSERT_TRUE(QDir().mkpath(spool + u"/Laser"_s));
    ResetPrintersForTests();  // printers: "Laser", "SP 300"
    data->MatrixPrinter = false;
    data->HlavniTiskarna = 1;
    TMessageRecorder messages;
    Open();

    // Two copies on the page printer chosen in the list, which becomes the station's page printer.
    OnDialog<TVyberTiskuDokladu>([](TVyberTiskuDokladu* d) {
        EXPECT_EQ(d->windowTitle(), u"Nastavení tisku dokladu"_s);
        EXPECT_EQ(QApplication::focusWidget(), d->CopiesEdit());
        EXPECT_EQ(d->CopiesEdit()->text(), u"1"_s);
        EXPECT_FALSE(d->NahledCheck()->isChecked());
        EXPECT_EQ(d->PrinterCombo()->currentText(), u"SP 300"_s);
        OverviewPress(Qt::Key_F12);
        EXPECT_TRUE(d->NahledCheck()->isChecked());
        OverviewPress(Qt::Key_F12);
        EXPECT_FALSE(d->NahledCheck()->isChecked());
        d->CopiesEdit()->selectAll();
        OverviewType(u"2"_s);
        OverviewPress(Qt::Key_Return);
        EXPECT_EQ(QApplication::focusWidget(), d->NahledCheck());
        OverviewPress(Qt::Key_Return);
        EXPECT_EQ(QApplication::focusWidget(), d->PrinterCombo());
        d->PrinterCombo()->setCurrentIndex(0);
        OverviewPress(Qt::Key_F8);
    });
    OverviewPress(Qt::Key_F8);
    ProcessEvents();
    EXPECT_EQ(data->HlavniTiskarna, 0);
    ASSERT_EQ(Jobs(u"*.pdf"_s, u"Laser"_s), QStringList{u"00000001.pdf"_s});
    int pages = 0;
    const QString text = PdfText(spool + u"/Laser/00000001.pdf"_s, &pages);
    EXPECT_EQ(pages, 2);
    for (const QString& part : {u"Obchod Korvanta"_s, u"Pokladni doklad cislo 0000000005"_s,
                                u"Vystaveno dne 15.03.2026 14:05"_s, u"Káva"_s, u"Rohlík"_s, u"25,00"_s,
                                u"50,00"_s, u"3,50"_s, u"Celkem k úhradě"_s, u"64,68"_s, u"0,18"_s})
        EXPECT_TRUE(text.contains(part)) << part.toStdString() << "\n" << text.toStdString();
    EXPECT_EQ(text.count(u"Pokladni doklad cislo 0000000005"_s), 2);
    EXPECT_FALSE(data->DokladObsah->Active());

    // One copy.
    OnDialog<TVyberTiskuDokladu>([](TVyberTiskuDokladu* d) {
        EXPECT_EQ(d->PrinterCombo()->currentIndex(), 0);
        d->TiskButton()->click();
    });
    OverviewPress(Qt::Key_F8);
    ProcessEvents();
    ASSERT_EQ(Jobs(u"*.pdf"_s, u"Laser"_s).size(), 2);
    PdfText(spool + u"/Laser/00000002.pdf"_s, &pages);
    EXPECT_EQ(pages, 1);

    // An empty copies field prints nothing and raises no error; nor does "Storno" or Esc.
    OnDialog<TVyberTiskuDokladu>([](TVyberTiskuDokladu* d) {
        d->CopiesEdit()->clear();
        OverviewPress(Qt::Key_F8);
        EXPECT_EQ(d->CopiesEdit()->text(), u"0"_s);
    });
    OverviewPress(Qt::Key_F8);
    OnDialog<TVyberTiskuDokladu>([](TVyberTiskuDokladu*) { OverviewPress(Qt::Key_Escape); });
    OverviewPress(Qt::Key_F8);
    ProcessEvents();
    EXPECT_EQ(Jobs(u"*.pdf"_s, u"Laser"_s).size(), 2);
    EXPECT_TRUE(messages.messages.isEmpty());

    // A preview comes first; closing it prints nothing.
    bool previewed = false;
    OnDialog<TVyberTiskuDokladu>([&previewed](TVyberTiskuDokladu*) {
        OverviewPress(Qt::Key_F12);
        OnNextModal([&previewed](QWidget* w) {
            previewed = qobject_cast<QPrintPreviewDialog*>(w) != nullptr;
            w->close();
        });
        OverviewPress(Qt::Key_F8);
    });
    OverviewPress(Qt::Key_F8);
    ProcessEvents();
    EXPECT_TRUE(previewed);
    EXPECT_EQ(Jobs(u"*.pdf"_s, u"Laser"_s).size(), 2);
    EXPECT_TRUE(Jobs().isEmpty());  // nothing went to the receipt printer
}

KV_INSTANTIATE_STORES(ReceiptOverviewTest);

}  // namespace
