#include "commandtable.h"

#include "applycommand.h"
#include "commissioncommand.h"
#include "findcommand.h"
#include "modulecommands.h"
#include "scancommand.h"
#include "watchcommand.h"

#include <algorithm>
#include <iterator>

namespace quarvex::cli {

namespace {

template <typename T> CommandGroup *make(Context *context)
{
    return new T(context);
}

bool noWords(const QStringList &words, Invocation &, QString *)
{
    return words.isEmpty();
}

bool motorWords(const QStringList &words, Invocation &inv, QString *error)
{
    if (words.size() < 2 || (words[0] != QLatin1String("1") && words[0] != QLatin1String("2")))
        return false;
    const bool one = words[0] == QLatin1String("1");
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
    const auto action = std::find_if(std::begin(actions), std::end(actions), [&](const Action &a) {
        return words[1] == QLatin1String(a.name);
    });
    if (action == std::end(actions) || words.size() != 2 + action->arguments)
        return false;
    inv.deviceCommand = one ? action->one : action->two;
    const Field field = commandValueField(inv.deviceCommand);
    if (field == Field::None)
        return true;
    const auto v = fieldValue(field, words[2], error);
    inv.value = v.value_or(0);
    return v.has_value();
}

bool alarmWords(const QStringList &words, Invocation &inv, QString *)
{
    if (words.size() != 2 || words[0] != QLatin1String("clear") ||
        (words[1] != QLatin1String("1") && words[1] != QLatin1String("2")))
        return false;
    inv.motor = words[1] == QLatin1String("1") ? Motor::One : Motor::Two;
    return true;
}

template <Field field> bool oneValue(const QStringList &words, Invocation &inv, QString *error)
{
    if (words.size() != 1)
        return false;
    const auto v = fieldValue(field, words[0], error);
    inv.value = v.value_or(0);
    return v.has_value();
}

bool planWords(const QStringList &words, Invocation &inv, QString *)
{
    if (words.size() != 1)
        return false;
    inv.plan = words.first();
    return true;
}

bool sendWords(const QStringList &words, Invocation &inv, QString *error)
{
    QString hex = words.join(QString());
    hex.remove(QLatin1Char(' '));
    bool valid = hex.size() >= 4 && hex.size() % 2 == 0 && hex.size() <= 2 * 254;
    for (QChar c : hex) {
        const char l = c.toLower().toLatin1();
        valid = valid && ((l >= '0' && l <= '9') || (l >= 'a' && l <= 'f'));
    }
    if (!valid) {
        *error = Cli::tr("send needs a frame in hex, at least two bytes, not \"%1\"")
                     .arg(words.join(QLatin1Char(' ')));
        return false;
    }
    inv.frame = QByteArray::fromHex(hex.toLatin1());
    return true;
}

constexpr int kPort = CommandSpec::NeedsPort;
constexpr int kAddressed = CommandSpec::NeedsPort | CommandSpec::AsksAddress;

const CommandSpec kCommands[] = {
    {"ports", Verb::Ports, "ports",
     QT_TRANSLATE_NOOP("Cli", "the serial ports, a header row first: name, description, maker, "
                              "serial number, /dev/serial/by-id link"),
     "quarvexctl ports", 0, noWords, make<PortsCommand>},
    {"find", Verb::Find, "find",
     QT_TRANSLATE_NOOP("Cli", "try the nine line speeds, likeliest first, on --port or on every "
                              "listed port; report port, line speed and bus address. A reply that "
                              "may have come late is asked for again with a longer wait"),
     "quarvexctl find", 0, noWords, make<FindCommand>},
    {"address", Verb::Address, "address",
     QT_TRANSLATE_NOOP(
         "Cli", "the module's bus address; with -a, whether a module answers at that address"),
     "quarvexctl -p ttyUSB0 -a 5 address", kPort, noWords, make<ModuleCommands>},
    {"read", Verb::Read, "read",
     QT_TRANSLATE_NOOP(
         "Cli",
         "all parameters and both alarm flags, decoded; the stored line speed beside the link's"),
     "quarvexctl -p ttyUSB0 read --json", kAddressed, noWords, make<ModuleCommands>},
    {"motor", Verb::Motor, "motor 1|2 ACTION",
     QT_TRANSLATE_NOOP(
         "Cli", "ACTION is forward SPEED or reverse SPEED (0-100), stop, brake (engage), release "
                "(the brake) or frequency HZ (PWM, 1000-10000). Nothing is sent while the motor's "
                "over-current alarm stands: the module would ignore it (exit status 6)"),
     "quarvexctl -p ttyUSB0 motor 1 forward 50", kAddressed, motorWords, make<ModuleCommands>},
    {"alarm", Verb::AlarmClear, "alarm clear 1|2",
     QT_TRANSLATE_NOOP("Cli", "clear a motor's over-current alarm; its parameters return to their "
                              "power-up values. Says so when no alarm stood"),
     "quarvexctl -p ttyUSB0 alarm clear 1", kAddressed, alarmWords, make<ModuleCommands>},
    {"set-address", Verb::SetAddress, "set-address N",
     QT_TRANSLATE_NOOP("Cli", "give the module bus address N, 1-254, and read it back. With -a, "
                              "only if the module answering is at that address"),
     "quarvexctl -p ttyUSB0 -a 1 set-address 5", kPort, oneValue<Field::Address>,
     make<ModuleCommands>},
    {"set-speed", Verb::SetSpeed, "set-speed N",
     QT_TRANSLATE_NOOP(
         "Cli", "store line speed N (one of the nine); it takes effect when the module restarts"),
     "quarvexctl -p ttyUSB0 -a 5 set-speed 19200", kAddressed, oneValue<Field::LineSpeed>,
     make<ModuleCommands>},
    {"watch", Verb::Watch, "watch [--interval MS] [--count N] [--csv]",
     QT_TRANSLATE_NOOP("Cli", "poll all parameters: one record a poll, answered or not, with its "
                              "time (ISO 8601, ms); a summary at the end or on Ctrl+C"),
     "quarvexctl -p ttyUSB0 watch --csv > log.csv", kAddressed, noWords, make<WatchCommand>},
    {"send", Verb::Send, "send HEX",
     QT_TRANSLATE_NOOP("Cli",
                       "any frame (blanks allowed); the CRC is appended, the reply printed. A "
                       "Modbus frame to address 0 is a broadcast: sent once, no reply expected"),
     "quarvexctl -p ttyUSB0 send 01 03 00 00 00 02", kPort, sendWords, make<ModuleCommands>},
    {"scan", Verb::Scan, "scan [--from N] [--to N] [--all-speeds]",
     QT_TRANSLATE_NOOP("Cli",
                       "probe every bus address; list the modules that answer and the addresses "
                       "whose replies were damaged. Ctrl+C lists what was found so far"),
     "quarvexctl -p ttyUSB0 scan --to 32", kPort | CommandSpec::SeveralPorts, noWords,
     make<ScanCommand>},
    {"commission", Verb::Commission, "commission PLAN [--all-speeds]",
     QT_TRANSLATE_NOOP("Cli", "one module at a time on the bench line: set each to the next row "
                              "of the plan (CSV: address, line_speed, pwm1, pwm2, label) without "
                              "a result, read it back, record it in PLAN.results.csv, then wait "
                              "for the next module"),
     "quarvexctl -p ttyUSB0 commission line3.csv", kPort, planWords, make<CommissionCommand>},
    {"apply", Verb::Apply, "apply PLAN [--dry-run]",
     QT_TRANSLATE_NOOP("Cli", "modules already at their addresses: set each as its row says, "
                              "writing only what differs, and read it back; --dry-run only reads "
                              "and tells what would change"),
     "quarvexctl -p ttyUSB0 apply line3.csv --dry-run", kPort, planWords, make<ApplyCommand>},
};

} // namespace

QString CommandSpec::synopsis() const
{
    return QString::fromLatin1(usage).section(QLatin1String(" ["), 0, 0);
}

Rows<CommandSpec> commands()
{
    return {std::begin(kCommands), std::end(kCommands)};
}

const CommandSpec *commandSpec(const QString &name)
{
    for (const CommandSpec &c : kCommands)
        if (name == QLatin1String(c.name))
            return &c;
    return nullptr;
}

const CommandSpec &commandSpec(Verb verb)
{
    for (const CommandSpec &c : kCommands)
        if (c.verb == verb)
            return c;
    Q_UNREACHABLE();
}

bool Invocation::asksAddress() const
{
    return commandSpec(verb).has(CommandSpec::AsksAddress);
}

} // namespace quarvex::cli
