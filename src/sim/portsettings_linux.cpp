// termios2 carries the speed as a number, which is the only way to see the rates
// without a B constant (14400, 128000) that a serial library sets with BOTHER. The
// kernel header clashes with <termios.h>, hence a file of its own.
#include "portsettings.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include "portspeeds.h"

namespace quarvex::sim {

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
    // Old kernels fill c_ospeed only for BOTHER.
    if (s.baud == 0)
        s.baud = speedOfCode(t.c_cflag & CBAUD);
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
    t.c_cflag |= speedCode(baud, BOTHER);
    t.c_ispeed = baud;
    t.c_ospeed = baud;
    return ioctl(fd, TCSETS2, &t) == 0;
}

} // namespace quarvex::sim
