#include "device/frameshape.h"

#include "device/registers.h"

#include <QtEndian>

namespace quarvex {

int requestLength(const char *data, int available)
{
    if (available < 2)
        return 0;
    const quint8 address = quint8(data[0]);
    const quint8 function = quint8(data[1]);
    if (address == kAddressFrameBus && function == Fn::ReadAddress)
        return kReadAddressLength;
    switch (function) {
    case Fn::ReadRegisters:
    case Fn::WriteRegister:
        return kShortFrameLength;
    case Fn::WriteRegisters:
        // Address, function, first register, count, byte count, the values, CRC.
        return available < 7 ? 0 : 9 + quint8(data[6]);
    default:
        return -1;
    }
}

ReplyShape replyShape(const QByteArray &req)
{
    ReplyShape s;
    if (req.size() < 4)
        return s;
    const quint8 address = quint8(req.at(0));
    const quint8 function = quint8(req.at(1));
    // The module's own address frames go to bus address 0; a Modbus function 10 there
    // would be a longer broadcast, which nobody answers.
    if (address == kAddressFrameBus) {
        if (function == Fn::ReadAddress && req.size() == kReadAddressLength)
            s = {kAddressReportLength, req.left(2)};
        else if (function == Fn::WriteAddress && req.size() == kWriteAddressLength)
            s = {kAddressChangedLength, req.left(2)};
        return s;
    }
    switch (function) {
    case Fn::ReadRegisters:
        if (req.size() == kShortFrameLength) {
            const quint16 count = qFromBigEndian<quint16>(req.constData() + 4);
            if (count > 0 && count <= kMaxReadCount)
                s = {readReplyLength(2 * count), req.left(2) + char(2 * count)};
        }
        break;
    case Fn::WriteRegister:
        if (req.size() == kShortFrameLength)
            s = {kShortFrameLength, req}; // the echo
        break;
    case Fn::WriteRegisters:
        if (req.size() >= 9)
            s = {kShortFrameLength, req.left(6)};
        break;
    default:
        break;
    }
    return s;
}

std::array<int, 2> replyLengths(const quint8 *b, int available)
{
    if (available < 2)
        return {kMaxFrameLength, 0};
    switch (b[1]) {
    case Fn::ReadAddress:
        return {b[0] == kAddressFrameBus ? kAddressReportLength : 0, 0};
    case Fn::WriteRegisters: // also the address-change reply, 00 10 CRC
        return {b[0] == kAddressFrameBus ? kAddressChangedLength : 0, kShortFrameLength};
    case Fn::WriteRegister:
        return {kShortFrameLength, 0};
    case Fn::ReadRegisters:
        return {available > 2 ? readReplyLength(b[2]) : kMaxFrameLength, 0};
    default:
        return {(b[1] & Fn::ExceptionBit) ? kExceptionReplyLength : 0, 0};
    }
}

} // namespace quarvex
