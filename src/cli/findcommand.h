#pragma once

#include "context.h"
#include "findstrategy.h"

#include <QElapsedTimer>

namespace quarvex::cli {

// find: the module on --port or on every listed port, at whichever line speed it answers.
class FindCommand : public CommandGroup
{
    Q_OBJECT

public:
    explicit FindCommand(Context *context);
    void start() override;

private:
    void go(const FindStep &step);
    void openPort(int port);
    void probeSpeed(const FindStep &step);
    void probeUnit(const FindStep &step);
    void found(const FindStep &step);
    void nothingFound();
    QStringList unreadableWords() const;
    // Bytes that came while no probe was out, told once.
    void tellNoise();
    qint64 nowMs() const { return m_clock.elapsed(); }

    QStringList m_ports;
    FindState m_state;
    QElapsedTimer m_clock;
};

} // namespace quarvex::cli
