#pragma once

#include "faults.h"
#include "ptylink.h"
#include "requestframer.h"
#include "simmodule.h"
#include "txschedule.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QSocketNotifier;

namespace quarvex::sim {

// Puts the module on the pty: frames requests, checks the client's line settings,
// paces replies at the line speed, bends them by the armed faults and takes commands
// from standard input. Standard output carries device paths and status lines only;
// standard error gets one line per frame.
class SimController : public QObject
{
    Q_OBJECT

public:
    explicit SimController(QObject *parent = nullptr);

    SimModule &module() { return m_module; }
    Faults &faults() { return m_faults; }
    void setLinkPath(const QString &path) { m_link.setLinkPath(path); }

    bool plug(QString *error);
    void unplug();
    void listenToStdin();
    // One command line; false with a message for a line it could not carry out.
    bool execute(const QString &line, QString *error);

signals:
    void quitRequested();

private:
    void onReceived(const QByteArray &bytes);
    void onSilence();
    void handleFrame(const QByteArray &frame, qint64 endNs);
    void onTxTimer();
    void armTxTimer();
    void onStdin();
    void restart();
    QString statusLine() const;

    qint64 now() const { return m_clock.nsecsElapsed(); }
    qint64 silenceNs() const;

    static void out(const QString &line);
    static void log(const QString &line);

    SimModule m_module;
    Faults m_faults;
    PtyLink m_link;
    RequestFramer m_framer;
    TxSchedule m_schedule;
    QElapsedTimer m_clock;
    QTimer m_silenceTimer;
    QTimer m_txTimer;
    QSocketNotifier *m_stdin = nullptr;
    QByteArray m_stdinBuffer;
    // Where the last request byte would have ended on a real wire.
    qint64 m_rxWireEndNs = 0;
    int m_requestsSinceArmed = 0;
};

} // namespace quarvex::sim
