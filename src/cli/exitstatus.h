#pragma once

#include <QCoreApplication>

namespace quarvex::cli {

// How a run of quarvexctl ends, as the shell sees it.
enum class ExitStatus
{
    Done = 0,
    Usage = 1,         // nothing was opened or sent
    PortFailed = 2,    // would not open, or went away
    NoValidReply = 3,  // silence or damage after every try
    Exception = 4,     // the module refused with a Modbus exception
    NothingFound = 5,  // find, scan
    NotApplied = 6,    // the module would ignore it, or answers at another address
    RowsFailed = 7,    // commission, apply: some rows of the plan failed
    Interrupted = 130, // 128 + SIGINT (Ctrl+C)
    Terminated = 143,  // 128 + SIGTERM (Ctrl+Break on Windows)
};

constexpr int code(ExitStatus s)
{
    return int(s);
}

// Each status with what it means, in the help (and so in the manual page, which is made
// from the help); the README's table is checked against it.
struct ExitStatusMeaning
{
    ExitStatus status;
    const char *meaning; // translated in the "Cli" context
};

inline constexpr ExitStatusMeaning kExitStatuses[] = {
    {ExitStatus::Done, QT_TRANSLATE_NOOP("Cli", "done")},
    {ExitStatus::Usage,
     QT_TRANSLATE_NOOP("Cli", "bad usage or a value out of range: nothing was opened or sent")},
    {ExitStatus::PortFailed, QT_TRANSLATE_NOOP("Cli", "the port cannot be opened, or went away")},
    {ExitStatus::NoValidReply,
     QT_TRANSLATE_NOOP("Cli", "no valid reply after all tries, or only damaged ones")},
    {ExitStatus::Exception,
     QT_TRANSLATE_NOOP("Cli", "the module answered with a Modbus exception")},
    {ExitStatus::NothingFound, QT_TRANSLATE_NOOP("Cli", "find or scan found nothing")},
    {ExitStatus::NotApplied,
     QT_TRANSLATE_NOOP("Cli", "not applied: a motor's over-current alarm stands, or the module "
                              "answers at another address than -a or than it was given")},
    {ExitStatus::RowsFailed,
     QT_TRANSLATE_NOOP("Cli", "commission or apply: some rows of the plan failed (the results "
                              "file says why); the others were done")},
    {ExitStatus::Interrupted,
     QT_TRANSLATE_NOOP("Cli", "interrupted by Ctrl+C (scan lists what it found so far)")},
#ifdef Q_OS_WIN
    {ExitStatus::Terminated, QT_TRANSLATE_NOOP("Cli", "stopped by Ctrl+Break, likewise")},
#else
    {ExitStatus::Terminated, QT_TRANSLATE_NOOP("Cli", "terminated (SIGTERM), likewise")},
#endif
};

} // namespace quarvex::cli
