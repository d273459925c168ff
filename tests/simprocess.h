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
    QStringList received()
    {
        m_stderr += m_process.readAllStandardError();
        QStringList frames;
        for (const QByteArray &line : m_stderr.split('\n'))
            if (line.startsWith("rx "))
                frames.append(QString::fromLatin1(line.mid(3).split(' ').first()));
        return frames;
    }

    // Until the module has logged a line that begins so (its own bytes are logged once
    // they are all on the line).
    bool waitForLog(const QByteArray &prefix, int timeoutMs = 10000)
    {
        return QTest::qWaitFor(
            [&] {
                m_stderr += m_process.readAllStandardError();
                return m_stderr.startsWith(prefix) || m_stderr.contains('\n' + prefix);
            },
            timeoutMs);
    }

    bool waitForReceived(const QByteArray &frame, int timeoutMs = 2000)
    {
        const QString hex = QString::fromLatin1(frame.toHex());
        return QTest::qWaitFor([&] { return received().contains(hex); }, timeoutMs);
    }

private:
    QString stdoutLine()
    {
        while (!m_process.canReadLine())
            if (!m_process.waitForReadyRead(2000))
                return {};
        return QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }

    QProcess m_process;
    QString m_path;
    QByteArray m_stderr;
};
