#pragma once

#include "strategy.h"

#include <QString>
#include <QVector>

// find's decisions: where it stands and what the last exchange gave decide its next
// step. Pure, so every turn can be table-tested.
namespace quarvex::cli {

struct FindState
{
    int ports = 0;            // how many ports to try, in turn
    int port = -1;            // the one being tried
    quint32 givenBaud = 9600; // -b: the speed asked for where the server sets it
    int probeMs = kProbeTurnaroundMs;
    int ceilingMs = kCommandTurnaroundMs;
    // On the open port:
    bool units = false;       // through a gateway: unit identifiers instead of speeds
    bool serverSpeed = false; // the line speed is the far server's: that one only
    int speed = 0;            // the place in kSpeedOrder being tried
    int unit = 1;
    bool slowestFirst = false; // after a late reply: the speeds the other way round
    bool confirming = false;   // asked again with the longest wait
    bool lingered = false;     // listened for late replies after the last speed
    qint64 passStartMs = 0;    // when the pass over the speeds began
    // What was heard but not found:
    struct Unreadable
    {
        int port;
        quint32 baud; // 0: the server's
    };
    QVector<Unreadable> unreadable; // speeds where something answered, but unreadably
    int lateAddress = -1;           // a module that answered once, late, at a speed not known
};

struct FindStep
{
    enum Kind
    {
        OpenPort,   // open port number `port`
        ProbeSpeed, // ask for the address at `baud`, waiting `waitMs`
        ProbeUnit,  // read registers 00-01 of unit `address`, waiting `waitMs`
        Linger,     // listen `waitMs` for a late reply
        Found,      // a module at `address`, its line speed `baud` (0: the server's)
        NothingFound,
        Failed, // the last exchange's failure ends find
    };
    FindStep(Kind k = NothingFound, int p = 0, quint32 b = 0, int a = 0, int w = 0)
        : kind(k), port(p), baud(b), address(a), waitMs(w)
    {}
    Kind kind;
    int port;
    quint32 baud;
    int address;
    int waitMs;
    quint32 storedSpeed = 0; // Found through a gateway: the line speed the module keeps
    QString note;            // for the -v trace
};

// The first step. nowMs below: any clock in milliseconds, the same throughout.
FindStep startFind(FindState &s);
// The port of the last step opened (the way to it can carry the address frames and set
// the line speed, or not) or would not.
FindStep findPortOpened(FindState &s, bool ok, bool carriesAddressFrames, bool setsLineSpeed,
                        qint64 nowMs);
FindStep findSpeedRefused(FindState &s, qint64 nowMs);
FindStep findProbed(FindState &s, const ProbeOutcome &o, qint64 nowMs);
FindStep findUnitProbed(FindState &s, const ProbeOutcome &o);
FindStep findLingered(FindState &s, const ProbeOutcome &o, qint64 nowMs);

} // namespace quarvex::cli
