#include "linespeed.h"

#include <cstdlib>

namespace quarvex {

bool lineSpeedReplaced(quint32 chosen, quint32 actual)
{
    if (actual == 0 || chosen == 0)
        return false;
    // More than 1 % off.
    return std::llabs(qint64(actual) - qint64(chosen)) * 100 > qint64(chosen);
}

#ifndef Q_OS_LINUX
quint32 actualLineSpeed(qintptr handle)
{
    Q_UNUSED(handle);
    return 0;
}
#endif

} // namespace quarvex
