#pragma once

#include "fields.h"
#include "registers.h"

#include <QByteArray>
#include <QString>

namespace quarvex {

// What a button asks of the module.
enum class Command
{
    Motor1Forward,
    Motor1Reverse,
    Motor1Stop,
    Motor1Brake,
    Motor1Release,
    Motor1Frequency,
    Motor2Forward,
    Motor2Reverse,
    Motor2Stop,
    Motor2Brake,
    Motor2Release,
    Motor2Frequency,
    WriteAddress,
    ReadAll,
    SetLineSpeed,
};

Field commandValueField(Command command);

// The frame for a command, without CRC. For WriteAddress the address is the new one.
QByteArray buildCommand(Command command, quint8 address, quint32 value);

} // namespace quarvex
