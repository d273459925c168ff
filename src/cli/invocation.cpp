#include "invocation.h"

#include "device/fields.h"

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

QString helpText(const QCommandLineParser &parser, const QString &program)
{
    // The usage line names the program, not the path it was started by.
    QString options = parser.helpText();
    options.replace(program, QStringLiteral("quarvexctl"));
    return options + QLatin1Char('\n') +
           Cli::tr("Commands:\n"
                   "  ports                          serial ports: name, description, maker, "
                   "serial number, /dev/serial/by-id link\n"
                   "  find                           try the nine line speeds on --port (every "
                   "listed port when none is given),\n"
                   "                                 likeliest first; report port, line speed "
                   "and bus address\n"
                   "  address                        the module's bus address\n"
                   "  read                           all parameters and both alarm flags, "
                   "decoded\n"
                   "  motor 1|2 forward|reverse SPEED   run a motor, SPEED 0-100\n"
                   "  motor 1|2 stop|brake           stop a motor (speed 0) or engage its brake\n"
                   "  motor 1|2 frequency HZ         PWM frequency, HZ 1000-10000\n"
                   "  alarm clear 1|2                clear a motor's over-current alarm (its "
                   "parameters return to\n"
                   "                                 their power-up values)\n"
                   "  set-address N                  give the module bus address N, 1-254\n"
                   "  set-speed N                    store line speed N (one of the nine); it "
                   "takes effect when the\n"
                   "                                 module restarts\n"
                   "  watch [--interval MS] [--count N]  poll all parameters, one line a poll, "
                   "then a summary\n"
                   "  send HEX                       any frame (blanks allowed); the CRC is "
                   "appended, the reply printed\n"
                   "  scan [--from N] [--to N] [--all-speeds]  probe every bus address; list "
                   "the modules that answer\n"
                   "\n"
                   "find, address and set-address use the module's read-address frame to bus "
                   "address 0: with several\n"
                   "modules on one line they all answer at once and the replies collide. Use "
                   "scan there.\n"
                   "\n"
                   "Exit status: 0 done; 1 bad usage or a value out of range (nothing sent); 2 "
                   "the port cannot be\n"
                   "opened; 3 no valid reply after all tries; 4 the module answered with a "
                   "Modbus exception;\n"
                   "5 find or scan found nothing.\n");
}

} // namespace

Parsed parseArguments(const QStringList &arguments, const QString &envPort)
{
    Parsed result;
    QCommandLineParser parser;
    parser.setApplicationDescription(
        Cli::tr("Finds, reads, drives and commissions a Quarvex motor driver module over "
                "RS-485."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    // Short name, long name, help, value name.
    static const struct
    {
        const char *shortName, *name, *help, *value;
    } kOptions[] = {
        {"h", "help", QT_TRANSLATE_NOOP("Cli", "Show this help."), nullptr},
        {nullptr, "version", QT_TRANSLATE_NOOP("Cli", "Show the version."), nullptr},
        {"p", "port",
         QT_TRANSLATE_NOOP("Cli", "Port name (ttyUSB0) or path (/dev/ttyUSB0, "
                                  "/dev/serial/by-id/..., a pty), or across the network "
                                  "tcp://HOST:PORT (RTU over TCP), rfc2217://HOST:PORT (line "
                                  "speed set through the server), modbus-tcp://HOST[:PORT] (a "
                                  "gateway); also $QUARVEX_PORT. scan takes several: repeated "
                                  "or comma-separated."),
         "PORT"},
        {"b", "baud", QT_TRANSLATE_NOOP("Cli", "One of the nine line speeds (default 9600)."), "N"},
        {"a", "address",
         QT_TRANSLATE_NOOP("Cli", "The module's bus address, 1-254; when absent, ask the module "
                                  "first."),
         "N"},
        {"t", "timeout", QT_TRANSLATE_NOOP("Cli", "Reply timeout for one try (default 1000)."),
         "MS"},
        {"r", "retries",
         QT_TRANSLATE_NOOP("Cli", "Further tries after a timeout or a damaged reply (default 1)."),
         "N"},
        {nullptr, "json",
         QT_TRANSLATE_NOOP("Cli",
                           "Machine-readable result on stdout (JSON; JSON Lines for watch)."),
         nullptr},
        {"v", "verbose",
         QT_TRANSLATE_NOOP("Cli", "Every frame on stderr: time, direction, hex, round trip in ms."),
         nullptr},
        {nullptr, "interval", QT_TRANSLATE_NOOP("Cli", "watch: time between polls (default 1000)."),
         "MS"},
        {nullptr, "count",
         QT_TRANSLATE_NOOP("Cli", "watch: stop after N polls (default: until Ctrl+C)."), "N"},
        {nullptr, "from", QT_TRANSLATE_NOOP("Cli", "scan: first bus address (default 1)."), "N"},
        {nullptr, "to", QT_TRANSLATE_NOOP("Cli", "scan: last bus address (default 254)."), "N"},
        {nullptr, "all-speeds", QT_TRANSLATE_NOOP("Cli", "scan: at each of the nine line speeds."),
         nullptr},
        {nullptr, "force",
         QT_TRANSLATE_NOOP("Cli", "set-address: skip the check for several modules on the line."),
         nullptr},
    };
    for (const auto &o : kOptions) {
        QStringList names{QLatin1String(o.name)};
        if (o.shortName)
            names.prepend(QLatin1String(o.shortName));
        parser.addOption(QCommandLineOption(names, Cli::tr(o.help),
                                            o.value ? QLatin1String(o.value) : QString()));
    }
    const auto isSet = [&parser](const char *name) {
        return parser.isSet(QLatin1String(name));
    };
    const auto value = [&parser](const char *name) {
        return parser.value(QLatin1String(name));
    };
    parser.addPositionalArgument(QStringLiteral("command"), Cli::tr("One of the commands below."),
                                 QStringLiteral("<command> [arguments]"));

    if (!parser.parse(arguments)) {
        result.text = parser.errorText();
        return result;
    }
    if (isSet("help")) {
        result.action = Parsed::Help;
        result.text = helpText(parser, arguments.value(0));
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
