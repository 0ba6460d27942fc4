// The assortment windows: the card pick list with its search, the variant pick list with the new
// variant dialog, the pickers as the data module's card and variant checks open them, and the
// progress window of the stock card rebuild.
#include "TestSupport.h"
#include "WindowTestSupport.h"

#include "AssortmentPickers.h"
#include "DBEditVarno.h"
#include "DBGrid.h"
#include "DataUnit.h"
#include "EditBase.h"
#include "EditVarno.h"
#include "EditaceVariantaUnit.h"
#include "PrehlNakCenUnit.h"
#include "PrehledSortimentuUnit.h"
#include "ProgresWinUnit.h"
#include "SorHleUnit.h"

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QStatusBar>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

// With KORVANTA_SCREENS set, saves a picture of the window there (for looking at the layout).
void Shot(QWidget* w, const QString& name)
{
    const QString dir = qEnvironmentVariable("KORVANTA_SCREENS");
    if (dir.isEmpty())
        return;
    QDir().mkpath(dir);
    w->grab().save(dir + u'/' + name + u".png"_s);
}

// Runs `act` on the next modal window, which must be a T. A window that a failed step left open is
// closed, so that the test ends with its failure instead of waiting.
template <class T>
void WhenOpens(std::function<void(T*)> act, std::source_location where = std::source_location::current())
{
    const auto onWindow = [act](QWidget* w) {
        QPointer<QWidget> guard(w);
        auto* t = qobject_cast<T*>(w);
        if (!t)
            ADD_FAILURE() << "unexpected window " << w->metaObject()->className();
        else if (!QTest::qWaitForWindowActive(t))
            ADD_FAILURE() << "the window did not become active";
        else {
            ProcessEvents();
            act(t);
        }
        if (guard && guard->isVisible()) {
            if (auto* d = qobject_cast<QDialog*>(guard.data()))
                d->reject();
            else
                guard->close();
        }
    };
    OnNextModal(onWindow, 5000, where);
}

// A double click as the mouse gives it: a click, then the second press.
void DoubleClick(QTableView* grid, int row, int column)
{
    const QPoint at = grid->visualRect(grid->model()->index(row, column)).center();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

QStringList Headings(const QAbstractItemView* grid)
{
    QStringList titles;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        titles << grid->model()->headerData(c, Qt::Horizontal).toString();
    return titles;
}

QStringList ColumnTexts(const QAbstractItemView* grid, int column)
{
    QStringList texts;
    for (int r = 0; r < grid->model()->rowCount(); ++r)
        texts << grid->model()->index(r, column).data().toString();
    return texts;
}

QString CurrentText(const QAbstractItemView* grid, int column)
{
    return grid->model()->index(grid->currentIndex().row(), column).data().toString();
}

struct TCard {
    QString kav, name;
    double pc1;
};

// Names chosen for the Czech order (Č after C, Ch after H); prices for the price order.
const QList<TCard> kCards = {
    {u"000005"_s, u"Ananas"_s, 60}, {u"000002"_s, u"Cukr kostky"_s, 30}, {u"000001"_s, u"Čaj zelený"_s, 25},
    {u"000004"_s, u"Houska"_s, 3},  {u"000003"_s, u"Chléb"_s, 40},       {u"000011"_s, u"Šunka"_s, 90},
    {u"000010"_s, u"Zelí"_s, 10},
};
const QStringList kNameOrder = {u"Ananas"_s, u"Cukr kostky"_s, u"Čaj zelený"_s, u"Houska"_s,
                                u"Chléb"_s,  u"Šunka"_s,       u"Zelí"_s};

class AssortmentTest : public StoreTest {
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        if (!store)
            return;
        data = MakeData(*store);
        data->AnchorTop = 60;
        data->AnchorLeft = 40;
        InstallAssortmentPickers(*data, nullptr);
    }
    void TearDown() override
    {
        CancelPendingModals();
        data.reset();
        StoreTest::TearDown();
    }

    void AddCards(const QList<TCard>& cards)
    {
        TTable& t = *data->ffSortiment;
        t.Open();
        for (const TCard& c : cards) {
            t.Append();
            t.FieldByName(u"SOR_KAV"_s).SetAsString(c.kav);
            t.FieldByName(u"SOR_NAC"_s).SetAsString(c.name);
            t.FieldByName(u"SOR_PC1"_s).SetAsFloat(c.pc1);
            t.FieldByName(u"SOR_PC2"_s).SetAsFloat(c.pc1 * 0.9);
            t.FieldByName(u"SOR_DAN"_s).SetAsFloat(21);
            t.FieldByName(u"SOR_SKL"_s).SetAsBoolean(true);
            t.FieldByName(u"SOR_OLD"_s).SetAsBoolean(false);
            t.FieldByName(u"SOR_STA"_s).SetAsFloat(0);
            t.FieldByName(u"SOR_SKU"_s).SetAsString(u"POT"_s);
            t.Post();
        }
        t.Close();
    }

    void AddVariant(const QString& kav, const QString& ind, double snc, double poc, double sta)
    {
        TTable& t = *data->ffSklad;
        const bool wasOpen = t.Active();
        t.Open();
        t.Append();
        t.FieldByName(u"SKL_KAV"_s).SetAsString(kav);
        t.FieldByName(u"SKL_IND"_s).SetAsString(ind);
        t.FieldByName(u"SKL_SNC"_s).SetAsFloat(snc);
        t.FieldByName(u"SKL_POC"_s).SetAsFloat(poc);
        t.FieldByName(u"SKL_STA"_s).SetAsFloat(sta);
        t.FieldByName(u"SKL_MEN"_s).SetAsString(u"CZK"_s);
        t.FieldByName(u"SKL_KUR"_s).SetAsFloat(1);
        t.Post();
        if (!wasOpen)
            t.Close();
    }

    void AddJournal(const QString& kav, const QString& ind, double kus)
    {
        TTable& t = *data->ffDenik;
        t.Open();
        t.Append();
        t.FieldByName(u"DEN_DOK"_s).SetAsString(u"0000000001"_s);
        t.FieldByName(u"DEN_KAV"_s).SetAsString(kav);
        t.FieldByName(u"DEN_IND"_s).SetAsString(ind);
        t.FieldByName(u"DEN_OPE"_s).SetAsString(u"005"_s);
        t.FieldByName(u"DEN_KUS"_s).SetAsFloat(kus);
        t.Post();
        t.Close();
    }

    TTable& Sor() { return *data->ffSortiment; }
    TTable& Skl() { return *data->ffSklad; }
    QString Kav() { return Sor().FieldByName(u"SOR_KAV"_s).AsString(); }
    QString Variant() { return Skl().FieldByName(u"SKL_IND"_s).AsString(); }

    std::unique_ptr<TData> data;
};

// ---------------------------------------------------------------------------------------------------
// Card pick list

TEST_P(AssortmentTest, CardPickListLayoutAndKeys)
{
    AddCards(kCards);
    Sor().Open();  // as the entry dialogs do: the table then stands on the card picked

    WhenOpens<TPrehledSortimentu>([this](TPrehledSortimentu* w) {
        Shot(w, u"PrehledSortimentu"_s);
        EXPECT_EQ(w->windowTitle(), u"Přehled položek sortimentu"_s);
        EXPECT_EQ(w->pos(), QPoint(40 + 50, 60 + 102));
        EXPECT_EQ(w->size(), QSize(464, 223));
        EXPECT_TRUE(w->windowFlags() & Qt::WindowCloseButtonHint);
        EXPECT_FALSE(w->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
        EXPECT_EQ(Headings(w->Grid()),
                  (QStringList{u"Karta"_s, u"Název"_s, u"PC d1"_s, u"Zásoba"_s, u"Sazba DPH"_s, u"Volne"_s,
                               u"Skl.pol."_s, u"Vyřazeno"_s, u"Skupina"_s}));
        EXPECT_TRUE(w->Grid()->ReadOnly());
        EXPECT_EQ(w->Grid()->selectionBehavior(), QAbstractItemView::SelectRows);
        EXPECT_EQ(w->HledejButton()->text(), u"F5 Hledej"_s);
        EXPECT_EQ(w->HledejButton()->focusPolicy(), Qt::NoFocus);
        EXPECT_EQ(w->Navigator()->DataSet(), &Sor());
        EXPECT_TRUE(w->StatusBar()->currentMessage().isEmpty());
        EXPECT_EQ(QApplication::focusWidget(), w->Grid());
        // Nothing remembered yet: the list runs by name, in Czech order, from the first card.
        EXPECT_EQ(Sor().IndexName(), u"NAC"_s);
        EXPECT_EQ(ColumnTexts(w->Grid(), 1), kNameOrder);
        EXPECT_EQ(CurrentText(w->Grid(), 1), u"Ananas"_s);
        EXPECT_EQ(CurrentText(w->Grid(), 2), u"54,00"_s);
        EXPECT_EQ(CurrentText(w->Grid(), 6), u"Ano"_s);
        Press(Qt::Key_Down);
        Press(Qt::Key_Down);
        ProcessEvents();
        EXPECT_EQ(CurrentText(w->Grid(), 1), u"Čaj zelený"_s);
        Press(Qt::Key_Return);
    });
    EXPECT_TRUE(data->SorValid(u"čaj"_s));
    EXPECT_EQ(Kav(), u"000001"_s);
    EXPECT_TRUE(data->LastSorValid);
    EXPECT_EQ(data->LastSorKav, u"000001"_s);
    EXPECT_EQ(data->LastSorIndex, u"NAC"_s);

    // The next opening stands on that card; Esc picks nothing but remembers where the list was left.
    WhenOpens<TPrehledSortimentu>([](TPrehledSortimentu* w) {
        EXPECT_EQ(CurrentText(w->Grid(), 0), u"000001"_s);
        Press(Qt::Key_Down);
        ProcessEvents();
        Press(Qt::Key_Escape);
    });
    EXPECT_FALSE(data->SorValid(QString()));
    EXPECT_EQ(data->LastSorKav, u"000004"_s);

    // A double click picks the card clicked.
    WhenOpens<TPrehledSortimentu>([](TPrehledSortimentu* w) {
        EXPECT_EQ(CurrentText(w->Grid(), 1), u"Houska"_s);
        DoubleClick(w->Grid(), 4, 1);
    });
    EXPECT_TRUE(data->SorValid(u"12345"_s));
    EXPECT_EQ(Kav(), u"000003"_s);
    EXPECT_EQ(data->LastSorKav, u"000003"_s);

    // A full card number is taken without the list.
    EXPECT_TRUE(data->SorValid(u"000010"_s));
    EXPECT_EQ(Kav(), u"000010"_s);
    Sor().Close();
}

TEST_P(AssortmentTest, EmptyAssortmentPicksNothing)
{
    WhenOpens<TPrehledSortimentu>([](TPrehledSortimentu* w) {
        EXPECT_EQ(w->Grid()->model()->rowCount(), 0);
        Press(Qt::Key_Return);
    });
    EXPECT_FALSE(data->SorValid(u"abc"_s));
    EXPECT_FALSE(data->LastSorValid);
    EXPECT_FALSE(Sor().Active()) << "the check closes the table it opened";
}

// One opening of the list, searched again and again with the search dialog.
TEST_P(AssortmentTest, SearchDialogOptions)
{
    AddCards(kCards);
    Sor().Open();
    TMessageRecorder told;

    struct Step {
        int downs;  // Down presses from the name option: 1 the card number, 2 the price
        QString typed;
        QString shown;  // the text field afterwards
        QString index;
        QString kav;  // the card found
        bool atEnd = false;
    };
    const QList<Step> steps = {
        {0, u"Č"_s, u"Č"_s, u"NAC"_s, u"000001"_s},
        {0, u"Ch"_s, u"Ch"_s, u"NAC"_s, u"000003"_s},                  // Ch after H
        {0, u"Houska  "_s, u"Houska  "_s, u"NAC"_s, u"000004"_s},      // trailing blanks do not count
        {0, u" Zelí"_s, u" Zelí"_s, u"NAC"_s, u"000005"_s},            // leading ones do: before every letter
        {0, u"Žžž"_s, u"Žžž"_s, u"NAC"_s, u"000010"_s, true},          // past the last name
        {1, u"  000004  "_s, u"  000004  "_s, u"KAV"_s, u"000004"_s},  // blanks on both sides do not count
        {2, u"10"_s, u"10"_s, u"PC1"_s, u"000010"_s},
        {2, u"2x5.5"_s, u"25,5"_s, u"PC1"_s, u"000002"_s},  // a number only, decimal comma
        {2, u"1000"_s, u"1000"_s, u"PC1"_s, u"000011"_s, true},
        {0, u"š"_s, u"š"_s, u"NAC"_s, u"000011"_s},
    };

    WhenOpens<TPrehledSortimentu>([&](TPrehledSortimentu* w) {
        for (const Step& step : steps) {
            SCOPED_TRACE(step.typed.toStdString());
            WhenOpens<TSorHle>([&](TSorHle* dlg) {
                if (&step == &steps.front())
                    Shot(dlg, u"SorHle"_s);
                EXPECT_EQ(dlg->windowTitle(), u"Hledej položku databáze"_s);
                EXPECT_FALSE(dlg->windowFlags() & Qt::WindowCloseButtonHint);
                EXPECT_LE((dlg->geometry().center() - w->geometry().center()).manhattanLength(), 2);
                QStringList captions;
                QList<bool> enabled;
                for (int i = 0; i < TSorHle::kOptionCount; ++i) {
                    captions << dlg->Option(TSorHle::TOption(i))->text();
                    enabled << dlg->Option(TSorHle::TOption(i))->isEnabled();
                }
                EXPECT_EQ(
                    captions,
                    (QStringList{u"Hledej název položky sortimentu"_s, u"Hledej dle čísla karty sortimentu"_s,
                                 u"Hledej dle aliasu názvu"_s, u"Hledej dle kódu dodavatele"_s,
                                 u"Hledej dle kódu výrobce"_s, u"Hledej částku prodejní cenu "_s}));
                EXPECT_EQ(enabled, (QList<bool>{true, true, false, false, false, true}));
                // Every opening starts afresh.
                EXPECT_TRUE(dlg->TextEdit()->text().isEmpty());
                EXPECT_EQ(dlg->TextEdit()->EditType(), TEditType::String);
                EXPECT_FALSE(dlg->HledejButton()->isEnabled());
                EXPECT_TRUE(dlg->Option(TSorHle::kNazev)->isChecked());
                EXPECT_EQ(QApplication::focusWidget(), dlg->Option(TSorHle::kNazev));

                for (int i = 0; i < step.downs; ++i)
                    Press(Qt::Key_Down);
                Press(Qt::Key_Return);
                ASSERT_EQ(QApplication::focusWidget(), static_cast<QWidget*>(dlg->TextEdit()));
                Type(step.typed);
                EXPECT_EQ(dlg->TextEdit()->text(), step.shown);
                EXPECT_TRUE(dlg->HledejButton()->isEnabled());
                Press(Qt::Key_Return);
                ASSERT_EQ(QApplication::focusWidget(), dlg->HledejButton());
                Press(Qt::Key_Return);
            });
            Press(Qt::Key_F5);
            ProcessEvents();
            ASSERT_TRUE(QTest::qWaitForWindowActive(w));
            EXPECT_EQ(Sor().IndexName(), step.index);
            EXPECT_EQ(Kav(), step.kav);
            EXPECT_EQ(Sor().Eof(), step.atEnd);
            EXPECT_EQ(CurrentText(w->Grid(), 0), step.kav);
            EXPECT_EQ(QApplication::focusWidget(), w->Grid());
        }
        // The grid follows the order chosen.
        EXPECT_EQ(ColumnTexts(w->Grid(), 1), kNameOrder);

        // Esc and Storno search nothing.
        WhenOpens<TSorHle>([](TSorHle*) {
            Press(Qt::Key_Down);
            Press(Qt::Key_Return);
            Type(u"000001"_s);
            Press(Qt::Key_Escape);
        });
        Press(Qt::Key_F5);
        int result = -1;
        WhenOpens<TSorHle>([&result](TSorHle* dlg) {
            Press(Qt::Key_Return);
            Type(u"A"_s);
            QTest::mouseClick(dlg->StornoButton(), Qt::LeftButton);
            result = dlg->result();
        });
        QTest::mouseClick(w->HledejButton(), Qt::LeftButton);
        EXPECT_EQ(result, TSorHle::kAbort);
        EXPECT_EQ(Sor().IndexName(), u"NAC"_s);
        EXPECT_EQ(Kav(), u"000011"_s);
        EXPECT_TRUE(told.messages.isEmpty()) << told.messages.join(u" | "_s).toStdString();

        // A price that is not a number: the conversion error, the price order, the same card.
        WhenOpens<TSorHle>([](TSorHle*) {
            Press(Qt::Key_Down);
            Press(Qt::Key_Down);
            Press(Qt::Key_Return);
            Type(u"1-2"_s);
            Press(Qt::Key_Return);
            Press(Qt::Key_Return);
        });
        Press(Qt::Key_F5);
        ProcessEvents();
        EXPECT_EQ(told.messages,
                  QStringList{u"'1-2' is not a valid floating point value for field 'SOR_PC1'"_s});
        EXPECT_EQ(Sor().IndexName(), u"PC1"_s);
        EXPECT_EQ(Kav(), u"000011"_s);
        EXPECT_EQ(ColumnTexts(w->Grid(), 1),
                  (QStringList{u"Houska"_s, u"Zelí"_s, u"Čaj zelený"_s, u"Cukr kostky"_s, u"Chléb"_s,
                               u"Ananas"_s, u"Šunka"_s}));
        Press(Qt::Key_Up);
        ProcessEvents();
        Press(Qt::Key_Return);
    });
    EXPECT_TRUE(data->SorValid(u"x"_s));
    EXPECT_EQ(Kav(), u"000005"_s);

    // After a search by price the next opening is in price order, on the card picked.
    WhenOpens<TPrehledSortimentu>([this](TPrehledSortimentu* w) {
        EXPECT_EQ(Sor().IndexName(), u"PC1"_s);
        EXPECT_EQ(CurrentText(w->Grid(), 1), u"Ananas"_s);
        EXPECT_EQ(ColumnTexts(w->Grid(), 1).first(), u"Houska"_s);
        Press(Qt::Key_Escape);
    });
    EXPECT_FALSE(data->SorValid(QString()));
    Sor().Close();
}

// ---------------------------------------------------------------------------------------------------
// Variant pick list and new variants

class VariantTest : public AssortmentTest {
protected:
    void SetUp() override
    {
        AssortmentTest::SetUp();
        if (!store)
            return;
        AddCards({{u"000001"_s, u"Čaj zelený"_s, 25}, {u"000002"_s, u"Cukr kostky"_s, 30}});
        AddVariant(u"000001"_s, u"001"_s, 10, 0, 5);
        AddVariant(u"000001"_s, u"002"_s, 12.5, 0, 3);
        AddVariant(u"000002"_s, u"001"_s, 20, 0, 1);
        // As a receipt line does: the card is resolved first, the variant then.
        Sor().Open();
        Skl().Open();
        EXPECT_TRUE(data->SorValid(u"000001"_s));
    }
    void TearDown() override
    {
        if (data) {
            Skl().Close();
            Sor().Close();
        }
        AssortmentTest::TearDown();
    }
};

TEST_P(VariantTest, VariantPickListOffersTheCardsVariants)
{
    WhenOpens<TPrehlNakCen>([this](TPrehlNakCen* w) {
        Shot(w, u"PrehlNakCen"_s);
        EXPECT_EQ(w->windowTitle(), u"Přehl. nák. cen"_s);
        EXPECT_EQ(w->pos(), QPoint(40 + 230, 60 + 102));
        EXPECT_EQ(w->size(), QSize(228, 192));
        EXPECT_EQ(w->minimumSize(), w->maximumSize());
        EXPECT_FALSE(w->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
        EXPECT_EQ(Headings(w->Grid()), (QStringList{u"Karta"_s, u"Var."_s, u"Nák.cena"_s, u"Zásoba"_s,
                                                    u"Měna"_s, u"Kurz"_s, u"Poznámka"_s, u"Poč.roku"_s}));
        EXPECT_FALSE(w->Grid()->ReadOnly());
        EXPECT_EQ(w->Grid()->editTriggers(), QAbstractItemView::NoEditTriggers);
        EXPECT_EQ(w->NovyButton()->text(), u"F2 Nový"_s);
        EXPECT_EQ(w->NovyButton()->focusPolicy(), Qt::NoFocus);
        EXPECT_TRUE(w->StatusBar()->currentMessage().isEmpty());
        EXPECT_EQ(QApplication::focusWidget(), w->Grid());
        EXPECT_EQ(ColumnTexts(w->Grid(), 0), (QStringList{u"000001"_s, u"000001"_s}));
        EXPECT_EQ(ColumnTexts(w->Grid(), 1), (QStringList{u"001"_s, u"002"_s}));
        EXPECT_EQ(CurrentText(w->Grid(), 2), u"10,00"_s);
        Press(Qt::Key_Down);
        ProcessEvents();
        Press(Qt::Key_Return);
    });
    EXPECT_TRUE(data->SklValid(u"000001"_s, u"009"_s));
    EXPECT_EQ(Variant(), u"002"_s);
    EXPECT_EQ(Skl().FieldByName(u"SKL_KAV"_s).AsString(), u"000001"_s);

    // Esc picks nothing: the card has no variant "   ".
    WhenOpens<TPrehlNakCen>([](TPrehlNakCen*) { Press(Qt::Key_Escape); });
    EXPECT_FALSE(data->SklValid(u"000001"_s, u"009"_s));

    // A double click picks the variant clicked; a card without variants offers an empty list.
    WhenOpens<TPrehlNakCen>([](TPrehlNakCen* w) { DoubleClick(w->Grid(), 0, 0); });
    EXPECT_TRUE(data->SklValid(u"000001"_s, u"x"_s));
    EXPECT_EQ(Variant(), u"001"_s);
    WhenOpens<TPrehlNakCen>([](TPrehlNakCen* w) {
        EXPECT_EQ(w->Grid()->model()->rowCount(), 0);
        Press(Qt::Key_Return);
    });
    EXPECT_FALSE(data->SklValid(u"000099"_s, u"001"_s));
}

TEST_P(VariantTest, NewVariantThroughTheDialog)
{
    TMessageRecorder told(false);
    WhenOpens<TPrehlNakCen>([&](TPrehlNakCen* w) {
        WhenOpens<TEditaceVarianta>([&](TEditaceVarianta* dlg) {
            Shot(dlg, u"EditaceVarianta"_s);
            EXPECT_EQ(dlg->windowTitle(), u"EditaceVarianta"_s);
            EXPECT_EQ(dlg->pos(), w->pos() + QPoint(80, -15));
            EXPECT_EQ(dlg->minimumSize(), dlg->maximumSize());
            QStringList labels;
            for (QLabel* l : dlg->findChildren<QLabel*>())
                labels << l->text();
            EXPECT_EQ(labels, (QStringList{u"Varianta skladové ceny "_s, u"Skladová cena varianty"_s,
                                           u"Pořizovací měna karty"_s, u"Kurz měny "_s,
                                           u"Počáteční skladová zásoba"_s, u"Pozn."_s}));
            EXPECT_EQ(Skl().State(), TDataSetState::Insert);
            EXPECT_EQ(dlg->MenaEdit()->text(), u"CZK"_s);
            EXPECT_EQ(dlg->KurzEdit()->text(), u"1"_s);
            EXPECT_EQ(dlg->ZasobaEdit()->text(), u"0"_s);
            for (QWidget* f : {static_cast<QWidget*>(dlg->MenaEdit()), static_cast<QWidget*>(dlg->KurzEdit()),
                               static_cast<QWidget*>(dlg->ZasobaEdit())})
                EXPECT_FALSE(f->isEnabled());
            EXPECT_EQ(QApplication::focusWidget(), static_cast<QWidget*>(dlg->VariantaEdit()));
            Type(u"0071"_s);
            Press(Qt::Key_Return);
            EXPECT_EQ(QApplication::focusWidget(), static_cast<QWidget*>(dlg->CenaEdit()));
            Type(u"12.5"_s);
            Press(Qt::Key_Return);
            EXPECT_EQ(QApplication::focusWidget(), static_cast<QWidget*>(dlg->PoznamkaEdit()));
            Type(u"sud 0.5"_s);  // the note takes the decimal-number entry: a full stop becomes a comma
            EXPECT_EQ(dlg->PoznamkaEdit()->text(), u"sud 0,5"_s);
            Press(Qt::Key_Return);
            EXPECT_EQ(QApplication::focusWidget(), dlg->ZapisButton());
            Press(Qt::Key_Return);
        });
        Press(Qt::Key_F2);
        ProcessEvents();
        EXPECT_EQ(Skl().State(), TDataSetState::Browse);
        EXPECT_EQ(ColumnTexts(w->Grid(), 1), (QStringList{u"001"_s, u"002"_s, u"007"_s}));
        EXPECT_EQ(CurrentText(w->Grid(), 1), u"007"_s);
        EXPECT_EQ(QApplication::focusWidget(), w->Grid());

        // Storno and Esc leave nothing behind; a code the card has already is refused by the store.
        WhenOpens<TEditaceVarianta>([](TEditaceVarianta* dlg) {
            Type(u"008"_s);
            QTest::mouseClick(dlg->StornoButton(), Qt::LeftButton);
        });
        QTest::mouseClick(w->NovyButton(), Qt::LeftButton);
        WhenOpens<TEditaceVarianta>([](TEditaceVarianta*) {
            Type(u"008"_s);
            Press(Qt::Key_Escape);
        });
        Press(Qt::Key_F2);
        WhenOpens<TEditaceVarianta>([](TEditaceVarianta* dlg) {
            Type(u"001"_s);
            QTest::mouseClick(dlg->ZapisButton(), Qt::LeftButton);
        });
        Press(Qt::Key_F2);
        ProcessEvents();
        EXPECT_EQ(told.messages.size(), 1);
        EXPECT_EQ(Skl().State(), TDataSetState::Browse);
        EXPECT_EQ(ColumnTexts(w->Grid(), 1), (QStringList{u"001"_s, u"002"_s, u"007"_s}));

        // Ctrl+Del asks first; Cancel keeps the variant.
        told.messages.clear();
        Press(Qt::Key_Delete, Qt::ControlModifier);
        ProcessEvents();
        EXPECT_EQ(told.messages, QStringList{u"Delete record?"_s});
        EXPECT_EQ(w->Grid()->model()->rowCount(), 3);
        Press(Qt::Key_End);
        ProcessEvents();
        Press(Qt::Key_Return);
    });
    EXPECT_TRUE(data->SklValid(u"000001"_s, u"xyz"_s));
    EXPECT_EQ(Variant(), u"007"_s);
    TTable& skl = Skl();
    EXPECT_EQ(skl.FieldByName(u"SKL_KAV"_s).AsString(), u"000001"_s);
    EXPECT_EQ(skl.FieldByName(u"SKL_SNC"_s).AsFloat(), 12.5);
    EXPECT_EQ(skl.FieldByName(u"SKL_MEN"_s).AsString(), u"CZK"_s);
    EXPECT_EQ(skl.FieldByName(u"SKL_KUR"_s).AsFloat(), 1.0);
    EXPECT_EQ(skl.FieldByName(u"SKL_POC"_s).AsFloat(), 0.0);
    EXPECT_EQ(skl.FieldByName(u"SKL_POZ"_s).AsString(), u"sud 0,5"_s);
    EXPECT_EQ(skl.RecordCount(), 4);

    // Ctrl+Del with OK deletes the variant under the cursor.
    TMessageRecorder yes(true);
    WhenOpens<TPrehlNakCen>([](TPrehlNakCen* w) {
        Press(Qt::Key_Delete, Qt::ControlModifier);
        ProcessEvents();
        EXPECT_EQ(ColumnTexts(w->Grid(), 1), (QStringList{u"002"_s, u"007"_s}));
        Press(Qt::Key_Escape);
    });
    EXPECT_FALSE(data->SklValid(u"000001"_s, u"009"_s));
    EXPECT_EQ(yes.messages, QStringList{u"Delete record?"_s});
    EXPECT_EQ(skl.RecordCount(), 3);
}

// A variant needs its card: without a current assortment card nothing is appended.
TEST_P(VariantTest, NewVariantWithoutACard)
{
    Sor().Close();
    TMessageRecorder told;
    WhenOpens<TPrehlNakCen>([](TPrehlNakCen* w) {
        Press(Qt::Key_F2);
        ProcessEvents();
        EXPECT_EQ(w->Grid()->model()->rowCount(), 2);
        Press(Qt::Key_Escape);
    });
    EXPECT_FALSE(data->SklValid(u"000001"_s, u"009"_s));
    EXPECT_EQ(told.messages, QStringList{u"Není vybrána karta sortimentu."_s});
    EXPECT_EQ(Skl().State(), TDataSetState::Browse);
    EXPECT_EQ(Skl().RecordCount(), 3);
}

// ---------------------------------------------------------------------------------------------------
// Progress window of the stock card rebuild

// Records each progress window as it is shown and hidden.
class TProgressWatch : public QObject {
public:
    TProgressWatch() { qApp->installEventFilter(this); }
    ~TProgressWatch() override { qApp->removeEventFilter(this); }

    struct Seen {
        QString title, label, value;
        Qt::WindowFlags flags;
        bool activated = false;
        int lastPercent = -1;
        bool hidden = false;
    };
    QList<Seen> seen;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        auto* w = qobject_cast<TProgresWin*>(watched);
        if (!w)
            return false;
        if (e->type() == QEvent::Show) {
            Seen s;
            s.title = w->windowTitle();
            s.label = w->Label()->text();
            s.value = w->ValueLabel()->text();
            s.flags = w->windowFlags();
            s.activated = QApplication::activeWindow() == w;
            seen.append(s);
            Shot(w, u"ProgresWin"_s);
        } else if (e->type() == QEvent::Hide && !seen.isEmpty()) {
            seen.last().lastPercent = w->Gauge()->value();
            seen.last().hidden = true;
        }
        return false;
    }
};

// The rebuild holds its transaction while the progress window moves: nothing may open a modal loop
// meanwhile, not even a message box that a refused field left for after the focus change.
TEST_P(AssortmentTest, RebuildStartsNoModalLoopInsideItsTransaction)
{
    InstallProgressHooks(*data);
    AddCards({{u"000001"_s, u"Čaj zelený"_s, 25}});
    AddVariant(u"000001"_s, u"001"_s, 0, 10, 0);
    for (double kus : {-2.0, -3.0})
        AddJournal(u"000001"_s, u"001"_s, kus);

    QStringList shown, shownInTransaction;
    const TMessageHandler previous = SetMessageHandler([&](TMessageKind, const QString& text) {
        shown << text;
        if (data->ffDatabase->InTransaction())
            shownInTransaction << text;
        return true;
    });
    ReportAfterFocusChange(u"Chybný počet kusů"_s);
    int paints = 0;
    const auto step = data->ProgressStep;
    data->ProgressStep = [&](int percent) {
        step(percent);
        ++paints;
    };
    EXPECT_TRUE(data->RekonstrukceKarty(u"000001"_s));
    EXPECT_GT(paints, 0);
    EXPECT_TRUE(shownInTransaction.isEmpty()) << shownInTransaction.join(u" | "_s).toStdString();
    ProcessEvents();
    SetMessageHandler(previous);
    EXPECT_EQ(shown, QStringList{u"Chybný počet kusů"_s}) << "the message comes after the transaction";
}

TEST_P(AssortmentTest, RebuildShowsAProgressWindowPerVariant)
{
    InstallProgressHooks(*data);
    AddCards({{u"000001"_s, u"Čaj zelený"_s, 25}});
    AddVariant(u"000001"_s, u"001"_s, 0, 10, 0);
    AddVariant(u"000001"_s, u"002"_s, 0, 7, 0);
    for (double kus : {-2.0, -3.0, 0.0})
        AddJournal(u"000001"_s, u"001"_s, kus);

    TProgressWatch watch;
    EXPECT_TRUE(data->RekonstrukceKarty(u"000001"_s));
    ProcessEvents();
    ASSERT_EQ(watch.seen.size(), 2);
    for (const auto& s : watch.seen) {
        EXPECT_EQ(s.title, u"Rekonstrukce skladové karty"_s);
        EXPECT_EQ(s.label, u"Název sortimentu "_s);
        EXPECT_EQ(s.value, u"Čaj zelený"_s);
        EXPECT_TRUE(s.flags & Qt::Tool);
        EXPECT_FALSE(s.flags & (Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint));
        EXPECT_FALSE(s.activated);
        EXPECT_TRUE(s.hidden);
    }
    EXPECT_EQ(watch.seen[0].lastPercent, 100);
    EXPECT_EQ(watch.seen[1].lastPercent, 0) << "a variant without movements";
    for (QWidget* w : QApplication::topLevelWidgets()) {
        EXPECT_FALSE(qobject_cast<TProgresWin*>(w) && w->isVisible());
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    Skl().Open();
    Skl().SetIndexName(u"KAV"_s);
    ASSERT_TRUE(Skl().FindKey({u"000001"_s, u"001"_s}));
    EXPECT_EQ(Skl().FieldByName(u"SKL_STA"_s).AsFloat(), 5.0);
    ASSERT_TRUE(Skl().FindKey({u"000001"_s, u"002"_s}));
    EXPECT_EQ(Skl().FieldByName(u"SKL_STA"_s).AsFloat(), 7.0);
    Skl().Close();
    Sor().Open();
    Sor().SetIndexName(u"KAV"_s);
    ASSERT_TRUE(Sor().FindKey({u"000001"_s}));
    EXPECT_EQ(Sor().FieldByName(u"SOR_STA"_s).AsFloat(), 12.0);
    Sor().Close();
}

TEST(ProgresWin, DesignedTextsAndGauge)
{
    TProgresWin w;
    EXPECT_EQ(w.windowTitle(), u"Indexace datových souborů"_s);
    EXPECT_EQ(w.Label()->text(), u"Indexace souboru :"_s);
    EXPECT_EQ(w.Gauge()->minimum(), 0);
    EXPECT_EQ(w.Gauge()->maximum(), 100);
    w.SetPosition(140);
    EXPECT_EQ(w.Gauge()->value(), 100);
    w.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
    // Centred before the window has a frame: off by the frame's width at most.
    const QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    const QPoint frame = w.geometry().topLeft() - w.frameGeometry().topLeft();
    const QPoint off = w.frameGeometry().center() - screen->availableGeometry().center();
    EXPECT_LE(std::abs(off.x()), frame.x() + 1);
    EXPECT_LE(std::abs(off.y()), frame.y() + 1);
}

KV_INSTANTIATE_STORES(AssortmentTest);
KV_INSTANTIATE_STORES(VariantTest);

}  // namespace
