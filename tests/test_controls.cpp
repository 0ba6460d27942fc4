// Entry controls: date and time completion, number normalisation and the character filters as tables
// of cases; then the fields driven with real keys and clicks in a small dialog, unbound and bound to a
// table (the in-memory table and both stores).
#include "ComboBoxVarno.h"
#include "DBEditVarno.h"
#include "DataSource.h"
#include "EditVarno.h"
#include "MemTable.h"
#include "OrmandDBDateEdit.h"
#include "TestSupport.h"
#include "VarnoLogic.h"
#include "WindowTestSupport.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCalendarWidget>
#include <QClipboard>
#include <QDialog>
#include <QLocale>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

const QDateTime kNow(QDate(2026, 12, 8), QTime(14, 5, 9));
const QString kBadFormat = u" Chybný formát dat "_s;

TRegional Czech()
{
    return TRegional::From(QLocale(QLocale::Czech, QLocale::Czechia));
}

TRegional English()
{
    return TRegional::From(QLocale(QLocale::English, QLocale::UnitedStates));
}

// ---------------------------------------------------------------------------------------------------
// Completion, checks and filters.

struct CompletionCase {
    QString typed;
    QString expected;
    bool ok;
};

TEST(Completion, DatesOnEighthDecember2026)
{
    const TRegional r = Czech();
    const QList<CompletionCase> cases = {
        {u"8"_s, u"8.12.2026"_s, true},
        {u"8."_s, u"8.12.2026"_s, true},
        {u"8.3"_s, u"8.3.2026"_s, true},
        {u"8.3."_s, u"8.3.2026"_s, true},
        {u"/"_s, u"08.12.2026"_s, true},
        {u"081226"_s, u"08.12.26"_s, true},
        {u"8..3"_s, u""_s, false},
        {u"123"_s, u""_s, false},
        {u"8.12.26"_s, u"8.12.26"_s, true},
        {u" 8 "_s, u"8.12.2026"_s, true},
        // Any separator-like character stands for the date separator, the first two of them.
        {u"8,3"_s, u"8.3.2026"_s, true},
        {u"8-3-2026"_s, u"8.3.2026"_s, true},
        {u"8/3/26"_s, u"8.3.26"_s, true},
        {u"8:3"_s, u"8.3.2026"_s, true},
        {u"15"_s, u"15.12.2026"_s, true},
        // Letters are refused; a long text is cut to the date's ten characters.
        {u"8a"_s, u""_s, false},
        {u"8.3a"_s, u""_s, false},
        {u"8.3.2x"_s, u""_s, false},
        {u"1234"_s, u""_s, false},
        {u"12.12.2026 10:00"_s, u"12.12.2026"_s, true},
        {u""_s, u""_s, true},
    };
    for (const CompletionCase& c : cases) {
        const TCompletion got = CompleteDate(c.typed, kNow.date(), r);
        EXPECT_EQ(got.text, c.expected) << c.typed.toStdString();
        EXPECT_EQ(got.ok, c.ok) << c.typed.toStdString();
    }
}

TEST(Completion, TimesAtFivePastTwo)
{
    const TRegional r = Czech();
    const QList<CompletionCase> cases = {
        {u"9"_s, u"9:05:09"_s, true},       {u"9:30"_s, u"9:30:09"_s, true},
        {u"9:30:"_s, u"9:30:09"_s, true},   {u"9."_s, u"9:05:09"_s, true},
        {u"9.30.15"_s, u"9:30:15"_s, true}, {u"093015"_s, u"09:30:15"_s, true},
        {u":"_s, u"14:05:09"_s, true},      {u"9::30"_s, u""_s, false},
        {u"12345"_s, u""_s, false},         {u"10:20:30:40"_s, u"10:20:30"_s, true},
    };
    for (const CompletionCase& c : cases) {
        const TCompletion got = CompleteTime(c.typed, kNow.time(), r);
        EXPECT_EQ(got.text, c.expected) << c.typed.toStdString();
        EXPECT_EQ(got.ok, c.ok) << c.typed.toStdString();
    }
}

struct CheckCase {
    TKindSettings kind;
    QString text;
    QString expected;
    bool ok;
};

TKindSettings Kind(TEditType type, int precision = 0, int digits = 0, const QString& blank = QString())
{
    TKindSettings s;
    s.type = type;
    s.floatPrecision = precision;
    s.floatDigits = digits;
    s.blankDate = blank;
    s.blankTime = blank;
    return s;
}

TEST(TextCheck, ValidatedFieldOnACzechStation)
{
    const TRegional r = Czech();
    const TKindSettings money = Kind(TEditType::Float, 10, 2);
    const QList<CheckCase> cases = {
        {Kind(TEditType::String), u"12,5 Kč"_s, u"12,5 Kč"_s, true},
        {Kind(TEditType::Integer), u"12"_s, u"12"_s, true},
        {Kind(TEditType::Integer), u"-7"_s, u"-7"_s, true},
        {Kind(TEditType::Integer), u""_s, u""_s, true},
        {Kind(TEditType::Integer), u"12,5"_s, u"12,5"_s, false},
        {Kind(TEditType::Integer), u"99999999999"_s, u"99999999999"_s, false},
        // Numbers: the regional format only, rounded half away from zero.
        {money, u"12,5"_s, u"12,50"_s, true},
        {money, u"12.5"_s, u"12.5"_s, false},
        {money, u"1e2"_s, u"100,00"_s, true},
        {money, u"12,345"_s, u"12,35"_s, true},
        {money, u"-12,344"_s, u"-12,34"_s, true},
        {money, u"-0,001"_s, u"0,00"_s, true},
        {money, u""_s, u""_s, true},
        {money, u"abc"_s, u"abc"_s, false},
        {Kind(TEditType::Float, 3, 2), u"12,345"_s, u"12,30"_s, true},
        {Kind(TEditType::Float, 4, 0), u"2,5"_s, u"3"_s, true},
        {Kind(TEditType::Float, 3, 0), u"1234"_s, u"1,23E+03"_s, true},
        {Kind(TEditType::Float, 0, 2), u"abc"_s, u"abc"_s, true},  // precision 0: no number check
        // Dates and times are completed first; the completed text stays.
        {Kind(TEditType::Date), u"8"_s, u"8.12.2026"_s, true},
        {Kind(TEditType::Date), u"081226"_s, u"08.12.26"_s, true},
        {Kind(TEditType::Date), u"31.2"_s, u"31.2.2026"_s, false},
        {Kind(TEditType::Date), u"8..3"_s, u"8..3"_s, false},  // what was typed stays to be corrected
        {Kind(TEditType::Date, 0, 0, u"  .  .    "_s), u""_s, u"  .  .    "_s, true},
        {Kind(TEditType::Date, 0, 0, u"  .  .    "_s), u"  .  .    "_s, u"  .  .    "_s, true},
        {Kind(TEditType::Time), u"9"_s, u"9:05:09"_s, true},
        {Kind(TEditType::Time), u"25"_s, u"25:05:09"_s, false},
    };
    for (const CheckCase& c : cases) {
        const TCheckResult got = CheckEditVarnoText(c.text, c.kind, kNow, r);
        EXPECT_EQ(got.text, c.expected) << c.text.toStdString();
        EXPECT_EQ(got.ok, c.ok) << c.text.toStdString();
    }

    // A station with a decimal point.
    EXPECT_EQ(CheckEditVarnoText(u"12.5"_s, money, kNow, English()).text, u"12.50"_s);
    EXPECT_FALSE(CheckEditVarnoText(u"12,5"_s, money, kNow, English()).ok);
}

// Rounding to the field's precision can carry a number past the largest double; such a text is
// not a number the field can hold, and "INF" is never a normalised value.
TEST(TextCheck, NumberThatRoundsPastTheLargestDoubleIsRefused)
{
    const TRegional r = Czech();
    const QList<CheckCase> cases = {
        {Kind(TEditType::Float, 15, 2), u"1,7976931348623157e308"_s, u"1,7976931348623157e308"_s, false},
        {Kind(TEditType::Float, 15, 2), u"-1,7976931348623157e308"_s, u"-1,7976931348623157e308"_s, false},
        {Kind(TEditType::Float, 1, 0), u"9,9e307"_s, u"1E+308"_s, true},
        {Kind(TEditType::Float, 15, 2), u"-9,9999999999999999E307"_s, u"-1,00000000000000E+308"_s, true},
        {Kind(TEditType::Float, 17, 0), u"1,7976931348623157e308"_s, u"1,7976931348623157E+308"_s, true},
        {Kind(TEditType::Float, 15, 2), u"1e308"_s, u"1,00000000000000E+308"_s, true},
    };
    for (const CheckCase& c : cases) {
        const TCheckResult got = CheckEditVarnoText(c.text, c.kind, kNow, r);
        EXPECT_FALSE(got.text.contains(u"INF"_s, Qt::CaseInsensitive)) << c.text.toStdString();
        EXPECT_EQ(got.ok, c.ok) << c.text.toStdString() << " -> " << got.text.toStdString();
        if (c.ok) {
            EXPECT_EQ(got.text, c.expected) << c.text.toStdString();
        }
    }
}

TEST(TextCheck, BaseFieldRewritesDatesAndTimesInFull)
{
    const TRegional r = Czech();
    const QList<CheckCase> cases = {
        {Kind(TEditType::Date), u"8.12"_s, u"08.12.2026"_s, true},
        {Kind(TEditType::Date), u"8.12."_s, u"08.12.2026"_s, true},
        {Kind(TEditType::Date), u"8.12.26"_s, u"08.12.2026"_s, true},
        {Kind(TEditType::Date), u"8.12.99"_s, u"08.12.1999"_s, true},
        {Kind(TEditType::Date), u"8"_s, u"8"_s, false},  // no completion here
        {Kind(TEditType::Date), u"31.02.2026"_s, u"31.02.2026"_s, false},
        {Kind(TEditType::Date), u""_s, u""_s, true},
        {Kind(TEditType::Time), u"9:30"_s, u"9:30:00"_s, true},
        {Kind(TEditType::Time), u"9"_s, u"9"_s, false},
        {Kind(TEditType::Float, 10, 2), u"7"_s, u"7,00"_s, true},
    };
    for (const CheckCase& c : cases) {
        const TCheckResult got = CheckVEditText(c.text, c.kind, kNow, r);
        EXPECT_EQ(got.text, c.expected) << c.text.toStdString();
        EXPECT_EQ(got.ok, c.ok) << c.text.toStdString();
    }
}

TEST(CharacterFilter, ValidatedFieldByKind)
{
    struct Case {
        QChar typed;
        TEditType type;
        bool convert;
        TRegional regional;
        std::optional<QChar> expected;
    };
    const TRegional cs = Czech(), en = English();
    const QList<Case> cases = {
        {u'a', TEditType::String, false, cs, u'a'},
        {u',', TEditType::String, true, cs, u','},
        {u'a', TEditType::Integer, false, cs, std::nullopt},
        {u'%', TEditType::Integer, false, cs, std::nullopt},
        {u' ', TEditType::Integer, false, cs, std::nullopt},
        {u'5', TEditType::Integer, false, cs, u'5'},
        {u'+', TEditType::Integer, false, cs, u'+'},
        {u'-', TEditType::Float, false, cs, u'-'},
        {u':', TEditType::Time, false, cs, u':'},
        // A comma or a full stop is the station's decimal separator.
        {u',', TEditType::Integer, false, cs, u','},
        {u'.', TEditType::Float, false, cs, u','},
        {u',', TEditType::Float, true, cs, u','},
        {u'.', TEditType::Date, false, cs, u','},
        {u',', TEditType::Float, false, en, u'.'},
        {u',', TEditType::Float, true, en, u'.'},
        {u'e', TEditType::Float, false, cs, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FilterEditVarnoChar(c.typed, c.type, c.convert, c.regional), c.expected)
            << QString(c.typed).toStdString() << " kind " << int(c.type);

    // The base field only converts the comma, and only with the conversion on.
    EXPECT_EQ(ConvertDecimalSymbolChar(u',', TEditType::Float, true), u'.');
    EXPECT_EQ(ConvertDecimalSymbolChar(u',', TEditType::Date, true), u'.');
    EXPECT_EQ(ConvertDecimalSymbolChar(u',', TEditType::Integer, true), u',');
    EXPECT_EQ(ConvertDecimalSymbolChar(u',', TEditType::Float, false), u',');
}

TEST(CharacterFilter, BoundFieldByFieldType)
{
    struct Case {
        QChar typed;
        TFieldType type;
        bool floatEntry;
        std::optional<QChar> expected;
    };
    const QList<Case> cases = {
        {u'.', TFieldType::Float, false, u','},           {u',', TFieldType::Float, false, u','},
        {u'e', TFieldType::Float, false, u'e'},           {u'E', TFieldType::Float, false, u'E'},
        {u'-', TFieldType::Float, false, u'-'},           {u'x', TFieldType::Float, false, std::nullopt},
        {u' ', TFieldType::Float, false, std::nullopt},   {u'7', TFieldType::Integer, false, u'7'},
        {u',', TFieldType::Integer, false, std::nullopt}, {u'e', TFieldType::AutoInc, false, std::nullopt},
        {u'.', TFieldType::String, true, u','},           {u'.', TFieldType::String, false, u'.'},
        {u'x', TFieldType::String, false, u'x'},          {u'x', TFieldType::DateTime, false, u'x'},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FilterDBEditChar(c.typed, c.type, c.floatEntry, Czech()), c.expected)
            << QString(c.typed).toStdString() << " field type " << int(c.type);
}

// ---------------------------------------------------------------------------------------------------
// The fields in a dialog.

// A record set for the bound fields.
const TTableDef& TestDef()
{
    static const TTableDef def = [] {
        TTableDef t{u"TST"_s, u"TST"_s, u"ffTest"_s, {}, {}};
        const auto field = [](const QString& name, TFieldType type, int size = 0) {
            TFieldDef f;
            f.name = name;
            f.type = type;
            f.size = size;
            return f;
        };
        TFieldDef dat = field(u"TST_DAT"_s, TFieldType::DateTime);
        dat.displayFormat = u"dd.mm.yyyy"_s;
        TFieldDef poc = field(u"TST_POC"_s, TFieldType::Float);
        poc.displayFormat = u"#,##0.00"_s;
        poc.editFormat = u"###0.00"_s;
        t.fields = {field(u"TST_KOD"_s, TFieldType::String, 6), field(u"TST_KUS"_s, TFieldType::Float), dat,
                    poc};
        return t;
    }();
    return def;
}

class ControlsTest : public testing::Test {
protected:
    void SetUp() override
    {
        SetVarnoClock([] { return kNow; });
        dialog = std::make_unique<QDialog>();
        new QVBoxLayout(dialog.get());
    }

    void TearDown() override
    {
        dialog->close();
        dialog.reset();
        QCoreApplication::processEvents();
        SetVarnoClock({});
    }

    // Fields are added in focus order; Show adds "Storno" and the default button "OK" after them.
    template <class W>
    W* Add(W* w, const QString& name)
    {
        w->setObjectName(name);
        dialog->layout()->addWidget(w);
        return w;
    }

    void Show(QWidget* focus)
    {
        if (!cancel) {
            cancel = Add(new QPushButton(u"Storno"_s, dialog.get()), u"Storno"_s);
            ok = Add(new QPushButton(u"OK"_s, dialog.get()), u"OK"_s);
            ok->setDefault(true);
            QObject::connect(cancel, &QPushButton::clicked, dialog.get(), &QDialog::reject);
            QObject::connect(ok, &QPushButton::clicked, dialog.get(), &QDialog::accept);
        }
        dialog->setResult(-1);
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
        focus->setFocus(Qt::OtherFocusReason);
        QCoreApplication::processEvents();
        ASSERT_EQ(QApplication::focusWidget(), focus);
    }

    static QWidget* Focus() { return QApplication::focusWidget(); }
    static QString FocusName() { return Focus() ? Focus()->objectName() : u"(none)"_s; }

    static void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(Focus(), key, modifiers);
        QCoreApplication::processEvents();  // messages are shown once the focus change is over
    }

    static void Type(const QString& text) { TypeInto(Focus(), text); }

    static void Click(QWidget* w)
    {
        QTest::mouseClick(w, Qt::LeftButton);
        QCoreApplication::processEvents();
    }

    TMessageRecorder recorder;
    std::unique_ptr<QDialog> dialog;
    QPushButton* cancel = nullptr;
    QPushButton* ok = nullptr;
};

TEST_F(ControlsTest, IntegerFieldRefusesLettersAndKeepsTheFocusOnABadNumber)
{
    auto* count = Add(new TEditVarno(dialog.get()), u"count"_s);
    auto* next = Add(new TEditVarno(dialog.get()), u"next"_s);
    count->SetEditType(TEditType::Integer);
    QStringList events;
    count->OnExit = [&](QObject*) { events << u"exit"_s; };
    count->OnTabExit = [&](QObject*, TShiftState) { events << u"tab"_s; };
    Show(count);

    Type(u"a%12.5"_s);
    EXPECT_EQ(count->text(), u"12,5"_s);  // letters refused, the full stop is the decimal comma

    Key(Qt::Key_Tab);
    EXPECT_EQ(FocusName(), u"count"_s);
    EXPECT_EQ(recorder.messages, QStringList{kBadFormat});
    EXPECT_FALSE(count->TextValid());
    EXPECT_EQ(count->selectedText(), u"12,5"_s);
    EXPECT_TRUE(events.isEmpty());

    Type(u"125"_s);
    Key(Qt::Key_Tab);
    EXPECT_EQ(Focus(), next);
    EXPECT_EQ(events, (QStringList{u"exit"_s, u"tab"_s}));
    EXPECT_EQ(recorder.messages.size(), 1);

    // Setting the text runs the same check and reports at once.
    count->SetText(u"x"_s);
    EXPECT_EQ(count->text(), u"x"_s);
    EXPECT_FALSE(count->TextValid());
    EXPECT_EQ(recorder.messages.size(), 2);
}

TEST_F(ControlsTest, NumbersAndDatesAreNormalisedOnExit)
{
    auto* price = Add(new TEditVarno(dialog.get()), u"price"_s);
    auto* date = Add(new TEditVarno(dialog.get()), u"date"_s);
    auto* search = Add(new TVEdit(dialog.get()), u"search"_s);
    price->SetEditType(TEditType::Float);
    price->SetFloatPrecision(10);
    price->SetFloatDigits(2);
    date->SetEditType(TEditType::Date);
    search->SetEditType(TEditType::Date);
    Show(price);

    Type(u"12.5"_s);
    Key(Qt::Key_Return);
    EXPECT_EQ(price->text(), u"12,50"_s);
    EXPECT_EQ(Focus(), date);

    Type(u"8.3"_s);
    Key(Qt::Key_Return);
    EXPECT_EQ(date->text(), u"8.3.2026"_s);

    Type(u"8.12"_s);
    Key(Qt::Key_Return);
    EXPECT_EQ(search->text(), u"08.12.2026"_s);
    EXPECT_TRUE(recorder.messages.isEmpty());
}

TEST_F(ControlsTest, EnterAndTabMoveOnAndRaiseTabExitAfterTheExitEvent)
{
    auto* first = Add(new TEditVarno(dialog.get()), u"first"_s);
    auto* base = Add(new TVEdit(dialog.get()), u"base"_s);
    auto* combo = Add(new TComboBoxVarno(dialog.get()), u"combo"_s);
    auto* last = Add(new TEditVarno(dialog.get()), u"last"_s);
    combo->addItems({u"SP 300"_s, u"PDF"_s});
    QStringList log;
    const auto track = [&](auto* w) {
        w->OnExit = [&log](QObject* s) { log << u"exit "_s + s->objectName(); };
        w->OnTabExit = [&log](QObject* s, TShiftState shift) {
            log << u"tab "_s + s->objectName() + (shift & Qt::ShiftModifier ? u" shift"_s : u""_s);
        };
    };
    track(first);
    track(base);
    track(combo);
    track(last);
    Show(first);

    Key(Qt::Key_Return);
    EXPECT_EQ(Focus(), base);
    Key(Qt::Key_Enter);
    EXPECT_EQ(Focus(), combo);
    Key(Qt::Key_Return);
    EXPECT_EQ(Focus(), last);
    Key(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(Focus(), combo);
    EXPECT_TRUE(dialog->isVisible());  // Enter acting as Tab never pressed the default button

    // Left with the mouse: the exit event only.
    QTest::mouseClick(first, Qt::LeftButton);
    EXPECT_EQ(Focus(), first);
    EXPECT_EQ(log,
              (QStringList{u"exit first"_s, u"tab first"_s, u"exit base"_s, u"tab base"_s, u"exit combo"_s,
                           u"tab combo"_s, u"exit last"_s, u"tab last shift"_s, u"exit combo"_s}));
}

TEST_F(ControlsTest, SpaceGoesToItsHandlerInsteadOfTheText)
{
    auto* edit = Add(new TEditVarno(dialog.get()), u"edit"_s);
    auto* plain = Add(new TVEdit(dialog.get()), u"plain"_s);
    auto* combo = Add(new TComboBoxVarno(dialog.get()), u"combo"_s);
    combo->addItems({u"SP 300"_s, u"PDF"_s});
    QStringList spaces;
    edit->OnClickSpace = [&](QObject* s) { spaces << s->objectName(); };
    combo->OnClickSpace = [&](QObject* s) { spaces << s->objectName(); };
    Show(edit);

    Type(u"a b"_s);
    EXPECT_EQ(edit->text(), u"ab"_s);
    Key(Qt::Key_Tab);
    Type(u"a b"_s);
    EXPECT_EQ(plain->text(), u"a b"_s);  // no handler: typed
    Key(Qt::Key_Tab);
    Key(Qt::Key_Space);
    EXPECT_FALSE(combo->view()->isVisible());  // the space did not drop the list down
    EXPECT_EQ(spaces, (QStringList{u"edit"_s, u"combo"_s}));
}

TEST_F(ControlsTest, EnterAndEscReachTheDialogsButtons)
{
    TMemTable table(TestDef());
    table.Open();
    table.Append();
    table.FieldByName(u"TST_KOD"_s).SetAsString(u"100"_s);
    table.Post();
    TDataSource source(&table);

    auto* varno = Add(new TEditVarno(dialog.get()), u"varno"_s);
    auto* base = Add(new TVEdit(dialog.get()), u"base"_s);
    auto* bound = Add(new TDBEditVarno(dialog.get()), u"bound"_s);
    auto* date = Add(new TOrmandDBDateEdit(dialog.get()), u"date"_s);
    varno->SetEditType(TEditType::Integer);
    for (TEditBase* e : std::initializer_list<TEditBase*>{varno, base, date})
        e->SetEnterIsTab(false);
    bound->SetDataSource(&source);
    bound->SetDataField(u"TST_KOD"_s);

    for (TEditBase* e : std::initializer_list<TEditBase*>{varno, base, bound, date}) {
        Show(e);
        Key(Qt::Key_Return);
        EXPECT_FALSE(dialog->isVisible()) << e->objectName().toStdString();
        EXPECT_EQ(dialog->result(), QDialog::Accepted) << e->objectName().toStdString();
        Show(e);
        Key(Qt::Key_Escape);
        EXPECT_FALSE(dialog->isVisible()) << e->objectName().toStdString();
        EXPECT_EQ(dialog->result(), QDialog::Rejected) << e->objectName().toStdString();
    }
    EXPECT_TRUE(varno->text().isEmpty());  // neither key was typed

    // Esc in a bound field first puts the stored value back.
    Show(bound);
    Type(u"999"_s);
    EXPECT_EQ(bound->text(), u"999"_s);
    Key(Qt::Key_Escape);
    EXPECT_EQ(bound->text(), u"100"_s);
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(table.FieldByName(u"TST_KOD"_s).AsString(), u"100"_s);
}

TEST_F(ControlsTest, LookupButtonNeverTakesTheFocusNorValidates)
{
    TMemTable table(TestDef());
    table.Open();
    TDataSource source(&table);
    auto* count = Add(new TEditVarno(dialog.get()), u"count"_s);
    auto* card = Add(new TDBEditVarno(dialog.get()), u"card"_s);
    count->SetEditType(TEditType::Integer);
    count->SetButtonVisible(true);
    card->SetDataSource(&source);
    card->SetDataField(u"TST_KOD"_s);
    card->SetButtonVisible(true);
    int valids = 0;
    card->OnValid = [&](QObject*, QString&, bool& valid) {
        ++valids;
        valid = false;
    };
    QStringList clicks;
    count->OnClickButton = [&](QObject* s) { clicks << s->objectName(); };
    card->OnClickButton = [&](QObject* s) { clicks << s->objectName(); };
    Show(count);

    // The focused field holds a bad number: clicking its button neither leaves nor checks it.
    Type(u"12,5"_s);
    Click(count->EmbeddedButton());
    EXPECT_EQ(Focus(), count);
    // The button of another field works without moving the focus either.
    Click(card->EmbeddedButton());
    EXPECT_EQ(Focus(), count);
    EXPECT_EQ(clicks, (QStringList{u"count"_s, u"card"_s}));
    EXPECT_TRUE(recorder.messages.isEmpty());

    // A bound field refusing its value: its own button still works.
    count->selectAll();
    Type(u"7"_s);
    Click(card);
    EXPECT_EQ(Focus(), card);
    Key(Qt::Key_Tab);
    EXPECT_EQ(Focus(), card);
    EXPECT_EQ(valids, 1);
    Click(card->EmbeddedButton());
    EXPECT_EQ(Focus(), card);
    EXPECT_EQ(valids, 1);
    EXPECT_EQ(clicks.last(), u"card"_s);
}

TEST_F(ControlsTest, ARefusedExitSwallowsTheClickThatTriedToLeave)
{
    auto* count = Add(new TEditVarno(dialog.get()), u"count"_s);
    auto* card = Add(new TDBEditVarno(dialog.get()), u"card"_s);
    count->SetEditType(TEditType::Integer);
    Show(count);

    Type(u"12,5"_s);
    Click(ok);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(Focus(), count);
    EXPECT_EQ(recorder.messages, QStringList{kBadFormat});

    // A modal window (a picker) that came up while the field was being left also takes the click.
    count->selectAll();
    Type(u"12"_s);
    Click(card);
    bool pickerShown = false;
    card->OnValid = [&](QObject*, QString&, bool&) {
        QDialog picker(dialog.get());
        QTimer::singleShot(50, &picker, &QDialog::accept);
        picker.exec();
        pickerShown = true;
    };
    Click(ok);
    ASSERT_TRUE(pickerShown);
    EXPECT_TRUE(dialog->isVisible());

    // A plain exit lets the click through.
    card->OnValid = nullptr;
    Click(card);
    Click(ok);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
}

TEST_F(ControlsTest, BoundFieldRefusedByOnValidKeepsTheFocusAndTheRecord)
{
    TMemTable table(TestDef());
    table.Open();
    table.Append();
    table.FieldByName(u"TST_KOD"_s).SetAsString(u"100"_s);
    table.FieldByName(u"TST_KUS"_s).SetAsFloat(2);
    table.Post();
    TDataSource source(&table);

    auto* code = Add(new TDBEditVarno(dialog.get()), u"code"_s);
    auto* count = Add(new TDBEditVarno(dialog.get()), u"count"_s);
    for (TDBEditVarno* e : {code, count}) {
        e->SetDataSource(&source);
        e->SetEnterIsTab(true);
    }
    code->SetDataField(u"TST_KOD"_s);
    count->SetDataField(u"TST_KUS"_s);
    QStringList seen;
    int errors = 0;
    code->OnValid = [&](QObject*, QString& text, bool& valid) {
        seen << text;
        text = text.trimmed().toUpper();
        valid = !text.isEmpty();
    };
    code->OnError = [&](QObject*) { ++errors; };
    Show(code);
    EXPECT_EQ(code->selectedText(), u"100"_s);
    EXPECT_EQ(table.State(), TDataSetState::Browse);

    // The first change puts the record into edit.
    Key(Qt::Key_Delete);
    EXPECT_EQ(table.State(), TDataSetState::Edit);
    Type(u"  "_s);
    Key(Qt::Key_Return);
    EXPECT_EQ(Focus(), code);
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(table.FieldByName(u"TST_KOD"_s).AsString(), u"100"_s);
    EXPECT_TRUE(recorder.messages.isEmpty());  // no ErrorString: refused silently

    // The handler's text is what goes into the record.
    code->selectAll();
    Type(u"ab7"_s);
    Key(Qt::Key_Return);
    EXPECT_EQ(Focus(), count);
    EXPECT_EQ(seen, (QStringList{u"  "_s, u"ab7"_s}));
    EXPECT_EQ(table.FieldByName(u"TST_KOD"_s).AsString(), u"AB7"_s);
    EXPECT_EQ(code->text(), u"AB7"_s);

    // A float field: a full stop is the decimal comma, letters are refused.
    Type(u"2.5x"_s);
    EXPECT_EQ(count->text(), u"2,5"_s);
    Key(Qt::Key_Return);
    EXPECT_DOUBLE_EQ(table.FieldByName(u"TST_KUS"_s).AsFloat(), 2.5);

    // A text the field cannot take (pasted) is refused with the field's message; nothing is written.
    QApplication::clipboard()->setText(u"abc"_s);
    Click(count);
    count->selectAll();
    Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(count->text(), u"abc"_s);
    Key(Qt::Key_Return);
    EXPECT_EQ(Focus(), count);
    ASSERT_EQ(recorder.messages.size(), 1);
    EXPECT_TRUE(recorder.messages[0].contains(u"'abc' is not a valid floating point value"_s))
        << recorder.messages[0].toStdString();
    EXPECT_DOUBLE_EQ(table.FieldByName(u"TST_KUS"_s).AsFloat(), 2.5);
    EXPECT_EQ(count->selectedText(), u"abc"_s);
}

TEST_F(ControlsTest, ErrorStringAndPendingTextBeforeAPost)
{
    TMemTable table(TestDef());
    table.Open();
    table.Append();
    table.FieldByName(u"TST_KOD"_s).SetAsString(u"100"_s);
    table.Post();
    TDataSource source(&table);
    auto* code = Add(new TDBEditVarno(dialog.get()), u"code"_s);
    Add(new TEditVarno(dialog.get()), u"other"_s);
    code->SetDataSource(&source);
    code->SetDataField(u"TST_KOD"_s);
    code->SetErrorString(u"Neplatný kód"_s);
    code->OnValid = [](QObject*, QString& text, bool& valid) { valid = text != u"X"_s; };
    Show(code);

    Type(u"X"_s);
    Key(Qt::Key_Tab);
    EXPECT_EQ(Focus(), code);
    EXPECT_EQ(recorder.messages, QStringList{u"Neplatný kód"_s});

    // A dialog closed while the field still has the focus: the opener writes its text before posting.
    code->selectAll();
    Type(u"200"_s);
    source.UpdateRecord();
    table.Post();
    EXPECT_EQ(table.FieldByName(u"TST_KOD"_s).AsString(), u"200"_s);
    EXPECT_EQ(Focus(), code);
}

TEST_F(ControlsTest, WhenValidDecidesWhetherOnValidRuns)
{
    struct Case {
        TWhenValid when;
        bool editFirst;
        QString typed;  // empty: leave the field unchanged
        int expectedCalls;
    };
    const QList<Case> cases = {
        {TWhenValid::Always, false, QString(), 1},     {TWhenValid::WhenEditing, false, QString(), 0},
        {TWhenValid::WhenEditing, true, QString(), 1}, {TWhenValid::WhenChanged, false, QString(), 0},
        {TWhenValid::WhenChanged, false, u"7"_s, 1},   {TWhenValid::Never, false, u"8"_s, 0},
    };
    TMemTable table(TestDef());
    table.Open();
    table.Append();
    table.FieldByName(u"TST_KOD"_s).SetAsString(u"100"_s);
    table.Post();
    TDataSource source(&table);
    auto* code = Add(new TDBEditVarno(dialog.get()), u"code"_s);
    auto* other = Add(new TEditVarno(dialog.get()), u"other"_s);
    code->SetDataSource(&source);
    code->SetDataField(u"TST_KOD"_s);
    int calls = 0;
    code->OnValid = [&](QObject*, QString&, bool& valid) {
        ++calls;
        valid = true;
    };
    for (const Case& c : cases) {
        calls = 0;
        if (table.State() != TDataSetState::Browse)
            table.Post();
        if (c.editFirst)
            table.Edit();
        code->SetWhenValid(c.when);
        Show(code);
        if (!c.typed.isEmpty())
            Type(c.typed);
        Key(Qt::Key_Tab);
        EXPECT_EQ(Focus(), other);
        EXPECT_EQ(calls, c.expectedCalls) << int(c.when);
        if (!c.typed.isEmpty()) {
            EXPECT_EQ(table.FieldByName(u"TST_KOD"_s).AsString(), c.typed) << int(c.when);
        }
    }
}

TEST_F(ControlsTest, BoundDateFieldCompletesFromItsBaseMoment)
{
    TMemTable table(TestDef());
    table.Open();
    table.Append();
    TDataSource source(&table);
    auto* now = Add(new TDBEditVarno(dialog.get()), u"now"_s);
    SetVarnoClock([] { return QDateTime(QDate(2027, 1, 20), QTime(9, 0)); });
    auto* created = Add(new TDBEditVarno(dialog.get()), u"created"_s);
    for (TDBEditVarno* e : {now, created}) {
        e->SetDataSource(&source);
        e->SetDataField(u"TST_DAT"_s);
        e->SetEditType(TDBEditType::Date);
        e->SetEnterIsTab(true);
    }
    now->SetDateTimeType(TDateTimeType::Now);
    created->SetDateTimeType(TDateTimeType::User);  // 20 January 2027
    SetVarnoClock([] { return kNow; });
    Show(now);

    Type(u"8"_s);
    Key(Qt::Key_Return);
    EXPECT_EQ(table.FieldByName(u"TST_DAT"_s).AsDate(), QDate(2026, 12, 8));
    EXPECT_EQ(now->text(), u"08.12.2026"_s);

    Type(u"8"_s);
    Key(Qt::Key_Return);
    EXPECT_EQ(table.FieldByName(u"TST_DAT"_s).AsDate(), QDate(2027, 1, 8));

    // A text the completion rejects stays for the operator to correct; the record keeps its date.
    Click(now);
    ASSERT_EQ(Focus(), now) << FocusName().toStdString();
    now->selectAll();
    Type(u"8..3"_s);
    Key(Qt::Key_Return);
    EXPECT_EQ(Focus(), now) << FocusName().toStdString();
    EXPECT_EQ(now->text(), u"8..3"_s);
    EXPECT_EQ(table.FieldByName(u"TST_DAT"_s).AsDate(), QDate(2027, 1, 8));
}

TEST_F(ControlsTest, BoundFieldShowsTheEditTextOnlyWhileFocused)
{
    TMemTable table(TestDef());
    table.Open();
    table.Append();
    table.FieldByName(u"TST_POC"_s).SetAsFloat(1234.5);
    table.Post();
    TDataSource source(&table);
    auto* amount = Add(new TDBEditVarno(dialog.get()), u"amount"_s);
    auto* other = Add(new TEditVarno(dialog.get()), u"other"_s);
    amount->SetDataSource(&source);
    amount->SetDataField(u"TST_POC"_s);
    EXPECT_EQ(amount->text(), u"1\u00a0234,50"_s);
    Show(amount);
    EXPECT_EQ(amount->text(), u"1234,50"_s);
    Key(Qt::Key_Tab);
    EXPECT_EQ(Focus(), other);
    EXPECT_EQ(amount->text(), u"1\u00a0234,50"_s);
    EXPECT_EQ(table.State(), TDataSetState::Browse);  // nothing changed, nothing written

    // Scrolling shows the other record.
    table.Append();
    table.Post();
    EXPECT_EQ(amount->text(), QString());
    table.First();
    EXPECT_EQ(amount->text(), u"1\u00a0234,50"_s);
}

TEST_F(ControlsTest, DateFieldEnterMovesOnButNotWithTheCalendarDown)
{
    TMemTable table(TestDef());
    table.Open();
    table.Append();
    table.FieldByName(u"TST_DAT"_s).SetAsDate(QDate(2026, 3, 15));
    table.Post();
    TDataSource source(&table);
    auto* date = Add(new TOrmandDBDateEdit(dialog.get()), u"date"_s);
    auto* other = Add(new TEditVarno(dialog.get()), u"other"_s);
    date->SetDataSource(&source);
    date->SetDataField(u"TST_DAT"_s);
    QStringList log;
    date->OnExit = [&](QObject*) { log << u"exit"_s; };
    date->OnTabExit = [&](QObject*, TShiftState) { log << u"tab"_s; };
    Show(date);
    EXPECT_EQ(date->text(), u"15.03.2026"_s);

    Key(Qt::Key_Down, Qt::AltModifier);
    ASSERT_TRUE(date->DroppedDown());
    QWidget* calendarKeys = QApplication::activePopupWidget()->focusWidget();
    ASSERT_NE(calendarKeys, nullptr);
    QTest::keyClick(calendarKeys, Qt::Key_Right);
    QTest::keyClick(calendarKeys, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_FALSE(date->DroppedDown());
    EXPECT_EQ(Focus(), date);
    EXPECT_EQ(date->text(), u"16.03.2026"_s);
    EXPECT_TRUE(log.isEmpty());

    Key(Qt::Key_Return);
    EXPECT_EQ(Focus(), other);
    EXPECT_EQ(log, (QStringList{u"exit"_s, u"tab"_s}));
    EXPECT_EQ(table.FieldByName(u"TST_DAT"_s).AsDate(), QDate(2026, 3, 16));
}

TEST_F(ControlsTest, PaintingKeepsTextClearOfTheButton)
{
    auto* edit = Add(new TEditVarno(dialog.get()), u"edit"_s);
    auto* bound = Add(new TDBEditVarno(dialog.get()), u"bound"_s);
    edit->setFixedSize(120, 24);
    edit->SetButtonVisible(true);
    const int frame = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, edit);
    struct Case {
        int width;
        int expected;
    };
    for (const Case c : {Case{20, 20}, Case{5, 15}, Case{500, 120}}) {
        edit->SetButtonWidth(c.width);
        const QRect b = edit->EmbeddedButton()->geometry();
        EXPECT_EQ(b.width(), c.expected) << c.width;
        EXPECT_EQ(b.right(), edit->width() - frame - 1) << c.width;
        EXPECT_EQ(b.top(), frame);
        EXPECT_EQ(b.height(), edit->height() - 2 * frame);
        EXPECT_EQ(edit->textMargins().right(), c.expected + 4) << c.width;
    }
    edit->SetButtonVisible(false);
    EXPECT_TRUE(edit->EmbeddedButton()->isHidden());
    EXPECT_EQ(edit->textMargins().right(), 4);
    EXPECT_EQ(edit->Glyph().size(), QSize(9, 6));

    // Right-aligned while it does not have the focus, left-aligned for editing.
    edit->SetAlignment(Qt::AlignRight);
    edit->setText(u"12"_s);
    EXPECT_TRUE(edit->alignment() & Qt::AlignRight);
    Show(edit);
    EXPECT_TRUE(edit->alignment() & Qt::AlignLeft);
    Key(Qt::Key_Tab);
    EXPECT_TRUE(edit->alignment() & Qt::AlignRight);

    // A disabled bound field is painted on ColorDisable.
    bound->SetColorDisable(Qt::yellow);
    bound->setEnabled(false);
    const QImage image = bound->grab().toImage();
    EXPECT_EQ(image.pixelColor(image.width() / 2, image.height() / 2), QColor(Qt::yellow));
}

// ---------------------------------------------------------------------------------------------------
// The pass dialog's fields over the passes table of both stores.

class ControlsStoreTest : public StoreTest {
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        if (IsSkipped())
            return;
        SetVarnoClock([] { return kNow; });
        dialog = std::make_unique<QDialog>();
        new QVBoxLayout(dialog.get());
    }
    void TearDown() override
    {
        if (dialog)
            dialog->close();
        dialog.reset();
        QCoreApplication::processEvents();
        SetVarnoClock({});
        StoreTest::TearDown();
    }
    std::unique_ptr<QDialog> dialog;
    TMessageRecorder recorder;
};

TEST_P(ControlsStoreTest, PassDialogFieldsWriteThroughToTheStore)
{
    const TTableDef& def = TableDef(u"LEG"_s);
    TTable leg(store->Db(), def);
    leg.SetTableName(TableNameFor(def, u"0001"_s));
    leg.Open();
    leg.Append();
    leg.FieldByName(u"LEG_ODD"_s).SetAsDate(kNow.date());
    leg.FieldByName(u"LEG_DOD"_s).SetAsString(u"31.12.2026"_s);
    leg.FieldByName(u"LEG_POC"_s).SetAsFloat(0);
    leg.FieldByName(u"LEG_CER"_s).SetAsFloat(0);
    TDataSource source(&leg);

    auto* kod = new TDBEditVarno(dialog.get());
    auto* jme = new TDBEditVarno(dialog.get());
    auto* dod = new TOrmandDBDateEdit(dialog.get());
    auto* storno = new QPushButton(u"Storno"_s, dialog.get());
    auto* zapis = new QPushButton(u"Zapiš"_s, dialog.get());
    for (QWidget* w : std::initializer_list<QWidget*>{kod, jme, dod, storno, zapis})
        dialog->layout()->addWidget(w);
    kod->SetDataSource(&source);
    kod->SetDataField(u"LEG_KOD"_s);
    jme->SetDataSource(&source);
    jme->SetDataField(u"LEG_JME"_s);
    dod->SetDataSource(&source);
    dod->SetDataField(u"LEG_DOD"_s);
    kod->SetEnterIsTab(true);
    jme->SetEnterIsTab(true);
    kod->OnValid = [](QObject*, QString& text, bool& valid) { valid = !text.trimmed().isEmpty(); };
    EXPECT_EQ(kod->maxLength(), 10);

    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    kod->setFocus();
    const auto key = [](Qt::Key k) {
        QTest::keyClick(QApplication::focusWidget(), k);
        QCoreApplication::processEvents();
    };

    key(Qt::Key_Return);  // an empty pass number keeps the focus, silently
    EXPECT_EQ(QApplication::focusWidget(), kod);
    TypeInto(kod, u"A-17"_s);
    key(Qt::Key_Return);
    ASSERT_EQ(QApplication::focusWidget(), jme);
    TypeInto(jme, u"Novák"_s);
    key(Qt::Key_Return);
    ASSERT_EQ(QApplication::focusWidget(), dod);
    EXPECT_EQ(dod->selectedText(), u"31.12.2026"_s);

    TypeInto(dod, u"31022026"_s);
    key(Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), dod);
    ASSERT_EQ(recorder.messages.size(), 1);
    EXPECT_TRUE(recorder.messages[0].contains(u"'31.02.2026' is not a valid date"_s))
        << recorder.messages[0].toStdString();
    EXPECT_EQ(dod->selectedText(), u"31.02.2026"_s);

    TypeInto(dod, u"15.6.2027"_s);
    key(Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), storno);  // on to the dialog's buttons

    leg.Post();
    leg.First();
    EXPECT_EQ(leg.FieldByName(u"LEG_KOD"_s).AsString(), u"A-17"_s);
    EXPECT_EQ(leg.FieldByName(u"LEG_JME"_s).AsString(), u"Novák"_s);
    EXPECT_EQ(leg.FieldByName(u"LEG_DOD"_s).AsDate(), QDate(2027, 6, 15));
    EXPECT_EQ(dod->text(), u"15.06.2027"_s);
}

KV_INSTANTIATE_STORES(ControlsStoreTest);

}  // namespace

int main(int argc, char** argv)
{
    // Also when the build lists the tests (no test environment then): widgets never need a display.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Czech, QLocale::Czechia));
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
