// What every window shares: the data grid over a table cursor, the navigator, the status bar, key
// preview, message boxes and the general error handler.
#include "TestSupport.h"
#include "WindowTestSupport.h"

#include "DBGrid.h"
#include "DataUnit.h"
#include "FrameUnit.h"

#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QKeySequence>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>

#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/lsan_interface.h>
#endif

using namespace Qt::StringLiterals;

namespace {

// Fills the passes table with `n` passes numbered 000001.., holders in another order, by one statement.
void FillPasses(TTestStore& store, int n)
{
    const auto q = [](const char16_t* name) { return TDatabase::Quote(QString::fromUtf16(name)); };
    const QString cols = q(u"LEG_KOD") + u", "_s + q(u"LEG_JME") + u", "_s + q(u"LEG_ODD") + u", "_s +
                         q(u"LEG_DOD") + u", "_s + q(u"LEG_POC") + u", "_s + q(u"LEG_CER");
    const QString table = TDatabase::TableSql(u"LEG0001"_s);
    const QString count = QString::number(n);
    // Built by concatenation: the printf patterns would read as arg() markers.
    if (store.Kind() == TStoreKind::Sqlite) {
        store.Db().ExecDirect(u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < "_s +
                              count + u") INSERT INTO "_s + table + u" ("_s + cols +
                              u") SELECT printf('%06d', i), printf('Držitel %06d', (i * 7919) % "_s + count +
                              u"), '2026-01-01 00:00:00.000', '2026-12-31 00:00:00.000', i, 0 FROM n"_s);
    } else {
        store.Db().ExecDirect(u"INSERT INTO "_s + table + u" ("_s + cols +
                              u") SELECT lpad(i::text, 6, '0'), 'Držitel ' || lpad(((i::bigint * 7919) % "_s +
                              count +
                              u")::text, 6, '0'), TIMESTAMP '2026-01-01', TIMESTAMP '2026-12-31', i, 0 "
                              u"FROM generate_series(1, "_s +
                              count + u") i"_s);
        // A store in use has been vacuumed; counts and index reads then skip the table rows.
        store.Db().ExecDirect(u"VACUUM ANALYZE "_s + table);
    }
}

class GridTest : public StoreTest {
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        if (!store)
            return;
        table = std::make_unique<TTable>(store->Db(), TableDef(u"LEG"_s));
        table->SetTableName(u"LEG0001"_s);
    }
    void TearDown() override
    {
        CancelPendingModals();
        grid.reset();
        table.reset();
        StoreTest::TearDown();
    }

    void Show(int n)
    {
        FillPasses(*store, n);
        table->Open();
        grid = std::make_unique<TDBGrid>();
        grid->resize(500, 300);
        grid->SetDataSet(table.get(), {{u"LEG_KOD"_s}, {u"LEG_JME"_s}, {u"LEG_ODD"_s, 74}, {u"LEG_POC"_s}});
        ASSERT_TRUE(ShowAndActivate(grid.get()));
        grid->setFocus();
    }

    QString CursorKod() const { return table->FieldByName(u"LEG_KOD"_s).AsString(); }
    QString GridKod() const { return grid->model()->index(grid->currentIndex().row(), 0).data().toString(); }
    void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::keyClick(grid.get(), Qt::Key(key), mods);
        ProcessEvents();
    }

    std::unique_ptr<TTable> table;
    std::unique_ptr<TDBGrid> grid;
};

TEST_P(GridTest, CurrentRowAndRecordStayTogether)
{
    Show(700);
    ASSERT_EQ(grid->model()->rowCount(), 700);
    EXPECT_EQ(grid->currentIndex().row(), 0);
    EXPECT_EQ(CursorKod(), u"000001"_s);

    // Keys in the grid move the cursor.
    Key(Qt::Key_Down);
    Key(Qt::Key_Down);
    EXPECT_EQ(CursorKod(), u"000003"_s);
    Key(Qt::Key_PageDown);
    EXPECT_EQ(CursorKod(), GridKod());
    Key(Qt::Key_End);
    EXPECT_EQ(grid->currentIndex().row(), 699);
    EXPECT_EQ(CursorKod(), u"000700"_s);
    Key(Qt::Key_Up);
    EXPECT_EQ(CursorKod(), u"000699"_s);
    Key(Qt::Key_Home);
    EXPECT_EQ(CursorKod(), u"000001"_s);

    // A click on a row.
    const QModelIndex third = grid->model()->index(2, 1);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(third).center());
    ProcessEvents();
    EXPECT_EQ(CursorKod(), u"000003"_s);

    // The cursor moved by code, far away and in another order: the grid follows.
    table->SetIndexName(u"JME"_s);
    table->FindNearest({u"Držitel 000350"_s});
    ProcessEvents();
    EXPECT_EQ(table->FieldByName(u"LEG_JME"_s).AsString(), u"Držitel 000350"_s);
    EXPECT_EQ(grid->currentIndex().row(), 350);
    EXPECT_EQ(GridKod(), CursorKod());
    EXPECT_EQ(grid->model()->index(351, 1).data().toString(), u"Držitel 000351"_s);
    Key(Qt::Key_Down);
    EXPECT_EQ(table->FieldByName(u"LEG_JME"_s).AsString(), u"Držitel 000351"_s);

    // The scroll bar dragged to the middle, then a click: rows read at that position.
    grid->verticalScrollBar()->setValue(480);
    ProcessEvents();
    const QModelIndex top = grid->indexAt(QPoint(5, 5));
    ASSERT_TRUE(top.isValid());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      grid->visualRect(grid->model()->index(top.row(), 1)).center());
    ProcessEvents();
    EXPECT_EQ(table->FieldByName(u"LEG_JME"_s).AsString(),
              u"Držitel %1"_s.arg(top.row(), 6, 10, QChar(u'0')));
    EXPECT_EQ(GridKod(), CursorKod());
}

// Another till changes the table under the grid: rows before the current one deleted and inserted,
// the row after it deleted. Whatever the grid has read already, moving on neither crashes nor parts
// the grid's current row from the cursor's record.
TEST_P(GridTest, AnotherTillChangesRowsAroundTheCurrentOne)
{
    Show(60);
    for (int i = 0; i < 20; ++i)
        Key(Qt::Key_Down);
    ASSERT_EQ(CursorKod(), u"000021"_s);

    auto till = store->SecondConnection();
    const QString kod = TDatabase::Quote(u"LEG_KOD"_s);
    till->Db().ExecDirect(u"DELETE FROM "_s + TDatabase::TableSql(u"LEG0001"_s) + u" WHERE "_s + kod +
                          u" IN ('000003', '000004', '000005', '000006', '000007', '000022')"_s);
    TTable other(till->Db(), TableDef(u"LEG"_s));
    other.SetTableName(u"LEG0001"_s);
    other.Open();
    for (const QString& k : {u"0000015"_s, u"0000016"_s, u"0000017"_s}) {
        other.Append();
        other.FieldByName(u"LEG_KOD"_s).SetAsString(k);
        other.FieldByName(u"LEG_JME"_s).SetAsString(u"Nový "_s + k);
        other.Post();
    }

    // What the grid read before stays on show until it reads again; wherever a key lands, the cursor
    // stands on a record that exists, and the grid's current row shows that record.
    const QStringList deleted = {u"000003"_s, u"000004"_s, u"000005"_s,
                                 u"000006"_s, u"000007"_s, u"000022"_s};
    for (const int key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Up, Qt::Key_PageUp, Qt::Key_Home, Qt::Key_Down,
                          Qt::Key_Down, Qt::Key_End, Qt::Key_PageUp, Qt::Key_Down, Qt::Key_Up}) {
        SCOPED_TRACE(QKeySequence(key).toString().toStdString());
        Key(key);
        EXPECT_EQ(GridKod(), CursorKod());
        EXPECT_FALSE(deleted.contains(CursorKod())) << CursorKod().toStdString();
    }
    // Read again, the grid shows the table as it is now.
    table->First();
    ProcessEvents();
    EXPECT_EQ(CursorKod(), u"000001"_s);
    EXPECT_EQ(GridKod(), CursorKod());
    Key(Qt::Key_Down);
    EXPECT_EQ(GridKod(), CursorKod());
}

TEST_P(GridTest, CaptionsFormatsAndStoredChanges)
{
    Show(3);
    QAbstractItemModel* m = grid->model();
    EXPECT_EQ(m->headerData(0, Qt::Horizontal).toString(), u"Číslo leg."_s);
    EXPECT_EQ(m->headerData(2, Qt::Horizontal).toString(), u"Vystavena"_s);
    EXPECT_EQ(grid->columnWidth(2), 74);
    EXPECT_EQ(m->index(0, 2).data().toString(), u"01.01.2026"_s);
    table->Last();
    table->Edit();
    table->FieldByName(u"LEG_POC"_s).SetAsFloat(1234.5);
    table->Post();
    ProcessEvents();
    EXPECT_EQ(m->index(2, 3).data().toString(), u"1\u00a0234,50"_s);
    EXPECT_EQ(m->index(2, 3).data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight, int(Qt::AlignRight));
    EXPECT_EQ(grid->currentIndex().row(), 2);

    // A record appended by code shows up in the list, and the grid stands on it.
    table->Append();
    table->FieldByName(u"LEG_KOD"_s).SetAsString(u"000000"_s);
    table->Post();
    ProcessEvents();
    EXPECT_EQ(m->rowCount(), 4);
    EXPECT_EQ(grid->currentIndex().row(), 3);
    EXPECT_EQ(GridKod(), u"000000"_s);
}

TEST_P(GridTest, CtrlDelAsksAndDeletes)
{
    Show(5);
    Key(Qt::Key_Down);
    {
        TMessageRecorder no(false);
        Key(Qt::Key_Delete, Qt::ControlModifier);
        EXPECT_EQ(no.messages, QStringList{u"Delete record?"_s});
    }
    EXPECT_EQ(table->RecordCount(), 5);
    {
        TMessageRecorder yes(true);
        Key(Qt::Key_Delete, Qt::ControlModifier);
        EXPECT_EQ(yes.messages, QStringList{u"Delete record?"_s});
    }
    EXPECT_EQ(table->RecordCount(), 4);
    EXPECT_FALSE(table->Locate(u"LEG_KOD"_s, {u"000002"_s}));
    table->First();
    ProcessEvents();
    Key(Qt::Key_Down);
    EXPECT_EQ(grid->model()->rowCount(), 4);
    EXPECT_EQ(CursorKod(), u"000003"_s);
    EXPECT_EQ(GridKod(), u"000003"_s);

    // A read-only list asks nothing and keeps its records.
    grid->SetReadOnly(true);
    TMessageRecorder told(true);
    Key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_TRUE(told.messages.isEmpty());
    EXPECT_EQ(table->RecordCount(), 4);
}

TEST_P(GridTest, NavigatorMovesTheCursorAndTheGrid)
{
    Show(4);
    TDBNavigator nav;
    nav.SetDataSet(table.get());
    table->First();
    ProcessEvents();
    EXPECT_FALSE(nav.FirstButton()->isEnabled());
    EXPECT_FALSE(nav.PriorButton()->isEnabled());
    EXPECT_TRUE(nav.NextButton()->isEnabled());
    QTest::mouseClick(nav.LastButton(), Qt::LeftButton);
    ProcessEvents();
    EXPECT_EQ(CursorKod(), u"000004"_s);
    EXPECT_EQ(grid->currentIndex().row(), 3);
    EXPECT_FALSE(nav.NextButton()->isEnabled());
    QTest::mouseClick(nav.PriorButton(), Qt::LeftButton);
    ProcessEvents();
    EXPECT_EQ(grid->currentIndex().row(), 2);
    EXPECT_TRUE(nav.FirstButton()->isEnabled());
    EXPECT_EQ(nav.NextButton()->focusPolicy(), Qt::NoFocus);
}

KV_INSTANTIATE_STORES(GridTest);

// A large table opens without being read: one count and the rows on the screen. KORVANTA_GRID_ROWS
// sets the size (a million rows for measuring); the default keeps the suite quick while still failing
// if the grid ever reads the whole table.
class GridLarge : public StoreTest {};

TEST_P(GridLarge, OpensAndJumpsWithoutReadingTheTable)
{
    const int n = qEnvironmentVariableIsSet("KORVANTA_GRID_ROWS")
                      ? qEnvironmentVariableIntValue("KORVANTA_GRID_ROWS")
                      : 100000;
    FillPasses(*store, n);
    TTable table(store->Db(), TableDef(u"LEG"_s));
    table.SetTableName(u"LEG0001"_s);
    table.SetIndexName(u"JME"_s);
    QElapsedTimer clock;
    clock.start();
    table.Open();
    TDBGrid grid;
    grid.resize(600, 400);
    grid.SetDataSet(&table, {{u"LEG_KOD"_s}, {u"LEG_JME"_s}, {u"LEG_POC"_s}});
    ASSERT_TRUE(ShowAndActivate(&grid));
    const qint64 openMs = clock.elapsed();
    EXPECT_EQ(grid.model()->rowCount(), n);

    clock.restart();
    grid.setFocus();
    QTest::keyClick(&grid, Qt::Key_End);
    ProcessEvents();
    EXPECT_EQ(table.FieldByName(u"LEG_JME"_s).AsString(), u"Držitel %1"_s.arg(n - 1, 6, 10, QChar(u'0')));
    const qint64 endMs = clock.elapsed();

    clock.restart();
    grid.verticalScrollBar()->setValue(n / 2);
    ProcessEvents();
    const QModelIndex top = grid.indexAt(QPoint(5, 5));
    EXPECT_EQ(grid.model()->index(top.row(), 1).data().toString(),
              u"Držitel %1"_s.arg(top.row(), 6, 10, QChar(u'0')));
    const qint64 jumpMs = clock.elapsed();

    clock.restart();
    table.FindNearest({u"Držitel %1"_s.arg(n / 3, 6, 10, QChar(u'0'))});
    ProcessEvents();
    EXPECT_EQ(grid.currentIndex().row(), n / 3);
    const qint64 findMs = clock.elapsed();
    std::printf("%d rows: open %lld ms, end %lld ms, jump %lld ms, find %lld ms\n", n, openMs, endMs, jumpMs,
                findMs);
    if (!qEnvironmentVariableIsSet("KORVANTA_GRID_ROWS")) {
        EXPECT_LT(openMs + endMs + jumpMs + findMs, 3000);
    }
}

KV_INSTANTIATE_STORES(GridLarge);

// ---------------------------------------------------------------------------------------------------

class TPreviewDialog final : public QDialog, public TKeyPreview {
public:
    TPreviewDialog()
    {
        auto* layout = new QVBoxLayout(this);
        edit = new QLineEdit(this);
        layout->addWidget(edit);
    }
    bool FormKeyDown(QKeyEvent* event) override
    {
        seen << event->key();
        if (event->key() == Qt::Key_F2) {
            handled = true;
            return true;
        }
        return false;
    }
    QLineEdit* edit;
    QList<int> seen;
    bool handled = false;
};

TEST(KeyPreview, TheWindowSeesKeysBeforeItsControls)
{
    TPreviewDialog dlg;
    ASSERT_TRUE(ShowAndActivate(&dlg));
    dlg.edit->setFocus();
    QTest::keyClicks(dlg.edit, u"ab"_s);
    QTest::keyClick(dlg.edit, Qt::Key_F2);
    EXPECT_TRUE(dlg.handled);
    EXPECT_EQ(dlg.edit->text(), u"ab"_s);
    // Each key is previewed once, also when the control leaves it to its parents.
    EXPECT_EQ(dlg.seen, (QList<int>{Qt::Key_A, Qt::Key_B, Qt::Key_F2}));
}

TEST(ErrorHandler, AnErrorInAnEventHandlerIsShownNotFatal)
{
#ifdef __SANITIZE_ADDRESS__
    // Qt's event delivery is built without exception support: an exception unwinding through it skips
    // the destructor of Qt's copy of the event, whose few bytes the leak checker would report.
    const __lsan::ScopedDisabler qtEventCopiesLeak;
#endif
    TMessageRecorder told;
    QPushButton button(u"x"_s);
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, &button, [&clicks] {
        if (++clicks == 1)
            throw EDatabaseError(u"deadlock detected"_s);
        throw std::runtime_error("out of range");
    });
    ASSERT_TRUE(ShowAndActivate(&button));
    QTest::mouseClick(&button, Qt::LeftButton);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(told.messages, (QStringList{u"deadlock detected"_s, u"out of range"_s}));
    // The application goes on working.
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicks, 3);
}

TEST(MessageBoxes, EveryKindIsAModalBox)
{
    InstallMessageBoxes();
    struct Seen {
        QString title, text;
        Qt::TextFormat format = Qt::AutoText;
    } seen;
    auto read = [&seen](QWidget* w, QMessageBox::StandardButton press) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        seen = {box->windowTitle(), box->text(), box->textFormat()};
        box->button(press)->click();
    };
    OnNextModal([&](QWidget* w) { read(w, QMessageBox::Ok); });
    EXPECT_TRUE(ShowMessage(u"<b>Neplatné heslo !!!</b>"_s));
    EXPECT_EQ(seen.text, u"<b>Neplatné heslo !!!</b>"_s);
    EXPECT_EQ(seen.format, Qt::PlainText);

    OnNextModal([&](QWidget* w) { read(w, QMessageBox::Ok); });
    EXPECT_TRUE(ShowError(u"chyba"_s));
    EXPECT_EQ(seen.title, u"Error"_s);

    OnNextModal([&](QWidget* w) { read(w, QMessageBox::Ok); });
    EXPECT_TRUE(Confirm(u"Delete record?"_s));
    EXPECT_EQ(seen.title, u"Confirm"_s);
    OnNextModal([&](QWidget* w) { read(w, QMessageBox::Cancel); });
    EXPECT_FALSE(Confirm(u"Delete record?"_s));
    OnNextModal([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
    EXPECT_FALSE(Confirm(u"Delete record?"_s));
    SetMessageHandler(nullptr);
}

TEST(StatusBar, ClockAndLockIndicators)
{
    TStatusBar bar;
    ASSERT_TRUE(ShowAndActivate(&bar));
    EXPECT_TRUE(QTime::fromString(bar.ClockPane()->text(), u"HH:mm:ss"_s).isValid());
    EXPECT_TRUE(bar.Text().isEmpty());
    const bool caps = bar.CapsPane()->isEnabled();
    QTest::keyClick(&bar, Qt::Key_CapsLock);
    EXPECT_NE(bar.CapsPane()->isEnabled(), caps);
    QTest::keyClick(&bar, Qt::Key_CapsLock);
    EXPECT_EQ(bar.CapsPane()->isEnabled(), caps);
    const bool num = bar.NumPane()->isEnabled();
    QTest::keyClick(&bar, Qt::Key_NumLock);
    EXPECT_NE(bar.NumPane()->isEnabled(), num);
}

// The indicators show the keyboard's state as its source reports it: locks switched off show as off
// after any key, and locks switched while no key reached the program show within the clock's tick.
TEST(StatusBar, LockIndicatorsShowTheRealState)
{
    TKeyLocks::TState state{true, true};
    TKeyLocks::Instance().SetStateSource([&state] { return std::optional<TKeyLocks::TState>(state); });
    {
        TStatusBar bar;
        ASSERT_TRUE(ShowAndActivate(&bar));
        EXPECT_TRUE(bar.CapsPane()->isEnabled());
        EXPECT_TRUE(bar.NumPane()->isEnabled());

        state = {false, false};
        QTest::keyClick(&bar, Qt::Key_A);  // no modifiers at all
        EXPECT_FALSE(bar.CapsPane()->isEnabled());
        EXPECT_FALSE(bar.NumPane()->isEnabled());

        state = {true, false};
        QTest::keyClick(&bar, Qt::Key_CapsLock);  // the source, not a count of presses
        EXPECT_TRUE(bar.CapsPane()->isEnabled());
        QTest::keyClick(&bar, Qt::Key_CapsLock, Qt::NoModifier);
        EXPECT_TRUE(bar.CapsPane()->isEnabled());

        state = {false, true};  // switched in another program: no key reaches us
        QElapsedTimer waited;
        waited.start();
        while (bar.CapsPane()->isEnabled() && waited.elapsed() < 3000)
            QTest::qWait(50);
        EXPECT_FALSE(bar.CapsPane()->isEnabled());
        EXPECT_TRUE(bar.NumPane()->isEnabled());
    }
    TKeyLocks::Instance().SetStateSource({});
}

// The operator reads a Czech sentence; the table's internal name goes only to the log.
TEST(ErrorHandler, InternalNamesGoToTheLogNotToTheOperator)
{
#ifdef __SANITIZE_ADDRESS__
    // The error unwinds through Qt's event delivery, as in the test above: Qt's copy of the event leaks.
    const __lsan::ScopedDisabler qtEventCopiesLeak;
#endif
    TMessageRecorder told;
    static QStringList logged;
    logged.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& text) { logged << text; });
    TData data(QDir::tempPath());  // no settings read: nothing is connected
    QPushButton button(u"x"_s);
    QObject::connect(&button, &QPushButton::clicked, &button, [&data] { data.ffLegHla->Open(); });
    ASSERT_TRUE(ShowAndActivate(&button));
    QTest::mouseClick(&button, Qt::LeftButton);
    qInstallMessageHandler(previous);
    EXPECT_EQ(told.messages, QStringList{u"Databáze není připojena."_s});
    EXPECT_TRUE(logged.join(u'\n').contains(u"ffLegHla: Databáze není připojena."_s))
        << logged.join(u'\n').toStdString();

    // Every refusal of a table cursor keeps its table's name out of the message.
    TTable leg(*data.ffDatabase, TableDef(u"LEG"_s));
    try {
        leg.Append();
        ADD_FAILURE() << "a closed table took a record";
    } catch (const EDatabaseError& e) {
        EXPECT_FALSE(e.Message().contains(u"ffLegHla"_s)) << e.Message().toStdString();
        EXPECT_EQ(e.Context(), u"ffLegHla"_s);
        EXPECT_TRUE(QString::fromStdString(e.what()).startsWith(u"ffLegHla: "_s));
    }
}

// Titles are the windows' own: no application display name for the platform to append to them
// (" — Korvanta" cut short dialog titles). The name still titles the information boxes.
TEST(Application, TitleIsNotAppendedToWindowTitles)
{
    TApplication::SetTitle(u"Korvanta"_s);
    EXPECT_EQ(QCoreApplication::applicationName(), u"Korvanta"_s);
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), u"Korvanta"_s);
    // A display name that only follows the application name is no explicit one.
    QCoreApplication::setApplicationName(u"probe"_s);
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), u"probe"_s)
        << "an explicit display name is set; the platform appends it to every window title";
    TApplication::SetTitle(u"Korvanta"_s);
}

}  // namespace
