#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <array>

namespace quarvex {

struct Crc16Tables
{
    std::array<quint8, 256> low{};
    std::array<quint8, 256> high{};
};

// Reflected polynomial 0xA001, one byte per table entry, as the Modbus serial-line
// guide lays the tables out.
constexpr Crc16Tables makeCrc16Tables()
{
    Crc16Tables t;
    for (unsigned i = 0; i < 256; ++i) {
        unsigned x = i;
        for (int bit = 0; bit < 8; ++bit)
            x = (x & 1u) ? (x >> 1) ^ 0xA001u : x >> 1;
        t.low[i] = quint8(x & 0xFFu);
        t.high[i] = quint8(x >> 8);
    }
    return t;
}

inline constexpr Crc16Tables kCrc16Tables = makeCrc16Tables();

// CRC-16/MODBUS over length bytes; -1 when length is 0 (no byte is read).
int modbusCrc16(const quint8 *data, quint16 length);

// The frame followed by its CRC-16, low byte first.
QByteArray withCrc(const QByteArray &frame);

// True when the last two bytes are the CRC-16 of the bytes before them.
// Frames shorter than 3 bytes never hold.
bool crcHolds(const char *data, int length);
inline bool crcHolds(const QByteArray &frame)
{
    return crcHolds(frame.constData(), int(frame.size()));
}

} // namespace quarvex
