#include "requestframer.h"

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
    if (m_buffer.size() < 4)
        return 0;
    const quint8 address = quint8(m_buffer.at(0));
    const quint8 function = quint8(m_buffer.at(1));

    if (address == kAddressFrameBus) {
        if (function == Fn::ReadAddress)
            return holdsAt(4) ? 4 : 0;
        // 00 10 is either the write-address frame or a broadcast function 10.
        if (function == Fn::WriteAddress && holdsAt(5))
            return 5;
    }
    switch (function) {
    case Fn::ReadRegisters:
    case Fn::WriteRegister:
        return holdsAt(8) ? 8 : 0;
    case Fn::WriteRegisters: {
        if (m_buffer.size() < 7)
            return 0;
        const int n = 9 + quint8(m_buffer.at(6));
        return holdsAt(n) ? n : 0;
    }
    default:
        return 0;
    }
}

} // namespace quarvex::sim
