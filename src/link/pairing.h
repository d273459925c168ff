#pragma once

#include <QByteArray>

namespace quarvex {

// What the bytes received after a request amount to. Pure: no port, no clock.
struct Pairing
{
    enum Status
    {
        Incomplete, // no reply yet (nothing, part of one, or only bytes that fit none)
        Complete,   // the expected reply, CRC correct
        Exception,  // a Modbus exception reply to this request, CRC correct
    };

    Status status = Incomplete;
    int start = 0;  // where the reply begins in the received bytes
    int length = 0; // its length; 0 while incomplete
    // Bytes before the reply that belong to no reply of this request. While incomplete:
    // bytes before the earliest place a reply could still begin.
    int skipped = 0;
    // Places where a reply of the right shape was complete but its CRC failed.
    int crcFailures = 0;

    QByteArray reply(const QByteArray &received) const { return received.mid(start, length); }
    // The exception code; only for Exception.
    quint8 exceptionCode(const QByteArray &received) const
    {
        return quint8(received.at(start + 2));
    }
};

// Length of the normal reply to a request (CRC included), 0 when the request has no
// known reply shape (then only an exception reply can pair with it).
int expectedReplyLength(const QByteArray &request);

// Pairs a request (as sent, CRC included) with the bytes received since it was sent.
// Bytes that cannot start the expected reply are slid past; nothing beyond the received
// bytes is ever read, whatever a length byte in them claims.
Pairing pairReply(const QByteArray &request, const QByteArray &received);

} // namespace quarvex
