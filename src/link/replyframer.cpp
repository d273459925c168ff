#include "replyframer.h"

#include "crc16.h"
#include "device/frameshape.h"

#include <array>

namespace quarvex {

namespace {

// True when the bytes from pos to the end may be the first part of a reply.
bool replyMayContinue(const char *data, int size, int pos)
{
    const int avail = size - pos;
    for (int len : replyLengths(reinterpret_cast<const quint8 *>(data + pos), avail))
        if (len > avail)
            return true;
    return false;
}

} // namespace

int ReplyFramer::frameLengthAt(const char *data, int size, int pos)
{
    const int avail = size - pos;
    if (avail < 4)
        return 0;
    for (int len : replyLengths(reinterpret_cast<const quint8 *>(data + pos), avail))
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
        out += takeApart(true);
    return out;
}

qint64 ReplyFramer::msUntilQuiet(qint64 nowMs) const
{
    const qint64 left = m_lastByteMs + m_quietMs - nowMs;
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
    return takeApart(false);
}

// Cuts out every complete reply and gives the bytes around them back as strays. With
// keepIncompleteTail, stops at the first byte that may begin a reply still coming in:
// that is less than kMaxFrameLength from the end, so the buffer stays bounded.
ReplyFramer::Pieces ReplyFramer::takeApart(bool keepIncompleteTail)
{
    Pieces out;
    const char *data = m_buffer.constData();
    const int size = int(m_buffer.size());
    int strayStart = 0;
    int pos = 0;
    while (pos < size) {
        const int len = frameLengthAt(data, size, pos);
        if (len == 0) {
            if (keepIncompleteTail && replyMayContinue(data, size, pos))
                break;
            ++pos;
            continue;
        }
        if (pos > strayStart)
            out.append({m_buffer.mid(strayStart, pos - strayStart), false});
        out.append({m_buffer.mid(pos, len), true});
        pos += len;
        strayStart = pos;
    }
    if (pos > strayStart)
        out.append({m_buffer.mid(strayStart, pos - strayStart), false});
    m_buffer.remove(0, pos);
    return out;
}

} // namespace quarvex
