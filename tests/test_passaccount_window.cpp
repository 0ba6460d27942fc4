// The account window of a pass, driven with the keyboard: bookings through the movement dialog, the
// card and units checks, corrections, deletions, and the statement printed with F8 into a directory
// spooler queue.
#include "TestSupport.h"
#include "WindowTestSupport.h"

#include "CerPolEditUnit.h"
#include "DBEditVarno.h"
#include "DBGrid.h"
#include "DataSestavyUnit.h"
#include "DataUnit.h"
#include "HlavniUnit.h"
#include "PassAccount.h"
#include "PrehledCerpaniUnit.h"
#include "Spooler.h"
#include "myPrinters.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;

void PrintTo(const QByteArray& b, std::ostream* os)
{
    *os << "bytes \"" << QString::fromLatin1(b).toStdString() << "\" (" << b.toHex(' ').toStdString() << ')';
}

namespace {

const QString kInsufficient = QString::fromUtf16(PassAccount::kInsufficientBalance);
const QString kInvalid = QString::fromUtf16(PassAccount::kInvalidUnits);

// Runs `act` on the movement dialog when it opens, after it became the active window.
void OnDialog(std::function<void(TCerPolEdit*)> act,
              std::source_location where = std::source_location::current())
{
    const auto onWindow = [act](QWidget* w) {
        auto* dialog = qobject_cast<TCerPolEdit*>(w);
        ASSERT_NE(dialog, nullptr) << w->metaObject()->className();
        ASSERT_TRUE(WaitActive(dialog));
        act(dialog);
    };
    OnNextModal(onWindow, 5000, where);
}

QWidget* Focus()
{
    return QApplication::focusWidget();
}

class AccountWindowTest : public StoreTest {
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
        data->PickSortiment = [this](int, int) {
            ++picks;
            return !pickCard.isEmpty() && data->ffSortiment->Locate(u"SOR_KAV"_s, {pickCard});
        };
        AddOwner();
        AddCard(u"000001"_s, u"Káva"_s, 35);
        AddCard(u"000002"_s, u"Permanentka"_s, 250);
        pass = AddPass(u"P001"_s, u"Novák Jan"_s);

        // The receipt printer: a directory spooler whose one queue is "SP 300".
        spool = tmp.path() + u"/spool"_s;
        ASSERT_TRUE(QDir().mkpath(spool + u"/SP 300"_s));
        SetSpoolDirectory(spool);
        ResetPrintersForTests();
        printing = std::make_unique<TDataSestavy>();
    }
    void TearDown() override
    {
        CancelPendingModals();
        if (window)
            window->close();
        window.reset();
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
        t.FieldByName(u"VLA_FIR"_s).SetAsString(u"Klub Velmira"_s);
        t.FieldByName(u"VLA_ULI"_s).SetAsString(u"Sportovni 12"_s);
        t.FieldByName(u"VLA_MES"_s).SetAsString(u"Praha"_s);
        t.FieldByName(u"VLA_PSC"_s).SetAsString(u"110 00"_s);
        t.FieldByName(u"VLA_ICO"_s).SetAsString(u"12345678"_s);
        t.FieldByName(u"VLA_DIC"_s).SetAsString(u"CZ12345678"_s);
        t.Post();
        t.Close();
    }
    void AddCard(const QString& kav, const QString& nac, double pc2)
    {
        TTable& t = *data->ffSortiment;
        t.Open();
        t.Append();
        t.FieldByName(u"SOR_KAV"_s).SetAsString(kav);
        t.FieldByName(u"SOR_NAC"_s).SetAsString(nac);
        t.FieldByName(u"SOR_PC1"_s).SetAsFloat(pc2 / 2);
        t.FieldByName(u"SOR_PC2"_s).SetAsFloat(pc2);
        t.FieldByName(u"SOR_DAN"_s).SetAsFloat(21);
        t.Post();
        t.Close();
    }
    void SetCardPrice(const QString& kav, double pc2)
    {
        TTable& t = *data->ffSortiment;
        t.Open();
        ASSERT_TRUE(t.Locate(u"SOR_KAV"_s, {kav}));
        t.Edit();
        t.FieldByName(u"SOR_PC2"_s).SetAsFloat(pc2);
        t.Post();
        t.Close();
    }
    int AddPass(const QString& kod, const QString& jme)
    {
        TTable& t = *data->ffLegHla;
        t.Open();
        t.Append();
        t.FieldByName(u"LEG_KOD"_s).SetAsString(kod);
        t.FieldByName(u"LEG_JME"_s).SetAsString(jme);
        t.FieldByName(u"LEG_ODD"_s).SetAsDateTime(QDate(2026, 1, 2).startOfDay());
        t.FieldByName(u"LEG_DOD"_s).SetAsDateTime(QDate(2026, 12, 31).startOfDay());
        t.FieldByName(u"LEG_POC"_s).SetAsFloat(0);
        t.FieldByName(u"LEG_CER"_s).SetAsFloat(0);
        t.Post();
        const int ide = t.FieldByName(u"LEG_IDE"_s).AsInteger();
        t.Close();
        return ide;
    }
    // Books a movement of an earlier day, as the account would have it.
    void Booked(QDate day, double koe, double units, double price, const QString& kav, const QString& nac)
    {
        TTable& leg = *data->ffLegHla;
        leg.Open();
        ASSERT_TRUE(leg.Locate(u"LEG_IDE"_s, {pass}));
        leg.Edit();
        TField total = leg.FieldByName(koe > 0 ? u"LEG_POC"_s : u"LEG_CER"_s);
        total.SetAsFloat(total.AsFloat() + units * price);
        leg.Post();
        TTable& lep = *data->ffLegPol;
        lep.Open();
        lep.Append();
        lep.FieldByName(u"LEP_IDM"_s).SetAsInteger(pass);
        lep.FieldByName(u"LEP_KAV"_s).SetAsString(kav);
        lep.FieldByName(u"LEP_NAC"_s).SetAsString(nac);
        lep.FieldByName(u"LEP_PC1"_s).SetAsFloat(price);
        lep.FieldByName(u"LEP_KUS"_s).SetAsFloat(units);
        lep.FieldByName(u"LEP_KOE"_s).SetAsFloat(koe);
        lep.FieldByName(u"LEP_DAN"_s).SetAsFloat(21);
        lep.FieldByName(u"LEP_DAT"_s).SetAsDateTime(day.startOfDay());
        lep.FieldByName(u"LEP_ZUS"_s).SetAsFloat(leg.FieldByName(u"LEG_ZUS"_s).AsFloat());
        lep.Post();
        lep.Close();
        leg.Close();
    }

    // Opens the account window the way the main window does.
    void Open()
    {
        data->ffLegHla->Open();
        ASSERT_TRUE(data->ffLegHla->Locate(u"LEG_IDE"_s, {pass}));
        data->ffLegPol->SetIndexName(u"KOD"_s);
        data->ffLegPol->Open();
        data->ffLegPol->SetRange({pass, 0}, {pass, 10000000});
        window = std::make_unique<TPrehledCerpani>(*data, nullptr);
        ASSERT_TRUE(ShowAndActivate(window.get()));
        ProcessEvents();
    }

    double Leg(const QString& field) { return data->ffLegHla->FieldByName(field).AsFloat(); }
    // The movements as stored: units, balance, date, in list order.
    struct TRowView {
        double kus, zus, koe, pc1;
        QDate dat;
        QString kav;
    };
    QList<TRowView> Rows()
    {
        TTable lep(store->Db(), TableDef(u"LEP"_s));
        lep.SetTableName(u"LEP0001"_s);
        lep.SetIndexName(u"KOD"_s);
        lep.Open();
        lep.SetRange({pass, 0}, {pass, 10000000});
        QList<TRowView> rows;
        for (lep.First(); !lep.Eof(); lep.Next())
            rows.append({lep.FieldByName(u"LEP_KUS"_s).AsFloat(), lep.FieldByName(u"LEP_ZUS"_s).AsFloat(),
                         lep.FieldByName(u"LEP_KOE"_s).AsFloat(), lep.FieldByName(u"LEP_PC1"_s).AsFloat(),
                         lep.FieldByName(u"LEP_DAT"_s).AsDate(), lep.FieldByName(u"LEP_KAV"_s).AsString()});
        return rows;
    }
    QString Panel(int i) const { return window->PanelValue(i)->text(); }
    QStringList Jobs() const
    {
        return QDir(spool + u"/SP 300"_s).entryList({u"*.prn"_s}, QDir::Files, QDir::Name);
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
    std::unique_ptr<TPrehledCerpani> window;
    int pass = 0;
    int picks = 0;
    QString pickCard;
};

TEST_P(AccountWindowTest, ListPanelAndButtons)
{
    Booked(QDate(2026, 3, 14), 1, 4, 250, u"000002"_s, u"Permanentka"_s);
    Booked(QDate(2026, 3, 15), -1, 2, 35, u"000001"_s, u"Káva"_s);
    Open();
    EXPECT_EQ(window->windowTitle(), u"Přehled obratů na účtu"_s);
    EXPECT_EQ(window->focusWidget(), window->Grid());
    QAbstractItemModel* m = window->Grid()->model();
    QStringList titles;
    for (int c = 0; c < m->columnCount(); ++c)
        titles << m->headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(titles, (QStringList{u"Dne"_s, u"Název"_s, u"Cena/ks"_s, u"Počet mj."_s, u"Mj"_s, u"Vklad"_s,
                                   u"Výběr"_s, u"Zůstatek"_s, u"Karta"_s, u"Daň"_s, u"PC Celkem"_s}));
    ASSERT_EQ(m->rowCount(), 2);
    QStringList second;
    for (int c = 0; c < m->columnCount(); ++c)
        second << m->index(1, c).data().toString();
    EXPECT_EQ(second, (QStringList{u"15.03.2026"_s, u"Káva"_s, u"35,00"_s, u"2"_s, QString(), u"0,00"_s,
                                   u"70,00"_s, u"930,00"_s, u"000001"_s, u"21"_s, u"70,00"_s}));
    EXPECT_EQ(window->Grid()->selectionBehavior(), QAbstractItemView::SelectRows);

    QStringList buttons;
    for (QPushButton* b :
         {window->TiskButton(), window->OpravaButton(), window->VkladButton(), window->VyberButton()}) {
        buttons << b->text();
        EXPECT_EQ(b->focusPolicy(), Qt::NoFocus);
    }
    EXPECT_EQ(buttons, (QStringList{u"F8 Tisk"_s, u"F4 Oprava"_s, u"F3 Nový vklad"_s, u"F2 Nový výběr"_s}));

    QStringList captions;
    for (QLabel* l : window->findChildren<QLabel*>())
        if (!l->objectName().startsWith(u"LEG_"_s))
            captions << l->text();
    for (const QString& c : {u"Číslo účtu"_s, u"Vlastník"_s, u"Platná do data"_s, u"Celk.předlplaceno"_s,
                             u"Čerpání"_s, u"Zůstatek"_s})
        EXPECT_TRUE(captions.contains(c)) << c.toStdString();
    QStringList panel;
    for (int i = 0; i < 6; ++i)
        panel << Panel(i);
    EXPECT_EQ(panel, (QStringList{u"P001"_s, u"Novák Jan"_s, u"31.12.2026"_s, u"1\u00a0000,00"_s, u"70,00"_s,
                                  u"930,00"_s}));
    EXPECT_EQ(window->PanelValue(5)->alignment() & Qt::AlignRight, Qt::AlignRight);

    if (const QString shot = qEnvironmentVariable("KORVANTA_SCREENSHOT"); !shot.isEmpty()) {
        window->grab().save(
            shot + u"/account-"_s +
            QString::fromStdString(StoreName(testing::TestParamInfo<TStoreKind>(GetParam(), 0))) + u".png"_s);
        OnDialog([&shot](TCerPolEdit* dialog) {
            Type(u"000001"_s);
            Press(Qt::Key_Return);
            Type(u"2"_s);
            dialog->grab().save(shot + u"/dialog.png"_s);
            Press(Qt::Key_Escape);
        });
        Press(Qt::Key_F2);
    }

    // Esc closes the window.
    Press(Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
}

TEST_P(AccountWindowTest, WithdrawalAndDepositFromTheKeyboard)
{
    Booked(QDate(2026, 3, 14), 1, 4, 250, u"000002"_s, u"Permanentka"_s);
    Open();
    // A booking a second before midnight is dated with the data module's clock, not the machine's.
    const QDate today(2026, 3, 15);
    data->Clock = [today] { return QDateTime(today, QTime(23, 59, 59)); };

    OnDialog([this](TCerPolEdit* dialog) {
        EXPECT_EQ(dialog->windowTitle(), u"Editace položky čerpání"_s);
        EXPECT_EQ(Focus(), static_cast<QWidget*>(dialog->KartaEdit())) << FocusName().toStdString();
        EXPECT_TRUE(dialog->KartaEdit()->ButtonVisible());
        Type(u"000001"_s);
        Press(Qt::Key_Return);
        EXPECT_EQ(Focus(), static_cast<QWidget*>(dialog->KusEdit())) << FocusName().toStdString();
        EXPECT_EQ(dialog->NazevEdit()->text(), u"Káva"_s);
        EXPECT_EQ(dialog->CenaEdit()->text(), u"35,00"_s);
        EXPECT_TRUE(dialog->CenaEdit()->isReadOnly());
        EXPECT_EQ(picks, 0) << "an exact code needs no list";
        Type(u"2"_s);
        Press(Qt::Key_Return);
        EXPECT_EQ(Focus(), dialog->ZapisButton());
        Press(Qt::Key_Return);
    });
    Press(Qt::Key_F2);
    ProcessEvents();
    EXPECT_EQ(window->focusWidget(), window->Grid());
    EXPECT_EQ(Leg(u"LEG_CER"_s), 70);
    QList<TRowView> rows = Rows();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[1].kus, 2);
    EXPECT_EQ(rows[1].koe, -1);
    EXPECT_EQ(rows[1].zus, 930);
    EXPECT_EQ(rows[1].dat, today);
    EXPECT_EQ(rows[1].kav, u"000001"_s);
    EXPECT_EQ(window->Grid()->model()->rowCount(), 2);
    EXPECT_EQ(Panel(4), u"70,00"_s);
    EXPECT_EQ(Panel(5), u"930,00"_s);
    EXPECT_FALSE(data->ffSortiment->Active()) << "the assortment is open only during a booking";

    // A deposit with the button: 4 units of 250 raise LEG_POC by 1000.
    OnDialog([](TCerPolEdit* dialog) {
        EXPECT_EQ(dialog->windowTitle(), u"Zadání nového vkladu"_s);
        Type(u"000002"_s);
        Press(Qt::Key_Tab);
        Type(u"4"_s);
        Press(Qt::Key_Tab);
        QTest::mouseClick(dialog->ZapisButton(), Qt::LeftButton);
    });
    QTest::mouseClick(window->VkladButton(), Qt::LeftButton);
    ProcessEvents();
    EXPECT_EQ(Leg(u"LEG_POC"_s), 2000);
    rows = Rows();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[2].koe, 1);
    EXPECT_EQ(rows[2].zus, 1930);
    EXPECT_EQ(Panel(5), u"1\u00a0930,00"_s);
    EXPECT_EQ(data->ffLegPol->FieldByName(u"LEP_ZUS"_s).AsFloat(), 1930)
        << "the list stands on the new movement";
    EXPECT_EQ(window->focusWidget(), window->Grid());
}

TEST_P(AccountWindowTest, BalanceCheck)
{
    Booked(QDate(2026, 3, 14), 1, 30, 35, u"000001"_s, u"Káva"_s);  // 1050
    Open();
    TMessageRecorder told;
    // One unit more than the balance is refused; the whole balance is accepted and leaves 0.
    OnDialog([&told](TCerPolEdit* dialog) {
        Type(u"000001"_s);
        Press(Qt::Key_Return);
        Type(u"31"_s);
        Press(Qt::Key_Return);
        ProcessEvents();
        EXPECT_EQ(told.messages, QStringList{kInsufficient});
        EXPECT_EQ(Focus(), static_cast<QWidget*>(dialog->KusEdit())) << FocusName().toStdString();
        dialog->KusEdit()->selectAll();
        Type(u"30"_s);
        Press(Qt::Key_Return);
        EXPECT_EQ(Focus(), dialog->ZapisButton());
        Press(Qt::Key_Return);
    });
    Press(Qt::Key_F2);
    ProcessEvents();
    EXPECT_EQ(Leg(u"LEG_ZUS"_s), 0);
    ASSERT_EQ(Rows().size(), 2);
    EXPECT_EQ(Rows()[1].zus, 0);

    // On an empty account even the smallest withdrawal is refused; Esc stores nothing.
    told.messages.clear();
    OnDialog([&told](TCerPolEdit*) {
        Type(u"000001"_s);
        Press(Qt::Key_Return);
        Type(u"0,1"_s);
        Press(Qt::Key_Tab);
        ProcessEvents();
        EXPECT_EQ(told.messages, QStringList{kInsufficient});
        Press(Qt::Key_Escape);
    });
    Press(Qt::Key_F2);
    ProcessEvents();
    EXPECT_EQ(Rows().size(), 2);
    EXPECT_EQ(Leg(u"LEG_CER"_s), 1050);
}

TEST_P(AccountWindowTest, BadUnitsAreRefusedByTheDialog)
{
    Booked(QDate(2026, 3, 14), 1, 4, 250, u"000002"_s, u"Permanentka"_s);
    Open();
    // Typed in the units field of a withdrawal and of a deposit: each keeps the focus with the message.
    const QStringList texts = {u"-1"_s,    u"-0,5"_s, u"1e9"_s, u"1000000"_s,
                               u"1,2,3"_s, u"e"_s,    u"-"_s,   QString()};
    for (const int key : {Qt::Key_F2, Qt::Key_F3}) {
        for (const QString& text : texts) {
            SCOPED_TRACE((text + (key == Qt::Key_F2 ? u" withdrawal"_s : u" deposit"_s)).toStdString());
            TMessageRecorder told;
            OnDialog([&told, &text](TCerPolEdit* dialog) {
                Type(u"000001"_s);
                Press(Qt::Key_Return);
                Type(text);
                Press(Qt::Key_Return);
                ProcessEvents();
                EXPECT_EQ(Focus(), static_cast<QWidget*>(dialog->KusEdit())) << FocusName().toStdString();
                EXPECT_EQ(told.messages, QStringList{kInvalid});
                // Zapiš cannot take the field's text either.
                QTest::mouseClick(dialog->ZapisButton(), Qt::LeftButton);
                ProcessEvents();
                EXPECT_TRUE(dialog->isVisible());
                EXPECT_EQ(Focus(), static_cast<QWidget*>(dialog->KusEdit()));
                Press(Qt::Key_Escape);
            });
            Press(key);
            ProcessEvents();
            EXPECT_EQ(Rows().size(), 1);
            EXPECT_EQ(Leg(u"LEG_POC"_s), 1000);
            EXPECT_EQ(Leg(u"LEG_CER"_s), 0);
        }
    }

    // Zapiš straight from the card field, the units never entered: nothing is booked without them.
    TMessageRecorder told;
    OnDialog([&told](TCerPolEdit* dialog) {
        Type(u"000001"_s);
        QTest::mouseClick(dialog->ZapisButton(), Qt::LeftButton);
        ProcessEvents();
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(told.messages, QStringList{kInvalid});
        EXPECT_EQ(Focus(), static_cast<QWidget*>(dialog->KusEdit()));
        Press(Qt::Key_Escape);
    });
    Press(Qt::Key_F2);
    EXPECT_EQ(Rows().size(), 1);
}

TEST_P(AccountWindowTest, CardLookup)
{
    Booked(QDate(2026, 3, 14), 1, 4, 250, u"000002"_s, u"Permanentka"_s);
    Open();
    TMessageRecorder told;
    // A code that is not exact goes to the assortment list; cancelled there, the field keeps the
    // focus without a message. Storno then closes without offering the list again.
    OnDialog([this](TCerPolEdit* dialog) {
        Type(u"12"_s);
        Press(Qt::Key_Return);
        EXPECT_EQ(picks, 1);
        EXPECT_EQ(Focus(), static_cast<QWidget*>(dialog->KartaEdit()));
        QTest::mouseClick(dialog->StornoButton(), Qt::LeftButton);
    });
    Press(Qt::Key_F2);
    ProcessEvents();
    EXPECT_EQ(picks, 1);
    EXPECT_TRUE(told.messages.isEmpty());
    EXPECT_EQ(Rows().size(), 1);

    // The lookup button picks a card in the list; the field takes its code.
    pickCard = u"000002"_s;
    OnDialog([this](TCerPolEdit* dialog) {
        Type(u"perm"_s);
        QTest::mouseClick(dialog->KartaEdit()->EmbeddedButton(), Qt::LeftButton);
        EXPECT_EQ(picks, 2);
        EXPECT_EQ(dialog->KartaEdit()->text(), u"000002"_s);
        EXPECT_EQ(dialog->NazevEdit()->text(), u"Permanentka"_s);
        EXPECT_EQ(Focus(), static_cast<QWidget*>(dialog->KartaEdit()));
        Press(Qt::Key_Return);
        EXPECT_EQ(picks, 2) << "the exact code is taken at once";
        Type(u"1"_s);
        Press(Qt::Key_Return);
        Press(Qt::Key_Return);
    });
    Press(Qt::Key_F2);
    ProcessEvents();
    ASSERT_EQ(Rows().size(), 2);
    EXPECT_EQ(Rows()[1].kav, u"000002"_s);
    EXPECT_EQ(Leg(u"LEG_CER"_s), 250);
}

TEST_P(AccountWindowTest, CorrectionAndDeletion)
{
    Booked(QDate(2026, 3, 1), 1, 1, 100, u"000002"_s, u"Vklad"_s);  // 100
    Booked(QDate(2026, 3, 2), -1, 3, 10, u"000001"_s, u"Káva"_s);   // 70
    Booked(QDate(2026, 3, 3), -1, 1, 20, u"000001"_s, u"Káva"_s);   // 50
    SetCardPrice(u"000001"_s, 99);                                  // the booked price stays
    Open();
    // A booking a second before midnight is dated with the data module's clock, not the machine's.
    const QDate today(2026, 3, 15);
    data->Clock = [today] { return QDateTime(today, QTime(23, 59, 59)); };
    Press(Qt::Key_Down);
    ProcessEvents();
    ASSERT_EQ(data->ffLegPol->FieldByName(u"LEP_KUS"_s).AsFloat(), 3);

    // From 3 to 1 unit of 10: LEG_CER - 20, this balance and every later one + 20.
    OnDialog([](TCerPolEdit* dialog) {
        EXPECT_EQ(dialog->windowTitle(), u"Editace položky čerpání"_s);
        EXPECT_FALSE(dialog->KartaEdit()->isEnabled());
        EXPECT_EQ(dialog->KartaEdit()->text(), u"000001"_s);
        EXPECT_EQ(dialog->CenaEdit()->text(), u"10,00"_s);
        EXPECT_EQ(Focus(), static_cast<QWidget*>(dialog->KusEdit())) << FocusName().toStdString();
        dialog->KusEdit()->selectAll();
        Type(u"1"_s);
        Press(Qt::Key_Return);
        Press(Qt::Key_Return);
    });
    Press(Qt::Key_F4);
    ProcessEvents();
    QList<TRowView> rows = Rows();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0].zus, 100);
    EXPECT_EQ(rows[1].kus, 1);
    EXPECT_EQ(rows[1].pc1, 10);
    EXPECT_EQ(rows[1].zus, 90);
    EXPECT_EQ(rows[1].dat, today);
    EXPECT_EQ(rows[2].zus, 70);
    EXPECT_EQ(rows[2].dat, QDate(2026, 3, 3));
    EXPECT_EQ(Leg(u"LEG_CER"_s), 30);
    EXPECT_EQ(Panel(5), u"70,00"_s);
    EXPECT_EQ(window->Grid()->currentIndex().row(), 2) << "the list stands on the last movement";
    EXPECT_EQ(window->focusWidget(), window->Grid());

    // A deposit corrected below what has been drawn is refused; Storno leaves it as it was.
    Press(Qt::Key_Home);
    ProcessEvents();
    TMessageRecorder told;
    OnDialog([&told](TCerPolEdit* dialog) {
        dialog->KusEdit()->selectAll();
        Type(u"0,2"_s);
        Press(Qt::Key_Return);
        ProcessEvents();
        EXPECT_EQ(told.messages, QStringList{kInsufficient});
        QTest::mouseClick(dialog->StornoButton(), Qt::LeftButton);
    });
    QTest::mouseClick(window->OpravaButton(), Qt::LeftButton);
    ProcessEvents();
    EXPECT_EQ(Rows()[0].kus, 1);
    EXPECT_EQ(Leg(u"LEG_POC"_s), 100);

    // Ctrl+Del asks first; "no" keeps the movement.
    Press(Qt::Key_Down);
    ProcessEvents();
    {
        TMessageRecorder no(false);
        Press(Qt::Key_Delete, Qt::ControlModifier);
        EXPECT_EQ(no.messages, QStringList{u"Delete record?"_s});
    }
    EXPECT_EQ(Rows().size(), 3);
    // "Yes" takes the withdrawal of 10 out of the account: LEG_CER - 10, the later balance + 10.
    told.messages.clear();
    Press(Qt::Key_Delete, Qt::ControlModifier);
    ProcessEvents();
    EXPECT_EQ(told.messages, QStringList{u"Delete record?"_s});
    rows = Rows();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[1].zus, 80);
    EXPECT_EQ(Leg(u"LEG_CER"_s), 20);
    EXPECT_EQ(Panel(5), u"80,00"_s);
    EXPECT_EQ(window->Grid()->model()->rowCount(), 2);
    // The deposit that has been drawn on cannot go.
    Press(Qt::Key_Home);
    ProcessEvents();
    told.messages.clear();
    Press(Qt::Key_Delete, Qt::ControlModifier);
    ProcessEvents();
    EXPECT_EQ(told.messages, (QStringList{u"Delete record?"_s, kInsufficient}));
    EXPECT_EQ(Rows().size(), 2);
    EXPECT_EQ(window->focusWidget(), window->Grid());
}

// Another till deletes the pass while its account is open: nothing is booked, on no pass.
TEST_P(AccountWindowTest, PassDeletedMeanwhile)
{
    Booked(QDate(2026, 3, 14), 1, 4, 250, u"000002"_s, u"Permanentka"_s);
    const int second = AddPass(u"P002"_s, u"Dvořák Petr"_s);
    Open();
    auto till = MakeData(*store);
    till->ffLegHla->Open();
    ASSERT_TRUE(till->ffLegHla->Locate(u"LEG_IDE"_s, {pass}));
    till->ffLegHla->Delete();
    TMessageRecorder told;
    for (const auto& [key, mods] :
         {std::pair{Qt::Key_F2, Qt::NoModifier}, std::pair{Qt::Key_F3, Qt::NoModifier},
          std::pair{Qt::Key_F4, Qt::NoModifier}, std::pair{Qt::Key_F8, Qt::NoModifier},
          std::pair{Qt::Key_Delete, Qt::ControlModifier}}) {
        SCOPED_TRACE(key);
        told.messages.clear();
        Press(key, mods);
        ProcessEvents();
        EXPECT_EQ(told.messages, QStringList{u"Legitimace byla mezitím smazána jiným uživatelem."_s});
    }
    EXPECT_TRUE(Jobs().isEmpty());
    EXPECT_EQ(Rows().size(), 1);
    TTable& leg = *data->ffLegHla;
    ASSERT_TRUE(leg.Locate(u"LEG_IDE"_s, {second}));
    EXPECT_EQ(leg.FieldByName(u"LEG_POC"_s).AsFloat(), 0);
    EXPECT_EQ(leg.FieldByName(u"LEG_CER"_s).AsFloat(), 0);
}

TEST_P(AccountWindowTest, F8PrintsTheStatementOfTheSelectedDay)
{
    // The logo goes out first, byte for byte.
    const QByteArray logo("\x1B\x40LOGO\x00\x0A\xFF", 9);
    QFile logoFile(TDataSestavy::LogoPath(data->CestaProgramu));
    ASSERT_TRUE(logoFile.open(QIODevice::WriteOnly));
    logoFile.write(logo);
    logoFile.close();
    Booked(QDate(2026, 3, 14), 1, 4, 250, u"000002"_s, u"Permanentka"_s);
    Booked(QDate(2026, 3, 15), -1, 2, 35, u"000001"_s, u"Káva"_s);
    Booked(QDate(2026, 3, 16), -1, 1, 100, u"000001"_s, u"Sauna"_s);
    Open();
    Press(Qt::Key_Down);
    ProcessEvents();

    Press(Qt::Key_F8);
    ASSERT_EQ(Jobs(), QStringList{u"00000001.prn"_s});
    const auto sp = [](int n) { return QByteArray(n, ' '); };
    const QByteArray on("\x1B\x68\x31"), off("\x1B\x68\x30");
    const QByteArray expected =
        logo + sp(13) + "Klub Velmira" + sp(14) + "\n\r" + sp(7) + "Sportovni 12,Praha,110 00" + sp(7) +
        "\n\r" + sp(6) + "ICO 12345678,DIC CZ12345678" + sp(6) + "\n\r" + sp(6) +
        "Cerpani Korvanta cislo P001" + sp(6) + "\n\r" + sp(10) + "Vlastnik Nov\xE1k Jan" + sp(11) + "\n\r" +
        sp(7) + "Vystaveno dne 15.03.2026" + sp(8) + "\n\r" + "\n" + "K\xA0va" + sp(24) + " " + "   35,00" +
        "  " + "\n\r" + "2 ks" + sp(24) + " " + "  -70,00" + " *" + "\n\r" + "\n" + on + "Celkem cerpano" +
        sp(14) + " " + "   70,00" + " pb" + off + "\n\r" + on + "Zustatek" + sp(20) + " " + "  930,00" +
        " pb" + off + "\n\r" + "\n\n" + on + "Schvaluji " + QByteArray(20, '.') + off + "\n\r" +
        QByteArray(7, '\n') + "\x1B\x64\x30\x07" + "\n\r";
    EXPECT_EQ(Job(u"00000001.prn"_s), expected);
    EXPECT_EQ(window->focusWidget(), window->Grid());
    EXPECT_EQ(data->ffLegPol->FieldByName(u"LEP_NAC"_s).AsString(), u"Káva"_s) << "the list keeps its place";
    EXPECT_FALSE(data->ffVlastnik->Active());

    // The button prints the day of the movement selected: the deposit's day has one deposit line.
    Press(Qt::Key_Home);
    ProcessEvents();
    QTest::mouseClick(window->TiskButton(), Qt::LeftButton);
    ASSERT_EQ(Jobs().size(), 2);
    const QByteArray second = Job(u"00000002.prn"_s);
    EXPECT_TRUE(second.contains("Vystaveno dne 14.03.2026"));
    EXPECT_TRUE(second.contains("Permanentka"));
    EXPECT_FALSE(second.contains("K\xA0va"));
    EXPECT_TRUE(second.contains(on + "Celkem vklad" + sp(16) + " " + " 1000,00" + " pb" + off));
    EXPECT_FALSE(second.contains("Celkem cerpano"));
}

TEST_P(AccountWindowTest, PrinterTroubleNeverStopsTheCashier)
{
    Booked(QDate(2026, 3, 15), 1, 4, 250, u"000002"_s, u"Permanentka"_s);
    Open();
    TMessageRecorder told;

    // Raw printing switched off: nothing is printed, nothing said.
    data->MatrixPrinter = false;
    Press(Qt::Key_F8);
    EXPECT_TRUE(Jobs().isEmpty());
    EXPECT_TRUE(told.messages.isEmpty());
    data->MatrixPrinter = true;

    // A position outside the printer list: the list's message, no job.
    data->ParagonovaTiskarna = 3;
    Press(Qt::Key_F8);
    ProcessEvents();
    EXPECT_EQ(told.messages, QStringList{u"List index out of bounds (3)"_s});
    EXPECT_TRUE(Jobs().isEmpty());
    data->ParagonovaTiskarna = 0;

    // The printer vanished after the list was read: no job, no message, no wait.
    told.messages.clear();
    ASSERT_TRUE(QDir(spool + u"/SP 300"_s).removeRecursively());
    QElapsedTimer clock;
    clock.start();
    Press(Qt::Key_F8);
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_TRUE(told.messages.isEmpty());
    EXPECT_EQ(window->focusWidget(), window->Grid());
    // It comes back: the next statement prints.
    ASSERT_TRUE(QDir().mkpath(spool + u"/SP 300"_s));
    Press(Qt::Key_F8);
    EXPECT_EQ(Jobs().size(), 1);
}

TEST_P(AccountWindowTest, OpenedFromTheMainWindow)
{
    Booked(QDate(2026, 3, 14), 1, 4, 250, u"000002"_s, u"Permanentka"_s);
    Booked(QDate(2026, 3, 15), -1, 2, 35, u"000001"_s, u"Káva"_s);
    auto main = std::make_unique<THlavni>(*data);
    ASSERT_TRUE(ShowAndActivate(main.get()));
    ProcessEvents();
    const auto check = [&main](QWidget* w) {
        auto* account = qobject_cast<TPrehledCerpani*>(w);
        ASSERT_NE(account, nullptr);
        ASSERT_TRUE(WaitActive(account));
        EXPECT_EQ(account->pos(), main->pos() + QPoint(30, 30));
        EXPECT_EQ(account->Grid()->model()->rowCount(), 2);
        EXPECT_EQ(account->PanelValue(0)->text(), u"P001"_s);
        EXPECT_EQ(Focus(), account->Grid());
        QTest::keyClick(Focus(), Qt::Key_Escape);
    };
    OnNextModal(check);
    QTest::keyClick(main->Grid(), Qt::Key_F10);
    ProcessEvents();
    EXPECT_FALSE(data->ffLegPol->Active());
    OnNextModal(check);
    QTest::mouseClick(main->AccountButton(), Qt::LeftButton);
    ProcessEvents();
    EXPECT_FALSE(data->ffLegPol->Active());
    main->close();
}

KV_INSTANTIATE_STORES(AccountWindowTest);

}  // namespace
