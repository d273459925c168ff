#pragma once

// The virtual module as a child process: its device path, its commands, and the
// frames it has received (from its log on standard error).
#include <QMap>
#include <QProcess>
#include <QStringList>
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

    QString path() const { return m_path; }

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
