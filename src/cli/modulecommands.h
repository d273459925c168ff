#pragma once

#include "context.h"

namespace quarvex::cli {

// The commands for one module: address, read, motor, alarm clear, set-address,
// set-speed, send.
class ModuleCommands : public CommandGroup
{
    Q_OBJECT

public:
    using CommandGroup::CommandGroup;
    void start() override;

private:
    void run(quint8 address);
    void address();
    void read(quint8 address);
    void motor(quint8 address);
    void clearAlarm(quint8 address);
    // The motor's over-current alarm flag, then next(standing).
    void withAlarm(quint8 address, const std::function<void(bool)> &next);
    // set-address: the module answering must be the one meant.
    void checkAddress(const std::function<void()> &next);
    void setAddress();
    // The frame; then doneText (the reply in hex when empty), or JSON with `extra`.
    void command(const QByteArray &frame, const QString &doneText, const QJsonObject &extra = {});
};

// The serial ports of this computer.
class PortsCommand : public CommandGroup
{
    Q_OBJECT

public:
    using CommandGroup::CommandGroup;
    void start() override;
};

} // namespace quarvex::cli
