// Operator sign-on and the pass register: the main window, the pass dialog and the search.
#include "TestSupport.h"
#include "WindowTestSupport.h"

#include "DBEditVarno.h"
#include "DBGrid.h"
#include "DataUnit.h"
#include "EditVarno.h"
#include "HlavniUnit.h"
#include "LegHlaEditUnit.h"
#include "LegHleUnit.h"
#include "LoginUnit.h"
#include "OrmandDBDateEdit.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

struct TUser {
    QString lna, psw, nac, ini;
};

void AddUsers(TData& data, const QList<TUser>& users)
{
    TTable& t = *data.ffUzivatele;
    t.Open();
    for (const TUser& u : users) {
        t.Append();
        t.FieldByName(u"USR_LNA"_s).SetAsString(u.lna);
        t.FieldByName(u"USR_PSW"_s).SetAsString(u.psw);
        t.FieldByName(u"USR_NAC"_s).SetAsString(u.nac);
        t.FieldByName(u"USR_INI"_s).SetAsString(u.ini);
        t.FieldByName(u"USR_KOD"_s).SetAsString(u"0"_s + u.ini);
        t.FieldByName(u"USR_GRP"_s).SetAsString(u"PRO"_s);
        t.Post();
    }
    t.Close();
}

// ---------------------------------------------------------------------------------------------------
// Sign-on

class SignOnTest : public StoreTest {
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        if (!store)
            return;
        data = MakeData(*store);
        AddUsers(*data,
                 {{TData::AutoLoginName(TData::OsUserName()), u"x"_s, u"Systémový Uživatel"_s, u"SU"_s},
                  {u"NOVAK"_s, u"tajne"_s, u"Novák Jan"_s, u"JN"_s},
                  {u"PRAZDNE"_s, QString(), u"Bez Hesla"_s, u"BH"_s},
                  {u"ŠTĚPÁN"_s, u"heslo"_s, u"Štěpán Petr"_s, u"SP"_s}});
        data->LoginDialog = [this](QString& name, QString& password) {
            ++dialogs;
            name = typedName;
            password = typedPassword;
            return dialogResult;
        };
    }
    void TearDown() override
    {
        data.reset();
        StoreTest::TearDown();
    }

    std::unique_ptr<TData> data;
    TMessageRecorder told;
    int dialogs = 0;
    QString typedName, typedPassword;
    bool dialogResult = true;
};

TEST_P(SignOnTest, SystemUserSignsOnWithoutDialog)
{
    data->LoginForm = false;
    data->SignOn();
    EXPECT_EQ(dialogs, 0);
    EXPECT_FALSE(data->Terminated());
    EXPECT_EQ(data->UzivatelNac, u"Systémový Uživatel"_s);
    EXPECT_EQ(data->UzivatelIni, u"SU"_s);
    EXPECT_EQ(data->UzivatelKod, u"0SU"_s);
    EXPECT_EQ(data->UzivatelGrp, u"PRO"_s);
    EXPECT_FALSE(data->ffUzivatele->Active()) << "the users table is closed again";
    EXPECT_TRUE(told.messages.isEmpty());
}

TEST_P(SignOnTest, LoginFormAlwaysAsks)
{
    data->LoginForm = true;
    typedName = u"novak"_s;
    typedPassword = u"TAJNE"_s;
    data->SignOn();
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(data->UzivatelIni, u"JN"_s);
}

TEST_P(SignOnTest, UnknownSystemUserGetsTheDialog)
{
    data->ffUzivatele->Open();
    ASSERT_TRUE(data->ffUzivatele->Locate(u"USR_LNA"_s, {TData::AutoLoginName(TData::OsUserName())}));
    data->ffUzivatele->Delete();
    data->ffUzivatele->Close();
    data->LoginForm = false;
    dialogResult = false;
    data->SignOn();
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(data->Terminated());
    EXPECT_TRUE(told.messages.isEmpty());
}

TEST_P(SignOnTest, DialogAnswers)
{
    struct Case {
        QString name, password;
        bool ok;
        QString initials;  // empty: the program ends
        QString message;
    };
    const QList<Case> cases = {
        {u"novak"_s, u"TAJNE"_s, true, u"JN"_s, {}},
        {u"NOVAK"_s, u"  tajne "_s, true, u"JN"_s, {}},  // blanks around the password
        {u"NoVaK"_s, u"TaJnE"_s, true, u"JN"_s, {}},
        {u"novak "_s, u"tajne"_s, true, {}, {}},  // the name is not trimmed
        {u" novak"_s, u"tajne"_s, true, {}, {}},
        {u"novakovaxyz"_s, u"tajne"_s, true, {}, {}},  // longer than any login name
        {u"novak"_s, u"spatne"_s, true, {}, u"Neplatné heslo !!!"_s},
        {u"novak"_s, QString(), true, {}, u"Neplatné heslo !!!"_s},
        {u"prazdne"_s, QString(), true, u"BH"_s, {}},  // empty password stored and typed
        {u"prazdne"_s, u"   "_s, true, u"BH"_s, {}},
        {u"ŠTĚPÁN"_s, u"HESLO"_s, true, u"SP"_s, {}},
        {u"štěpán"_s, u"heslo"_s, true, {}, {}},  // only a to z are raised
        {u"ŠTĚpán"_s, u"heslo"_s, true, {}, {}},
        {u"novak"_s, u"tajne"_s, false, {}, {}},  // Storno
        {QString(), QString(), true, {}, {}},
        {u"'; DROP TABLE usr0000; --"_s, u"x"_s, true, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.name + u" / "_s + c.password).toStdString());
        auto d = MakeData(*store);
        told.messages.clear();
        d->LoginForm = true;
        d->LoginDialog = [&c](QString& name, QString& password) {
            name = c.name;
            password = c.password;
            return c.ok;
        };
        d->SignOn();
        EXPECT_EQ(d->Terminated(), c.initials.isEmpty());
        EXPECT_EQ(d->UzivatelIni, c.initials);
        if (c.initials.isEmpty()) {
            EXPECT_EQ(d->UzivatelNac, TData::DefaultOperatorName());
        }
        EXPECT_EQ(told.messages, c.message.isEmpty() ? QStringList() : QStringList{c.message});
        EXPECT_FALSE(d->ffUzivatele->Active());
    }
}

TEST_P(SignOnTest, BrokenUsersTable)
{
    // Automatic sign-on: nothing is said and the default operator works on.
    data->ffUzivatele->SetTableName(u"USR9999"_s);
    data->LoginForm = false;
    data->SignOn();
    EXPECT_TRUE(told.messages.isEmpty());
    EXPECT_FALSE(data->Terminated());
    EXPECT_EQ(data->UzivatelNac, TData::DefaultOperatorName());
    EXPECT_TRUE(data->UzivatelIni.isEmpty());

    // Login form: the client's message is shown, the run goes on without an operator.
    auto d = MakeData(*store);
    d->ffUzivatele->SetTableName(u"USR9999"_s);
    d->LoginForm = true;
    d->LoginDialog = [](QString& name, QString& password) {
        name = u"novak"_s;
        password = u"tajne"_s;
        return true;
    };
    d->SignOn();
    ASSERT_EQ(told.messages.size(), 1);
    EXPECT_FALSE(told.messages[0].isEmpty());
    EXPECT_FALSE(d->Terminated());
    EXPECT_TRUE(d->UzivatelIni.isEmpty());
}

KV_INSTANTIATE_STORES(SignOnTest);

TEST(SignOnNames, SystemUserNameRules)
{
    const QList<std::pair<QString, QString>> cases = {
        {u"novak"_s, u"NOVAK"_s},
        {u"  jan.novak12  "_s, u"JAN.NOVAK1"_s},  // trimmed, then cut to 10
        {u"administrator"_s, u"ADMINISTRA"_s},
        {u"štěpánka"_s, u"ŠTĚPÁNKA"_s},  // letters with diacritics too
        {u"\tžofie\n"_s, u"ŽOFIE"_s},
        {QString(), QString()},
    };
    for (const auto& [os, login] : cases)
        EXPECT_EQ(TData::AutoLoginName(os), login) << os.toStdString();
    EXPECT_EQ(TData::UpperAsciiLetters(u"ab žluť Z9"_s), u"AB žLUť Z9"_s);
}

// ---------------------------------------------------------------------------------------------------
// Login dialog

TEST(LoginForm, CaptionsFocusOrderAndResult)
{
    QString name, password;
    OnNextModal([](QWidget* w) {
        auto* form = qobject_cast<TLoginForm*>(w);
        ASSERT_NE(form, nullptr);
        ASSERT_TRUE(WaitActive(form));
        EXPECT_EQ(form->windowTitle(), u"Přihlašovací dialog uživatele"_s);
        QStringList labels;
        for (QLabel* l : form->findChildren<QLabel*>())
            labels << l->text();
        EXPECT_TRUE(labels.contains(u"Přihlašovací jméno z Windows není v seznamu uživatelů systému"_s));
        EXPECT_TRUE(labels.contains(u"Přístupové jméno uživatele "_s));
        EXPECT_TRUE(labels.contains(u"Přístupové heslo uživatele"_s));
        EXPECT_FALSE(form->windowFlags() & Qt::WindowCloseButtonHint);
        EXPECT_EQ(QApplication::focusWidget(), form->NameEdit());
        Type(u"novak"_s);
        Press(Qt::Key_Return);
        EXPECT_EQ(QApplication::focusWidget(), form->PasswordEdit());
        Type(u"tajne"_s);
        EXPECT_EQ(form->PasswordEdit()->displayText(), u"*****"_s);
        Press(Qt::Key_Return);
        EXPECT_EQ(QApplication::focusWidget(), form->StornoButton());
        Press(Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), form->OkButton());
        QTest::mouseClick(form->OkButton(), Qt::LeftButton);
    });
    EXPECT_TRUE(TLoginForm::Execute(name, password));
    EXPECT_EQ(name, u"novak"_s);
    EXPECT_EQ(password, u"tajne"_s);

    OnNextModal([](QWidget* w) {
        ASSERT_TRUE(WaitActive(w));
        Type(u"novak"_s);
        QTest::mouseClick(static_cast<TLoginForm*>(w)->StornoButton(), Qt::LeftButton);
    });
    EXPECT_FALSE(TLoginForm::Execute(name, password));
    OnNextModal([](QWidget* w) {
        ASSERT_TRUE(WaitActive(w));
        Press(Qt::Key_Escape);
    });
    EXPECT_FALSE(TLoginForm::Execute(name, password));
}

// The start of a station that always asks: a wrong password ends the program with the message.
TEST(LoginForm, StartWithWrongPasswordEndsTheProgram)
{
    TTestStore store(TStoreKind::Sqlite);
    store.CreateTables();
    {
        auto setup = MakeData(store);
        AddUsers(*setup, {{u"NOVAK"_s, u"tajne"_s, u"Novák Jan"_s, u"JN"_s}});
    }
    QFile ini(store.Directory() + u"/Prodejna.ini"_s);
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[Prodejna]\nLoginForm=1\nAliasName=Tolmek\n");
    ini.close();
    for (const auto& [password, ends] : {std::pair{u"spatne"_s, true}, std::pair{u" TAJNE "_s, false}}) {
        TMessageRecorder told;
        TData data(store.Directory());
        data.LoginDialog = [](QString& n, QString& p) { return TLoginForm::Execute(n, p); };
        OnNextModal([password](QWidget* w) {
            ASSERT_TRUE(WaitActive(w));
            Type(u"novak"_s);
            Press(Qt::Key_Tab);
            Type(password);
            QTest::mouseClick(static_cast<TLoginForm*>(w)->OkButton(), Qt::LeftButton);
        });
        data.DataModuleCreate();
        EXPECT_EQ(data.Terminated(), ends);
        EXPECT_EQ(told.messages, ends ? QStringList{u"Neplatné heslo !!!"_s} : QStringList());
        EXPECT_EQ(data.UzivatelIni, ends ? QString() : u"JN"_s);
    }
}

// ---------------------------------------------------------------------------------------------------
// Pass register

class PassRegisterTest : public StoreTest {
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        if (!store)
            return;
        data = MakeData(*store);
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

    void AddPass(const QString& kod, const QString& jme, double poc = 0, double cer = 0)
    {
        TTable& t = *data->ffLegHla;
        const bool wasOpen = t.Active();
        t.Open();
        t.Append();
        t.FieldByName(u"LEG_KOD"_s).SetAsString(kod);
        t.FieldByName(u"LEG_JME"_s).SetAsString(jme);
        t.FieldByName(u"LEG_ODD"_s).SetAsDateTime(QDate(2025, 1, 2).startOfDay());
        t.FieldByName(u"LEG_DOD"_s).SetAsDateTime(QDate(2025, 12, 31).startOfDay());
        t.FieldByName(u"LEG_POC"_s).SetAsFloat(poc);
        t.FieldByName(u"LEG_CER"_s).SetAsFloat(cer);
        t.Post();
        if (!wasOpen)
            t.Close();
    }

    void AddMovement(int ide, double amount)
    {
        TTable& t = *data->ffLegPol;
        t.Open();
        t.Append();
        t.FieldByName(u"LEP_IDM"_s).SetAsInteger(ide);
        t.FieldByName(u"LEP_KUS"_s).SetAsFloat(1);
        t.FieldByName(u"LEP_PC1"_s).SetAsFloat(amount);
        t.FieldByName(u"LEP_KOE"_s).SetAsFloat(1);
        t.Post();
        t.Close();
    }

    int MovementCount()
    {
        TTable& t = *data->ffLegPol;
        t.Open();
        const int n = t.RecordCount();
        t.Close();
        return n;
    }

    void Open()
    {
        window = std::make_unique<THlavni>(*data);
        ASSERT_TRUE(ShowAndActivate(window.get()));
        ProcessEvents();
    }

    TTable& Leg() { return *data->ffLegHla; }
    QString Field(const QString& name) { return Leg().FieldByName(name).AsString(); }
    QString GridText(int column) const
    {
        return window->Grid()->model()->index(window->Grid()->currentIndex().row(), column).data().toString();
    }

    std::unique_ptr<TData> data;
    std::unique_ptr<THlavni> window;
};

TEST_P(PassRegisterTest, MainWindowLayout)
{
    AddPass(u"P001"_s, u"Novák Jan"_s, 1000, 1250);
    Open();
    EXPECT_EQ(window->windowTitle(), u"Přehled legitimací Velmira 1.04"_s);
    EXPECT_EQ(window->width(), 629);
    EXPECT_EQ(window->height() - window->menuBar()->height(), 434);
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(data->AnchorTop, window->y());
    EXPECT_EQ(data->AnchorLeft, window->x());
    EXPECT_EQ(window->focusWidget(), window->Grid());

    QAbstractItemModel* m = window->Grid()->model();
    QStringList titles;
    for (int c = 0; c < m->columnCount(); ++c)
        titles << m->headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(titles, (QStringList{u"Číslo leg."_s, u"Vystavena"_s, u"Platna do"_s, u"Vlastník"_s, u"Vklad"_s,
                                   u"Čerpání"_s, u"Zůstatek"_s}));
    EXPECT_EQ(window->Grid()->columnWidth(1), 74);
    EXPECT_EQ(window->Grid()->columnWidth(2), 77);
    EXPECT_EQ(GridText(1), u"02.01.2025"_s);
    EXPECT_EQ(GridText(4), u"1\u00a0000,00"_s);
    EXPECT_EQ(GridText(6), u"-250,00"_s);
    EXPECT_EQ(window->Grid()->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(window->Grid()->editTriggers(), QAbstractItemView::NoEditTriggers);

    QStringList buttons;
    for (QPushButton* b :
         {window->SearchButton(), window->AccountButton(), window->EditButton(), window->NewButton()}) {
        buttons << b->text();
        EXPECT_EQ(b->focusPolicy(), Qt::NoFocus);
    }
    EXPECT_EQ(buttons, (QStringList{u"F5 Hledej"_s, u"F10 Obrat"_s, u"F4 Oprava"_s, u"F2 nový"_s}));
    QStringList menu;
    for (QAction* a : window->menuBar()->actions())
        menu << a->text();
    EXPECT_EQ(menu, (QStringList{u"Přehledy"_s, u"Konec"_s}));
    EXPECT_EQ(window->ReceiptsAction()->text(), u"Přehled účtenek"_s);
    EXPECT_TRUE(window->StatusBar()->Text().isEmpty());

    // F10 opens the account of the pass (closed again here with Esc) and leaves the movements table
    // closed.
    OnNextModal([](QWidget* w) {
        ASSERT_TRUE(WaitActive(w));
        EXPECT_EQ(w->windowTitle(), u"Přehled obratů na účtu"_s);
        Press(Qt::Key_Escape);
    });
    Press(Qt::Key_F10);
    EXPECT_FALSE(data->ffLegPol->Active());
    EXPECT_EQ(window->focusWidget(), window->Grid());

    // "Konec" closes the window and the passes table.
    window->EndAction()->trigger();
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(Leg().Active());
}

TEST_P(PassRegisterTest, NewPassGetsItsDefaults)
{
    AddPass(u"P001"_s, u"Novák Jan"_s);
    Open();
    // Dated with the data module's clock: the last second of a year.
    const QDate today(2026, 12, 31);
    data->Clock = [today] { return QDateTime(today, QTime(23, 59, 59)); };
    OnNextModal([this, today](QWidget* w) {
        auto* dlg = qobject_cast<TLegHlaEdit*>(w);
        ASSERT_NE(dlg, nullptr);
        ASSERT_TRUE(WaitActive(dlg));
        EXPECT_EQ(dlg->windowTitle(), u"Editace údajů legitimace"_s);
        EXPECT_EQ(dlg->pos(), window->pos() + QPoint(100, 40));
        EXPECT_EQ(QApplication::focusWidget(), static_cast<QWidget*>(dlg->KodEdit()))
            << FocusName().toStdString();
        EXPECT_EQ(dlg->DodEdit()->text(), u"31.12.%1"_s.arg(today.year()));
        EXPECT_EQ(Leg().State(), TDataSetState::Insert);
        Type(u"P002"_s);
        Press(Qt::Key_Return);
        EXPECT_EQ(QApplication::focusWidget(), static_cast<QWidget*>(dlg->JmeEdit()));
        Type(u"Dvořák Petr"_s);
        Press(Qt::Key_Return);
        EXPECT_EQ(QApplication::focusWidget(), static_cast<QWidget*>(dlg->DodEdit()));
        Press(Qt::Key_Return);
        EXPECT_EQ(QApplication::focusWidget(), dlg->StornoButton());
        QTest::mouseClick(dlg->ZapisButton(), Qt::LeftButton);
    });
    Press(Qt::Key_F2);
    ProcessEvents();
    EXPECT_EQ(Leg().State(), TDataSetState::Browse);
    EXPECT_EQ(Field(u"LEG_KOD"_s), u"P002"_s);
    EXPECT_EQ(Field(u"LEG_JME"_s), u"Dvořák Petr"_s);
    EXPECT_EQ(Leg().FieldByName(u"LEG_ODD"_s).AsDateTime(), today.startOfDay());
    EXPECT_EQ(Leg().FieldByName(u"LEG_DOD"_s).AsDate(), QDate(today.year(), 12, 31));
    EXPECT_EQ(Leg().FieldByName(u"LEG_POC"_s).AsFloat(), 0.0);
    EXPECT_EQ(Leg().FieldByName(u"LEG_CER"_s).AsFloat(), 0.0);
    EXPECT_EQ(Leg().FieldByName(u"LEG_ZUS"_s).DisplayText(), u"0,00"_s);
    EXPECT_GT(Leg().FieldByName(u"LEG_IDE"_s).AsInteger(), 0);
    EXPECT_EQ(window->Grid()->model()->rowCount(), 2);
    EXPECT_EQ(GridText(0), u"P002"_s);
    EXPECT_EQ(window->focusWidget(), window->Grid());

    // The button does the same; Storno leaves nothing behind.
    OnNextModal([](QWidget* w) {
        ASSERT_TRUE(WaitActive(w));
        Type(u"P003"_s);
        QTest::mouseClick(static_cast<TLegHlaEdit*>(w)->StornoButton(), Qt::LeftButton);
    });
    QTest::mouseClick(window->NewButton(), Qt::LeftButton);
    EXPECT_EQ(Leg().State(), TDataSetState::Browse);
    EXPECT_EQ(Leg().RecordCount(), 2);
    EXPECT_EQ(window->focusWidget(), window->Grid());
}

TEST_P(PassRegisterTest, BlankNumberIsRefused)
{
    Open();
    TMessageRecorder told;
    OnNextModal([this](QWidget* w) {
        auto* dlg = static_cast<TLegHlaEdit*>(w);
        ASSERT_TRUE(WaitActive(dlg));
        Type(u"   "_s);
        Press(Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), static_cast<QWidget*>(dlg->KodEdit()));
        Press(Qt::Key_Return);
        EXPECT_EQ(QApplication::focusWidget(), static_cast<QWidget*>(dlg->KodEdit()));
        QTest::mouseClick(dlg->ZapisButton(), Qt::LeftButton);
        ProcessEvents();
        EXPECT_TRUE(dlg->isVisible()) << "a pass without a number is not written";
        EXPECT_EQ(Leg().State(), TDataSetState::Insert);
        // Text that the date field cannot take is refused as well, with the field's message.
        dlg->KodEdit()->setFocus();
        Type(u"P9"_s);
        Press(Qt::Key_Tab);
        Press(Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), static_cast<QWidget*>(dlg->DodEdit()));
        dlg->DodEdit()->selectAll();
        Type(u"31.02.2026"_s);
        Press(Qt::Key_Tab);
        ProcessEvents();
        EXPECT_EQ(QApplication::focusWidget(), static_cast<QWidget*>(dlg->DodEdit()));
        Press(Qt::Key_Escape);
    });
    Press(Qt::Key_F2);
    ProcessEvents();
    EXPECT_EQ(Leg().State(), TDataSetState::Browse);
    EXPECT_EQ(Leg().RecordCount(), 0);
    EXPECT_EQ(told.messages.size(), 1) << told.messages.join(u" | "_s).toStdString();
}

// Storno and Esc give up the new pass whatever its number holds; the number check does not hold them.
TEST_P(PassRegisterTest, StornoAndEscCancelAlsoWithoutANumber)
{
    Open();
    TMessageRecorder told;
    struct Case {
        const char* what;
        const char16_t* typed;
        bool esc;
    };
    const Case cases[] = {
        {"Storno, number empty", u"", false},
        {"Storno, number blank", u"   ", false},
        {"Esc, number empty", u"", true},
        {"Storno, number given", u"P7", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        bool closed = false;
        OnNextModal([&](QWidget* w) {
            auto* dlg = static_cast<TLegHlaEdit*>(w);
            ASSERT_TRUE(WaitActive(dlg));
            ASSERT_EQ(QApplication::focusWidget(), static_cast<QWidget*>(dlg->KodEdit()));
            Type(QString::fromUtf16(c.typed));
            if (c.esc)
                Press(Qt::Key_Escape);
            else
                QTest::mouseClick(dlg->StornoButton(), Qt::LeftButton);
            ProcessEvents();
            closed = !dlg->isVisible();
            if (!closed)
                dlg->reject();
        });
        Press(Qt::Key_F2);
        ProcessEvents();
        EXPECT_TRUE(closed);
        EXPECT_EQ(Leg().State(), TDataSetState::Browse);
        EXPECT_EQ(Leg().RecordCount(), 0);
    }
    EXPECT_TRUE(told.messages.isEmpty()) << told.messages.join(u" | "_s).toStdString();
}

// The expiry date takes the short form that the field's own completion writes ("dd.mm.yy").
TEST_P(PassRegisterTest, ExpiryDateTakesATwoDigitYear)
{
    Open();
    TMessageRecorder told;
    OnNextModal([](QWidget* w) {
        auto* dlg = static_cast<TLegHlaEdit*>(w);
        ASSERT_TRUE(WaitActive(dlg));
        Type(u"P8"_s);
        Press(Qt::Key_Tab);
        Press(Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), static_cast<QWidget*>(dlg->DodEdit()));
        dlg->DodEdit()->selectAll();
        Type(u"30.06.27"_s);
        Press(Qt::Key_Tab);
        ProcessEvents();
        EXPECT_EQ(QApplication::focusWidget(), dlg->StornoButton()) << FocusName().toStdString();
        QTest::mouseClick(dlg->ZapisButton(), Qt::LeftButton);
    });
    Press(Qt::Key_F2);
    ProcessEvents();
    EXPECT_TRUE(told.messages.isEmpty()) << told.messages.join(u" | "_s).toStdString();
    EXPECT_EQ(Leg().State(), TDataSetState::Browse);
    EXPECT_EQ(Field(u"LEG_KOD"_s), u"P8"_s);
    EXPECT_EQ(Leg().FieldByName(u"LEG_DOD"_s).AsDate(), QDate(2027, 6, 30));
}

TEST_P(PassRegisterTest, CorrectAPass)
{
    // F4 on an empty register starts a blank record without the defaults of a new pass.
    Open();
    OnNextModal([this](QWidget* w) {
        auto* dlg = static_cast<TLegHlaEdit*>(w);
        ASSERT_TRUE(WaitActive(dlg));
        EXPECT_EQ(Leg().State(), TDataSetState::Insert);
        EXPECT_TRUE(dlg->DodEdit()->text().trimmed().isEmpty() || dlg->DodEdit()->Date().isNull());
        EXPECT_TRUE(Leg().FieldByName(u"LEG_ODD"_s).IsNull());
        Press(Qt::Key_Escape);
    });
    Press(Qt::Key_F4);
    EXPECT_EQ(Leg().RecordCount(), 0);
    window->close();
    window.reset();

    AddPass(u"P001"_s, u"Novák Jan"_s, 500);
    AddPass(u"P002"_s, u"Dvořák Petr"_s);
    Open();
    Press(Qt::Key_Down);
    ProcessEvents();
    ASSERT_EQ(Field(u"LEG_KOD"_s), u"P002"_s);
    OnNextModal([](QWidget* w) {
        auto* dlg = static_cast<TLegHlaEdit*>(w);
        ASSERT_TRUE(WaitActive(dlg));
        EXPECT_EQ(dlg->KodEdit()->text(), u"P002"_s);
        Press(Qt::Key_Tab);
        Type(u"Dvořáková Jana"_s);
        QTest::mouseClick(dlg->StornoButton(), Qt::LeftButton);
    });
    Press(Qt::Key_F4);
    EXPECT_EQ(Field(u"LEG_JME"_s), u"Dvořák Petr"_s);
    OnNextModal([](QWidget* w) {
        auto* dlg = static_cast<TLegHlaEdit*>(w);
        ASSERT_TRUE(WaitActive(dlg));
        Press(Qt::Key_Tab);
        Type(u"Dvořáková Jana"_s);
        Press(Qt::Key_Tab);
        QTest::mouseClick(dlg->ZapisButton(), Qt::LeftButton);
    });
    QTest::mouseClick(window->EditButton(), Qt::LeftButton);
    ProcessEvents();
    EXPECT_EQ(Leg().State(), TDataSetState::Browse);
    EXPECT_EQ(Field(u"LEG_JME"_s), u"Dvořáková Jana"_s);
    EXPECT_EQ(Field(u"LEG_KOD"_s), u"P002"_s);
    EXPECT_EQ(GridText(3), u"Dvořáková Jana"_s);
    EXPECT_EQ(Leg().RecordCount(), 2);
}

TEST_P(PassRegisterTest, FailedPostKeepsTheRecordInEdit)
{
    AddPass(u"P001"_s, u"Novák Jan"_s);
    // The store refuses one holder's name, as a server refuses a row it cannot take.
    const QString table = TDatabase::TableSql(u"LEG0001"_s);
    const QString jme = TDatabase::Quote(u"LEG_JME"_s);
    if (store->Kind() == TStoreKind::Sqlite) {
        store->Db().ExecDirect(u"CREATE TRIGGER leg_refuse BEFORE INSERT ON "_s + table + u" WHEN NEW."_s +
                               jme + u" = 'Chyba' BEGIN SELECT RAISE(ABORT, 'vklad odmitnut'); END"_s);
    } else {
        store->Db().ExecDirect(
            u"CREATE FUNCTION leg_refuse() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
            u"IF NEW.\"LEG_JME\" = 'Chyba' THEN RAISE EXCEPTION 'vklad odmitnut'; END IF; "
            u"RETURN NEW; END $$"_s);
        store->Db().ExecDirect(u"CREATE TRIGGER leg_refuse BEFORE INSERT ON "_s + table +
                               u" FOR EACH ROW EXECUTE FUNCTION leg_refuse()"_s);
    }
    Open();
    TMessageRecorder told;
    OnNextModal([&](QWidget* w) {
        auto* dlg = static_cast<TLegHlaEdit*>(w);
        ASSERT_TRUE(WaitActive(dlg));
        Type(u"P002"_s);
        Press(Qt::Key_Tab);
        Type(u"Chyba"_s);
        Press(Qt::Key_Tab);
        OnNextModal([this, &told, dlg](QWidget* again) {
            // The dialog is back with the record still in insert, as the operator left it.
            ASSERT_TRUE(WaitActive(again));
            ASSERT_EQ(again, dlg) << again->metaObject()->className() << " "
                                  << again->windowTitle().toStdString();
            EXPECT_EQ(told.messages.size(), 1);
            EXPECT_EQ(Leg().State(), TDataSetState::Insert);
            EXPECT_EQ(Field(u"LEG_KOD"_s), u"P002"_s);
            EXPECT_EQ(dlg->JmeEdit()->text(), u"Chyba"_s);
            dlg->JmeEdit()->setFocus();
            dlg->JmeEdit()->selectAll();
            Type(u"Svoboda Karel"_s);
            QTest::mouseClick(dlg->ZapisButton(), Qt::LeftButton);
        });
        QTest::mouseClick(dlg->ZapisButton(), Qt::LeftButton);
    });
    Press(Qt::Key_F2);
    ProcessEvents();
    ASSERT_EQ(told.messages.size(), 1);
    EXPECT_TRUE(told.messages[0].contains(u"vklad odmitnut"_s)) << told.messages[0].toStdString();
    EXPECT_EQ(Leg().State(), TDataSetState::Browse);
    EXPECT_EQ(Leg().RecordCount(), 2);
    EXPECT_EQ(Field(u"LEG_JME"_s), u"Svoboda Karel"_s);
    EXPECT_FALSE(Leg().Locate(u"LEG_JME"_s, {u"Chyba"_s}));
}

TEST_P(PassRegisterTest, SearchByHolderAndByNumber)
{
    AddPass(u"P003"_s, u"Černý Adam"_s);
    AddPass(u"P001"_s, u"Novák Jan"_s);
    AddPass(u"P002"_s, u"Dvořák Petr"_s);
    AddPass(u" P000"_s, u"Zeman Ota"_s);
    Open();

    struct Step {
        bool byHolder;
        QString text;
        QString expectKod;
    };
    const QList<Step> steps = {
        {true, u"   Nov"_s, u"P001"_s},      // blanks before a holder do not count
        {true, u"  Dvořák  "_s, u"P002"_s},  // blanks around a holder do not count
        {true, u"Č"_s, u"P003"_s},           // Czech order: Č after C
        {false, u"P002  "_s, u"P002"_s},     // trailing blanks do not count
        {false, u" P"_s, u" P000"_s},        // leading blanks do
        {false, u"P0015"_s, u"P002"_s},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.text.toStdString());
        OnNextModal([&step, this](QWidget* w) {
            auto* dlg = qobject_cast<TLegHle*>(w);
            ASSERT_NE(dlg, nullptr);
            ASSERT_TRUE(WaitActive(dlg));
            EXPECT_EQ(dlg->windowTitle(), u"Hledej položku databáze"_s);
            EXPECT_TRUE(dlg->TextEdit()->text().isEmpty());
            EXPECT_FALSE(dlg->HledejButton()->isEnabled());
            EXPECT_TRUE(dlg->CisloOption()->isChecked());
            EXPECT_EQ(QApplication::focusWidget(), dlg->CisloOption());
            EXPECT_LE((dlg->geometry().center() - window->geometry().center()).manhattanLength(), 2);
            if (step.byHolder)
                QTest::mouseClick(dlg->JmenoOption(), Qt::LeftButton);
            Press(Qt::Key_Return);
            EXPECT_EQ(QApplication::focusWidget(), static_cast<QWidget*>(dlg->TextEdit()));
            Type(step.text);
            EXPECT_TRUE(dlg->HledejButton()->isEnabled());
            QTest::mouseClick(dlg->HledejButton(), Qt::LeftButton);
        });
        Press(Qt::Key_F5);
        ProcessEvents();
        EXPECT_EQ(Leg().IndexName(), step.byHolder ? u"JME"_s : u"KOD"_s);
        EXPECT_EQ(Field(u"LEG_KOD"_s), step.expectKod);
        EXPECT_EQ(GridText(0), Field(u"LEG_KOD"_s));
        EXPECT_EQ(window->focusWidget(), window->Grid());
    }
    // After a holder search the list is in holder order until a number search.
    OnNextModal([](QWidget* w) {
        auto* dlg = static_cast<TLegHle*>(w);
        ASSERT_TRUE(WaitActive(dlg));
        QTest::mouseClick(dlg->JmenoOption(), Qt::LeftButton);
        dlg->TextEdit()->setFocus();
        Type(u"A"_s);
        QTest::mouseClick(dlg->HledejButton(), Qt::LeftButton);
    });
    Press(Qt::Key_F5);
    ProcessEvents();
    QStringList holders;
    for (int r = 0; r < window->Grid()->model()->rowCount(); ++r)
        holders << window->Grid()->model()->index(r, 3).data().toString();
    EXPECT_EQ(holders, (QStringList{u"Černý Adam"_s, u"Dvořák Petr"_s, u"Novák Jan"_s, u"Zeman Ota"_s}));

    // Esc and Storno search nothing.
    const QString before = Field(u"LEG_KOD"_s);
    OnNextModal([](QWidget* w) {
        ASSERT_TRUE(WaitActive(w));
        Press(Qt::Key_Escape);
    });
    Press(Qt::Key_F5);
    OnNextModal([](QWidget* w) {
        ASSERT_TRUE(WaitActive(w));
        Type(u"x"_s);
        QTest::mouseClick(static_cast<TLegHle*>(w)->StornoButton(), Qt::LeftButton);
    });
    QTest::mouseClick(window->SearchButton(), Qt::LeftButton);
    EXPECT_EQ(Field(u"LEG_KOD"_s), before);
    EXPECT_EQ(Leg().IndexName(), u"JME"_s);
}

TEST_P(PassRegisterTest, DeletingAPassKeepsItsMovements)
{
    AddPass(u"P001"_s, u"Novák Jan"_s, 300);
    AddPass(u"P002"_s, u"Dvořák Petr"_s);
    Leg().Open();
    ASSERT_TRUE(Leg().Locate(u"LEG_KOD"_s, {u"P001"_s}));
    const int ide = Leg().FieldByName(u"LEG_IDE"_s).AsInteger();
    Leg().Close();
    AddMovement(ide, 100);
    AddMovement(ide, 200);
    Open();
    ASSERT_EQ(Field(u"LEG_KOD"_s), u"P001"_s);
    {
        TMessageRecorder no(false);
        Press(Qt::Key_Delete, Qt::ControlModifier);
        EXPECT_EQ(no.messages, QStringList{u"Delete record?"_s});
    }
    EXPECT_EQ(Leg().RecordCount(), 2);
    TMessageRecorder yes(true);
    Press(Qt::Key_Delete, Qt::ControlModifier);
    ProcessEvents();
    EXPECT_EQ(yes.messages, QStringList{u"Delete record?"_s});
    EXPECT_EQ(Leg().RecordCount(), 1);
    EXPECT_EQ(Field(u"LEG_KOD"_s), u"P002"_s);
    EXPECT_EQ(window->Grid()->model()->rowCount(), 1);
    EXPECT_EQ(GridText(0), u"P002"_s);
    EXPECT_EQ(MovementCount(), 2);
}

KV_INSTANTIATE_STORES(PassRegisterTest);

}  // namespace
