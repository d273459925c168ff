#pragma once

#include "device/fields.h"
#include "device/registers.h"

#include <QtGlobal>

#include <array>
#include <cstddef>

// How find and scan spend their time on the line; pure, so the figures can be checked.
namespace quarvex::cli {

// The line speeds as places in kLineSpeeds, likeliest first: the factory speed, then
// the common ones, the slowest (and dearest to try) last.
constexpr std::array<int, kLineSpeeds.size()> kLikeliestSpeeds = {3, 5, 7, 6, 2, 1, 4, 8, 0};

constexpr std::array<quint32, kLineSpeeds.size()> likeliestFirst()
{
    std::array<quint32, kLineSpeeds.size()> order{};
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = kLineSpeeds[std::size_t(kLikeliestSpeeds[i])];
    return order;
}

constexpr std::array<quint32, kLineSpeeds.size()> kSpeedOrder = likeliestFirst();

// Nine places, each of them once: every speed is tried.
constexpr bool triesEverySpeedOnce()
{
    int seen = 0;
    for (int i : kLikeliestSpeeds)
        seen |= 1 << i;
    return seen == (1 << kLineSpeeds.size()) - 1;
}
static_assert(triesEverySpeedOnce(), "every line speed is tried once");
static_assert(kSpeedOrder[0] == Factory::LineSpeed, "the factory speed is tried first");

// Time the bytes take on the wire at 8N1 (10 bits a byte), rounded up.
constexpr int wireMs(int bytes, quint32 baud)
{
    return int((qint64(bytes) * 10 * 1000 + baud - 1) / baud);
}

// Covers the module's turnaround and a USB adapter's receive latency.
constexpr int kTurnaroundMs = 50;

// A network port adds to every try's turnaround its round trip, measured on connecting and
// doubled for a busy network, and the time a serial device server may hold the line's
// bytes before it sends them on.
constexpr int kServerHoldMs = 10;
constexpr int networkWaitMs(int roundTripMs)
{
    return 2 * roundTripMs + kServerHoldMs;
}

// find: the read-address request (4 bytes) and its reply (5) must both fit.
constexpr int findWaitMs(quint32 baud)
{
    return wireMs(4 + 5, baud) + kTurnaroundMs;
}

// scan: a silent address costs the request (8 bytes) and the turnaround; a reply that
// has begun is waited for by its length.
constexpr int scanWaitMs(quint32 baud)
{
    return wireMs(8, baud) + kTurnaroundMs;
}

// After a part of a reply has come, the rest needs its own wire time plus the turnaround.
constexpr int restWaitMs(int missingBytes, quint32 baud)
{
    return wireMs(missingBytes > 0 ? missingBytes : 1, baud) + kTurnaroundMs;
}

// When a try that waits for the rest of a begun reply ends, in ms from its request: a
// part pushes the end back to the rest's own wait, but never past the try's wait plus the
// whole reply's, so a line that never goes quiet cannot hold the try open.
constexpr int tryEndMs(int waitMs, int endMs, int elapsedMs, int missingBytes, int replyBytes,
                       quint32 baud)
{
    return qMax(endMs, qMin(elapsedMs + restWaitMs(missingBytes, baud),
                            waitMs + restWaitMs(replyBytes, baud)));
}

} // namespace quarvex::cli
