// Card and variant look-ups, stock checks and the remembered assortment card.
#include "DataUnit.h"
#include "Messages.h"
#include "StockSupport.h"

using namespace Qt::StringLiterals;
using namespace Stock;

bool TData::SorValid(QString cardCode)
{
    TTable& sor = *ffSortiment;
    TCloseIfOpened closer(sor);
    sor.Open();
    sor.SetIndexName(u"KAV"_s);

    // Only a full-length code is looked up; anything shorter goes to the picker.
    if (TrimLow(cardCode).size() > 5 && sor.FindKey({cardCode})) {
        if (!sor.Eof())
            SetLastSor();
        return true;
    }
    if (!sor.IsEmpty())
        GetLastSor();
    sor.SetIndexName(u"NAC"_s);
    const bool picked = PickSortiment && PickSortiment(AnchorTop + 102, AnchorLeft + 50);
    if (picked && !sor.Eof())
        SetLastSor();
    return picked;
}

bool TData::SklValid(QString cardCode, QString variantCode)
{
    TTable& skl = *ffSklad;
    TCloseIfOpened closer(skl);
    skl.Open();
    skl.SetIndexName(u"KAV"_s);
    if (skl.FindKey({cardCode, variantCode}))
        return true;

    // Offer the card's own variants only.
    skl.SetRange({cardCode, u"000"_s}, {cardCode, u"999"_s});
    bool picked = false;
    try {
        picked = PickSklad && PickSklad(AnchorTop + 102, AnchorLeft + 230);
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

bool TData::KontrolaStavu(QString cardCode, QString variantCode, double stockChange, double lineQuantity)
{
    TTable& skl = *ffSklad;
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

bool TData::KontrolaStavuKarta(QString cardCode, double stockChange, double lineQuantity)
{
    TTable& skl = *ffSklad;
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

bool TData::SetLastSor()
{
    try {
        TTable& sor = *ffSortiment;
        if (sor.Eof())
            return false;
        LastSorIndex = sor.IndexName();
        LastSorKav = sor.FieldByName(u"SOR_KAV"_s).AsString();
        LastSorValid = true;
        return true;
    } catch (const EDatabaseError&) {
        return false;
    }
}

bool TData::GetLastSor()
{
    if (!LastSorValid)
        return false;
    try {
        TTable& sor = *ffSortiment;
        sor.SetIndexName(u"KAV"_s);
        sor.FindKey({LastSorKav});  // a card that has gone leaves the table where it stood
        sor.SetIndexName(LastSorIndex);
        return true;
    } catch (const EDatabaseError&) {
        return false;
    }
}
