#pragma once

#include "link/transport.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

namespace quarvex::cli {

// How long one try waits and when it is tried again.
struct Policy
{
    int waitMs = 1000;
    // Once bytes have come, wait for the rest by its wire time rather than stop at waitMs,
    // but never past waitMs plus the whole reply's time.
    bool waitForRest = false;
    int retries = 1;
    bool retrySilence = true; // false: only a damaged reply is tried again
};

struct Exchange
{
    enum Result
    {
        Reply,
        Exception,
        Silent,  // not a byte came back
        Damaged, // bytes came, but no valid reply among them
        PortFailed,
    };
    Result result = Silent;
    QByteArray request; // as sent, CRC included
    QByteArray reply;
    quint8 exceptionCode = 0;
    double rttMs = 0;
    int tries = 0;
    bool crcFailed = false;
    QString portError;
};

// The port (serial or network) and one request at a time: drain, send, pair the reply, try again.
// Event driven: readyRead and a timer in the caller's event loop.
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
    // Added to every try's wait: the network's share of the turnaround.
    void setExtraWaitMs(int ms) { m_extraWaitMs = ms; }

signals:
    // The far server set another line speed than the one asked for.
    void speedReplaced(quint32 chosen, quint32 actual);

public:
    using Done = std::function<void(const Exchange &)>;
    // The request without its CRC; done is called once, from the event loop.
    void exchange(const QByteArray &request, const Policy &policy, Done done);

private:
    void sendTry();
    void onReadyRead();
    void onTimeout();
    void onError(const TransportError &error);
    void finish(Exchange::Result result);
    void trace(const QString &what, const QByteArray &bytes, const QString &note = {}) const;

    Transport *m_port = nullptr;
    Opened m_opened;
    int m_extraWaitMs = 0;
    QString m_lost; // why the port failed while no request was out
    QTimer m_timer;
    QElapsedTimer m_clock;
    bool m_verbose;
    quint32 m_baud = 9600;
    bool m_busy = false;

    Exchange m_x;
    Policy m_policy;
    Done m_done;
    QByteArray m_received; // since the request, less what could pair with nothing
    bool m_heard = false;
    int m_endMs = 0; // when the try ends, from the request
    int m_triesLeft = 0;
    bool m_sawCrcFailure = false;
};

} // namespace quarvex::cli
