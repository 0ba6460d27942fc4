// korvanta-db: the command line, the connection to the station's store and the dispatch to the
// commands, each in a file of its own (InitCommand, DemoCommand, GenerateCommand, CheckCommand).
#include "DbTool.h"

#include "DataUnit.h"
#include "Messages.h"

#include <QHash>
#include <QTextStream>

#include <limits>
#include <optional>

#include <unistd.h>

using namespace Qt::StringLiterals;

TDbTool::TDbTool(TData& data, QTextStream& out) : m_data(data), m_out(out) {}

// ===================================================================================================

namespace {

struct TArgs {
    QString dir;
    QString command;
    bool help = false;
    TGenerateOptions generate;
};

// Parses the command line; an empty result text means success.
QString ParseArgs(const QStringList& args, TArgs& a)
{
    const QHash<QString, int TGenerateOptions::*> numbers{
        {u"--cards"_s, &TGenerateOptions::cards},       {u"--variants"_s, &TGenerateOptions::variants},
        {u"--receipts"_s, &TGenerateOptions::receipts}, {u"--lines"_s, &TGenerateOptions::lines},
        {u"--passes"_s, &TGenerateOptions::passes},     {u"--movements"_s, &TGenerateOptions::movements}};
    for (int i = 0; i < args.size(); ++i) {
        QString name = args[i];
        std::optional<QString> value;
        if (name.startsWith(u"--"_s) && name.contains(u'=')) {
            value = name.section(u'=', 1);
            name = name.section(u'=', 0, 0);
        }
        auto takeValue = [&]() -> std::optional<QString> {
            if (value)
                return value;
            if (i + 1 < args.size())
                return args[++i];
            return std::nullopt;
        };
        if (name == u"-h"_s || name == u"--help"_s) {
            a.help = true;
        } else if (name == u"--dir"_s) {
            const auto v = takeValue();
            if (!v || v->isEmpty())
                return u"volba --dir potřebuje adresář"_s;
            a.dir = *v;
        } else if (numbers.contains(name)) {
            if (a.command != u"generate"_s)
                return u"volba %1 patří jen k příkazu generate"_s.arg(name);
            const auto v = takeValue();
            bool ok = false;
            const int n = v ? v->toInt(&ok) : 0;
            if (!ok || n < 0)
                return u"volba %1 potřebuje nezáporné celé číslo"_s.arg(name);
            a.generate.*numbers.value(name) = n;
        } else if (name.startsWith(u'-')) {
            return u"neznámá volba %1"_s.arg(name);
        } else if (a.command.isEmpty()) {
            if (!QStringList{u"init"_s, u"demo"_s, u"generate"_s, u"check"_s}.contains(name))
                return u"neznámý příkaz %1"_s.arg(name);
            a.command = name;
        } else {
            return u"nadbytečný argument %1"_s.arg(name);
        }
    }
    if (a.help)
        return {};
    if (a.command.isEmpty())
        return u"chybí příkaz"_s;
    const TGenerateOptions& g = a.generate;
    if (g.variants < 1 || g.variants > 1000)
        return u"--variants musí být 1 až 1000"_s;
    if (g.lines < 1)
        return u"--lines musí být alespoň 1"_s;
    if (g.cards < 1 && (g.receipts > 0 || g.passes > 0))
        return u"účtenky a legitimace potřebují alespoň jednu novou kartu (--cards)"_s;
    if (qint64(g.receipts) * g.lines > std::numeric_limits<int>::max() ||
        qint64(g.passes) * g.movements > std::numeric_limits<int>::max())
        return u"příliš mnoho řádků najednou"_s;
    return {};
}

// Messages of the data module (a missing Prodejna.ini, a bad number in it) go to stderr.
class TMessagesTo {
public:
    explicit TMessagesTo(QTextStream& err)
    {
        m_previous = SetMessageHandler([&err](TMessageKind kind, const QString& text) {
            err << text << Qt::endl;
            return kind != TMessageKind::Confirmation;
        });
    }
    ~TMessagesTo() { SetMessageHandler(std::move(m_previous)); }

private:
    TMessageHandler m_previous;
};

}  // namespace

QString DbToolUsage()
{
    return u"Použití: korvanta-db [--dir ADRESÁŘ] PŘÍKAZ [volby]\n"
           u"\n"
           u"ADRESÁŘ je složka stanice se souborem Prodejna.ini (výchozí: aktuální složka).\n"
           u"Příkaz pracuje s databází, kterou Prodejna.ini určuje, a s tabulkami její organizace.\n"
           u"\n"
           u"Příkazy:\n"
           u"  init       vytvoří tabulky organizace a chybějící společné tabulky\n"
           u"  demo       nahraje ukázková data (jen do prázdného sortimentu)\n"
           u"  generate   přidá k existujícím datům velký soubor dat pro měření výkonu:\n"
           u"               --cards N      nové karty sortimentu (výchozí 1000)\n"
           u"               --variants N   skladové varianty každé skladové karty, 1 až 1000 (výchozí 3)\n"
           u"               --receipts N   účtenky (výchozí 10000)\n"
           u"               --lines N      řádky deníku každé účtenky (výchozí 5)\n"
           u"               --passes N     legitimace (výchozí 1000)\n"
           u"               --movements N  pohyby každé legitimace (výchozí 10)\n"
           u"  check      ověří, že skladové karty souhlasí s deníkem, sortiment se skladovými kartami\n"
           u"             a legitimace se svými pohyby, hlavičky účtenek s jejich řádky v deníku\n"
           u"\n"
           u"Návratový kód: 0 v pořádku, 1 chyba nebo nalezený nesouhlas, 2 chybné volání nebo Prodejna.ini.\n"_s;
}

int RunDbTool(const QStringList& args, QTextStream& out, QTextStream& err)
{
    TArgs a;
    if (const QString error = ParseArgs(args, a); !error.isEmpty()) {
        err << u"korvanta-db: "_s << error << Qt::endl << Qt::endl << DbToolUsage();
        err.flush();
        return 2;
    }
    if (a.help) {
        out << DbToolUsage();
        out.flush();
        return 0;
    }

    const TMessagesTo messages(err);
    TData data(a.dir);
    if (!data.IniPrepare())
        return 2;
    data.SetTableNames();
    // Only init may bring a new embedded store into being; the program never does.
    if (a.command == u"init"_s && !data.ffCommsEngine.IsTcpIp())
        data.ffDatabase->CreateIfMissing = true;
    try {
        data.Connect();
    } catch (const EDatabaseError& e) {
        err << u"korvanta-db: Nelze se připojit k databázi: "_s << e.Message() << Qt::endl;
        return 1;
    }

    try {
        TDbTool tool(data, out);
        if (isatty(STDERR_FILENO)) {
            tool.Progress = [&err](const QString& text) {
                err << u"\r"_s << text << u"\x1b[K"_s;  // back to the line's start, clear the rest
                err.flush();
            };
        }
        int status = 0;
        if (a.command == u"init"_s)
            tool.Init();
        else if (a.command == u"demo"_s)
            tool.Demo();
        else if (a.command == u"generate"_s)
            tool.Generate(a.generate);
        else if (tool.Check() > 0)
            status = 1;
        out.flush();
        return status;
    } catch (const EDatabaseError& e) {
        out.flush();
        err << u"korvanta-db: "_s << e.Message() << Qt::endl;
        return 1;
    } catch (const std::exception& e) {
        out.flush();
        err << u"korvanta-db: "_s << QString::fromLocal8Bit(e.what()) << Qt::endl;
        return 1;
    }
}
