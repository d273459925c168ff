#include "findstrategy.h"

#include "link/replydecoder.h"

#include <QtEndian>

namespace quarvex::cli {

namespace {

FindStep nextPort(FindState &s)
{
    s.lingered = false;
    s.slowestFirst = false;
    if (++s.port >= s.ports)
        return {FindStep::NothingFound};
    return {FindStep::OpenPort, s.port};
}

quint32 baudAt(const FindState &s)
{
    if (s.serverSpeed)
        return s.givenBaud;
    const int n = int(kSpeedOrder.size());
    return kSpeedOrder[std::size_t(s.slowestFirst ? n - 1 - s.speed : s.speed)];
}

FindStep atSpeed(FindState &s, qint64 nowMs)
{
    // Over tcp:// the server's speed, whatever it is, is the one tried.
    if (s.speed >= int(kSpeedOrder.size()) || (s.serverSpeed && s.speed > 0)) {
        if (s.lingered || s.probeMs >= s.ceilingMs)
            return nextPort(s);
        // A slow module's reply to one of the probes may still be on its way; at which
        // speed is not known, so they are all asked again, with time to answer. Probes
        // older than the longest wait are not waited for.
        s.lingered = true;
        return {FindStep::Linger, s.port, 0, 0,
                int(qMax<qint64>(0, s.ceilingMs - (nowMs - s.passStartMs)))};
    }
    if (s.speed == 0)
        s.passStartMs = nowMs;
    return {FindStep::ProbeSpeed, s.port, baudAt(s), 0, s.confirming ? s.ceilingMs : s.probeMs};
}

FindStep atUnit(FindState &s)
{
    if (s.unit > int(fieldSpec(Field::Address).max))
        return nextPort(s);
    return {FindStep::ProbeUnit, s.port, 0, s.unit, s.probeMs};
}

FindStep noted(FindStep step, const QString &note)
{
    step.note = note;
    return step;
}

} // namespace

FindStep startFind(FindState &s)
{
    s.port = -1;
    return nextPort(s);
}

FindStep findPortOpened(FindState &s, bool ok, bool carriesAddressFrames, bool setsLineSpeed,
                        qint64 nowMs)
{
    if (!ok)
        return nextPort(s);
    s.confirming = false;
    s.units = !carriesAddressFrames;
    if (s.units) {
        s.unit = int(fieldSpec(Field::Address).min);
        return atUnit(s);
    }
    s.serverSpeed = !setsLineSpeed;
    s.speed = 0;
    return atSpeed(s, nowMs);
}

FindStep findSpeedRefused(FindState &s, qint64 nowMs)
{
    ++s.speed;
    s.confirming = false;
    return atSpeed(s, nowMs);
}

FindStep findProbed(FindState &s, const ProbeOutcome &o, qint64 nowMs)
{
    switch (o.result) {
    case Exchange::Silent:
        if (s.confirming && s.probeMs < s.ceilingMs) {
            // The reply that came belonged to a probe at an earlier speed.
            s.probeMs = s.ceilingMs;
            s.speed = 0;
            s.confirming = false;
            return noted(atSpeed(s, nowMs),
                         QStringLiteral("that reply was late: probing again with a %1 ms wait")
                             .arg(s.probeMs));
        }
        return findSpeedRefused(s, nowMs);
    case Exchange::Reply:
        if (o.couldBeLate && !s.confirming) {
            // The same request went out at the speeds before: a slow module's reply to one
            // of them can land here. Asked again, with time to answer.
            s.confirming = true;
            return noted(atSpeed(s, nowMs),
                         QStringLiteral("a reply that may be late: asking again at %1 bit/s "
                                        "with a %2 ms wait")
                             .arg(baudAt(s))
                             .arg(s.ceilingMs));
        }
        return {FindStep::Found, s.port, s.serverSpeed ? 0 : baudAt(s),
                int(reportedAddress(o.reply))};
    case Exchange::Damaged:
        if (o.couldBeLate && !s.confirming) {
            s.confirming = true;
            return atSpeed(s, nowMs);
        }
        // Something answered at this speed: several modules at once, noise, or a module at
        // another speed. Told if no clean answer comes at any.
        s.unreadable.append({s.port, s.serverSpeed ? 0 : baudAt(s)});
        return findSpeedRefused(s, nowMs);
    default:
        return {FindStep::Failed, s.port};
    }
}

// Through a gateway: the first unit that answers a read of registers 00-01. A late reply
// cannot mislead here: the gateway's transaction identifier pairs it.
FindStep findUnitProbed(FindState &s, const ProbeOutcome &o)
{
    switch (o.result) {
    case Exchange::Reply: {
        // Registers 00-01: the speed the module keeps; the gateway's line is its own.
        FindStep found{FindStep::Found, s.port, 0, s.unit};
        found.storedSpeed =
            o.reply.size() >= 7 ? qFromBigEndian<quint32>(o.reply.constData() + 3) : 0;
        return found;
    }
    case Exchange::Exception:
        return {FindStep::Found, s.port, 0, s.unit};
    case Exchange::PortFailed:
        return {FindStep::Failed, s.port};
    default:
        ++s.unit;
        return atUnit(s);
    }
}

FindStep findLingered(FindState &s, const ProbeOutcome &o, qint64 nowMs)
{
    if (o.result != Exchange::Late)
        return atSpeed(s, nowMs);
    s.lateAddress = int(reportedAddress(o.reply));
    // Likeliest from the last probes: the speeds are asked the other way round.
    s.probeMs = s.ceilingMs;
    s.slowestFirst = true;
    s.speed = 0;
    s.confirming = false;
    return noted(atSpeed(s, nowMs),
                 QStringLiteral("a late reply: probing again, slowest speed first, with a %1 ms "
                                "wait")
                     .arg(s.probeMs));
}

} // namespace quarvex::cli
