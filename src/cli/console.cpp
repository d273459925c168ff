#include "console.h"

#include "requestengine.h"

#include <QLocale>

#include <csignal>
#include <cstdio>

#if defined(Q_OS_UNIX)
#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>
#elif defined(Q_OS_WIN)
#include <QWinEventNotifier>

#include <qt_windows.h>
#endif

namespace quarvex::cli {

#if defined(Q_OS_UNIX)

namespace {

int g_interruptPipe[2] = {-1, -1};

void onInterrupt(int signal)
{
    const char c = char(signal);
    [[maybe_unused]] const ssize_t n = ::write(g_interruptPipe[1], &c, 1);
}

} // namespace

ConsoleSession::ConsoleSession() = default;
ConsoleSession::~ConsoleSession() = default;

QByteArray consoleBytes(const QString &text)
{
    return text.toLocal8Bit();
}

bool stderrRedraws()
{
    return ::isatty(STDERR_FILENO) == 1;
}

bool prefersChinese()
{
    return QLocale().language() == QLocale::Chinese;
}

// The signal handler only writes the signal's number to a pipe the event loop watches,
// so watch can print its summary and scan what it found.
void routeInterrupt(QObject *receiver, std::function<void(ExitStatus)> interrupt)
{
    if (::pipe(g_interruptPipe) != 0)
        return;
    ::fcntl(g_interruptPipe[1], F_SETFL, ::fcntl(g_interruptPipe[1], F_GETFL) | O_NONBLOCK);
    auto *notifier = new QSocketNotifier(g_interruptPipe[0], QSocketNotifier::Read, receiver);
    QObject::connect(notifier, &QSocketNotifier::activated, receiver, [interrupt] {
        char c = 0;
        if (::read(g_interruptPipe[0], &c, 1) == 1)
            interrupt(ExitStatus(128 + c));
    });
    struct sigaction sa
    {
    };
    sa.sa_handler = onInterrupt;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

#elif defined(Q_OS_WIN)

namespace {

HANDLE g_interrupted = nullptr;
LONG g_signal = 0;

// The console calls this on a thread of its own: it only hands the event to the loop.
BOOL WINAPI onConsoleControl(DWORD type)
{
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT)
        return FALSE; // closing the window, logging off: ended as Windows ends programs
    // Ctrl+Break asks a program to stop, as SIGTERM does.
    ::InterlockedExchange(&g_signal, type == CTRL_C_EVENT ? SIGINT : SIGTERM);
    ::SetEvent(g_interrupted);
    return TRUE;
}

} // namespace

ConsoleSession::ConsoleSession()
{
    // 0 without a console (output redirected from a GUI, a service).
    m_codePage = ::GetConsoleOutputCP();
    if (m_codePage != 0)
        ::SetConsoleOutputCP(CP_UTF8);
    const HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (::GetConsoleMode(err, &mode)) {
        m_errorMode = mode;
        m_errorModeSaved = true;
        // Fails on consoles older than Windows 10: no progress line there.
        ::SetConsoleMode(err, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }
}

ConsoleSession::~ConsoleSession()
{
    if (m_codePage != 0)
        ::SetConsoleOutputCP(m_codePage);
    if (m_errorModeSaved)
        ::SetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), DWORD(m_errorMode));
}

QByteArray consoleBytes(const QString &text)
{
    return text.toUtf8();
}

bool stderrRedraws()
{
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) &&
           (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

bool prefersChinese()
{
    // The language Windows shows its own menus in, not the format of dates and numbers.
    return QLocale::system().uiLanguages().value(0).startsWith(QLatin1String("zh"));
}

void routeInterrupt(QObject *receiver, std::function<void(ExitStatus)> interrupt)
{
    g_interrupted = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!g_interrupted)
        return;
    auto *notifier = new QWinEventNotifier(g_interrupted, receiver);
    QObject::connect(notifier, &QWinEventNotifier::activated, receiver, [interrupt] {
        interrupt(ExitStatus(128 + int(::InterlockedCompareExchange(&g_signal, 0, 0))));
    });
    ::SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

#endif

namespace {

QtMessageHandler g_defaultHandler = nullptr;

void traceHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (qstrcmp(context.category, lcTrace().categoryName()) == 0) {
        std::fprintf(stderr, "%s\n", consoleBytes(message).constData());
        return;
    }
    g_defaultHandler(type, context, message);
}

} // namespace

void showTrace()
{
    QLoggingCategory::setFilterRules(QStringLiteral("quarvex.trace.debug=true"));
    g_defaultHandler = qInstallMessageHandler(traceHandler);
}

} // namespace quarvex::cli
