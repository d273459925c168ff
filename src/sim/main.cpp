// quarvex-sim: a virtual driver module on a pseudo-terminal, for trying the tool and
// for the end-to-end tests without hardware.
#include "simconsole.h"
#include "simcontroller.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    // Nothing to do if the pipe is full: a quit is already pending.
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

// Signals end the event loop like "quit", so the symlink is taken down on the way out.
bool routeSignals()
{
    if (pipe(g_signalPipe) != 0)
        return false;
    for (int fd : g_signalPipe)
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    struct sigaction sa
    {
    };
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        sigaction(sig, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}

// The options are console commands given ahead of time, carried out in this order.
struct OptionCommand
{
    const char *name;
    const char *valueName; // none for a flag
    const char *description;
    const char *command; // %1 is the value, its ':' typed as a space
};

constexpr OptionCommand kOptions[] = {
    {"address", "a", "Bus address, 1-254 (factory 1).", "address %1"},
    {"baud", "b", "Line speed in bit/s (factory 9600).", "speed %1"},
    {"modules", "list",
     "Several modules on one line instead of one: addresses, each at its own line speed or "
     "at --baud (3,7,12@19200).",
     "modules %1"},
    {"split", "n[:gapms]", "Send replies in pieces of <n> bytes, <gapms> apart (default 20).",
     "split %1"},
    {"double", nullptr, "Send every reply twice, back to back.", "double on"},
    {"stray", nullptr, "Send a stray 0xff before every reply.", "stray on"},
    {"bad-crc", nullptr, "Send every reply with a wrong CRC.", "badcrc on"},
    {"silent", nullptr, "Act on requests but never reply.", "silent on"},
    {"delay", "ms", "Wait <ms> after a request before replying.", "delay %1"},
    {"noise", "n", "Send <n> 0xff bytes before every reply.", "noise %1"},
    {"chatter", nullptr,
     "Instead of a reply, its first byte over and over until the next request.", "chatter on"},
    {"unplug-after", "n", "Close the device on the <n>-th request.", "unplug-after %1"},
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quarvex-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUARVEX_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Virtual Quarvex driver module on a pseudo-terminal. Prints the device "
                       "path on stdout, logs frames on stderr, reads commands on stdin "
                       "(type 'help')."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption link(QStringLiteral("link"),
                                  QStringLiteral("Keep a symlink to the device at <path>."),
                                  QStringLiteral("path"));
    parser.addOption(link);
    QList<QCommandLineOption> options;
    for (const OptionCommand &o : kOptions) {
        options.append(QCommandLineOption(QLatin1String(o.name), QLatin1String(o.description),
                                          QLatin1String(o.valueName)));
        parser.addOption(options.last());
    }
    parser.process(app);

    quarvex::sim::SimController sim;
    quarvex::sim::SimConsole console(sim);
    for (int i = 0; i < options.size(); ++i) {
        if (!parser.isSet(options[i]))
            continue;
        QString command = QLatin1String(kOptions[i].command);
        if (command.contains(QLatin1String("%1")))
            command =
                command.arg(parser.value(options[i]).replace(QLatin1Char(':'), QLatin1Char(' ')));
        QString error;
        if (!console.execute(command, &error)) {
            std::fprintf(stderr, "quarvex-sim: %s\n", qPrintable(error));
            return 2;
        }
    }
    sim.setLinkPath(parser.value(link));

    if (!routeSignals()) {
        std::perror("quarvex-sim: pipe");
        return 1;
    }
    QSocketNotifier signalNotifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    QObject::connect(&console, &quarvex::sim::SimConsole::quitRequested, &app,
                     &QCoreApplication::quit, Qt::QueuedConnection);

    QString error;
    if (!sim.plug(&error)) {
        std::fprintf(stderr, "quarvex-sim: %s\n", qPrintable(error));
        return 1;
    }
    console.listenToStdin();
    return app.exec();
}
