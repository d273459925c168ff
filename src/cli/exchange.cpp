#include "exchange.h"

#include "link/crc16.h"
#include "link/linespeed.h"
#include "link/pairing.h"
#include "link/replydecoder.h"
#include "portwords.h"
#include "strategy.h"

#include <QTime>

#include <cstdio>

namespace quarvex::cli {

namespace {

// Well over the longest reply (255 bytes).
constexpr int kKeptBytes = 1024;

} // namespace

Link::Link(bool verbose, QObject *parent) : QObject(parent), m_verbose(verbose)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &Link::onTimeout);
}

void Link::open(const QString &name, quint32 baud, Opened done)
{
    close();
    delete m_port;
    m_port = createTransport(name, this);
    m_lost.clear();
    m_extraWaitMs = 0;
    connect(m_port, &Transport::readyRead, this, &Link::onReadyRead);
    connect(m_port, &Transport::failed, this, &Link::onError);
    connect(m_port, &Transport::lineSpeedConfirmed, this, [this](quint32 actual) {
        if (lineSpeedReplaced(m_baud, actual))
            emit speedReplaced(m_baud, actual);
    });
    connect(m_port, &Transport::opened, this, [this] {
        Opened opened = std::move(m_opened);
        if (opened)
            opened(nullptr);
    });
    switch (m_port->open(baud)) {
    case Transport::Opening::Open:
        m_baud = baud;
        done(nullptr);
        return;
    case Transport::Opening::Pending:
        m_baud = baud;
        m_opened = std::move(done);
        return;
    case Transport::Opening::Failed: {
        const TransportError e = m_port->error();
        done(&e);
        return;
    }
    }
}

void Link::close()
{
    m_opened = nullptr;
    if (m_port)
        m_port->close();
}

bool Link::setBaud(quint32 baud)
{
    if (!m_port->setLineSpeed(baud))
        return false;
    m_baud = baud;
    return true;
}

void Link::exchange(const QByteArray &request, const Policy &policy, Done done)
{
    Q_ASSERT(!m_busy);
    m_busy = true;
    m_x = Exchange();
    m_x.request = withCrc(request);
    m_policy = policy;
    m_policy.waitMs += m_extraWaitMs;
    m_done = std::move(done);
    m_triesLeft = 1 + qMax(0, policy.retries);
    m_sawCrcFailure = false;
    sendTry();
}

void Link::sendTry()
{
    --m_triesLeft;
    ++m_x.tries;
    // Whatever is waiting belongs to nothing we are about to ask. (Bytes that came while
    // idle were read and dropped by onReadyRead already.)
    m_port->clearInput();
    m_received.clear();
    m_heard = false;
    m_endMs = m_policy.waitMs;
    trace(QStringLiteral("tx"), m_x.request);
    m_clock.start();
    if (!m_lost.isEmpty()) {
        m_x.portError = m_lost;
        finish(Exchange::PortFailed);
        return;
    }
    if (m_port->write(m_x.request) != m_x.request.size()) {
        m_x.portError = m_port->error().text;
        finish(Exchange::PortFailed);
        return;
    }
    m_timer.start(m_policy.waitMs);
}

void Link::onReadyRead()
{
    const QByteArray bytes = m_port->readAll();
    if (!m_busy || !m_timer.isActive())
        return;
    m_received += bytes;
    m_heard = true;
    const Pairing p = pairReply(m_x.request, m_received);
    if (p.status == Pairing::Incomplete) {
        if (m_policy.waitForRest && p.skipped < m_received.size()) {
            const int reply = qMax(expectedReplyLength(m_x.request), 5);
            const int missing = reply - int(m_received.size() - p.skipped);
            const int end =
                tryEndMs(m_policy.waitMs, m_endMs, int(m_clock.elapsed()), missing, reply, m_baud);
            if (end > m_endMs) {
                m_endMs = end;
                m_timer.start(int(qMax<qint64>(0, end - m_clock.elapsed())));
            }
        }
        // Bytes before the place a reply could still begin pair with nothing that may
        // follow; dropped once they pile up, so a chattering line cannot grow the buffer.
        if (m_received.size() > kKeptBytes && p.skipped > 0) {
            m_sawCrcFailure = m_sawCrcFailure || p.crcFailures > 0;
            trace(QStringLiteral("rx"), m_received.left(p.skipped), QStringLiteral("skipped"));
            m_received.remove(0, p.skipped);
        }
        return;
    }
    m_timer.stop();
    m_x.rttMs = double(m_clock.nsecsElapsed()) / 1e6;
    if (p.skipped > 0)
        trace(QStringLiteral("rx"), m_received.left(p.skipped), QStringLiteral("skipped"));
    m_x.reply = p.reply(m_received);
    trace(QStringLiteral("rx"), m_x.reply, QStringLiteral("%1 ms").arg(m_x.rttMs, 0, 'f', 1));
    if (p.status == Pairing::Exception) {
        m_x.exceptionCode = p.exceptionCode(m_received);
        finish(Exchange::Exception);
    } else {
        finish(Exchange::Reply);
    }
}

void Link::onTimeout()
{
    const bool silent = !m_heard;
    if (silent) {
        trace(QStringLiteral("--"), {},
              QStringLiteral("no reply within %1 ms").arg(m_clock.elapsed()));
    } else {
        m_sawCrcFailure = m_sawCrcFailure || pairReply(m_x.request, m_received).crcFailures > 0;
        trace(QStringLiteral("rx"), m_received, QStringLiteral("damaged"));
    }
    if (m_triesLeft > 0 && (!silent || m_policy.retrySilence)) {
        sendTry();
        return;
    }
    m_x.crcFailed = m_sawCrcFailure;
    m_x.reply = m_received;
    finish(silent ? Exchange::Silent : Exchange::Damaged);
}

void Link::onError(const TransportError &error)
{
    if (error.kind == TransportError::TimedOut)
        return;
    if (m_opened) {
        // Still connecting.
        Opened opened = std::move(m_opened);
        opened(&error);
        return;
    }
    const QString text = portFailureText(m_port->name(), error);
    if (!m_busy) {
        // Told with the next request, which could not go.
        if (error.closes())
            m_lost = text;
        return;
    }
    m_timer.stop();
    m_x.portError = text;
    finish(Exchange::PortFailed);
}

void Link::finish(Exchange::Result result)
{
    m_x.result = result;
    m_busy = false;
    // Called last: the caller may start the next exchange from here.
    Done done = std::move(m_done);
    done(m_x);
}

void Link::trace(const QString &what, const QByteArray &bytes, const QString &note) const
{
    if (!m_verbose)
        return;
    QString line =
        QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz")) + QStringLiteral("  ") + what;
    if (!bytes.isEmpty())
        line += QStringLiteral("  ") + hexText(bytes);
    if (!note.isEmpty())
        line += QStringLiteral("  ") + note;
    std::fprintf(stderr, "%s\n", qPrintable(line));
}

} // namespace quarvex::cli
