#include "pairing.h"

#include "crc16.h"
#include "device/registers.h"

#include <QtEndian>

namespace quarvex {

namespace {

constexpr int kExceptionLength = 5;
constexpr int kAddressReportLength = 5;
constexpr int kAddressChangedLength = 4;
constexpr int kWriteReplyLength = 8;
constexpr int kModbusRequestLength = 8;
constexpr quint16 kMaxReadCount = 125; // what a byte count of 2N can still express

quint8 at(const QByteArray &f, int i)
{
    return quint8(f.at(i));
}

// The shape of the normal reply: its length and how many of its leading bytes are
// fixed by the request (taken from `fixed`).
struct Shape
{
    int length = 0;
    QByteArray fixed;
};

Shape replyShape(const QByteArray &req)
{
    Shape s;
    if (req.size() < 4)
        return s;
    const quint8 address = at(req, 0);
    const quint8 function = at(req, 1);
    // The module's own address frames go to bus address 0; a Modbus function 10 there
    // would be a longer broadcast, which nobody answers.
    if (address == kAddressFrameBus) {
        if (function == Fn::ReadAddress && req.size() == 4)
            s = {kAddressReportLength, req.left(2)};
        else if (function == Fn::WriteAddress && req.size() == 5)
            s = {kAddressChangedLength, req.left(2)};
        return s;
    }
    switch (function) {
    case Fn::ReadRegisters:
        if (req.size() == kModbusRequestLength) {
            const quint16 count = qFromBigEndian<quint16>(req.constData() + 4);
            if (count > 0 && count <= kMaxReadCount)
                s = {5 + 2 * count, req.left(2) + char(2 * count)};
        }
        break;
    case Fn::WriteRegister:
        if (req.size() == kModbusRequestLength)
            s = {kWriteReplyLength, req}; // the echo
        break;
    case Fn::WriteRegisters:
        if (req.size() >= 9)
            s = {kWriteReplyLength, req.left(6)};
        break;
    default:
        break;
    }
    return s;
}

enum class Fit
{
    No,
    Partly, // every byte there fits, more are needed
    Whole,  // complete and the CRC holds
    BadCrc,
};

Fit fitAt(const QByteArray &rx, int pos, const QByteArray &fixed, int length)
{
    const int have = qMin(int(rx.size()) - pos, length);
    const int check = qMin(have, int(fixed.size()));
    for (int i = 0; i < check; ++i)
        if (rx.at(pos + i) != fixed.at(i))
            return Fit::No;
    if (have < length)
        return Fit::Partly;
    return crcHolds(rx.constData() + pos, length) ? Fit::Whole : Fit::BadCrc;
}

} // namespace

int expectedReplyLength(const QByteArray &request)
{
    return replyShape(request).length;
}

Pairing pairReply(const QByteArray &request, const QByteArray &received)
{
    Pairing p;
    if (request.size() < 2) {
        p.skipped = int(received.size());
        return p;
    }
    QByteArray exceptionHead = request.left(2);
    exceptionHead[1] = char(at(request, 1) | Fn::ExceptionBit);
    // The normal reply is tried before the exception at each place.
    struct Candidate
    {
        Pairing::Status status;
        Shape shape;
    };
    const Candidate candidates[] = {
        {Pairing::Complete, replyShape(request)},
        {Pairing::Exception, {kExceptionLength, exceptionHead}},
    };

    int firstCandidate = -1;
    for (int pos = 0; pos < received.size(); ++pos) {
        bool partly = false;
        for (const Candidate &c : candidates) {
            if (c.shape.length == 0)
                continue;
            switch (fitAt(received, pos, c.shape.fixed, c.shape.length)) {
            case Fit::Whole:
                p.status = c.status;
                p.start = pos;
                p.length = c.shape.length;
                p.skipped = pos;
                return p;
            case Fit::BadCrc:
                ++p.crcFailures;
                break;
            case Fit::Partly:
                partly = true;
                break;
            case Fit::No:
                break;
            }
        }
        if (partly && firstCandidate < 0)
            firstCandidate = pos;
    }
    p.skipped = firstCandidate < 0 ? int(received.size()) : firstCandidate;
    return p;
}

} // namespace quarvex
