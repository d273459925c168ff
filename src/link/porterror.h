#pragma once

#include <QSerialPort>
#include <QString>

namespace quarvex {

// Why a port would not open, as the user has to act on it.
enum class OpenFailure
{
    NotFound,   // no such device (unplugged, mistyped)
    Permission, // the device node refuses this user: group membership is the cure
    InUse,      // locked or opened exclusively by another program
    Other,
};

// What this user may do with the device node, as far as the platform can tell.
struct NodeAccess
{
    bool exists = true;
    bool readWrite = true;
};

// Looks at the node a port name or path stands for; where nothing can be asked,
// the node counts as present and usable, so a refusal reads as "in use". Windows
// opens a COM port for one program at a time and has no node permissions to blame:
// there a refusal is always another program holding the port.
NodeAccess probeNode(const QString &portName);

// The port reports a lock or an exclusive opener with the same error as a refused
// node; only the node's own permissions tell the two apart.
OpenFailure classifyOpenFailure(QSerialPort::SerialPortError error, const NodeAccess &node);

// True when an error on an open port means the device has gone: no write or read on it
// can succeed again, so the port is closed rather than the error repeated.
bool portGoneWith(QSerialPort::SerialPortError error);

} // namespace quarvex
