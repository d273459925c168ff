// Where the speed is only known through the B constants.
#include "portsettings.h"

#include <termios.h>

#include "portspeeds.h"

namespace quarvex::sim {

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
    s.baud = speedOfCode(unsigned(code));
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
    const speed_t code = speed_t(speedCode(baud, B9600));
    cfsetispeed(&t, code);
    cfsetospeed(&t, code);
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

} // namespace quarvex::sim
