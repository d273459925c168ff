#pragma once

// A port and a clock the test drives by hand: bytes arrive when the script says, and time
// moves only when the test moves it, so every wait is checked to the millisecond.
#include "clock.h"
#include "link/transport.h"

#include <functional>
#include <optional>

class ManualClock : public quarvex::cli::Clock
{
public:
    qint64 nowNs() const override { return m_now; }
    void setAlarm(qint64 atNs) override { m_alarm = atNs; }
    void stopAlarm() override { m_alarm.reset(); }
    bool alarmSet() const override { return m_alarm.has_value(); }

    qint64 nowMs() const { return m_now / 1000000; }
    // To ms, ringing every alarm due on the way.
    void advanceTo(qint64 ms)
    {
        const qint64 target = ms * 1000000;
        while (m_alarm && *m_alarm <= target) {
            m_now = qMax(m_now, *m_alarm);
            m_alarm.reset();
            emit alarm();
        }
        m_now = qMax(m_now, target);
    }

private:
    qint64 m_now = 0;
    std::optional<qint64> m_alarm;
};

class ScriptedTransport : public quarvex::Transport
{
public:
    explicit ScriptedTransport(QObject *parent = nullptr)
        : Transport(QStringLiteral("scripted"), parent)
    {}

    quarvex::Scheme scheme() const override
    {
        return setsSpeed ? quarvex::Scheme::Serial : quarvex::Scheme::RtuOverTcp;
    }
    Opening open(quint32) override { return Opening::Open; }
    void close() override {}
    bool isOpen() const override { return true; }
    qint64 write(const QByteArray &frame) override
    {
        if (refuseWrites)
            return -1;
        written.append(frame);
        if (onWrite)
            onWrite(int(written.size()) - 1);
        emit bytesWritten();
        return frame.size();
    }
    QByteArray readAll() override { return take(); }
    QByteArray readPending() override { return take(); }
    qint64 bytesToWrite() const override { return 0; }
    void clearInput() override { m_in.clear(); }
    bool setLineSpeed(quint32) override { return true; }

    // Bytes on the line; told (readyRead) or held back as a busy computer does.
    void arrive(const QByteArray &bytes, bool tell = true)
    {
        m_in += bytes;
        if (tell)
            emit readyRead();
    }
    void lose(quarvex::TransportError::Kind kind) { fail(kind, QStringLiteral("gone")); }

    QVector<QByteArray> written;
    std::function<void(int)> onWrite; // the number of the write, from 0
    bool refuseWrites = false;
    bool setsSpeed = true; // false: the far server's, as over tcp://

private:
    QByteArray take()
    {
        QByteArray bytes;
        bytes.swap(m_in);
        return bytes;
    }
    QByteArray m_in;
};
