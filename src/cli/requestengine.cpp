#include "requestengine.h"

#include "link/crc16.h"
#include "link/failurewords.h"
#include "link/linespeed.h"
#include "link/replydecoder.h"
#include "strategy.h"

#include <utility>

namespace quarvex::cli {

RequestEngine::RequestEngine(Clock *clock, QObject *parent) : QObject(parent), m_clock(clock)
{
    connect(m_clock, &Clock::alarm, this, &RequestEngine::onAlarm);
}

void RequestEngine::attach(Transport *port, quint32 baud)
{
    // Whatever was under way on the old port is dropped, its caller never called.
    m_state = State::Idle;
    m_done = nullptr;
    m_clock->stopAlarm();
    if (m_port)
        disconnect(m_port, nullptr, this, nullptr);
    m_port = port;
    m_baud = baud;
    m_lost.reset();
    m_line.reset(port && !port->capabilities().setsLineSpeed);
    m_pending.clear();
    if (!port)
        return;
    connect(port, &Transport::readyRead, this, &RequestEngine::onReadyRead);
    connect(port, &Transport::failed, this, &RequestEngine::onError);
    connect(port, &Transport::bytesWritten, this, [this] {
        // A broadcast is done once it is out and has had its wire time.
        if (m_state == State::Sending && m_port->bytesToWrite() == 0)
            m_clock->setAlarm(
                nowNs() +
                qint64(wireMs(int(m_x.request.size()), wireBaud()) + gapMs(wireBaud())) * 1000000);
    });
    connect(port, &Transport::note, this,
            [this](const QString &text) { trace(QStringLiteral("--"), {}, text); });
    connect(port, &Transport::receiving, this, &RequestEngine::onReceiving);
    connect(port, &Transport::lineSpeedConfirmed, this, [this](quint32 actual) {
        if (lineSpeedReplaced(m_baud, actual))
            emit speedReplaced(m_baud, actual);
    });
}

void RequestEngine::waitForNetwork()
{
    m_line.waitForNetwork();
    trace(QStringLiteral("--"), {},
          QStringLiteral("round trip %1 ms, measured on connecting: every try waits %2 ms more")
              .arg(m_port->roundTripMs())
              .arg(networkShareMs()));
}

void RequestEngine::learn(double tookMs, int replyBytes, bool late)
{
    const QString note = m_line.learn(tookMs, int(m_x.request.size()), replyBytes, late, m_baud,
                                      m_port->roundTripMs());
    if (!note.isEmpty())
        trace(QStringLiteral("--"), {}, note);
}

bool RequestEngine::setBaud(quint32 baud)
{
    if (!m_port->setLineSpeed(baud))
        return false;
    m_baud = baud;
    return true;
}

void RequestEngine::exchange(const QByteArray &request, const Policy &policy, Done done)
{
    Q_ASSERT(m_state == State::Idle);
    m_x = Exchange();
    m_x.request = withCrc(request);
    m_policy = policy;
    m_done = std::move(done);
    m_triesLeft = 1 + qMax(0, policy.retries);
    const int replyBytes = qMax(expectedReplyLength(m_x.request), 5);
    // A server across the network may hand a reply on only once all of it has come.
    const int heldReplyMs = m_line.network() ? wireMs(replyBytes - 1, wireBaud()) : 0;
    m_timing = {policy.turnaroundMs + networkShareMs() + heldReplyMs, int(m_x.request.size()),
                replyBytes, wireBaud()};
    if (expectsReply(m_x.request)) {
        sendTry();
        return;
    }
    // Every module acts on it and none answers: sent once, not waited for.
    m_state = State::Sending;
    m_x.tries = 1;
    trace(QStringLiteral("tx"), m_x.request, QStringLiteral("broadcast"));
    writeRequest(false);
}

void RequestEngine::linger(int ms, Done done)
{
    Q_ASSERT(m_state == State::Idle);
    m_x = Exchange();
    m_policy = Policy::probe(ms, 0).reportingLate();
    m_done = std::move(done);
    m_received = heldBeforeRequest();
    m_sentAt = int(m_received.size());
    m_lastByteMs = -1;
    m_state = State::Lingering;
    m_tryStartNs = nowNs();
    alarmAt(ms);
    take(QByteArray());
}

void RequestEngine::sendTry()
{
    --m_triesLeft;
    ++m_x.tries;
    const qint64 now = ageMs();
    m_earlier.prune(now);
    // What came unasked can only be a late reply to an earlier request, if any is due.
    const QByteArray held = heldBeforeRequest();
    m_received = m_earlier.isEmpty() ? QByteArray() : held.right(kKeptBytes);
    m_sentAt = int(m_received.size());
    m_lastByteMs = -1;
    m_droppedInWindow = 0;
    m_endMs = firstByteEndMs(m_timing);
    trace(QStringLiteral("tx"), m_x.request);
    m_state = State::Waiting;
    m_tryStartNs = nowNs();
    m_tries.append(ageMs());
    if (!writeRequest(true))
        return;
    alarmAt(m_endMs);
    if (m_sentAt > 0)
        take(QByteArray());
}

// False, the exchange finished, when the request cannot go; a refused write counts as
// the device gone when `goneIfRefused`.
bool RequestEngine::writeRequest(bool goneIfRefused)
{
    if (m_lost) {
        portFailed(*m_lost);
        finish(Exchange::PortFailed);
        return false;
    }
    if (m_port->write(m_x.request) == m_x.request.size())
        return true;
    m_x.portError = m_port->error().text;
    m_x.portGone = goneIfRefused;
    finish(Exchange::PortFailed);
    return false;
}

QByteArray RequestEngine::readPending()
{
    // The port may hold bytes its notifier has not told of yet: on a busy computer a
    // timer can be handled first. Read them before anything is judged.
    m_polling = true;
    const QByteArray bytes = m_port->readPending();
    m_polling = false;
    return bytes;
}

QByteArray RequestEngine::heldBeforeRequest()
{
    const QByteArray fresh = readPending();
    m_unaskedBytes += int(fresh.size());
    QByteArray held = m_pending + fresh;
    m_pending.clear();
    return held;
}

void RequestEngine::onReadyRead()
{
    if (!m_polling)
        take(m_port->readAll());
}

// A gateway's reply under way, not whole yet: the line is not silent.
void RequestEngine::onReceiving()
{
    m_lastByteMs = nowMs();
    if (m_state == State::Waiting) {
        const int end = tryEndMs(m_timing, m_endMs, nowMs(), m_timing.replyBytes);
        if (end > m_endMs) {
            m_endMs = end;
            alarmAt(end);
        }
    } else if (m_state == State::Quieting) {
        alarmAt(retryAtMs(m_endMs, m_lastByteMs, wireBaud()));
    }
}

void RequestEngine::take(const QByteArray &bytes)
{
    switch (m_state) {
    case State::Idle:
    case State::Sending:
        m_unaskedBytes += int(bytes.size());
        if (!m_earlier.isEmpty())
            m_pending = (m_pending + bytes).right(kKeptBytes);
        return;
    case State::Lingering:
        m_unaskedBytes += int(bytes.size());
        break;
    case State::Waiting:
    case State::Quieting:
        break;
    }
    if (!bytes.isEmpty())
        m_lastByteMs = nowMs();
    m_received += bytes;
    const Pairing p = pairReply(m_x.request, m_received, m_earlier.requests(), m_sentAt);
    if (p.status == Pairing::Incomplete) {
        waitForMore(p, !bytes.isEmpty());
        return;
    }
    if (p.skipped > 0)
        trace(QStringLiteral("rx"), m_received.left(p.skipped), QStringLiteral("skipped"));
    if (p.status == Pairing::Late)
        takeLate(p);
    else
        takeReply(p);
}

// No whole reply yet: noise past the kept limit goes, a reply under way pushes the try's
// end back, and a failed try's quiet wait starts again with every byte.
void RequestEngine::waitForMore(const Pairing &p, bool fresh)
{
    if (p.droppable > 0) {
        // Let go, but not forgotten: they came while this try waited for its reply.
        if (m_state == State::Waiting)
            m_droppedInWindow += qMax(0, p.droppable - m_sentAt);
        trace(QStringLiteral("rx"), m_received.left(p.droppable), QStringLiteral("noise"));
        m_received.remove(0, p.droppable);
        m_sentAt = qMax(0, m_sentAt - p.droppable);
    }
    const int begun = int(m_received.size()) - p.skipped;
    if (m_state == State::Waiting && begun > 0 && p.skipped >= m_sentAt) {
        const int end = tryEndMs(m_timing, m_endMs, nowMs(), m_timing.replyBytes - begun);
        if (end > m_endMs) {
            m_endMs = end;
            alarmAt(end);
        }
    } else if (m_state == State::Quieting && fresh) {
        alarmAt(retryAtMs(m_endMs, m_lastByteMs, wireBaud()));
    }
}

void RequestEngine::takeLate(const Pairing &p)
{
    const EarlierRequests::Earlier e = m_earlier.take(p.earlier);
    const int lateMs = int(ageMs() - e.sentMs);
    // Its bytes that came while no request was out were no noise after all.
    m_unaskedBytes -= m_state == State::Lingering
                          ? p.length
                          : qMax(0, qMin(p.start + p.length, m_sentAt) - p.start);
    trace(QStringLiteral("rx"), p.reply(m_received),
          QStringLiteral("late reply to %1, %2 ms after it").arg(hexText(e.request)).arg(lateMs));
    if (!m_policy.reportLate) {
        // Not this request's: the awaited reply may still follow.
        m_received.remove(0, p.start + p.length);
        m_sentAt = qMax(0, m_sentAt - p.start - p.length);
        take(QByteArray());
        return;
    }
    m_x.reply = p.reply(m_received);
    // What follows it may be the next late reply.
    m_pending = m_received.mid(p.start + p.length);
    m_x.lateRequest = e.request;
    m_x.lateMs = lateMs;
    learn(lateMs, p.length, true);
    finish(Exchange::Late);
}

void RequestEngine::takeReply(const Pairing &p)
{
    m_x.reply = p.reply(m_received);
    m_x.rttMs = double(nowNs() - m_tryStartNs) / 1e6;
    m_x.couldBeLate = p.couldBeLate;
    if (!p.couldBeLate)
        learn(m_x.rttMs, p.length, false);
    else
        m_earlier.forgetOldest(m_x.request);
    trace(QStringLiteral("rx"), m_x.reply,
          QStringLiteral("%1 ms%2")
              .arg(m_x.rttMs, 0, 'f', 1)
              .arg(p.couldBeLate ? QStringLiteral(", maybe late") : QString()));
    if (p.status == Pairing::Exception) {
        m_x.exceptionCode = p.exceptionCode(m_received);
        finish(Exchange::Exception);
    } else {
        finish(Exchange::Reply);
    }
}

void RequestEngine::onAlarm()
{
    switch (m_state) {
    case State::Idle:
        return;
    case State::Sending:
        finish(Exchange::Broadcast);
        return;
    case State::Lingering:
        take(readPending());
        if (m_state == State::Lingering)
            finish(Exchange::Silent);
        return;
    case State::Waiting:
        if (!heldBytesMovedOn())
            endTry();
        return;
    case State::Quieting:
        if (heldBytesMovedOn())
            return;
        if (m_triesLeft > 0 && (m_failure == Exchange::Damaged || m_policy.retrySilence)) {
            sendTry();
            return;
        }
        finish(m_failure);
        return;
    }
}

bool RequestEngine::heldBytesMovedOn()
{
    const State before = m_state;
    const QByteArray held = readPending();
    if (held.isEmpty())
        return false;
    take(held);
    return m_state != before || m_clock->alarmSet();
}

void RequestEngine::endTry()
{
    const Pairing p = pairReply(m_x.request, m_received, m_earlier.requests(), m_sentAt);
    // What began after the request went out answered it, unless it is an earlier request's
    // reply still coming in.
    const int lateFrom =
        p.partialEarlier >= 0 && p.skipped >= m_sentAt ? p.skipped : int(m_received.size());
    const QByteArray after = m_received.mid(m_sentAt, lateFrom - m_sentAt);
    // The bytes' pattern only tells what they most likely were; that they came is the
    // answer, however a collision or noise shaped them.
    Damage pattern = classifyDamage(m_x.request, after);
    if (pattern == Damage::None && m_droppedInWindow > 0)
        pattern = Damage::Noise; // so many came that they were let go as they came
    if (after.isEmpty() && m_port->partialBytes() > 0) {
        // The way to the line holds part of a reply it gives only whole: it began in time.
        pattern = Damage::CutOff;
        trace(QStringLiteral("--"), {},
              QStringLiteral("a reply was coming in (%1 bytes of it) when the wait ended at %2 ms")
                  .arg(m_port->partialBytes())
                  .arg(nowMs()));
    } else if (after.isEmpty()) {
        trace(QStringLiteral("--"), {}, QStringLiteral("no reply within %1 ms").arg(nowMs()));
    }
    if (!after.isEmpty())
        trace(QStringLiteral("rx"), after, QStringLiteral("unreadable"));
    if (lateFrom < m_received.size())
        trace(QStringLiteral("rx"), m_received.mid(lateFrom),
              QStringLiteral("an earlier request's reply, coming in late"));
    if (m_policy.reportLate && pattern <= Damage::Noise && p.earlierDamaged >= 0) {
        // A damaged reply in the shape of an earlier request's: that one's, come late.
        const EarlierRequests::Earlier e = m_earlier.take(p.earlierDamaged);
        m_x.lateRequest = e.request;
        m_x.lateMs = int(ageMs() - e.sentMs);
        m_x.damage = Damage::BadCrc;
        m_x.reply = after;
        trace(QStringLiteral("--"), {},
              QStringLiteral("a damaged late reply to %1").arg(hexText(e.request)));
        finish(Exchange::Late);
        return;
    }
    // The worst any try saw: a damaged reply is not undone by a silent retry.
    m_x.damage = qMax(m_x.damage, pattern);
    m_failure = m_x.damage > Damage::None ? Exchange::Damaged : Exchange::Silent;
    if (!after.isEmpty())
        m_x.reply = after;
    m_x.couldBeLate = m_x.couldBeLate || m_earlier.contains(m_x.request);
    // Quiet first: neither a retry nor the next request may talk over a reply under way.
    m_state = State::Quieting;
    const int at = pattern == Damage::None ? m_endMs : retryAtMs(m_endMs, m_lastByteMs, wireBaud());
    m_droppedInWindow = 0;
    m_endMs = nowMs();
    alarmAt(qMax(at, m_endMs));
}

void RequestEngine::onError(const TransportError &error)
{
    if (error.kind == TransportError::TimedOut)
        return;
    if (m_state == State::Idle) {
        // Told with the next request, which cannot go.
        if (error.closes())
            m_lost = error;
        return;
    }
    m_clock->stopAlarm();
    portFailed(error);
    trace(QStringLiteral("--"), {}, QStringLiteral("port error: %1").arg(m_x.portError));
    finish(Exchange::PortFailed);
}

void RequestEngine::portFailed(const TransportError &error)
{
    m_x.portError = failureWords(m_port->name(), error).sentence;
    // Once open, a failing serial port means the device is gone: unplugged, or the other
    // end of a pty closed. A network port's failure says what happened in its own words.
    m_x.portGone = !error.closes() || error.kind == TransportError::HungUp ||
                   error.kind == TransportError::Gone;
}

void RequestEngine::finish(Exchange::Result result)
{
    if (result == Exchange::Silent || result == Exchange::Damaged)
        carryLateReplyUnderWay();
    // A request left without its reply may still draw one; so may one of two identical
    // requests that drew one reply between them.
    if (result != Exchange::Reply && result != Exchange::Exception)
        for (qint64 sentMs : std::as_const(m_tries))
            m_earlier.add(m_x.request, sentMs);
    else if (m_x.couldBeLate && !m_tries.isEmpty())
        m_earlier.add(m_x.request, m_tries.last());
    m_tries.clear();
    m_x.result = result;
    m_state = State::Idle;
    m_clock->stopAlarm();
    // Called last: the caller may start the next exchange from here.
    Done done = std::move(m_done);
    if (done)
        done(m_x);
}

// An earlier request's reply still coming in when this exchange ends is kept for the
// next, which pairs it once it is whole; what came unasked of it counts as noise until then.
void RequestEngine::carryLateReplyUnderWay()
{
    const Pairing p = pairReply(m_x.request, m_received, m_earlier.requests(), m_sentAt);
    if (p.status != Pairing::Incomplete || p.partialEarlier < 0)
        return;
    m_pending = m_received.mid(p.skipped);
    if (m_state != State::Lingering)
        m_unaskedBytes += int(m_received.size()) - qMax(p.skipped, m_sentAt);
}

} // namespace quarvex::cli
