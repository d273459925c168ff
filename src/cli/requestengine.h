#pragma once

#include "clock.h"
#include "earlierrequests.h"
#include "exchange.h"
#include "linelearning.h"
#include "link/transport.h"
#include "link/trytiming.h"
#include "trace.h"

#include <QByteArray>
#include <QObject>
#include <QVector>

#include <functional>
#include <optional>

namespace quarvex::cli {

// One request at a time on a port (serial or network): send, pair the reply, try again
// once the line is quiet. Requests whose tries ended without a reply are remembered for
// a while, so their late replies are told apart from the reply awaited now. The port and
// the clock come from outside; event driven.
class RequestEngine : public QObject
{
    Q_OBJECT

public:
    explicit RequestEngine(Clock *clock, QObject *parent = nullptr);

    // The port to talk through, open at `baud`; none (nullptr) to let it go.
    void attach(Transport *port, quint32 baud);
    Transport *port() const { return m_port; }
    // False, the port still at its old speed, when the port refuses this one.
    bool setBaud(quint32 baud);
    quint32 baud() const { return m_baud; }
    // Over a network every try also waits for the round trip: the port's measure, or the
    // one learnt from replies when that is longer (a proxy or a tunnel hides it from the
    // connection).
    void waitForNetwork();

    using Done = std::function<void(const Exchange &)>;
    // The request without its CRC; done is called once, from the event loop.
    void exchange(const QByteArray &request, const Policy &policy, Done done);
    // Nothing sent: listens ms for a late reply to an earlier request (Late), else Silent.
    void linger(int ms, Done done);
    // Bytes that came while no request was out and were no late reply: line noise.
    int unaskedBytes() const { return m_unaskedBytes; }

signals:
    // The far server set another line speed than the one asked for.
    void speedReplaced(quint32 chosen, quint32 actual);

private:
    enum class State
    {
        Idle,
        Sending,  // a broadcast on its way out
        Waiting,  // for the reply of the current try
        Quieting, // a try failed; the line must fall quiet first
        Lingering,
    };

    void sendTry();
    bool writeRequest(bool goneIfRefused);
    QByteArray readPending();
    // Bytes the port holds that came before the request now going out.
    QByteArray heldBeforeRequest();
    void carryLateReplyUnderWay();
    void onReadyRead();
    void onReceiving();
    void take(const QByteArray &bytes);
    void waitForMore(const Pairing &p, bool fresh);
    void takeLate(const Pairing &p);
    void takeReply(const Pairing &p);
    // On a busy computer the alarm can come before the bytes the port already holds:
    // true when those bytes moved the try on (a new state or a new wait).
    bool heldBytesMovedOn();
    void onAlarm();
    void endTry();
    void onError(const TransportError &error);
    void portFailed(const TransportError &error);
    void finish(Exchange::Result result);

    qint64 nowNs() const { return m_clock->nowNs(); }
    // Since the current try's request went out.
    int nowMs() const { return int((nowNs() - m_tryStartNs) / 1000000); }
    qint64 ageMs() const { return nowNs() / 1000000; }
    // The alarm at ms after the current try's request.
    void alarmAt(int ms) { m_clock->setAlarm(m_tryStartNs + qint64(ms) * 1000000); }

    Clock *m_clock;
    Transport *m_port = nullptr;
    LineLearning m_line;
    void learn(double tookMs, int replyBytes, bool late);
    int networkShareMs() const { return m_line.networkShareMs(m_port->roundTripMs()); }
    quint32 wireBaud() const { return m_line.wireBaud(m_baud); }
    std::optional<TransportError> m_lost; // the port failed while no request was out
    bool m_polling = false;
    quint32 m_baud = 9600;
    State m_state = State::Idle;

    Exchange m_x;
    Policy m_policy;
    Done m_done;
    TryTiming m_timing{};
    qint64 m_tryStartNs = 0;
    QByteArray m_received; // around the current try, less what could pair with nothing
    QByteArray m_pending;  // came while idle: only a late reply could be among them
    int m_sentAt = 0;      // where in m_received the current request went out
    int m_endMs = 0;
    int m_lastByteMs = -1;
    int m_triesLeft = 0;
    int m_unaskedBytes = 0;
    int m_droppedInWindow = 0; // this try's, let go as noise past the kept limit
    Exchange::Result m_failure = Exchange::Silent;

    EarlierRequests m_earlier; // other requests', unanswered
    QVector<qint64> m_tries;   // when this request's tries went out
};

} // namespace quarvex::cli
