#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <array>

// What the module's registers say, in words and as JSON.
namespace quarvex::cli {

struct MotorState
{
    quint32 frequency = 0;
    quint16 direction = 0;
    quint16 speed = 0;
    quint16 brake = 0;
    quint16 alarm = 0;
};

struct ModuleState
{
    quint8 address = 0;
    quint32 lineSpeed = 0;
    std::array<MotorState, 2> motors;
};

// From the reply to a read of registers 00-0D; false when it is not one.
bool decodeState(const QByteArray &reply, quint8 address, ModuleState *state);

QJsonObject stateJson(const ModuleState &state);
QString stateText(const ModuleState &state);
// One line for watch.
QString stateLine(const ModuleState &state, double rttMs);

// "02 (register outside the map)"
QString exceptionText(quint8 code);

// JSON on one line.
QByteArray compact(const QJsonObject &object);

} // namespace quarvex::cli
