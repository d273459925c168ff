#pragma once

#include "device/registers.h"

#include <QByteArray>
#include <QString>

#include <array>

namespace quarvex::sim {

// What the module made of one request: the reply bytes (empty for none) and, for the
// log, why nothing or something unusual happened.
struct Outcome
{
    QByteArray reply;
    QString note;
};

// The module's behaviour with no port attached: one complete request frame in, the
// reply out. Time plays no part here; the front end paces the bytes.
class SimModule
{
public:
    SimModule();

    Outcome handle(const QByteArray &request);

    // Power cycle: the stored line speed becomes active, motors and alarms come up
    // with their power-up values. Address and line speed are kept, they are stored.
    void restart();

    // Over-current on one motor: flag set, motor stopped, its registers locked.
    void raiseAlarm(Motor motor);
    bool inAlarm(Motor motor) const;

    quint8 address() const { return m_address; }
    // Refuses 0 (broadcast) and 255.
    bool setAddress(quint8 address);

    quint32 activeLineSpeed() const { return m_activeSpeed; }
    quint32 storedLineSpeed() const;
    // As if configured and restarted: both stored and active. Refuses unknown speeds.
    bool setLineSpeed(quint32 speed);

    quint16 reg(quint16 r) const { return m_regs.at(r); }
    // Raw store for test set-ups: no range check, no alarm lock, no side effects.
    bool setRegisterRaw(quint16 r, quint16 value);

    static bool isValidAddress(quint8 address) { return address != 0 && address != 0xFF; }

private:
    using Registers = std::array<quint16, Reg::Count>;

    Outcome readRegisters(const QByteArray &req);
    Outcome writeRegister(const QByteArray &req);
    Outcome writeRegisters(const QByteArray &req);
    Outcome addressFrame(const QByteArray &req, bool *handled);

    // First failing check as a Modbus exception code, 0 when the writes may go ahead.
    quint8 checkWrites(quint16 first, const quint16 *values, int count) const;
    QString applyWrites(quint16 first, const quint16 *values, int count);
    void powerUpMotor(Motor motor);

    static Outcome exception(quint8 address, quint8 function, quint8 code);

    quint8 m_address = Factory::Address;
    quint32 m_activeSpeed = Factory::LineSpeed;
    Registers m_regs{};
};

} // namespace quarvex::sim
