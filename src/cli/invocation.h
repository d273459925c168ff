#pragma once

#include "device/commands.h"
#include "device/fields.h"
#include "strategy.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <optional>

namespace quarvex::cli {

// The context of every user-facing text of quarvexctl.
struct Cli
{
    Q_DECLARE_TR_FUNCTIONS(Cli)
};

enum class Verb
{
    Ports,
    Find,
    Address,
    Read,
    Motor,
    AlarmClear,
    SetAddress,
    SetSpeed,
    Watch,
    Send,
    Scan,
    Commission,
    Apply,
};

// One run of the program as the command line asks for it; every value checked.
struct Invocation
{
    Verb verb = Verb::Ports;
    QString port;      // empty: none given
    QStringList ports; // scan: every port given (-p repeated or comma-separated)
    quint32 baud = 9600;
    std::optional<quint8> address;
    int timeoutMs = kCommandTurnaroundMs;
    bool timeoutGiven = false;
    int retries = 1;
    bool json = false;
    bool csv = false; // watch
    bool verbose = false;

    Command deviceCommand = Command::ReadAll; // motor
    Motor motor = Motor::One;                 // motor, alarm clear
    quint32 value = 0;                        // motor speed or frequency, set-address, set-speed
    int intervalMs = 1000;                    // watch
    int count = 0;                            // watch, 0 = until Ctrl+C
    QByteArray frame;                         // send, without CRC
    int from = 1, to = 254;                   // scan
    bool allSpeeds = false;                   // scan
    bool force = false;                       // set-address
    QString plan;                             // commission, apply: the plan's file
    bool dryRun = false;                      // apply

    // The command goes to the module's bus address, asked for first when -a is absent.
    bool asksAddress() const;
};

// The rows of a table defined elsewhere, to walk with a range for.
template <typename T> struct Rows
{
    const T *first, *last;
    const T *begin() const { return first; }
    const T *end() const { return last; }
};

// An option of the command line, as parsed and as the help lists it.
struct OptionSpec
{
    const char *shortName, *name, *value, *help; // help translated in the "Cli" context
};
Rows<OptionSpec> options();

// A value for a field, or the message that says what it must be.
std::optional<quint32> fieldValue(Field field, const QString &text, QString *error);

struct Parsed
{
    enum Action
    {
        Run,
        Help,
        Version,
        Error
    } action = Error;
    Invocation invocation;
    QString text; // the help text, or what is wrong
};

// Options may stand before or after the command. envPort is $QUARVEX_PORT.
Parsed parseArguments(const QStringList &arguments, const QString &envPort);

} // namespace quarvex::cli
