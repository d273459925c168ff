#include "porterror.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <unistd.h>
#endif

namespace quarvex {

NodeAccess probeNode(const QString &portName)
{
    NodeAccess node;
    const QString path =
        portName.startsWith(QLatin1Char('/')) ? portName : QStringLiteral("/dev/") + portName;
#ifdef Q_OS_UNIX
    if (::access(QFile::encodeName(path).constData(), R_OK | W_OK) != 0) {
        node.exists = errno != ENOENT && errno != ENOTDIR;
        node.readWrite = false;
    }
#else
    Q_UNUSED(path);
#endif
    return node;
}

OpenFailure classifyOpenFailure(QSerialPort::SerialPortError error, const NodeAccess &node)
{
    if (error == QSerialPort::DeviceNotFoundError || !node.exists)
        return OpenFailure::NotFound;
    if (error == QSerialPort::PermissionError)
        return node.readWrite ? OpenFailure::InUse : OpenFailure::Permission;
    return OpenFailure::Other;
}

} // namespace quarvex
