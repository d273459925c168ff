#include "simcontroller.h"

#include <QSocketNotifier>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace quarvex::sim {

namespace {

constexpr qint64 kMs = 1'000'000;

QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex());
}

QString withNote(const QString &line, const QString &note)
{
    return note.isEmpty() ? line : line + QStringLiteral(" (") + note + QLatin1Char(')');
}

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

int timerMs(qint64 dueNs, qint64 nowNs)
{
    // Rounded up: waking early only to find nothing due would spin.
    return int(std::max<qint64>(0, (dueNs - nowNs + kMs - 1) / kMs));
}

const char kHelp[] =
    "commands:\n"
    "  status                      one status line on stdout\n"
    "  restart                     power cycle; a stored line speed takes effect\n"
    "  alarm 1|2                   over-current on a motor\n"
    "  set REG VALUE               raw register store (REG hex 00-0d, VALUE dec or 0x..)\n"
    "  address A                   bus address 1-254\n"
    "  speed B                     line speed, at once (one of the nine)\n"
    "  split N [GAPMS] | split off replies in pieces of N bytes, GAPMS apart (20)\n"
    "  double|stray|badcrc|silent on|off|once\n"
    "  delay MS                    turnaround before each reply\n"
    "  unplug-after N              the N-th request from now pulls the plug (0 never)\n"
    "  send HEX                    put bytes on the line unasked\n"
    "  unplug | plug               close the pty | open a new one\n"
    "  quit\n";

} // namespace

SimController::SimController(QObject *parent) : QObject(parent)
{
    m_clock.start();
    m_silenceTimer.setSingleShot(true);
    m_silenceTimer.setTimerType(Qt::PreciseTimer);
    m_txTimer.setSingleShot(true);
    m_txTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_silenceTimer, &QTimer::timeout, this, &SimController::onSilence);
    connect(&m_txTimer, &QTimer::timeout, this, &SimController::onTxTimer);
    connect(&m_link, &PtyLink::received, this, &SimController::onReceived);
    connect(&m_link, &PtyLink::failed, this,
            [](const QString &why) { log(QStringLiteral("sim: pty: ") + why); });
}

bool SimController::plug(QString *error)
{
    m_schedule.setBaud(m_module.activeLineSpeed());
    if (!m_link.open(m_module.activeLineSpeed(), error))
        return false;
    out(m_link.path());
    log(QStringLiteral("sim: plugged in at %1, module address %2 at %3 bit/s")
            .arg(m_link.path())
            .arg(m_module.address())
            .arg(m_module.activeLineSpeed()));
    return true;
}

void SimController::unplug()
{
    m_link.close();
    m_framer.clear();
    m_schedule.clear();
    m_silenceTimer.stop();
    m_txTimer.stop();
    log(QStringLiteral("sim: unplugged"));
}

qint64 SimController::silenceNs() const
{
    return std::max<qint64>(2 * kMs, TxSchedule::byteTimeNs(m_module.activeLineSpeed()) * 7 / 2);
}

void SimController::onReceived(const QByteArray &bytes)
{
    // The pty hands over a request at once; on a wire it would take its byte times.
    const qint64 t = now();
    m_rxWireEndNs = std::max(t, m_rxWireEndNs) +
                    bytes.size() * TxSchedule::byteTimeNs(m_module.activeLineSpeed());
    const QList<QByteArray> frames = m_framer.feed(bytes);
    for (const QByteArray &frame : frames) {
        handleFrame(frame, m_rxWireEndNs);
        if (!m_link.isOpen())
            return;
    }
    if (m_framer.hasPending())
        m_silenceTimer.start(timerMs(m_rxWireEndNs + silenceNs(), t));
    else
        m_silenceTimer.stop();
}

void SimController::onSilence()
{
    if (m_framer.hasPending())
        handleFrame(m_framer.takeRest(), m_rxWireEndNs);
}

void SimController::handleFrame(const QByteArray &frame, qint64 endNs)
{
    const QString rx = QStringLiteral("rx ") + hex(frame);
    const PortSettings port = m_link.portSettings();
    if (!port.valid || !port.eightN1 || port.baud != m_module.activeLineSpeed()) {
        // A module at another speed or framing would only see noise.
        log(withNote(rx, QStringLiteral("ignored: port at %1, module at %2-8N1")
                             .arg(port.describe())
                             .arg(m_module.activeLineSpeed())));
        return;
    }
    if (m_faults.unplugAfter > 0 && ++m_requestsSinceArmed >= m_faults.unplugAfter) {
        m_faults.unplugAfter = 0;
        log(withNote(rx, QStringLiteral("unplugging")));
        unplug();
        return;
    }

    Outcome o = m_module.handle(frame);
    const QList<TxPiece> pieces = shapeReply(o.reply, m_faults);
    if (!o.reply.isEmpty() && pieces.isEmpty())
        o.note = o.note.isEmpty() ? QStringLiteral("silent, reply lost")
                                  : o.note + QStringLiteral(", silent, reply lost");
    log(withNote(rx, o.note));

    const qint64 ready = endNs + m_faults.delayMs * kMs;
    for (const TxPiece &p : pieces)
        m_schedule.enqueue(p.bytes, ready, withNote(QStringLiteral("tx ") + hex(p.bytes), p.note),
                           p.chunk, p.gapMs * kMs);
    armTxTimer();
}

void SimController::onTxTimer()
{
    QStringList finished;
    const QByteArray due = m_schedule.takeDue(now(), &finished);
    if (!due.isEmpty()) {
        const int written = m_link.write(due);
        if (written < due.size())
            log(QStringLiteral("sim: pty full, %1 bytes lost").arg(due.size() - written));
    }
    for (const QString &line : finished)
        log(line);
    armTxTimer();
}

void SimController::armTxTimer()
{
    const qint64 next = m_schedule.nextDueNs();
    if (next < 0)
        m_txTimer.stop();
    else
        m_txTimer.start(timerMs(next, now()));
}

void SimController::restart()
{
    m_module.restart();
    m_schedule.setBaud(m_module.activeLineSpeed());
    m_framer.clear();
    m_silenceTimer.stop();
    log(QStringLiteral("sim: restarted, address %1 at %2 bit/s")
            .arg(m_module.address())
            .arg(m_module.activeLineSpeed()));
}

QString SimController::statusLine() const
{
    QStringList regs;
    for (quint16 r = 0; r < Reg::Count; ++r)
        regs << QStringLiteral("%1").arg(m_module.reg(r), 4, 16, QLatin1Char('0'));
    return QStringLiteral("status address=%1 speed=%2 stored-speed=%3 port=%4 path=%5 regs=%6 "
                          "faults=%7")
        .arg(m_module.address())
        .arg(m_module.activeLineSpeed())
        .arg(m_module.storedLineSpeed())
        .arg(m_link.portSettings().describe())
        .arg(m_link.isOpen() ? m_link.path() : QStringLiteral("-"))
        .arg(regs.join(QLatin1Char(',')))
        .arg(m_faults.describe());
}

bool SimController::execute(const QString &line, QString *error)
{
    const QStringList w = line.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (w.isEmpty())
        return true;
    const QString &cmd = w.first();
    const auto usage = [&](const char *text) {
        *error = QStringLiteral("usage: ") + QLatin1String(text);
        return false;
    };
    uint n = 0;
    uint v = 0;

    if (cmd == QLatin1String("status") && w.size() == 1) {
        out(statusLine());
    } else if (cmd == QLatin1String("restart") && w.size() == 1) {
        restart();
    } else if (cmd == QLatin1String("alarm")) {
        if (w.size() != 2 || (w[1] != QLatin1String("1") && w[1] != QLatin1String("2")))
            return usage("alarm 1|2");
        m_module.raiseAlarm(w[1] == QLatin1String("1") ? Motor::One : Motor::Two);
        log(QStringLiteral("sim: motor %1 alarm").arg(w[1]));
    } else if (cmd == QLatin1String("set")) {
        quint16 reg = 0;
        if (w.size() != 3 || !parseRegister(w[1], &reg) || !parseNumber(w[2], 0xFFFF, &v))
            return usage("set REG VALUE (REG hex 00-0d, VALUE 0-65535)");
        m_module.setRegisterRaw(reg, quint16(v));
        log(QStringLiteral("sim: register %1 = %2").arg(reg, 2, 16, QLatin1Char('0')).arg(v));
    } else if (cmd == QLatin1String("address")) {
        if (w.size() != 2 || !parseNumber(w[1], 0xFF, &v) || !m_module.setAddress(quint8(v)))
            return usage("address 1-254");
        log(QStringLiteral("sim: address %1").arg(v));
    } else if (cmd == QLatin1String("speed")) {
        if (w.size() != 2 || !parseNumber(w[1], 0xFFFFFFFFu, &v) || !m_module.setLineSpeed(v))
            return usage("speed 1200|2400|4800|9600|14400|19200|57600|115200|128000");
        m_schedule.setBaud(v);
        log(QStringLiteral("sim: line speed %1").arg(v));
    } else if (cmd == QLatin1String("split")) {
        if (w.size() == 2 && w[1] == QLatin1String("off")) {
            m_faults.splitChunk = 0;
        } else {
            uint gap = uint(m_faults.splitGapMs);
            if (w.size() < 2 || w.size() > 3 || !parseNumber(w[1], 255, &n) ||
                (w.size() == 3 && !parseNumber(w[2], 60000, &gap)))
                return usage("split N [GAPMS] | split off");
            m_faults.splitChunk = int(n);
            m_faults.splitGapMs = int(gap);
        }
    } else if (cmd == QLatin1String("double") || cmd == QLatin1String("stray") ||
               cmd == QLatin1String("badcrc") || cmd == QLatin1String("silent")) {
        FaultMode mode = FaultMode::Off;
        if (w.size() != 2 || !parseFaultMode(w[1], &mode))
            return usage("double|stray|badcrc|silent on|off|once");
        FaultMode &target = cmd == QLatin1String("double")   ? m_faults.doubled
                            : cmd == QLatin1String("stray")  ? m_faults.stray
                            : cmd == QLatin1String("badcrc") ? m_faults.badCrc
                                                             : m_faults.silent;
        target = mode;
    } else if (cmd == QLatin1String("delay")) {
        if (w.size() != 2 || !parseNumber(w[1], 60000, &n))
            return usage("delay MS");
        m_faults.delayMs = int(n);
    } else if (cmd == QLatin1String("unplug-after")) {
        if (w.size() != 2 || !parseNumber(w[1], 1000000, &n))
            return usage("unplug-after N");
        m_faults.unplugAfter = int(n);
        m_requestsSinceArmed = 0;
    } else if (cmd == QLatin1String("send")) {
        const QByteArray bytes = QByteArray::fromHex(w.mid(1).join(QString()).toLatin1());
        if (w.size() < 2 || bytes.isEmpty())
            return usage("send HEX");
        if (!m_link.isOpen()) {
            *error = QStringLiteral("unplugged");
            return false;
        }
        m_schedule.enqueue(
            bytes, now(),
            withNote(QStringLiteral("tx ") + hex(bytes), QStringLiteral("sent by hand")));
        armTxTimer();
    } else if (cmd == QLatin1String("unplug") && w.size() == 1) {
        if (m_link.isOpen())
            unplug();
    } else if (cmd == QLatin1String("plug") && w.size() == 1) {
        if (m_link.isOpen()) {
            *error = QStringLiteral("already plugged in");
            return false;
        }
        return plug(error);
    } else if (cmd == QLatin1String("help") || cmd == QLatin1String("?")) {
        std::fputs(kHelp, stderr);
    } else if (cmd == QLatin1String("quit") && w.size() == 1) {
        emit quitRequested();
    } else {
        *error = QStringLiteral("unknown command '%1', try help").arg(line.simplified());
        return false;
    }
    return true;
}

void SimController::listenToStdin()
{
    m_stdin = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
    connect(m_stdin, &QSocketNotifier::activated, this, &SimController::onStdin);
}

void SimController::onStdin()
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
            log(QStringLiteral("sim: ") + error);
    }
}

void SimController::out(const QString &line)
{
    std::fputs(line.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void SimController::log(const QString &line)
{
    std::fputs(line.toLocal8Bit().constData(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

} // namespace quarvex::sim
