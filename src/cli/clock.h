#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace quarvex::cli {

// The request engine's time: a monotonic now and one alarm. The system's runs on the
// event loop; a test steps its own by hand, so waits can be checked to the millisecond.
class Clock : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    virtual qint64 nowNs() const = 0;
    // Rings once at atNs (at once if that has passed); replaces the alarm set before.
    virtual void setAlarm(qint64 atNs) = 0;
    virtual void stopAlarm() = 0;
    virtual bool alarmSet() const = 0;

signals:
    void alarm();
};

class SystemClock : public Clock
{
    Q_OBJECT

public:
    explicit SystemClock(QObject *parent = nullptr) : Clock(parent)
    {
        m_clock.start();
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this, &Clock::alarm);
    }
    qint64 nowNs() const override { return m_clock.nsecsElapsed(); }
    void setAlarm(qint64 atNs) override
    {
        // Rounded up: the alarm never rings before its time.
        const qint64 ms = (atNs - nowNs() + 999999) / 1000000;
        m_timer.start(int(qBound(qint64(0), ms, qint64(24 * 3600 * 1000))));
    }
    void stopAlarm() override { m_timer.stop(); }
    bool alarmSet() const override { return m_timer.isActive(); }

private:
    QElapsedTimer m_clock;
    QTimer m_timer;
};

} // namespace quarvex::cli
