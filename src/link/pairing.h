#pragma once

#include <QByteArray>
#include <QVector>

namespace quarvex {

// What the bytes received after a request amount to. Pure: no port, no clock.
struct Pairing
{
    enum Status
    {
        Incomplete, // no reply yet (nothing, part of one, or only bytes that fit none)
        Complete,   // the expected reply, CRC correct
        Exception,  // a Modbus exception reply to this request, CRC correct
        Late,       // a whole reply to one of the earlier requests, not to this one
    };

    Status status = Incomplete;
    int start = 0;  // where the reply begins in the received bytes
    int length = 0; // its length; 0 while incomplete
    // Bytes before the reply that belong to no reply of this request. While incomplete:
    // bytes before the earliest place a reply could still begin.
    int skipped = 0;
    // Places where a reply of the right shape was complete but its CRC failed.
    int crcFailures = 0;
    // Late: which of the earlier requests the reply answers.
    int earlier = -1;
    // Incomplete: the earlier request whose reply may be under way from `skipped` on (and
    // not this request's), -1 none.
    int partialEarlier = -1;
    // Incomplete: one of the earlier requests whose reply came with a bad CRC, -1 none.
    int earlierDamaged = -1;
    // Complete or Exception: an earlier request would take the very same reply, so it
    // may be that one's, come late.
    bool couldBeLate = false;
    // Bytes at the front that can be let go: they pile up past the kept limit and no
    // reply, begun or not, starts among them.
    int droppable = 0;

    QByteArray reply(const QByteArray &received) const { return received.mid(start, length); }
    // The exception code; only for Exception.
    quint8 exceptionCode(const QByteArray &received) const
    {
        return quint8(received.at(start + 2));
    }
};

// Well over the longest frame (kMaxFrameLength): what is kept of bytes that fit nothing.
constexpr int kKeptBytes = 1024;

// Length of the normal reply to a request (CRC included), 0 when the request has no
// known reply shape (then only an exception reply can pair with it).
int expectedReplyLength(const QByteArray &request);

// False for a Modbus request to bus address 0: every module acts on it, none answers.
// The module's own address frames travel to 0 too and are answered.
bool expectsReply(const QByteArray &request);

// Pairs a request (as sent, CRC included) with the bytes received around it. Bytes that
// cannot start the expected reply are slid past; nothing beyond the received bytes is
// ever read, whatever a length byte in them claims. `earlier` are requests whose tries
// ended without a reply: their replies may still come. The first `sentAt` received
// bytes came before this request was sent and can only be late replies.
Pairing pairReply(const QByteArray &request, const QByteArray &received,
                  const QVector<QByteArray> &earlier = {}, int sentAt = 0);

// What damaged bytes most likely were, as far as they tell.
enum class Damage
{
    None,      // nothing received
    Noise,     // bytes that begin no reply to this request
    CutOff,    // the reply began but stopped short
    BadCrc,    // a reply of the right shape whose CRC fails
    Collision, // two address reports on top of each other (a shared line)
};

Damage classifyDamage(const QByteArray &request, const QByteArray &received);

} // namespace quarvex
