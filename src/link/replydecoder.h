#pragma once

#include <QByteArray>
#include <QString>

#include <array>

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

// What a read of registers 00-0B, or 00-0D with the alarm flags, says.
struct MotorState
{
    quint32 frequency = 0;
    quint16 direction = 0;
    quint16 speed = 0;
    quint16 brake = 0;
    quint16 alarm = 0; // 0 when the alarm flags were not read
};

struct ModuleState
{
    quint8 address = 0;
    quint32 lineSpeed = 0;
    std::array<MotorState, 2> motors;
};

// False, the state untouched, for any frame that is not such a reply. The CRC is the
// caller's to check.
bool decodeState(const QByteArray &reply, ModuleState *state);

// The text for the parameter label from a read-all reply. Only for ParameterSummary frames.
QString parameterSummary(const QByteArray &frame);

// Lowercase hex, two digits a byte, no separators.
QString hexText(const QByteArray &bytes);

} // namespace quarvex
