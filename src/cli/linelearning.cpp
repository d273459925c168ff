#include "linelearning.h"

#include "device/fields.h"
#include "link/trytiming.h"

namespace quarvex::cli {

void LineLearning::reset(bool serverSetsSpeed)
{
    *this = LineLearning();
    m_serverSpeed = serverSetsSpeed;
    m_farBaud = kLineSpeeds.front();
}

int LineLearning::networkShareMs(int measuredRoundTripMs) const
{
    return m_network ? networkWaitMs(qMax(measuredRoundTripMs, m_learntRoundTripMs)) : 0;
}

QString LineLearning::learn(double tookMs, int requestBytes, int replyBytes, bool late,
                            quint32 linkBaud, int measuredRoundTripMs)
{
    QString note;
    const int bytes = requestBytes + replyBytes;
    // The line is at least as fast as the slowest speed that carries both in that time.
    if (m_serverSpeed && !late) {
        for (quint32 speed : kLineSpeeds) {
            if (wireMs(bytes, speed) > tookMs)
                continue;
            if (speed > m_farBaud) {
                m_farBaud = speed;
                note = QStringLiteral("the server's line runs at %1 bit/s or faster, by a "
                                      "reply's time")
                           .arg(speed);
            }
            break;
        }
    }
    // What a reply took beyond the wire time is the network's, and the module's
    // turnaround; the least of them all is the network's floor.
    if (!m_network)
        return note;
    const int roundTrip = qMax(0, int(tookMs) - wireMs(bytes, wireBaud(linkBaud)));
    if (m_learntRoundTripMs >= 0 && roundTrip >= m_learntRoundTripMs)
        return note;
    const int before = networkShareMs(measuredRoundTripMs);
    m_learntRoundTripMs = roundTrip;
    if (networkShareMs(measuredRoundTripMs) == before)
        return note;
    return QStringLiteral("round trip %1 ms, learnt from replies: every try waits %2 ms more")
        .arg(roundTrip)
        .arg(networkShareMs(measuredRoundTripMs));
}

} // namespace quarvex::cli
