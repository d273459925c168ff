#include "portsettings.h"

namespace quarvex::sim {

QString PortSettings::describe() const
{
    if (!valid)
        return QStringLiteral("none");
    return QStringLiteral("%1-%2").arg(baud).arg(eightN1 ? QStringLiteral("8N1")
                                                         : QStringLiteral("other"));
}

} // namespace quarvex::sim
