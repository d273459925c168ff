// find and scan: probes that wait briefly, and ask again, longer, when a reply comes late.
#include "runner.h"

#include "device/frames.h"
#include "report.h"

#include <QJsonArray>

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
    if (!openPort(m_ports.at(port), kSpeedOrder[0], !m_inv.port.isEmpty())) {
        if (!m_finished)
            findOnPort(port + 1);
        return;
    }
    findAtSpeed(port, 0, false);
}

void Runner::findAtSpeed(int port, int speed, bool confirming)
{
    if (speed >= int(kSpeedOrder.size())) {
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
    const quint32 baud = kSpeedOrder[m_slowestFirst ? kSpeedOrder.size() - 1 - speed : speed];
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
            progress(QString());
            const int address = reportedAddress(x.reply);
            if (m_inv.json)
                outJson({{QStringLiteral("port"), m_ports.at(port)},
                         {QStringLiteral("line_speed"), qint64(baud)},
                         {QStringLiteral("address"), address}});
            else
                out(Cli::tr("%1  %2 bit/s  address %3")
                        .arg(m_ports.at(port))
                        .arg(baud)
                        .arg(address));
            finish(0);
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
        const auto list = [](const QVector<Found> &found, bool damaged) {
            QJsonArray a;
            for (const Found &f : found) {
                QJsonObject o{{QStringLiteral("address"), f.address},
                              {QStringLiteral("line_speed"), qint64(f.lineSpeed)}};
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
        for (const Found &f : m_modules)
            out(Cli::tr("address %1  %2 bit/s").arg(f.address).arg(f.lineSpeed));
        for (const Found &f : m_damaged)
            out(Cli::tr("damaged replies at address %1  %2 bit/s: %3")
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
