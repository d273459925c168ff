#pragma once

#include <QString>
#include <QtGlobal>

#include <array>
#include <optional>

namespace quarvex {

// The values a command takes besides the bus address it goes to: the window's boxes
// and quarvexctl's arguments read their facts from here alone.
enum class Field
{
    None,
    Address,
    Speed,
    Frequency,
    LineSpeed
};

struct FieldSpec
{
    Field field;
    quint32 min;
    quint32 max;
    const char *refusal; // what the window logs for a refused entry (UTF-8)
};

inline constexpr FieldSpec kFields[] = {
    {Field::Address, 1, 254, "从机地址应为1-254"},
    {Field::Speed, 0, 100, "速度应为0-100"},
    {Field::Frequency, 1000, 10000, "PWM频率应为1000-10000"},
    {Field::LineSpeed, 1200, 128000, "波特率应为1200-128000中的一档"},
};

// Line speeds the module supports, in the order the window offers them.
inline constexpr std::array<quint32, 9> kLineSpeeds = {1200,  2400,  4800,   9600,  14400,
                                                       19200, 57600, 115200, 128000};
constexpr int kDefaultLineSpeedIndex = 3; // 9600

constexpr const FieldSpec &fieldSpec(Field field)
{
    for (const FieldSpec &f : kFields)
        if (f.field == field)
            return f;
    return kFields[0];
}

constexpr bool isLineSpeed(quint32 v)
{
    for (quint32 s : kLineSpeeds)
        if (s == v)
            return true;
    return false;
}

// True when the field takes the value; a line speed must be one of the nine.
constexpr bool fieldAccepts(Field field, quint32 v)
{
    if (field == Field::None)
        return false;
    const FieldSpec &f = fieldSpec(field);
    return v >= f.min && v <= f.max && (field != Field::LineSpeed || isLineSpeed(v));
}

// A typed value: plain decimal digits only, within the field. The window judges its
// boxes with validators built from the same ranges instead.
std::optional<quint32> parseField(Field field, const QString &text);

// What the window tells the user when an entry is refused.
QString fieldProblem(Field field);

} // namespace quarvex
