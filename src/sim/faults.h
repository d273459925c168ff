#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace quarvex::sim {

// Faults are off, on for every reply, or armed for the next reply only.
enum class FaultMode
{
    Off,
    On,
    Once
};

struct Faults
{
    int splitChunk = 0; // bytes per piece, 0 = whole replies
    int splitGapMs = 20;
    FaultMode doubled = FaultMode::Off; // the reply twice, back to back
    FaultMode stray = FaultMode::Off;   // one 0xFF ahead of the reply
    FaultMode badCrc = FaultMode::Off;
    FaultMode silent = FaultMode::Off; // the module acts, the reply is lost
    // Instead of the reply, its first byte over and over until the next request: a
    // transmitter stuck on, a line that never falls quiet.
    FaultMode chatter = FaultMode::Off;
    // An address write acknowledged as usual while the module keeps its address.
    FaultMode keepAddress = FaultMode::Off;
    int noiseBytes = 0;  // 0xFF bytes ahead of every reply
    int delayMs = 0;     // turnaround after the request's last byte
    int unplugAfter = 0; // the n-th request pulls the plug, 0 = never

    // One line for the status answer: "split=2/20,double=on" or "none".
    QString describe() const;
};

bool parseFaultMode(const QString &word, FaultMode *mode);
// Whether a fault acts now; a one-shot fault is used up.
bool useFault(FaultMode &mode);
QString faultModeName(FaultMode mode);

// One frame of what goes on the wire for a reply.
struct TxPiece
{
    QByteArray bytes;
    QString note;
    int chunk = 0;
    int gapMs = 0;
};

constexpr quint8 kStrayByte = 0xFF;

// The reply as the armed faults bend it; one-shot faults are used up. Empty when the
// reply is to be lost.
QList<TxPiece> shapeReply(const QByteArray &reply, Faults &faults);

} // namespace quarvex::sim
