#include "runner.h"

#include "device/fields.h"
#include "device/frames.h"
#include "link/replydecoder.h"
#include "portwords.h"
#include "report.h"
#include "strategy.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QSerialPortInfo>
#include <QTime>
#include <QTimer>
#include <QtEndian>

#include <cstdio>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace quarvex::cli {

namespace {

void print(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
    if (!text.endsWith(QLatin1Char('\n')))
        std::fputc('\n', stdout);
}

void printJson(const QJsonObject &o)
{
    std::fputs((compact(o) + '\n').constData(), stdout);
}

void printError(const QString &text)
{
    std::fprintf(stderr, "quarvexctl: %s\n", text.toLocal8Bit().constData());
}

bool stderrIsTerminal()
{
#ifdef Q_OS_UNIX
    return ::isatty(STDERR_FILENO) == 1;
#else
    return false;
#endif
}

bool isAddressRequest(const QByteArray &request)
{
    return request.size() == 4 && quint8(request.at(0)) == kAddressFrameBus &&
           quint8(request.at(1)) == Fn::ReadAddress;
}

QString damagedAddressReply()
{
    return Cli::tr("a damaged reply to the address request: more than one module may be on this "
                   "line; use scan");
}

// The /dev/serial/by-id link that leads to a device, if any.
QString byIdLink(const QString &device)
{
    const QDir dir(QStringLiteral("/dev/serial/by-id"));
    for (const QFileInfo &link : dir.entryInfoList(QDir::Files | QDir::System))
        if (link.canonicalFilePath() == device)
            return link.absoluteFilePath();
    return QString();
}

} // namespace

Runner::Runner(const Invocation &invocation, QObject *parent)
    : QObject(parent), m_inv(invocation), m_link(invocation.verbose)
{
    m_progress = stderrIsTerminal();
    watchSpeed();
}

void Runner::watchSpeed()
{
    connect(&m_link, &Link::speedReplaced, this, [this](quint32 chosen, quint32 actual) {
        complain(Cli::tr("the server runs the line at %1 bit/s, not at the %2 chosen")
                     .arg(actual)
                     .arg(chosen));
    });
}

Runner::Runner(const Invocation &invocation, Sink *sink, std::function<void(int)> done,
               QObject *parent)
    : QObject(parent), m_inv(invocation), m_sink(sink), m_done(std::move(done)),
      m_link(invocation.verbose)
{
    watchSpeed();
}

void Runner::finish(int status)
{
    if (m_finished)
        return;
    m_finished = true;
    if (m_done) {
        m_link.close();
        m_done(status);
        return;
    }
    std::fflush(stdout);
    QCoreApplication::exit(status);
}

void Runner::out(const QString &text)
{
    if (m_sink)
        m_sink->out << text;
    else
        print(text);
}

void Runner::outJson(const QJsonObject &o)
{
    if (m_sink)
        m_sink->json << o;
    else
        printJson(o);
}

void Runner::complain(const QString &text)
{
    if (m_sink)
        m_sink->err << text;
    else
        printError(text);
}

void Runner::progress(const QString &line)
{
    if (!m_progress)
        return;
    // Redrawn in place; an empty line clears it.
    std::fprintf(stderr, "\r\033[K%s", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

void Runner::fail(const Exchange &x)
{
    switch (x.result) {
    case Exchange::Reply:
        break;
    case Exchange::Exception:
        complain(Cli::tr("the module refused the request: exception %1")
                     .arg(exceptionText(x.exceptionCode)));
        finish(4);
        return;
    case Exchange::Silent:
        complain(x.tries == 1 ? Cli::tr("no reply")
                              : Cli::tr("no reply after %1 tries").arg(x.tries));
        finish(3);
        return;
    case Exchange::Damaged:
        complain(isAddressRequest(x.request)
                     ? damagedAddressReply()
                     : Cli::tr("no valid reply after %1 tries (damaged replies)").arg(x.tries));
        finish(3);
        return;
    case Exchange::PortFailed:
        complain(x.portError);
        finish(2);
        return;
    }
}

void Runner::openPort(const QString &name, quint32 baud, bool reportFailure,
                      const std::function<void(bool)> &next)
{
    m_link.open(name, baud, [=](const TransportError *failure) {
        if (!failure) {
            // Over a network every try waits for the round trip too, unless -t says how long.
            const int roundTrip = m_link.port()->roundTripMs();
            if (m_link.port()->scheme() != Scheme::Serial && !m_inv.timeoutGiven)
                m_link.setExtraWaitMs(networkWaitMs(roundTrip));
            next(true);
            return;
        }
        if (reportFailure) {
            complain(portFailureText(name, *failure));
            finish(2);
        }
        next(false);
    });
}

// A Modbus TCP gateway takes bus address 0 for a broadcast and never answers it: the
// address frames are refused before anything is sent.
bool Runner::refuseAddressFrames()
{
    const bool addressFrames = m_inv.verb == Verb::Address || m_inv.verb == Verb::SetAddress ||
                               (m_inv.needsAddress() && !m_inv.address) ||
                               (m_inv.verb == Verb::Send && !m_inv.frame.isEmpty() &&
                                quint8(m_inv.frame.at(0)) == kAddressFrameBus);
    if (!addressFrames || parsePortName(m_inv.port).scheme != Scheme::ModbusTcp)
        return false;
    complain(Cli::tr("the address frames need a transparent link: use tcp:// or rfc2217://"));
    finish(1);
    return true;
}

Policy Runner::commandPolicy() const
{
    return Policy{m_inv.timeoutMs, false, m_inv.retries, true};
}

void Runner::start()
{
    switch (m_inv.verb) {
    case Verb::Ports:
        listPorts();
        return;
    case Verb::Find:
        m_ports.clear();
        if (!m_inv.port.isEmpty()) {
            m_ports << m_inv.port;
        } else {
            for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
                m_ports << info.systemLocation();
        }
        findOnPort(0);
        return;
    default:
        break;
    }
    if (refuseAddressFrames())
        return;
    if (m_inv.verb == Verb::Scan && m_inv.ports.size() > 1) {
        scanPorts();
        return;
    }
    openPort(m_inv.port, m_inv.baud, true, [this](bool ok) {
        if (ok)
            opened();
    });
}

void Runner::opened()
{
    if (m_inv.verb == Verb::Scan) {
        m_serverSpeed = !m_link.port()->setsLineSpeed();
        if (m_serverSpeed && m_inv.allSpeeds)
            complain(Cli::tr("%1: the line speed is the server's; scanning at that one only")
                         .arg(m_inv.port));
        if (m_inv.allSpeeds && !m_serverSpeed)
            m_speeds = QVector<quint32>(kSpeedOrder.begin(), kSpeedOrder.end());
        else
            m_speeds = {m_inv.baud};
        m_speedIndex = 0;
        m_scanAddress = m_inv.from;
        m_scanClock.start();
        scanNext();
        return;
    }
    if (m_inv.needsAddress())
        withAddress([this](quint8 address) { run(address); });
    else
        run(0);
}

void Runner::interrupt()
{
    if (m_inv.verb == Verb::Watch) {
        summary();
        return;
    }
    progress(QString());
    finish(130);
}

void Runner::withAddress(const std::function<void(quint8)> &next)
{
    if (m_inv.address) {
        next(*m_inv.address);
        return;
    }
    m_link.exchange(readAddressFrame(), commandPolicy(), [this, next](const Exchange &x) {
        if (x.result != Exchange::Reply)
            return fail(x);
        // 0 would make every frame that follows a broadcast that all modules act on.
        const quint8 address = reportedAddress(x.reply);
        if (!fieldAccepts(Field::Address, address)) {
            const FieldSpec &range = fieldSpec(Field::Address);
            complain(Cli::tr("the module reported bus address %1, outside %2-%3; nothing was "
                             "sent to it")
                         .arg(address)
                         .arg(range.min)
                         .arg(range.max));
            finish(3);
            return;
        }
        next(address);
    });
}

void Runner::run(quint8 address)
{
    switch (m_inv.verb) {
    case Verb::Address:
        m_link.exchange(readAddressFrame(), commandPolicy(), [this](const Exchange &x) {
            if (x.result != Exchange::Reply)
                return fail(x);
            const int a = reportedAddress(x.reply);
            if (m_inv.json)
                outJson({{QStringLiteral("address"), a}});
            else
                out(Cli::tr("bus address %1").arg(a));
            finish(0);
        });
        return;
    case Verb::Read:
        m_link.exchange(readRegistersFrame(address, Reg::LineSpeed, Reg::Count), commandPolicy(),
                        [this, address](const Exchange &x) {
                            if (x.result != Exchange::Reply)
                                return fail(x);
                            ModuleState s;
                            decodeState(x.reply, &s);
                            if (m_inv.json)
                                outJson(stateJson(s));
                            else
                                out(stateText(s));
                            finish(0);
                        });
        return;
    case Verb::Motor:
        command(buildCommand(m_inv.command, address, m_inv.value), Cli::tr("done"));
        return;
    case Verb::AlarmClear:
        command(clearAlarmFrame(address, m_inv.motor),
                Cli::tr("alarm of motor %1 cleared; its parameters are back at their power-up "
                        "values")
                    .arg(m_inv.motor == Motor::One ? 1 : 2));
        return;
    case Verb::SetSpeed:
        command(buildCommand(Command::SetLineSpeed, address, m_inv.value),
                Cli::tr("line speed %1 bit/s stored; it takes effect when the module restarts")
                    .arg(m_inv.value));
        return;
    case Verb::SetAddress: {
        const QByteArray frame = buildCommand(Command::WriteAddress, quint8(m_inv.value), 0);
        const QString done = Cli::tr("bus address now %1").arg(m_inv.value);
        if (m_inv.force) {
            command(frame, done);
            return;
        }
        // The write goes to bus address 0: on a shared line every module would take it.
        m_link.exchange(readAddressFrame(), commandPolicy(), [=](const Exchange &x) {
            if (x.result == Exchange::Damaged) {
                complain(damagedAddressReply() + QLatin1Char('\n') +
                         Cli::tr("the address was not changed (--force skips this check)"));
                finish(3);
            } else if (x.result != Exchange::Reply) {
                fail(x);
            } else {
                command(frame, done);
            }
        });
        return;
    }
    case Verb::Send:
        command(m_inv.frame, QString());
        return;
    case Verb::Watch:
        m_address = address;
        poll();
        return;
    default:
        return;
    }
}

void Runner::command(const QByteArray &frame, const QString &doneText)
{
    m_link.exchange(frame, commandPolicy(), [this, doneText](const Exchange &x) {
        if (x.result != Exchange::Reply)
            return fail(x);
        if (m_inv.json)
            outJson({{QStringLiteral("request"), hexText(x.request)},
                     {QStringLiteral("reply"), hexText(x.reply)}});
        else
            out(doneText.isEmpty() ? hexText(x.reply) : doneText);
        finish(0);
    });
}

void Runner::listPorts()
{
    QJsonArray list;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        const QString link = byIdLink(info.systemLocation());
        if (m_inv.json) {
            list.append(QJsonObject{{QStringLiteral("name"), info.portName()},
                                    {QStringLiteral("path"), info.systemLocation()},
                                    {QStringLiteral("description"), info.description()},
                                    {QStringLiteral("manufacturer"), info.manufacturer()},
                                    {QStringLiteral("serial_number"), info.serialNumber()},
                                    {QStringLiteral("by_id"), link}});
        } else {
            QStringList fields{info.portName(), info.description(), info.manufacturer(),
                               info.serialNumber(), link};
            for (QString &f : fields)
                if (f.isEmpty())
                    f = QStringLiteral("-");
            out(fields.join(QLatin1String("  ")));
        }
    }
    if (m_inv.json)
        outJson({{QStringLiteral("ports"), list}});
    finish(0);
}

void Runner::findOnPort(int port)
{
    if (port >= m_ports.size()) {
        progress(QString());
        complain(m_ports.isEmpty() ? Cli::tr("no serial port found") : Cli::tr("no module found"));
        finish(5);
        return;
    }
    // A port named by the user must open; listed ones that do not are passed over.
    openPort(m_ports.at(port), kSpeedOrder[0], !m_inv.port.isEmpty(), [=](bool ok) {
        if (!ok) {
            if (!m_finished)
                findOnPort(port + 1);
            return;
        }
        const Transport *t = m_link.port();
        if (!t->carriesAddressFrames()) {
            findUnit(port, int(fieldSpec(Field::Address).min));
            return;
        }
        m_serverSpeed = !t->setsLineSpeed();
        if (m_serverSpeed)
            complain(Cli::tr("%1: the line speed is the server's; trying that one only")
                         .arg(m_ports.at(port)));
        findAtSpeed(port, 0);
    });
}

// Through a gateway: the first unit that answers a read of registers 00-01.
void Runner::findUnit(int port, int address)
{
    if (address > int(fieldSpec(Field::Address).max)) {
        m_link.close();
        findOnPort(port + 1);
        return;
    }
    progress(Cli::tr("%1 unit %2 ...").arg(m_ports.at(port)).arg(address));
    const Policy policy{m_inv.timeoutGiven ? m_inv.timeoutMs : scanWaitMs(m_inv.baud),
                        !m_inv.timeoutGiven, m_inv.retries, false};
    m_link.exchange(readRegistersFrame(quint8(address), Reg::LineSpeed, 2), policy,
                    [=](const Exchange &x) {
                        switch (x.result) {
                        case Exchange::Silent:
                        case Exchange::Damaged:
                            findUnit(port, address + 1);
                            return;
                        case Exchange::Reply:
                            // Registers 00-01: the speed the module keeps.
                            found(port, address, qFromBigEndian<quint32>(x.reply.constData() + 3));
                            return;
                        case Exchange::Exception:
                            found(port, address, 0);
                            return;
                        case Exchange::PortFailed:
                            progress(QString());
                            fail(x);
                            return;
                        }
                    });
}

void Runner::found(int port, int address, quint32 lineSpeed)
{
    progress(QString());
    const QJsonValue speed = lineSpeed ? QJsonValue(qint64(lineSpeed)) : QJsonValue();
    if (m_inv.json)
        outJson({{QStringLiteral("port"), m_ports.at(port)},
                 {QStringLiteral("line_speed"), speed},
                 {QStringLiteral("address"), address}});
    else if (lineSpeed)
        out(Cli::tr("%1  %2 bit/s  address %3").arg(m_ports.at(port)).arg(lineSpeed).arg(address));
    else
        out(Cli::tr("%1  the server's line speed  address %2").arg(m_ports.at(port)).arg(address));
    finish(0);
}

void Runner::findAtSpeed(int port, int speed)
{
    if (speed >= int(kSpeedOrder.size()) || (m_serverSpeed && speed > 0)) {
        m_link.close();
        findOnPort(port + 1);
        return;
    }
    const quint32 baud = m_serverSpeed ? m_inv.baud : kSpeedOrder[speed];
    // A module heard at the old speed must not be reported at this one.
    if (!m_link.setBaud(baud)) {
        findAtSpeed(port, speed + 1);
        return;
    }
    progress(Cli::tr("%1 at %2 bit/s ...").arg(m_ports.at(port)).arg(baud));
    const Policy policy{m_inv.timeoutGiven ? m_inv.timeoutMs : findWaitMs(baud),
                        !m_inv.timeoutGiven, m_inv.retries, false};
    m_link.exchange(readAddressFrame(), policy, [=](const Exchange &x) {
        switch (x.result) {
        case Exchange::Silent:
            findAtSpeed(port, speed + 1);
            return;
        case Exchange::Reply:
            found(port, reportedAddress(x.reply), m_serverSpeed ? 0 : baud);
            return;
        default:
            progress(QString());
            fail(x);
            return;
        }
    });
}

// Each port has its runner, all in this one event loop: the lines are scanned at once.
void Runner::scanPorts()
{
    const int n = int(m_inv.ports.size());
    m_lineSinks.assign(std::size_t(n), Sink());
    m_lineStatus.fill(-1, n);
    m_linesLeft = n;
    progress(Cli::tr("scanning %1 ports ...").arg(n));
    for (int i = 0; i < n; ++i) {
        Invocation one = m_inv;
        one.port = m_inv.ports.at(i);
        one.ports = QStringList{one.port};
        auto *line = new Runner(
            one, &m_lineSinks[std::size_t(i)],
            [this, i](int status) {
                m_lineStatus[i] = status;
                if (--m_linesLeft == 0)
                    portsScanned();
            },
            this);
        QTimer::singleShot(0, line, &Runner::start);
    }
}

// Results grouped by port, in the order the ports were given.
void Runner::portsScanned()
{
    progress(QString());
    QJsonArray ports;
    for (int i = 0; i < m_inv.ports.size(); ++i) {
        const QString &port = m_inv.ports.at(i);
        const Sink &sink = m_lineSinks[std::size_t(i)];
        if (m_inv.json) {
            QJsonObject o = sink.json.value(0);
            o.insert(QStringLiteral("port"), port);
            if (m_lineStatus.at(i) == 2)
                o.insert(QStringLiteral("error"), sink.err.join(QLatin1Char('\n')));
            ports.append(o);
        } else {
            out(port);
            for (const QString &line : sink.out)
                out(QStringLiteral("  ") + line);
        }
        for (const QString &e : sink.err)
            complain(e.contains(port) ? e : port + QStringLiteral(": ") + e);
    }
    if (m_inv.json)
        outJson({{QStringLiteral("ports"), ports}});
    if (m_lineStatus.contains(2))
        finish(2);
    else
        finish(m_lineStatus.contains(0) ? 0 : 5);
}

void Runner::scanNext()
{
    if (m_scanAddress > m_inv.to) {
        ++m_speedIndex;
        m_scanAddress = m_inv.from;
    }
    if (m_speedIndex >= m_speeds.size()) {
        scanDone();
        return;
    }
    const quint32 baud = m_speeds.at(m_speedIndex);
    if (m_link.baud() != baud && !m_link.setBaud(baud)) {
        // Nothing is heard at a speed the port refuses: its addresses count as silent.
        m_scanned += m_inv.to - m_scanAddress + 1;
        m_scanAddress = m_inv.to + 1;
        scanNext();
        return;
    }
    const int perSpeed = m_inv.to - m_inv.from + 1;
    const int total = perSpeed * int(m_speeds.size());
    if (m_progress) {
        const qint64 left =
            m_scanned > 0 ? m_scanClock.elapsed() * (total - m_scanned) / m_scanned / 1000 : 0;
        progress(Cli::tr("%1 bit/s  address %2 of %3  found %4  %5 s left")
                     .arg(baud)
                     .arg(m_scanAddress - m_inv.from + 1)
                     .arg(perSpeed)
                     .arg(m_modules.size())
                     .arg(left));
    }
    const Policy policy{m_inv.timeoutGiven ? m_inv.timeoutMs : scanWaitMs(baud),
                        !m_inv.timeoutGiven, m_inv.retries, false};
    const int address = m_scanAddress;
    m_link.exchange(readRegistersFrame(quint8(address), Reg::LineSpeed, 2), policy,
                    [=](const Exchange &x) {
                        switch (x.result) {
                        case Exchange::Reply:
                        case Exchange::Exception:
                            m_modules.append({address, m_serverSpeed ? 0 : baud});
                            break;
                        case Exchange::Damaged:
                            m_damaged.append({address, m_serverSpeed ? 0 : baud});
                            break;
                        case Exchange::Silent:
                            break;
                        case Exchange::PortFailed:
                            progress(QString());
                            fail(x);
                            return;
                        }
                        ++m_scanned;
                        ++m_scanAddress;
                        scanNext();
                    });
}

void Runner::scanDone()
{
    progress(QString());
    if (m_inv.json) {
        const auto list = [](const QVector<Found> &found) {
            QJsonArray a;
            for (const Found &f : found)
                a.append(
                    QJsonObject{{QStringLiteral("address"), f.address},
                                {QStringLiteral("line_speed"),
                                 f.lineSpeed ? QJsonValue(qint64(f.lineSpeed)) : QJsonValue()}});
            return a;
        };
        outJson({{QStringLiteral("modules"), list(m_modules)},
                 {QStringLiteral("damaged"), list(m_damaged)}});
    } else {
        for (const Found &f : m_modules)
            out(f.lineSpeed ? Cli::tr("address %1  %2 bit/s").arg(f.address).arg(f.lineSpeed)
                            : Cli::tr("address %1  the server's line speed").arg(f.address));
        for (const Found &f : m_damaged)
            out(Cli::tr("damaged replies at address %1: two modules may share this address, or "
                        "the line is noisy")
                    .arg(f.address));
    }
    if (m_modules.isEmpty()) {
        complain(Cli::tr("no module answered"));
        finish(5);
    } else {
        finish(0);
    }
}

void Runner::poll()
{
    ++m_sent;
    m_pollClock.start();
    const Policy policy{m_inv.timeoutMs, false, 0, false};
    m_link.exchange(readRegistersFrame(m_address, Reg::LineSpeed, Reg::Count), policy,
                    [this](const Exchange &x) {
                        const QString time =
                            QTime::currentTime().toString(QStringLiteral("hh:mm:ss"));
                        switch (x.result) {
                        case Exchange::Reply: {
                            ++m_answered;
                            m_rttMin = m_answered == 1 ? x.rttMs : qMin(m_rttMin, x.rttMs);
                            m_rttMax = qMax(m_rttMax, x.rttMs);
                            m_rttSum += x.rttMs;
                            ModuleState s;
                            decodeState(x.reply, &s);
                            if (m_inv.json) {
                                QJsonObject o = stateJson(s);
                                o.insert(QStringLiteral("rtt_ms"), qRound(x.rttMs * 10) / 10.0);
                                outJson(o);
                            } else {
                                out(time + QStringLiteral("  ") + stateLine(s, x.rttMs));
                            }
                            break;
                        }
                        case Exchange::Silent:
                            ++m_timeouts;
                            complain(time + QStringLiteral("  ") + Cli::tr("no reply"));
                            break;
                        case Exchange::Damaged:
                            ++m_crcErrors;
                            complain(time + QStringLiteral("  ") + Cli::tr("damaged reply"));
                            break;
                        case Exchange::Exception:
                            ++m_exceptions;
                            complain(time + QStringLiteral("  ") +
                                     Cli::tr("exception %1").arg(exceptionText(x.exceptionCode)));
                            break;
                        case Exchange::PortFailed:
                            fail(x);
                            return;
                        }
                        std::fflush(stdout);
                        if (m_inv.count > 0 && m_sent >= m_inv.count) {
                            summary();
                            return;
                        }
                        const qint64 wait = m_inv.intervalMs - m_pollClock.elapsed();
                        QTimer::singleShot(int(qMax<qint64>(0, wait)), this, [this] {
                            if (!m_finished)
                                poll();
                        });
                    });
}

void Runner::summary()
{
    if (m_finished)
        return;
    const double avg = m_answered > 0 ? m_rttSum / m_answered : 0;
    if (m_inv.json) {
        const auto rtt = [this](double v) {
            return m_answered > 0 ? QJsonValue(qRound(v * 10) / 10.0) : QJsonValue();
        };
        outJson({{QStringLiteral("summary"),
                  QJsonObject{{QStringLiteral("sent"), m_sent},
                              {QStringLiteral("answered"), m_answered},
                              {QStringLiteral("timeouts"), m_timeouts},
                              {QStringLiteral("crc_errors"), m_crcErrors},
                              {QStringLiteral("exceptions"), m_exceptions},
                              {QStringLiteral("rtt_ms"),
                               QJsonObject{{QStringLiteral("min"), rtt(m_rttMin)},
                                           {QStringLiteral("avg"), rtt(avg)},
                                           {QStringLiteral("max"), rtt(m_rttMax)}}}}}});
    } else {
        out(Cli::tr("sent %1, answered %2, timeouts %3, CRC errors %4, exceptions %5; round trip "
                    "min %6 / avg %7 / max %8 ms")
                .arg(m_sent)
                .arg(m_answered)
                .arg(m_timeouts)
                .arg(m_crcErrors)
                .arg(m_exceptions)
                .arg(m_rttMin, 0, 'f', 1)
                .arg(avg, 0, 'f', 1)
                .arg(m_rttMax, 0, 'f', 1));
    }
    finish(m_answered > 0 ? 0 : 3);
}

} // namespace quarvex::cli
