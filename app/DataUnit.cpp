#include "DataUnit.h"

#include "AppLog.h"
#include "IniFile.h"
#include "Messages.h"
#include "ProgramLog.h"

#include <QDir>
#include <QFileInfo>

#include <pwd.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcApp, "korvanta.app")

namespace {

const QString kSection = u"Prodejna"_s;

// Keys of Tolmek.ini, section "Tolmek", by window kind index 1 to 16.
const char16_t* const kWinHighKeys[] = {u"FakHeight", u"DobHeight", u"DodHeight", u"PriHeight",
                                        u"VydHeight", u"PrfHeight", u"OdbHeight", u"VstHeight",
                                        u"PrcHeight", u"SklHeight", u"SorHeight", u"PohHeight",
                                        u"UceHeight", u"InvHeight", u"PkdHeight", u"ObjHeight"};

// A settings file is a few hundred bytes; a huge one is a mistake that would only slow the start.
constexpr qint64 kMaxSettingsFile = 1024 * 1024;

void CheckSettingsFileSize(const QString& path)
{
    const QFileInfo info(path);
    if (info.isFile() && info.size() > kMaxSettingsFile)
        throw EConvertError(u"Konfigurační soubor %1 je příliš velký (%2 bajtů, nejvýše %3)."_s.arg(path)
                                .arg(info.size())
                                .arg(kMaxSettingsFile));
}

// A VAT rate in whole percent.
int ReadVatRate(const TIniFile& ini, const QString& key, int def)
{
    const int rate = ini.ReadInteger(kSection, key, def);
    if (rate < 0 || rate > 100)
        throw EConvertError(u"Sazba DPH %1=%2 není mezi 0 a 100."_s.arg(key).arg(rate));
    return rate;
}

// "host:port" names a port from 1 to 65535; a bare IPv6 address has more than one colon.
void CheckHostPort(const QString& host)
{
    const qsizetype colon = host.lastIndexOf(u':');
    if (colon <= 0 || host.count(u':') != 1)
        return;
    const QString text = host.mid(colon + 1).trimmed();
    const std::optional<int> port = IniStrToInt(text);
    if (!port)
        throw EConvertError(u"'%1' is not a valid integer value"_s.arg(text));
    if (*port < 1 || *port > 65535)
        throw EConvertError(u"Port %1 serveru %2 není mezi 1 a 65535."_s.arg(*port).arg(host));
}

}  // namespace

TData::TData(QString programDir, QObject* parent) : QObject(parent)
{
    m_programDir = QDir(programDir.isEmpty() ? QDir::currentPath() : programDir).absolutePath();
    ffDatabase = std::make_unique<TDatabase>(ffSession);
    CreateTables();
    CreateStockEngine();
}

void TData::CreateStockEngine()
{
    m_stock = std::make_unique<TStockEngine>(
        TStockTables{*ffDatabase, *ffSortiment, *ffSklad, *ffDenik, *ffCiselnik, *DokladObsah},
        TStockSettings{UzivatelIni, ZakladniCenySDPH, AnchorTop, AnchorLeft},
        TStockLastCard{LastSorValid, LastSorKav, LastSorIndex});
    // The windows install their pickers and progress display here after construction.
    TStockHooks& h = m_stock->Hooks;
    h.pickSortiment = [this](int top, int left) { return PickSortiment && PickSortiment(top, left); };
    h.pickSklad = [this](int top, int left) { return PickSklad && PickSklad(top, left); };
    h.progressShow = [this](const QString& title, const QString& label, const QString& name) {
        if (ProgressShow)
            ProgressShow(title, label, name);
    };
    h.progressStep = [this](int percent) {
        if (ProgressStep)
            ProgressStep(percent);
    };
    h.progressHide = [this] {
        if (ProgressHide)
            ProgressHide();
    };
    h.busyCursor = [this](bool busy) {
        if (BusyCursor)
            BusyCursor(busy);
    };
    h.clock = [this] { return Now(); };
}

bool TData::SorValid(QString cardCode)
{
    return Stock().SorValid(cardCode);
}
bool TData::SklValid(QString cardCode, QString variantCode)
{
    return Stock().SklValid(cardCode, variantCode);
}
bool TData::KontrolaStavu(QString cardCode, QString variantCode, double stockChange, double lineQuantity)
{
    return Stock().KontrolaStavu(cardCode, variantCode, stockChange, lineQuantity);
}
bool TData::KontrolaStavuKarta(QString cardCode, double stockChange, double lineQuantity)
{
    return Stock().KontrolaStavuKarta(cardCode, stockChange, lineQuantity);
}
bool TData::SetLastSor()
{
    return Stock().SetLastSor();
}
bool TData::GetLastSor()
{
    return Stock().GetLastSor();
}
bool TData::RekonstrukceKarty(QString cardCode)
{
    return Stock().RekonstrukceKarty(cardCode);
}
bool TData::ZapisPohybuVar(QString cardCode, QString variantCode, QString docNumber, QString opCode,
                           float price, float vatRate, double quantity)
{
    return Stock().ZapisPohybuVar(cardCode, variantCode, docNumber, opCode, price, vatRate, quantity);
}
bool TData::ZapisPohybuVarProvize(QString cardCode, QString variantCode, QString docNumber, QString opCode,
                                  QString diffOpCode, float linePrice, float vatRate, double quantity,
                                  float basePrice)
{
    return Stock().ZapisPohybuVarProvize(cardCode, variantCode, docNumber, opCode, diffOpCode, linePrice,
                                         vatRate, quantity, basePrice);
}
void TData::GetDoklad(QString docNumber, QString pcsOps, QString pomOps, QString slpOps, QString rabOps,
                      int docType)
{
    Stock().GetDoklad(docNumber, pcsOps, pomOps, slpOps, rabOps, docType);
}

TData::~TData()
{
    for (TTable* t : Tables())
        t->Close();
    if (DokladObsah)
        DokladObsah->Close();
    ffDatabase->Close();
}

QString TData::DefaultOperatorName()
{
    return u"Obsluha"_s;
}

void TData::CreateTables()
{
    auto make = [this](const char16_t* prefix) {
        auto t = std::make_unique<TTable>(*ffDatabase, TableDef(QString::fromUtf16(prefix)), this);
        return t;
    };
    ffVlastnik = make(u"VLA");
    ffProdejny = make(u"ORG");
    ffUzivatele = make(u"USR");
    ffUzivSkup = make(u"UGR");
    ffUziPrava = make(u"URS");
    ffUziPopPrav = make(u"URT");
    ffSemafor = make(u"SYS");
    ffCiselnik = make(u"CIS");
    ffSortiment = make(u"SOR");
    ffCeniky = make(u"CEN");
    ffFormaUhrady = make(u"FUH");
    ffLegHla = make(u"LEG");
    ffLegPol = make(u"LEP");
    ffUctenky = make(u"UCE");
    ffSklad = make(u"SKL");
    ffDenik = make(u"DEN");
    DokladObsah = std::make_unique<TMemTable>(TableDef(u"DOK"_s), this);
    ffLegHla->OnCalcFields = [this](TDataSet& d) { ffLegHlaCalcFields(d); };
    ffLegPol->OnCalcFields = [this](TDataSet& d) { ffLegPolCalcFields(d); };
    // Built-in names, in force until the settings are applied.
    ffDenik->SetTableName(u"Den0001"_s);
}

QList<TTable*> TData::Tables() const
{
    return {ffVlastnik.get(),  ffProdejny.get(),   ffUzivatele.get(),   ffUzivSkup.get(),
            ffUziPrava.get(),  ffUziPopPrav.get(), ffSemafor.get(),     ffCiselnik.get(),
            ffSortiment.get(), ffCeniky.get(),     ffFormaUhrady.get(), ffLegHla.get(),
            ffLegPol.get(),    ffUctenky.get(),    ffSklad.get(),       ffDenik.get()};
}

void TData::SetTableNames()
{
    for (TTable* t : Tables())
        t->SetTableName(TableNameFor(t->Def(), Prodejna));
}

QString TData::ProdejnaIniPath() const
{
    return CestaProgramu + u"Prodejna.ini"_s;
}

QString TData::TolmekIniPath() const
{
    return CestaProgramu + u"Tolmek.ini"_s;
}

void TData::Connect()
{
    ffCommsEngine.ServerName = ServerName + u'@' + Host;
    ffDatabase->AliasName = AliasName;
    ffDatabase->Directory = CestaProgramu;
    ffCommsEngine.SetActive(true);
    ffSession.Open();
    ffDatabase->Open();
}

void TData::DataModuleCreate()
{
    Dan22 = 22;
    Dan05 = 5;
    Dan00 = 0;
    UzivatelNac = DefaultOperatorName();
    SetLogOperator(UzivatelNac);
    LastSorValid = false;
    LastSorKav.clear();
    LastSorIndex.clear();

    if (!IniPrepare()) {
        m_report << u"Bez konfigurace: program pokračuje bez připojení k databázi."_s;
        return;
    }

    ffCommsEngine.ServerName = ServerName + u'@' + Host;
    ffDatabase->AliasName = AliasName;
    ffDatabase->Directory = CestaProgramu;
    SetTableNames();

    try {
        ffCommsEngine.SetActive(true);
    } catch (const EDatabaseError& e) {
        // An unreachable server shows only as an inactive engine.
        qCWarning(lcApp).noquote() << "server" << ffCommsEngine.ServerName << "not reachable:" << e.Message();
    }
    if (!ffCommsEngine.Active()) {
        ShowError(u"Aplikační server "_s + ServerName + u'@' + Host + u" není dostupný "_s);
        m_report << u"Aplikační server %1@%2 není dostupný."_s.arg(ServerName, Host);
        Terminate();
        return;
    }
    try {
        ffSession.Open();
        ffDatabase->Open();
    } catch (const EDatabaseError& e) {
        ShowError(e.Message());
        m_report << u"Databázi nelze otevřít: "_s + e.Message();
        return;
    }
    m_report << (ffDatabase->Kind() == TStoreKind::Sqlite
                     ? u"Připojeno k databázi %1"_s.arg(ffDatabase->EmbeddedFilePath())
                     : u"Připojeno k serveru %1, databáze %2"_s.arg(ffCommsEngine.ServerName, AliasName));
    SignOn();
    if (!m_terminated)
        m_report << u"Přihlášen uživatel %1 (%2)"_s.arg(UzivatelNac, UzivatelIni);
}

bool TData::IniPrepare()
{
    CestaProgramu = QDir::toNativeSeparators(m_programDir);
    if (!CestaProgramu.endsWith(QDir::separator()))
        CestaProgramu += QDir::separator();
    Prodejna = u"0001"_s;

    const TIniFile ini(ProdejnaIniPath());
    if (!QFileInfo(ProdejnaIniPath()).isFile()) {
        ShowError(u"Konfigurační soubor "_s + ProdejnaIniPath() + u" nenalezen !"_s);
        return false;
    }
    try {
        CheckSettingsFileSize(ProdejnaIniPath());
        Prodejna = ini.ReadString(kSection, u"Prodejna"_s, u"0001"_s);
        Dan22 = ReadVatRate(ini, u"Dan22"_s, 22);
        Dan05 = ReadVatRate(ini, u"Dan05"_s, 5);
        Dan00 = ReadVatRate(ini, u"Dan00"_s, 0);
        HlavniTiskarna = ini.ReadInteger(kSection, u"HlavniTiskarna"_s, 1);
        Host = ini.ReadString(kSection, u"Host"_s, u"127.0.0.1"_s).trimmed();
        CheckHostPort(Host);
        AliasName = ini.ReadString(kSection, u"AliasName"_s, u"Tolmek"_s).trimmed();
        Protocol = ini.ReadString(kSection, u"Protocol"_s, u"LOCAL"_s).trimmed();
        ffCommsEngine.Protocol = Protocol;
        ServerName = ini.ReadString(kSection, u"ServerName"_s, u"ACC"_s).trimmed();
        ParagonovaTiskarna = ini.ReadInteger(kSection, u"ParagonovaTiskarna"_s, 1);
        MatrixPrinter = ini.ReadBool(kSection, u"MatrixPrinter"_s, true);
        ZakladniCenySDPH = ini.ReadString(kSection, u"ZakladniCenySDPH"_s, u"Ano"_s)
                                       .compare(u"ANO"_s, Qt::CaseInsensitive) == 0
                               ? 2
                               : 1;
        LoginForm = ini.ReadBool(kSection, u"LoginForm"_s, false);
        // Kept for the station's other programs; nothing here consults them.
        UserRequestType = ini.ReadInteger(kSection, u"UserRequestType"_s, 0);
        StationName = ini.ReadString(kSection, u"StationName"_s, u"USER"_s).trimmed();
        CestaExport = ini.ReadString(kSection, u"CestaExport"_s, CestaProgramu + u"Export/"_s);
        CestaImport = ini.ReadString(kSection, u"CestaImport"_s, CestaProgramu + u"Import/"_s);
        CestaPrivate = ini.ReadString(kSection, u"CestaPrivate"_s, CestaProgramu + u"Private/"_s);
        LogoFile = ini.ReadString(kSection, u"LogoFile"_s, u"Logo.bmp"_s);
        MainX = ini.ReadInteger(u"Velmira"_s, u"MainX"_s, 10);
        MainY = ini.ReadInteger(u"Velmira"_s, u"MainY"_s, 10);
    } catch (const EConvertError& e) {
        ShowError(e.Message());
        return false;
    }
    return true;
}

QString TData::WinHighKey(int index)
{
    if (index < 1 || index > 16)
        return QString();
    return QString::fromUtf16(kWinHighKeys[index - 1]);
}

int TData::GetIniWinHigh(int index)
{
    const QString key = WinHighKey(index);
    if (key.isEmpty())
        return 0;
    // A missing Tolmek.ini reads like a missing key: the default height.
    CheckSettingsFileSize(TolmekIniPath());
    return TIniFile(TolmekIniPath()).ReadInteger(u"Tolmek"_s, key, 361);
}

void TData::SeTIniWinHigh(int index, int height)
{
    const QString key = WinHighKey(index);
    if (key.isEmpty() || !QFileInfo(TolmekIniPath()).isFile())
        return;
    TIniFile(TolmekIniPath()).WriteInteger(u"Tolmek"_s, key, height);
}

QString TData::OsUserName()
{
    if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_name)
        return QString::fromLocal8Bit(pw->pw_name);
    return qEnvironmentVariable("USER");
}

bool TData::OpenTable(TTable& t, const QString& indexName)
{
    if (t.Active()) {
        if (!indexName.trimmed().isEmpty())
            t.SetIndexName(indexName);
        return true;
    }
    try {
        // The index goes first, so that the table opens on the first record in that order.
        if (!indexName.trimmed().isEmpty())
            t.SetIndexName(indexName);
        t.Open();
        return true;
    } catch (const EDatabaseError& e) {
        qCWarning(lcApp).noquote() << "table" << t.TableName() << "not opened:" << e.Message();
        return false;
    }
}

bool TData::OpenffSor(const QString& indexName)
{
    return OpenTable(*ffSortiment, indexName);
}

void TData::CloseffSor()
{
    ffSortiment->Close();
}

bool TData::OpenffSkl(const QString& indexName)
{
    return OpenTable(*ffSklad, indexName);
}

void TData::CloseffSkl()
{
    ffSklad->Close();
}

bool TData::OpenffDen(const QString& indexName)
{
    return OpenTable(*ffDenik, indexName);
}

void TData::CloseffDenik()
{
    ffDenik->Close();
}

bool TData::OpenffUce(const QString& indexName)
{
    return OpenTable(*ffUctenky, indexName);
}

void TData::CloseffUce()
{
    ffUctenky->Close();
}

void TData::ffLegHlaCalcFields(TDataSet& d)
{
    d.FieldByName(u"LEG_ZUS"_s)
        .SetAsFloat(d.FieldByName(u"LEG_POC"_s).AsFloat() - d.FieldByName(u"LEG_CER"_s).AsFloat());
}

void TData::ffLegPolCalcFields(TDataSet& d)
{
    const double pcc = d.FieldByName(u"LEP_KUS"_s).AsFloat() * d.FieldByName(u"LEP_PC1"_s).AsFloat();
    d.FieldByName(u"LEP_PCC"_s).SetAsFloat(pcc);
    if (d.FieldByName(u"LEP_KOE"_s).AsFloat() > 0) {
        d.FieldByName(u"LEP_VKL"_s).SetAsFloat(pcc);
        d.FieldByName(u"LEP_CER"_s).SetAsFloat(0);
    } else {
        d.FieldByName(u"LEP_CER"_s).SetAsFloat(pcc);
        d.FieldByName(u"LEP_VKL"_s).SetAsFloat(0);
    }
}
