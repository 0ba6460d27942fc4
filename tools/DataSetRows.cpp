#include "DataSetRows.h"

#include "ReceiptRules.h"

#include "PassAccount.h"
#include "StockEngine.h"

#include <cmath>

using namespace Qt::StringLiterals;
using namespace Receipts;

void WriteCard(TRowWriter& sor, const TCardRow& c)
{
    sor.Set(u"SOR_KAV", c.kav)
        .Set(u"SOR_NAC", c.nac)
        .Set(u"SOR_PC1", c.pc1)
        .Set(u"SOR_PC2", c.pc2)
        .Set(u"SOR_STA", c.sta)
        .Set(u"SOR_DAN", static_cast<double>(c.dan))
        .Set(u"SOR_SKL", c.skl)
        .Set(u"SOR_OLD", false)
        .Set(u"SOR_SKU", c.sku)
        .Set(u"SOR_BLO", 0.0)
        .Set(u"SOR_MJE", u"ks"_s)
        .Set(u"SOR_KOM", false)
        .Set(u"SOR_PPO", c.lastSale.isValid() ? QVariant(c.lastSale) : QVariant())
        .Set(u"SOR_MIN", 0.0);
    sor.Add();
}

void WriteVariant(TRowWriter& skl, const TVariantRow& v)
{
    skl.Set(u"SKL_KAV", v.kav)
        .Set(u"SKL_IND", v.ind)
        .Set(u"SKL_SNC", v.snc)
        .Set(u"SKL_POC", v.poc)
        .Set(u"SKL_STA", v.sta)
        .Set(u"SKL_MEN", u"CZK"_s)
        .Set(u"SKL_KUR", 1.0);
    skl.Add();
}

void TReceiptRows::Begin(const QString& number, const QDateTime& at, const QString& fuh, const QString& ref)
{
    m_number = number;
    m_at = at;
    m_fuh = fuh;
    m_ref = ref;
    m_line = 0;
    m_totals = TTotals{};
}

void TReceiptRows::Line(const TSaleItem& item, double q, double& variantStock)
{
    // The receipt's own rules give the line's amounts, the price handed to the posting and the totals.
    const TLineAmounts amounts = LineAmounts(m_st.gross ? TPriceBasis::Gross : TPriceBasis::Net, item.pc1,
                                             item.snc, q, item.dan, item.pc1);
    // The posting takes prices and the rate in single precision and multiplies in double.
    const float netPrice = static_cast<float>(amounts.postingPrice);
    const TStockMovement sale = TStockMovement::Plain(item.kav, item.ind, m_number, u"005"_s, netPrice,
                                                      static_cast<float>(item.dan), -q);
    const TJournalAmounts a = JournalAmounts(sale, static_cast<float>(item.snc));
    double zas = 0;
    if (item.skl) {
        variantStock += a.quantity;
        zas = variantStock;
    }
    const QDateTime at = m_at.addSecs(m_line++);
    m_w.den->Set(u"DEN_DAT", at.date())
        .Set(u"DEN_DOK", m_number)
        .Set(u"DEN_KAV", item.kav)
        .Set(u"DEN_IND", item.ind)
        .Set(u"DEN_OPE", sale.op)
        .Set(u"DEN_KUS", a.quantity)
        .Set(u"DEN_HPC", a.value)
        .Set(u"DEN_HNC", a.purchaseValue)
        .Set(u"DEN_DAN", static_cast<double>(sale.vatRate))
        .Set(u"DEN_ZAS", zas)
        .Set(u"DEN_REF", m_ref)
        .Set(u"DEN_POZ", 0.0)
        .Set(u"DEN_KDY", at.time());
    m_w.den->Add();

    // A service sold at net prices adds its VAT to the total to pay.
    m_totals += PartTotals(TVatRates{m_st.dan22, m_st.dan05, m_st.dan00}, amounts, item.dan,
                           !item.skl && !m_st.gross);
}

void TReceiptRows::End()
{
    const QDate day = m_at.date();
    const bool cash = m_fuh == u"1"_s;
    m_w.uce->Set(u"HLA_DAT", m_at)
        .Set(u"HLA_DO1", m_number)
        .Set(u"HLA_DO2", kOpenTill)
        .Set(u"HLA_CUH", m_totals.cuh)
        .Set(u"HLA_FHV", 0.0)
        .Set(u"HLA_PCA", m_totals.pca)
        .Set(u"HLA_NCA", m_totals.nca)
        .Set(u"HLA_DVS", day)
        .Set(u"HLA_DZP", day)
        .Set(u"HLA_DSP", day)
        .Set(u"HLA_FUH", m_fuh)
        .Set(u"HLA_Z00", m_totals.z00)
        .Set(u"HLA_Z05", m_totals.z05)
        .Set(u"HLA_Z22", m_totals.z22)
        .Set(u"HLA_D05", m_totals.d05)
        .Set(u"HLA_D22", m_totals.d22)
        .Set(u"HLA_PLA", true)
        .Set(u"HLA_EDT", false)
        .Set(u"HLA_PRN", false)
        .Set(u"HLA_REF", m_ref)
        .Set(u"HLA_CEN", u"1"_s)
        .Set(u"HLA_SLE", 0.0)
        .Set(u"HLA_TSK", true)
        .Set(u"HLA_VLO", cash ? std::ceil(m_totals.cuh / 100) * 100 : 0.0);
    m_w.uce->Add();
}

void WritePass(TRowWriter& leg, const TPassRow& p, const QList<TPassMove>& moves)
{
    double poc = 0, cer = 0;
    for (const TPassMove& m : moves)
        (PassAccount::Direction(m.koe) > 0 ? poc : cer) += m.kus * m.price;
    leg.Set(u"LEG_KOD", p.kod)
        .Set(u"LEG_ODD", p.odd)
        .Set(u"LEG_DOD", p.dod)
        .Set(u"LEG_JME", p.jme)
        .Set(u"LEG_POC", poc)
        .Set(u"LEG_CER", cer);
    leg.Add();
}

void WritePassMoves(TRowWriter& lep, qint64 passId, const QList<TPassMove>& moves)
{
    double balance = 0;
    for (const TPassMove& m : moves) {
        balance = PassAccount::BalanceAfter(m.kus, m.price, m.koe, 0, balance);
        lep.Set(u"LEP_IDM", passId)
            .Set(u"LEP_KAV", m.kav)
            .Set(u"LEP_NAC", m.nac)
            .Set(u"LEP_PC1", m.price)
            .Set(u"LEP_KUS", m.kus)
            .Set(u"LEP_ZUS", balance)
            .Set(u"LEP_DAT", QDateTime(m.dat, QTime(0, 0), Qt::UTC))
            .Set(u"LEP_DAN", static_cast<double>(m.dan))
            .Set(u"LEP_KOE", m.koe);
        lep.Add();
    }
}
