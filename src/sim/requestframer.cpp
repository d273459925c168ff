#include "requestframer.h"

#include "device/frameshape.h"
#include "device/registers.h"
#include "link/crc16.h"

namespace quarvex::sim {

QList<QByteArray> RequestFramer::feed(const QByteArray &bytes)
{
    m_buffer.append(bytes);
    QList<QByteArray> frames;
    while (const int n = completeFrameLength()) {
        frames.append(m_buffer.left(n));
        m_buffer.remove(0, n);
    }
    if (m_buffer.size() > kMaxBuffer)
        frames.append(takeRest());
    return frames;
}

QByteArray RequestFramer::takeRest()
{
    QByteArray rest;
    rest.swap(m_buffer);
    return rest;
}

bool RequestFramer::holdsAt(int length) const
{
    return m_buffer.size() >= length && crcHolds(m_buffer.constData(), length);
}

int RequestFramer::completeFrameLength() const
{
    if (m_buffer.size() < kReadAddressLength)
        return 0;
    // 00 10 is either the write-address frame or a broadcast function 10.
    if (quint8(m_buffer.at(0)) == kAddressFrameBus && quint8(m_buffer.at(1)) == Fn::WriteAddress &&
        holdsAt(kWriteAddressLength))
        return kWriteAddressLength;
    const int n = requestLength(m_buffer.constData(), int(m_buffer.size()));
    return n > 0 && holdsAt(n) ? n : 0;
}

} // namespace quarvex::sim
