#pragma once

#include "link/pairing.h"
#include "link/transport.h"
#include "link/trytiming.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <QVector>

#include <functional>
#include <optional>

namespace quarvex::cli {

// How long one try waits for a reply to begin and when it is tried again.
struct Policy
{
    int turnaroundMs = 1000;
    int retries = 1;
    bool retrySilence = true; // false: only a damaged reply is tried again
    // A late reply to an earlier request ends the exchange (Late) instead of being passed
    // over while the awaited one is waited for.
    bool reportLate = false;
};

struct Exchange
{
    enum Result
    {
        Reply,
        Exception,
        Silent,    // no reply began: nothing came, or only noise (damage says which)
        Damaged,   // a reply began, but none came whole (damage says how)
        Late,      // a reply to an earlier request came instead (lateRequest)
        Broadcast, // sent to every module; none answers
        PortFailed,
    };
    Result result = Silent;
    QByteArray request; // as sent, CRC included
    QByteArray reply;   // the reply, or what came of it
    quint8 exceptionCode = 0;
    double rttMs = 0;
    int tries = 0;
    Damage damage = Damage::None;
    // Reply: an earlier identical request may have drawn it.
    bool couldBeLate = false;
    QByteArray lateRequest;
    int lateMs = 0; // Late: from that request to its reply
    QString portError;
    bool portGone = false; // the device went away (unplugged)
};

// The port (serial or network) and one request at a time: send, pair the reply, try again once the
// line is quiet. Requests whose tries ended without a reply are remembered for a while,
// so their late replies are told apart from the reply awaited now. Event driven:
// readyRead and a timer in the caller's event loop.
class Link : public QObject
{
    Q_OBJECT

public:
    explicit Link(bool verbose, QObject *parent = nullptr);

    // done gets null when the port is open, else why not; called at once for a serial
    // port, from the event loop for a network one.
    using Opened = std::function<void(const TransportError *failure)>;
    void open(const QString &name, quint32 baud, Opened done);
    void close();
    // False, the port still at its old speed, when the port refuses this one.
    bool setBaud(quint32 baud);
    quint32 baud() const { return m_baud; }
    const Transport *port() const { return m_port; }
    // Added to every try's turnaround: the network's share.
    void setExtraWaitMs(int ms) { m_extraWaitMs = ms; }

signals:
    // The far server set another line speed than the one asked for.
    void speedReplaced(quint32 chosen, quint32 actual);

public:
    using Done = std::function<void(const Exchange &)>;
    // The request without its CRC; done is called once, from the event loop.
    void exchange(const QByteArray &request, const Policy &policy, Done done);
    // Nothing sent: listens ms for a late reply to an earlier request (Late), else Silent.
    void linger(int ms, Done done);
    // A note on the -v trace.
    void trace(const QString &what, const QByteArray &bytes = {}, const QString &note = {}) const;

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
    QByteArray readPending();
    void onReadyRead();
    void take(const QByteArray &bytes);
    // On a busy computer the timer can come before the bytes the port already holds:
    // true when those bytes moved the try on (a new state or a new wait).
    bool heldBytesMovedOn();
    void onTimer();
    void endTry();
    void onError(const TransportError &error);
    void portFailed(const TransportError &error);
    void finish(Exchange::Result result);
    int nowMs() const { return int(m_clock.elapsed()); }
    QVector<QByteArray> earlierRequests() const;
    void forgetEarlier(const QByteArray &request);

    Transport *m_port = nullptr;
    Opened m_opened;
    int m_extraWaitMs = 0;
    std::optional<TransportError> m_lost; // the port failed while no request was out
    QTimer m_timer;
    QElapsedTimer m_clock; // from the current try's request
    QElapsedTimer m_age;   // for the earlier requests
    bool m_verbose;
    bool m_polling = false;
    quint32 m_baud = 9600;
    State m_state = State::Idle;

    Exchange m_x;
    Policy m_policy;
    Done m_done;
    TryTiming m_timing{};
    QByteArray m_received; // around the current try, less what could pair with nothing
    QByteArray m_pending;  // came while idle: only a late reply could be among them
    int m_sentAt = 0;      // where in m_received the current request went out
    int m_endMs = 0;
    int m_lastByteMs = -1;
    int m_triesLeft = 0;
    Exchange::Result m_failure = Exchange::Silent;

    struct Earlier
    {
        QByteArray request;
        qint64 sentMs;
    };
    QVector<Earlier> m_earlier; // other requests', unanswered
    QVector<qint64> m_tries;    // when this request's tries went out
};

} // namespace quarvex::cli
