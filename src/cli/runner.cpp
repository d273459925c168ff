#include "runner.h"

#include "device/fields.h"
#include "device/frames.h"
#include "report.h"

#include <QCoreApplication>
#include <QSerialPortInfo>

#include <cstdio>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace quarvex::cli {

namespace {

bool stderrIsTerminal()
{
#ifdef Q_OS_UNIX
    return ::isatty(STDERR_FILENO) == 1;
#else
    return false;
#endif
}

} // namespace

Runner::Runner(const Invocation &invocation, QObject *parent)
    : QObject(parent), m_inv(invocation), m_link(invocation.verbose)
{
    m_progress = stderrIsTerminal();
    // find and scan probe briefly and ask again, longer, when a reply comes late.
    m_probeMs = m_inv.timeoutGiven ? m_inv.timeoutMs : kProbeTurnaroundMs;
    m_ceilingMs = qMax(m_inv.timeoutMs, kCommandTurnaroundMs);
}

void Runner::finish(int status)
{
    if (m_finished)
        return;
    m_finished = true;
    std::fflush(stdout);
    QCoreApplication::exit(status);
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
    std::fprintf(stderr, "\r\033[K%s", line.toLocal8Bit().constData());
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
        failWith(2, x.portGone ? Cli::tr("the port went away")
                               : Cli::tr("the port failed: %1").arg(x.portError));
        return;
    }
}

bool Runner::openPort(const QString &name, quint32 baud, bool reportFailure)
{
    OpenFailure why = OpenFailure::Other;
    QString text;
    if (m_link.open(name, baud, &why, &text))
        return true;
    if (!reportFailure)
        return false;
    switch (why) {
    case OpenFailure::NotFound:
        failWith(2, Cli::tr("cannot open %1: no such port").arg(name));
        break;
    case OpenFailure::Permission:
#ifdef Q_OS_LINUX
        failWith(2, Cli::tr("cannot open %1: permission denied; add your user to the dialout "
                            "group and log in again")
                        .arg(name));
#else
        failWith(2, Cli::tr("cannot open %1: permission denied").arg(name));
#endif
        break;
    case OpenFailure::InUse:
        failWith(2, Cli::tr("cannot open %1: in use by another program").arg(name));
        break;
    case OpenFailure::Other:
        failWith(2, Cli::tr("cannot open %1: %2").arg(name, text));
        break;
    }
    return false;
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
    if (!openPort(m_inv.port, m_inv.baud, true))
        return;
    if (m_inv.verb == Verb::Scan) {
        if (m_inv.allSpeeds)
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
