#pragma once

#include "faults.h"
#include "ptylink.h"
#include "requestframer.h"
#include "simline.h"
#include "txschedule.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace quarvex::sim {

// Puts the modules on the pty: frames requests, checks the client's line settings,
// paces replies at the line speed and bends them by the armed faults. Standard output
// carries device paths and status lines only; standard error gets one line per frame.
class SimController : public QObject
{
    Q_OBJECT

public:
    explicit SimController(QObject *parent = nullptr);

    SimLine &line() { return m_line; }
    const SimLine &line() const { return m_line; }
    Faults &faults() { return m_faults; }
    const Faults &faults() const { return m_faults; }
    void setLinkPath(const QString &path) { m_link.setLinkPath(path); }

    bool plug(QString *error);
    void unplug();
    bool isPlugged() const { return m_link.isOpen(); }
    QString path() const { return m_link.path(); }
    PortSettings portSettings() const { return m_link.portSettings(); }

    // Power cycle of one module: its stored line speed takes effect, a request half
    // heard is gone.
    void restart(int module);
    // Bytes on the line unasked, behind any reply under way.
    void send(const QByteArray &bytes);
    // The n-th request from now pulls the plug; 0 never.
    void unplugAfter(int n);

private:
    void onReceived(const QByteArray &bytes);
    void onSilence();
    void handleFrame(const QByteArray &frame, qint64 endNs);
    void onTxTimer();
    void armTxTimer();

    qint64 now() const { return m_clock.nsecsElapsed(); }
    // The speed requests arrive at: the client's, when some module listens at it.
    quint32 lineSpeed() const;
    qint64 silenceNs() const;

    SimLine m_line;
    Faults m_faults;
    PtyLink m_link;
    RequestFramer m_framer;
    TxSchedule m_schedule;
    QElapsedTimer m_clock;
    QTimer m_silenceTimer;
    QTimer m_txTimer;
    QTimer m_chatterTimer;
    char m_chatterByte = 0;
    // Where the last request byte would have ended on a real wire.
    qint64 m_rxWireEndNs = 0;
    int m_requestsSinceArmed = 0;
};

// One line on standard output (answers) or standard error (everything else).
void printOut(const QString &line);
void printLog(const QString &line);

} // namespace quarvex::sim
