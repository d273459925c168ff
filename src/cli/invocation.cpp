#include "invocation.h"

#include "commandtable.h"
#include "helptext.h"
#include "link/failurewords.h"

#include <QCommandLineParser>

#include <iterator>

namespace quarvex::cli {

namespace {

QString rangeText(Field field)
{
    if (field == Field::LineSpeed) {
        QStringList speeds;
        for (quint32 s : kLineSpeeds)
            speeds << QString::number(s);
        return Cli::tr("one of %1").arg(speeds.join(QStringLiteral(", ")));
    }
    const FieldSpec &f = fieldSpec(field);
    return QStringLiteral("%1-%2").arg(f.min).arg(f.max);
}

QString fieldName(Field field)
{
    switch (field) {
    case Field::Address:
        return Cli::tr("the bus address");
    case Field::Speed:
        return Cli::tr("SPEED");
    case Field::Frequency:
        return Cli::tr("HZ");
    case Field::LineSpeed:
        return Cli::tr("the line speed");
    case Field::None:
        break;
    }
    return QString();
}

std::optional<int> number(const QString &text, int min, int max)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < min || v > max)
        return std::nullopt;
    return v;
}

// The parser's own messages, translated with ours.
[[maybe_unused]] const char *const kParserMessages[] = {
    QT_TRANSLATE_NOOP("QCommandLineParser", "Unknown option '%1'."),
    QT_TRANSLATE_NOOP("QCommandLineParser", "Unknown options: %1."),
    QT_TRANSLATE_NOOP("QCommandLineParser", "Missing value after '%1'."),
    QT_TRANSLATE_NOOP("QCommandLineParser", "Unexpected value after '%1'."),
};

// Ports as the platform names them: COM3 on Windows, which has no device paths.
#ifdef Q_OS_WIN
const char *const kPortHelp = QT_TRANSLATE_NOOP(
    "Cli", "port name (COM3), or across the network tcp://HOST:PORT (RTU over TCP), "
           "rfc2217://HOST:PORT (line speed set through the server), modbus-tcp://HOST[:PORT] "
           "(a gateway); also %QUARVEX_PORT%. scan takes several: repeated or comma-separated");
#else
const char *const kPortHelp = QT_TRANSLATE_NOOP(
    "Cli", "port name (ttyUSB0) or path (/dev/ttyUSB0, /dev/serial/by-id/..., a pty), or across "
           "the network tcp://HOST:PORT (RTU over TCP), rfc2217://HOST:PORT (line speed set "
           "through the server), modbus-tcp://HOST[:PORT] (a gateway); also $QUARVEX_PORT. scan "
           "takes several: repeated or comma-separated");
#endif

const OptionSpec kOptions[] = {
    {"p", "port", "PORT", kPortHelp},
    {"b", "baud", "N", QT_TRANSLATE_NOOP("Cli", "one of the nine line speeds (default 9600)")},
    {"a", "address", "N",
     QT_TRANSLATE_NOOP("Cli", "the module's bus address, 1-254; when absent, the module is "
                              "asked first")},
    {"t", "timeout", "MS",
     QT_TRANSLATE_NOOP("Cli", "how long the module may take to begin its reply (default %1); "
                              "the rest of a reply is waited for by its length at the line "
                              "speed. find and scan probe with %2 and ask again with %1 when "
                              "a reply comes late")},
    {"r", "retries", "N",
     QT_TRANSLATE_NOOP("Cli", "further tries after no reply or a damaged one, once the line is "
                              "quiet (default 1; find and scan: damaged replies only)")},
    {nullptr, "json", nullptr,
     QT_TRANSLATE_NOOP("Cli", "results as JSON on stdout (JSON Lines for watch); a failure as "
                              "{\"error\": {\"status\": N, \"message\": \"...\"}}")},
    {nullptr, "csv", nullptr,
     QT_TRANSLATE_NOOP("Cli", "watch: CSV on stdout, a header row first, the summary on "
                              "stderr")},
    {"v", "verbose", nullptr,
     QT_TRANSLATE_NOOP("Cli", "every frame on stderr: time, direction, hex, round trip in ms")},
    {nullptr, "interval", "MS",
     QT_TRANSLATE_NOOP("Cli", "watch: time between polls (default 1000)")},
    {nullptr, "count", "N",
     QT_TRANSLATE_NOOP("Cli", "watch: stop after N polls (default: until Ctrl+C)")},
    {nullptr, "from", "N", QT_TRANSLATE_NOOP("Cli", "scan: first bus address (default 1)")},
    {nullptr, "to", "N", QT_TRANSLATE_NOOP("Cli", "scan: last bus address (default 254)")},
    {nullptr, "all-speeds", nullptr,
     QT_TRANSLATE_NOOP("Cli", "scan, commission: at each of the nine line speeds")},
    {nullptr, "force", nullptr,
     QT_TRANSLATE_NOOP("Cli", "set-address: skip the check for several modules on the line")},
    {nullptr, "dry-run", nullptr,
     QT_TRANSLATE_NOOP("Cli", "apply: read only, and tell what would change")},
    {"h", "help", nullptr, QT_TRANSLATE_NOOP("Cli", "this help; COMMAND --help for one command")},
    {nullptr, "version", nullptr, QT_TRANSLATE_NOOP("Cli", "the version")},
};

// Plain numbers with their own limits.
struct NumberOption
{
    const char *option;
    int Invocation::*target;
    int min, max;
};

const NumberOption kNumbers[] = {
    {"timeout", &Invocation::timeoutMs, 1, 60000},
    {"retries", &Invocation::retries, 0, 100},
    {"interval", &Invocation::intervalMs, 0, 3600000},
    {"count", &Invocation::count, 1, 100000000},
    {"from", &Invocation::from, 1, 254},
    {"to", &Invocation::to, 1, 254},
};

// The options into the invocation; false, the reason in *error, for a refused value.
bool readOptions(const QCommandLineParser &parser, const QString &envPort, const CommandSpec *entry,
                 Invocation &inv, QString *error)
{
    const auto isSet = [&parser](const char *name) {
        return parser.isSet(QLatin1String(name));
    };
    const auto value = [&parser](const char *name) {
        return parser.value(QLatin1String(name));
    };
    // scan takes every port given; the other commands the last, as with any option.
    QStringList given =
        isSet("port") ? parser.values(QStringLiteral("port")) : QStringList{envPort};
    if (!entry || !entry->has(CommandSpec::SeveralPorts))
        given = given.mid(given.size() - 1);
    for (const QString &p : given)
        for (const QString &name : p.split(QLatin1Char(','), Qt::SkipEmptyParts))
            inv.ports << name.trimmed();
    inv.port = inv.ports.value(0);
    inv.json = isSet("json");
    inv.csv = isSet("csv");
    inv.verbose = isSet("verbose");
    inv.allSpeeds = isSet("all-speeds");
    inv.force = isSet("force");
    inv.dryRun = isSet("dry-run");
    if (isSet("baud")) {
        const auto v = fieldValue(Field::LineSpeed, value("baud"), error);
        if (!v)
            return false;
        inv.baud = *v;
    }
    if (isSet("address")) {
        const auto v = fieldValue(Field::Address, value("address"), error);
        if (!v)
            return false;
        inv.address = quint8(*v);
    }
    for (const NumberOption &n : kNumbers) {
        if (!isSet(n.option))
            continue;
        const auto v = number(value(n.option), n.min, n.max);
        if (!v) {
            *error = Cli::tr("--%1 must be %2-%3, not \"%4\"")
                         .arg(QLatin1String(n.option))
                         .arg(n.min)
                         .arg(n.max)
                         .arg(value(n.option));
            return false;
        }
        inv.*n.target = *v;
    }
    inv.timeoutGiven = isSet("timeout");
    if (inv.from > inv.to) {
        *error = Cli::tr("--from must not be above --to");
        return false;
    }
    return true;
}

} // namespace

Rows<OptionSpec> options()
{
    return {std::begin(kOptions), std::end(kOptions)};
}

std::optional<quint32> fieldValue(Field field, const QString &text, QString *error)
{
    const std::optional<quint32> v = parseField(field, text);
    if (!v)
        *error = Cli::tr("%1 must be %2, not \"%3\"").arg(fieldName(field), rangeText(field), text);
    return v;
}

// What is wrong with the ports a command was given, empty when nothing.
static QString portsProblem(const Invocation &inv, const CommandSpec &entry)
{
    for (const QString &name : inv.ports) {
        if (!parsePortName(name).valid) {
            TransportError bad;
            bad.kind = TransportError::BadAddress;
            return failureWords(name, bad).sentence;
        }
    }
    if (entry.has(CommandSpec::NeedsPort) && inv.port.isEmpty())
        return Cli::tr("no port given: use --port or $QUARVEX_PORT");
    if (inv.ports.size() > 1 && !entry.has(CommandSpec::SeveralPorts))
        return Cli::tr("only scan takes several ports");
    return {};
}

Parsed parseArguments(const QStringList &arguments, const QString &envPort)
{
    Parsed result;
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    for (const OptionSpec &o : kOptions) {
        QStringList names{QLatin1String(o.name)};
        if (o.shortName)
            names.prepend(QLatin1String(o.shortName));
        parser.addOption(
            QCommandLineOption(names, QString(), o.value ? QLatin1String(o.value) : QString()));
    }
    if (!parser.parse(arguments)) {
        result.text = parser.errorText();
        return result;
    }
    // "help COMMAND" and "COMMAND --help": that command's usage and an example.
    const QStringList words = parser.positionalArguments();
    const bool helpWord = words.value(0) == QLatin1String("help");
    if (parser.isSet(QStringLiteral("help")) || helpWord) {
        const CommandSpec *c = commandSpec(words.value(helpWord ? 1 : 0));
        result.action = Parsed::Help;
        result.text = c ? commandHelpText(*c) : helpText();
        return result;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        result.action = Parsed::Version;
        return result;
    }

    Invocation &inv = result.invocation;
    const CommandSpec *entry = commandSpec(words.value(0));
    if (!readOptions(parser, envPort, entry, inv, &result.text))
        return result;
    if (words.isEmpty()) {
        result.text = Cli::tr("no command given");
        return result;
    }
    if (!entry) {
        result.text = Cli::tr("unknown command \"%1\" (see --help)").arg(words.first());
        return result;
    }
    inv.verb = entry->verb;
    if (!entry->parse(words.mid(1), inv, &result.text)) {
        if (result.text.isEmpty())
            result.text = Cli::tr("wrong arguments for %1 (see --help)").arg(words.first());
        return result;
    }
    result.text = portsProblem(inv, *entry);
    if (result.text.isEmpty())
        result.action = Parsed::Run;
    return result;
}

} // namespace quarvex::cli
