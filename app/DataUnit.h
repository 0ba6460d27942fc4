#pragma once

#include "Database.h"
#include "MemTable.h"
#include "StockEngine.h"
#include "Table.h"

#include <QDateTime>
#include <QImage>
#include <QString>

#include <functional>
#include <memory>

// The central data module: the connection, one object per table, the station's run-time settings and
// the business operations shared by the windows. It has no widgets; the windows install the pickers
// and the message handler it needs (see Messages.h).
class TData : public QObject {
    Q_OBJECT
public:
    // programDir: the folder of Prodejna.ini, Tolmek.ini and the embedded store; the program passes
    // its own directory. Construction runs nothing; call DataModuleCreate().
    explicit TData(QString programDir, QObject* parent = nullptr);
    ~TData() override;

    // Start-up sequence: settings, table names, connection, sign-on.
    void DataModuleCreate();
    // Reads Prodejna.ini into the run-time settings; false when the file does not exist or a whole
    // number in it is not one (the operator has then been told).
    bool IniPrepare();
    // Remembered window heights in Tolmek.ini (index 1 to 16).
    int GetIniWinHigh(int index);
    void SeTIniWinHigh(int index, int height);
    static QString WinHighKey(int index);  // "FakHeight" ... "ObjHeight"; empty outside 1 to 16

    // Set when start-up decided that the program must end (unreachable server, refused sign-on).
    bool Terminated() const { return m_terminated; }
    void Terminate() { m_terminated = true; }
    // What start-up did, for the console report of a run without windows.
    QStringList StartupReport() const { return m_report; }

    // Sign-on of the operator after the connection is made.
    void SignOn();
    // The name the operating system gives for the logged-on user.
    static QString OsUserName();
    // The login name looked up for a system user name: trimmed, its first 10 characters, upper case
    // by the locale's rules.
    static QString AutoLoginName(const QString& osUserName);
    // Upper case of the letters a to z only, as the login dialog's name and password are compared.
    static QString UpperAsciiLetters(const QString& text);

    // Open/close of the trading tables: true when the table is open (and the index selected).
    bool OpenffSor(const QString& indexName);
    void CloseffSor();
    bool OpenffSkl(const QString& indexName);
    void CloseffSkl();
    bool OpenffDen(const QString& indexName);
    void CloseffDenik();
    bool OpenffUce(const QString& indexName);
    void CloseffUce();

    // Calculation handlers of the pass tables.
    void ffLegHlaCalcFields(TDataSet& d);
    void ffLegPolCalcFields(TDataSet& d);

    // Stock engine (kv_stock): each operation forwards to Stock().
    bool SorValid(QString cardCode);
    bool SklValid(QString cardCode, QString variantCode);
    bool KontrolaStavu(QString cardCode, QString variantCode, double stockChange, double lineQuantity);
    bool KontrolaStavuKarta(QString cardCode, double stockChange, double lineQuantity);
    bool SetLastSor();
    bool GetLastSor();
    bool RekonstrukceKarty(QString cardCode);
    bool ZapisPohybuVar(QString cardCode, QString variantCode, QString docNumber, QString opCode, float price,
                        float vatRate, double quantity);
    bool ZapisPohybuVarProvize(QString cardCode, QString variantCode, QString docNumber, QString opCode,
                               QString diffOpCode, float linePrice, float vatRate, double quantity,
                               float basePrice);
    // Fills DokladObsah (opened and emptied by the caller) with the lines of a stored document. The
    // operation lists hold codes of DEN_OPE; docType 1 to 9 chooses signs and the VAT rule.
    void GetDoklad(QString docNumber, QString pcsOps, QString pomOps, QString slpOps, QString rabOps,
                   int docType);

    // Login dialog shown by the sign-on; installed by the program. Returns true for OK and gives the
    // name and password as typed. Without it the dialog counts as cancelled.
    std::function<bool(QString& name, QString& password)> LoginDialog;

    // Pickers shown by SorValid and SklValid; installed by the windows. Each returns true when the
    // operator chose a record (the table stands on it). Arguments: top, left.
    std::function<bool(int, int)> PickSortiment;
    std::function<bool(int, int)> PickSklad;

    // Progress of the stock card rebuild, installed by the windows (the progress window and the busy
    // cursor); without them nothing is shown. ProgressStep lets pending events run so that the window
    // stays responsive; a database transaction is open meanwhile, so it should not let operator input
    // start other work (QEventLoop::ExcludeUserInputEvents).
    std::function<void(const QString& title, const QString& label, const QString& name)> ProgressShow;
    std::function<void(int percent)> ProgressStep;
    std::function<void()> ProgressHide;
    std::function<void(bool busy)> BusyCursor;

    // The moment movements and passes are dated with. Tests replace it; empty is the system clock.
    std::function<QDateTime()> Clock;
    QDateTime Now() const { return Clock ? Clock() : QDateTime::currentDateTime(); }

    // --- connection ---
    TCommsEngine ffCommsEngine;
    TSession ffSession{ffCommsEngine};
    std::unique_ptr<TDatabase> ffDatabase;

    // --- tables ---
    std::unique_ptr<TTable> ffVlastnik, ffProdejny, ffUzivatele, ffUzivSkup, ffUziPrava, ffUziPopPrav,
        ffSemafor, ffCiselnik, ffSortiment, ffCeniky, ffFormaUhrady, ffLegHla, ffLegPol, ffUctenky, ffSklad,
        ffDenik;
    std::unique_ptr<TMemTable> DokladObsah;

    // --- run-time settings ---
    QString CestaProgramu;  // ends with a path separator
    QString Prodejna = QStringLiteral("0001");
    int Dan22 = 22, Dan05 = 5, Dan00 = 0;
    int HlavniTiskarna = 0, ParagonovaTiskarna = 0;
    bool MatrixPrinter = false;
    int ZakladniCenySDPH = 0;
    bool LoginForm = false;
    QString Host, ServerName, AliasName, Protocol;
    int UserRequestType = 0;
    QString StationName, CestaExport, CestaImport, CestaPrivate, LogoFile;
    int MainX = 10, MainY = 10;

    QString UzivatelNac, UzivatelIni, UzivatelKod, UzivatelGrp;
    int AnchorTop = 0, AnchorLeft = 0;

    static QString DefaultOperatorName();

    // Remembered assortment card.
    bool LastSorValid = false;
    QString LastSorKav;
    QString LastSorIndex;

    QString ProdejnaIniPath() const;
    QString TolmekIniPath() const;

    // All tables, for name assignment and tests.
    QList<TTable*> Tables() const;

    // The stock engine on this module's connection, tables and settings; the windows' pickers and
    // progress display installed above reach it through its hooks.
    TStockEngine& Stock() { return *m_stock; }

    // Names the tables after the organisation code (Prodejna).
    void SetTableNames();
    // Connects to the store that the settings name (engine, session, database); throws EDatabaseError.
    void Connect();

private:
    bool AutoSignOn();
    void DialogSignOn();
    void TakeOperator(TTable& users);
    void CreateTables();
    bool OpenTable(TTable& t, const QString& indexName);
    void CreateStockEngine();

    QString m_programDir;
    bool m_terminated = false;
    QStringList m_report;
    std::unique_ptr<TStockEngine> m_stock;
};
