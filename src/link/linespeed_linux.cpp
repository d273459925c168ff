// termios2 carries the speed as a number, the only way to see a rate set without a
// B constant (14400, 128000). The kernel header clashes with <termios.h>.
#include "linespeed.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace quarvex {

quint32 actualLineSpeed(qintptr handle)
{
    struct termios2 t
    {
    };
    if (handle < 0 || ioctl(int(handle), TCGETS2, &t) != 0)
        return 0;
    // Old kernels fill c_ospeed only for custom rates; then the speed is unknown here.
    return t.c_ospeed;
}

} // namespace quarvex
