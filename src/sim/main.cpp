// quarvex-sim: a virtual driver module on a pseudo-terminal, for trying the tool and
// for the end-to-end tests without hardware.
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
    const QCommandLineOption address(QStringLiteral("address"),
                                     QStringLiteral("Bus address, 1-254 (factory 1)."),
                                     QStringLiteral("a"));
    const QCommandLineOption baud(QStringLiteral("baud"),
                                  QStringLiteral("Line speed in bit/s (factory 9600)."),
                                  QStringLiteral("b"));
    const QCommandLineOption split(QStringLiteral("split"),
                                   QStringLiteral("Send replies in pieces of <n> bytes, "
                                                  "<gapms> apart (default 20)."),
                                   QStringLiteral("n[:gapms]"));
    const QCommandLineOption twice(QStringLiteral("double"),
                                   QStringLiteral("Send every reply twice, back to back."));
    const QCommandLineOption stray(QStringLiteral("stray"),
                                   QStringLiteral("Send a stray 0xff before every reply."));
    const QCommandLineOption badCrc(QStringLiteral("bad-crc"),
                                    QStringLiteral("Send every reply with a wrong CRC."));
    const QCommandLineOption silent(QStringLiteral("silent"),
                                    QStringLiteral("Act on requests but never reply."));
    const QCommandLineOption delay(QStringLiteral("delay"),
                                   QStringLiteral("Wait <ms> after a request before replying."),
                                   QStringLiteral("ms"));
    const QCommandLineOption unplugAfter(QStringLiteral("unplug-after"),
                                         QStringLiteral("Close the device on the <n>-th request."),
                                         QStringLiteral("n"));
    parser.addOptions(
        {link, address, baud, split, twice, stray, badCrc, silent, delay, unplugAfter});
    parser.process(app);

    quarvex::sim::SimController sim;
    // The options are the stdin commands given ahead of time.
    QStringList commands;
    if (parser.isSet(address))
        commands << QStringLiteral("address ") + parser.value(address);
    if (parser.isSet(baud))
        commands << QStringLiteral("speed ") + parser.value(baud);
    if (parser.isSet(split))
        commands << QStringLiteral("split ") +
                        parser.value(split).replace(QLatin1Char(':'), QLatin1Char(' '));
    if (parser.isSet(twice))
        commands << QStringLiteral("double on");
    if (parser.isSet(stray))
        commands << QStringLiteral("stray on");
    if (parser.isSet(badCrc))
        commands << QStringLiteral("badcrc on");
    if (parser.isSet(silent))
        commands << QStringLiteral("silent on");
    if (parser.isSet(delay))
        commands << QStringLiteral("delay ") + parser.value(delay);
    if (parser.isSet(unplugAfter))
        commands << QStringLiteral("unplug-after ") + parser.value(unplugAfter);
    for (const QString &c : commands) {
        QString error;
        if (!sim.execute(c, &error)) {
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
    QObject::connect(&sim, &quarvex::sim::SimController::quitRequested, &app,
                     &QCoreApplication::quit, Qt::QueuedConnection);

    QString error;
    if (!sim.plug(&error)) {
        std::fprintf(stderr, "quarvex-sim: %s\n", qPrintable(error));
        return 1;
    }
    sim.listenToStdin();
    return app.exec();
}
