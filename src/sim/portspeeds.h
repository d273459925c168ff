#pragma once

// The B constants the termios calls know, shared by both port-settings files. Include it
// after <termios.h> or <asm/termbits.h>, whichever the file uses: the two headers clash,
// but on every platform we build for they give the constants the same values.
#include <QtGlobal>

namespace quarvex::sim {

struct SpeedCode
{
    quint32 baud;
    unsigned code;
};

constexpr SpeedCode kSpeedCodes[] = {
    {1200, B1200},     {2400, B2400},   {4800, B4800},   {9600, B9600},
    {19200, B19200},   {38400, B38400}, {57600, B57600}, {115200, B115200},
#ifdef B230400
    {230400, B230400},
#endif
#ifdef B460800
    {460800, B460800},
#endif
#ifdef B921600
    {921600, B921600},
#endif
};

// The B constant for a speed, `otherwise` when there is none.
inline unsigned speedCode(quint32 baud, unsigned otherwise)
{
    for (const SpeedCode &c : kSpeedCodes)
        if (c.baud == baud)
            return c.code;
    return otherwise;
}

// The speed a B constant stands for, 0 when it is none of the table.
inline quint32 speedOfCode(unsigned code)
{
    for (const SpeedCode &c : kSpeedCodes)
        if (c.code == code)
            return c.baud;
    return 0;
}

} // namespace quarvex::sim
