#include "commissioncommand.h"

#include "device/frames.h"
#include "report.h"

#include <QTimer>

namespace quarvex::cli {

namespace {

// How often the bench line is asked whether a module is there, or gone.
constexpr int kPollMs = 200;

} // namespace

void CommissionCommand::start()
{
    if (!loadPlan())
        return;
    const Invocation &inv = m_ctx.inv();
    m_ctx.openPort(inv.port, inv.baud, true, [this](bool ok) {
        if (ok)
            waitForModule();
    });
}

void CommissionCommand::interrupt(ExitStatus status)
{
    if (!m_ctx.finished())
        finishRun(Cli::tr("interrupted: ") + counts(), status);
}

QString CommissionCommand::counts() const
{
    const int left = int(m_plan.rows.size()) - int(rowsWithResults(readResults()).size());
    return Cli::tr("this run %1 done, %2 failed; %3 rows of the plan without a result")
        .arg(m_done)
        .arg(m_failed)
        .arg(qMax(0, left));
}

QString CommissionCommand::rowName() const
{
    return m_row->label.isEmpty() ? Cli::tr("row %1").arg(m_row->row)
                                  : Cli::tr("row %1 '%2'").arg(m_row->row).arg(m_row->label);
}

void CommissionCommand::pollLater(void (CommissionCommand::*poll)())
{
    QTimer::singleShot(kPollMs, this, [this, poll] {
        if (!m_ctx.finished())
            (this->*poll)();
    });
}

// The link's speed, or with --all-speeds each of the nine in turn.
quint32 CommissionCommand::probeSpeed()
{
    if (!m_ctx.inv().allSpeeds)
        return m_ctx.inv().baud;
    return kSpeedOrder[std::size_t(m_speedTurn++ % int(kSpeedOrder.size()))];
}

void CommissionCommand::waitForModule()
{
    if (!m_toldWaiting) {
        m_toldWaiting = true;
        m_ctx.complain(Cli::tr("waiting for a module on the bench line ..."));
    }
    const quint32 speed = probeSpeed();
    if (m_ctx.engine().baud() != speed && !m_ctx.engine().setBaud(speed)) {
        pollLater(&CommissionCommand::waitForModule);
        return;
    }
    m_ctx.engine().exchange(
        readAddressFrame(), Policy::probe(m_ctx.inv().timeoutMs, 1), [this](const Exchange &x) {
            switch (x.result) {
            case Exchange::Reply:
                m_toldSeveral = false;
                moduleFound(reportedAddress(x.reply));
                return;
            case Exchange::Damaged:
                // Bytes answered, but unreadably: more than one module, most likely.
                if (!m_toldSeveral)
                    m_ctx.complain(Cli::tr("more than one module answers: one module at a time on "
                                           "the bench line"));
                m_toldSeveral = true;
                break;
            case Exchange::PortFailed:
                finishRun(Context::portGoneWords(x), ExitStatus::PortFailed);
                return;
            default:
                break;
            }
            pollLater(&CommissionCommand::waitForModule);
        });
}

void CommissionCommand::moduleFound(quint8 address)
{
    m_toldWaiting = false;
    m_foundAddress = address;
    m_foundSpeed = m_ctx.engine().baud();
    const QByteArray results = readResults();
    if (doneAddresses(results).contains(address)) {
        m_ctx.out(Cli::tr("the module at bus address %1 is done already: connect the next module")
                      .arg(address));
        waitForSilence();
        return;
    }
    const QSet<int> finished = rowsWithResults(results);
    m_row = nullptr;
    for (const PlanRow &row : std::as_const(m_plan.rows)) {
        if (!finished.contains(row.row)) {
            m_row = &row;
            break;
        }
    }
    if (!m_row) {
        finishRun(Cli::tr("every row of the plan has a result: ") + counts());
        return;
    }
    m_steps.clear();
    if (m_row->pwm1)
        m_steps.append(Step{motorFrequencyFrame(address, Motor::One, *m_row->pwm1)});
    if (m_row->pwm2)
        m_steps.append(Step{motorFrequencyFrame(address, Motor::Two, *m_row->pwm2)});
    if (m_row->address != address) {
        m_steps.append(Step{writeAddressFrame(m_row->address)});
        // What the module answers now, not what it was told.
        m_steps.append(Step{readAddressFrame(), m_row->address});
    }
    if (m_row->lineSpeed)
        m_steps.append(Step{setLineSpeedFrame(m_row->address, *m_row->lineSpeed)});
    m_ctx.progress(rowName() + QStringLiteral(" ..."));
    runSteps();
}

void CommissionCommand::runSteps()
{
    if (m_steps.isEmpty()) {
        readBack();
        return;
    }
    m_ctx.engine().exchange(m_steps.first().frame, m_ctx.commandPolicy(),
                            [this](const Exchange &x) { stepDone(x); });
}

void CommissionCommand::stepDone(const Exchange &x)
{
    const Step step = m_steps.takeFirst();
    if (x.result == Exchange::PortFailed) {
        finishRun(Context::portGoneWords(x), ExitStatus::PortFailed);
        return;
    }
    if (x.result != Exchange::Reply) {
        finishRow(false, Cli::tr("no acknowledgement of %1").arg(hexText(x.request)));
        return;
    }
    if (step.expectAddress >= 0 && reportedAddress(x.reply) != step.expectAddress) {
        finishRow(false, Cli::tr("the module acknowledged, but answers at bus address %1")
                             .arg(reportedAddress(x.reply)));
        return;
    }
    runSteps();
}

void CommissionCommand::readBack()
{
    m_ctx.engine().exchange(
        readRegistersFrame(m_row->address, Reg::LineSpeed, Reg::Count), m_ctx.commandPolicy(),
        [this](const Exchange &x) {
            ModuleState s;
            if (x.result == Exchange::PortFailed) {
                finishRun(Context::portGoneWords(x), ExitStatus::PortFailed);
            } else if (x.result != Exchange::Reply || !decodeState(x.reply, &s)) {
                finishRow(
                    false,
                    Cli::tr("no reply at bus address %1 to read it back").arg(m_row->address));
            } else if (const QStringList left = planChanges(*m_row, s); !left.isEmpty()) {
                finishRow(false,
                          Cli::tr("read back otherwise: %1").arg(left.join(QStringLiteral("; "))));
            } else {
                finishRow(true, QString());
            }
        });
}

void CommissionCommand::finishRow(bool done, const QString &why)
{
    m_ctx.progress(QString());
    const RowResult r{QDateTime::currentDateTime(),
                      m_row->row,
                      m_row->label,
                      m_foundAddress,
                      m_foundSpeed,
                      done ? m_row->address : 0,
                      done ? m_row->lineSpeed.value_or(0) : 0,
                      done,
                      why};
    const QString text =
        done ? Cli::tr("%1 done: address %2 — label it, connect the next module")
                   .arg(rowName())
                   .arg(m_row->address)
             : Cli::tr("%1 failed: %2 — take it off the bench, connect the next module")
                   .arg(rowName(), why);
    QJsonObject json{
        {QStringLiteral("row"), r.row},
        {QStringLiteral("label"), r.label},
        {QStringLiteral("address_found"), r.foundAddress},
        {QStringLiteral("line_speed_found"), qint64(r.foundSpeed)},
        {QStringLiteral("address_set"), r.setAddress ? QJsonValue(r.setAddress) : QJsonValue()},
        {QStringLiteral("line_speed_set"),
         r.setSpeed ? QJsonValue(qint64(r.setSpeed)) : QJsonValue()},
        {QStringLiteral("outcome"), done ? QStringLiteral("done") : QStringLiteral("failed")}};
    if (!done)
        json.insert(QStringLiteral("reason"), why);
    record(r, text, json);
    if (rowsWithResults(readResults()).size() >= m_plan.rows.size()) {
        finishRun(Cli::tr("every row of the plan has a result: ") + counts());
        return;
    }
    waitForSilence();
}

// The module done must leave the line before the next one is taken for new.
void CommissionCommand::waitForSilence(int silentPolls)
{
    m_ctx.engine().exchange(readAddressFrame(), Policy::probe(m_ctx.inv().timeoutMs, 0),
                            [this, silentPolls](const Exchange &x) {
                                if (x.result == Exchange::PortFailed) {
                                    finishRun(Context::portGoneWords(x), ExitStatus::PortFailed);
                                    return;
                                }
                                // Another module than the one just set up: the swap was quicker
                                // than a poll.
                                if (x.result == Exchange::Reply && m_row &&
                                    reportedAddress(x.reply) != m_row->address) {
                                    moduleFound(reportedAddress(x.reply));
                                    return;
                                }
                                const int silent =
                                    x.result == Exchange::Silent ? silentPolls + 1 : 0;
                                QTimer::singleShot(kPollMs, this, [this, silent] {
                                    if (m_ctx.finished())
                                        return;
                                    if (silent >= 2)
                                        waitForModule();
                                    else
                                        waitForSilence(silent);
                                });
                            });
}

} // namespace quarvex::cli
