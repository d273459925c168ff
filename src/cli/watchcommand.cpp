#include "watchcommand.h"

#include "device/frames.h"
#include "report.h"

#include <QTimer>

#include <cstdio>

namespace quarvex::cli {

void WatchCommand::start()
{
    m_ctx.openForModule([this](quint8 address) {
        m_address = address;
        if (m_ctx.inv().csv)
            m_ctx.out(csvHeader());
        poll();
    });
}

void WatchCommand::interrupt(ExitStatus status)
{
    Q_UNUSED(status)
    summary();
}

void WatchCommand::poll()
{
    m_pollClock.start();
    m_ctx.engine().exchange(readRegistersFrame(m_address, Reg::LineSpeed, Reg::Count),
                            Policy::poll(m_ctx.inv().timeoutMs), [this](const Exchange &x) {
                                if (x.result == Exchange::PortFailed) {
                                    portFailed(x);
                                    return;
                                }
                                record(x);
                                if (m_ctx.inv().count > 0 && m_sent >= m_ctx.inv().count) {
                                    summary();
                                    return;
                                }
                                const qint64 wait = m_ctx.inv().intervalMs - m_pollClock.elapsed();
                                QTimer::singleShot(int(qMax<qint64>(0, wait)), this, [this] {
                                    if (!m_ctx.finished())
                                        poll();
                                });
                            });
}

// Told on stderr and, with --json, as a record of its own before the summary.
void WatchCommand::portFailed(const Exchange &x)
{
    const QString words = Context::portGoneWords(x);
    m_ctx.complain(words);
    if (m_ctx.inv().json)
        m_ctx.outJson(errorJson(code(ExitStatus::PortFailed), words));
    summary(ExitStatus::PortFailed);
}

// A reply that one of the polls before may have drawn is this poll's only when the module
// has answered clean polls before and this one came no sooner than half their time: a
// module slower than -t would otherwise have each reply credited to the next poll.
bool WatchCommand::answersThisPoll(const Exchange &x) const
{
    return !x.couldBeLate || (m_cleanRttMin > 0 && x.rttMs >= m_cleanRttMin / 2);
}

// One record a poll, answered or not, stamped to the millisecond.
void WatchCommand::record(const Exchange &x)
{
    ++m_sent;
    PollRecord r;
    r.time = QDateTime::currentDateTime();
    switch (x.result) {
    case Exchange::Reply:
        if (!answersThisPoll(x)) {
            ++m_late;
            r.late = true;
            break;
        }
        if (!x.couldBeLate)
            m_cleanRttMin = m_cleanRttMin > 0 ? qMin(m_cleanRttMin, x.rttMs) : x.rttMs;
        ++m_answered;
        m_rttMin = m_answered == 1 ? x.rttMs : qMin(m_rttMin, x.rttMs);
        m_rttMax = qMax(m_rttMax, x.rttMs);
        m_rttSum += x.rttMs;
        r.answered = decodeState(x.reply, &r.state);
        r.rttMs = x.rttMs;
        break;
    case Exchange::Silent:
        ++m_timeouts;
        break;
    case Exchange::Damaged:
        // Whatever the rate: bytes in the poll's window that fit no reply are noise.
        ++(x.damage == Damage::Noise    ? m_noise
           : x.damage == Damage::CutOff ? m_cutOff
                                        : m_crcErrors);
        r.damage = x.damage;
        break;
    case Exchange::Exception:
        ++m_exceptions;
        r.exception = exceptionText(x.exceptionCode);
        break;
    case Exchange::Late:
    case Exchange::Broadcast:
    case Exchange::PortFailed:
        break;
    }
    const Invocation &inv = m_ctx.inv();
    if (inv.csv)
        m_ctx.out(csvRecord(r));
    else if (inv.json)
        m_ctx.outJson(jsonRecord(r));
    else
        m_ctx.out(textRecord(r));
    std::fflush(stdout);
}

void WatchCommand::summary(std::optional<ExitStatus> status)
{
    if (m_ctx.finished())
        return;
    Summary s{m_sent,       m_answered, m_timeouts,
              m_noise,      m_cutOff,   m_crcErrors,
              m_exceptions, m_rttMin,   m_answered > 0 ? m_rttSum / m_answered : 0,
              m_rttMax};
    s.late = m_late;
    const Invocation &inv = m_ctx.inv();
    if (inv.json)
        m_ctx.outJson(summaryJson(s));
    else if (inv.csv)
        m_ctx.complain(summaryText(s)); // the CSV stays rows only
    else
        m_ctx.out(summaryText(s));
    m_ctx.finish(status.value_or(m_answered > 0 ? ExitStatus::Done : ExitStatus::NoValidReply));
}

} // namespace quarvex::cli
