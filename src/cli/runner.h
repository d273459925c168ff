#pragma once

#include "exchange.h"
#include "invocation.h"

#include <QElapsedTimer>
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
    // Ctrl+C: watch ends with its summary, anything else at once.
    void interrupt();

private:
    void finish(int status);
    void fail(const Exchange &x);
    bool openPort(const QString &name, quint32 baud, bool reportFailure);
    Policy commandPolicy() const;
    void withAddress(const std::function<void(quint8)> &next);
    void run(quint8 address);
    void command(const QByteArray &frame, const QString &doneText);
    void listPorts();

    void findOnPort(int port);
    void findAtSpeed(int port, int speed);

    void scanNext();
    void scanDone();

    void poll();
    void summary();

    void progress(const QString &line);

    Invocation m_inv;
    Link m_link;
    bool m_progress = false;
    bool m_finished = false;

    QStringList m_ports; // find

    struct Found
    {
        int address;
        quint32 lineSpeed;
    };
    QVector<quint32> m_speeds; // scan
    int m_speedIndex = 0;
    int m_scanAddress = 0;
    int m_scanned = 0;
    QVector<Found> m_modules, m_damaged;
    QElapsedTimer m_scanClock;

    quint8 m_address = 0; // watch
    int m_sent = 0, m_answered = 0, m_timeouts = 0, m_crcErrors = 0, m_exceptions = 0;
    double m_rttMin = 0, m_rttMax = 0, m_rttSum = 0;
    QElapsedTimer m_pollClock;
};

} // namespace quarvex::cli
