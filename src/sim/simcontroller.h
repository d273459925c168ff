#pragma once

#include "faults.h"
#include "requestframer.h"
#include "simline.h"
#include "simlink.h"
#include "txschedule.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <memory>

namespace quarvex::sim {

// Puts the modules behind a face (a pty, a serial device server, a Modbus TCP gateway):
// frames requests, checks the client's line settings, paces replies at the line speed
// and bends them by the armed faults. Standard output carries device paths, port names
// and status lines only; standard error gets one line per frame.
class SimController : public QObject
{
    Q_OBJECT

public:
    explicit SimController(QObject *parent = nullptr);

    SimLine &line() { return m_line; }
    const SimLine &line() const { return m_line; }
    Faults &faults() { return m_faults; }
    const Faults &faults() const { return m_faults; }
    // Where clients reach the modules; set once, before plug().
    void setFace(std::unique_ptr<SimFace> face);

    bool plug(QString *error);
    void unplug();
    bool isPlugged() const { return m_face && m_face->isOpen(); }
    QString path() const { return m_face ? m_face->path() : QString(); }
    PortSettings portSettings() const { return m_face ? m_face->portSettings() : PortSettings{}; }

    // Power cycle of one module: its stored line speed takes effect, a request half
    // heard is gone.
    void restart(int module);
    // Bytes on the line unasked, behind any reply under way; only a face that carries
    // bytes passes them on, a gateway does not.
    bool carriesBytes() const { return m_link; }
    void send(const QByteArray &bytes);
    // The n-th request from now pulls the plug; 0 never.
    void unplugAfter(int n);
    // Random bytes on the line, this many a second, unlogged and unpaced: a garbage-sending
    // server or a line full of noise; 0 stops them.
    void flood(int bytesPerSecond);
    // Module i off the line for ms, then a factory-fresh one in its place, as a technician
    // swaps modules on a bench line.
    void swap(int module, int ms);

private:
    void onReceived(const QByteArray &bytes);
    void onSilence();
    void handleFrame(const QByteArray &frame, qint64 endNs);
    // A whole request off the line: checked against the line settings, logged, acted on.
    // The reply as the faults bend it; none when no module heard it or one pulled the plug.
    QList<TxPiece> hearFrame(const QByteArray &frame, const PortSettings &port);
    // A gateway's turn on the line, see ModbusGateway::Exchange.
    QByteArray exchange(const QByteArray &frame, qint64 *busyNs);
    void onTxTimer();
    void armTxTimer();

    qint64 now() const { return m_clock.nsecsElapsed(); }
    // The speed requests arrive at: the client's, when some module listens at it.
    quint32 lineSpeed() const;
    qint64 silenceNs() const;

    SimLine m_line;
    Faults m_faults;
    std::unique_ptr<SimFace> m_face;
    SimLink *m_link = nullptr; // the face, when it hands over a byte stream
    RequestFramer m_framer;
    TxSchedule m_schedule;
    QElapsedTimer m_clock;
    QTimer m_silenceTimer;
    QTimer m_txTimer;
    QTimer m_chatterTimer;
    QTimer m_floodTimer;
    int m_floodRate = 0;
    char m_chatterByte = 0;
    // Where the last request byte would have ended on a real wire.
    qint64 m_rxWireEndNs = 0;
    int m_requestsSinceArmed = 0;
};

// One line on standard output (answers) or standard error (everything else).
void printOut(const QString &line);
void printLog(const QString &line);

} // namespace quarvex::sim
