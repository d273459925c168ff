#include "simconsole.h"

#include "simcontroller.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace quarvex::sim {

namespace {

// Register numbers are hexadecimal as in the register map, values decimal unless 0x.
bool parseRegister(QString word, quint16 *reg)
{
    if (word.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        word = word.mid(2);
    bool ok = false;
    const uint r = word.toUInt(&ok, 16);
    *reg = quint16(r);
    return ok && r < Reg::Count;
}

bool parseNumber(const QString &word, uint max, uint *value)
{
    bool ok = false;
    *value = word.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? word.mid(2).toUInt(&ok, 16)
                                                                       : word.toUInt(&ok, 10);
    return ok && *value <= max;
}

} // namespace

struct SimConsole::Command
{
    const char *names;    // aliases separated by '|'
    const char *synopsis; // the help line; none for a command help does not list
    const char *help;
    const char *usage; // told when the words do not fit; none: an unknown command
    bool (SimConsole::*run)(const QStringList &words, QString *error);
};

const SimConsole::Command SimConsole::kCommands[] = {
    {"status", "status", "one status line on stdout", nullptr, &SimConsole::status},
    {"restart", "restart", "power cycle; a stored line speed takes effect", nullptr,
     &SimConsole::restart},
    {"alarm", "alarm 1|2", "over-current on a motor", "alarm 1|2", &SimConsole::alarm},
    {"set", "set REG VALUE", "raw register store (REG hex 00-0d, VALUE dec or 0x..)",
     "set REG VALUE (REG hex 00-0d, VALUE 0-65535)", &SimConsole::set},
    {"address", "address A", "bus address 1-254", "address 1-254", &SimConsole::address},
    {"speed", "speed B", "line speed, at once (one of the nine)",
     "speed 1200|2400|4800|9600|14400|19200|57600|115200|128000", &SimConsole::speed},
    {"modules", "modules LIST", "modules on the line afresh: ADDR[@SPEED],... (3,7,12@19200)",
     "modules ADDR[@SPEED],... (ADDR 1-254, SPEED one of the nine)", &SimConsole::modules},
    {"split", "split N [GAPMS] | split off", "replies in pieces of N bytes, GAPMS apart (20)",
     "split N [GAPMS] | split off", &SimConsole::split},
    {"double|stray|badcrc|silent|chatter|keepaddress",
     "double|stray|badcrc|silent|chatter|keepaddress on|off|once", nullptr,
     "double|stray|badcrc|silent|chatter|keepaddress on|off|once", &SimConsole::faultMode},
    {"stagger", "stagger N | stagger random",
     "colliding replies start N byte times apart (0-3), or a random 0-3",
     "stagger 0-3 | stagger random", &SimConsole::stagger},
    {"swap", "swap [MS]", "the module off the line for MS (1000), then a factory-fresh one",
     "swap [MS]", &SimConsole::swap},
    {"noise", "noise N", "N 0xff bytes ahead of every reply (0 none)", "noise N",
     &SimConsole::noise},
    {"delay", "delay MS", "turnaround before each reply", "delay MS", &SimConsole::delay},
    {"unplug-after", "unplug-after N", "the N-th request from now pulls the plug (0 never)",
     "unplug-after N", &SimConsole::unplugAfter},
    {"send", "send HEX", "put bytes on the line unasked", "send HEX", &SimConsole::send},
    {"flood", "flood N | flood off", "N random bytes a second on the line, unlogged",
     "flood BYTES_A_SECOND | flood off", &SimConsole::flood},
    {"unplug", "unplug | plug", "close the pty or the server | open it again", nullptr,
     &SimConsole::unplug},
    {"plug", nullptr, nullptr, nullptr, &SimConsole::plug},
    {"help|?", nullptr, nullptr, nullptr, &SimConsole::help},
    {"quit", "quit", nullptr, nullptr, &SimConsole::quit},
};

SimConsole::SimConsole(SimController &sim, QObject *parent) : QObject(parent), m_sim(sim) {}

bool SimConsole::execute(const QString &line, QString *error)
{
    QStringList w = line.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    m_selected = 0;
    if (!w.isEmpty() && w.first().startsWith(QLatin1Char('#'))) {
        uint n = 0;
        const int count = m_sim.line().count();
        if (!parseNumber(w.first().mid(1), uint(count), &n) || n == 0) {
            *error = QStringLiteral("no module %1, there are #1 to #%2").arg(w.first()).arg(count);
            return false;
        }
        m_selected = int(n) - 1;
        w.removeFirst();
    }
    if (w.isEmpty())
        return true;
    for (const Command &c : kCommands) {
        if (!QString::fromLatin1(c.names).split(QLatin1Char('|')).contains(w.first()))
            continue;
        error->clear();
        if ((this->*c.run)(w, error))
            return true;
        if (error->isEmpty() && c.usage)
            *error = QStringLiteral("usage: ") + QLatin1String(c.usage);
        if (!error->isEmpty())
            return false;
        break;
    }
    *error = QStringLiteral("unknown command '%1', try help").arg(line.simplified());
    return false;
}

QString SimConsole::helpText()
{
    QString text = QStringLiteral("commands:\n");
    for (const Command &c : kCommands) {
        if (!c.synopsis)
            continue;
        text += c.help ? QStringLiteral("  %1 %2\n")
                             .arg(QLatin1String(c.synopsis), -27)
                             .arg(QLatin1String(c.help))
                       : QStringLiteral("  %1\n").arg(QLatin1String(c.synopsis));
    }
    return text +
           QStringLiteral("  #N COMMAND                  status, restart, alarm, set, address, "
                          "speed or swap of module N\n");
}

SimModule &SimConsole::module()
{
    return m_sim.line().module(m_selected);
}

QString SimConsole::statusLine() const
{
    const SimModule &m = m_sim.line().module(m_selected);
    QStringList regs;
    for (quint16 r = 0; r < Reg::Count; ++r)
        regs << QStringLiteral("%1").arg(m.reg(r), 4, 16, QLatin1Char('0'));
    return QStringLiteral("status address=%1 speed=%2 stored-speed=%3 port=%4 path=%5 regs=%6 "
                          "faults=%7")
               .arg(m.address())
               .arg(m.activeLineSpeed())
               .arg(m.storedLineSpeed())
               .arg(m_sim.portSettings().describe())
               .arg(m_sim.isPlugged() ? m_sim.path() : QStringLiteral("-"))
               .arg(regs.join(QLatin1Char(',')))
               .arg(m_sim.faults().describe()) +
           (m_sim.line().count() > 1 ? QStringLiteral(" modules=") + m_sim.line().describe()
                                     : QString());
}

bool SimConsole::status(const QStringList &w, QString *)
{
    if (w.size() != 1)
        return false;
    printOut(statusLine());
    return true;
}

bool SimConsole::restart(const QStringList &w, QString *)
{
    if (w.size() != 1)
        return false;
    m_sim.restart(m_selected);
    return true;
}

bool SimConsole::alarm(const QStringList &w, QString *)
{
    if (w.size() != 2 || (w[1] != QLatin1String("1") && w[1] != QLatin1String("2")))
        return false;
    module().raiseAlarm(w[1] == QLatin1String("1") ? Motor::One : Motor::Two);
    printLog(QStringLiteral("sim: motor %1 alarm").arg(w[1]));
    return true;
}

bool SimConsole::set(const QStringList &w, QString *)
{
    quint16 reg = 0;
    uint v = 0;
    if (w.size() != 3 || !parseRegister(w[1], &reg) || !parseNumber(w[2], 0xFFFF, &v))
        return false;
    module().setRegisterRaw(reg, quint16(v));
    printLog(QStringLiteral("sim: register %1 = %2").arg(reg, 2, 16, QLatin1Char('0')).arg(v));
    return true;
}

bool SimConsole::address(const QStringList &w, QString *)
{
    uint v = 0;
    if (w.size() != 2 || !parseNumber(w[1], 0xFF, &v) || !module().setAddress(quint8(v)))
        return false;
    printLog(QStringLiteral("sim: address %1").arg(v));
    return true;
}

bool SimConsole::speed(const QStringList &w, QString *)
{
    uint v = 0;
    if (w.size() != 2 || !parseNumber(w[1], 0xFFFFFFFFu, &v) || !module().setLineSpeed(v))
        return false;
    printLog(QStringLiteral("sim: line speed %1").arg(v));
    return true;
}

bool SimConsole::modules(const QStringList &w, QString *)
{
    SimLine &line = m_sim.line();
    if (w.size() != 2 || !line.setModules(w[1], line.module(0).activeLineSpeed()))
        return false;
    printLog(QStringLiteral("sim: modules %1").arg(line.describe()));
    return true;
}

bool SimConsole::split(const QStringList &w, QString *)
{
    Faults &f = m_sim.faults();
    if (w.size() == 2 && w[1] == QLatin1String("off")) {
        f.splitChunk = 0;
        return true;
    }
    uint n = 0;
    uint gap = uint(f.splitGapMs);
    if (w.size() < 2 || w.size() > 3 || !parseNumber(w[1], 255, &n) ||
        (w.size() == 3 && !parseNumber(w[2], 60000, &gap)))
        return false;
    f.splitChunk = int(n);
    f.splitGapMs = int(gap);
    return true;
}

bool SimConsole::faultMode(const QStringList &w, QString *)
{
    FaultMode mode = FaultMode::Off;
    if (w.size() != 2 || !parseFaultMode(w[1], &mode))
        return false;
    Faults &f = m_sim.faults();
    FaultMode &target = w[0] == QLatin1String("double")        ? f.doubled
                        : w[0] == QLatin1String("stray")       ? f.stray
                        : w[0] == QLatin1String("badcrc")      ? f.badCrc
                        : w[0] == QLatin1String("chatter")     ? f.chatter
                        : w[0] == QLatin1String("keepaddress") ? f.keepAddress
                                                               : f.silent;
    target = mode;
    return true;
}

bool SimConsole::noise(const QStringList &w, QString *)
{
    uint n = 0;
    if (w.size() != 2 || !parseNumber(w[1], 65536, &n))
        return false;
    m_sim.faults().noiseBytes = int(n);
    return true;
}

bool SimConsole::delay(const QStringList &w, QString *)
{
    uint n = 0;
    if (w.size() != 2 || !parseNumber(w[1], 60000, &n))
        return false;
    m_sim.faults().delayMs = int(n);
    return true;
}

bool SimConsole::unplugAfter(const QStringList &w, QString *)
{
    uint n = 0;
    if (w.size() != 2 || !parseNumber(w[1], 1000000, &n))
        return false;
    m_sim.unplugAfter(int(n));
    return true;
}

bool SimConsole::send(const QStringList &w, QString *error)
{
    const QByteArray bytes = QByteArray::fromHex(w.mid(1).join(QString()).toLatin1());
    if (w.size() < 2 || bytes.isEmpty())
        return false;
    if (!m_sim.isPlugged()) {
        *error = QStringLiteral("unplugged");
        return false;
    }
    if (!m_sim.carriesBytes()) {
        *error = QStringLiteral("a gateway passes on nothing unasked");
        return false;
    }
    m_sim.send(bytes);
    return true;
}

bool SimConsole::stagger(const QStringList &w, QString *)
{
    uint n = 0;
    if (w.size() != 2 || (w[1] != QLatin1String("random") && !parseNumber(w[1], 3, &n)))
        return false;
    m_sim.line().setStagger(w[1] == QLatin1String("random") ? -1 : int(n));
    return true;
}

bool SimConsole::swap(const QStringList &w, QString *)
{
    uint ms = 1000;
    if (w.size() > 2 || (w.size() == 2 && !parseNumber(w[1], 600000, &ms)))
        return false;
    m_sim.swap(m_selected, int(ms));
    return true;
}

bool SimConsole::flood(const QStringList &w, QString *error)
{
    uint rate = 0;
    if (w.size() != 2 || (w[1] != QLatin1String("off") && !parseNumber(w[1], 100000000, &rate)))
        return false;
    if (!m_sim.carriesBytes()) {
        *error = QStringLiteral("a gateway passes on nothing unasked");
        return false;
    }
    m_sim.flood(int(rate));
    printLog(QStringLiteral("sim: flood %1 bytes a second").arg(rate));
    return true;
}

bool SimConsole::unplug(const QStringList &w, QString *)
{
    if (w.size() != 1)
        return false;
    if (m_sim.isPlugged())
        m_sim.unplug();
    return true;
}

bool SimConsole::plug(const QStringList &w, QString *error)
{
    if (w.size() != 1)
        return false;
    if (m_sim.isPlugged()) {
        *error = QStringLiteral("already plugged in");
        return false;
    }
    return m_sim.plug(error);
}

bool SimConsole::help(const QStringList &, QString *)
{
    std::fputs(helpText().toLocal8Bit().constData(), stderr);
    return true;
}

bool SimConsole::quit(const QStringList &w, QString *)
{
    if (w.size() != 1)
        return false;
    emit quitRequested();
    return true;
}

void SimConsole::listenToStdin()
{
    m_stdin = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
    connect(m_stdin, &QSocketNotifier::activated, this, &SimConsole::onStdin);
}

void SimConsole::onStdin()
{
    char buf[1024];
    const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (n <= 0) {
        // No more commands; the module keeps running until it is told or signalled.
        m_stdin->setEnabled(false);
        return;
    }
    m_stdinBuffer.append(buf, int(n));
    int eol;
    while ((eol = m_stdinBuffer.indexOf('\n')) >= 0) {
        const QString line = QString::fromLocal8Bit(m_stdinBuffer.left(eol));
        m_stdinBuffer.remove(0, eol + 1);
        QString error;
        if (!execute(line, &error))
            printLog(QStringLiteral("sim: ") + error);
    }
}

} // namespace quarvex::sim
