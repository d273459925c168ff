#include "invocation.h"

#include "device/fields.h"
#include "strategy.h"

#include <QCommandLineParser>

#include <algorithm>
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

// A value for a field, or the message that says what it must be.
std::optional<quint32> fieldValue(Field field, const QString &text, QString *error)
{
    const std::optional<quint32> v = parseField(field, text);
    if (!v)
        *error = Cli::tr("%1 must be %2, not \"%3\"").arg(fieldName(field), rangeText(field), text);
    return v;
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

// Short name, long name, value name, help.
struct OptionSpec
{
    const char *shortName, *name, *value, *help;
};

// Ports as the platform names them: COM3 on Windows, which has no device paths.
#ifdef Q_OS_WIN
const char *const kPortHelp = QT_TRANSLATE_NOOP(
    "Cli", "port name (COM3), or across the network tcp://HOST:PORT (RTU over TCP), "
           "rfc2217://HOST:PORT (line speed set through the server), modbus-tcp://HOST[:PORT] "
           "(a gateway); also %QUARVEX_PORT%. scan takes several: repeated or comma-separated");
const QLatin1String kExamplePort("COM3");
#else
const char *const kPortHelp = QT_TRANSLATE_NOOP(
    "Cli", "port name (ttyUSB0) or path (/dev/ttyUSB0, /dev/serial/by-id/..., a pty), or across "
           "the network tcp://HOST:PORT (RTU over TCP), rfc2217://HOST:PORT (line speed set "
           "through the server), modbus-tcp://HOST[:PORT] (a gateway); also $QUARVEX_PORT. scan "
           "takes several: repeated or comma-separated");
const QLatin1String kExamplePort("ttyUSB0");
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
     QT_TRANSLATE_NOOP("Cli", "scan: at each of the nine line speeds")},
    {nullptr, "force", nullptr,
     QT_TRANSLATE_NOOP("Cli", "set-address: skip the check for several modules on the line")},
    {"h", "help", nullptr, QT_TRANSLATE_NOOP("Cli", "this help; COMMAND --help for one command")},
    {nullptr, "version", nullptr, QT_TRANSLATE_NOOP("Cli", "the version")},
};

// Usage, what it does, an example.
struct CommandHelp
{
    const char *name, *usage, *what, *example;
    // The usage without what --help lists under options anyway.
    QString synopsis() const
    {
        return QString::fromLatin1(usage).section(QLatin1String(" ["), 0, 0);
    }
};

const CommandHelp kCommandHelp[] = {
    {"ports", "ports",
     QT_TRANSLATE_NOOP("Cli", "the serial ports, a header row first: name, description, maker, "
                              "serial number, /dev/serial/by-id link"),
     "quarvexctl ports"},
    {"find", "find",
     QT_TRANSLATE_NOOP("Cli", "try the nine line speeds, likeliest first, on --port or on every "
                              "listed port; report port, line speed and bus address. A reply that "
                              "may have come late is asked for again with a longer wait"),
     "quarvexctl find"},
    {"address", "address",
     QT_TRANSLATE_NOOP(
         "Cli", "the module's bus address; with -a, whether a module answers at that address"),
     "quarvexctl -p ttyUSB0 -a 5 address"},
    {"read", "read",
     QT_TRANSLATE_NOOP(
         "Cli",
         "all parameters and both alarm flags, decoded; the stored line speed beside the link's"),
     "quarvexctl -p ttyUSB0 read --json"},
    {"motor", "motor 1|2 ACTION",
     QT_TRANSLATE_NOOP(
         "Cli", "ACTION is forward SPEED or reverse SPEED (0-100), stop, brake (engage), release "
                "(the brake) or frequency HZ (PWM, 1000-10000). Nothing is sent while the motor's "
                "over-current alarm stands: the module would ignore it (exit status 6)"),
     "quarvexctl -p ttyUSB0 motor 1 forward 50"},
    {"alarm", "alarm clear 1|2",
     QT_TRANSLATE_NOOP("Cli", "clear a motor's over-current alarm; its parameters return to their "
                              "power-up values. Says so when no alarm stood"),
     "quarvexctl -p ttyUSB0 alarm clear 1"},
    {"set-address", "set-address N",
     QT_TRANSLATE_NOOP("Cli", "give the module bus address N, 1-254, and read it back. With -a, "
                              "only if the module answering is at that address"),
     "quarvexctl -p ttyUSB0 -a 1 set-address 5"},
    {"set-speed", "set-speed N",
     QT_TRANSLATE_NOOP(
         "Cli", "store line speed N (one of the nine); it takes effect when the module restarts"),
     "quarvexctl -p ttyUSB0 -a 5 set-speed 19200"},
    {"watch", "watch [--interval MS] [--count N] [--csv]",
     QT_TRANSLATE_NOOP("Cli", "poll all parameters: one record a poll, answered or not, with its "
                              "time (ISO 8601, ms); a summary at the end or on Ctrl+C"),
     "quarvexctl -p ttyUSB0 watch --csv > log.csv"},
    {"send", "send HEX",
     QT_TRANSLATE_NOOP("Cli",
                       "any frame (blanks allowed); the CRC is appended, the reply printed. A "
                       "Modbus frame to address 0 is a broadcast: sent once, no reply expected"),
     "quarvexctl -p ttyUSB0 send 01 03 00 00 00 02"},
    {"scan", "scan [--from N] [--to N] [--all-speeds]",
     QT_TRANSLATE_NOOP("Cli",
                       "probe every bus address; list the modules that answer and the addresses "
                       "whose replies were damaged. Ctrl+C lists what was found so far"),
     "quarvexctl -p ttyUSB0 scan --to 32"},
};

const CommandHelp *commandHelp(const QString &name)
{
    for (const CommandHelp &c : kCommandHelp)
        if (name == QLatin1String(c.name))
            return &c;
    return nullptr;
}

// Terminal columns a character takes: CJK text is twice as wide.
int columns(QChar c)
{
    return c.unicode() >= 0x1100 ? 2 : 1;
}

// Text in lines of at most 80 columns, each after `indent` blanks; breaks at blanks, or
// between two wide characters.
QString wrapped(const QString &text, int indent, int firstColumn)
{
    constexpr int kWidth = 80;
    QString out;
    int column = firstColumn;
    int i = 0;
    while (i < text.size()) {
        // The next piece: a word with its blank before it, or one wide character.
        int j = i;
        if (text.at(j) == QLatin1Char(' '))
            ++j;
        if (j < text.size() && columns(text.at(j)) == 2) {
            ++j;
            // Closing punctuation stays with what it closes.
            while (j < text.size() && QStringLiteral("，。；：、）”").contains(text.at(j)))
                ++j;
        } else {
            while (j < text.size() && text.at(j) != QLatin1Char(' ') && columns(text.at(j)) == 1)
                ++j;
        }
        QString piece = text.mid(i, j - i);
        int width = 0;
        for (QChar c : piece)
            width += columns(c);
        if (column + width > kWidth && column > indent) {
            out += QLatin1Char('\n') + QString(indent, QLatin1Char(' '));
            column = indent;
            if (piece.startsWith(QLatin1Char(' '))) {
                piece.remove(0, 1);
                --width;
            }
        }
        out += piece;
        column += width;
        i = j;
    }
    return out;
}

QString helpText()
{
    QString t = Cli::tr("Usage: quarvexctl [options] COMMAND [arguments]") + QLatin1Char('\n') +
                wrapped(Cli::tr("Finds, reads, drives and commissions a Quarvex motor driver "
                                "module over RS-485."),
                        0, 0) +
                QStringLiteral("\n\n") + Cli::tr("Options:") + QLatin1Char('\n');
    constexpr int kColumn = 22;
    for (const OptionSpec &o : kOptions) {
        QString left = o.shortName ? QStringLiteral("  -%1, --%2")
                                         .arg(QLatin1String(o.shortName), QLatin1String(o.name))
                                   : QStringLiteral("      --%1").arg(QLatin1String(o.name));
        if (o.value)
            left += QLatin1Char(' ') + QLatin1String(o.value);
        left = left.leftJustified(kColumn - 1) + QLatin1Char(' ');
        QString help = Cli::tr(o.help);
        if (help.contains(QLatin1String("%1")))
            help = help.arg(kCommandTurnaroundMs).arg(kProbeTurnaroundMs);
        t += left + wrapped(help, kColumn, kColumn) + QLatin1Char('\n');
    }
    t += QLatin1Char('\n') + Cli::tr("Commands:") + QLatin1Char('\n');
    // Every line carries words, so a translated help is translated on every line.
    constexpr int kCommandColumn = 20;
    for (const CommandHelp &c : kCommandHelp)
        t += (QStringLiteral("  ") + c.synopsis()).leftJustified(kCommandColumn - 1) +
             QLatin1Char(' ') + wrapped(Cli::tr(c.what), kCommandColumn, kCommandColumn) +
             QLatin1Char('\n');
    t +=
        QLatin1Char('\n') +
        wrapped(
            Cli::tr("find, address and set-address use the module's read-address frame to "
                    "bus address 0: with several modules on one line they all answer at "
                    "once and the replies collide. Use scan there. quarvexctl help COMMAND shows a "
                    "command's usage and an example."),
            0, 0) +
        QStringLiteral("\n\n") + Cli::tr("Exit status:") + QLatin1Char('\n');
    static const struct
    {
        int status;
        const char *meaning;
    } kStatuses[] = {
        {0, QT_TRANSLATE_NOOP("Cli", "done")},
        {1,
         QT_TRANSLATE_NOOP("Cli", "bad usage or a value out of range: nothing was opened or sent")},
        {2, QT_TRANSLATE_NOOP("Cli", "the port cannot be opened, or went away")},
        {3, QT_TRANSLATE_NOOP("Cli", "no valid reply after all tries, or only damaged ones")},
        {4, QT_TRANSLATE_NOOP("Cli", "the module answered with a Modbus exception")},
        {5, QT_TRANSLATE_NOOP("Cli", "find or scan found nothing")},
        {6,
         QT_TRANSLATE_NOOP("Cli", "not applied: a motor's over-current alarm stands, or the module "
                                  "answers at another address than -a or than it was given")},
        {130, QT_TRANSLATE_NOOP("Cli", "interrupted by Ctrl+C (scan lists what it found so far)")},
#ifdef Q_OS_WIN
        {143, QT_TRANSLATE_NOOP("Cli", "stopped by Ctrl+Break, likewise")},
#else
        {143, QT_TRANSLATE_NOOP("Cli", "terminated (SIGTERM), likewise")},
#endif
    };
    for (const auto &s : kStatuses)
        t += QStringLiteral("  %1").arg(s.status, -5) + wrapped(Cli::tr(s.meaning), 7, 7) +
             QLatin1Char('\n');
    return t;
}

QString commandHelpText(const CommandHelp &c)
{
    return Cli::tr("Usage: quarvexctl [options] %1").arg(QLatin1String(c.usage)) +
           QLatin1Char('\n') + wrapped(Cli::tr(c.what), 0, 0) + QStringLiteral("\n\n") +
           Cli::tr("Example: %1")
               .arg(QString(QLatin1String(c.example))
                        .replace(QLatin1String("ttyUSB0"), kExamplePort)) +
           QLatin1Char('\n') + Cli::tr("Options: see quarvexctl --help") + QLatin1Char('\n');
}

} // namespace

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
    const auto isSet = [&parser](const char *name) {
        return parser.isSet(QLatin1String(name));
    };
    const auto value = [&parser](const char *name) {
        return parser.value(QLatin1String(name));
    };
    if (!parser.parse(arguments)) {
        result.text = parser.errorText();
        return result;
    }
    // "help COMMAND" and "COMMAND --help": that command's usage and an example.
    const QStringList words = parser.positionalArguments();
    const bool helpWord = words.value(0) == QLatin1String("help");
    if (isSet("help") || helpWord) {
        const CommandHelp *c = commandHelp(words.value(helpWord ? 1 : 0));
        result.action = Parsed::Help;
        result.text = c ? commandHelpText(*c) : helpText();
        return result;
    }
    if (isSet("version")) {
        result.action = Parsed::Version;
        return result;
    }

    Invocation &inv = result.invocation;
    // A field's value into `target`; false, with the refusal as the result's text, if refused.
    const auto readField = [&result](Field field, const QString &text, quint32 &target) {
        const auto v = fieldValue(field, text, &result.text);
        if (v)
            target = *v;
        return v.has_value();
    };
    // scan takes every port given; the other commands the last, as with any option.
    QStringList given =
        isSet("port") ? parser.values(QStringLiteral("port")) : QStringList{envPort};
    if (!parser.positionalArguments().startsWith(QStringLiteral("scan")))
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
    if (isSet("baud") && !readField(Field::LineSpeed, value("baud"), inv.baud))
        return result;
    if (isSet("address")) {
        quint32 a = 0;
        if (!readField(Field::Address, value("address"), a))
            return result;
        inv.address = quint8(a);
    }
    // Plain numbers with their own limits; a name and a range for the message.
    struct NumberOption
    {
        const char *option;
        int *target;
        int min, max;
    };
    const NumberOption numbers[] = {
        {"timeout", &inv.timeoutMs, 1, 60000},
        {"retries", &inv.retries, 0, 100},
        {"interval", &inv.intervalMs, 0, 3600000},
        {"count", &inv.count, 1, 100000000},
        {"from", &inv.from, 1, 254},
        {"to", &inv.to, 1, 254},
    };
    for (const NumberOption &n : numbers) {
        if (!isSet(n.option))
            continue;
        const auto v = number(value(n.option), n.min, n.max);
        if (!v) {
            result.text = Cli::tr("--%1 must be %2-%3, not \"%4\"")
                              .arg(QLatin1String(n.option))
                              .arg(n.min)
                              .arg(n.max)
                              .arg(value(n.option));
            return result;
        }
        *n.target = *v;
    }
    inv.timeoutGiven = isSet("timeout");
    if (inv.from > inv.to) {
        result.text = Cli::tr("--from must not be above --to");
        return result;
    }

    const QStringList args = parser.positionalArguments();
    if (args.isEmpty()) {
        result.text = Cli::tr("no command given");
        return result;
    }
    const QString verb = args.first();
    const QStringList rest = args.mid(1);
    const auto wrongArguments = [&] {
        result.text = Cli::tr("wrong arguments for %1 (see --help)").arg(verb);
        return result;
    };
    const auto argCount = [&](int n) {
        return rest.size() == n;
    };

    struct Simple
    {
        const char *name;
        Verb verb;
    };
    static const Simple simple[] = {
        {"ports", Verb::Ports}, {"find", Verb::Find},   {"address", Verb::Address},
        {"read", Verb::Read},   {"watch", Verb::Watch}, {"scan", Verb::Scan},
    };
    const Simple *const simpleVerb =
        std::find_if(std::begin(simple), std::end(simple),
                     [&](const Simple &s) { return verb == QLatin1String(s.name); });
    if (simpleVerb != std::end(simple)) {
        if (!argCount(0))
            return wrongArguments();
        inv.verb = simpleVerb->verb;
    } else if (verb == QLatin1String("motor")) {
        inv.verb = Verb::Motor;
        if (rest.size() < 2 || (rest[0] != QLatin1String("1") && rest[0] != QLatin1String("2")))
            return wrongArguments();
        const bool one = rest[0] == QLatin1String("1");
        inv.motor = one ? Motor::One : Motor::Two;
        struct Action
        {
            const char *name;
            Command one, two;
            int arguments;
        };
        static const Action actions[] = {
            {"forward", Command::Motor1Forward, Command::Motor2Forward, 1},
            {"reverse", Command::Motor1Reverse, Command::Motor2Reverse, 1},
            {"stop", Command::Motor1Stop, Command::Motor2Stop, 0},
            {"brake", Command::Motor1Brake, Command::Motor2Brake, 0},
            {"release", Command::Motor1Release, Command::Motor2Release, 0},
            {"frequency", Command::Motor1Frequency, Command::Motor2Frequency, 1},
        };
        const Action *action = nullptr;
        for (const Action &a : actions)
            if (rest[1] == QLatin1String(a.name))
                action = &a;
        if (!action || !argCount(2 + action->arguments))
            return wrongArguments();
        inv.command = one ? action->one : action->two;
        const Field field = commandValueField(inv.command);
        if (field != Field::None && !readField(field, rest[2], inv.value))
            return result;
    } else if (verb == QLatin1String("alarm")) {
        inv.verb = Verb::AlarmClear;
        if (!argCount(2) || rest[0] != QLatin1String("clear") ||
            (rest[1] != QLatin1String("1") && rest[1] != QLatin1String("2")))
            return wrongArguments();
        inv.motor = rest[1] == QLatin1String("1") ? Motor::One : Motor::Two;
    } else if (verb == QLatin1String("set-address") || verb == QLatin1String("set-speed")) {
        const bool isAddress = verb == QLatin1String("set-address");
        inv.verb = isAddress ? Verb::SetAddress : Verb::SetSpeed;
        if (!argCount(1))
            return wrongArguments();
        if (!readField(isAddress ? Field::Address : Field::LineSpeed, rest[0], inv.value))
            return result;
    } else if (verb == QLatin1String("send")) {
        inv.verb = Verb::Send;
        QString hex = rest.join(QString());
        hex.remove(QLatin1Char(' '));
        bool valid = !hex.isEmpty() && hex.size() % 2 == 0 && hex.size() <= 2 * 254;
        for (QChar c : hex) {
            const char l = c.toLower().toLatin1();
            valid = valid && ((l >= '0' && l <= '9') || (l >= 'a' && l <= 'f'));
        }
        if (!valid || hex.size() < 4) {
            result.text = Cli::tr("send needs a frame in hex, at least two bytes, not \"%1\"")
                              .arg(rest.join(QLatin1Char(' ')));
            return result;
        }
        inv.frame = QByteArray::fromHex(hex.toLatin1());
    } else {
        result.text = Cli::tr("unknown command \"%1\" (see --help)").arg(verb);
        return result;
    }

    if (inv.needsPort() && inv.port.isEmpty()) {
        result.text = Cli::tr("no port given: use --port or $QUARVEX_PORT");
        return result;
    }
    if (inv.ports.size() > 1 && inv.verb != Verb::Scan) {
        result.text = Cli::tr("only scan takes several ports");
        return result;
    }
    result.action = Parsed::Run;
    return result;
}

} // namespace quarvex::cli
