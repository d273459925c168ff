#include "fields.h"

namespace quarvex {

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
    if (!fieldAccepts(field, v))
        return std::nullopt;
    return v;
}

QString fieldProblem(Field field)
{
    return field == Field::None ? QString() : QString::fromUtf8(fieldSpec(field).refusal);
}

} // namespace quarvex
