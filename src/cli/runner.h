#pragma once

#include "exchange.h"
#include "invocation.h"
#include "strategy.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <QStringList>

#include <functional>

namespace quarvex::cli {

// Carries out one invocation on the event loop and ends it with the exit status.
class Runner : public QObject
{
    Q_OBJECT

public:
    explicit Runner(const Invocation &invocation, QObject *parent = nullptr);

    void start();
    // A signal's exit status (130, 143): watch ends with its summary, scan with what it
    // found so far, anything else at once.
    void interrupt(int status);

private:
    void finish(int status);
    // The message on stderr (and as JSON with --json), then the status.
    void failWith(int status, const QString &message);
    void fail(const Exchange &x);
    bool openPort(const QString &name, quint32 baud, bool reportFailure);
    Policy commandPolicy() const;
    void withAddress(const std::function<void(quint8)> &next);
    void run(quint8 address);
    void command(const QByteArray &frame, const QString &doneText,
                 const QJsonObject &extra = {});
    void withAlarm(quint8 address, Motor motor, const std::function<void(bool)> &next);
    void checkAddress(const std::function<void()> &next);
    void setAddress();
    void listPorts();

    void findOnPort(int port);
    void findAtSpeed(int port, int speed, bool confirming);

    void scanNext(bool confirming = false);
    void scanLate(const Exchange &x, int address);
    void scanDone(int interruptedStatus = 0);

    void poll();
    void record(const Exchange &x);
    void summary(int status = -1);

    void progress(const QString &line);

    Invocation m_inv;
    Link m_link;
    bool m_progress = false;
    bool m_finished = false;
    int m_probeMs = kCommandTurnaroundMs; // find, scan
    int m_ceilingMs = kCommandTurnaroundMs;

    QStringList m_ports; // find

    struct Found
    {
        int address;
        quint32 lineSpeed;
        Damage damage;
    };
    QVector<quint32> m_speeds; // scan
    int m_speedIndex = 0;
    int m_scanAddress = 0;
    int m_scanned = 0;
    bool m_lingered = false;
    QVector<Found> m_modules, m_damaged;
    QElapsedTimer m_scanClock;

    quint8 m_address = 0; // watch
    int m_sent = 0, m_answered = 0, m_timeouts = 0, m_noise = 0, m_cutOff = 0, m_crcErrors = 0,
        m_exceptions = 0;
    double m_rttMin = 0, m_rttMax = 0, m_rttSum = 0;
    QElapsedTimer m_pollClock;
};

} // namespace quarvex::cli
