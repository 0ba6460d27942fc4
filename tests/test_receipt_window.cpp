// The receipt window driven with the keyboard: its layout and close results, the direct-entry
// buffer, the payment form field with its picker and the change dialog, the two line dialogs with
// their card and quantity checks, and sales through the receipts engine.
#include "TestSupport.h"
#include "WindowTestSupport.h"

#include "DBEditVarno.h"
#include "DBGrid.h"
#include "DataSestavyUnit.h"
#include "DataUnit.h"
#include "DokladGrid.h"
#include "DokladUctenkaUnit.h"
#include "MemTable.h"
#include "Spooler.h"
#include "UctenkaPolEditUnit.h"
#include "UctenkyFormaUhradyUnit.h"
#include "ZaplacenoUnit.h"
#include "myPrinters.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Keys go to this window when a closed dialog left no window active (offscreen platform).
void WindowPress(int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    PressIn(TDokladUctenka::staticMetaObject, key, mods);
}

void WindowType(const QString& text)
{
    TypeIn(TDokladUctenka::staticMetaObject, text);
}

QWidget* Focus()
{
    return QApplication::focusWidget();
}

struct TCardSpec {
    QString kav;
    QString nac;
    double pc1;
    double dan;
    bool skl;
    double blo;
    QList<std::pair<QString, double>> variants;  // variant, stock
};

class ReceiptWindowTest : public StoreTest {
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        if (!store)
            return;
        ASSERT_TRUE(tmp.isValid());
        data = MakeData(*store);
        data->CestaProgramu = tmp.path() + u"/"_s;
        data->ZakladniCenySDPH = 1;
        data->PickSortiment = [this](int, int) {
            ++picks;
            return !pickCard.isEmpty() && data->ffSortiment->Locate(u"SOR_KAV"_s, {pickCard});
        };
        SetCounter(u"124"_s);
        AddForm(u"1"_s, u"Hotově"_s, u"1"_s);
        AddForm(u"2"_s, u"Stravenky"_s, u"1"_s);
        AddForm(u"3"_s, u"Převodem"_s, u"0"_s);
        AddCard({u"000001"_s, u"Káva"_s, 100, 22, true, 0, {{u"001"_s, 2}, {u"002"_s, 0}, {u"003"_s, 5}}});
        AddCard({u"000002"_s, u"Vstupné"_s, 50, 0, false, 0, {{u"001"_s, 0}}});
        AddCard({u"000003"_s, u"Čaj"_s, 30, 5, true, 1, {{u"001"_s, 3}}});
    }
    void TearDown() override
    {
        CancelPendingModals();
        if (window)
            window->close();
        window.reset();
        data.reset();
        StoreTest::TearDown();
    }

    void SetCounter(const QString& value)
    {
        TTable& t = *data->ffCiselnik;
        t.Open();
        if (t.IsEmpty())
            t.Append();
        else
            t.Edit();
        t.FieldByName(u"CIS_UCE"_s).SetAsString(value);
        t.Post();
        t.Close();
    }
    QString Counter()
    {
        TTable t(store->Db(), TableDef(u"CIS"_s));
        t.SetTableName(u"CIS0001"_s);
        t.Open();
        return t.FieldByName(u"CIS_UCE"_s).AsString().trimmed();
    }
    void AddForm(const QString& code, const QString& name, const QString& uct)
    {
        TTable& t = *data->ffFormaUhrady;
        t.Open();
        t.Append();
        t.FieldByName(u"FUH_FUH"_s).SetAsString(code);
        t.FieldByName(u"FUH_NAC"_s).SetAsString(name);
        t.FieldByName(u"FUH_UCT"_s).SetAsString(uct);
        t.Post();
        t.Close();
    }
    void AddCard(const TCardSpec& c)
    {
        TTable& sor = *data->ffSortiment;
        sor.Open();
        sor.Append();
        sor.FieldByName(u"SOR_KAV"_s).SetAsString(c.kav);
        sor.FieldByName(u"SOR_NAC"_s).SetAsString(c.nac);
        sor.FieldByName(u"SOR_PC1"_s).SetAsFloat(c.pc1);
        sor.FieldByName(u"SOR_DAN"_s).SetAsFloat(c.dan);
        sor.FieldByName(u"SOR_SKL"_s).SetAsBoolean(c.skl);
        sor.FieldByName(u"SOR_BLO"_s).SetAsFloat(c.blo);
        double total = 0;
        for (const auto& v : c.variants)
            total += v.second;
        sor.FieldByName(u"SOR_STA"_s).SetAsFloat(total);
        sor.Post();
        sor.Close();
        TTable& skl = *data->ffSklad;
        skl.Open();
        for (const auto& [ind, sta] : c.variants) {
            skl.Append();
            skl.FieldByName(u"SKL_KAV"_s).SetAsString(c.kav);
            skl.FieldByName(u"SKL_IND"_s).SetAsString(ind);
            skl.FieldByName(u"SKL_STA"_s).SetAsFloat(sta);
            skl.FieldByName(u"SKL_POC"_s).SetAsFloat(sta);
            skl.FieldByName(u"SKL_SNC"_s).SetAsFloat(c.pc1 / 2);
            skl.Post();
            if (sta == 0)
                continue;
            // The journal row that brought the stock in, so that the card agrees with its journal.
            TTable& den = *data->ffDenik;
            den.Open();
            den.Append();
            den.FieldByName(u"DEN_DOK"_s).SetAsString(u"POC"_s);
            den.FieldByName(u"DEN_KAV"_s).SetAsString(c.kav);
            den.FieldByName(u"DEN_IND"_s).SetAsString(ind);
            den.FieldByName(u"DEN_OPE"_s).SetAsString(u"000"_s);
            den.FieldByName(u"DEN_KUS"_s).SetAsFloat(0);
            den.FieldByName(u"DEN_ZAS"_s).SetAsFloat(sta);
            den.Post();
            den.Close();
        }
        skl.Close();
    }
    // A stored receipt with the given till closure and total.
    void AddReceipt(const QString& do1, const QString& do2, double total)
    {
        TTable& uce = *data->ffUctenky;
        uce.Open();
        uce.Append();
        uce.FieldByName(u"HLA_DO1"_s).SetAsString(do1);
        uce.FieldByName(u"HLA_DO2"_s).SetAsString(do2);
        uce.FieldByName(u"HLA_DAT"_s).SetAsDateTime(QDateTime::currentDateTime());
        uce.FieldByName(u"HLA_CUH"_s).SetAsFloat(total);
        uce.FieldByName(u"HLA_PCA"_s).SetAsFloat(total);
        uce.FieldByName(u"HLA_FUH"_s).SetAsString(u"1"_s);
        uce.Post();
        uce.Close();
    }

    // Opens the receipt window as the receipt overview does for a new receipt.
    void OpenNew()
    {
        ASSERT_TRUE(data->OpenffUce(u"DO1"_s));
        TTable& uce = *data->ffUctenky;
        uce.Append();
        const QDate today = QDate::currentDate();
        uce.FieldByName(u"HLA_DAT"_s).SetAsDateTime(today.startOfDay());
        uce.FieldByName(u"HLA_DVS"_s).SetAsDate(today);
        uce.FieldByName(u"HLA_DZP"_s).SetAsDate(today);
        uce.FieldByName(u"HLA_FUH"_s).SetAsString(u"1"_s);
        data->DokladObsah->Open();
        data->DokladObsah->EmptyTable();
        Show(TUctenkaUcel::Nova);
    }
    // Opens the receipt window on a stored receipt for correction (its lines as given).
    void OpenCorrection(const QString& do1, const QList<std::tuple<QString, QString, double, double>>& lines)
    {
        ASSERT_TRUE(data->OpenffUce(u"DO1"_s));
        TTable& uce = *data->ffUctenky;
        ASSERT_TRUE(uce.FindKey({do1}));
        uce.Edit();
        TMemTable& dok = *data->DokladObsah;
        dok.Open();
        dok.EmptyTable();
        for (const auto& [kav, ind, kus, pc1] : lines) {
            dok.Append();
            dok.FieldByName(u"DOK_KAV"_s).SetAsString(kav);
            dok.FieldByName(u"DOK_IND"_s).SetAsString(ind);
            dok.FieldByName(u"DOK_KUS"_s).SetAsFloat(kus);
            dok.FieldByName(u"DOK_PC1"_s).SetAsFloat(pc1);
            dok.FieldByName(u"DOK_PCC"_s).SetAsFloat(kus * pc1);
            dok.FieldByName(u"DOK_CIS"_s).SetAsString(do1);
            dok.Post();
        }
        dok.First();
        Show(TUctenkaUcel::Oprava);
    }
    void Show(TUctenkaUcel ucel)
    {
        window = std::make_unique<TDokladUctenka>(*data, ucel, nullptr);
        if (!m_modal) {
            ASSERT_TRUE(ShowAndActivate(window.get()));
            ProcessEvents();
        }
    }
    // Runs the window modally as the overview does; `act` drives it. Returns the result.
    int Exec(std::function<void(TDokladUctenka*)> act)
    {
        if (window->isVisible()) {
            window->hide();
            ProcessEvents();
        }
        OnDialog<TDokladUctenka>(std::move(act));
        return window->exec();
    }
    // The next OpenNew or OpenCorrection leaves the window for Exec to show.
    bool m_modal = false;
    double Uce(const QString& field) { return data->ffUctenky->FieldByName(field).AsFloat(); }

    // The header's total, as the window shows it, without going through the engine.
    void SetTotal(double total)
    {
        TTable& uce = *data->ffUctenky;
        if (uce.State() == TDataSetState::Insert) {
            uce.FieldByName(u"HLA_DO1"_s).SetAsString(u"0000000999"_s);
            uce.FieldByName(u"HLA_DO2"_s).SetAsString(u"0000000000"_s);
        }
        uce.FieldByName(u"HLA_CUH"_s).SetAsFloat(total);
        uce.Post();
        uce.Edit();
    }

    QTemporaryDir tmp;
    std::unique_ptr<TData> data;
    std::unique_ptr<TDokladUctenka> window;
    int picks = 0;
    QString pickCard;
};

TEST_P(ReceiptWindowTest, LayoutFocusAndTabOrder)
{
    OpenNew();
    EXPECT_EQ(window->windowTitle(), u"Účtenka - prodej za hotové"_s);
    EXPECT_EQ(Focus(), static_cast<QWidget*>(window->Grid())) << FocusName().toStdString();
    QAbstractItemModel* m = window->Grid()->model();
    QStringList titles;
    for (int c = 0; c < m->columnCount(); ++c)
        titles << m->headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(titles, (QStringList{u"Karta"_s, u"Var."_s, u"Název položky"_s, u"PC / kus"_s, u"Kusy"_s,
                                   u"PC Celkem"_s, u"Cen. cena"_s, u"SC Celkem"_s, u"SC / kus"_s,
                                   u"Sleva Mn."_s, u"DPH"_s, u"Hod. DPH"_s, u"Skup."_s, u"Sleva Spc."_s,
                                   u"V.P."_s, u"DOK_PRV"_s, u"Číslo dokladu"_s}));
    EXPECT_EQ(window->Grid()->selectionBehavior(), QAbstractItemView::SelectRows);
    QStringList buttons;
    for (QPushButton* b : {window->NovaButton(), window->OpravaButton(), window->TiskButton()}) {
        buttons << b->text();
        EXPECT_EQ(b->focusPolicy(), Qt::NoFocus) << b->text().toStdString();
    }
    EXPECT_EQ(buttons, (QStringList{u"F2 Nová"_s, u"F4 Oprava"_s, u"F8 Tisk"_s}));
    EXPECT_EQ(window->UkonceniButton()->text(), u"Ukončení"_s);
    QStringList captions;
    for (QLabel* l : window->findChildren<QLabel*>())
        captions << l->text();
    for (const QString& c : {u"Účtenka číslo"_s, u"Celkem v PC"_s, u"Forma úhrady"_s})
        EXPECT_TRUE(captions.contains(c)) << c.toStdString();
    EXPECT_EQ(window->FormaUhradyNazev()->text(), u"Hotově"_s);
    EXPECT_TRUE(window->FormaUhradyEdit()->ButtonVisible());
    EXPECT_EQ(window->CelkemLabel()->alignment() & Qt::AlignRight, Qt::AlignRight);

    // Tab: grid, payment form, Ukončení (the F-key buttons and the navigator take no focus).
    WindowPress(Qt::Key_Tab);
    EXPECT_EQ(Focus(), static_cast<QWidget*>(window->FormaUhradyEdit())) << FocusName().toStdString();
    WindowPress(Qt::Key_Tab);
    EXPECT_EQ(Focus(), static_cast<QWidget*>(window->UkonceniButton())) << FocusName().toStdString();
    EXPECT_EQ(picks, 0);
}

TEST_P(ReceiptWindowTest, CloseResults)
{
    // A new receipt closed at once: Cancel, nothing stored, no number used. Esc, Ukončení, F8 and the
    // window frame alike.
    const QList<std::function<void(TDokladUctenka*)>> closers = {
        [](TDokladUctenka*) { WindowPress(Qt::Key_Escape); },
        [](TDokladUctenka* w) { QTest::mouseClick(w->UkonceniButton(), Qt::LeftButton); },
        [](TDokladUctenka*) { WindowPress(Qt::Key_F8); },
        [](TDokladUctenka* w) { w->close(); },
    };
    m_modal = true;
    for (int i = 0; i < closers.size(); ++i) {
        SCOPED_TRACE(i);
        OpenNew();
        EXPECT_EQ(Exec(closers[i]), QDialog::Rejected);
        data->ffUctenky->Cancel();
        data->ffUctenky->Close();
        window.reset();
    }
    EXPECT_EQ(Counter(), u"124"_s);
    TTable uce(store->Db(), TableDef(u"UCE"_s));
    uce.SetTableName(u"UCE0001"_s);
    uce.Open();
    EXPECT_TRUE(uce.IsEmpty());

    // A receipt opened for correction exists: OK, except through the frame.
    AddReceipt(u"0000000100"_s, u"0000000000"_s, 200);
    for (int i = 0; i < closers.size(); ++i) {
        SCOPED_TRACE(i);
        OpenCorrection(u"0000000100"_s, {{u"000001"_s, u"001"_s, 2, 100}});
        EXPECT_EQ(Exec(closers[i]), i == 3 ? QDialog::Rejected : QDialog::Accepted);
        data->ffUctenky->Cancel();
        data->ffUctenky->Close();
        window.reset();
    }
}

TEST_P(ReceiptWindowTest, ReceiptOfATillClosure)
{
    AddReceipt(u"0000000100"_s, u"0000000007"_s, 200);
    OpenCorrection(u"0000000100"_s, {{u"000001"_s, u"001"_s, 2, 100}});
    EXPECT_EQ(window->CisloLabel()->text(), u"0000000100"_s);
    EXPECT_EQ(window->CelkemLabel()->text(), u"200,00"_s);
    EXPECT_FALSE(window->NovaButton()->isEnabled());
    EXPECT_FALSE(window->OpravaButton()->isEnabled());
    // The keys still act, and say why nothing happens.
    TMessageRecorder told;
    WindowPress(Qt::Key_F2);
    ProcessEvents();
    WindowPress(Qt::Key_F4);
    ProcessEvents();
    EXPECT_EQ(told.messages, (QStringList{u"Účtenka již uzavřena výčetkou, nelze přidat !"_s,
                                          u"Účtenka uzavřena výčetkou, nelze opravit"_s}));
    // Typed digits sell nothing either.
    told.messages.clear();
    WindowType(u"000001"_s);
    WindowPress(Qt::Key_Return);
    ProcessEvents();
    EXPECT_EQ(told.messages, QStringList{u"Účtenka již uzavřena výčetkou, nelze přidat !"_s});
    EXPECT_EQ(data->DokladObsah->RecordCount(), 1);
    EXPECT_EQ(Uce(u"HLA_CUH"_s), 200);
}

TEST_P(ReceiptWindowTest, DirectEntryBuffer)
{
    OpenNew();
    QLabel* display = window->PrimyDisplay();
    // Main-row and keypad digits are the same digits.
    WindowPress(Qt::Key_3, Qt::KeypadModifier);
    EXPECT_EQ(display->text(), u"3"_s);
    WindowPress(Qt::Key_Asterisk, Qt::KeypadModifier);
    EXPECT_EQ(display->text(), u"3x "_s);
    EXPECT_TRUE(window->MnozstviZadano());
    EXPECT_EQ(window->PrimeMnozstvi(), 3);
    EXPECT_TRUE(window->PrimyKod().isEmpty());
    // A second multiply key, or one on an empty buffer, does nothing.
    WindowPress(Qt::Key_Asterisk, Qt::KeypadModifier);
    WindowType(u"12"_s);
    WindowPress(Qt::Key_Asterisk, Qt::KeypadModifier);
    EXPECT_EQ(display->text(), u"3x 12"_s);
    EXPECT_EQ(window->PrimeMnozstvi(), 3);
    EXPECT_EQ(window->PrimyKod(), u"12"_s);
    // The asterisk of the main keyboard is no multiply key.
    WindowPress(Qt::Key_Asterisk);
    EXPECT_EQ(display->text(), u"3x 12"_s);
    EXPECT_EQ(Focus(), static_cast<QWidget*>(window->Grid()));
    EXPECT_EQ(window->Grid()->model()->rowCount(), 0);
}

TEST_P(ReceiptWindowTest, LongQuantityKeepsItsFirstEightDigits)
{
    OpenNew();
    WindowType(u"123456789"_s);
    WindowPress(Qt::Key_Asterisk, Qt::KeypadModifier);
    EXPECT_EQ(window->PrimeMnozstvi(), 12345678);
    EXPECT_EQ(window->PrimyDisplay()->text(), u"123456789x "_s);
}

TEST_P(ReceiptWindowTest, EnterMovesBetweenGridAndPaymentForm)
{
    OpenNew();
    // Enter in the grid with an empty buffer goes to the payment form field; Enter there moves on to
    // Ukončení (form 1 on a receipt without total: no change dialog), and Enter there closes.
    WindowPress(Qt::Key_Return);
    EXPECT_EQ(Focus(), static_cast<QWidget*>(window->FormaUhradyEdit())) << FocusName().toStdString();
    WindowPress(Qt::Key_Return);
    EXPECT_EQ(Focus(), static_cast<QWidget*>(window->UkonceniButton())) << FocusName().toStdString();
    EXPECT_TRUE(window->PrimyDisplay()->text().isEmpty());
    WindowPress(Qt::Key_Return);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Rejected);
}

TEST_P(ReceiptWindowTest, DigitsInThePaymentFormFieldAlsoEnterTheBuffer)
{
    OpenNew();
    WindowPress(Qt::Key_Tab);
    ASSERT_EQ(Focus(), static_cast<QWidget*>(window->FormaUhradyEdit()));
    WindowType(u"2"_s);
    EXPECT_EQ(window->PrimyDisplay()->text(), u"2"_s);
    EXPECT_EQ(window->PrimyKod(), u"2"_s);
    EXPECT_EQ(window->FormaUhradyEdit()->text(), u"2"_s);
    // Leaving the field confirms form 2 by its name, with no change dialog.
    WindowPress(Qt::Key_Return);
    ProcessEvents();
    EXPECT_EQ(Focus(), static_cast<QWidget*>(window->UkonceniButton())) << FocusName().toStdString();
    EXPECT_EQ(window->FormaUhradyNazev()->text(), u"Stravenky"_s);
    EXPECT_EQ(data->ffUctenky->FieldByName(u"HLA_FUH"_s).AsString(), u"2"_s);
    EXPECT_FALSE(data->ffFormaUhrady->Active()) << "the payment forms are open only during the check";
    EXPECT_EQ(window->PrimyKod(), u"2"_s) << "the code waits for Enter in the grid";
}

TEST_P(ReceiptWindowTest, PaymentFormPicker)
{
    OpenNew();
    WindowPress(Qt::Key_Tab);
    // Form 3 is not allowed on receipts: the picker opens and lists only 1 and 2; Enter on the second
    // row takes form 2.
    OnDialog<TUctenkyFormaUhrady>([](TUctenkyFormaUhrady* picker) {
        EXPECT_EQ(picker->windowTitle(), u"Forma úhrady účtenky"_s);
        QAbstractItemModel* m = picker->Grid()->model();
        ASSERT_EQ(m->rowCount(), 2);
        EXPECT_EQ(m->index(0, 0).data().toString(), u"1"_s);
        EXPECT_EQ(m->index(1, 1).data().toString(), u"Stravenky"_s);
        EXPECT_EQ(m->columnCount(), 2);
        WindowPress(Qt::Key_Down);
        WindowPress(Qt::Key_Return);
    });
    WindowType(u"3"_s);
    WindowPress(Qt::Key_Return);
    ProcessEvents();
    WaitActive(window.get());
    EXPECT_EQ(window->FormaUhradyEdit()->text(), u"2"_s);
    EXPECT_EQ(window->FormaUhradyNazev()->text(), u"Stravenky"_s);
    EXPECT_EQ(data->ffUctenky->FieldByName(u"HLA_FUH"_s).AsString(), u"2"_s);
    EXPECT_EQ(Focus(), static_cast<QWidget*>(window->UkonceniButton())) << FocusName().toStdString();

    // Cancelled from the field's check: the field stays invalid and keeps the focus.
    WindowPress(Qt::Key_Tab, Qt::ShiftModifier);
    ASSERT_EQ(Focus(), static_cast<QWidget*>(window->FormaUhradyEdit()));
    OnDialog<TUctenkyFormaUhrady>([](TUctenkyFormaUhrady*) { WindowPress(Qt::Key_Escape); });
    WindowType(u"9"_s);
    WindowPress(Qt::Key_Return);
    ProcessEvents();
    WaitActive(window.get());
    EXPECT_EQ(Focus(), static_cast<QWidget*>(window->FormaUhradyEdit())) << FocusName().toStdString();
    EXPECT_EQ(data->ffUctenky->FieldByName(u"HLA_FUH"_s).AsString(), u"2"_s);

    // The lookup button always offers the list; cancelled, nothing changes; chosen, the form is taken.
    window->FormaUhradyEdit()->setText(u"2"_s);
    OnDialog<TUctenkyFormaUhrady>([](TUctenkyFormaUhrady*) { WindowPress(Qt::Key_Escape); });
    QTest::mouseClick(window->FormaUhradyEdit()->EmbeddedButton(), Qt::LeftButton);
    ProcessEvents();
    EXPECT_EQ(window->FormaUhradyEdit()->text(), u"2"_s);
    EXPECT_EQ(window->FormaUhradyNazev()->text(), u"Stravenky"_s);
    OnDialog<TUctenkyFormaUhrady>([](TUctenkyFormaUhrady* picker) {
        TDBGrid* grid = picker->Grid();
        const QPoint at = grid->visualRect(grid->model()->index(0, 1)).center();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    });
    QTest::mouseClick(window->FormaUhradyEdit()->EmbeddedButton(), Qt::LeftButton);
    ProcessEvents();
    EXPECT_EQ(window->FormaUhradyEdit()->text(), u"1"_s);
    EXPECT_EQ(window->FormaUhradyNazev()->text(), u"Hotově"_s);
    EXPECT_EQ(data->ffUctenky->FieldByName(u"HLA_FUH"_s).AsString(), u"1"_s);
    EXPECT_FALSE(data->ffFormaUhrady->Active());
}

TEST_P(ReceiptWindowTest, ChangeDialog)
{
    OpenNew();
    SetTotal(87.5);
    EXPECT_EQ(window->CelkemLabel()->text(), u"87,50"_s);
    // Cash and the change shown for it: "%8.2f" with the station's decimal comma, minus when short.
    const QList<std::pair<QString, QString>> cases = {{u"100"_s, u"   12,50"_s},
                                                      {u"50"_s, u"  -37,50"_s},
                                                      {u"87,5"_s, u"    0,00"_s},
                                                      {u"1000000"_s, u"999912,50"_s}};
    for (const auto& [cash, change] : cases) {
        SCOPED_TRACE(cash.toStdString());
        WindowPress(Qt::Key_Tab);
        ASSERT_EQ(Focus(), static_cast<QWidget*>(window->FormaUhradyEdit())) << FocusName().toStdString();
        bool opened = false;
        OnDialog<TZaplacenoForm>([&, cash = cash, change = change](TZaplacenoForm* dialog) {
            opened = true;
            EXPECT_EQ(dialog->windowTitle(), u"Výpočet vrácené částky "_s);
            EXPECT_EQ(dialog->CelkemLabel()->text(), u"87,50"_s);
            EXPECT_EQ(dialog->VratitLabel()->text(), u"0.00"_s);
            EXPECT_EQ(Focus(), static_cast<QWidget*>(dialog->VlozenoEdit())) << FocusName().toStdString();
            dialog->VlozenoEdit()->selectAll();
            WindowType(cash);
            WindowPress(Qt::Key_Return);
            EXPECT_EQ(Focus(), static_cast<QWidget*>(dialog->OkButton())) << FocusName().toStdString();
            EXPECT_EQ(dialog->VratitLabel()->text(), change);
            WindowPress(Qt::Key_Return);
        });
        WindowPress(Qt::Key_Return);
        ProcessEvents();
        EXPECT_TRUE(opened);
        // The cash reached the stored header.
        TTable uce(store->Db(), TableDef(u"UCE"_s));
        uce.SetTableName(u"UCE0001"_s);
        uce.Open();
        ASSERT_TRUE(uce.Locate(u"HLA_DO1"_s, {u"0000000999"_s}));
        bool ok = false;
        EXPECT_EQ(uce.FieldByName(u"HLA_VLO"_s).AsFloat(), QLocale().toDouble(cash, &ok));
        WaitActive(window.get());
        window->Grid()->setFocus();
    }
}

TEST_P(ReceiptWindowTest, ChangeTextIsThePrintoutsAmount)
{
    // Eight characters at least, the station's decimal comma, the minus sign kept, a long amount whole.
    const QList<std::pair<double, QString>> cases = {{12.5, u"   12,50"_s},
                                                     {-37.5, u"  -37,50"_s},
                                                     {0.004, u"    0,00"_s},
                                                     {123456789.5, u"123456789,50"_s}};
    for (const auto& [value, text] : cases)
        EXPECT_EQ(TZaplacenoForm::ChangeText(value), text) << value;
}

TEST_P(ReceiptWindowTest, NoChangeDialogWithoutTotal)
{
    OpenNew();
    WindowPress(Qt::Key_Tab);
    EXPECT_EQ(ModalsDuring([] { WindowPress(Qt::Key_Return); }, 600), 0);
    EXPECT_EQ(Focus(), static_cast<QWidget*>(window->UkonceniButton()));
}

TEST_P(ReceiptWindowTest, AltF4IsNotACorrection)
{
    AddReceipt(u"0000000100"_s, u"0000000007"_s, 200);
    OpenCorrection(u"0000000100"_s, {{u"000001"_s, u"001"_s, 2, 100}});
    TMessageRecorder told;
    WindowPress(Qt::Key_F4, Qt::AltModifier);
    ProcessEvents();
    EXPECT_TRUE(told.messages.isEmpty());
    // With Shift or Ctrl it is one.
    WindowPress(Qt::Key_F4, Qt::ControlModifier);
    WindowPress(Qt::Key_F4, Qt::ShiftModifier);
    ProcessEvents();
    EXPECT_EQ(told.messages.size(), 2);
}

// The lines as the grid shows them: card, variant, quantity.
QStringList GridLines(TDokladUctenka* w)
{
    QAbstractItemModel* m = w->Grid()->model();
    QStringList lines;
    for (int r = 0; r < m->rowCount(); ++r)
        lines << m->index(r, 0).data().toString() + u" "_s + m->index(r, 1).data().toString() + u" "_s +
                     m->index(r, 4).data().toString();
    return lines;
}

TEST_P(ReceiptWindowTest, NewLineFromTheKeyboard)
{
    OpenNew();
    TMessageRecorder told;
    // 4 pieces of the card whose variants hold 2, 0 and 5: two lines, 001 and 003 with 2 each.
    OnDialog<TUctenkaPolNewEdit>([this](TUctenkaPolNewEdit* d) {
        EXPECT_EQ(d->pos(), QPoint(data->AnchorLeft + 250, data->AnchorTop + 45));
        WindowType(u"000001"_s);
        WindowPress(Qt::Key_Return);
        WindowType(u"4"_s);
        WindowPress(Qt::Key_Return);
        WindowPress(Qt::Key_Tab);
        ASSERT_EQ(Focus(), static_cast<QWidget*>(d->ZapisButton())) << FocusName().toStdString();
        WindowPress(Qt::Key_Return);
    });
    WindowPress(Qt::Key_F2);
    ProcessEvents();
    EXPECT_TRUE(told.messages.isEmpty()) << told.messages.join(u'|').toStdString();
    EXPECT_EQ(GridLines(window.get()), (QStringList{u"000001 001 2"_s, u"000001 003 2"_s}));
    EXPECT_EQ(window->CisloLabel()->text(), u"0000000125"_s);
    EXPECT_EQ(window->CelkemLabel()->text(), u"400,00"_s);
    EXPECT_EQ(Counter(), u"125"_s);
    EXPECT_TRUE(window->UctenkaZalozena());
    EXPECT_FALSE(window->NovaUctenka());
    EXPECT_EQ(Uce(u"HLA_Z22"_s), 400);
    EXPECT_EQ(Uce(u"HLA_D22"_s), 88);
    WaitActive(window.get());
    EXPECT_EQ(Focus(), static_cast<QWidget*>(window->Grid())) << FocusName().toStdString();
    EXPECT_FALSE(data->ffSortiment->Active()) << "the sale's tables are closed again";

    // A cancelled dialog and a zero quantity add nothing.
    OnDialog<TUctenkaPolNewEdit>([](TUctenkaPolNewEdit*) { WindowPress(Qt::Key_Escape); });
    WindowPress(Qt::Key_F2);
    ProcessEvents();
    OnDialog<TUctenkaPolNewEdit>([](TUctenkaPolNewEdit* d) {
        WindowType(u"000001"_s);
        WindowPress(Qt::Key_Return);
        WindowType(u"0"_s);
        WindowPress(Qt::Key_Return);
        QTest::mouseClick(d->ZapisButton(), Qt::LeftButton);
    });
    QTest::mouseClick(window->NovaButton(), Qt::LeftButton);
    ProcessEvents();
    EXPECT_EQ(GridLines(window.get()).size(), 2);
    EXPECT_EQ(Uce(u"HLA_CUH"_s), 400);
    EXPECT_EQ(Counter(), u"125"_s);

    // The receipt exists now: Esc closes with OK.
    EXPECT_EQ(Exec([](TDokladUctenka*) { WindowPress(Qt::Key_Escape); }), QDialog::Accepted);
}

TEST_P(ReceiptWindowTest, CorrectionFromTheKeyboard)
{
    OpenNew();
    OnDialog<TUctenkaPolNewEdit>([](TUctenkaPolNewEdit*) {
        WindowType(u"000001"_s);
        WindowPress(Qt::Key_Return);
        WindowType(u"2"_s);
        WindowPress(Qt::Key_Return);
        WindowPress(Qt::Key_Tab);
        WindowPress(Qt::Key_Return);
    });
    WindowPress(Qt::Key_F2);
    ProcessEvents();
    ASSERT_EQ(GridLines(window.get()), QStringList{u"000001 001 2"_s});
    // F4 (with Ctrl too, not with Alt alone): the correction dialog on the line, its variant's stock
    // plus the line's quantity shown, the focus on the quantity.
    OnDialog<TUctenkaPolEdit>([this](TUctenkaPolEdit* d) {
        EXPECT_EQ(d->pos(), QPoint(data->AnchorLeft + 250, data->AnchorTop + 45));
        EXPECT_FALSE(d->KartaEdit()->isEnabled());
        EXPECT_FALSE(d->VariantEdit()->isEnabled());
        EXPECT_EQ(d->StavLabel()->text(), u"2"_s);
        EXPECT_EQ(Focus(), static_cast<QWidget*>(d->KusEdit())) << FocusName().toStdString();
        WindowType(u"1"_s);
        WindowPress(Qt::Key_Return);
        WindowPress(Qt::Key_Tab);
        WindowPress(Qt::Key_Return);
    });
    WindowPress(Qt::Key_F4, Qt::ControlModifier);
    ProcessEvents();
    EXPECT_EQ(GridLines(window.get()), QStringList{u"000001 001 1"_s});
    EXPECT_EQ(window->CelkemLabel()->text(), u"100,00"_s);
    EXPECT_EQ(Uce(u"HLA_Z22"_s), 100);
    EXPECT_EQ(Uce(u"HLA_D22"_s), 22);
    WaitActive(window.get());
    EXPECT_EQ(Focus(), static_cast<QWidget*>(window->Grid()));
}

TEST_P(ReceiptWindowTest, DirectSaleFromTheKeyboard)
{
    OpenNew();
    TMessageRecorder told;
    // 3 × the card with 3 in stock and 1 blocked: 2 are sold, with the message.
    WindowPress(Qt::Key_3, Qt::KeypadModifier);
    WindowPress(Qt::Key_Asterisk, Qt::KeypadModifier);
    WindowType(u"000003"_s);
    EXPECT_EQ(window->PrimyDisplay()->text(), u"3x 000003"_s);
    WindowPress(Qt::Key_Enter, Qt::KeypadModifier);
    ProcessEvents();
    EXPECT_EQ(told.messages, QStringList{u"Bude vydáno pouze 2 kusů, víc nemám"_s});
    EXPECT_EQ(GridLines(window.get()), QStringList{u"000003 001 2"_s});
    EXPECT_EQ(window->CisloLabel()->text(), u"0000000125"_s);
    EXPECT_EQ(window->CelkemLabel()->text(), u"60,00"_s);
    EXPECT_TRUE(window->PrimyDisplay()->text().isEmpty());
    EXPECT_TRUE(window->PrimyKod().isEmpty());
    EXPECT_EQ(window->PrimeMnozstvi(), 1);
    EXPECT_FALSE(window->MnozstviZadano());
    EXPECT_EQ(Focus(), static_cast<QWidget*>(window->Grid()));

    // An unknown code and a code longer than a card code (whose first six characters are a card)
    // sell nothing.
    for (const QString& code : {u"999999"_s, u"0000011"_s}) {
        told.messages.clear();
        WindowType(code);
        WindowPress(Qt::Key_Return);
        ProcessEvents();
        EXPECT_EQ(told.messages, QStringList{u"Je mi líto kartu "_s + code + u" neznám."_s});
        EXPECT_EQ(GridLines(window.get()).size(), 1);
        EXPECT_TRUE(window->PrimyDisplay()->text().isEmpty());
    }

    // Digits typed while the payment form field has the focus are sold by the next Enter in the grid.
    told.messages.clear();
    WindowPress(Qt::Key_Tab);
    ASSERT_EQ(Focus(), static_cast<QWidget*>(window->FormaUhradyEdit()));
    window->FormaUhradyEdit()->selectAll();
    WindowType(u"000001"_s);
    EXPECT_EQ(window->PrimyDisplay()->text(), u"000001"_s);
    window->FormaUhradyEdit()->setText(u"1"_s);
    // Leaving the field for the grid: form 1 on a receipt with a total offers the change dialog.
    OnDialog<TZaplacenoForm>([](TZaplacenoForm*) { WindowPress(Qt::Key_Escape); });
    window->Grid()->setFocus(Qt::MouseFocusReason);
    ProcessEvents();
    WaitActive(window.get());
    window->Grid()->setFocus();
    WindowPress(Qt::Key_Return);
    ProcessEvents();
    EXPECT_TRUE(told.messages.isEmpty()) << told.messages.join(u'|').toStdString();
    EXPECT_EQ(GridLines(window.get()), (QStringList{u"000003 001 2"_s, u"000001 001 1"_s}));
    EXPECT_EQ(window->CelkemLabel()->text(), u"160,00"_s);
}

TEST_P(ReceiptWindowTest, PrintClosesWithTheResult)
{
    int printed = 0;
    TDokladUctenka::TiskUctenky() = [&printed](TData&, QWidget*) { ++printed; };
    OpenNew();
    WindowType(u"000001"_s);
    WindowPress(Qt::Key_Return);
    ProcessEvents();
    ASSERT_EQ(GridLines(window.get()).size(), 1);
    WindowPress(Qt::Key_F8);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Accepted);
    EXPECT_EQ(printed, 1);
    TDokladUctenka::TiskUctenky() = nullptr;
}

TEST_P(ReceiptWindowTest, F11AndF12OpenTheDrawer)
{
    // The receipt printer: a directory spooler whose one queue is "SP 300".
    const QString spool = tmp.path() + u"/spool"_s;
    ASSERT_TRUE(QDir().mkpath(spool + u"/SP 300"_s));
    SetSpoolDirectory(spool);
    ResetPrintersForTests();
    data->ParagonovaTiskarna = 0;
    auto printing = std::make_unique<TDataSestavy>();
    OpenNew();
    TMessageRecorder told;
    WindowPress(Qt::Key_F11);
    WindowPress(Qt::Key_F12);
    ProcessEvents();
    const QDir queue(spool + u"/SP 300"_s);
    const QStringList jobs = queue.entryList({u"*.prn"_s}, QDir::Files, QDir::Name);
    ASSERT_EQ(jobs.size(), 2);
    for (const QString& job : jobs) {
        QFile f(queue.filePath(job));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_TRUE(f.readAll().startsWith(TDataSestavy::kDrawerPulse)) << job.toStdString();
    }
    EXPECT_TRUE(told.messages.isEmpty());
    // A printer position outside the list is told, and nothing goes out.
    data->ParagonovaTiskarna = 5;
    WindowPress(Qt::Key_F11);
    ProcessEvents();
    EXPECT_EQ(told.messages.size(), 1);
    EXPECT_EQ(queue.entryList({u"*.prn"_s}, QDir::Files).size(), 2);
    EXPECT_TRUE(window->isVisible());
    window->close();
    window.reset();
    printing.reset();
    SetSpoolDirectory(QString());
    ResetPrintersForTests();
}

// ---------------------------------------------------------------------------------------------------
// The line dialogs on their own, over a line the test prepares.

class LineDialogTest : public ReceiptWindowTest {
protected:
    void SetUp() override
    {
        ReceiptWindowTest::SetUp();
        if (!store)
            return;
        data->DokladObsah->Open();
        data->DokladObsah->EmptyTable();
        ASSERT_TRUE(data->OpenffSor(u"KAV"_s));
        ASSERT_TRUE(data->OpenffSkl(u"KAV"_s));
    }
    TDataSet& Line() { return *data->DokladObsah; }
    double Kus() { return Line().FieldByName(u"DOK_KUS"_s).AsFloat(); }
};

TEST_P(LineDialogTest, NewLineTakesAnExactCard)
{
    Line().Append();
    TUctenkaPolNewEdit dialog(*data, Line(), nullptr);
    OnDialog<TUctenkaPolNewEdit>([this](TUctenkaPolNewEdit* d) {
        EXPECT_EQ(d->windowTitle(), u"Nová položka"_s);
        EXPECT_EQ(Focus(), static_cast<QWidget*>(d->KartaEdit())) << FocusName().toStdString();
        EXPECT_TRUE(d->KartaEdit()->ButtonVisible());
        QStringList captions;
        for (QLabel* l : d->findChildren<QLabel*>())
            captions << l->text();
        for (const QString& c : {u"Karta sortimentu"_s, u"Prodejní cena "_s, u"Sazba DPH"_s,
                                 u"Zásoba na skladě"_s, u"Počet  kusů"_s})
            EXPECT_TRUE(captions.contains(c)) << c.toStdString();
        WindowType(u"000001"_s);
        WindowPress(Qt::Key_Return);
        EXPECT_EQ(picks, 0) << "an exact code needs no list";
        EXPECT_EQ(Focus(), static_cast<QWidget*>(d->KusEdit())) << FocusName().toStdString();
        EXPECT_EQ(d->NazevEdit()->text(), u"Káva"_s);
        EXPECT_EQ(d->CenaEdit()->text(), u"100,00"_s);
        EXPECT_EQ(d->StavLabel()->text(), u"7"_s);
        EXPECT_EQ(d->ZakladniCena, 100);
        WindowType(u"2,5"_s);
        WindowPress(Qt::Key_Return);
        EXPECT_EQ(Focus(), static_cast<QWidget*>(d->StornoButton())) << FocusName().toStdString();
        WindowPress(Qt::Key_Tab);
        EXPECT_EQ(Focus(), static_cast<QWidget*>(d->ZapisButton())) << FocusName().toStdString();
        WindowPress(Qt::Key_Space);
    });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(Line().FieldByName(u"DOK_KAV"_s).AsString(), u"000001"_s);
    EXPECT_EQ(Line().FieldByName(u"DOK_NAZ"_s).AsString(), u"Káva"_s);
    EXPECT_EQ(Line().FieldByName(u"DOK_PC1"_s).AsFloat(), 100);
    EXPECT_EQ(Line().FieldByName(u"DOK_DAN"_s).AsFloat(), 22);
    EXPECT_EQ(Kus(), 2.5);
    EXPECT_EQ(Line().FieldByName(u"DOK_PCC"_s).AsFloat(), 250);
}

TEST_P(LineDialogTest, HalfTypedCodeThenStorno)
{
    Line().Append();
    TUctenkaPolNewEdit dialog(*data, Line(), nullptr);
    TMessageRecorder told;
    OnDialog<TUctenkaPolNewEdit>([](TUctenkaPolNewEdit* d) {
        WindowType(u"00"_s);
        QTest::mouseClick(d->StornoButton(), Qt::LeftButton);
    });
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_EQ(picks, 0) << "no list for a code that is thrown away";
    EXPECT_TRUE(told.messages.isEmpty());

    // A short code goes to the list; cancelled there, the field keeps the focus; Esc then cancels.
    TUctenkaPolNewEdit second(*data, Line(), nullptr);
    OnDialog<TUctenkaPolNewEdit>([this](TUctenkaPolNewEdit* d) {
        WindowType(u"12"_s);
        WindowPress(Qt::Key_Return);
        EXPECT_EQ(picks, 1);
        EXPECT_EQ(Focus(), static_cast<QWidget*>(d->KartaEdit())) << FocusName().toStdString();
        WindowPress(Qt::Key_Escape);
    });
    EXPECT_EQ(second.exec(), QDialog::Rejected);
}

TEST_P(LineDialogTest, LookupButtonPicksACard)
{
    Line().Append();
    pickCard = u"000002"_s;
    TUctenkaPolNewEdit dialog(*data, Line(), nullptr);
    OnDialog<TUctenkaPolNewEdit>([](TUctenkaPolNewEdit* d) {
        WindowType(u"vst"_s);
        QTest::mouseClick(d->KartaEdit()->EmbeddedButton(), Qt::LeftButton);
        EXPECT_EQ(d->KartaEdit()->text(), u"000002"_s);
        EXPECT_EQ(d->NazevEdit()->text(), u"Vstupné"_s);
        EXPECT_EQ(d->StavLabel()->text(), u"Neskl.pol."_s);
        WindowPress(Qt::Key_Return);
        // A non-stock card takes any quantity.
        WindowType(u"500"_s);
        WindowPress(Qt::Key_Return);
        QTest::mouseClick(d->ZapisButton(), Qt::LeftButton);
    });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(picks, 1);
    EXPECT_EQ(Line().FieldByName(u"DOK_KAV"_s).AsString(), u"000002"_s);
    EXPECT_EQ(Kus(), 500);
}

TEST_P(LineDialogTest, QuantityChecks)
{
    // Typed quantity, accepted, refusal told to the operator.
    struct TCase {
        QString typed;
        bool accepted;
        QString message;
    };
    const QList<TCase> cases = {
        {u"2,5"_s, true, QString()},
        {u"2.5"_s, true, QString()},
        {u"0"_s, true, QString()},
        {u"7"_s, true, QString()},
        {u"8"_s, false, u"Na skladě je pouze 7 kusů !"_s},
        {QString(), false, u"Zadejte počet kusů."_s},
        {u"-1"_s, false, u"Počet kusů nesmí být záporný."_s},
        {u"1,2,3"_s, false, u"Počet kusů \"1,2,3\" není číslo."_s},
        {u"-"_s, false, u"Počet kusů \"-\" není číslo."_s},
        {u"1000000"_s, false, u"Počet kusů musí být menší než 1 000 000."_s},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        Line().Cancel();
        Line().Append();
        TUctenkaPolNewEdit dialog(*data, Line(), nullptr);
        TMessageRecorder told;
        OnDialog<TUctenkaPolNewEdit>([&c, &told](TUctenkaPolNewEdit* d) {
            WindowType(u"000001"_s);
            WindowPress(Qt::Key_Return);
            WindowType(c.typed);
            WindowPress(Qt::Key_Return);
            ProcessEvents();
            EXPECT_EQ(told.messages, c.message.isEmpty() ? QStringList() : QStringList{c.message});
            if (c.accepted) {
                EXPECT_EQ(Focus(), static_cast<QWidget*>(d->StornoButton())) << FocusName().toStdString();
                QTest::mouseClick(d->ZapisButton(), Qt::LeftButton);
                return;
            }
            EXPECT_EQ(Focus(), static_cast<QWidget*>(d->KusEdit())) << FocusName().toStdString();
            // Zapiš takes no refused quantity; Storno always closes.
            told.messages.clear();
            QTest::mouseClick(d->ZapisButton(), Qt::LeftButton);
            ProcessEvents();
            EXPECT_TRUE(d->isVisible());
            QTest::mouseClick(d->StornoButton(), Qt::LeftButton);
        });
        EXPECT_EQ(dialog.exec(), c.accepted ? QDialog::Accepted : QDialog::Rejected);
        if (c.accepted) {
            bool ok = false;
            EXPECT_EQ(Kus(), QLocale().toDouble(QString(c.typed).replace(u'.', u','), &ok));
        }
    }
}

TEST_P(LineDialogTest, CorrectionChecksTheVariant)
{
    // A line of 3 pieces of variant 001 of card 000003, whose variant still holds 1: up to 4 is
    // accepted, 5 is refused with the figure 4.
    TTable& skl = *data->ffSklad;
    ASSERT_TRUE(skl.FindKey({u"000003"_s, u"001"_s}));
    skl.Edit();
    skl.FieldByName(u"SKL_STA"_s).SetAsFloat(1);
    skl.Post();
    ASSERT_TRUE(data->ffSortiment->FindKey({u"000003"_s}));
    TMemTable& dok = *data->DokladObsah;
    dok.Append();
    dok.FieldByName(u"DOK_KAV"_s).SetAsString(u"000003"_s);
    dok.FieldByName(u"DOK_IND"_s).SetAsString(u"001"_s);
    dok.FieldByName(u"DOK_NAZ"_s).SetAsString(u"Čaj"_s);
    dok.FieldByName(u"DOK_PC1"_s).SetAsFloat(30);
    dok.FieldByName(u"DOK_KUS"_s).SetAsFloat(3);
    dok.Post();
    for (const auto& [typed, accepted] : QList<std::pair<QString, bool>>{{u"5"_s, false}, {u"4"_s, true}}) {
        SCOPED_TRACE(typed.toStdString());
        dok.Edit();
        TUctenkaPolEdit dialog(*data, dok, nullptr);
        dialog.PuvodniMnozstvi = 3;
        dialog.SetStockDisplay(u"4"_s);
        dialog.KartaEdit()->setEnabled(false);
        dialog.VariantEdit()->setEnabled(false);
        TMessageRecorder told;
        OnDialog<TUctenkaPolEdit>([&, typed = typed, accepted = accepted](TUctenkaPolEdit* d) {
            EXPECT_EQ(d->windowTitle(), u"Oprava položky"_s);
            EXPECT_EQ(Focus(), static_cast<QWidget*>(d->KusEdit())) << FocusName().toStdString();
            EXPECT_EQ(d->KartaEdit()->text(), u"000003"_s);
            EXPECT_EQ(d->VariantEdit()->text(), u"001"_s);
            QStringList captions;
            for (QLabel* l : d->findChildren<QLabel*>())
                captions << l->text();
            EXPECT_TRUE(captions.contains(u"Karta sort."_s));
            EXPECT_TRUE(captions.contains(u"Počet kusů"_s));
            WindowType(typed);
            WindowPress(Qt::Key_Return);
            ProcessEvents();
            if (accepted) {
                EXPECT_TRUE(told.messages.isEmpty());
                WindowPress(Qt::Key_Tab);
                WindowPress(Qt::Key_Return);
                return;
            }
            EXPECT_EQ(told.messages, QStringList{u"Na skladě je pouze 4 kusů !"_s});
            WindowPress(Qt::Key_Escape);
        });
        EXPECT_EQ(dialog.exec(), accepted ? QDialog::Accepted : QDialog::Rejected);
        if (accepted) {
            EXPECT_EQ(Kus(), 4);
        }
        dok.Cancel();
    }
}

KV_INSTANTIATE_STORES(ReceiptWindowTest);
KV_INSTANTIATE_STORES(LineDialogTest);

}  // namespace
