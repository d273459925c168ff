#include "findcommand.h"

#include "device/frames.h"

#include <QSerialPortInfo>

namespace quarvex::cli {

FindCommand::FindCommand(Context *context) : CommandGroup(context)
{
    const Invocation &inv = m_ctx.inv();
    // Probes are brief; a reply that comes late has them asked again, longer.
    m_state.probeMs = inv.timeoutGiven ? inv.timeoutMs : kProbeTurnaroundMs;
    m_state.ceilingMs = qMax(inv.timeoutMs, kCommandTurnaroundMs);
    m_state.givenBaud = inv.baud;
    m_clock.start();
}

void FindCommand::start()
{
    if (!m_ctx.inv().port.isEmpty()) {
        m_ports << m_ctx.inv().port;
    } else {
        for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
            m_ports << info.systemLocation();
    }
    m_state.ports = int(m_ports.size());
    go(startFind(m_state));
}

void FindCommand::go(const FindStep &step)
{
    if (!step.note.isEmpty())
        trace(QStringLiteral("--"), {}, step.note);
    switch (step.kind) {
    case FindStep::OpenPort:
        openPort(step.port);
        return;
    case FindStep::ProbeSpeed:
        probeSpeed(step);
        return;
    case FindStep::ProbeUnit:
        probeUnit(step);
        return;
    case FindStep::Linger:
        m_ctx.engine().linger(step.waitMs, [this](const Exchange &x) {
            go(findLingered(m_state, ProbeOutcome::of(x), nowMs()));
        });
        return;
    case FindStep::Found:
        found(step);
        return;
    case FindStep::NothingFound:
        nothingFound();
        return;
    case FindStep::Failed:
        return; // told by the exchange that failed
    }
}

void FindCommand::openPort(int port)
{
    // A port named by the user must open; listed ones that do not are passed over.
    m_ctx.openPort(m_ports.at(port), kSpeedOrder[0], !m_ctx.inv().port.isEmpty(),
                   [this, port](bool ok) {
                       if (!ok && m_ctx.finished())
                           return;
                       const Transport *t = m_ctx.port();
                       const bool serverSpeed = ok && t->capabilities().carriesAddressFrames &&
                                                !t->capabilities().setsLineSpeed;
                       if (serverSpeed)
                           m_ctx.complain(Cli::tr("%1: the line speed is the server's; trying "
                                                  "that one only")
                                              .arg(m_ports.at(port)));
                       go(findPortOpened(m_state, ok, ok && t->capabilities().carriesAddressFrames,
                                         ok && t->capabilities().setsLineSpeed, nowMs()));
                   });
}

void FindCommand::probeSpeed(const FindStep &step)
{
    // A module heard at the old speed must not be reported at this one.
    if (!m_ctx.engine().setBaud(step.baud)) {
        go(findSpeedRefused(m_state, nowMs()));
        return;
    }
    m_ctx.progress(Cli::tr("%1 at %2 bit/s ...").arg(m_ports.at(step.port)).arg(step.baud));
    m_ctx.engine().exchange(readAddressFrame(), Policy::probe(step.waitMs, m_ctx.inv().retries),
                            [this](const Exchange &x) {
                                const FindStep next =
                                    findProbed(m_state, ProbeOutcome::of(x), nowMs());
                                if (next.kind == FindStep::Failed)
                                    m_ctx.fail(x);
                                go(next);
                            });
}

void FindCommand::probeUnit(const FindStep &step)
{
    m_ctx.progress(Cli::tr("%1 unit %2 ...").arg(m_ports.at(step.port)).arg(step.address));
    m_ctx.engine().exchange(readRegistersFrame(quint8(step.address), Reg::LineSpeed, 2),
                            Policy::probe(step.waitMs, m_ctx.inv().retries),
                            [this](const Exchange &x) {
                                const FindStep next = findUnitProbed(m_state, ProbeOutcome::of(x));
                                if (next.kind == FindStep::Failed)
                                    m_ctx.fail(x);
                                go(next);
                            });
}

// What was heard at each speed where something answered unreadably.
QStringList FindCommand::unreadableWords() const
{
    QStringList words;
    for (const FindState::Unreadable &u : m_state.unreadable)
        words << Cli::tr("%1 at %2: something answers, but unreadably: several modules at once, "
                         "noise, or a wrong speed; use scan")
                     .arg(m_ports.at(u.port), u.baud ? Cli::tr("%1 bit/s").arg(u.baud)
                                                     : Cli::tr("the server's line speed"));
    return words;
}

void FindCommand::tellNoise()
{
    if (const int n = m_ctx.engine().unaskedBytes())
        m_ctx.complain(Cli::tr("the line is noisy: %1 bytes arrived unasked").arg(n));
}

void FindCommand::nothingFound()
{
    tellNoise();
    if (m_ports.isEmpty()) {
        m_ctx.failWith(ExitStatus::NothingFound, Cli::tr("no serial port found"));
    } else if (!m_state.unreadable.isEmpty()) {
        m_ctx.failWith(ExitStatus::NoValidReply, unreadableWords().join(QLatin1Char('\n')));
    } else if (m_state.lateAddress >= 0) {
        m_ctx.failWith(ExitStatus::NoValidReply,
                       Cli::tr("a module at bus address %1 answered once, late, and not when "
                               "asked again: its line speed is not known; try a longer -t")
                           .arg(m_state.lateAddress));
    } else {
        m_ctx.failWith(ExitStatus::NothingFound, Cli::tr("no module found"));
    }
}

// lineSpeed 0: the server's, not known here.
void FindCommand::found(const FindStep &step)
{
    m_ctx.progress(QString());
    tellNoise();
    for (const QString &w : unreadableWords())
        m_ctx.complain(w);
    const QString &port = m_ports.at(step.port);
    const QJsonValue speed = step.baud ? QJsonValue(qint64(step.baud)) : QJsonValue();
    if (m_ctx.inv().json) {
        QJsonObject o{{QStringLiteral("port"), port},
                      {QStringLiteral("line_speed"), speed},
                      {QStringLiteral("address"), step.address}};
        if (step.storedSpeed)
            o.insert(QStringLiteral("stored_line_speed"), qint64(step.storedSpeed));
        m_ctx.outJson(o);
    } else if (step.storedSpeed) {
        m_ctx.out(Cli::tr("%1  the gateway's line speed  address %2 (stored line speed %3 "
                          "bit/s)")
                      .arg(port)
                      .arg(step.address)
                      .arg(step.storedSpeed));
    } else if (step.baud) {
        m_ctx.out(Cli::tr("%1  %2 bit/s  address %3").arg(port).arg(step.baud).arg(step.address));
    } else {
        m_ctx.out(Cli::tr("%1  the server's line speed  address %2").arg(port).arg(step.address));
    }
    m_ctx.finish(ExitStatus::Done);
}

} // namespace quarvex::cli
