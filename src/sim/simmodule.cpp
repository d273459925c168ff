#include "simmodule.h"

#include "device/fields.h"
#include "device/frames.h"
#include "device/frameshape.h"
#include "link/crc16.h"

#include <QtEndian>

#include <optional>
#include <utility>

namespace quarvex::sim {

namespace {

// Callers check the frame's length first.
quint16 get16(const QByteArray &f, int pos)
{
    return qFromBigEndian<quint16>(f.constData() + pos);
}

// The two words an 8-byte request carries after address and function: first register and
// count (read), or register and value (write one).
std::optional<std::pair<quint16, quint16>> twoWords(const QByteArray &req)
{
    if (req.size() != kShortFrameLength)
        return std::nullopt;
    return std::make_pair(get16(req, 2), get16(req, 4));
}

quint32 pair(const std::array<quint16, Reg::Count> &regs, quint16 high)
{
    return quint32(regs[high]) << 16 | regs[high + 1];
}

// The motor whose parameters (frequency, direction, speed, brake) include the register.
bool motorOfParameter(quint16 r, Motor *motor)
{
    if (r >= Reg::Motor1Frequency && r <= Reg::Motor1Brake) {
        *motor = Motor::One;
        return true;
    }
    if (r >= Reg::Motor2Frequency && r <= Reg::Motor2Brake) {
        *motor = Motor::Two;
        return true;
    }
    return false;
}

} // namespace

SimModule::SimModule()
{
    m_regs[Reg::LineSpeed] = quint16(Factory::LineSpeed >> 16);
    m_regs[Reg::LineSpeed + 1] = quint16(Factory::LineSpeed & 0xFFFF);
    powerUpMotor(Motor::One);
    powerUpMotor(Motor::Two);
}

Outcome SimModule::handle(const QByteArray &request)
{
    // The shortest frame of either protocol is the read-address request.
    if (request.size() < kReadAddressLength)
        return {{}, QStringLiteral("too short")};
    if (!crcHolds(request))
        return {{}, QStringLiteral("bad crc")};

    const quint8 address = quint8(request.at(0));
    const quint8 function = quint8(request.at(1));
    struct Route
    {
        quint8 function;
        Outcome (SimModule::*handler)(const QByteArray &);
        bool write; // carried out when broadcast
    };
    static constexpr Route routes[] = {
        {Fn::ReadRegisters, &SimModule::readRegisters, false},
        {Fn::WriteRegister, &SimModule::writeRegister, true},
        {Fn::WriteRegisters, &SimModule::writeRegisters, true},
    };
    const Route *route = nullptr;
    for (const Route &r : routes)
        if (r.function == function)
            route = &r;

    if (address == kAddressFrameBus) {
        bool handled = false;
        Outcome o = addressFrame(request, &handled);
        if (handled)
            return o;
        // Modbus broadcast: writes are carried out, nothing is ever answered.
        if (!route || !route->write)
            return {{}, QStringLiteral("broadcast, not acted on")};
        o = (this->*route->handler)(request);
        const bool refused = quint8(o.reply.at(1)) & Fn::ExceptionBit;
        o.note = refused
                     ? QStringLiteral("broadcast refused, ") + o.note
                     : QStringLiteral("broadcast") + (o.note.isEmpty() ? QString() : ", " + o.note);
        o.reply.clear();
        return o;
    }
    if (address != m_address)
        return {{}, QStringLiteral("for address %1").arg(address)};

    if (!route)
        return exception(address, function, ExceptionCode::IllegalFunction);
    return (this->*route->handler)(request);
}

Outcome SimModule::addressFrame(const QByteArray &req, bool *handled)
{
    const quint8 function = quint8(req.at(1));
    *handled = true;
    if (function == Fn::ReadAddress && req.size() == 4) {
        QByteArray r;
        r.append(char(kAddressFrameBus));
        r.append(char(Fn::ReadAddress));
        r.append(char(m_address));
        return {withCrc(r), {}};
    }
    // A 5-byte 00 10 frame is the write-address frame; a broadcast function 10 is longer.
    if (function == Fn::WriteAddress && req.size() == 5) {
        const quint8 wanted = quint8(req.at(2));
        // 0 is the broadcast address and 255 lies outside the 1-254 the tool offers. The
        // module keeps its address and stays silent: no confirmation rather than a false one.
        if (!setAddress(wanted))
            return {{}, QStringLiteral("address %1 refused").arg(wanted)};
        QByteArray r;
        r.append(char(kAddressFrameBus));
        r.append(char(Fn::WriteAddress));
        return {withCrc(r), QStringLiteral("address now %1").arg(wanted)};
    }
    *handled = false;
    return {};
}

Outcome SimModule::readRegisters(const QByteArray &req)
{
    const quint8 a = quint8(req.at(0));
    const auto words = twoWords(req);
    if (!words || words->second == 0 || words->second > kMaxReadCount)
        return exception(a, Fn::ReadRegisters, ExceptionCode::IllegalDataValue);
    const auto [first, count] = *words;
    if (first >= Reg::Count || first + count > Reg::Count)
        return exception(a, Fn::ReadRegisters, ExceptionCode::IllegalDataAddress);

    QByteArray r;
    r.append(char(a));
    r.append(char(Fn::ReadRegisters));
    r.append(char(2 * count));
    for (quint16 i = 0; i < count; ++i)
        put16(r, m_regs[first + i]);
    return {withCrc(r), {}};
}

Outcome SimModule::writeRegister(const QByteArray &req)
{
    const quint8 a = quint8(req.at(0));
    const auto words = twoWords(req);
    if (!words)
        return exception(a, Fn::WriteRegister, ExceptionCode::IllegalDataValue);
    const auto [r, value] = *words;
    const quint8 code =
        r >= Reg::Count ? ExceptionCode::IllegalDataAddress : checkWrites(r, &value, 1);
    if (code != 0)
        return exception(a, Fn::WriteRegister, code);
    return {req, applyWrites(r, &value, 1)};
}

Outcome SimModule::writeRegisters(const QByteArray &req)
{
    const quint8 a = quint8(req.at(0));
    Outcome o;
    const quint16 first = req.size() >= 9 ? get16(req, 2) : 0;
    const quint16 count = req.size() >= 9 ? get16(req, 4) : 0;
    const int byteCount = req.size() >= 9 ? quint8(req.at(6)) : -1;
    if (req.size() < 9 || count == 0 || count > kMaxWriteCount || byteCount != 2 * count ||
        req.size() != 9 + byteCount) {
        o = exception(a, Fn::WriteRegisters, ExceptionCode::IllegalDataValue);
    } else if (first >= Reg::Count || first + count > Reg::Count) {
        o = exception(a, Fn::WriteRegisters, ExceptionCode::IllegalDataAddress);
    } else {
        std::array<quint16, Reg::Count> values{};
        for (int i = 0; i < count; ++i)
            values[i] = get16(req, 7 + 2 * i);
        const quint8 code = checkWrites(first, values.data(), count);
        if (code != 0) {
            o = exception(a, Fn::WriteRegisters, code);
        } else {
            o.note = applyWrites(first, values.data(), count);
            o.reply = withCrc(req.left(6));
        }
    }
    return o;
}

quint8 SimModule::checkWrites(quint16 first, const quint16 *values, int count) const
{
    // Judge the registers as they would stand afterwards, so that one half of a 32-bit
    // pair is accepted only when it completes a valid value with the other half.
    Registers after = m_regs;
    for (int i = 0; i < count; ++i)
        after[first + i] = values[i];

    for (int i = 0; i < count; ++i) {
        const quint16 r = quint16(first + i);
        bool ok = true;
        switch (r) {
        case Reg::LineSpeed:
        case Reg::LineSpeed + 1:
            ok = isLineSpeed(pair(after, Reg::LineSpeed));
            break;
        case Reg::Motor1Frequency:
        case Reg::Motor1Frequency + 1:
            ok = fieldAccepts(Field::Frequency, pair(after, Reg::Motor1Frequency));
            break;
        case Reg::Motor2Frequency:
        case Reg::Motor2Frequency + 1:
            ok = fieldAccepts(Field::Frequency, pair(after, Reg::Motor2Frequency));
            break;
        case Reg::Motor1Speed:
        case Reg::Motor2Speed:
            ok = fieldAccepts(Field::Speed, after[r]);
            break;
        case Reg::Motor1Direction:
        case Reg::Motor2Direction:
        case Reg::Motor1Brake:
        case Reg::Motor2Brake:
            ok = after[r] <= 1;
            break;
        case Reg::Motor1Alarm:
        case Reg::Motor2Alarm:
            // The flag is the module's to raise; the bus may only clear it.
            ok = after[r] == 0;
            break;
        default:
            ok = false;
        }
        if (!ok)
            return ExceptionCode::IllegalDataValue;
    }
    return 0;
}

QString SimModule::applyWrites(quint16 first, const quint16 *values, int count)
{
    QString note;
    bool speedWritten = false;
    for (int i = 0; i < count; ++i) {
        const quint16 r = quint16(first + i);
        Motor m = Motor::One;
        if (motorOfParameter(r, &m) && inAlarm(m)) {
            note = QStringLiteral("motor %1 in alarm, write has no effect").arg(motorNumber(m));
            continue;
        }
        if (r == Reg::Motor1Alarm || r == Reg::Motor2Alarm) {
            m = r == Reg::Motor1Alarm ? Motor::One : Motor::Two;
            if (inAlarm(m)) {
                powerUpMotor(m);
                note = QStringLiteral("motor %1 alarm cleared").arg(motorNumber(m));
            }
            continue;
        }
        m_regs[r] = values[i];
        speedWritten = speedWritten || r <= Reg::LineSpeed + 1;
    }
    if (speedWritten)
        note = QStringLiteral("line speed %1 after restart").arg(storedLineSpeed());
    return note;
}

void SimModule::powerUpMotor(Motor motor)
{
    const MotorRegisters r = motorRegisters(motor);
    m_regs[r.frequency] = quint16(Factory::Frequency >> 16);
    m_regs[r.frequency + 1] = quint16(Factory::Frequency & 0xFFFF);
    m_regs[r.direction] = Factory::Direction;
    m_regs[r.speed] = Factory::Speed;
    m_regs[r.brake] = Factory::Brake;
    m_regs[r.alarm] = 0;
}

Outcome SimModule::exception(quint8 address, quint8 function, quint8 code)
{
    QByteArray r;
    r.append(char(address));
    r.append(char(function | Fn::ExceptionBit));
    r.append(char(code));
    return {withCrc(r), QStringLiteral("exception %1").arg(code, 2, 10, QLatin1Char('0'))};
}

void SimModule::restart()
{
    // A stored speed spoilt by a raw test write would leave nothing to pace by.
    const quint32 stored = storedLineSpeed();
    m_activeSpeed = isLineSpeed(stored) ? stored : Factory::LineSpeed;
    powerUpMotor(Motor::One);
    powerUpMotor(Motor::Two);
}

void SimModule::raiseAlarm(Motor motor)
{
    const MotorRegisters r = motorRegisters(motor);
    m_regs[r.alarm] = 1;
    m_regs[r.speed] = 0;
}

bool SimModule::inAlarm(Motor motor) const
{
    return m_regs[motorRegisters(motor).alarm] != 0;
}

bool SimModule::setAddress(quint8 address)
{
    if (!isValidAddress(address))
        return false;
    m_address = address;
    return true;
}

quint32 SimModule::storedLineSpeed() const
{
    return pair(m_regs, Reg::LineSpeed);
}

bool SimModule::setLineSpeed(quint32 speed)
{
    if (!isLineSpeed(speed))
        return false;
    m_regs[Reg::LineSpeed] = quint16(speed >> 16);
    m_regs[Reg::LineSpeed + 1] = quint16(speed & 0xFFFF);
    m_activeSpeed = speed;
    return true;
}

bool SimModule::setRegisterRaw(quint16 r, quint16 value)
{
    if (r >= Reg::Count)
        return false;
    m_regs[r] = value;
    return true;
}

} // namespace quarvex::sim
