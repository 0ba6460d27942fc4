// korvanta-db demo: the Czech demo data set of a tennis club's reception.
#include "DbTool.h"

#include "DataSetRows.h"
#include "ToolStore.h"

#include "DataUnit.h"
#include "Table.h"
#include "Transaction.h"

#include <QHash>
#include <QTextStream>

#include <algorithm>
#include <memory>
#include <tuple>
#include <vector>

using namespace Qt::StringLiterals;
using namespace Tool;

namespace {

enum class TRate { Standard, Reduced, Zero };

struct TDemoCard {
    const char16_t* kav;
    const char16_t* nac;
    const char16_t* sku;
    bool skl;
    TRate rate;
    double pc1, pc2;
    std::vector<std::pair<double, double>> variants;  // purchase price, opening stock
};

struct TDemoLine {
    const char16_t* kav;
    double qty;
};

struct TDemoReceipt {
    int daysAgo;
    QTime at;
    const char16_t* fuh;
    bool byCashier;  // POKLADNI, else the OS user
    std::vector<TDemoLine> lines;
};

struct TDemoMove {
    int daysAgo;
    const char16_t* kav;
    double kus;
    double koe;
};

struct TDemoPass {
    const char16_t* jme;
    int issuedDaysAgo;
    std::vector<TDemoMove> moves;
};

// clang-format off
const std::vector<TDemoCard>& DemoCards()
{
    using R = TRate;
    static const std::vector<TDemoCard> cards{
        {u"100001", u"Vstupné dospělí", u"SLU", false, R::Reduced, 120, 100, {{0, 0}}},
        {u"100002", u"Vstupné děti", u"SLU", false, R::Reduced, 70, 60, {{0, 0}}},
        {u"100003", u"Vstupné senioři", u"SLU", false, R::Reduced, 80, 70, {{0, 0}}},
        {u"100004", u"Permanentka 10 vstupů", u"SLU", false, R::Reduced, 1000, 900, {{0, 0}}},
        {u"100005", u"Permanentka měsíční", u"SLU", false, R::Reduced, 1500, 1350, {{0, 0}}},
        {u"100006", u"Pronájem kurtu 1 hod.", u"SLU", false, R::Standard, 350, 300, {{0, 0}}},
        {u"100007", u"Lekce s trenérem", u"SLU", false, R::Standard, 500, 450, {{0, 0}}},
        {u"100008", u"Zapůjčení rakety", u"SLU", false, R::Standard, 60, 50, {{0, 0}}},
        {u"100009", u"Úschova cenností", u"SLU", false, R::Standard, 20, 20, {{0, 0}}},
        {u"100010", u"Členský příspěvek", u"SLU", false, R::Zero, 800, 800, {{0, 0}}},
        {u"100011", u"Sauna 1 hod.", u"SLU", false, R::Reduced, 150, 130, {{0, 0}}},
        {u"100012", u"Káva espresso", u"NAP", false, R::Reduced, 45, 40, {{0, 0}}},
        {u"100013", u"Čaj s citronem", u"NAP", false, R::Reduced, 35, 30, {{0, 0}}},
        {u"200001", u"Minerální voda 0,5 l", u"NAP", true, R::Reduced, 25, 22, {{9.50, 24}, {10.20, 48}}},
        {u"200002", u"Iontový nápoj 0,5 l", u"NAP", true, R::Reduced, 39, 35, {{18.00, 6}, {19.50, 24}, {20.10, 24}}},
        {u"200003", u"Nealkoholické pivo 0,5 l", u"NAP", true, R::Standard, 39, 35, {{17.90, 20}}},
        {u"200004", u"Energetický nápoj 0,25 l", u"NAP", true, R::Standard, 49, 45, {{21.30, 24}}},
        {u"200005", u"Čokoládová tyčinka", u"POT", true, R::Reduced, 22, 20, {{11.40, 40}}},
        {u"200006", u"Proteinová tyčinka", u"POT", true, R::Reduced, 45, 40, {{24.00, 12}, {26.50, 20}}},
        {u"200007", u"Müsli tyčinka", u"POT", true, R::Reduced, 18, 16, {{8.70, 30}}},
        {u"200008", u"Bageta se šunkou", u"POT", true, R::Reduced, 65, 60, {{38.00, 8}}},
        {u"200009", u"Tenisové míčky (3 ks)", u"ZBO", true, R::Standard, 189, 170, {{110.00, 10}, {118.00, 12}}},
        {u"200010", u"Badmintonové míčky (6 ks)", u"ZBO", true, R::Standard, 249, 225, {{142.00, 8}}},
        {u"200011", u"Grip omotávka", u"ZBO", true, R::Standard, 129, 115, {{64.00, 15}, {69.50, 10}}},
        {u"200012", u"Ručník s logem klubu", u"ZBO", true, R::Standard, 349, 315, {{180.00, 10}}},
        {u"200013", u"Tričko klubové vel. M", u"ZBO", true, R::Standard, 399, 360, {{210.00, 1}, {225.00, 6}, {232.00, 5}}},
        {u"200014", u"Tričko klubové vel. L", u"ZBO", true, R::Standard, 399, 360, {{210.00, 4}, {225.00, 6}}},
        {u"200015", u"Kšiltovka", u"ZBO", true, R::Standard, 249, 225, {{120.00, 7}}},
        {u"200016", u"Ponožky sportovní", u"ZBO", true, R::Standard, 149, 135, {{61.00, 20}}},
        {u"200017", u"Láhev na pití 0,7 l", u"ZBO", true, R::Standard, 199, 180, {{95.00, 12}}},
        {u"200018", u"Visací zámek", u"ZBO", true, R::Standard, 99, 90, {{45.00, 10}}},
    };
    return cards;
}

const QList<TDemoReceipt>& DemoReceipts()
{
    static const QList<TDemoReceipt> receipts{
        {3, QTime(9, 12), u"1", true, {{u"100001", 2}, {u"100002", 1}, {u"200001", 2}, {u"200005", 1}}},
        {3, QTime(10, 40), u"2", true, {{u"100006", 1}, {u"200009", 1}, {u"200011", 1}, {u"100008", 2}}},
        // Sold over two variants each, as the receipt window splits a quantity.
        {2, QTime(16, 5), u"1", false, {{u"200013", 2}, {u"200002", 8}, {u"100012", 1}}},
        {1, QTime(18, 30), u"1", true, {{u"100011", 2}, {u"200003", 2}, {u"200007", 3}, {u"100013", 1}}},
        {1, QTime(19, 45), u"2", false, {{u"100004", 1}, {u"200006", 1}, {u"200016", 2}}},
    };
    return receipts;
}

const std::vector<TDemoPass>& DemoPasses()
{
    static const std::vector<TDemoPass> passes{
        {u"Jan Novák", 40, {{40, u"100004", 1, 1}, {35, u"100001", 2, -1}, {20, u"100011", 1, -1}, {3, u"100001", 1, -1}}},
        // Drawn down to exactly nothing.
        {u"Marie Dvořáková", 30, {{30, u"100005", 1, 1}, {10, u"100007", 3, -1}}},
        {u"Petr Černý", 10, {{10, u"100004", 2, 1}, {5, u"100006", 1, -1}, {2, u"200001", 2, -1}}},
        {u"Šárka Řeháková", 1, {}},
    };
    return passes;
}
// clang-format on

int DemoRate(TRate r, const TData& data)
{
    switch (r) {
    case TRate::Standard:
        return data.Dan22;
    case TRate::Reduced:
        return data.Dan05;
    case TRate::Zero:
        return data.Dan00;
    }
    return data.Dan22;
}

std::unique_ptr<TTable> OpenTable(TDatabase& db, const QString& prefix, const QString& org)
{
    const TTableDef& def = TableDef(prefix);
    auto t = std::make_unique<TTable>(db, def);
    t->SetTableName(TableNameFor(def, org));
    t->Open();
    return t;
}

void SetFields(TTable& t, const QList<std::pair<const char16_t*, QVariant>>& values)
{
    for (const auto& [name, value] : values)
        t.FieldByName(QString::fromUtf16(name)).SetValue(value);
}

void AddRecord(TTable& t, const QList<std::pair<const char16_t*, QVariant>>& values)
{
    t.Append();
    SetFields(t, values);
    t.Post();
}

// The demo set in the order the program would have made it: the cards with their stock after every
// sale, the receipts (a quantity split over the variants in order, passing over those without stock,
// as the receipt window splits it), the passes with their movements. Returns the number of receipts.
qint64 WriteDemoSet(TWriters& w, const TData& data, const TStation& station, const QString& cashierIni,
                    const QString& osIni, qint64 lastReceipt, qint64 lastPassCode)
{
    struct TVariant {
        TSaleItem item;
        double poc = 0, stock = 0;
    };
    struct TCard {
        const TDemoCard* demo = nullptr;
        int dan = 0;
        QList<int> variants;
        QDate lastSale;
    };
    QList<TCard> cards;
    QList<TVariant> variants;
    QHash<QString, int> byCode;
    for (const TDemoCard& d : DemoCards()) {
        TCard c{&d, DemoRate(d.rate, data), {}, {}};
        for (const auto& [snc, poc] : d.variants) {
            c.variants << static_cast<int>(variants.size());
            const QString ind = u"%1"_s.arg(c.variants.size() - 1, 3, 10, QLatin1Char('0'));
            variants << TVariant{TSaleItem{QString::fromUtf16(d.kav), ind, d.skl, d.pc1, c.dan, snc}, poc,
                                 poc};
        }
        byCode.insert(QString::fromUtf16(d.kav), static_cast<int>(cards.size()));
        cards << c;
    }

    // The sales first, so that the cards are written with the stock they end with.
    struct TSale {
        int variant;
        double qty;
    };
    const QDate today = QDate::currentDate();
    QList<QList<TSale>> sales;
    for (const TDemoReceipt& d : DemoReceipts()) {
        QList<TSale> lines;
        for (const TDemoLine& l : d.lines) {
            TCard& c = cards[byCode.value(QString::fromUtf16(l.kav))];
            c.lastSale = today.addDays(-d.daysAgo);
            if (!c.demo->skl) {
                lines << TSale{c.variants.first(), l.qty};
                continue;
            }
            double left = l.qty;
            for (int vi : c.variants) {
                if (left <= 0)
                    break;
                if (variants[vi].stock <= 0)
                    continue;
                const double take = std::min(left, variants[vi].stock);
                lines << TSale{vi, take};
                variants[vi].stock -= take;
                left -= take;
            }
            Q_ASSERT(left == 0);
        }
        sales << lines;
    }

    for (const TCard& c : cards) {
        double sta = 0;
        for (int vi : c.variants)
            sta += c.demo->skl ? variants[vi].stock : variants[vi].poc;
        WriteCard(*w.sor, TCardRow{QString::fromUtf16(c.demo->kav), QString::fromUtf16(c.demo->nac),
                                   QString::fromUtf16(c.demo->sku), c.demo->skl, c.demo->pc1, c.demo->pc2,
                                   c.dan, sta, c.lastSale});
    }
    for (const TCard& c : cards)
        for (int vi : c.variants) {
            const TVariant& v = variants[vi];
            WriteVariant(*w.skl, TVariantRow{v.item.kav, v.item.ind, v.item.snc, v.poc,
                                             c.demo->skl ? v.stock : v.poc});
        }

    TReceiptRows receipt(w, station);
    for (TVariant& v : variants)
        v.stock = v.poc;
    qint64 number = lastReceipt;
    const QList<TDemoReceipt>& demoReceipts = DemoReceipts();
    for (qsizetype ri = 0; ri < demoReceipts.size(); ++ri) {
        const TDemoReceipt& d = demoReceipts[ri];
        receipt.Begin(ReceiptNumber(++number), QDateTime(today.addDays(-d.daysAgo), d.at),
                      QString::fromUtf16(d.fuh), d.byCashier ? cashierIni : osIni);
        for (const TSale& s : sales[ri])
            receipt.Line(variants[s.variant].item, s.qty, variants[s.variant].stock);
        receipt.End();
    }

    qint64 code = std::max<qint64>(lastPassCode, 1000);
    QList<std::pair<TPassRow, QList<TPassMove>>> passes;
    for (const TDemoPass& d : DemoPasses()) {
        TPassRow p;
        p.kod = QString::number(++code);
        p.jme = QString::fromUtf16(d.jme);
        p.odd = today.addDays(-d.issuedDaysAgo).startOfDay();
        p.dod = p.odd.addYears(1);
        QList<TPassMove> moves;
        for (const TDemoMove& m : d.moves) {
            const TDemoCard& c = *cards[byCode.value(QString::fromUtf16(m.kav))].demo;
            moves << TPassMove{QString::fromUtf16(c.kav),
                               QString::fromUtf16(c.nac),
                               c.pc2,
                               DemoRate(c.rate, data),
                               m.kus,
                               m.koe,
                               today.addDays(-m.daysAgo)};
        }
        WritePass(*w.leg, p, moves);
        passes.append({p, moves});
    }
    w.leg->Flush();
    for (const auto& [p, moves] : passes) {
        const qint64 id = w.leg->StoredId(p.kod);
        if (id == 0)
            throw EDatabaseError(u"Legitimace %1 nebyla uložena."_s.arg(p.kod));
        WritePassMoves(*w.lep, id, moves);
    }
    return static_cast<qint64>(demoReceipts.size());
}

}  // namespace

void TDbTool::Demo()
{
    TDatabase& db = *m_data.ffDatabase;
    const QString org = m_data.Prodejna;
    RequireTables(db, org, AllPrefixes());

    TTransaction tx(db);
    {
        auto sor = OpenTable(db, u"SOR"_s, org);
        if (!sor->IsEmpty())
            throw EDatabaseError(
                u"Sortiment %1 není prázdný: ukázková data se nahrávají jen do prázdné databáze. Nic nebylo změněno."_s
                    .arg(sor->TableName()));
        sor->Close();
        QStringList loaded;

        // Shared reference tables: filled only when another organisation has not filled them yet.
        if (auto vla = OpenTable(db, u"VLA"_s, org); vla->IsEmpty()) {
            AddRecord(*vla, {{u"VLA_KOD", u"000001"_s},
                             {u"VLA_ICO", u"27081231"_s},
                             {u"VLA_DIC", u"CZ27081231"_s},
                             {u"VLA_JED", org},
                             {u"VLA_FIR", u"Tenisový klub Ořechov, z.s."_s},
                             {u"VLA_NAC", u"Recepce"_s},
                             {u"VLA_ULI", u"Za Sokolovnou 418"_s},
                             {u"VLA_MES", u"Ořechov"_s},
                             {u"VLA_PSC", u"664 44"_s},
                             {u"VLA_STA", u"Česká republika"_s},
                             {u"VLA_TEL", u"+420 547 225 118"_s},
                             {u"VLA_EML", u"recepce@tk-orechov.cz"_s},
                             {u"VLA_JME", u"Jana Horáková"_s},
                             {u"VLA_MOB", u"+420 604 118 225"_s},
                             {u"VLA_UCE", u"2801234567/2010"_s},
                             {u"VLA_BAN", u"Fio banka, a.s."_s},
                             {u"VLA_ZAP", u"Spolek zapsaný u Krajského soudu v Brně, L 12345"_s},
                             {u"VLA_POC", QDate(QDate::currentDate().year(), 1, 1)},
                             {u"VLA_KON", u"0308"_s}});
            loaded << vla->TableName();
        }
        if (auto orgs = OpenTable(db, u"ORG"_s, org); orgs->IsEmpty()) {
            AddRecord(*orgs, {{u"ORG_KOD", u"0001"_s},
                              {u"ORG_NAC", u"Recepce – hlavní budova"_s},
                              {u"ORG_ULI", u"Za Sokolovnou 418"_s},
                              {u"ORG_MES", u"Ořechov"_s},
                              {u"ORG_PSC", u"664 44"_s},
                              {u"ORG_CEN", u"1"_s},
                              {u"ORG_SLE", 0.0}});
            AddRecord(*orgs, {{u"ORG_KOD", u"0002"_s},
                              {u"ORG_NAC", u"Bufet u kurtů"_s},
                              {u"ORG_ULI", u"Za Sokolovnou 418"_s},
                              {u"ORG_MES", u"Ořechov"_s},
                              {u"ORG_PSC", u"664 44"_s},
                              {u"ORG_CEN", u"1"_s},
                              {u"ORG_SLE", 0.0}});
            loaded << orgs->TableName();
        }
        if (auto fuh = OpenTable(db, u"FUH"_s, org); fuh->IsEmpty()) {
            for (const auto& [code, name, onReceipts] : {std::tuple{u"1", u"Hotově", u"1"},
                                                         {u"2", u"Platební karta", u"1"},
                                                         {u"3", u"Převodem", u"0"}})
                AddRecord(*fuh, {{u"FUH_FUH", QString::fromUtf16(code)},
                                 {u"FUH_NAC", QString::fromUtf16(name)},
                                 {u"FUH_UCT", QString::fromUtf16(onReceipts)},
                                 {u"FUH_FAK", u"1"_s},
                                 {u"FUH_UVK", false}});
            loaded << fuh->TableName();
        }
        if (auto cen = OpenTable(db, u"CEN"_s, org); cen->IsEmpty()) {
            AddRecord(*cen, {{u"CEN_KOD", u"1"_s},
                             {u"CEN_NAC", u"Základní ceník"_s},
                             {u"CEN_DPH", true},
                             {u"CEN_REF", 0}});
            loaded << cen->TableName();
        }

        // The OS user signs on without a dialog; POKLADNI with the password "heslo".
        const QString login = OsLogin();
        const QString osIni = login.left(2);
        const QString cashierIni = u"PO"_s;
        {
            auto usr = OpenTable(db, u"USR"_s, org);
            int added = 0;
            auto addUser = [&](const QString& lna, const QString& psw, const QString& ini,
                               const QString& nac) {
                // A name longer than the field could never sign on.
                if (lna.isEmpty() || lna.size() > 10 || usr->Locate(u"USR_LNA"_s, {lna}))
                    return;
                const int code = usr->RecordCount() + 1;
                AddRecord(*usr, {{u"USR_KOD", u"%1"_s.arg(code, 3, 10, QLatin1Char('0'))},
                                 {u"USR_LNA", lna},
                                 {u"USR_PSW", psw},
                                 {u"USR_INI", ini},
                                 {u"USR_NAC", nac}});
                ++added;
            };
            addUser(login, QString(), osIni, TData::OsUserName().trimmed());
            addUser(u"POKLADNI"_s, u"heslo"_s, cashierIni, u"Pokladní"_s);
            if (added)
                loaded << usr->TableName();
        }

        const qint64 lastReceipt = LastReceiptNumber(db, org);
        const qint64 lastPass = MaxDigitsCode(db, Sql(TableDef(u"LEG"_s), org), u"LEG_KOD"_s);
        TWriters w = MakeWriters(db, org, TWriteMode::Cursor);
        const qint64 receipts = WriteDemoSet(
            w, m_data, TStation{m_data.Dan22, m_data.Dan05, m_data.Dan00, GrossPrices(db, m_data)},
            cashierIni, osIni, lastReceipt, lastPass);
        w.FlushAll();
        SetReceiptCounter(db, org, lastReceipt + receipts);

        m_out << u"Ukázková data nahrána do organizace %1."_s.arg(org) << Qt::endl;
        if (!loaded.isEmpty())
            m_out << u"Číselníky: %1"_s.arg(TableList(loaded)) << Qt::endl;
        m_out << u"Karty sortimentu: %1, skladové karty: %2, účtenky: %3, řádky deníku: %4, legitimace: %5, "
                 u"pohyby legitimací: %6"_s.arg(w.sor->Count())
                     .arg(w.skl->Count())
                     .arg(w.uce->Count())
                     .arg(w.den->Count())
                     .arg(w.leg->Count())
                     .arg(w.lep->Count())
              << Qt::endl;
        m_out << u"Uživatelé: %1 (bez hesla), POKLADNI (heslo „heslo“)"_s.arg(login) << Qt::endl;
    }
    tx.Commit();
}
