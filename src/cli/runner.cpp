#include "runner.h"

#include "console.h"
#include "device/fields.h"
#include "device/frames.h"
#include "portwords.h"
#include "report.h"

#include <QCoreApplication>
#include <QSerialPortInfo>

#include <cstdio>

namespace quarvex::cli {

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
        cli::out(text);
}

void Runner::outJson(const QJsonObject &o)
{
    if (m_sink)
        m_sink->json << o;
    else
        cli::outJson(o);
}

void Runner::complain(const QString &text)
{
    if (m_sink)
        m_sink->err << text;
    else
        cli::complain(text);
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

} // namespace quarvex::cli
