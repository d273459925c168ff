#pragma once

#include "plancommand.h"

namespace quarvex::cli {

// commission: one module at a time on the bench line, each set up as the next row of the
// plan without a result: PWM frequencies, then the address, then the line speed it keeps,
// all read back. Then the technician swaps modules and it goes on.
class CommissionCommand : public PlanCommand
{
    Q_OBJECT

public:
    using PlanCommand::PlanCommand;
    void start() override;
    void interrupt(ExitStatus status) override;

private:
    struct Step
    {
        QByteArray frame;
        int expectAddress = -1; // a read-address frame: the address it must report
    };

    void waitForModule();
    void moduleFound(quint8 address);
    void runSteps();
    void stepDone(const Exchange &x);
    void readBack();
    void finishRow(bool done, const QString &why);
    void waitForSilence(int silentPolls = 0);
    void pollLater(void (CommissionCommand::*poll)());
    quint32 probeSpeed();
    QString rowName() const;
    QString counts() const;

    const PlanRow *m_row = nullptr;
    quint8 m_foundAddress = 0;
    quint32 m_foundSpeed = 0;
    QVector<Step> m_steps;
    int m_speedTurn = 0;
    bool m_toldWaiting = false, m_toldSeveral = false;
};

} // namespace quarvex::cli
