#pragma once

#include "context.h"

#include <QElapsedTimer>

namespace quarvex::cli {

struct PollRecord;

// watch: one record a poll, answered or not, and a summary at the end.
class WatchCommand : public CommandGroup
{
    Q_OBJECT

public:
    using CommandGroup::CommandGroup;
    void start() override;
    // The summary, then the signal's status.
    void interrupt(ExitStatus status) override;

private:
    void poll();
    void record(const Exchange &x);
    void portFailed(const Exchange &x);
    bool answersThisPoll(const Exchange &x) const;
    // status: the run's, or by the replies when none is given.
    void summary(std::optional<ExitStatus> status = std::nullopt);

    quint8 m_address = 0;
    int m_sent = 0, m_answered = 0, m_timeouts = 0, m_noise = 0, m_cutOff = 0, m_crcErrors = 0,
        m_exceptions = 0, m_late = 0;
    double m_cleanRttMin = 0; // the quickest reply no earlier poll could have drawn
    double m_rttMin = 0, m_rttMax = 0, m_rttSum = 0;
    QElapsedTimer m_pollClock;
};

} // namespace quarvex::cli
