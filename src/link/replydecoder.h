#pragma once

#include <QByteArray>
#include <QString>

namespace quarvex {

enum class ReplyKind
{
    Other, // logged only: echoes, motor replies, exceptions, bad CRC
    AddressReport,
    LineSpeedChanged,
    AddressChanged,
    ParameterSummary,
};

// What a received frame is, judged by its own bytes alone. Frames whose CRC does
// not hold, or that are too short for what their leading bytes claim, are Other.
ReplyKind classifyReply(const QByteArray &frame);

// The address in an address report (byte 2). Only for AddressReport frames.
quint8 reportedAddress(const QByteArray &frame);

// The text for the parameter label from a read-all reply. Only for ParameterSummary frames.
QString parameterSummary(const QByteArray &frame);

// Lowercase hex, two digits a byte, no separators.
QString hexText(const QByteArray &bytes);

} // namespace quarvex
