#include "runner.h"

#include "console.h"
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
#include <QTimer>
#include <QtEndian>

#include <algorithm>
#include <cstdio>

namespace quarvex::cli {

namespace {

void print(const QString &text)
{
    std::fputs(consoleBytes(text).constData(), stdout);
    if (!text.endsWith(QLatin1Char('\n')))
        std::fputc('\n', stdout);
}

void printJson(const QJsonObject &o)
{
    std::fputs((compact(o) + '\n').constData(), stdout);
}

void printError(const QString &text)
{
    std::fprintf(stderr, "quarvexctl: %s\n", consoleBytes(text).constData());
}

int motorNumber(Motor m)
{
    return m == Motor::One ? 1 : 2;
}

// The value of a one-register read reply.
quint16 registerValue(const QByteArray &reply)
{
    return reply.size() >= 5 ? qFromBigEndian<quint16>(reply.constData() + 3) : 0;
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
    m_progress = stderrRedraws();
    // find and scan probe briefly and ask again, longer, when a reply comes late.
    m_probeMs = m_inv.timeoutGiven ? m_inv.timeoutMs : kProbeTurnaroundMs;
    m_ceilingMs = qMax(m_inv.timeoutMs, kCommandTurnaroundMs);
    watchSpeed();
}

Runner::Runner(const Invocation &invocation, Sink *sink, std::function<void(int)> done,
               QObject *parent)
    : Runner(invocation, parent)
{
    m_sink = sink;
    m_done = std::move(done);
    m_progress = false;
}

void Runner::watchSpeed()
{
    connect(&m_link, &Link::speedReplaced, this, [this](quint32 chosen, quint32 actual) {
        complain(Cli::tr("the server runs the line at %1 bit/s, not at the %2 chosen")
                     .arg(actual)
                     .arg(chosen));
    });
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

void Runner::failWith(int status, const QString &message)
{
    progress(QString());
    complain(message);
    if (m_inv.json)
        outJson(errorJson(status, message));
    finish(status);
}

void Runner::progress(const QString &line)
{
    if (!m_progress)
        return;
    // Redrawn in place; an empty line clears it.
    std::fprintf(stderr, "\r\033[K%s", consoleBytes(line).constData());
    std::fflush(stderr);
}

void Runner::fail(const Exchange &x)
{
    switch (x.result) {
    case Exchange::Reply:
    case Exchange::Broadcast:
    case Exchange::Late:
        break;
    case Exchange::Exception:
        failWith(4, Cli::tr("the module refused the request: exception %1")
                        .arg(exceptionText(x.exceptionCode)));
        return;
    case Exchange::Silent: {
        QString text =
            x.tries == 1 ? Cli::tr("no reply") : Cli::tr("no reply after %1 tries").arg(x.tries);
        if (x.damage == Damage::Noise)
            text += QStringLiteral("; ") + damageText(Damage::Noise);
        failWith(3, text);
        return;
    }
    case Exchange::Damaged:
        failWith(
            3, Cli::tr("no valid reply after %1 tries: %2").arg(x.tries).arg(damageText(x.damage)));
        return;
    case Exchange::PortFailed:
        failWith(2, x.portGone ? Cli::tr("the port went away") : x.portError);
        return;
    }
}

void Runner::openPort(const QString &name, quint32 baud, bool reportFailure,
                      const std::function<void(bool)> &next)
{
    m_link.open(name, baud, [=](const TransportError *failure) {
        if (!failure) {
            // Over a network every try waits for the round trip too, unless -t says how long.
            if (m_link.port()->scheme() != Scheme::Serial && !m_inv.timeoutGiven)
                m_link.setExtraWaitMs(networkWaitMs(m_link.port()->roundTripMs()));
            next(true);
            return;
        }
        if (reportFailure)
            failWith(2, portFailureText(name, *failure));
        next(false);
    });
}

// A Modbus TCP gateway takes bus address 0 for a broadcast and never answers it: the
// address frames are refused before anything is sent.
bool Runner::refuseAddressFrames()
{
    const bool addressFrames = (m_inv.verb == Verb::Address && !m_inv.address) ||
                               m_inv.verb == Verb::SetAddress ||
                               (m_inv.needsAddress() && !m_inv.address) ||
                               (m_inv.verb == Verb::Send && !m_inv.frame.isEmpty() &&
                                quint8(m_inv.frame.at(0)) == kAddressFrameBus);
    if (!addressFrames || parsePortName(m_inv.port).scheme != Scheme::ModbusTcp)
        return false;
    failWith(1, Cli::tr("the address frames need a transparent link: use tcp:// or rfc2217://"));
    return true;
}

Policy Runner::commandPolicy() const
{
    return Policy{m_inv.timeoutMs, m_inv.retries, true, false};
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

void Runner::interrupt(int status)
{
    if (m_finished)
        return;
    if (!m_lineSinks.empty()) {
        // Each port's runner ends with what it found; the groups follow.
        for (Runner *line : findChildren<Runner *>(QString(), Qt::FindDirectChildrenOnly))
            line->interrupt(status);
        return;
    }
    if (m_inv.verb == Verb::Watch) {
        summary();
        return;
    }
    if (m_inv.verb == Verb::Scan) {
        scanDone(status);
        return;
    }
    progress(QString());
    if (m_inv.json)
        outJson(errorJson(status, Cli::tr("interrupted")));
    finish(status);
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
            failWith(3, Cli::tr("the module reported bus address %1, outside %2-%3; nothing was "
                                "sent to it")
                            .arg(address)
                            .arg(range.min)
                            .arg(range.max));
            return;
        }
        next(address);
    });
}

void Runner::withAlarm(quint8 address, Motor motor, const std::function<void(bool)> &next)
{
    m_link.exchange(readRegistersFrame(address, motorRegisters(motor).alarm, 1), commandPolicy(),
                    [this, next](const Exchange &x) {
                        if (x.result != Exchange::Reply)
                            return fail(x);
                        next(registerValue(x.reply) != 0);
                    });
}

void Runner::run(quint8 address)
{
    switch (m_inv.verb) {
    case Verb::Address:
        if (m_inv.address) {
            // A question to that address alone: it works on a shared line too.
            const int a = *m_inv.address;
            m_link.exchange(readRegistersFrame(quint8(a), Reg::LineSpeed, 2), commandPolicy(),
                            [this, a](const Exchange &x) {
                                if (x.result == Exchange::Silent) {
                                    failWith(3,
                                             Cli::tr("no module answers at bus address %1").arg(a));
                                    return;
                                }
                                if (x.result != Exchange::Reply && x.result != Exchange::Exception)
                                    return fail(x);
                                if (m_inv.json)
                                    outJson({{QStringLiteral("address"), a},
                                             {QStringLiteral("answers"), true}});
                                else
                                    out(Cli::tr("a module answers at bus address %1").arg(a));
                                finish(0);
                            });
            return;
        }
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
                        [this](const Exchange &x) {
                            if (x.result != Exchange::Reply)
                                return fail(x);
                            ModuleState s;
                            decodeState(x.reply, &s);
                            if (m_inv.json)
                                outJson(stateJson(s, m_link.baud()));
                            else
                                out(stateText(s, m_link.baud()));
                            finish(0);
                        });
        return;
    case Verb::Motor:
        // The module acknowledges a write to a motor whose alarm stands, and ignores it.
        withAlarm(address, m_inv.motor, [this, address](bool alarm) {
            const int n = motorNumber(m_inv.motor);
            if (alarm) {
                failWith(6, Cli::tr("not applied: the over-current alarm of motor %1 stands, and "
                                    "the module ignores commands to it until it is cleared with "
                                    "'quarvexctl alarm clear %1'; nothing was sent")
                                .arg(n));
                return;
            }
            command(buildCommand(m_inv.command, address, m_inv.value), Cli::tr("done"));
        });
        return;
    case Verb::AlarmClear:
        withAlarm(address, m_inv.motor, [this, address](bool alarm) {
            const int n = motorNumber(m_inv.motor);
            if (!alarm) {
                if (m_inv.json)
                    outJson({{QStringLiteral("motor"), n}, {QStringLiteral("alarm_stood"), false}});
                else
                    out(Cli::tr("no alarm stood on motor %1; nothing changed").arg(n));
                finish(0);
                return;
            }
            command(clearAlarmFrame(address, m_inv.motor),
                    Cli::tr("alarm of motor %1 cleared; its parameters are back at their "
                            "power-up values")
                        .arg(n),
                    {{QStringLiteral("motor"), n}, {QStringLiteral("alarm_stood"), true}});
        });
        return;
    case Verb::SetSpeed:
        command(buildCommand(Command::SetLineSpeed, address, m_inv.value),
                Cli::tr("line speed %1 bit/s stored; it takes effect when the module restarts")
                    .arg(m_inv.value));
        return;
    case Verb::SetAddress:
        checkAddress([this] { setAddress(); });
        return;
    case Verb::Send:
        command(m_inv.frame, QString());
        return;
    case Verb::Watch:
        m_address = address;
        if (m_inv.csv)
            out(csvHeader());
        poll();
        return;
    default:
        return;
    }
}

// The write goes to bus address 0: every module on the line would take it. So the
// module is asked first, unless --force says the line is known to hold one.
void Runner::checkAddress(const std::function<void()> &next)
{
    if (m_inv.force && !m_inv.address) {
        next();
        return;
    }
    m_link.exchange(readAddressFrame(), commandPolicy(), [this, next](const Exchange &x) {
        if (x.result == Exchange::Damaged) {
            failWith(3, damageText(x.damage) + QLatin1Char('\n') +
                            Cli::tr("the address was not changed (--force skips this check)"));
        } else if (x.result != Exchange::Reply) {
            fail(x);
        } else if (m_inv.address && reportedAddress(x.reply) != *m_inv.address) {
            failWith(6, Cli::tr("the module answering is at bus address %1, not %2; the address "
                                "was not changed")
                            .arg(reportedAddress(x.reply))
                            .arg(*m_inv.address));
        } else {
            next();
        }
    });
}

void Runner::setAddress()
{
    const QByteArray frame = buildCommand(Command::WriteAddress, quint8(m_inv.value), 0);
    m_link.exchange(frame, commandPolicy(), [this](const Exchange &w) {
        if (w.result != Exchange::Reply)
            return fail(w);
        // What the module answers now, not what it was told.
        m_link.exchange(readAddressFrame(), commandPolicy(), [this, w](const Exchange &x) {
            if (x.result != Exchange::Reply)
                return fail(x);
            const int now = reportedAddress(x.reply);
            if (now != int(m_inv.value)) {
                failWith(
                    6, Cli::tr("the module acknowledged, but answers at bus address %1").arg(now));
                return;
            }
            if (m_inv.json)
                outJson({{QStringLiteral("request"), hexText(w.request)},
                         {QStringLiteral("reply"), hexText(w.reply)},
                         {QStringLiteral("address"), now}});
            else
                out(Cli::tr("bus address now %1").arg(now));
            finish(0);
        });
    });
}

void Runner::command(const QByteArray &frame, const QString &doneText, const QJsonObject &extra)
{
    m_link.exchange(frame, commandPolicy(), [this, doneText, extra](const Exchange &x) {
        if (x.result == Exchange::Broadcast) {
            if (m_inv.json)
                outJson({{QStringLiteral("request"), hexText(x.request)},
                         {QStringLiteral("reply"), QJsonValue()}});
            else
                out(Cli::tr("broadcast: no reply expected"));
            finish(0);
            return;
        }
        if (x.result != Exchange::Reply)
            return fail(x);
        if (m_inv.json) {
            QJsonObject o = extra;
            o.insert(QStringLiteral("request"), hexText(x.request));
            o.insert(QStringLiteral("reply"), hexText(x.reply));
            outJson(o);
        } else {
            out(doneText.isEmpty() ? hexText(x.reply) : doneText);
        }
        finish(0);
    });
}

void Runner::listPorts()
{
    QJsonArray list;
    if (!m_inv.json)
        out(Cli::tr("PORT  DESCRIPTION  MAKER  SERIAL  BY-ID"));
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
        failWith(5,
                 m_ports.isEmpty() ? Cli::tr("no serial port found") : Cli::tr("no module found"));
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
        findAtSpeed(port, 0, false);
    });
}

// Through a gateway: the first unit that answers a read of registers 00-01. A late reply
// cannot mislead here: the gateway's transaction identifier pairs it.
void Runner::findUnit(int port, int address)
{
    if (address > int(fieldSpec(Field::Address).max)) {
        m_link.close();
        findOnPort(port + 1);
        return;
    }
    progress(Cli::tr("%1 unit %2 ...").arg(m_ports.at(port)).arg(address));
    const Policy policy{m_probeMs, m_inv.retries, false, false};
    m_link.exchange(readRegistersFrame(quint8(address), Reg::LineSpeed, 2), policy,
                    [=](const Exchange &x) {
                        switch (x.result) {
                        case Exchange::Reply:
                            // Registers 00-01: the speed the module keeps.
                            found(port, address, qFromBigEndian<quint32>(x.reply.constData() + 3));
                            return;
                        case Exchange::Exception:
                            found(port, address, 0);
                            return;
                        case Exchange::PortFailed:
                            fail(x);
                            return;
                        default:
                            findUnit(port, address + 1);
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

void Runner::findAtSpeed(int port, int speed, bool confirming)
{
    if (speed >= int(kSpeedOrder.size()) || (m_serverSpeed && speed > 0)) {
        m_link.close();
        findOnPort(port + 1);
        return;
    }
    const quint32 baud = m_serverSpeed ? m_inv.baud : kSpeedOrder[speed];
    // A module heard at the old speed must not be reported at this one.
    if (!m_link.setBaud(baud)) {
        findAtSpeed(port, speed + 1, false);
        return;
    }
    progress(Cli::tr("%1 at %2 bit/s ...").arg(m_ports.at(port)).arg(baud));
    const Policy policy{confirming ? m_ceilingMs : m_probeMs, m_inv.retries, false, false};
    m_link.exchange(readAddressFrame(), policy, [=](const Exchange &x) {
        switch (x.result) {
        case Exchange::Silent:
            if (confirming && m_probeMs < m_ceilingMs) {
                // The reply that came belonged to a probe at an earlier speed.
                m_probeMs = m_ceilingMs;
                m_link.trace(QStringLiteral("--"), {},
                             QStringLiteral("that reply was late: probing again with a %1 ms wait")
                                 .arg(m_probeMs));
                findAtSpeed(port, 0, false);
                return;
            }
            findAtSpeed(port, speed + 1, false);
            return;
        case Exchange::Reply: {
            if (x.couldBeLate && !confirming) {
                // The same request went out at the speeds before: a slow module's reply
                // to one of them can land here. Asked again, with time to answer.
                m_link.trace(QStringLiteral("--"), {},
                             QStringLiteral("a reply that may be late: asking again at %1 bit/s "
                                            "with a %2 ms wait")
                                 .arg(baud)
                                 .arg(m_ceilingMs));
                findAtSpeed(port, speed, true);
                return;
            }
            found(port, reportedAddress(x.reply), m_serverSpeed ? 0 : baud);
            return;
        }
        case Exchange::Damaged:
            if (x.couldBeLate && !confirming) {
                findAtSpeed(port, speed, true);
                return;
            }
            fail(x);
            return;
        default:
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
    // A port that failed outweighs the others' findings; any module found, the rest.
    if (m_lineStatus.contains(2))
        finish(2);
    else if (m_lineStatus.contains(0))
        finish(0);
    else
        finish(*std::max_element(m_lineStatus.begin(), m_lineStatus.end()));
}

void Runner::scanNext(bool confirming)
{
    if (m_scanAddress > m_inv.to) {
        ++m_speedIndex;
        m_scanAddress = m_inv.from;
    }
    if (m_speedIndex >= m_speeds.size()) {
        if (m_lingered || m_probeMs >= m_ceilingMs) {
            scanDone();
            return;
        }
        // The last addresses' replies may still be on their way.
        m_lingered = true;
        m_link.linger(m_ceilingMs, [this](const Exchange &x) {
            if (x.result == Exchange::Late) {
                m_lingered = false;
                scanLate(x, m_inv.to + 1);
            } else {
                scanNext();
            }
        });
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
    const Policy policy{confirming ? m_ceilingMs : m_probeMs, m_inv.retries, false, true};
    const int address = m_scanAddress;
    m_link.exchange(
        readRegistersFrame(quint8(address), Reg::LineSpeed, 2), policy, [=](const Exchange &x) {
            switch (x.result) {
            case Exchange::Reply:
            case Exchange::Exception:
                if (x.couldBeLate && !confirming) {
                    // This address was asked at another speed a moment ago.
                    m_link.trace(QStringLiteral("--"), {},
                                 QStringLiteral("a reply that may be late: asking address %1 "
                                                "again with a %2 ms wait")
                                     .arg(address)
                                     .arg(m_ceilingMs));
                    scanNext(true);
                    return;
                }
                m_modules.append({address, baud, Damage::None});
                break;
            case Exchange::Damaged:
                if (x.couldBeLate && !confirming) {
                    scanNext(true);
                    return;
                }
                m_damaged.append({address, baud, x.damage});
                break;
            case Exchange::Silent:
                if (confirming && m_probeMs < m_ceilingMs) {
                    // It was late: the whole scan again, with time for a slow module.
                    m_probeMs = m_ceilingMs;
                    m_link.trace(QStringLiteral("--"), {},
                                 QStringLiteral("that reply was late: scanning again with a %1 "
                                                "ms wait")
                                     .arg(m_probeMs));
                    m_modules.clear();
                    m_damaged.clear();
                    m_speedIndex = 0;
                    m_scanAddress = m_inv.from;
                    scanNext();
                    return;
                }
                break;
            case Exchange::Late:
                scanLate(x, address);
                return;
            case Exchange::Broadcast:
                break;
            case Exchange::PortFailed:
                fail(x);
                return;
            }
            ++m_scanned;
            ++m_scanAddress;
            scanNext();
        });
}

// The reply of an address asked before came while `address` was asked: never this
// address's. The probes wait longer from the late one on.
void Runner::scanLate(const Exchange &x, int address)
{
    const int late = quint8(x.lateRequest.at(0));
    if (m_probeMs < m_ceilingMs) {
        m_probeMs = longerProbeMs(m_probeMs, x.lateMs, m_ceilingMs);
        m_link.trace(QStringLiteral("--"), {},
                     QStringLiteral("a late reply from address %1 (%2 ms): probing again from "
                                    "there with a %3 ms wait")
                         .arg(late)
                         .arg(x.lateMs)
                         .arg(m_probeMs));
        // Past the last speed, or an address above this one: asked at the speed before.
        if (m_speedIndex >= m_speeds.size() || (late > address && m_speedIndex > 0))
            --m_speedIndex;
        m_scanAddress = qBound(m_inv.from, late, m_inv.to);
        const auto after = [this](const Found &f) {
            return f.lineSpeed == m_speeds.at(m_speedIndex) && f.address >= m_scanAddress;
        };
        m_modules.erase(std::remove_if(m_modules.begin(), m_modules.end(), after), m_modules.end());
        m_damaged.erase(std::remove_if(m_damaged.begin(), m_damaged.end(), after), m_damaged.end());
    } else if (m_speedIndex < m_speeds.size()) {
        // Already waiting the longest: the late one is credited to its own address, and
        // this address is asked again.
        const Found f{late, m_speeds.at(m_speedIndex), x.damage};
        (x.damage == Damage::None ? m_modules : m_damaged).append(f);
    }
    scanNext();
}

void Runner::scanDone(int interruptedStatus)
{
    progress(QString());
    if (m_inv.json) {
        const bool serverSpeed = m_serverSpeed;
        const auto list = [serverSpeed](const QVector<Found> &found, bool damaged) {
            QJsonArray a;
            for (const Found &f : found) {
                QJsonObject o{{QStringLiteral("address"), f.address},
                              {QStringLiteral("line_speed"),
                               serverSpeed ? QJsonValue() : QJsonValue(qint64(f.lineSpeed))}};
                if (damaged)
                    o.insert(QStringLiteral("damage"), damageName(f.damage));
                a.append(o);
            }
            return a;
        };
        QJsonObject o{{QStringLiteral("modules"), list(m_modules, false)},
                      {QStringLiteral("damaged"), list(m_damaged, true)}};
        if (interruptedStatus)
            o.insert(QStringLiteral("interrupted"), true);
        outJson(o);
    } else {
        // Over tcp:// the speed is the server's, whatever -b said.
        for (const Found &f : m_modules)
            out(m_serverSpeed ? Cli::tr("address %1  the server's line speed").arg(f.address)
                              : Cli::tr("address %1  %2 bit/s").arg(f.address).arg(f.lineSpeed));
        for (const Found &f : m_damaged)
            out(m_serverSpeed ? Cli::tr("damaged replies at address %1  the server's line "
                                        "speed: %2")
                                    .arg(f.address)
                                    .arg(damageText(f.damage))
                              : Cli::tr("damaged replies at address %1  %2 bit/s: %3")
                                    .arg(f.address)
                                    .arg(f.lineSpeed)
                                    .arg(damageText(f.damage)));
    }
    if (interruptedStatus) {
        complain(Cli::tr("interrupted: what was found until then is listed"));
        finish(interruptedStatus);
    } else if (!m_modules.isEmpty()) {
        finish(0);
    } else if (!m_damaged.isEmpty()) {
        complain(Cli::tr("no valid reply, only damaged ones"));
        finish(3);
    } else {
        complain(Cli::tr("no module answered"));
        finish(5);
    }
}

void Runner::poll()
{
    m_pollClock.start();
    const Policy policy{m_inv.timeoutMs, 0, false, false};
    m_link.exchange(readRegistersFrame(m_address, Reg::LineSpeed, Reg::Count), policy,
                    [this](const Exchange &x) {
                        if (x.result == Exchange::PortFailed) {
                            complain(x.portGone ? Cli::tr("the port went away") : x.portError);
                            summary(2);
                            return;
                        }
                        record(x);
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

// One record a poll, answered or not, stamped to the millisecond.
void Runner::record(const Exchange &x)
{
    ++m_sent;
    PollRecord r;
    r.time = QDateTime::currentDateTime();
    switch (x.result) {
    case Exchange::Reply:
        ++m_answered;
        m_rttMin = m_answered == 1 ? x.rttMs : qMin(m_rttMin, x.rttMs);
        m_rttMax = qMax(m_rttMax, x.rttMs);
        m_rttSum += x.rttMs;
        r.answered = decodeState(x.reply, &r.state);
        r.rttMs = x.rttMs;
        break;
    case Exchange::Silent:
        ++(x.damage == Damage::Noise ? m_noise : m_timeouts);
        r.damage = x.damage;
        break;
    case Exchange::Damaged:
        ++(x.damage == Damage::CutOff ? m_cutOff : m_crcErrors);
        r.damage = x.damage;
        break;
    case Exchange::Exception:
        ++m_exceptions;
        r.exception = exceptionText(x.exceptionCode);
        break;
    default:
        break;
    }
    if (m_inv.csv)
        out(csvRecord(r));
    else if (m_inv.json)
        outJson(jsonRecord(r));
    else
        out(textRecord(r));
    std::fflush(stdout);
}

void Runner::summary(int status)
{
    if (m_finished)
        return;
    Summary s{m_sent,       m_answered, m_timeouts,
              m_noise,      m_cutOff,   m_crcErrors,
              m_exceptions, m_rttMin,   m_answered > 0 ? m_rttSum / m_answered : 0,
              m_rttMax};
    if (m_inv.json)
        outJson(summaryJson(s));
    else if (m_inv.csv)
        complain(summaryText(s)); // the CSV stays rows only
    else
        out(summaryText(s));
    finish(status >= 0 ? status : (m_answered > 0 ? 0 : 3));
}

} // namespace quarvex::cli
