#include "commands.h"

#include "frames.h"

namespace quarvex {

namespace {

struct MotorCommand
{
    Command command;
    Motor motor;
    enum Action
    {
        Forward,
        Reverse,
        Stop,
        Brake,
        Release,
        Frequency
    } action;
};

constexpr MotorCommand kMotorCommands[] = {
    {Command::Motor1Forward, Motor::One, MotorCommand::Forward},
    {Command::Motor1Reverse, Motor::One, MotorCommand::Reverse},
    {Command::Motor1Stop, Motor::One, MotorCommand::Stop},
    {Command::Motor1Brake, Motor::One, MotorCommand::Brake},
    {Command::Motor1Release, Motor::One, MotorCommand::Release},
    {Command::Motor1Frequency, Motor::One, MotorCommand::Frequency},
    {Command::Motor2Forward, Motor::Two, MotorCommand::Forward},
    {Command::Motor2Reverse, Motor::Two, MotorCommand::Reverse},
    {Command::Motor2Stop, Motor::Two, MotorCommand::Stop},
    {Command::Motor2Brake, Motor::Two, MotorCommand::Brake},
    {Command::Motor2Release, Motor::Two, MotorCommand::Release},
    {Command::Motor2Frequency, Motor::Two, MotorCommand::Frequency},
};

const MotorCommand *motorCommand(Command c)
{
    for (const MotorCommand &m : kMotorCommands)
        if (m.command == c)
            return &m;
    return nullptr;
}

} // namespace

Field commandValueField(Command c)
{
    if (const auto m = motorCommand(c)) {
        switch (m->action) {
        case MotorCommand::Forward:
        case MotorCommand::Reverse:
            return Field::Speed;
        case MotorCommand::Frequency:
            return Field::Frequency;
        default:
            return Field::None;
        }
    }
    return c == Command::SetLineSpeed ? Field::LineSpeed : Field::None;
}

QByteArray buildCommand(Command c, quint8 address, quint32 value)
{
    if (const auto m = motorCommand(c)) {
        switch (m->action) {
        case MotorCommand::Forward:
            return runMotorFrame(address, m->motor, Direction::Forward, quint8(value));
        case MotorCommand::Reverse:
            return runMotorFrame(address, m->motor, Direction::Reverse, quint8(value));
        case MotorCommand::Stop:
            return stopMotorFrame(address, m->motor);
        case MotorCommand::Brake:
            return brakeMotorFrame(address, m->motor);
        case MotorCommand::Release:
            return releaseBrakeFrame(address, m->motor);
        case MotorCommand::Frequency:
            return motorFrequencyFrame(address, m->motor, value);
        }
    }
    switch (c) {
    case Command::WriteAddress:
        return writeAddressFrame(address);
    case Command::ReadAll:
        return readAllFrame(address);
    case Command::SetLineSpeed:
        return setLineSpeedFrame(address, value);
    default:
        return QByteArray();
    }
}

} // namespace quarvex
