// termios2 carries the speed as a number, which is the only way to see the rates
// without a B constant (14400, 128000) that a serial library sets with BOTHER. The
// kernel header clashes with <termios.h>, hence a file of its own.
#include "portsettings.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace quarvex::sim {

namespace {

struct SpeedCode
{
    quint32 baud;
    unsigned code;
};

constexpr SpeedCode kSpeedCodes[] = {
    {1200, B1200},     {2400, B2400},     {4800, B4800},     {9600, B9600},
    {19200, B19200},   {38400, B38400},   {57600, B57600},   {115200, B115200},
    {230400, B230400}, {460800, B460800}, {921600, B921600},
};

} // namespace

PortSettings readPortSettings(int fd)
{
    PortSettings s;
    struct termios2 t
    {
    };
    if (ioctl(fd, TCGETS2, &t) != 0)
        return s;
    s.valid = true;
    s.baud = t.c_ospeed;
    if (s.baud == 0) {
        // Old kernels fill c_ospeed only for BOTHER.
        for (const SpeedCode &c : kSpeedCodes)
            if ((t.c_cflag & CBAUD) == c.code)
                s.baud = c.baud;
    }
    s.eightN1 = (t.c_cflag & CSIZE) == CS8 && !(t.c_cflag & PARENB) && !(t.c_cflag & CSTOPB);
    return s;
}

bool makeRaw(int fd, quint32 baud)
{
    struct termios2 t
    {
    };
    if (ioctl(fd, TCGETS2, &t) != 0)
        return false;
    t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF);
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS | CBAUD);
    t.c_cflag |= CS8 | CREAD | CLOCAL;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    unsigned code = BOTHER;
    for (const SpeedCode &c : kSpeedCodes)
        if (c.baud == baud)
            code = c.code;
    t.c_cflag |= code;
    t.c_ispeed = baud;
    t.c_ospeed = baud;
    return ioctl(fd, TCSETS2, &t) == 0;
}

} // namespace quarvex::sim
