#pragma once

#include "device/frameshape.h"

#include <QtGlobal>

// How long one try of a request waits, from the moment the request is written; pure,
// so the figures can be table-tested at any line speed.
namespace quarvex {

// Time bytes take on the wire at 8N1 (10 bits a byte), rounded up.
constexpr int wireMs(int bytes, quint32 baud)
{
    return int((qint64(bytes) * 10 * 1000 + baud - 1) / baud);
}

// Allowed between two bytes of one reply, and after the last before the line counts
// as quiet: a USB adapter hands bytes on in bursts, a busy computer reads them late.
constexpr int gapMs(quint32 baud)
{
    return 20 + wireMs(2, baud);
}


// Over a network a try waits longer for its reply to begin: the round trip, doubled for
// a busy network, and the time a serial device server may hold the line's bytes before it
// sends them on. (The window, which pairs nothing, waits instead for a quiet gap inside a
// reply: see ReplyFramer::kNetworkQuietMs.)
constexpr int kServerHoldMs = 10;
constexpr int networkWaitMs(int roundTripMs)
{
    return 2 * roundTripMs + kServerHoldMs;
}

struct TryTiming
{
    int turnaroundMs; // how long the module may take to begin its reply (-t)
    int requestBytes; // as written, CRC included
    int replyBytes;   // the expected reply's length
    quint32 baud;
};

// The try ends here unless a reply has begun: the request on the wire, the module's
// turnaround, its first byte.
constexpr int firstByteEndMs(const TryTiming &t)
{
    return wireMs(t.requestBytes + 1, t.baud) + t.turnaroundMs;
}

// Never later than this: a reply begun at the last moment, all of it, and a gap. A line
// that never falls quiet cannot hold the try open.
constexpr int tryCapMs(const TryTiming &t)
{
    return firstByteEndMs(t) + wireMs(t.replyBytes, t.baud) + gapMs(t.baud);
}

// The try's end once part of a reply has come at nowMs with missingBytes still to come:
// pushed back by their wire time and a gap, never pulled in, never past the cap.
constexpr int tryEndMs(const TryTiming &t, int endMs, int nowMs, int missingBytes)
{
    return qMax(endMs,
                qMin(nowMs + wireMs(qMax(missingBytes, 1), t.baud) + gapMs(t.baud), tryCapMs(t)));
}

// A try after a failed one goes out once the line has been quiet for a gap, so it never
// talks over a reply still under way; but no later than the longest frame after the end.
constexpr int retryAtMs(int endMs, int lastByteMs, quint32 baud)
{
    return qMin(qMax(endMs, lastByteMs + gapMs(baud)),
                endMs + wireMs(kMaxFrameLength, baud) + gapMs(baud));
}

} // namespace quarvex
