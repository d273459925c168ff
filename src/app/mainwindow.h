#pragma once

#include "device/commands.h"
#include "link/replyframer.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QStringList>

#include <functional>

class QTimer;
class PortWatch;
class Help;

namespace quarvex {
class Transport;
struct TransportError;
} // namespace quarvex

namespace Ui {
class MainWindow;
}

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    void lockControls();
    void unlockControls();

    // Kept for the window's fixed interface; the CRC itself lives in the link code.
    static int modbusCrc16(const quint8 *data, quint16 length);
    void sendFrame(QByteArray frame);
    void appendLog(const QString &line);

    // Refills the port box when the list of present ports differs from the last one.
    void updatePortList(const QStringList &names);

    // Lines the traffic log keeps; the oldest go beyond it.
    static constexpr int kLogLimit = 100000;
    void setLogLimit(int lines);
    // The log, oldest line first, under a line naming the time, port and line speed;
    // once it is saved, the log says where.
    bool saveLog(const QString &path, QString *error = nullptr);

    // How a port name becomes the way to the line (by default, the link's one place for
    // it). A test gives the window a stand-in, such as a driver that runs the line at
    // another speed than the chosen one.
    using TransportFactory = std::function<quarvex::Transport *(const QString &, QObject *)>;
    void setTransportFactory(TransportFactory factory) { m_transportFactory = factory; }

    // Noise lines the log shows a second; what comes beyond them is counted and summed up.
    static constexpr int kNoiseLinesPerSecond = 10;
    static constexpr int kNoiseLineBytes = 32; // shown of each run of noise

public slots:
    // The port's readyRead; the name is the window's fixed interface.
    void slotReceived1();
    void slotTimeout();
    void slotHelp();

private slots:
    void on_btnOpen_clicked();
    void on_btnWriteAddr_clicked();
    void on_btnClear_clicked();
    void on_btnM1Follow_clicked();
    void on_btnM1Back_clicked();
    void on_btnM1Break_clicked();
    void on_btnM2Follow_clicked();
    void on_btnM2Back_clicked();
    void on_btnM2Break_clicked();
    void on_btnSystem_clicked();
    void on_btnM1Stop_clicked();
    void on_btnSetBaud_clicked();
    void on_btnM1Freq_clicked();
    void on_btnM2Freq_clicked();
    void on_btnM2Stop_clicked();

private:
    void setDeviceControlsEnabled(bool enabled);
    void openPort();
    void onPortOpened();
    void closePort();
    void enterClosedState();
    bool portOpen() const;
    void onPortFailed(const quarvex::TransportError &error);
    void portLost(const QString &reason);
    void onQuietTimeout();
    void takeReceived();
    void handlePieces(const QVector<quarvex::ReplyFramer::Piece> &pieces);
    void logNoise(const QByteArray &bytes);
    void summariseNoise();
    void handleReply(const QByteArray &frame);
    void runCommand(quarvex::Command command);
    void showLogMenu(const QPoint &pos);

    Ui::MainWindow *ui;
    // The way to the line, made anew from the port name at each opening.
    quarvex::Transport *m_serial;
    bool m_connecting = false;
    QTimer *m_scanTimer;
    QStringList m_portNames;
    Help *m_help;

    // Replies are cut out of this buffer; the quiet timer ends a burst.
    quarvex::ReplyFramer m_framer;
    QTimer *m_quietTimer;
    // Bytes are taken once an event-loop turn, however often the port tells of them.
    QTimer *m_takeTimer;
    QTimer *m_noiseTimer; // a second of noise lines
    int m_noiseLines = 0;
    QString m_reportedAddress; // as the module reported it, until the port closes
    qint64 m_noiseSummarised = 0;
    QElapsedTimer m_clock;
    QString m_portInUse;
    int m_logLimit = kLogLimit;
    PortWatch *m_portWatch;
    TransportFactory m_transportFactory;
};
