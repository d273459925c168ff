#include "scanstrategy.h"

#include <algorithm>

namespace quarvex::cli {

namespace {

ScanStep noted(ScanStep step, const QString &note)
{
    step.note = note;
    return step;
}

// The reply of an address asked before came while `address` was asked: never this
// address's. The probes wait longer from the late one on.
ScanStep lateReply(ScanState &s, const ProbeOutcome &o, int address)
{
    const int late = o.lateAddress;
    QString note;
    if (s.probeMs < s.ceilingMs) {
        s.probeMs = longerProbeMs(s.probeMs, o.lateMs, s.ceilingMs);
        note = QStringLiteral("a late reply from address %1 (%2 ms): probing again from there "
                              "with a %3 ms wait")
                   .arg(late)
                   .arg(o.lateMs)
                   .arg(s.probeMs);
        const ScanPlace place =
            rewindAfterLate({s.speedIndex, address}, late, int(s.speeds.size()), s.from, s.to);
        // The late reply was asked for at the speed the scan goes back to.
        if (o.damage == Damage::None)
            s.answeredLate.insert(place.speedIndex * 256 + late, o.lateMs);
        s.speedIndex = place.speedIndex;
        s.address = place.address;
        // What was found from there on is asked again.
        const auto after = [&s](const ScanFound &f) {
            const int speed = int(s.speeds.indexOf(f.lineSpeed));
            return speed > s.speedIndex || (speed == s.speedIndex && f.address >= s.address);
        };
        s.modules.erase(std::remove_if(s.modules.begin(), s.modules.end(), after), s.modules.end());
        s.damaged.erase(std::remove_if(s.damaged.begin(), s.damaged.end(), after), s.damaged.end());
    } else if (s.speedIndex < s.speeds.size()) {
        // Already waiting the longest: the late one is credited to its own address, and
        // this address is asked again.
        const ScanFound f{late, s.speeds.at(s.speedIndex), o.damage, 0};
        (o.damage == Damage::None ? s.modules : s.damaged).append(f);
    }
    s.confirming = false;
    return noted(nextScanStep(s), note);
}

// Asked again after a whole late reply, and no clean answer: the late one still proves a
// module there.
bool creditLateAnswer(ScanState &s, quint32 baud)
{
    const auto late = s.answeredLate.constFind(s.speedIndex * 256 + s.address);
    if (late == s.answeredLate.constEnd())
        return false;
    s.modules.append({s.address, baud, Damage::None, *late});
    return true;
}

} // namespace

ScanStep nextScanStep(ScanState &s)
{
    if (s.address > s.to) {
        ++s.speedIndex;
        s.address = s.from;
    }
    if (s.speedIndex >= s.speeds.size()) {
        if (s.lingered || s.probeMs >= s.ceilingMs)
            return {ScanStep::Done};
        // The last addresses' replies may still be on their way.
        s.lingered = true;
        return {ScanStep::Linger, 0, 0, s.ceilingMs};
    }
    return {ScanStep::Probe, s.speeds.at(s.speedIndex), s.address,
            s.confirming ? s.ceilingMs : s.probeMs};
}

ScanStep scanProbed(ScanState &s, const ProbeOutcome &o)
{
    const quint32 baud = s.speeds.at(s.speedIndex);
    switch (o.result) {
    case Exchange::Reply:
    case Exchange::Exception:
        if (o.couldBeLate && !s.confirming) {
            // This address was asked at another speed a moment ago.
            s.confirming = true;
            return noted(nextScanStep(s),
                         QStringLiteral("a reply that may be late: asking address %1 again "
                                        "with a %2 ms wait")
                             .arg(s.address)
                             .arg(s.ceilingMs));
        }
        s.modules.append({s.address, baud, Damage::None, 0});
        break;
    case Exchange::Damaged:
        if (o.couldBeLate && !s.confirming) {
            s.confirming = true;
            return nextScanStep(s);
        }
        if (!creditLateAnswer(s, baud))
            s.damaged.append({s.address, baud, o.damage, 0});
        break;
    case Exchange::Silent:
        if (s.confirming && s.probeMs < s.ceilingMs) {
            // It was late: the whole scan again, with time for a slow module.
            s.probeMs = s.ceilingMs;
            s.modules.clear();
            s.damaged.clear();
            s.speedIndex = 0;
            s.address = s.from;
            s.confirming = false;
            return noted(nextScanStep(s),
                         QStringLiteral("that reply was late: scanning again with a %1 ms wait")
                             .arg(s.probeMs));
        }
        creditLateAnswer(s, baud);
        break;
    case Exchange::Late:
        return lateReply(s, o, s.address);
    case Exchange::Broadcast:
        break;
    case Exchange::PortFailed:
        return {ScanStep::PortFailed};
    }
    ++s.scanned;
    ++s.address;
    s.confirming = false;
    return nextScanStep(s);
}

ScanStep scanLingered(ScanState &s, const ProbeOutcome &o)
{
    if (o.result != Exchange::Late)
        return nextScanStep(s);
    s.lingered = false;
    return lateReply(s, o, s.to + 1);
}

ScanStep scanSpeedRefused(ScanState &s)
{
    s.scanned += s.to - s.address + 1;
    s.address = s.to + 1;
    s.confirming = false;
    return nextScanStep(s);
}

} // namespace quarvex::cli
