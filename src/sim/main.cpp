// quarvex-sim: a virtual driver module on a pseudo-terminal or behind a network face,
// for trying the tool and for the end-to-end tests without hardware.
#include "modbusgateway.h"
#include "ptylink.h"
#include "simconsole.h"
#include "simcontroller.h"
#include "tcplink.h"

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
     "Several modules on one line instead of one: addresses or ranges, each at its own line "
     "speed or at --baud (3,7,12@19200, 1-50, 5,5,7).",
     "modules %1"},
    {"stagger", "n",
     "Colliding replies start <n> byte times apart (0-3; default: a random 0-3 each time).",
     "stagger %1"},
    {"split", "n[:gapms]", "Send replies in pieces of <n> bytes, <gapms> apart (default 20).",
     "split %1"},
    {"double", nullptr, "Send every reply twice, back to back.", "double on"},
    {"stray", nullptr, "Send a stray 0xff before every reply.", "stray on"},
    {"bad-crc", nullptr, "Send every reply with a wrong CRC.", "badcrc on"},
    {"silent", nullptr, "Act on requests but never reply.", "silent on"},
    {"delay", "ms", "Wait <ms> after a request before replying.", "delay %1"},
    {"noise", "n", "Send <n> 0xff bytes before every reply.", "noise %1"},
    {"chatter", nullptr, "Instead of a reply, its first byte over and over until the next request.",
     "chatter on"},
    {"unplug-after", "n", "Close the device on the <n>-th request.", "unplug-after %1"},
};

// The network faces; at most one, in place of the pseudo-terminal.
enum class Face
{
    Tcp,
    Rfc2217,
    ModbusTcp,
};

struct FaceOption
{
    Face face;
    const char *name;
    const char *description;
};

constexpr FaceOption kFaces[] = {
    {Face::Tcp, "tcp",
     "Instead of a pseudo-terminal, listen on TCP as a serial device server in transparent "
     "mode: raw bytes, the far port fixed at the module's speed. On 127.0.0.1 unless ADDR is "
     "given; port 0 takes a free one, told on stdout."},
    {Face::Rfc2217, "rfc2217",
     "Likewise, as a serial device server speaking Telnet COM-PORT-CONTROL (RFC 2217): the "
     "client sets the far port's speed and the module hears only its own."},
    {Face::ModbusTcp, "modbus-tcp",
     "Likewise, as a Modbus TCP gateway: unit identifier = bus address, unit 0 a broadcast "
     "never answered."},
};

std::unique_ptr<quarvex::sim::SimFace> makeFace(Face face, const quarvex::sim::ListenAddress &at)
{
    using namespace quarvex::sim;
    switch (face) {
    case Face::Tcp:
        return std::make_unique<TcpLink>(TcpLink::Mode::Raw, at);
    case Face::Rfc2217:
        return std::make_unique<TcpLink>(TcpLink::Mode::Rfc2217, at);
    case Face::ModbusTcp:
        break;
    }
    return std::make_unique<ModbusGateway>(at);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quarvex-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUARVEX_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Virtual Quarvex driver module on a pseudo-terminal, or on TCP behind a "
                       "serial device server or a Modbus TCP gateway. Prints the device path "
                       "(or the port name, such as tcp://127.0.0.1:4001) on stdout, logs "
                       "frames on stderr, reads commands on stdin (type 'help')."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption link(QStringLiteral("link"),
                                  QStringLiteral("Keep a symlink to the device at <path>."),
                                  QStringLiteral("path"));
    parser.addOption(link);
    QList<QCommandLineOption> faceOptions;
    for (const FaceOption &f : kFaces) {
        faceOptions.append(QCommandLineOption(QLatin1String(f.name), QLatin1String(f.description),
                                              QStringLiteral("[ADDR:]PORT")));
        parser.addOption(faceOptions.last());
    }
    QList<QCommandLineOption> options;
    for (const OptionCommand &o : kOptions) {
        options.append(QCommandLineOption(QLatin1String(o.name), QLatin1String(o.description),
                                          QLatin1String(o.valueName)));
        parser.addOption(options.last());
    }
    parser.process(app);

    std::unique_ptr<quarvex::sim::SimFace> face;
    for (int i = 0; i < faceOptions.size(); ++i) {
        if (!parser.isSet(faceOptions[i]))
            continue;
        quarvex::sim::ListenAddress at;
        const QString value = parser.value(faceOptions[i]);
        if (face || parser.isSet(link)) {
            std::fprintf(stderr, "quarvex-sim: one of --link, --tcp, --rfc2217, --modbus-tcp\n");
            return 2;
        }
        if (!at.parse(value)) {
            std::fprintf(stderr, "quarvex-sim: --%s %s: not [ADDR:]PORT\n", kFaces[i].name,
                         qPrintable(value));
            return 2;
        }
        face = makeFace(kFaces[i].face, at);
    }
    if (!face) {
        auto pty = std::make_unique<quarvex::sim::PtyLink>();
        pty->setLinkPath(parser.value(link));
        face = std::move(pty);
    }

    quarvex::sim::SimController sim;
    sim.setFace(std::move(face));
    quarvex::sim::SimConsole console(sim);
    // Two modules never start a reply at quite the same time.
    sim.line().setStagger(-1);
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
