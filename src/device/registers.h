#pragma once

#include <QtGlobal>

namespace quarvex {

// Holding registers of the module; 32-bit values span two registers, high word first.
namespace Reg {
enum : quint16
{
    LineSpeed = 0x00,       // 00-01
    Motor1Frequency = 0x02, // 02-03
    Motor1Direction = 0x04,
    Motor1Speed = 0x05,
    Motor1Brake = 0x06,
    Motor2Frequency = 0x07, // 07-08
    Motor2Direction = 0x09,
    Motor2Speed = 0x0A,
    Motor2Brake = 0x0B,
    Motor1Alarm = 0x0C,
    Motor2Alarm = 0x0D,
    Count = 0x0E,
    // Read-all covers 00-0B; the alarm flags are left out.
    ParameterCount = 0x0C,
};
} // namespace Reg

namespace Fn {
constexpr quint8 ReadRegisters = 0x03;
constexpr quint8 WriteRegister = 0x06;
constexpr quint8 WriteRegisters = 0x10;
constexpr quint8 ReadAddress = 0x20;
constexpr quint8 WriteAddress = 0x10; // address frame, not Modbus
constexpr quint8 ExceptionBit = 0x80;
} // namespace Fn

namespace ExceptionCode {
constexpr quint8 IllegalFunction = 0x01;
constexpr quint8 IllegalDataAddress = 0x02;
constexpr quint8 IllegalDataValue = 0x03;
// A Modbus TCP gateway's own: nothing answered at that unit behind it.
constexpr quint8 GatewayPathUnavailable = 0x0A;
constexpr quint8 GatewayTargetFailed = 0x0B;
constexpr bool fromGatewayForNoModule(quint8 code)
{
    return code == GatewayPathUnavailable || code == GatewayTargetFailed;
}
} // namespace ExceptionCode

// Address frames always travel to bus address 0.
constexpr quint8 kAddressFrameBus = 0x00;

enum class Motor
{
    One,
    Two
};
enum class Direction : quint16
{
    Forward = 0,
    Reverse = 1
};

// The motor's number as the window and the manual give it.
constexpr int motorNumber(Motor m)
{
    return m == Motor::One ? 1 : 2;
}

struct MotorRegisters
{
    quint16 frequency;
    quint16 direction;
    quint16 speed;
    quint16 brake;
    quint16 alarm;
};

constexpr MotorRegisters motorRegisters(Motor m)
{
    return m == Motor::One ? MotorRegisters{Reg::Motor1Frequency, Reg::Motor1Direction,
                                            Reg::Motor1Speed, Reg::Motor1Brake, Reg::Motor1Alarm}
                           : MotorRegisters{Reg::Motor2Frequency, Reg::Motor2Direction,
                                            Reg::Motor2Speed, Reg::Motor2Brake, Reg::Motor2Alarm};
}

// Factory settings.
namespace Factory {
constexpr quint8 Address = 1;
constexpr quint32 LineSpeed = 9600;
constexpr quint32 Frequency = 10000;
constexpr quint16 Direction = 0;
constexpr quint16 Speed = 0;
constexpr quint16 Brake = 0;
} // namespace Factory

} // namespace quarvex
