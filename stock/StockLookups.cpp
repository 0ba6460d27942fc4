// Card and variant look-ups, stock checks and the remembered assortment card.
#include "Messages.h"
#include "StockEngine.h"
#include "StockSupport.h"
#include "TableGuards.h"
#include "TextRoutines.h"

using namespace Qt::StringLiterals;
using namespace Stock;

Q_LOGGING_CATEGORY(lcStock, "korvanta.stock")

TStockEngine::TStockEngine(TStockTables tables, TStockSettings settings, TStockLastCard lastCard)
    : m_t(tables), m_settings(settings), m_last(lastCard)
{}

bool TStockEngine::SorValid(QString cardCode)
{
    TTable& sor = m_t.sortiment;
    TCloseIfOpened closer(sor);
    sor.Open();
    sor.SetIndexName(u"KAV"_s);

    // Only a full-length code is looked up; anything shorter goes to the picker.
    if (Trim(cardCode).size() > 5 && sor.FindKey({cardCode})) {
        if (!sor.Eof())
            SetLastSor();
        return true;
    }
    if (!sor.IsEmpty())
        GetLastSor();
    sor.SetIndexName(u"NAC"_s);
    const bool picked =
        Hooks.pickSortiment && Hooks.pickSortiment(m_settings.anchorTop + 102, m_settings.anchorLeft + 50);
    if (picked && !sor.Eof())
        SetLastSor();
    return picked;
}

bool TStockEngine::SklValid(QString cardCode, QString variantCode)
{
    TTable& skl = m_t.sklad;
    TCloseIfOpened closer(skl);
    skl.Open();
    skl.SetIndexName(u"KAV"_s);
    if (skl.FindKey({cardCode, variantCode}))
        return true;

    // Offer the card's own variants only.
    skl.SetRange({cardCode, u"000"_s}, {cardCode, u"999"_s});
    bool picked = false;
    try {
        picked = Hooks.pickSklad && Hooks.pickSklad(m_settings.anchorTop + 102, m_settings.anchorLeft + 230);
    } catch (...) {
        skl.CancelRange();
        throw;
    }
    if (picked) {
        cardCode = skl.FieldByName(u"SKL_KAV"_s).AsString();
        variantCode = skl.FieldByName(u"SKL_IND"_s).AsString();
    } else {
        variantCode = u"   "_s;
    }
    skl.CancelRange();
    return skl.FindKey({cardCode, variantCode});
}

bool TStockEngine::KontrolaStavu(QString cardCode, QString variantCode, double stockChange,
                                 double lineQuantity)
{
    TTable& skl = m_t.sklad;
    TCloseIfOpened closer(skl);
    skl.Open();
    skl.SetIndexName(u"KAV"_s);
    if (!skl.FindKey({cardCode, variantCode}))
        return false;
    const double stock = skl.FieldByName(u"SKL_STA"_s).AsFloat();
    if (stock + stockChange >= 0)
        return true;
    ShowMessage(ShortageText(stock + lineQuantity));
    return false;
}

bool TStockEngine::KontrolaStavuKarta(QString cardCode, double stockChange, double lineQuantity)
{
    TTable& skl = m_t.sklad;
    TCloseIfOpened closer(skl);
    skl.Open();
    skl.SetIndexName(u"KAV"_s);
    if (!skl.FindKey({cardCode}))
        return false;
    // A card has a handful of variants: walk them, leaving the table after the last one.
    double sum = 0;
    const TField kav = skl.FieldByName(u"SKL_KAV"_s);
    const TField sta = skl.FieldByName(u"SKL_STA"_s);
    while (!skl.Eof() && kav.AsString() == cardCode) {
        sum += sta.AsFloat();
        skl.Next();
    }
    if (sum + stockChange >= 0)
        return true;
    ShowMessage(ShortageText(sum + lineQuantity));
    return false;
}

bool TStockEngine::SetLastSor()
{
    try {
        TTable& sor = m_t.sortiment;
        if (sor.Eof())
            return false;
        m_last.index = sor.IndexName();
        m_last.kav = sor.FieldByName(u"SOR_KAV"_s).AsString();
        m_last.valid = true;
        return true;
    } catch (const EDatabaseError& e) {
        qCWarning(lcStock).noquote() << "the current assortment card was not remembered:" << e.Message();
        return false;
    }
}

bool TStockEngine::GetLastSor()
{
    if (!m_last.valid)
        return false;
    try {
        TTable& sor = m_t.sortiment;
        sor.SetIndexName(u"KAV"_s);
        sor.FindKey({m_last.kav});  // a card that has gone leaves the table where it stood
        sor.SetIndexName(m_last.index);
        return true;
    } catch (const EDatabaseError& e) {
        qCWarning(lcStock).noquote() << "the remembered assortment card" << m_last.kav
                                     << "was not found again:" << e.Message();
        return false;
    }
}
