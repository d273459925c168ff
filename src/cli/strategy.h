#pragma once

#include "device/fields.h"
#include "device/registers.h"
#include "exchange.h"

#include <QtGlobal>

#include <array>
#include <cstddef>

// What find and scan share: the order of the speeds, how long a probe waits, and what an
// exchange gave, as their pure decisions take it.
namespace quarvex::cli {

// The line speeds likeliest first: the factory speed, then the common ones, the slowest
// (and dearest to try) last.
constexpr std::array<quint32, kLineSpeeds.size()> kSpeedOrder = {9600, 19200, 115200, 57600, 4800,
                                                                 2400, 14400, 128000, 1200};

// Each of the nine, once: every speed is tried.
constexpr bool triesEverySpeedOnce()
{
    for (quint32 speed : kLineSpeeds) {
        int seen = 0;
        for (quint32 s : kSpeedOrder)
            seen += s == speed;
        if (seen != 1)
            return false;
    }
    return true;
}
static_assert(triesEverySpeedOnce(), "every line speed is tried once");
static_assert(kSpeedOrder[0] == Factory::LineSpeed, "the factory speed is tried first");

// find and scan: how long a probe gives the module to begin its reply, unless -t says.
// A silent address costs its request, this and one byte's time.
constexpr int kProbeTurnaroundMs = 40;
// Commands, and a probe asked again: the default of -t.
constexpr int kCommandTurnaroundMs = 1000;

// After a late reply the probes wait longer: half as long again as the late one took,
// at least twice the last wait, never past the ceiling.
constexpr int longerProbeMs(int currentMs, int lateMs, int ceilingMs)
{
    return qMin(ceilingMs, qMax(2 * currentMs, lateMs + lateMs / 2));
}

// What a probe's exchange gave, as the decisions of find and scan take it.
struct ProbeOutcome
{
    Exchange::Result result = Exchange::Silent;
    Damage damage = Damage::None;
    bool couldBeLate = false;
    QByteArray reply;
    int lateAddress = -1; // Late: the bus address the late reply came from
    int lateMs = 0;

    static ProbeOutcome of(const Exchange &x)
    {
        ProbeOutcome o;
        o.result = x.result;
        o.damage = x.damage;
        o.couldBeLate = x.couldBeLate;
        o.reply = x.reply;
        o.lateAddress = x.lateRequest.isEmpty() ? -1 : int(quint8(x.lateRequest.at(0)));
        o.lateMs = x.lateMs;
        // A gateway's word that nothing answered at the unit is no module's answer.
        if (x.result == Exchange::Exception &&
            ExceptionCode::fromGatewayForNoModule(x.exceptionCode))
            o.result = Exchange::Silent;
        return o;
    }
};

} // namespace quarvex::cli
