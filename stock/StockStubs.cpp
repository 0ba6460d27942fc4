#include "DataUnit.h"

// Stock operations not built yet answer "no".
bool TData::SorValid(QString) { return false; }
bool TData::SklValid(QString, QString) { return false; }
bool TData::KontrolaStavu(QString, QString, double, double) { return false; }
bool TData::KontrolaStavuKarta(QString, double, double) { return false; }
bool TData::SetLastSor() { return false; }
bool TData::GetLastSor() { return false; }
bool TData::RekonstrukceKarty(QString, QString) { return false; }
bool TData::ZapisPohybuVar(QString, QString, QString, QString, float, float, double) { return false; }
bool TData::ZapisPohybuVarProvize(QString, QString, QString, QString, QString, float, float, double, float)
{
    return false;
}
bool TData::GetDoklad(QString, QString) { return false; }
