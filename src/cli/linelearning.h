#pragma once

#include <QString>
#include <QtGlobal>

namespace quarvex::cli {

// What the request engine learns of a line it cannot see: across a network the round trip
// (a proxy or a tunnel hides it from connecting), and where the far server sets the line
// speed, how fast the line is at least. Pure: fed the time replies took.
class LineLearning
{
public:
    void reset(bool serverSetsSpeed);
    void waitForNetwork() { m_network = true; }
    bool network() const { return m_network; }

    // The speed wire times are reckoned at: the link's, or where the far server sets it,
    // the least the line can be (the slowest, until replies show it faster).
    quint32 wireBaud(quint32 linkBaud) const { return m_serverSpeed ? m_farBaud : linkBaud; }
    // What every try waits more across the network.
    int networkShareMs(int measuredRoundTripMs) const;
    // A reply of replyBytes to a request of requestBytes took tookMs; a late one teaches the
    // round trip only. A line for the trace when the waits change, else empty.
    QString learn(double tookMs, int requestBytes, int replyBytes, bool late, quint32 linkBaud,
                  int measuredRoundTripMs);

private:
    bool m_network = false;
    bool m_serverSpeed = false;
    quint32 m_farBaud = 1200;
    int m_learntRoundTripMs = -1; // the least any reply took beyond its wire time; -1 none
};

} // namespace quarvex::cli
