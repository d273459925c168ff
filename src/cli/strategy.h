#pragma once

#include <QtGlobal>

#include <array>

// How find and scan spend their time on the line; pure, so the figures can be checked.
namespace quarvex::cli {

// The nine line speeds, likeliest first: the factory speed, then the common ones, the
// slowest (and dearest to try) last.
constexpr std::array<quint32, 9> kSpeedOrder = {9600, 19200, 115200, 57600, 4800,
                                                2400, 14400, 128000, 1200};

// Time the bytes take on the wire at 8N1 (10 bits a byte), rounded up.
constexpr int wireMs(int bytes, quint32 baud)
{
    return int((qint64(bytes) * 10 * 1000 + baud - 1) / baud);
}

// Covers the module's turnaround and a USB adapter's receive latency.
constexpr int kTurnaroundMs = 50;

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

} // namespace quarvex::cli
