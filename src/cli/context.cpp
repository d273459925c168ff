#include "context.h"

#include "console.h"
#include "device/fields.h"
#include "device/frames.h"
#include "link/failurewords.h"
#include "link/replydecoder.h"
#include "report.h"
#include "strategy.h"

#include <QCoreApplication>

#include <cstdio>

namespace quarvex::cli {

Context::Context(const Invocation &invocation, Sink *sink, Done done, QObject *parent)
    : QObject(parent), m_inv(invocation), m_sink(sink), m_done(std::move(done)),
      m_clock(new SystemClock(this)), m_engine(m_clock, this)
{
    m_progress = !sink && stderrRedraws();
    connectSpeedWords();
}

Context::Context(const Invocation &invocation, Clock *clock, QObject *parent)
    : QObject(parent), m_inv(invocation), m_done([](ExitStatus) {}), m_clock(clock),
      m_engine(m_clock, this)
{
    connectSpeedWords();
}

void Context::connectSpeedWords()
{
    connect(&m_engine, &RequestEngine::speedReplaced, this, [this](quint32 chosen, quint32 actual) {
        complain(Cli::tr("the server runs the line at %1 bit/s, not at the %2 chosen")
                     .arg(actual)
                     .arg(chosen));
    });
}

void Context::out(const QString &text)
{
    if (m_sink)
        m_sink->out << text;
    else
        cli::out(text);
}

void Context::outJson(const QJsonObject &o)
{
    if (m_sink)
        m_sink->json << o;
    else
        cli::outJson(o);
}

void Context::complain(const QString &text)
{
    if (m_sink)
        m_sink->err << text;
    else
        cli::complain(text);
}

void Context::progress(const QString &line)
{
    if (!m_progress)
        return;
    std::fprintf(stderr, "\r\033[K%s", consoleBytes(line).constData());
    std::fflush(stderr);
}

void Context::finish(ExitStatus status)
{
    if (m_finished)
        return;
    m_finished = true;
    if (m_done) {
        closePort();
        m_done(status);
        return;
    }
    std::fflush(stdout);
    QCoreApplication::exit(code(status));
}

void Context::failWith(ExitStatus status, const QString &message)
{
    progress(QString());
    complain(message);
    if (m_inv.json)
        outJson(errorJson(code(status), message));
    finish(status);
}

void Context::fail(const Exchange &x)
{
    switch (x.result) {
    case Exchange::Reply:
    case Exchange::Broadcast:
    case Exchange::Late:
        return;
    case Exchange::Exception:
        if (ExceptionCode::fromGatewayForNoModule(x.exceptionCode))
            failWith(ExitStatus::NoValidReply,
                     Cli::tr("no module at unit %1 behind the gateway: the gateway answered "
                             "exception %2")
                         .arg(quint8(x.request.at(0)))
                         .arg(exceptionText(x.exceptionCode)));
        else
            failWith(ExitStatus::Exception, Cli::tr("the module refused the request: exception %1")
                                                .arg(exceptionText(x.exceptionCode)));
        return;
    case Exchange::Silent:
        failWith(ExitStatus::NoValidReply, x.tries == 1
                                               ? Cli::tr("no reply")
                                               : Cli::tr("no reply after %1 tries").arg(x.tries));
        return;
    case Exchange::Damaged:
        failWith(
            ExitStatus::NoValidReply,
            Cli::tr("no valid reply after %1 tries: %2").arg(x.tries).arg(damageText(x.damage)));
        return;
    case Exchange::PortFailed:
        failWith(ExitStatus::PortFailed, portGoneWords(x));
        return;
    }
}

QString Context::portGoneWords(const Exchange &x)
{
    return x.portGone ? Cli::tr("the port went away") : x.portError;
}

void Context::closePort()
{
    if (!m_port)
        return;
    m_port->close();
    m_engine.attach(nullptr, m_engine.baud());
    m_port->deleteLater();
    m_port = nullptr;
}

void Context::usePort(Transport *port)
{
    m_engine.attach(port, m_inv.baud);
}

void Context::openPort(const QString &name, quint32 baud, bool reportFailure,
                       std::function<void(bool)> next)
{
    closePort();
    m_port = createTransport(name, this);
    Transport *port = m_port;
    const auto opened = [this, port, baud, next] {
        m_engine.attach(port, baud);
        // Over a network every try waits for the round trip too, unless -t says how long.
        if (port->capabilities().network && !m_inv.timeoutGiven)
            m_engine.waitForNetwork();
        next(true);
    };
    const auto failed = [this, name, reportFailure, next](const TransportError &e) {
        if (reportFailure)
            failWith(ExitStatus::PortFailed, failureWords(name, e).sentence);
        next(false);
    };
    switch (port->open(baud)) {
    case Transport::Opening::Open:
        opened();
        return;
    case Transport::Opening::Failed:
        failed(port->error());
        return;
    case Transport::Opening::Pending:
        break;
    }
    // Connecting: whichever comes first, once.
    auto *guard = new QObject(port);
    connect(port, &Transport::opened, guard, [guard, opened] {
        delete guard;
        opened();
    });
    connect(port, &Transport::failed, guard, [guard, failed](const TransportError &e) {
        if (e.kind == TransportError::TimedOut)
            return;
        delete guard;
        failed(e);
    });
}

void Context::withAddress(const std::function<void(quint8)> &next)
{
    if (m_inv.address) {
        next(*m_inv.address);
        return;
    }
    m_engine.exchange(readAddressFrame(), commandPolicy(), [this, next](const Exchange &x) {
        if (x.result != Exchange::Reply)
            return fail(x);
        // 0 would make every frame that follows a broadcast that all modules act on.
        const quint8 address = reportedAddress(x.reply);
        if (!fieldAccepts(Field::Address, address)) {
            const FieldSpec &range = fieldSpec(Field::Address);
            failWith(ExitStatus::NoValidReply,
                     Cli::tr("the module reported bus address %1, outside %2-%3; nothing was "
                             "sent to it")
                         .arg(address)
                         .arg(range.min)
                         .arg(range.max));
            return;
        }
        next(address);
    });
}

void Context::openForModule(const std::function<void(quint8)> &run)
{
    if (refuseAddressFrames())
        return;
    openPort(m_inv.port, m_inv.baud, true, [this, run](bool ok) {
        if (!ok)
            return;
        if (m_inv.asksAddress())
            withAddress(run);
        else
            run(0);
    });
}

// A Modbus TCP gateway takes bus address 0 for a broadcast and never answers it: the
// address frames are refused before anything is sent.
bool Context::refuseAddressFrames()
{
    if (capabilitiesOf(parsePortName(m_inv.port).scheme).carriesAddressFrames)
        return false;
    // Asked for only to learn the bus address: -a gives it.
    if ((m_inv.verb == Verb::Address || m_inv.asksAddress()) && !m_inv.address) {
        failWith(ExitStatus::Usage,
                 Cli::tr("through a Modbus TCP gateway give the module's bus address, its unit "
                         "there, with -a: the frame that asks a module for its address does not "
                         "pass a gateway"));
        return true;
    }
    if (m_inv.verb == Verb::SetAddress ||
        (m_inv.verb == Verb::Send && quint8(m_inv.frame.at(0)) == kAddressFrameBus)) {
        failWith(ExitStatus::Usage,
                 Cli::tr("the address frames need a transparent link: use tcp:// or rfc2217://"));
        return true;
    }
    return false;
}

void CommandGroup::interrupt(ExitStatus status)
{
    if (m_ctx.finished())
        return;
    m_ctx.progress(QString());
    if (m_ctx.inv().json)
        m_ctx.outJson(errorJson(code(status), Cli::tr("interrupted")));
    m_ctx.finish(status);
}

} // namespace quarvex::cli
