#include "simcontroller.h"

#include "device/frameshape.h"
#include "link/replydecoder.h"

#include <QRandomGenerator>

#include "link/crc16.h"
#include "modbusgateway.h"

#include <QStringList>

#include <algorithm>
#include <cstdio>

namespace quarvex::sim {

namespace {

constexpr qint64 kMs = 1'000'000;

QString withNote(const QString &line, const QString &note)
{
    return note.isEmpty() ? line : line + QStringLiteral(" (") + note + QLatin1Char(')');
}

int timerMs(qint64 dueNs, qint64 nowNs)
{
    // Rounded up: waking early only to find nothing due would spin.
    return int(std::max<qint64>(0, (dueNs - nowNs + kMs - 1) / kMs));
}

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
    // Chatter goes out in bursts of 10 ms worth of bytes.
    m_chatterTimer.setInterval(10);
    connect(&m_chatterTimer, &QTimer::timeout, this, [this] {
        const qint64 bytes = std::max<qint64>(1, 10 * kMs / TxSchedule::byteTimeNs(lineSpeed()));
        m_schedule.enqueue(QByteArray(int(bytes), m_chatterByte), now(), QString());
        armTxTimer();
    });
    m_floodTimer.setInterval(20);
    connect(&m_floodTimer, &QTimer::timeout, this, [this] {
        QByteArray bytes(qMax(1, m_floodRate / 50), '\0');
        for (char &b : bytes)
            b = char(QRandomGenerator::global()->bounded(256));
        if (m_link)
            m_link->write(bytes);
    });
}

void SimController::swap(int module, int ms)
{
    m_line.setPresent(module, false);
    printLog(QStringLiteral("sim: module #%1 off the line").arg(module + 1));
    QTimer::singleShot(ms, this, [this, module] {
        m_line.module(module) = SimModule();
        m_line.setPresent(module, true);
        printLog(QStringLiteral("sim: module #%1 swapped for a factory-fresh one").arg(module + 1));
    });
}

void SimController::flood(int bytesPerSecond)
{
    m_floodRate = bytesPerSecond;
    if (bytesPerSecond > 0)
        m_floodTimer.start();
    else
        m_floodTimer.stop();
}

void SimController::setFace(std::unique_ptr<SimFace> face)
{
    m_face = std::move(face);
    m_link = qobject_cast<SimLink *>(m_face.get());
    const auto log = [this](const QString &line) {
        printLog(QStringLiteral("sim: %1: %2").arg(m_face->path(), line));
    };
    connect(m_face.get(), &SimFace::failed, this, log);
    connect(m_face.get(), &SimFace::note, this, log);
    if (m_link)
        connect(m_link, &SimLink::received, this, &SimController::onReceived);
    if (auto *gateway = qobject_cast<ModbusGateway *>(m_face.get()))
        gateway->setExchange(
            [this](const QByteArray &frame, qint64 *busyNs) { return exchange(frame, busyNs); });
}

bool SimController::plug(QString *error)
{
    const SimModule &first = m_line.module(0);
    if (!m_face->open(first.activeLineSpeed(), error))
        return false;
    printOut(m_face->path());
    if (m_line.count() > 1)
        printLog(QStringLiteral("sim: plugged in at %1, modules %2")
                     .arg(m_face->path(), m_line.describe()));
    else
        printLog(QStringLiteral("sim: plugged in at %1, module address %2 at %3 bit/s")
                     .arg(m_face->path())
                     .arg(first.address())
                     .arg(first.activeLineSpeed()));
    return true;
}

void SimController::unplug()
{
    m_face->close();
    m_framer.clear();
    m_schedule.clear();
    m_silenceTimer.stop();
    m_txTimer.stop();
    m_chatterTimer.stop();
    m_floodTimer.stop();
    printLog(QStringLiteral("sim: unplugged"));
}

quint32 SimController::lineSpeed() const
{
    const PortSettings port = portSettings();
    return port.valid && m_line.hears(port.baud) ? port.baud : m_line.module(0).activeLineSpeed();
}

qint64 SimController::silenceNs() const
{
    return std::max<qint64>(2 * kMs, TxSchedule::byteTimeNs(lineSpeed()) * 7 / 2);
}

void SimController::onReceived(const QByteArray &bytes)
{
    // The pty hands over a request at once; on a wire it would take its byte times.
    const qint64 t = now();
    m_rxWireEndNs = std::max(t, m_rxWireEndNs) + bytes.size() * TxSchedule::byteTimeNs(lineSpeed());
    const QList<QByteArray> frames = m_framer.feed(bytes);
    for (const QByteArray &frame : frames) {
        handleFrame(frame, m_rxWireEndNs);
        if (!isPlugged())
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
    const PortSettings port = portSettings();
    const QList<TxPiece> pieces = hearFrame(frame, port);
    const qint64 ready = endNs + m_faults.delayMs * kMs;
    m_schedule.setBaud(port.baud);
    for (const TxPiece &p : pieces)
        m_schedule.enqueue(p.bytes, ready,
                           withNote(QStringLiteral("tx ") + hexText(p.bytes), p.note), p.chunk,
                           p.gapMs * kMs);
    armTxTimer();
}

QList<TxPiece> SimController::hearFrame(const QByteArray &frame, const PortSettings &port)
{
    const QString rx = QStringLiteral("rx ") + hexText(frame);
    if (!port.valid || !port.eightN1 || !m_line.hears(port.baud)) {
        // A module at another speed or framing would only see noise.
        const QString modules =
            m_line.count() > 1
                ? QStringLiteral("modules at %1 8N1").arg(m_line.describe())
                : QStringLiteral("module at %1-8N1").arg(m_line.module(0).activeLineSpeed());
        printLog(
            withNote(rx, QStringLiteral("ignored: port at %1, ").arg(port.describe()) + modules));
        return {};
    }
    if (m_faults.unplugAfter > 0 && ++m_requestsSinceArmed >= m_faults.unplugAfter) {
        m_faults.unplugAfter = 0;
        printLog(withNote(rx, QStringLiteral("unplugging")));
        unplug();
        return {};
    }

    m_chatterTimer.stop();
    // An address write the modules acknowledge and then forget.
    const bool keepAddress =
        frame.size() == kWriteAddressLength && quint8(frame.at(0)) == kAddressFrameBus &&
        quint8(frame.at(1)) == Fn::WriteAddress && useFault(m_faults.keepAddress);
    QVector<quint8> addresses;
    for (int i = 0; keepAddress && i < m_line.count(); ++i)
        addresses << m_line.module(i).address();
    Outcome o = m_line.hear(frame, port.baud);
    for (int i = 0; i < addresses.size(); ++i)
        m_line.module(i).setAddress(addresses.at(i));
    if (keepAddress)
        o.note += QStringLiteral(", address kept");
    if (!o.reply.isEmpty() && useFault(m_faults.chatter)) {
        printLog(withNote(
            rx, QStringLiteral("chatter %1 until the next request").arg(hexText(o.reply.left(1)))));
        m_chatterByte = o.reply.at(0);
        m_schedule.setBaud(port.baud);
        m_chatterTimer.start();
        return {};
    }
    const QList<TxPiece> pieces = shapeReply(o.reply, m_faults);
    if (!o.reply.isEmpty() && pieces.isEmpty())
        o.note = o.note.isEmpty() ? QStringLiteral("silent, reply lost")
                                  : o.note + QStringLiteral(", silent, reply lost");
    printLog(withNote(rx, o.note));
    return pieces;
}

QByteArray SimController::exchange(const QByteArray &frame, qint64 *busyNs)
{
    const PortSettings port = portSettings();
    const QList<TxPiece> pieces = hearFrame(frame, port);
    // The gateway sends the request, then frames the reply as a master does: the first
    // whole frame counts, a stray byte or a spoilt CRC is dropped, a second copy unread.
    TxSchedule line(port.baud);
    const qint64 heard = frame.size() * line.byteNs();
    *busyNs = heard;
    QByteArray reply;
    for (const TxPiece &p : pieces) {
        line.enqueue(p.bytes, heard + m_faults.delayMs * kMs, QString(), p.chunk, p.gapMs * kMs);
        *busyNs = line.endNs();
        const bool whole = reply.isEmpty() && crcHolds(p.bytes);
        if (whole)
            reply = p.bytes;
        printLog(withNote(QStringLiteral("tx ") + hexText(p.bytes),
                          whole ? p.note : QStringLiteral("dropped by the gateway")));
    }
    return reply;
}

void SimController::onTxTimer()
{
    QStringList finished;
    const QByteArray due = m_schedule.takeDue(now(), &finished);
    if (!due.isEmpty()) {
        const int written = m_link ? m_link->write(due) : int(due.size());
        if (written < due.size())
            printLog(QStringLiteral("sim: link full, %1 bytes lost").arg(due.size() - written));
    }
    for (const QString &line : finished)
        if (!line.isEmpty())
            printLog(line);
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

void SimController::restart(int module)
{
    SimModule &m = m_line.module(module);
    m.restart();
    m_framer.clear();
    m_silenceTimer.stop();
    printLog(QStringLiteral("sim: restarted, address %1 at %2 bit/s")
                 .arg(m.address())
                 .arg(m.activeLineSpeed()));
}

void SimController::send(const QByteArray &bytes)
{
    m_schedule.setBaud(lineSpeed());
    m_schedule.enqueue(
        bytes, now(),
        withNote(QStringLiteral("tx ") + hexText(bytes), QStringLiteral("sent by hand")));
    armTxTimer();
}

void SimController::unplugAfter(int n)
{
    m_faults.unplugAfter = n;
    m_requestsSinceArmed = 0;
}

void printOut(const QString &line)
{
    std::fputs(line.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void printLog(const QString &line)
{
    std::fputs(line.toLocal8Bit().constData(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

} // namespace quarvex::sim
