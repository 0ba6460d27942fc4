// The layout routines of the receipt-printer printouts and the receipt's bytes.
#include "PrintLayout.h"
#include "ReceiptPrintout.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <tuple>

using namespace Qt::StringLiterals;

namespace {

const QLocale kCzech(QLocale::Czech, QLocale::Czechia);
const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);

TEST(PrintLayout, AmountsRoundHalvesAwayFromZero)
{
    const QList<std::tuple<double, QLocale, QByteArray>> cases = {
        {35, kCzech, "   35,00"},
        {0.125, kCzech, "    0,13"},  // binary 0.125 is an exact half: printf would give 0,12
        {-0.125, kCzech, "   -0,13"},
        {2.5, kCzech, "    2,50"},
        {2.675, kCzech, "    2,68"},  // stored as 2.67499999...: read as the operator typed it
        {1.005, kCzech, "    1,01"},
        {0.994, kCzech, "    0,99"},
        {99999.995, kCzech, "100000,00"},
        {123456.5, kCzech, "123456,50"},  // nine characters: the field grows
        {-0.001, kCzech, "    0,00"},     // rounds to zero: no minus sign
        {-0.0, kCzech, "    0,00"},
        {-70, kCzech, "  -70,00"},
        {1234567.891, kEnglish, "1234567.89"},
        {-1.5, kEnglish, "   -1.50"},
    };
    for (const auto& [value, locale, text] : cases) {
        EXPECT_EQ(PrintLayout::Amount(value, locale), text) << value;
        EXPECT_EQ(PrintLayout::AmountText(value, locale), QString::fromLatin1(text)) << value;
    }
}

TEST(PrintLayout, QuantitiesAndCells)
{
    const QList<std::pair<double, QByteArray>> quantities = {
        {1, "1"}, {2, "2"}, {1.5, "2"}, {2.5, "3"}, {0.5, "1"}, {-2.5, "-3"}, {12345, "12345"}, {0.4, "0"}};
    for (const auto& [value, text] : quantities)
        EXPECT_EQ(PrintLayout::Quantity(value), text) << value;

    EXPECT_EQ(PrintLayout::Col28("abc"), "abc" + QByteArray(25, ' '));
    EXPECT_EQ(PrintLayout::Col28(QByteArray(30, 'x')), QByteArray(28, 'x'));
    // An odd surplus puts the extra blank at the end; a long text stays whole.
    EXPECT_EQ(PrintLayout::Centre39("ab"), QByteArray(18, ' ') + "ab" + QByteArray(19, ' '));
    EXPECT_EQ(PrintLayout::Centre39(QByteArray(45, 'y')), QByteArray(45, 'y'));
}

// ---------------------------------------------------------------------------------------------------
// The receipt's bytes, written out by hand.

QByteArray Sp(int n)
{
    return QByteArray(n, ' ');
}

QByteArray Line(const QByteArray& text)
{
    return text + "\n\r";
}

const QByteArray kLf("\n");
const QByteArray kBold("\x1B\x68\x31");
const QByteArray kBoldEnd("\x1B\x68\x30");
const QByteArray kClosing = Line("\x1B\x57\x31" + Sp(4) + "Dekujeme Vam" + Sp(4) + "\x1B\x57\x30");

TReceiptPrint Receipt(QList<TReceiptPrintLine> lines = {})
{
    TReceiptPrint r;
    r.firm = u" Obchod Korvanta "_s;
    r.street = u"Hlavni 5  "_s;
    r.town = u" Brno "_s;
    r.postcode = u"602 00"_s;
    r.ico = u"12345678"_s;
    r.dic = u"CZ12345678"_s;
    r.number = u"0000000042"_s;
    r.issued = QDateTime(QDate(2026, 3, 15), QTime(14, 5, 33));
    r.lines = std::move(lines);
    return r;
}

// Receipt()'s heading, each text centred in 39 columns (the extra blank of an odd surplus at the end).
const QByteArray kFirm = Line(Sp(12) + "Obchod Korvanta" + Sp(12));
const QByteArray kAddress = Line(Sp(8) + "Hlavni 5  ,Brno,602 00" + Sp(9));
const QByteArray kIco = Line(Sp(6) + "ICO 12345678,DIC CZ12345678" + Sp(6));
const QByteArray kNumber = Line(Sp(3) + "Pokladni doklad cislo 0000000042" + Sp(4));
const QByteArray kIssued = Line(Sp(4) + "Vystaveno dne 15.03.2026 14:05" + Sp(5));
const QByteArray kHeading = kFirm + kAddress + kIco + kNumber + kIssued + kLf;

QByteArray Summary(const QByteArray& caption, const QByteArray& amount)
{
    return Line(caption + Sp(28 - int(caption.size())) + " " + amount + " Kc");
}

QByteArray Total(const QByteArray& amount)
{
    return Line(kBold + "Celkem k uhrade" + Sp(13) + " " + amount + " Kc" + kBoldEnd);
}

TEST(ReceiptPrintoutBytes, Layouts)
{
    struct Case {
        const char* what;
        TReceiptPrint receipt;
        QByteArray expected;
    };

    TReceiptPrint quantities = Receipt({{u"Rohlik"_s, 1, 3.5, 3.5},
                                        {u"Chleba"_s, 2, 32.9, 65.8},
                                        {u"Syr"_s, 1.5, 120, 180},
                                        {u"Salam"_s, 0.5, 200, 100},
                                        {u"Jogurt"_s, 2.5, 10, 25}});
    quantities.base22 = 304.43;
    quantities.vat22 = 69.87;
    quantities.total = 374.3;

    TReceiptPrint onlyZero = Receipt({{u"Noviny"_s, 1, 25, 25}});
    onlyZero.base00 = 25;
    onlyZero.total = 25;

    TReceiptPrint allBases =
        Receipt({{u"Pivo"_s, 1, 122, 122}, {u"Mleko"_s, 1, 21, 21}, {u"Kniha"_s, 1, 300, 300}});
    allBases.base22 = 100;
    allBases.vat22 = 22;
    allBases.base05 = 20;
    allBases.vat05 = 1;
    allBases.base00 = 300;
    allBases.total = 443;

    TReceiptPrint longName = Receipt({{u"Celozrnny chleb se slunecnicovym seminkem"_s, 1, 45, 45}});
    longName.total = 45;

    TReceiptPrint emptyOwner = Receipt();
    emptyOwner.firm = emptyOwner.street = emptyOwner.town = emptyOwner.postcode = emptyOwner.ico =
        emptyOwner.dic = QString();

    TReceiptPrint longHeading = Receipt();
    longHeading.street = u"Sportovni 1234/56"_s;
    longHeading.town = u"Praha 7 - Holesovice"_s;
    longHeading.postcode = u"170 00"_s;
    longHeading.dic = QString();

    TReceiptPrint czech = Receipt({{u"Kuřecí řízek"_s, 2, 89.5, 179}});
    czech.firm = u"Řeznictví Šťastný"_s;
    czech.total = 179;

    TReceiptPrint bigTotal = Receipt({{u"Auto"_s, 1, 123456.5, 123456.5}});
    bigTotal.total = 123456.5;

    const QList<Case> cases = {
        {"quantities 1, 2, 1.5, 0.5 and 2.5", quantities,
         kHeading + Line("Rohlik" + Sp(22) + " " + "    3,50" + " *") +
             Line("Chleba" + Sp(22) + " " + "   32,90" + "  ") +
             Line("2 ks" + Sp(24) + " " + "   65,80" + " *") +
             Line("Syr" + Sp(25) + " " + "  120,00" + "  ") +
             Line("2 ks" + Sp(24) + " " + "  180,00" + " *") +
             Line("Salam" + Sp(23) + " " + "  100,00" + " *") +
             Line("Jogurt" + Sp(22) + " " + "   10,00" + "  ") +
             Line("3 ks" + Sp(24) + " " + "   25,00" + " *") + kLf +
             Summary("Celkem bez dane 22%", "  304,43") + Summary("Dan 22%", "   69,87") + Total("  374,30") +
             kClosing},
        {"no lines", Receipt(), kHeading + kLf + Total("    0,00") + kClosing},
        {"only a 0 % base", onlyZero,
         kHeading + Line("Noviny" + Sp(22) + " " + "   25,00" + " *") + kLf +
             Summary("Celkem bez dane 0%", "   25,00") + Total("   25,00") + kClosing},
        {"all three bases", allBases,
         kHeading + Line("Pivo" + Sp(24) + " " + "  122,00" + " *") +
             Line("Mleko" + Sp(23) + " " + "   21,00" + " *") +
             Line("Kniha" + Sp(23) + " " + "  300,00" + " *") + kLf +
             Summary("Celkem bez dane 22%", "  100,00") + Summary("Dan 22%", "   22,00") +
             Summary("Celkem bez dane 5%", "   20,00") + Summary("Dan 5%", "    1,00") +
             Summary("Celkem bez dane 0%", "  300,00") + Total("  443,00") + kClosing},
        {"a long item name is cut to 28", longName,
         kHeading + Line("Celozrnny chleb se slunecnic" + QByteArray(" ") + "   45,00" + " *") + kLf +
             Total("   45,00") + kClosing},
        {"an empty owner", emptyOwner,
         Line(Sp(39)) + Line(Sp(18) + ",," + Sp(19)) + Line(Sp(15) + "ICO ,DIC" + Sp(16)) + kNumber +
             kIssued + kLf + kLf + Total("    0,00") + kClosing},
        {"a long heading is printed whole, an empty tax id", longHeading,
         kFirm + Line("Sportovni 1234/56,Praha 7 - Holesovice,170 00") +
             Line(Sp(11) + "ICO 12345678,DIC" + Sp(12)) + kNumber + kIssued + kLf + kLf + Total("    0,00") +
             kClosing},
        {"Czech letters: heading in code page 1250, items in code page 852", czech,
         Line(Sp(11) +
              "\xD8"
              "eznictv\xED \x8A\x9D"
              "astn\xFD" +
              Sp(11)) +
             kAddress + kIco + kNumber + kIssued + kLf +
             Line("Ku\xFD"
                  "ec\xA1 \xFD\xA1"
                  "zek" +
                  Sp(16) + " " + "   89,50" + "  ") +
             Line("2 ks" + Sp(24) + " " + "  179,00" + " *") + kLf + Total("  179,00") + kClosing},
        {"a total of nine characters makes its line longer", bigTotal,
         kHeading + Line("Auto" + Sp(24) + " " + "123456,50" + " *") + kLf + Total("123456,50") + kClosing},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QList<TPrintStep> steps = ReceiptPrintout::Lines(c.receipt, kCzech);
        EXPECT_EQ(PrintLayout::Bytes(steps), c.expected);
        for (const TPrintStep& s : steps)
            EXPECT_FALSE(s.text.contains('\n') || s.text.contains('\r'));
    }
}

}  // namespace
