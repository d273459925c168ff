#include "replydecoder.h"

#include "crc16.h"
#include "device/frameshape.h"
#include "device/registers.h"

#include <QtEndian>

namespace quarvex {

namespace {

constexpr quint8 kParameterByteCount = 2 * Reg::ParameterCount; // 0x18
constexpr int kParameterReplyLength = readReplyLength(kParameterByteCount);

quint8 at(const QByteArray &f, int i)
{
    return quint8(f.at(i));
}

// Callers have checked the frame's length.
quint16 u16(const QByteArray &f, int i)
{
    return qFromBigEndian<quint16>(f.constData() + i);
}

quint32 u32(const QByteArray &f, int i)
{
    return qFromBigEndian<quint32>(f.constData() + i);
}

// Offset of register r's high byte in a read-all reply.
constexpr int pos(quint16 reg)
{
    return 3 + 2 * reg;
}

} // namespace

ReplyKind classifyReply(const QByteArray &f)
{
    const int n = int(f.size());
    if (n < 4 || !crcHolds(f))
        return ReplyKind::Other;
    // First match wins; a function 10 reply from address 0 for register 0 counts as
    // a line-speed confirmation.
    if (at(f, 0) == kAddressFrameBus && at(f, 1) == Fn::ReadAddress)
        return n == kAddressReportLength ? ReplyKind::AddressReport : ReplyKind::Other;
    if (at(f, 1) == Fn::WriteRegisters) {
        if (n == kShortFrameLength && at(f, 3) == 0x00)
            return ReplyKind::LineSpeedChanged;
        // The module's address-change reply is always 00 10 00 7C.
        if (n == kAddressChangedLength && at(f, 0) == kAddressFrameBus)
            return ReplyKind::AddressChanged;
        return ReplyKind::Other;
    }
    if (at(f, 1) == Fn::ReadRegisters && at(f, 2) == kParameterByteCount)
        return n == kParameterReplyLength ? ReplyKind::ParameterSummary : ReplyKind::Other;
    return ReplyKind::Other;
}

quint8 reportedAddress(const QByteArray &frame)
{
    return frame.size() > 2 ? at(frame, 2) : 0;
}

bool decodeState(const QByteArray &f, ModuleState *s)
{
    if (f.size() < 3 || at(f, 1) != Fn::ReadRegisters)
        return false;
    const quint8 count = at(f, 2);
    const bool alarms = count == 2 * Reg::Count;
    if ((count != kParameterByteCount && !alarms) || f.size() < 5 + count)
        return false;
    s->address = at(f, 0);
    s->lineSpeed = u32(f, pos(Reg::LineSpeed));
    for (Motor motor : {Motor::One, Motor::Two}) {
        const MotorRegisters r = motorRegisters(motor);
        MotorState &m = s->motors[motor == Motor::One ? 0 : 1];
        m.frequency = u32(f, pos(r.frequency));
        m.direction = u16(f, pos(r.direction));
        m.speed = u16(f, pos(r.speed));
        m.brake = u16(f, pos(r.brake));
        m.alarm = alarms ? u16(f, pos(r.alarm)) : 0;
    }
    return true;
}

QString parameterSummary(const QByteArray &f)
{
    ModuleState s;
    if (!decodeState(f, &s))
        return QString();
    const auto direction = [](const MotorState &m, const char *forward, const char *reverse) {
        switch (m.direction) {
        case quint16(Direction::Forward):
            return QString::fromUtf8(forward);
        case quint16(Direction::Reverse):
            return QString::fromUtf8(reverse);
        default:
            return QString();
        }
    };
    const MotorState &m1 = s.motors[0], &m2 = s.motors[1];
    QString t;
    t += QStringLiteral("波特率=%1 ").arg(s.lineSpeed);
    t += QStringLiteral("电机1PWM频率=%1 ").arg(m1.frequency);
    t += direction(m1, "电机1正转 ", "电机1反转 ");
    t += QStringLiteral("电机1速度=%1 ").arg(m1.speed);
    t += QStringLiteral("电机2PWM频率=%1 ").arg(m2.frequency);
    t += direction(m2, "电机2正转 ", "电机2反转 ");
    t += QStringLiteral("电机2速度=%1 ").arg(m2.speed);
    return t;
}

QString hexText(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex());
}

} // namespace quarvex
