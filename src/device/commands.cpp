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
        Frequency
    } action;
};

constexpr MotorCommand kMotorCommands[] = {
    {Command::Motor1Forward, Motor::One, MotorCommand::Forward},
    {Command::Motor1Reverse, Motor::One, MotorCommand::Reverse},
    {Command::Motor1Stop, Motor::One, MotorCommand::Stop},
    {Command::Motor1Brake, Motor::One, MotorCommand::Brake},
    {Command::Motor1Frequency, Motor::One, MotorCommand::Frequency},
    {Command::Motor2Forward, Motor::Two, MotorCommand::Forward},
    {Command::Motor2Reverse, Motor::Two, MotorCommand::Reverse},
    {Command::Motor2Stop, Motor::Two, MotorCommand::Stop},
    {Command::Motor2Brake, Motor::Two, MotorCommand::Brake},
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

std::optional<quint32> parseField(Field field, const QString &text)
{
    // Digits only: no sign, blanks or group separators, and short enough not to overflow.
    if (text.isEmpty() || text.size() > 9)
        return std::nullopt;
    quint32 v = 0;
    for (QChar ch : text) {
        if (ch < QLatin1Char('0') || ch > QLatin1Char('9'))
            return std::nullopt;
        v = v * 10 + quint32(ch.unicode() - '0');
    }
    bool ok = false;
    switch (field) {
    case Field::Address:
        ok = kAddressRange.contains(v);
        break;
    case Field::Speed:
        ok = kSpeedRange.contains(v);
        break;
    case Field::Frequency:
        ok = kFrequencyRange.contains(v);
        break;
    case Field::LineSpeed:
        ok = isLineSpeed(v);
        break;
    case Field::None:
        ok = false;
        break;
    }
    if (!ok)
        return std::nullopt;
    return v;
}

QString fieldProblem(Field field)
{
    switch (field) {
    case Field::Address:
        return QStringLiteral("从机地址应为1-254");
    case Field::Speed:
        return QStringLiteral("速度应为0-100");
    case Field::Frequency:
        return QStringLiteral("PWM频率应为1000-10000");
    case Field::LineSpeed:
        return QStringLiteral("波特率应为1200-128000中的一档");
    case Field::None:
        break;
    }
    return QString();
}

} // namespace quarvex
