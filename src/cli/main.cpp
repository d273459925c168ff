// quarvexctl: the module from the command line.
#include "invocation.h"
#include "report.h"
#include "runner.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include <cstdio>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int g_interruptPipe[2] = {-1, -1};

void onInterrupt(int signal)
{
    const char c = char(signal);
    [[maybe_unused]] const ssize_t n = ::write(g_interruptPipe[1], &c, 1);
}

// Ctrl+C and SIGTERM reach the event loop as events, so watch can print its summary and
// scan what it found; the exit status is 128 + the signal's number, as a shell reports.
void routeInterrupt(quarvex::cli::Runner *runner)
{
    if (::pipe(g_interruptPipe) != 0)
        return;
    ::fcntl(g_interruptPipe[1], F_SETFL, ::fcntl(g_interruptPipe[1], F_GETFL) | O_NONBLOCK);
    auto *notifier = new QSocketNotifier(g_interruptPipe[0], QSocketNotifier::Read, runner);
    QObject::connect(notifier, &QSocketNotifier::activated, runner, [runner] {
        char c = 0;
        if (::read(g_interruptPipe[0], &c, 1) == 1)
            runner->interrupt(128 + c);
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

} // namespace
#endif

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quarvexctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUARVEX_VERSION));

    QTranslator translator;
    if (QLocale().language() == QLocale::Chinese &&
        translator.load(QStringLiteral(":/i18n/quarvexctl_zh_CN.qm")))
        QCoreApplication::installTranslator(&translator);

    using namespace quarvex::cli;
    const Parsed parsed =
        parseArguments(QCoreApplication::arguments(), qEnvironmentVariable("QUARVEX_PORT"));
    switch (parsed.action) {
    case Parsed::Help:
        std::fputs(parsed.text.toLocal8Bit().constData(), stdout);
        return 0;
    case Parsed::Version:
        std::printf("quarvexctl %s\n", QUARVEX_VERSION);
        return 0;
    case Parsed::Error:
        std::fprintf(stderr, "quarvexctl: %s\n%s\n", parsed.text.toLocal8Bit().constData(),
                     Cli::tr("Try 'quarvexctl --help'.").toLocal8Bit().constData());
        // A script reading stdout gets an answer even when the command line was wrong.
        if (QCoreApplication::arguments().contains(QStringLiteral("--json")))
            std::puts(compact(errorJson(1, parsed.text)).constData());
        return 1;
    case Parsed::Run:
        break;
    }

    Runner runner(parsed.invocation);
#ifdef Q_OS_UNIX
    routeInterrupt(&runner);
#endif
    QTimer::singleShot(0, &runner, &Runner::start);
    return app.exec();
}
