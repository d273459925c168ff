// find and scan: probes that wait briefly, and ask again, longer, when a reply comes late.
#include "runner.h"

#include "device/fields.h"
#include "device/frames.h"
#include "report.h"

#include <QJsonArray>
#include <QTimer>
#include <QtEndian>

#include <algorithm>

namespace quarvex::cli {

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
    // Over tcp:// the server's speed, whatever it is, is the one tried.
    if (speed >= int(kSpeedOrder.size()) || (m_serverSpeed && speed > 0)) {
        if (m_lingered || m_probeMs >= m_ceilingMs) {
            m_lingered = false;
            m_slowestFirst = false;
            m_link.close();
            findOnPort(port + 1);
            return;
        }
        // A slow module's reply to one of the probes may still be on its way; at which
        // speed is not known, so they are all asked again, with time to answer.
        // Probes older than the longest wait are not waited for.
        m_lingered = true;
        const int ms = int(qMax<qint64>(0, m_ceilingMs - m_passClock.elapsed()));
        m_link.linger(ms, [=](const Exchange &x) {
            if (x.result == Exchange::Late) {
                // Likeliest from the last probes: the speeds are asked the other way round.
                m_probeMs = m_ceilingMs;
                m_slowestFirst = true;
                m_link.trace(QStringLiteral("--"), {},
                             QStringLiteral("a late reply: probing again, slowest speed first, "
                                            "with a %1 ms wait")
                                 .arg(m_probeMs));
                findAtSpeed(port, 0, false);
            } else {
                findAtSpeed(port, speed, false);
            }
        });
        return;
    }
    const quint32 baud = m_serverSpeed
                             ? m_inv.baud
                             : kSpeedOrder[m_slowestFirst ? kSpeedOrder.size() - 1 - speed : speed];
    if (speed == 0)
        m_passClock.start();
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
        const ScanPlace place = rewindAfterLate({m_speedIndex, address}, late, int(m_speeds.size()),
                                                m_inv.from, m_inv.to);
        m_speedIndex = place.speedIndex;
        m_scanAddress = place.address;
        // What was found from there on is asked again.
        const auto after = [this](const Found &f) {
            const int speed = int(m_speeds.indexOf(f.lineSpeed));
            return speed > m_speedIndex || (speed == m_speedIndex && f.address >= m_scanAddress);
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

} // namespace quarvex::cli
