#include "Schema.h"

#include <QHash>

using namespace Qt::StringLiterals;

namespace {

using FT = TFieldType;

TFieldDef S(const char16_t* name, int size, const char16_t* caption = u"", const char16_t* fmt = u"")
{
    TFieldDef f;
    f.name = QString::fromUtf16(name);
    f.type = FT::String;
    f.size = size;
    f.caption = QString::fromUtf16(caption);
    f.displayFormat = QString::fromUtf16(fmt);
    return f;
}

TFieldDef F(const char16_t* name, FT type, const char16_t* caption = u"", const char16_t* fmt = u"")
{
    TFieldDef f;
    f.name = QString::fromUtf16(name);
    f.type = type;
    f.caption = QString::fromUtf16(caption);
    f.displayFormat = QString::fromUtf16(fmt);
    if (type == FT::Date || type == FT::DateTime) {
        if (f.displayFormat.isEmpty())
            f.displayFormat = u"dd.mm.yyyy"_s;
    }
    return f;
}

TFieldDef Calc(TFieldDef f)
{
    f.calculated = true;
    return f;
}

TFieldDef Czech(TFieldDef f)
{
    f.czech = true;
    return f;
}

TFieldDef Edit(TFieldDef f, const char16_t* editFmt)
{
    f.editFormat = QString::fromUtf16(editFmt);
    return f;
}

TIndexDef I(const char16_t* name, QStringList fields, bool unique = false, bool descending = false)
{
    return TIndexDef{QString::fromUtf16(name), std::move(fields), descending, unique};
}

constexpr auto Money = u"#,##0.00";

// The table definitions are laid out by hand, several fields a line.
// clang-format off
TTableDef Vlastnik()
{
    TTableDef t{u"VLA"_s, u"VLA0000"_s, u"ffVlastnik"_s, {}, {}};
    t.fields = {S(u"VLA_KOD", 6, u"kód"), S(u"VLA_ICO", 8, u"IČO"), S(u"VLA_DIC", 15, u"DIČ"),
                S(u"VLA_JED", 4, u"Prodejna"), S(u"VLA_FIR", 35, u"Firma"), S(u"VLA_KRA", 15),
                S(u"VLA_NAC", 30, u"Oddělení"), S(u"VLA_ULI", 30, u"Ulice"), S(u"VLA_MES", 30, u"Město"),
                S(u"VLA_PSC", 6, u"PSČ"), S(u"VLA_STA", 30, u"Stát"), S(u"VLA_TEL", 30, u"Telefon"),
                S(u"VLA_FAX", 30, u"Fax"), S(u"VLA_EML", 30, u"E Mail"),
                S(u"VLA_JME", 30, u"Kontaktní jméno"), S(u"VLA_MOB", 30, u"Mobilní telefon"),
                S(u"VLA_UCE", 20), S(u"VLA_BAN", 20), S(u"VLA_ZAP", 60), F(u"VLA_POC", FT::Date),
                S(u"VLA_UNA", 30), S(u"VLA_UUL", 30), S(u"VLA_UME", 30), S(u"VLA_UPS", 6),
                F(u"VLA_UMP", FT::Boolean), F(u"VLA_PR1", FT::Smallint), F(u"VLA_PR2", FT::Smallint),
                S(u"VLA_KOS", 4), S(u"VLA_KON", 15, u"Konst.sym"), S(u"VLA_OBA", 60)};
    return t;
}

TTableDef Prodejny()
{
    TTableDef t{u"ORG"_s, u"ORG0000"_s, u"ffProdejny"_s, {}, {}};
    t.fields = {S(u"ORG_KOD", 4, u"Kód "), S(u"ORG_NAC", 30, u"Název prodejny"), S(u"ORG_ULI", 30, u"Ulice"),
                S(u"ORG_MES", 30, u"Město"), S(u"ORG_PSC", 6, u"Psč"), S(u"ORG_CEN", 1, u"Cen."),
                F(u"ORG_SLE", FT::Float, u"Skonto", u"##0.00"), S(u"ORG_EML", 30), S(u"ORG_DNS", 15)};
    return t;
}

TTableDef Uzivatele()
{
    TTableDef t{u"USR"_s, u"USR0000"_s, u"ffUzivatele"_s, {}, {}};
    t.fields = {S(u"USR_KOD", 3, u"Kód"), S(u"USR_LNA", 10, u"Přihl.jméno"), S(u"USR_PSW", 10, u"Heslo"),
                S(u"USR_INI", 2, u"Inic."), S(u"USR_GRP", 3, u"Skup."),
                S(u"USR_NAC", 20, u"Příjmení, jméno,tit."), S(u"USR_TEL", 40, u"Telefon"),
                S(u"USR_EML", 40, u"E mail")};
    return t;
}

TTableDef UzivSkup()
{
    TTableDef t{u"UGR"_s, u"UGR0000"_s, u"ffUzivSkup"_s, {}, {}};
    t.fields = {S(u"UGR_KOD", 3, u"Kód"), S(u"UGR_NAC", 30, u"Název uživ. skup.")};
    return t;
}

TTableDef UziPrava()
{
    TTableDef t{u"URS"_s, u"URS0000"_s, u"ffUziPrava"_s, {}, {}};
    t.fields = {S(u"URS_KOD", 3), S(u"URS_URT", 3), F(u"URS_URS", FT::Smallint)};
    return t;
}

TTableDef UziPopPrav()
{
    TTableDef t{u"URT"_s, u"URT0000"_s, u"ffUziPopPrav"_s, {}, {}};
    t.fields = {S(u"URT_KOD", 3, u"Kód"), S(u"URT_NAC", 40, u"Popis oprávnění"), S(u"URT_GRP", 3, u"Skp.")};
    return t;
}

TTableDef Semafor()
{
    TTableDef t{u"SYS"_s, u"SYS0001"_s, u"ffSemafor"_s, {}, {}};
    t.fields = {F(u"SYS_KOD", FT::AutoInc), S(u"SYS_TAB", 3), S(u"SYS_KLI", 15), S(u"SYS_USR", 15),
                F(u"SYS_DAT", FT::DateTime, u"", u"dd.mm.yyyy"), S(u"SYS_IDU", 15)};
    t.indexes = {I(u"KOD", {u"SYS_KOD"_s}, true),
                 I(u"SYS_KOD", {u"SYS_TAB"_s, u"SYS_KLI"_s, u"SYS_IDU"_s}, true)};
    return t;
}

TTableDef Ciselnik()
{
    TTableDef t{u"CIS"_s, u"CIS0001"_s, u"ffCiselnik"_s, {}, {}};
    t.fields = {F(u"CIS_DEN", FT::Float, u"Deník"), F(u"CIS_DEP", FT::Float), F(u"CIS_ZPD", FT::Float),
                F(u"CIS_ODB", FT::Float, u"Odběratelé"), S(u"CIS_PRD", 10, u"Dodávky"), S(u"CIS_VRD", 10),
                S(u"CIS_VYD", 10, u"Výdejky"), S(u"CIS_PRI", 10, u"Příjemky"), S(u"CIS_FAK", 10),
                S(u"CIS_SML", 10), S(u"CIS_FIN", 10), S(u"CIS_UCE", 10, u"Učtenky"),
                S(u"CIS_VCT", 10, u"Výčetky"), S(u"CIS_PRF", 10), S(u"CIS_DOB", 10),
                S(u"CIS_PRC", 10, u"Přecenění"), S(u"CIS_INV", 10, u"Inventury"),
                S(u"CIS_OBJ", 10, u"Objednávky"), S(u"CIS_PPD", 10), S(u"CIS_VPU", 10), S(u"CIS_PPU", 10),
                S(u"CIS_VRP", 10), S(u"CIS_PUJ", 10), S(u"CIS_VRA", 10), S(u"CIS_FAO", 10, u"Odprodej"),
                S(u"CIS_FAN", 10, u"Nájem"), S(u"CIS_POD", 10, u"Podklady"), S(u"CIS_FAI", 10, u"Fakt inter."),
                S(u"CIS_ZVY", 10, u"Zakázky  výdejky"), S(u"CIS_ZFA", 10, u"Zakázky faktury"),
                S(u"CIS_ZFI", 10, u"Zakázky fak. int."), S(u"CIS_PIN", 10, u"Půjčovna inv."),
                S(u"CIS_PPR", 10, u"Půjčovna přec."), S(u"CIS_FAL", 10, u"Faktury volné"),
                S(u"CIS_NAB", 10, u"Nabídky"), S(u"CIS_OBD", 10, u"Obj.dodav.")};
    return t;
}

TTableDef Sortiment()
{
    TTableDef t{u"SOR"_s, u"SOR0001"_s, u"ffSortiment"_s, {}, {}};
    t.fields = {S(u"SOR_KAV", 6, u"Karta"), Czech(S(u"SOR_NAC", 30, u"Název")),
                F(u"SOR_PC1", FT::Float, u"PC zákl", Money), F(u"SOR_PC2", FT::Float, u"PC d1", Money),
                F(u"SOR_PC3", FT::Float, u"PC D2", Money), F(u"SOR_PC4", FT::Float, u"PC D3", Money),
                F(u"SOR_PC5", FT::Float, u"PC MO", Money), F(u"SOR_STA", FT::Float, u"Zásoba"),
                F(u"SOR_DAN", FT::Float, u"Sazba DPH"), F(u"SOR_SKL", FT::Boolean, u"Skl.pol.", u"Ano;Ne"),
                F(u"SOR_OLD", FT::Boolean, u"Vyřazeno", u"Ano;Ne"), S(u"SOR_SKU", 3, u"Skupina"),
                F(u"SOR_BLO", FT::Float, u"Blokace"), F(u"SOR_REQ", FT::Float, u"Objednano"), S(u"SOR_VYR", 3),
                S(u"SOR_MJE", 2, u"M2r.jed."), F(u"SOR_HMO", FT::Float, u"Hmotn."),
                F(u"SOR_OBJ", FT::Float, u"Objednano"), F(u"SOR_BAL", FT::Smallint, u"Baleni"),
                S(u"SOR_DRU", 3, u"Druh"), S(u"SOR_PSK", 3, u"Podsk."), S(u"SOR_EAN", 13, u"EAN"),
                S(u"SOR_POZ", 30, u"Poznámka"), F(u"SOR_MAJ", FT::Float, u"Majetek"),
                F(u"SOR_PUJ", FT::Float, u"Půjčeno"), F(u"SOR_KOM", FT::Boolean, u"Komise"),
                F(u"SOR_PLO", FT::Float, u"Plocha v m2"), F(u"SOR_PPO", FT::Date, u"Posl.pohyb", u"dd.mm.yyyy"),
                F(u"SOR_MIN", FT::Float, u"Min.zas."), F(u"SOR_SLE", FT::Float, u"Max.sl.%", Money),
                S(u"SOR_KDO", 10, u"Kód dodav."), S(u"SOR_KVY", 10, u"Kód vyrobce"), F(u"SOR_OTV", FT::Float),
                F(u"SOR_INP", FT::Boolean, u"Dod. sor."), F(u"SOR_OUT", FT::Boolean, u"Odb. sort."),
                F(u"SOR_UPV", FT::Boolean, u"Vyr.sor."), S(u"SOR_ALI", 15),
                Calc(F(u"SOR_DIS", FT::Float, u"Volne")), Calc(F(u"SOR_VOL", FT::Float))};
    t.indexes = {I(u"KAV", {u"SOR_KAV"_s}, true), I(u"NAC", {u"SOR_NAC"_s}), I(u"PC1", {u"SOR_PC1"_s}),
                 I(u"KDO", {u"SOR_KDO"_s}), I(u"KVY", {u"SOR_KVY"_s}), I(u"ALI", {u"SOR_ALI"_s})};
    return t;
}

TTableDef Ceniky()
{
    TTableDef t{u"CEN"_s, u"CEN0000"_s, u"ffCeniky"_s, {}, {}};
    t.fields = {S(u"CEN_KOD", 1, u"Cen."), S(u"CEN_NAC", 25, u"Název ceníku"),
                F(u"CEN_DPH", FT::Boolean, u"Je DPH"), F(u"CEN_REF", FT::Smallint, u"Ref."),
                Calc(S(u"typCeniku", 20, u"Typ ceníku"))};
    return t;
}

TTableDef FormaUhrady()
{
    TTableDef t{u"FUH"_s, u"FUH0000"_s, u"ffFormaUhrady"_s, {}, {}};
    t.fields = {S(u"FUH_FUH", 1, u"Kod"), S(u"FUH_NAC", 30, u"Název položky"), S(u"FUH_UCT", 1, u"Z.Uct."),
                S(u"FUH_FAK", 1, u"Zobr.Fakt"), F(u"FUH_UVK", FT::Boolean, u"Kontrola UVR")};
    return t;
}

TTableDef LegHla()
{
    TTableDef t{u"LEG"_s, u"LEG0001"_s, u"ffLegHla"_s, {}, {}};
    t.fields = {F(u"LEG_IDE", FT::AutoInc, u"ID"), S(u"LEG_KOD", 10, u"Číslo leg."),
                F(u"LEG_ODD", FT::DateTime, u"Vystavena", u"dd.mm.yyyy"),
                F(u"LEG_DOD", FT::DateTime, u"Platna do", u"dd.mm.yyyy"), Czech(S(u"LEG_JME", 30, u"Vlastník")),
                Edit(F(u"LEG_POC", FT::Float, u"Vklad", Money), u"###0.00"),
                F(u"LEG_CER", FT::Float, u"Čerpání", Money), Calc(F(u"LEG_ZUS", FT::Float, u"Zůstatek", Money))};
    t.indexes = {I(u"KOD", {u"LEG_KOD"_s}), I(u"JME", {u"LEG_JME"_s})};
    return t;
}

TTableDef LegPol()
{
    TTableDef t{u"LEP"_s, u"LEP0001"_s, u"ffLegPol"_s, {}, {}};
    t.fields = {F(u"LEP_IDE", FT::AutoInc, u"ID"), F(u"LEP_IDM", FT::Integer, u"Kod"), S(u"LEP_KAV", 6, u"Karta"),
                S(u"LEP_NAC", 30, u"Název"), F(u"LEP_PC1", FT::Float, u"Cena/ks", Money),
                F(u"LEP_KUS", FT::Float, u"Kusy"), F(u"LEP_ZUS", FT::Float, u"Zůstatek", Money),
                S(u"LEP_MJE", 3, u"Mj"), F(u"LEP_DAT", FT::DateTime, u"Dne", u"dd.mm.yyyy"),
                F(u"LEP_DAN", FT::Float, u"Daň"), F(u"LEP_KOE", FT::Float),
                Calc(F(u"LEP_PCC", FT::Float, u"PC Celkem", Money)), Calc(F(u"LEP_VKL", FT::Float, u"Vklad", Money)),
                Calc(F(u"LEP_CER", FT::Float, u"Výběr", Money))};
    // The key is the pass alone; its movements follow in booking order through the identity, which
    // closes the order of every index (the store's index is still on LEP_IDM, LEP_IDE). A range
    // (pass, 0)-(pass, 10000000) therefore holds every movement of the pass, however high the
    // table-wide identities grow.
    t.indexes = {I(u"KOD", {u"LEP_IDM"_s})};
    return t;
}

TTableDef Uctenky()
{
    TTableDef t{u"UCE"_s, u"UCE0001"_s, u"ffUctenky"_s, {}, {}};
    t.fields = {F(u"HLA_DAT", FT::DateTime, u"Datum", u"dd.mm.yyyy"), S(u"HLA_DO1", 10, u"Účtenka"),
                S(u"HLA_DO2", 10, u"Výčetka"), S(u"HLA_DO3", 10), F(u"HLA_CUH", FT::Float, u"Celkem", Money),
                F(u"HLA_FHV", FT::Float, u"Hal.vyr.", Money), F(u"HLA_PCA", FT::Float, u"Cel.Cen.", Money),
                F(u"HLA_NCA", FT::Float, u"Cel.Skl.", Money), F(u"HLA_DVS", FT::Date, u"Vyskladněno"),
                F(u"HLA_DZP", FT::Date, u"Dat.zdaň.plň."), F(u"HLA_DSP", FT::Date, u"Splatno dne"),
                S(u"HLA_FUH", 1, u"For.Uhr."), S(u"HLA_FDO", 1, u"For.Dop."),
                F(u"HLA_Z00", FT::Float, u"Daň.zákl.0", Money), F(u"HLA_Z05", FT::Float, u"Daň.zákl.5", Money),
                F(u"HLA_Z22", FT::Float, u"Daň.zákl.22", Money), F(u"HLA_D05", FT::Float, u"Daň.5%", Money),
                F(u"HLA_D22", FT::Float, u"Daň.22%", Money), F(u"HLA_PLA", FT::Boolean, u"Plac."),
                F(u"HLA_EDT", FT::Boolean, u"Edit.", u"Ano;Ne"), F(u"HLA_PRN", FT::Boolean, u"Přen.", u"Ano;Ne"),
                S(u"HLA_REF", 2, u"Ref."), S(u"HLA_CEN", 1, u"Cen."), F(u"HLA_SLE", FT::Float, u"Sleva", Money),
                F(u"HLA_TSK", FT::Boolean, u"Tisk", u"Ano;Ne"), F(u"HLA_VLO", FT::Float, u"Do pokl.vl.", Money)};
    t.indexes = {I(u"DO1", {u"HLA_DO1"_s}), I(u"DO2", {u"HLA_DO2"_s}), I(u"DAT", {u"HLA_DAT"_s})};
    return t;
}

TTableDef Sklad()
{
    TTableDef t{u"SKL"_s, u"SKL0001"_s, u"ffSklad"_s, {}, {}};
    t.fields = {S(u"SKL_KAV", 6, u"Karta"), S(u"SKL_IND", 3, u"Var."), F(u"SKL_SNC", FT::Float, u"Nák.cena", Money),
                F(u"SKL_POC", FT::Float, u"Poč.roku"), F(u"SKL_STA", FT::Float, u"Zásoba"),
                S(u"SKL_MEN", 3, u"Měna"), F(u"SKL_KUR", FT::Float, u"Kurz"), S(u"SKL_POZ", 30, u"Poznámka"),
                F(u"SKL_POP", FT::Float, u"Poč. roku"), F(u"SKL_STP", FT::Float, u"Účetní stav")};
    t.indexes = {I(u"KAV", {u"SKL_KAV"_s, u"SKL_IND"_s}, true)};
    return t;
}

TTableDef Denik()
{
    TTableDef t{u"DEN"_s, u"DEN0001"_s, u"ffDenik"_s, {}, {}};
    t.fields = {F(u"DEN_RAD", FT::AutoInc, u"ID Kod"), F(u"DEN_DAT", FT::Date, u"Datum", u"dd.mm.yyyy"),
                S(u"DEN_DOK", 10, u"Doklad"), S(u"DEN_KAV", 6, u"Karta"), S(u"DEN_IND", 3, u"Var."),
                S(u"DEN_OPE", 3, u"Ope."), F(u"DEN_KUS", FT::Float, u"Kusy", u"#,##0.000"),
                F(u"DEN_HPC", FT::Float, u"Hod. PC", Money), F(u"DEN_HNC", FT::Float, u"Hod. NC", Money),
                F(u"DEN_DAN", FT::Float, u"DPH"), F(u"DEN_ZAS", FT::Float, u"Zásoba", u"#,##0.000"),
                S(u"DEN_REF", 2, u"Ref."), F(u"DEN_POZ", FT::Float, u"Pozn."), S(u"DEN_PRN", 10, u"Přen.dav."),
                F(u"DEN_KDY", FT::Time, u"Čas", u"hh:mm:ss")};
    // "STA" runs backwards as a whole, so one card variant's latest movement comes first.
    t.indexes = {I(u"KAV", {u"DEN_KAV"_s, u"DEN_IND"_s}), I(u"STA", {u"DEN_KAV"_s, u"DEN_IND"_s}, false, true),
                 I(u"DOK", {u"DEN_DOK"_s}), I(u"DAT", {u"DEN_DAT"_s})};
    return t;
}

TTableDef DokladObsah()
{
    TTableDef t{u"DOK"_s, u"DokladObsah"_s, u"DokladObsah"_s, {}, {}};
    t.fields = {F(u"DOK_PC1", FT::Float, u"PC / kus", Money), F(u"DOK_NC1", FT::Float, u"SC / kus", Money),
                F(u"DOK_KUS", FT::Float, u"Kusy"), F(u"DOK_PCC", FT::Float, u"PC Celkem", Money),
                F(u"DOK_PCS", FT::Float, u"Cen. cena", Money), F(u"DOK_RAB", FT::Float, u"Sle.Obch.", Money),
                F(u"DOK_SLP", FT::Float, u"Sleva Mn.", Money), F(u"DOK_DAN", FT::Float, u"DPH"),
                F(u"DOK_DPH", FT::Float, u"Hod. DPH", Money), F(u"DOK_NCC", FT::Float, u"SC Celkem", Money),
                S(u"DOK_SKU", 3, u"Skup."), F(u"DOK_POM", FT::Float, u"Sleva Spc.", Money),
                S(u"DOK_KAV", 6, u"Karta"), S(u"DOK_IND", 3, u"Var."), S(u"DOK_NAZ", 40, u"Název položky"),
                S(u"DOK_VAP", 1, u"V.P."), Calc(S(u"DOK_PRV", 1)), S(u"DOK_CIS", 10, u"Číslo dokladu"),
                F(u"DOK_RAP", FT::Float, u"Sl.obch.%", Money)};
    return t;
}
// clang-format on

struct Registry {
    QList<TTableDef> defs;
    QList<const TTableDef*> server;
    QHash<QString, int> byPrefix;

    Registry()
    {
        defs = {Vlastnik(), Prodejny(), Uzivatele(), UzivSkup(), UziPrava(),    UziPopPrav(),
                Semafor(),  Ciselnik(), Sortiment(), Ceniky(),   FormaUhrady(), LegHla(),
                LegPol(),   Uctenky(),  Sklad(),     Denik(),    DokladObsah()};
        for (int i = 0; i < defs.size(); ++i) {
            byPrefix.insert(defs[i].prefix, i);
            if (defs[i].prefix != u"DOK")
                server.append(&defs[i]);
        }
    }
};

const Registry& registry()
{
    static const Registry r;
    return r;
}

}  // namespace

// Names nearly always come spelt as defined: an exact comparison first is much cheaper than the
// case-insensitive one, and field lookups run several times for every record a posting writes.
int TTableDef::FieldIndex(const QString& name) const
{
    for (int i = 0; i < fields.size(); ++i)
        if (fields[i].name == name)
            return i;
    for (int i = 0; i < fields.size(); ++i)
        if (fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

const TFieldDef* TTableDef::Field(const QString& name) const
{
    const int i = FieldIndex(name);
    return i < 0 ? nullptr : &fields[i];
}

const TIndexDef* TTableDef::Index(const QString& name) const
{
    for (const auto& ix : indexes)
        if (ix.name.compare(name, Qt::CaseInsensitive) == 0)
            return &ix;
    return nullptr;
}

bool TTableDef::HasAutoInc() const
{
    for (const auto& f : fields)
        if (f.type == TFieldType::AutoInc)
            return true;
    return false;
}

QString TTableDef::IdentityColumn() const
{
    for (const auto& f : fields)
        if (f.type == TFieldType::AutoInc)
            return f.name;
    return QString::fromUtf16(kRecIdColumn);
}

bool TTableDef::IsKeyField(const QString& name) const
{
    for (const auto& ix : indexes)
        for (const auto& f : ix.fields)
            if (f == name)
                return true;
    for (const auto& ix : indexes)
        for (const auto& f : ix.fields)
            if (f.compare(name, Qt::CaseInsensitive) == 0)
                return true;
    return false;
}

const TTableDef& TableDef(const QString& prefix)
{
    const auto& r = registry();
    const auto it = r.byPrefix.constFind(prefix.toUpper());
    Q_ASSERT(it != r.byPrefix.constEnd());
    return r.defs[*it];
}

const QList<const TTableDef*>& AllTableDefs()
{
    return registry().server;
}

bool IsPerOrganisation(const TTableDef& def)
{
    static const QStringList perOrg{u"SOR"_s, u"CIS"_s, u"LEG"_s, u"LEP"_s,
                                    u"UCE"_s, u"SKL"_s, u"DEN"_s, u"SYS"_s};
    return perOrg.contains(def.prefix);
}

QString TableNameFor(const TTableDef& def, const QString& organisation)
{
    if (IsPerOrganisation(def))
        return def.prefix + organisation;
    if (def.prefix == u"VLA")
        return u"Vla0000"_s;
    if (def.prefix == u"CEN")
        return u"Cen0000"_s;
    if (def.prefix == u"ORG")
        return u"Org0000"_s;
    return def.builtInName;
}
