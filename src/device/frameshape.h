#pragma once

#include <QByteArray>

#include <array>

// The shapes of the frames on the line: how long a request or a reply is, from its own
// leading bytes or from the request it answers. The one place the window's framer, the
// command line's pairing and the virtual module's framer all read them from.
namespace quarvex {

// A Modbus RTU frame is at most 256 bytes: the address, a PDU of at most 253, the CRC.
constexpr int kMaxFrameLength = 256;
// Address, function with its top bit set, exception code, CRC.
constexpr int kExceptionReplyLength = 5;
// The module's own address frames.
constexpr int kReadAddressLength = 4;
constexpr int kWriteAddressLength = 5;
constexpr int kAddressReportLength = 5;
constexpr int kAddressChangedLength = 4;
// Function 03, 06 requests; 06 and 10 replies.
constexpr int kShortFrameLength = 8;
// What a byte count of 2N can still express in a read, and a write's values in a frame.
constexpr int kMaxReadCount = (kMaxFrameLength - 5) / 2;
constexpr int kMaxWriteCount = (kMaxFrameLength - 9) / 2;

// The length of a read reply whose byte count is `byteCount`, 0 when no frame can be that
// long.
constexpr int readReplyLength(int byteCount)
{
    return 5 + byteCount <= kMaxFrameLength ? 5 + byteCount : 0;
}

// The length of the request these `available` bytes begin, as far as they tell: 0 when
// more are needed to know, -1 when they begin no request of either protocol. Whether its
// CRC holds is the caller's to check; a frame to bus address 0 with function 10 may be the
// write-address frame (5 bytes) or a broadcast (see writeAddressLength).
int requestLength(const char *data, int available);

// The normal reply to a request: its length, and the leading bytes the request fixes.
// Length 0 when the request has no known reply (only an exception can pair with it).
struct ReplyShape
{
    int length = 0;
    QByteArray fixed;
};
ReplyShape replyShape(const QByteArray &request);

// The lengths a reply beginning with these bytes can have, 0 for none; a read reply's is
// known once its byte count is in (kMaxFrameLength until then).
std::array<int, 2> replyLengths(const quint8 *bytes, int available);

} // namespace quarvex
