#include "crc16.h"

namespace quarvex {

int modbusCrc16(const quint8 *data, quint16 length)
{
    if (length == 0)
        return -1;
    quint8 lo = 0xFF;
    quint8 hi = 0xFF;
    for (quint16 i = 0; i < length; ++i) {
        const quint8 k = lo ^ data[i];
        lo = hi ^ kCrc16Tables.low[k];
        hi = kCrc16Tables.high[k];
    }
    return hi * 256 + lo;
}

QByteArray withCrc(const QByteArray &frame)
{
    QByteArray out = frame;
    const int crc =
        modbusCrc16(reinterpret_cast<const quint8 *>(frame.constData()), quint16(frame.size()));
    out.append(char(crc & 0xFF));
    out.append(char((crc >> 8) & 0xFF));
    return out;
}

bool crcHolds(const char *data, int length)
{
    if (length < 3 || length - 2 > 0xFFFF)
        return false;
    const auto *bytes = reinterpret_cast<const quint8 *>(data);
    const int crc = modbusCrc16(bytes, quint16(length - 2));
    return crc == bytes[length - 2] + 256 * bytes[length - 1];
}

} // namespace quarvex
