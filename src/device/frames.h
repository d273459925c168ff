#pragma once

#include "registers.h"

#include <QByteArray>
#include <QVector>

// Frame builders. Each returns the frame without its CRC-16; the sender appends it.
namespace quarvex {

// A 16-bit value at the frame's end, high byte first.
void put16(QByteArray &frame, quint16 value);

QByteArray readAddressFrame();
QByteArray writeAddressFrame(quint8 newAddress);

QByteArray readRegistersFrame(quint8 address, quint16 first, quint16 count);
QByteArray writeRegisterFrame(quint8 address, quint16 reg, quint16 value);
QByteArray writeRegistersFrame(quint8 address, quint16 first, const QVector<quint16> &values);
// A 32-bit value over a register pair, high word first.
QByteArray writeRegisterPairFrame(quint8 address, quint16 first, quint32 value);

QByteArray readAllFrame(quint8 address);
QByteArray setLineSpeedFrame(quint8 address, quint32 speed);
QByteArray runMotorFrame(quint8 address, Motor motor, Direction direction, quint8 speed);
QByteArray stopMotorFrame(quint8 address, Motor motor);
QByteArray brakeMotorFrame(quint8 address, Motor motor);
QByteArray releaseBrakeFrame(quint8 address, Motor motor);
QByteArray motorFrequencyFrame(quint8 address, Motor motor, quint32 hertz);
QByteArray clearAlarmFrame(quint8 address, Motor motor);

} // namespace quarvex
