#pragma once

#include "exitstatus.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

// Where quarvexctl meets the terminal: the bytes its text becomes, whether a progress line
// can be redrawn, which catalogue the user reads, and Ctrl+C.
namespace quarvex::cli {

// For the run of the program: on Windows the console takes UTF-8 and VT sequences, and
// gets its own settings back afterwards. Nothing to do elsewhere.
class ConsoleSession
{
public:
    ConsoleSession();
    ~ConsoleSession();
    ConsoleSession(const ConsoleSession &) = delete;
    ConsoleSession &operator=(const ConsoleSession &) = delete;

private:
#ifdef Q_OS_WIN
    unsigned m_codePage = 0;
    unsigned long m_errorMode = 0;
    bool m_errorModeSaved = false;
#endif
};

// Text as the terminal or the file behind stdout and stderr takes it: the locale's
// encoding on POSIX, UTF-8 on Windows (JSON must be UTF-8 there as everywhere).
QByteArray consoleBytes(const QString &text);

// True when stderr is a terminal that redraws a line in place (progress).
bool stderrRedraws();

// True when the user reads Chinese: the locale on POSIX, the UI language on Windows.
bool prefersChinese();

// Ctrl+C and SIGTERM (on Windows Ctrl+C and Ctrl+Break) reach the event loop as a call of
// `interrupt` with the status a shell reports (Interrupted, Terminated), for as long as
// `receiver` lives.
void routeInterrupt(QObject *receiver, std::function<void(ExitStatus)> interrupt);

// The -v trace on stderr, line by line as the request engine writes it.
void showTrace();

} // namespace quarvex::cli
