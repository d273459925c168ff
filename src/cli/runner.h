#pragma once

#include "exchange.h"
#include "invocation.h"
#include "strategy.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <QStringList>

#include <functional>
#include <vector>

namespace quarvex::cli {

// Carries out one invocation on the event loop and ends it with the exit status.
class Runner : public QObject
{
    Q_OBJECT

public:
    explicit Runner(const Invocation &invocation, QObject *parent = nullptr);

    // What a runner for one of several ports says, kept for its group in the output.
    struct Sink
    {
        QStringList out;
        QVector<QJsonObject> json;
        QStringList err;
    };
    // Such a runner ends by calling done with its exit status, not by ending the program.
    Runner(const Invocation &invocation, Sink *sink, std::function<void(int)> done,
           QObject *parent);

    void start();
    // A signal's exit status (130, 143): watch ends with its summary, scan with what it
    // found so far, anything else at once.
    void interrupt(int status);

private:
    void finish(int status);
    void watchSpeed();
    // As report.h's, kept in the sink when there is one.
    void out(const QString &text);
    void outJson(const QJsonObject &o);
    void complain(const QString &text);
    // The message on stderr (and as JSON with --json), then the status.
    void failWith(int status, const QString &message);
    void fail(const Exchange &x);
    // next(true) once the port is open; next(false) when it would not (told and finished
    // when reportFailure).
    void openPort(const QString &name, quint32 baud, bool reportFailure,
                  const std::function<void(bool)> &next);
    bool refuseAddressFrames();
    void opened();
    Policy commandPolicy() const;
    void withAddress(const std::function<void(quint8)> &next);
    void run(quint8 address);
    void command(const QByteArray &frame, const QString &doneText, const QJsonObject &extra = {});
    void withAlarm(quint8 address, Motor motor, const std::function<void(bool)> &next);
    void checkAddress(const std::function<void()> &next);
    void setAddress();
    void listPorts();

    void findOnPort(int port);
    void findAtSpeed(int port, int speed, bool confirming);
    void findUnit(int port, int address);
    // lineSpeed 0: the server's, not known here.
    void found(int port, int address, quint32 lineSpeed);

    void scanPorts();
    void portsScanned();
    void scanNext(bool confirming = false);
    void scanLate(const Exchange &x, int address);
    void scanDone(int interruptedStatus = 0);

    void poll();
    void record(const Exchange &x);
    void summary(int status = -1);

    void progress(const QString &line);

    Invocation m_inv;
    Sink *m_sink = nullptr;
    std::function<void(int)> m_done;
    Link m_link;
    bool m_progress = false;
    bool m_finished = false;
    int m_probeMs = kCommandTurnaroundMs; // find, scan
    int m_ceilingMs = kCommandTurnaroundMs;

    QStringList m_ports;        // find
    bool m_serverSpeed = false; // find, scan: the line speed is the far server's
    QElapsedTimer m_passClock;
    bool m_slowestFirst = false;

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
    bool m_lingered = false; // find, scan: listened for late replies at the end
    QVector<Found> m_modules, m_damaged;
    QElapsedTimer m_scanClock;
    std::vector<Sink> m_lineSinks; // scan of several ports: one runner each
    QVector<int> m_lineStatus;
    int m_linesLeft = 0;

    quint8 m_address = 0; // watch
    int m_sent = 0, m_answered = 0, m_timeouts = 0, m_noise = 0, m_cutOff = 0, m_crcErrors = 0,
        m_exceptions = 0;
    double m_rttMin = 0, m_rttMax = 0, m_rttSum = 0;
    QElapsedTimer m_pollClock;
};

} // namespace quarvex::cli
