#pragma once

#include "invocation.h"

#include <QString>
#include <QStringList>

namespace quarvex::cli {

class CommandGroup;
class Context;

// One row per command: the one place its name, usage, help, arguments and the group of
// commands that carries it out are written.
struct CommandSpec
{
    enum Flag
    {
        NeedsPort = 1,
        AsksAddress = 2,  // goes to the module's bus address, asked first when -a is absent
        SeveralPorts = 4, // takes every -p given, not only the last
    };

    const char *name;
    Verb verb;
    const char *usage;   // after "quarvexctl [options] "; options in brackets
    const char *what;    // translated in the "Cli" context
    const char *example; // ttyUSB0 stands for the platform's port name
    int flags;
    // The words after the name into the invocation. False when they do not fit: with the
    // reason, or with none for "wrong arguments".
    bool (*parse)(const QStringList &words, Invocation &inv, QString *error);
    CommandGroup *(*create)(Context *context);

    bool has(Flag f) const { return (flags & f) != 0; }
    // The usage without what --help lists under the options anyway.
    QString synopsis() const;
};

Rows<CommandSpec> commands();
const CommandSpec *commandSpec(const QString &name);
const CommandSpec &commandSpec(Verb verb);

} // namespace quarvex::cli
