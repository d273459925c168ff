#pragma once

#include <QtGlobal>

namespace quarvex {

// The speed the driver really set on an open port, 0 where the platform cannot tell.
quint32 actualLineSpeed(qintptr handle);

// True when the driver runs the line at a speed other than the chosen one. A UART
// copes with a rate a fraction of a percent off, so only a real substitution counts.
bool lineSpeedReplaced(quint32 chosen, quint32 actual);

} // namespace quarvex
