#pragma once

#include "link/pairing.h"

#include <QByteArray>
#include <QString>

namespace quarvex::cli {

// How long one try waits for a reply to begin, and when it is tried again.
struct Policy
{
    int turnaroundMs = 1000;
    int retries = 1;
    bool retrySilence = true; // false: only a damaged reply is tried again
    // A late reply to an earlier request ends the exchange (Late) instead of being passed
    // over while the awaited one is waited for.
    bool reportLate = false;

    // A command: tried again after silence too.
    static Policy command(int turnaroundMs, int retries)
    {
        return {turnaroundMs, retries, true, false};
    }
    // A probe of find or scan: silence is an answer, only damage is asked again.
    static Policy probe(int turnaroundMs, int retries)
    {
        return {turnaroundMs, retries, false, false};
    }
    // One poll of watch: never tried again, the next poll is.
    static Policy poll(int turnaroundMs) { return {turnaroundMs, 0, false, false}; }
    Policy reportingLate() const
    {
        Policy p = *this;
        p.reportLate = true;
        return p;
    }
};

// What came of one request.
struct Exchange
{
    enum Result
    {
        Reply,
        Exception,
        Silent,    // no reply began: nothing came, or only noise (damage says which)
        Damaged,   // a reply began, but none came whole (damage says how)
        Late,      // a reply to an earlier request came instead (lateRequest)
        Broadcast, // sent to every module; none answers
        PortFailed,
    };
    Result result = Silent;
    QByteArray request; // as sent, CRC included
    QByteArray reply;   // the reply, or what came of it
    quint8 exceptionCode = 0;
    double rttMs = 0;
    int tries = 0;
    Damage damage = Damage::None;
    // Reply: an earlier identical request may have drawn it.
    bool couldBeLate = false;
    QByteArray lateRequest;
    int lateMs = 0; // Late: from that request to its reply
    QString portError;
    bool portGone = false; // the device went away (unplugged)
};

} // namespace quarvex::cli
