#include "linespeed.h"

#include <cstdlib>

#if defined(Q_OS_LINUX)
// termios2 carries the speed as a number, the only way to see a rate set without a
// B constant (14400, 128000). The kernel header clashes with <termios.h>.
#include <asm/termbits.h>
#include <sys/ioctl.h>
#elif defined(Q_OS_WIN)
#include <qt_windows.h>
#endif

namespace quarvex {

bool lineSpeedReplaced(quint32 chosen, quint32 actual)
{
    if (actual == 0 || chosen == 0)
        return false;
    // More than 1 % off.
    return std::llabs(qint64(actual) - qint64(chosen)) * 100 > qint64(chosen);
}

#if defined(Q_OS_LINUX)
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
#elif defined(Q_OS_WIN)
quint32 actualLineSpeed(qintptr handle)
{
    // The port's handle is a HANDLE; the driver's own settings block holds the rate.
    const HANDLE port = reinterpret_cast<HANDLE>(handle);
    if (port == nullptr || port == INVALID_HANDLE_VALUE)
        return 0;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(port, &dcb))
        return 0;
    return quint32(dcb.BaudRate);
}
#else
quint32 actualLineSpeed(qintptr handle)
{
    Q_UNUSED(handle);
    return 0;
}
#endif

} // namespace quarvex
