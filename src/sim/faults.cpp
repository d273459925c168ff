#include "faults.h"

#include <QStringList>

namespace quarvex::sim {

bool useFault(FaultMode &mode)
{
    if (mode == FaultMode::Off)
        return false;
    if (mode == FaultMode::Once)
        mode = FaultMode::Off;
    return true;
}

bool parseFaultMode(const QString &word, FaultMode *mode)
{
    if (word == QLatin1String("on"))
        *mode = FaultMode::On;
    else if (word == QLatin1String("off"))
        *mode = FaultMode::Off;
    else if (word == QLatin1String("once"))
        *mode = FaultMode::Once;
    else
        return false;
    return true;
}

QString faultModeName(FaultMode mode)
{
    switch (mode) {
    case FaultMode::On:
        return QStringLiteral("on");
    case FaultMode::Once:
        return QStringLiteral("once");
    case FaultMode::Off:
        break;
    }
    return QStringLiteral("off");
}

QString Faults::describe() const
{
    QStringList parts;
    if (splitChunk > 0)
        parts << QStringLiteral("split=%1/%2").arg(splitChunk).arg(splitGapMs);
    const auto mode = [&parts](const char *name, FaultMode m) {
        if (m != FaultMode::Off)
            parts << QLatin1String(name) + QLatin1Char('=') + faultModeName(m);
    };
    mode("double", doubled);
    mode("stray", stray);
    mode("badcrc", badCrc);
    mode("silent", silent);
    mode("chatter", chatter);
    mode("keepaddress", keepAddress);
    if (noiseBytes > 0)
        parts << QStringLiteral("noise=%1").arg(noiseBytes);
    if (delayMs > 0)
        parts << QStringLiteral("delay=%1").arg(delayMs);
    if (unplugAfter > 0)
        parts << QStringLiteral("unplug-after=%1").arg(unplugAfter);
    return parts.isEmpty() ? QStringLiteral("none") : parts.join(QLatin1Char(','));
}

QList<TxPiece> shapeReply(const QByteArray &reply, Faults &faults)
{
    QList<TxPiece> pieces;
    if (reply.isEmpty() || useFault(faults.silent))
        return pieces;

    TxPiece frame;
    frame.bytes = reply;
    if (useFault(faults.badCrc) && reply.size() >= 2) {
        // Flipping every bit of the CRC's high byte can never leave it valid.
        frame.bytes[frame.bytes.size() - 1] = char(~quint8(reply.at(reply.size() - 1)));
        frame.note = QStringLiteral("bad crc");
    }
    if (faults.splitChunk > 0) {
        frame.chunk = faults.splitChunk;
        frame.gapMs = faults.splitGapMs;
        const QString split =
            QStringLiteral("split %1/%2ms").arg(faults.splitChunk).arg(faults.splitGapMs);
        frame.note = frame.note.isEmpty() ? split : frame.note + QStringLiteral(", ") + split;
    }
    if (faults.noiseBytes > 0)
        pieces.append(
            {QByteArray(faults.noiseBytes, char(kStrayByte)), QStringLiteral("noise"), 0, 0});
    if (useFault(faults.stray))
        pieces.append({QByteArray(1, char(kStrayByte)), QStringLiteral("stray"), 0, 0});
    pieces.append(frame);
    if (useFault(faults.doubled)) {
        frame.note = frame.note.isEmpty() ? QStringLiteral("double")
                                          : frame.note + QStringLiteral(", double");
        pieces.append(frame);
    }
    return pieces;
}

} // namespace quarvex::sim
