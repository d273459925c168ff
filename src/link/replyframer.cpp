#include "replyframer.h"

#include "crc16.h"
#include "device/registers.h"

namespace quarvex {

int ReplyFramer::frameLengthAt(const char *data, int size, int pos)
{
    const int avail = size - pos;
    if (avail < 4)
        return 0;
    const auto *b = reinterpret_cast<const quint8 *>(data + pos);
    int candidates[2] = {0, 0};
    switch (b[1]) {
    case Fn::ReadAddress:
        if (b[0] == kAddressFrameBus)
            candidates[0] = 5;
        break;
    case Fn::WriteRegisters: // also the address-change reply, 00 10 CRC
        if (b[0] == kAddressFrameBus)
            candidates[0] = 4;
        candidates[1] = 8;
        break;
    case Fn::WriteRegister:
        candidates[0] = 8;
        break;
    case Fn::ReadRegisters:
        candidates[0] = 5 + b[2];
        break;
    default:
        if (b[1] & Fn::ExceptionBit)
            candidates[0] = 5;
        break;
    }
    for (int len : candidates)
        if (len > 0 && len <= avail && crcHolds(data + pos, len))
            return len;
    return 0;
}

ReplyFramer::Pieces ReplyFramer::cutFront()
{
    Pieces out;
    int pos = 0;
    while (int len = frameLengthAt(m_buffer.constData(), int(m_buffer.size()), pos)) {
        out.append({m_buffer.mid(pos, len), true});
        pos += len;
    }
    m_buffer.remove(0, pos);
    return out;
}

ReplyFramer::Pieces ReplyFramer::feed(const QByteArray &bytes, qint64 nowMs)
{
    if (bytes.isEmpty())
        return {};
    m_buffer.append(bytes);
    m_lastByteMs = nowMs;
    Pieces out = cutFront();
    if (m_buffer.size() > kMaxPending)
        out += flush();
    return out;
}

qint64 ReplyFramer::msUntilQuiet(qint64 nowMs) const
{
    const qint64 left = m_lastByteMs + kQuietMs - nowMs;
    return left > 0 ? left : 0;
}

ReplyFramer::Pieces ReplyFramer::poll(qint64 nowMs)
{
    if (m_buffer.isEmpty() || msUntilQuiet(nowMs) > 0)
        return {};
    return flush();
}

ReplyFramer::Pieces ReplyFramer::flush()
{
    Pieces out;
    const char *data = m_buffer.constData();
    const int size = int(m_buffer.size());
    int strayStart = 0;
    int pos = 0;
    while (pos < size) {
        const int len = frameLengthAt(data, size, pos);
        if (len == 0) {
            ++pos;
            continue;
        }
        if (pos > strayStart)
            out.append({m_buffer.mid(strayStart, pos - strayStart), false});
        out.append({m_buffer.mid(pos, len), true});
        pos += len;
        strayStart = pos;
    }
    if (size > strayStart)
        out.append({m_buffer.mid(strayStart), false});
    m_buffer.clear();
    return out;
}

} // namespace quarvex
