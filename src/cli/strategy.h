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

// find and scan: how long a probe gives the module to begin its reply, unless -t says.
// A silent address costs its request, this and one byte's time.
constexpr int kProbeTurnaroundMs = 40;
// Commands, and a probe asked again: the default of -t.
constexpr int kCommandTurnaroundMs = 1000;

// A network port adds to every try's turnaround its round trip, measured on connecting and
// doubled for a busy network, and the time a serial device server may hold the line's
// bytes before it sends them on.
constexpr int kServerHoldMs = 10;
constexpr int networkWaitMs(int roundTripMs)
{
    return 2 * roundTripMs + kServerHoldMs;
}

// After a late reply the probes wait longer: half as long again as the late one took,
// at least twice the last wait, never past the ceiling.
constexpr int longerProbeMs(int currentMs, int lateMs, int ceilingMs)
{
    return qMin(ceilingMs, qMax(2 * currentMs, lateMs + lateMs / 2));
}

// A place in a scan: a speed (its index in the scan's list) and a bus address.
struct ScanPlace
{
    int speedIndex;
    int address;
};

// Where a scan asks again from after a late reply of address `late` came while `at` was
// being asked (past the last speed: while listening at the end). An address above the
// one asked was asked at the speed before; otherwise the probe under way was spoilt too.
constexpr ScanPlace rewindAfterLate(ScanPlace at, int late, int speeds, int from, int to)
{
    const bool before = at.speedIndex >= speeds || (late > at.address && at.speedIndex > 0);
    const int address = before ? late : qMin(late, at.address);
    return {before ? at.speedIndex - 1 : at.speedIndex, qBound(from, address, to)};
}

} // namespace quarvex::cli
