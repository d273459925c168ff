// Where the speed is only known through the B constants.
#include "portsettings.h"

#include <termios.h>

namespace quarvex::sim {

namespace {

struct SpeedCode
{
    quint32 baud;
    speed_t code;
};

constexpr SpeedCode kSpeedCodes[] = {
    {1200, B1200},   {2400, B2400},   {4800, B4800},   {9600, B9600},
    {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200},
};

} // namespace

PortSettings readPortSettings(int fd)
{
    PortSettings s;
    struct termios t
    {
    };
    if (tcgetattr(fd, &t) != 0)
        return s;
    s.valid = true;
    const speed_t code = cfgetospeed(&t);
    for (const SpeedCode &c : kSpeedCodes)
        if (c.code == code)
            s.baud = c.baud;
    if (s.baud == 0)
        s.baud = quint32(code); // platforms whose speed_t is the rate itself
    s.eightN1 = (t.c_cflag & CSIZE) == CS8 && !(t.c_cflag & PARENB) && !(t.c_cflag & CSTOPB);
    return s;
}

bool makeRaw(int fd, quint32 baud)
{
    struct termios t
    {
    };
    if (tcgetattr(fd, &t) != 0)
        return false;
    cfmakeraw(&t);
    t.c_cflag |= CREAD | CLOCAL;
    speed_t code = B9600;
    for (const SpeedCode &c : kSpeedCodes)
        if (c.baud == baud)
            code = c.code;
    cfsetispeed(&t, code);
    cfsetospeed(&t, code);
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

} // namespace quarvex::sim
