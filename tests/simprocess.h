#pragma once

// The virtual module as a child process: its device path, its commands, and the
// frames it has received (from its log on standard error). Beside it, ser2net: the
// serial device server of Linux, bridging the module's pty to TCP.
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

class SimProcess
{
public:
    explicit SimProcess(const QStringList &args = {})
    {
        m_process.start(QStringLiteral(QUARVEX_SIM_PATH), args);
        m_path = stdoutLine();
    }
    ~SimProcess()
    {
        m_process.write("quit\n");
        if (!m_process.waitForFinished(2000))
            m_process.kill();
        m_process.waitForFinished(2000);
    }
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    // A device path, or with --tcp, --rfc2217 or --modbus-tcp the port name to open.
    QString path() const { return m_path; }
    // The port a network face listens on, 0 for a pty.
    quint16 port() const { return quint16(QUrl(m_path).port(0)); }

    void command(const QByteArray &line)
    {
        m_process.write(line + '\n');
        m_process.waitForBytesWritten(1000);
    }

    // One `status` answer, as key=value pairs.
    QMap<QString, QString> status()
    {
        command("status");
        QMap<QString, QString> map;
        for (const QString &w : stdoutLine().split(QLatin1Char(' ')))
            map.insert(w.section(QLatin1Char('='), 0, 0), w.section(QLatin1Char('='), 1));
        return map;
    }

    // Register r as the module holds it.
    int reg(int r)
    {
        return status()
            .value(QStringLiteral("regs"))
            .split(QLatin1Char(','))
            .value(r)
            .toInt(nullptr, 16);
    }

    // Every frame received so far, as lowercase hex, notes dropped.
    QStringList received() { return frames("rx "); }
    // Every frame put on the line so far: logged once its last byte is written.
    QStringList sent() { return frames("tx "); }

    bool waitForReceived(const QByteArray &frame, int timeoutMs = kWaitMs)
    {
        const QString hex = QString::fromLatin1(frame.toHex());
        return QTest::qWaitFor([&] { return received().contains(hex); }, timeoutMs);
    }
    bool waitForSent(const QByteArray &frame, int times = 1)
    {
        const QString hex = QString::fromLatin1(frame.toHex());
        return QTest::qWaitFor([&] { return sent().count(hex) >= times; }, kWaitMs);
    }
    // Waits for the module's note that begins with `start` ("sim: restarted").
    bool waitForNote(const QByteArray &start)
    {
        return QTest::qWaitFor(
            [&] {
                collect();
                return m_stderr.startsWith(start) || m_stderr.contains('\n' + start);
            },
            kWaitMs);
    }

private:
    // Bounds for what the module does on a machine busy with something else.
    static constexpr int kWaitMs = 10000;

    void collect() { m_stderr += m_process.readAllStandardError(); }
    QStringList frames(const QByteArray &prefix)
    {
        collect();
        QStringList hex;
        for (const QByteArray &line : m_stderr.split('\n'))
            if (line.startsWith(prefix))
                hex.append(QString::fromLatin1(line.mid(prefix.size()).split(' ').first()));
        return hex;
    }

    QString stdoutLine()
    {
        while (!m_process.canReadLine())
            if (!m_process.waitForReadyRead(kWaitMs))
                return {};
        return QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }

    QProcess m_process;
    QString m_path;
    QByteArray m_stderr;
};

// ser2net in front of a pty, on 127.0.0.1 at a free port: raw bytes (transparent mode) or
// Telnet with RFC 2217. Debian's ser2net 4 with its YAML configuration.
class Ser2net
{
public:
    enum class Mode
    {
        Raw,
        Rfc2217,
    };

    // Empty when ser2net is not installed.
    static QString program()
    {
        const QString path = QStandardPaths::findExecutable(
            QStringLiteral("ser2net"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
        return path.isEmpty() ? QStandardPaths::findExecutable(QStringLiteral("ser2net")) : path;
    }

    Ser2net(const QString &device, Mode mode, quint32 baud = 9600) : m_mode(mode)
    {
        // The port is free when picked but not held: another program may take it before
        // ser2net does, and then ser2net says so and we pick again.
        for (int attempt = 0; attempt < 5 && !m_port; ++attempt)
            start(device, freePort(), baud);
    }
    ~Ser2net() { stop(); }
    Ser2net(const Ser2net &) = delete;
    Ser2net &operator=(const Ser2net &) = delete;

    bool isListening() const { return m_port != 0; }
    quint16 port() const { return m_port; }
    // "tcp://127.0.0.1:4001" or "rfc2217://127.0.0.1:4001", as the tools open it.
    QString portName() const
    {
        return QStringLiteral("%1://127.0.0.1:%2")
            .arg(m_mode == Mode::Raw ? QStringLiteral("tcp") : QStringLiteral("rfc2217"))
            .arg(m_port);
    }
    // What ser2net said, for a failure message.
    QString log() const { return QString::fromLocal8Bit(m_log); }

    static quint16 freePort()
    {
        QTcpServer probe;
        return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
    }

private:
    void start(const QString &device, quint16 port, quint32 baud)
    {
        stop();
        QFile config(m_dir.filePath(QStringLiteral("ser2net.yaml")));
        if (!port || !config.open(QIODevice::WriteOnly))
            return;
        const QString accepter =
            m_mode == Mode::Raw ? QStringLiteral("tcp") : QStringLiteral("telnet(rfc2217),tcp");
        config.write(QStringLiteral("connection: &module\n"
                                    "  accepter: %1,127.0.0.1,%2\n"
                                    "  connector: serialdev,%3,%4n81,local\n")
                         .arg(accepter)
                         .arg(port)
                         .arg(device)
                         .arg(baud)
                         .toLocal8Bit());
        config.close();
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        // -n -d: in the foreground, -u: no UUCP lock files, -P: its pid file kept here.
        m_process.start(program(),
                        {QStringLiteral("-n"), QStringLiteral("-d"), QStringLiteral("-u"),
                         QStringLiteral("-P"), m_dir.filePath(QStringLiteral("pid")),
                         QStringLiteral("-c"), config.fileName()});
        bool listening = false;
        (void)QTest::qWaitFor(
            [&] {
                m_log += m_process.readAll();
                listening = listensOn(port);
                return listening || m_log.contains(kBindFailed) ||
                       m_process.state() == QProcess::NotRunning;
            },
            10000);
        if (listening && !m_log.contains(kBindFailed))
            m_port = port;
        else
            stop();
    }

    void stop()
    {
        m_port = 0;
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished(3000);
        m_log += m_process.readAll();
    }

    // A listening socket on 127.0.0.1:port, from the kernel's table of TCP sockets.
    static bool listensOn(quint16 port)
    {
        QFile table(QStringLiteral("/proc/net/tcp"));
        if (!table.open(QIODevice::ReadOnly))
            return false;
        const QByteArray local =
            "0100007F:" + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
        for (const QByteArray &line : table.readAll().split('\n')) {
            const QList<QByteArray> f = line.simplified().split(' ');
            if (f.size() > 3 && f[1] == local && f[3] == "0A")
                return true;
        }
        return false;
    }

    // What ser2net says when another program has the port.
    static constexpr const char *kBindFailed = "Unable to startup network port";

    Mode m_mode;
    QTemporaryDir m_dir;
    QProcess m_process;
    QByteArray m_log;
    quint16 m_port = 0;
};

// ser2net is part of the test set-up: a test that needs it skips without it, except in
// CI, which installs it (scripts/install-deps.sh), where its absence is a failure.
#define QUARVEX_REQUIRE_SER2NET()                                                                  \
    do {                                                                                           \
        if (Ser2net::program().isEmpty()) {                                                        \
            if (qgetenv("CI") == "true")                                                           \
                QFAIL("ser2net is not installed (scripts/install-deps.sh installs it)");           \
            QSKIP("ser2net is not installed (scripts/install-deps.sh installs it)");               \
        }                                                                                          \
    } while (false)
