#pragma once

#include <QString>
#include <QtGlobal>

namespace quarvex::sim {

// Line settings of the pseudo-terminal as the client last set them.
struct PortSettings
{
    bool valid = false;
    quint32 baud = 0;
    bool eightN1 = false;

    QString describe() const;
};

// Read through the master side: on Linux its settings are those of the slave.
PortSettings readPortSettings(int fd);

// Raw 8N1 without echo at the given speed, so that our replies are never echoed back
// to us and a client that sets nothing still finds the module's speed.
bool makeRaw(int fd, quint32 baud);

} // namespace quarvex::sim
