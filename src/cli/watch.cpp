// watch: one record a poll, answered or not, and a summary at the end.
#include "runner.h"

#include "device/frames.h"
#include "report.h"

#include <QTimer>

#include <cstdio>

namespace quarvex::cli {

void Runner::poll()
{
    m_pollClock.start();
    const Policy policy{m_inv.timeoutMs, 0, false, false};
    m_link.exchange(readRegistersFrame(m_address, Reg::LineSpeed, Reg::Count), policy,
                    [this](const Exchange &x) {
                        if (x.result == Exchange::PortFailed) {
                            complain(x.portGone ? Cli::tr("the port went away") : x.portError);
                            summary(2);
                            return;
                        }
                        record(x);
                        if (m_inv.count > 0 && m_sent >= m_inv.count) {
                            summary();
                            return;
                        }
                        const qint64 wait = m_inv.intervalMs - m_pollClock.elapsed();
                        QTimer::singleShot(int(qMax<qint64>(0, wait)), this, [this] {
                            if (!m_finished)
                                poll();
                        });
                    });
}

// One record a poll, answered or not, stamped to the millisecond.
void Runner::record(const Exchange &x)
{
    ++m_sent;
    PollRecord r;
    r.time = QDateTime::currentDateTime();
    switch (x.result) {
    case Exchange::Reply:
        ++m_answered;
        m_rttMin = m_answered == 1 ? x.rttMs : qMin(m_rttMin, x.rttMs);
        m_rttMax = qMax(m_rttMax, x.rttMs);
        m_rttSum += x.rttMs;
        r.answered = decodeState(x.reply, &r.state);
        r.rttMs = x.rttMs;
        break;
    case Exchange::Silent:
        ++(x.damage == Damage::Noise ? m_noise : m_timeouts);
        r.damage = x.damage;
        break;
    case Exchange::Damaged:
        ++(x.damage == Damage::CutOff ? m_cutOff : m_crcErrors);
        r.damage = x.damage;
        break;
    case Exchange::Exception:
        ++m_exceptions;
        r.exception = exceptionText(x.exceptionCode);
        break;
    default:
        break;
    }
    if (m_inv.csv)
        out(csvRecord(r));
    else if (m_inv.json)
        outJson(jsonRecord(r));
    else
        out(textRecord(r));
    std::fflush(stdout);
}

void Runner::summary(int status)
{
    if (m_finished)
        return;
    Summary s{m_sent,       m_answered, m_timeouts,
              m_noise,      m_cutOff,   m_crcErrors,
              m_exceptions, m_rttMin,   m_answered > 0 ? m_rttSum / m_answered : 0,
              m_rttMax};
    if (m_inv.json)
        outJson(summaryJson(s));
    else if (m_inv.csv)
        complain(summaryText(s)); // the CSV stays rows only
    else
        out(summaryText(s));
    finish(status >= 0 ? status : (m_answered > 0 ? 0 : 3));
}

} // namespace quarvex::cli
