#pragma once

#include "strategy.h"

#include <QMap>
#include <QString>
#include <QVector>

// scan's decisions: where it stands and what the last exchange gave decide its next
// step. Pure, so every turn can be table-tested.
namespace quarvex::cli {

struct ScanFound
{
    int address;
    quint32 lineSpeed;
    Damage damage;
    int lateMs = 0; // a module that answered once, late, and not when asked again
};

struct ScanState
{
    QVector<quint32> speeds; // in the order scanned
    int from = 1, to = 254;
    int ceilingMs = kCommandTurnaroundMs; // the longest a probe waits
    int probeMs = kProbeTurnaroundMs;     // what a probe waits now
    int speedIndex = 0;
    int address = 1;
    bool confirming = false; // the probe here is asked again with the longest wait
    bool lingered = false;   // listened for late replies at the end
    int scanned = 0;         // places done, for the progress line
    QVector<ScanFound> modules, damaged;
    // Places (speed index x 256 + address) whose late reply came whole, with how late: a
    // module is there, even if asking again brings nothing.
    QMap<int, int> answeredLate;

    ScanState(const QVector<quint32> &speedList, int first, int last, int probe, int ceiling)
        : speeds(speedList), from(first), to(last), ceilingMs(ceiling), probeMs(probe),
          address(first)
    {}
    int total() const { return (to - from + 1) * int(speeds.size()); }
};

struct ScanStep
{
    enum Kind
    {
        Probe,  // ask `address` at `baud`, waiting `waitMs` for the reply to begin
        Linger, // listen `waitMs` for late replies
        Done,
        PortFailed,
    };
    ScanStep(Kind k = Done, quint32 b = 0, int a = 0, int w = 0)
        : kind(k), baud(b), address(a), waitMs(w)
    {}
    Kind kind;
    quint32 baud;
    int address;
    int waitMs;
    QString note; // for the -v trace
};

// From where the scan stands.
ScanStep nextScanStep(ScanState &s);
// After the probe of the last step.
ScanStep scanProbed(ScanState &s, const ProbeOutcome &o);
// After listening at the end.
ScanStep scanLingered(ScanState &s, const ProbeOutcome &o);
// The port would not take the last step's speed: nothing is heard at it.
ScanStep scanSpeedRefused(ScanState &s);

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
