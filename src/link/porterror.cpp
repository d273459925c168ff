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
#ifdef Q_OS_UNIX
    const QString path =
        portName.startsWith(QLatin1Char('/')) ? portName : QStringLiteral("/dev/") + portName;
    if (::access(QFile::encodeName(path).constData(), R_OK | W_OK) != 0) {
        node.exists = errno != ENOENT && errno != ENOTDIR;
        node.readWrite = false;
    }
#else
    // Qt tells a missing COM port by its own error; access denied means in use.
    Q_UNUSED(portName);
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

bool portGoneWith(QSerialPort::SerialPortError error)
{
    // Windows reports a removed adapter on the pending read or event wait, as the
    // driver words it: device removed, aborted, bad command, or access denied.
    return error == QSerialPort::ResourceError || error == QSerialPort::PermissionError ||
           error == QSerialPort::DeviceNotFoundError;
}

} // namespace quarvex
