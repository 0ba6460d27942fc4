// korvanta-db generate: a large consistent data set appended after the existing data, written as it is
// made, in batches, so that memory stays small whatever the size: what stays in memory is a few bytes
// per stock variant (its sales and running stock) and one batch of rows per table.
#include "DbTool.h"

#include "DataSetRows.h"
#include "ToolStore.h"

#include "DataUnit.h"
#include "Transaction.h"

#include <QElapsedTimer>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <vector>

using namespace Qt::StringLiterals;
using namespace Tool;

namespace {

// A small generator whose sequence depends only on its seed (splitmix64): the same seed makes the same
// receipts in both passes over them, and a card's own seed makes the same card whenever it is asked.
class TRandom {
public:
    explicit TRandom(quint64 seed) : m_state(seed) {}
    quint64 Next()
    {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    int Below(int n) { return n <= 1 ? 0 : static_cast<int>(Next() % static_cast<quint64>(n)); }
    double Money(double lo, double hi)
    {
        const double unit = static_cast<double>(Next() >> 11) * 0x1.0p-53;
        return std::round((lo + (hi - lo) * unit) * 100) / 100;
    }

private:
    quint64 m_state;
};

constexpr quint64 kSeed = 20240917;
enum TStream : quint64 { kCards = 1, kReceipts = 2, kStock = 3, kPasses = 4 };
quint64 SeedOf(TStream stream, quint64 index = 0)
{
    return kSeed ^ (stream << 56) ^ (index * 0x9E3779B97F4A7C15ULL);
}

const char16_t* const kGoods[] = {u"Míček", u"Tričko",   u"Láhev",   u"Čepice",  u"Ručník",  u"Šátek",
                                  u"Činka", u"Švihadlo", u"Řemínek", u"Žíněnka", u"Dres",    u"Chránič",
                                  u"Batoh", u"Tyčinka",  u"Nápoj",   u"Oplatka", u"Ponožky", u"Čelenka"};
const char16_t* const kServices[] = {u"Vstupné", u"Lekce", u"Pronájem", u"Úschova",
                                     u"Masáž",   u"Sauna", u"Kurz",     u"Trénink"};
const char16_t* const kMen[] = {u"Jan Novák",       u"Petr Svoboda",  u"Tomáš Dvořák",  u"Jiří Černý",
                                u"Lukáš Procházka", u"Martin Kučera", u"Ondřej Veselý", u"Jakub Horák",
                                u"Zdeněk Šťastný",  u"Vojtěch Říha"};
const char16_t* const kWomen[] = {
    u"Eva Nováková",     u"Jana Svobodová", u"Lucie Dvořáková", u"Tereza Černá",  u"Kateřina Procházková",
    u"Markéta Kučerová", u"Hana Veselá",    u"Zuzana Horáková", u"Šárka Šťastná", u"Věra Říhová"};

template <size_t N>
QString Pick(TRandom& rnd, const char16_t* const (&list)[N])
{
    return QString::fromUtf16(list[rnd.Below(static_cast<int>(N))]);
}

// Passes written per batch: their headers, then (with the identities the store gave them) their
// movements.
constexpr int kPassBatch = 1000;
// Journal rows between two progress reports.
constexpr qint64 kProgressRows = 10000;

// The new cards, each made from its own seed when asked: every fourth a service with one variant, the
// others stock items with the asked number of variants.
class TCards {
public:
    TCards(const TGenerateOptions& o, qint64 lastCard, const TData& data)
        : m_o(o), m_lastCard(lastCard), m_rates{data.Dan22, data.Dan05, data.Dan22, data.Dan00}
    {}

    struct TCard {
        QString kav, nac;
        bool skl = true;
        int dan = 0;
        double pc1 = 0, pc2 = 0;
        int variants = 1;
        qint64 firstVariant = 0;
    };

    static bool StockItem(qint64 i) { return i % 4 != 3; }
    int VariantCount(qint64 i) const { return StockItem(i) ? m_o.variants : 1; }
    qint64 FirstVariant(qint64 i) const { return (i - i / 4) * m_o.variants + i / 4; }
    qint64 VariantTotal() const { return FirstVariant(m_o.cards); }

    TCard Card(qint64 i) const
    {
        TRandom rnd(SeedOf(kCards, static_cast<quint64>(i)));
        TCard c;
        c.kav = u"%1"_s.arg(m_lastCard + 1 + i, 6, 10, QLatin1Char('0'));
        c.skl = StockItem(i);
        c.nac = (c.skl ? Pick(rnd, kGoods) : Pick(rnd, kServices)) + u' ' + c.kav;
        c.dan = m_rates[i % 4];
        c.pc1 = rnd.Money(10, 2000);
        c.pc2 = std::round(c.pc1 * 90) / 100;
        c.variants = VariantCount(i);
        c.firstVariant = FirstVariant(i);
        return c;
    }
    static QString VariantCode(int v) { return u"%1"_s.arg(v, 3, 10, QLatin1Char('0')); }
    static double PurchasePrice(const TCard& c, int v)
    {
        return c.skl ? std::round(c.pc1 * (55 + 2 * v)) / 100 : 0.0;
    }

private:
    const TGenerateOptions& m_o;
    qint64 m_lastCard;
    int m_rates[4];
};

// The receipts, made twice from the same seed: once to learn what each variant sells (so that the
// cards are written with opening stock that covers it), once to write them.
class TReceipts {
public:
    TReceipts(const TGenerateOptions& o, const QString& ini) : m_o(o), m_ini(ini), m_rnd(SeedOf(kReceipts))
    {
        // Wall-clock times kept as UTC: local time would ask the C library for the time zone on every row.
        const QDateTime now = QDateTime(QDate::currentDate(), QTime(QTime::currentTime().hour(), 0), Qt::UTC);
        m_from = now.addDays(-365);
        m_step = o.receipts > 0 ? 365.0 * 86400 / o.receipts : 0;
    }

    struct TLine {
        qint64 card = 0;
        int variant = 0;
        double qty = 0;
    };
    struct TReceipt {
        QDateTime at;
        QString fuh, ref;
    };

    TReceipt Receipt(int r) const
    {
        return TReceipt{m_from.addSecs(static_cast<qint64>(r * m_step)), r % 5 == 4 ? u"2"_s : u"1"_s,
                        r % 3 == 0 ? u"PO"_s : m_ini};
    }
    TLine NextLine(const TCards& cards)
    {
        TLine l;
        l.card = m_rnd.Below(m_o.cards);
        l.variant = m_rnd.Below(cards.VariantCount(l.card));
        l.qty = static_cast<double>(1 + m_rnd.Below(3));
        return l;
    }

private:
    const TGenerateOptions& m_o;
    QString m_ini;
    TRandom m_rnd;
    QDateTime m_from;
    double m_step = 0;
};

// Shows a running count on a terminal.
class TProgress {
public:
    TProgress(const std::function<void(const QString&)>& show, QString label, qint64 total)
        : m_show(show), m_label(std::move(label)), m_total(total)
    {
        m_timer.start();
    }
    ~TProgress()
    {
        if (m_shown)
            m_show(QString());
    }
    TProgress(const TProgress&) = delete;
    TProgress& operator=(const TProgress&) = delete;

    void Step(qint64 done)
    {
        if (m_show && (done % kProgressRows == 0 || done == m_total)) {
            m_show(u"%1: %2 / %3 (%4)"_s.arg(m_label).arg(done).arg(m_total).arg(Seconds(m_timer.elapsed())));
            m_shown = true;
        }
    }

private:
    const std::function<void(const QString&)>& m_show;
    QString m_label;
    qint64 m_total;
    QElapsedTimer m_timer;
    bool m_shown = false;
};

}  // namespace

void TDbTool::Generate(const TGenerateOptions& o)
{
    TDatabase& db = *m_data.ffDatabase;
    const QString org = m_data.Prodejna;
    RequireTables(db, org,
                  {u"SOR"_s, u"SKL"_s, u"DEN"_s, u"UCE"_s, u"CIS"_s, u"LEG"_s, u"LEP"_s, u"CEN"_s, u"USR"_s});
    QElapsedTimer total;
    total.start();

    if (db.Kind() == TStoreKind::Sqlite) {
        // Index upkeep of a big append stays in memory as far as a bounded page cache allows, and so do
        // the statement journals of the multi-row INSERTs (as temporary files they double the writes).
        db.ExecDirect(u"PRAGMA cache_size=-49152"_s);
        db.ExecDirect(u"PRAGMA temp_store=MEMORY"_s);
    }

    TTransaction tx(db);
    const qint64 lastCard = MaxDigitsCode(db, Sql(TableDef(u"SOR"_s), org), u"SOR_KAV"_s);
    const qint64 lastReceipt = LastReceiptNumber(db, org);
    const qint64 lastPass = MaxDigitsCode(db, Sql(TableDef(u"LEG"_s), org), u"LEG_KOD"_s);
    if (lastCard + o.cards > 999999)
        throw EDatabaseError(
            u"Pro %1 nových karet nezbývá dost šestimístných kódů (nejvyšší použitý je %2)."_s.arg(o.cards)
                .arg(lastCard));
    if (lastReceipt + o.receipts > 9999999999LL)
        throw EDatabaseError(u"Pro %1 nových účtenek nezbývá dost desetimístných čísel."_s.arg(o.receipts));
    if (lastPass + o.passes > 9999999999LL)
        throw EDatabaseError(u"Pro %1 nových legitimací nezbývá dost desetimístných čísel."_s.arg(o.passes));
    const TStation station{m_data.Dan22, m_data.Dan05, m_data.Dan00, GrossPrices(db, m_data)};
    const QString ini = OperatorInitials(db);
    const TCards cards(o, lastCard, m_data);
    const qint64 journalRows = static_cast<qint64>(o.receipts) * o.lines;

    // What each variant sells and the day each card last sells.
    QElapsedTimer phase;
    phase.start();
    std::vector<double> sold(static_cast<size_t>(cards.VariantTotal()), 0.0);
    std::vector<qint32> lastSaleDay(static_cast<size_t>(o.cards), -1);  // days since the first receipt's day
    {
        TReceipts receipts(o, ini);
        const QDate firstDay = receipts.Receipt(0).at.date();
        for (int r = 0; r < o.receipts; ++r) {
            const qint32 day = static_cast<qint32>(firstDay.daysTo(receipts.Receipt(r).at.date()));
            for (int l = 0; l < o.lines; ++l) {
                const TReceipts::TLine line = receipts.NextLine(cards);
                sold[static_cast<size_t>(cards.FirstVariant(line.card) + line.variant)] += line.qty;
                lastSaleDay[static_cast<size_t>(line.card)] = day;
            }
        }
    }
    const qint64 planMs = phase.restart();

    // The cards, with opening stock that covers every sale, so no stock ever goes below zero; `stock`
    // becomes each variant's running stock for the journal.
    TWriters w = MakeWriters(db, org, TWriteMode::Bulk);
    std::vector<double> stock(sold.size(), 0.0);
    {
        TRandom rnd(SeedOf(kStock));
        const QDate firstDay = o.receipts > 0 ? TReceipts(o, ini).Receipt(0).at.date() : QDate();
        for (qint64 i = 0; i < o.cards; ++i) {
            const TCards::TCard c = cards.Card(i);
            double sta = 0;
            for (int v = 0; v < c.variants; ++v) {
                const size_t at = static_cast<size_t>(c.firstVariant + v);
                const double poc = c.skl ? sold[at] + rnd.Below(25) : 0;
                stock[at] = poc;
                sta += c.skl ? poc - sold[at] : poc;
            }
            const qint32 day = lastSaleDay[static_cast<size_t>(i)];
            WriteCard(*w.sor, TCardRow{c.kav, c.nac, c.skl ? u"ZBO"_s : u"SLU"_s, c.skl, c.pc1, c.pc2, c.dan,
                                       sta, day >= 0 ? firstDay.addDays(day) : QDate()});
            for (int v = 0; v < c.variants; ++v) {
                const size_t at = static_cast<size_t>(c.firstVariant + v);
                WriteVariant(*w.skl, TVariantRow{c.kav, TCards::VariantCode(v), TCards::PurchasePrice(c, v),
                                                 stock[at], c.skl ? stock[at] - sold[at] : stock[at]});
            }
        }
    }
    std::vector<qint32>().swap(lastSaleDay);
    std::vector<double>().swap(sold);
    w.sor->Flush();
    w.skl->Flush();
    m_out << u"Karty sortimentu: %1, skladové karty: %2 (%3)"_s.arg(w.sor->Count())
                 .arg(w.skl->Count())
                 .arg(Seconds(phase.restart()))
          << Qt::endl;

    // The receipts again, now written.
    {
        TReceipts receipts(o, ini);
        TReceiptRows rows(w, station);
        TProgress progress(Progress, u"řádky deníku"_s, journalRows);
        qint64 written = 0;
        for (int r = 0; r < o.receipts; ++r) {
            const TReceipts::TReceipt rec = receipts.Receipt(r);
            rows.Begin(ReceiptNumber(lastReceipt + r + 1), rec.at, rec.fuh, rec.ref);
            for (int l = 0; l < o.lines; ++l) {
                const TReceipts::TLine line = receipts.NextLine(cards);
                const TCards::TCard c = cards.Card(line.card);
                const TSaleItem item{c.kav, TCards::VariantCode(line.variant),     c.skl, c.pc1,
                                     c.dan, TCards::PurchasePrice(c, line.variant)};
                rows.Line(item, line.qty, stock[static_cast<size_t>(c.firstVariant + line.variant)]);
                progress.Step(++written);
            }
            rows.End();
        }
    }
    w.den->Flush();
    w.uce->Flush();
    if (o.receipts > 0)
        SetReceiptCounter(db, org, lastReceipt + o.receipts);
    const qint64 receiptsMs = phase.restart();
    m_out << u"Účtenky: %1, řádky deníku: %2 (%3)"_s.arg(w.uce->Count())
                 .arg(w.den->Count())
                 .arg(Seconds(receiptsMs))
          << Qt::endl;

    // Passes in batches: headers with their totals, then the movements with the balance after each.
    // Withdrawals never take the balance below zero; what cannot be drawn becomes a deposit.
    {
        TRandom rnd(SeedOf(kPasses));
        TProgress progress(Progress, u"legitimace"_s, o.passes);
        QList<std::pair<TPassRow, QList<TPassMove>>> batch;
        auto writeBatch = [&] {
            w.leg->Flush();
            for (const auto& [p, moves] : batch) {
                const qint64 id = w.leg->StoredId(p.kod);
                if (id == 0)
                    throw EDatabaseError(u"Legitimace %1 nebyla uložena."_s.arg(p.kod));
                WritePassMoves(*w.lep, id, moves);
            }
            w.leg->ForgetIds();
            batch.clear();
        };
        for (int p = 0; p < o.passes; ++p) {
            TPassRow pass;
            pass.kod = QString::number(lastPass + 1 + p);
            pass.jme = p % 2 ? Pick(rnd, kWomen) : Pick(rnd, kMen);
            pass.odd = QDateTime(QDate::currentDate().addDays(-30 - rnd.Below(700)), QTime(0, 0), Qt::UTC);
            pass.dod = pass.odd.addYears(2);
            QList<TPassMove> moves;
            double balance = 0;
            for (int m = 0; m < o.movements; ++m) {
                const TCards::TCard c = cards.Card(rnd.Below(o.cards));
                const QDate day = std::min(pass.odd.date().addDays(m), QDate::currentDate());
                double kus = static_cast<double>(1 + rnd.Below(3));
                double koe = 1;
                if (m > 0 && rnd.Below(10) < 7) {
                    double take = std::floor(balance / c.pc2);
                    while (take > 0 && take * c.pc2 > balance)
                        --take;
                    take = std::min(take, static_cast<double>(1 + rnd.Below(3)));
                    if (take >= 1) {
                        kus = take;
                        koe = -1;
                    } else {
                        kus = static_cast<double>(1 + rnd.Below(3));
                    }
                }
                balance += koe * kus * c.pc2;
                moves << TPassMove{c.kav, c.nac, c.pc2, c.dan, kus, koe, day};
            }
            WritePass(*w.leg, pass, moves);
            batch.append({pass, moves});
            if (batch.size() == kPassBatch)
                writeBatch();
            progress.Step(p + 1);
        }
        writeBatch();
    }
    w.FlushAll();
    const qint64 passesMs = phase.restart();
    m_out << u"Legitimace: %1, pohyby legitimací: %2 (%3)"_s.arg(w.leg->Count())
                 .arg(w.lep->Count())
                 .arg(Seconds(passesMs))
          << Qt::endl;

    m_out << u"Ukládání..."_s << Qt::endl;
    const qint64 commitFrom = total.elapsed();
    tx.Commit();
    const qint64 totalMs = total.elapsed();
    m_out << u"Hotovo za %1 (příprava dat %2, uložení transakce %3)."_s.arg(Seconds(totalMs), Seconds(planMs),
                                                                            Seconds(totalMs - commitFrom))
          << Qt::endl;
    if (o.cards > 0)
        m_out << u"  nové karty sortimentu: %1 až %2"_s.arg(cards.Card(0).kav, cards.Card(o.cards - 1).kav)
              << Qt::endl;
    if (o.receipts > 0)
        m_out << u"  nové účtenky: %1 až %2"_s.arg(ReceiptNumber(lastReceipt + 1),
                                                   ReceiptNumber(lastReceipt + o.receipts))
              << Qt::endl;
    if (o.passes > 0)
        m_out << u"  nové legitimace: %1 až %2"_s.arg(QString::number(lastPass + 1),
                                                      QString::number(lastPass + o.passes))
              << Qt::endl;
    if (journalRows > 0 && receiptsMs > 0)
        m_out << u"  řádky deníku: %1, %2 řádků/s"_s.arg(journalRows)
                     .arg(static_cast<qint64>(static_cast<double>(journalRows) * 1000.0 /
                                              static_cast<double>(receiptsMs)))
              << Qt::endl;
}
