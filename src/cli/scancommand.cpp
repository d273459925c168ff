#include "scancommand.h"

#include "device/frames.h"
#include "report.h"

#include <QJsonArray>
#include <QTimer>

#include <algorithm>

namespace quarvex::cli {

void ScanCommand::start()
{
    const Invocation &inv = m_ctx.inv();
    if (inv.ports.size() > 1) {
        scanPorts();
        return;
    }
    m_ctx.openPort(inv.port, inv.baud, true, [this](bool ok) {
        if (ok)
            opened();
    });
}

void ScanCommand::opened()
{
    const Invocation &inv = m_ctx.inv();
    m_serverSpeed = !m_ctx.port()->capabilities().setsLineSpeed;
    m_gateway = !m_ctx.port()->capabilities().carriesAddressFrames;
    if (m_serverSpeed && inv.allSpeeds)
        m_ctx.complain(
            Cli::tr("%1: the line speed is the server's; scanning at that one only").arg(inv.port));
    const QVector<quint32> speeds = inv.allSpeeds && !m_serverSpeed
                                        ? QVector<quint32>(kSpeedOrder.begin(), kSpeedOrder.end())
                                        : QVector<quint32>{inv.baud};
    // Probes are brief; a reply that comes late has them asked again, longer.
    m_state.emplace(speeds, inv.from, inv.to, inv.timeoutGiven ? inv.timeoutMs : kProbeTurnaroundMs,
                    qMax(inv.timeoutMs, kCommandTurnaroundMs));
    m_clock.start();
    go(nextScanStep(*m_state));
}

void ScanCommand::go(const ScanStep &step)
{
    if (!step.note.isEmpty())
        trace(QStringLiteral("--"), {}, step.note);
    switch (step.kind) {
    case ScanStep::Probe:
        probe(step);
        return;
    case ScanStep::Linger:
        m_ctx.engine().linger(step.waitMs, [this](const Exchange &x) {
            go(scanLingered(*m_state, ProbeOutcome::of(x)));
        });
        return;
    case ScanStep::Done:
        done();
        return;
    case ScanStep::PortFailed:
        return; // told with what was found by the probe that failed
    }
}

void ScanCommand::probe(const ScanStep &step)
{
    RequestEngine &engine = m_ctx.engine();
    if (engine.baud() != step.baud && !engine.setBaud(step.baud)) {
        go(scanSpeedRefused(*m_state));
        return;
    }
    showProgress(step);
    engine.exchange(readRegistersFrame(quint8(step.address), Reg::LineSpeed, 2),
                    Policy::probe(step.waitMs, m_ctx.inv().retries).reportingLate(),
                    [this](const Exchange &x) {
                        const ScanStep next = scanProbed(*m_state, ProbeOutcome::of(x));
                        if (next.kind == ScanStep::PortFailed)
                            done(std::nullopt, Context::portGoneWords(x));
                        else
                            go(next);
                    });
}

void ScanCommand::showProgress(const ScanStep &step)
{
    if (!m_ctx.showsProgress())
        return;
    const ScanState &s = *m_state;
    const int perSpeed = s.to - s.from + 1;
    const qint64 left =
        s.scanned > 0 ? m_clock.elapsed() * (s.total() - s.scanned) / s.scanned / 1000 : 0;
    m_ctx.progress(Cli::tr("%1 bit/s  address %2 of %3  found %4  %5 s left")
                       .arg(step.baud)
                       .arg(step.address - s.from + 1)
                       .arg(perSpeed)
                       .arg(s.modules.size())
                       .arg(left));
}

void ScanCommand::interrupt(ExitStatus status)
{
    if (m_ctx.finished())
        return;
    if (!m_lines.empty()) {
        // Each port's scan ends with what it found; the groups follow.
        for (const auto &line : m_lines)
            line->scan->interrupt(status);
        return;
    }
    done(status);
}

QJsonObject ScanCommand::resultJson(const ScanState &s) const
{
    const bool serverSpeed = m_serverSpeed;
    const auto list = [serverSpeed](const QVector<ScanFound> &found, bool damaged) {
        QJsonArray a;
        for (const ScanFound &f : found) {
            QJsonObject o{{QStringLiteral("address"), f.address},
                          {QStringLiteral("line_speed"),
                           serverSpeed ? QJsonValue() : QJsonValue(qint64(f.lineSpeed))}};
            if (damaged)
                o.insert(QStringLiteral("damage"), damageName(f.damage));
            if (f.lateMs)
                o.insert(QStringLiteral("answered_once_late_ms"), f.lateMs);
            a.append(o);
        }
        return a;
    };
    return {{QStringLiteral("modules"), list(s.modules, false)},
            {QStringLiteral("damaged"), list(s.damaged, true)},
            {QStringLiteral("noise_bytes"), m_ctx.engine().unaskedBytes()}};
}

QStringList ScanCommand::resultText(const ScanState &s) const
{
    // Over tcp:// the speed is the server's, behind a gateway the gateway's, whatever -b said.
    const auto speed = [this](const ScanFound &f) {
        if (!m_serverSpeed)
            return Cli::tr("%1 bit/s").arg(f.lineSpeed);
        return m_gateway ? Cli::tr("the gateway's line speed") : Cli::tr("the server's line speed");
    };
    QStringList lines;
    for (const ScanFound &f : s.modules)
        lines << (f.lateMs ? Cli::tr("address %1  %2  answered once, late, %3 ms")
                                 .arg(f.address)
                                 .arg(speed(f))
                                 .arg(f.lateMs)
                           : Cli::tr("address %1  %2").arg(f.address).arg(speed(f)));
    // Whatever shape the bytes took, the causes are the same.
    for (const ScanFound &f : s.damaged)
        lines << Cli::tr("damaged replies at address %1  %2: two modules at one address, a "
                         "wrong speed, or noise")
                     .arg(f.address)
                     .arg(speed(f));
    return lines;
}

// What was found is told however the scan ends: done, interrupted, or with the port lost.
void ScanCommand::done(std::optional<ExitStatus> interrupted, const QString &portFailure)
{
    m_ctx.progress(QString());
    const Invocation &inv = m_ctx.inv();
    // Interrupted before the port opened: nothing found.
    const ScanState s = m_state.value_or(ScanState({}, inv.from, inv.to, 0, 0));
    if (inv.json) {
        QJsonObject o = resultJson(s);
        if (interrupted)
            o.insert(QStringLiteral("interrupted"), true);
        if (!portFailure.isEmpty())
            o.insert(QStringLiteral("error"), errorJson(code(ExitStatus::PortFailed), portFailure)
                                                  .value(QStringLiteral("error")));
        m_ctx.outJson(o);
    } else {
        for (const QString &line : resultText(s))
            m_ctx.out(line);
    }
    if (const int noise = m_ctx.engine().unaskedBytes())
        m_ctx.complain(Cli::tr("the line is noisy: %1 bytes arrived unasked").arg(noise));
    if (!portFailure.isEmpty()) {
        m_ctx.complain(portFailure);
        m_ctx.finish(ExitStatus::PortFailed);
    } else if (interrupted) {
        m_ctx.complain(Cli::tr("interrupted: what was found until then is listed"));
        m_ctx.finish(*interrupted);
    } else if (!s.modules.isEmpty()) {
        m_ctx.finish(ExitStatus::Done);
    } else if (!s.damaged.isEmpty()) {
        m_ctx.complain(Cli::tr("no valid reply, only damaged ones"));
        m_ctx.finish(ExitStatus::NoValidReply);
    } else {
        m_ctx.complain(Cli::tr("no module answered"));
        m_ctx.finish(ExitStatus::NothingFound);
    }
}

// Each port has its own context and scan, all in this one event loop: the lines are
// scanned at once.
void ScanCommand::scanPorts()
{
    const Invocation &inv = m_ctx.inv();
    const int n = int(inv.ports.size());
    m_linesLeft = n;
    m_ctx.progress(Cli::tr("scanning %1 ports ...").arg(n));
    for (int i = 0; i < n; ++i) {
        Invocation one = inv;
        one.port = inv.ports.at(i);
        one.ports = QStringList{one.port};
        auto line = std::make_unique<Line>();
        Line *l = line.get();
        l->context = new Context(
            one, &l->sink,
            [this, l](ExitStatus status) {
                l->status = status;
                if (--m_linesLeft == 0)
                    portsScanned();
            },
            this);
        l->scan = new ScanCommand(l->context);
        m_lines.push_back(std::move(line));
        QTimer::singleShot(0, l->scan, &CommandGroup::start);
    }
}

// Results grouped by port, in the order the ports were given.
void ScanCommand::portsScanned()
{
    m_ctx.progress(QString());
    const Invocation &inv = m_ctx.inv();
    QJsonArray ports;
    QVector<int> statuses;
    for (int i = 0; i < inv.ports.size(); ++i) {
        const QString &port = inv.ports.at(i);
        const Line &line = *m_lines[std::size_t(i)];
        statuses << code(line.status.value_or(ExitStatus::Done));
        if (inv.json) {
            QJsonObject o = line.sink.json.value(0);
            o.insert(QStringLiteral("port"), port);
            ports.append(o);
        } else {
            m_ctx.out(port);
            for (const QString &text : line.sink.out)
                m_ctx.out(QStringLiteral("  ") + text);
        }
        for (const QString &e : line.sink.err)
            m_ctx.complain(e.contains(port) ? e : port + QStringLiteral(": ") + e);
    }
    if (inv.json)
        m_ctx.outJson({{QStringLiteral("ports"), ports}});
    // A port that failed outweighs the others' findings; any module found, the rest.
    if (statuses.contains(code(ExitStatus::PortFailed)))
        m_ctx.finish(ExitStatus::PortFailed);
    else if (statuses.contains(code(ExitStatus::Done)))
        m_ctx.finish(ExitStatus::Done);
    else
        m_ctx.finish(ExitStatus(*std::max_element(statuses.begin(), statuses.end())));
}

} // namespace quarvex::cli
