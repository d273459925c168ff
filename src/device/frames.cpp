#include "frames.h"

#include <QtEndian>

namespace quarvex {

namespace {

QByteArray header(quint8 address, quint8 function)
{
    QByteArray f;
    f.append(char(address));
    f.append(char(function));
    return f;
}

} // namespace

void put16(QByteArray &frame, quint16 value)
{
    char be[2];
    qToBigEndian(value, be);
    frame.append(be, 2);
}

QByteArray readAddressFrame()
{
    return header(kAddressFrameBus, Fn::ReadAddress);
}

QByteArray writeAddressFrame(quint8 newAddress)
{
    QByteArray f = header(kAddressFrameBus, Fn::WriteAddress);
    f.append(char(newAddress));
    return f;
}

QByteArray readRegistersFrame(quint8 address, quint16 first, quint16 count)
{
    QByteArray f = header(address, Fn::ReadRegisters);
    put16(f, first);
    put16(f, count);
    return f;
}

QByteArray writeRegisterFrame(quint8 address, quint16 reg, quint16 value)
{
    QByteArray f = header(address, Fn::WriteRegister);
    put16(f, reg);
    put16(f, value);
    return f;
}

QByteArray writeRegistersFrame(quint8 address, quint16 first, const QVector<quint16> &values)
{
    QByteArray f = header(address, Fn::WriteRegisters);
    put16(f, first);
    put16(f, quint16(values.size()));
    f.append(char(2 * values.size()));
    for (quint16 v : values)
        put16(f, v);
    return f;
}

QByteArray writeRegisterPairFrame(quint8 address, quint16 first, quint32 value)
{
    return writeRegistersFrame(address, first, {quint16(value >> 16), quint16(value & 0xFFFF)});
}

QByteArray readAllFrame(quint8 address)
{
    return readRegistersFrame(address, Reg::LineSpeed, Reg::ParameterCount);
}

QByteArray setLineSpeedFrame(quint8 address, quint32 speed)
{
    return writeRegisterPairFrame(address, Reg::LineSpeed, speed);
}

QByteArray runMotorFrame(quint8 address, Motor motor, Direction direction, quint8 speed)
{
    // Direction and speed always travel together.
    return writeRegistersFrame(address, motorRegisters(motor).direction,
                               {quint16(direction), quint16(speed)});
}

QByteArray stopMotorFrame(quint8 address, Motor motor)
{
    return writeRegisterFrame(address, motorRegisters(motor).speed, 0);
}

QByteArray brakeMotorFrame(quint8 address, Motor motor)
{
    return writeRegisterFrame(address, motorRegisters(motor).brake, 1);
}

QByteArray releaseBrakeFrame(quint8 address, Motor motor)
{
    return writeRegisterFrame(address, motorRegisters(motor).brake, 0);
}

QByteArray motorFrequencyFrame(quint8 address, Motor motor, quint32 hertz)
{
    return writeRegisterPairFrame(address, motorRegisters(motor).frequency, hertz);
}

QByteArray clearAlarmFrame(quint8 address, Motor motor)
{
    // The module then puts the motor's parameters back at their power-up values.
    return writeRegisterFrame(address, motorRegisters(motor).alarm, 0);
}

} // namespace quarvex
