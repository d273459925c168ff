#pragma once

#include "registers.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace quarvex {

// What a button asks of the module.
enum class Command
{
    Motor1Forward,
    Motor1Reverse,
    Motor1Stop,
    Motor1Brake,
    Motor1Frequency,
    Motor2Forward,
    Motor2Reverse,
    Motor2Stop,
    Motor2Brake,
    Motor2Frequency,
    WriteAddress,
    ReadAll,
    SetLineSpeed,
};

// The entry a command reads besides the address box.
enum class Field
{
    None,
    Address,
    Speed,
    Frequency,
    LineSpeed
};

Field commandValueField(Command command);

// The frame for a command, without CRC. For WriteAddress the address is the new one.
QByteArray buildCommand(Command command, quint8 address, quint32 value);

// A box's value when its text is a complete decimal number inside the field's range.
std::optional<quint32> parseField(Field field, const QString &text);

// What the user is told when a field's text is refused.
QString fieldProblem(Field field);

} // namespace quarvex
