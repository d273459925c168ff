#include "applycommand.h"

#include "device/frames.h"
#include "report.h"

#include <QJsonArray>

namespace quarvex::cli {

void ApplyCommand::start()
{
    if (!loadPlan())
        return;
    const Invocation &inv = m_ctx.inv();
    m_ctx.openPort(inv.port, inv.baud, true, [this](bool ok) {
        if (ok)
            next();
    });
}

void ApplyCommand::interrupt(ExitStatus status)
{
    if (m_ctx.finished())
        return;
    finishRun(Cli::tr("interrupted: %1 rows done, %2 failed, %3 not reached")
                  .arg(m_done)
                  .arg(m_failed)
                  .arg(m_plan.rows.size() - qMax(0, m_index)),
              status);
}

QString ApplyCommand::rowName() const
{
    const PlanRow &row = m_plan.rows.at(m_index);
    return row.label.isEmpty()
               ? Cli::tr("row %1 address %2").arg(row.row).arg(row.address)
               : Cli::tr("row %1 '%2' address %3").arg(row.row).arg(row.label).arg(row.address);
}

void ApplyCommand::next()
{
    if (++m_index >= m_plan.rows.size()) {
        finishRun(m_ctx.inv().dryRun ? Cli::tr("%1 rows read: %2 would change, %3 failed; nothing "
                                               "was written")
                                           .arg(m_plan.rows.size())
                                           .arg(m_wouldChange)
                                           .arg(m_failed)
                                     : Cli::tr("%1 rows: %2 done, %3 failed")
                                           .arg(m_plan.rows.size())
                                           .arg(m_done)
                                           .arg(m_failed));
        return;
    }
    m_ctx.progress(rowName() + QStringLiteral(" ..."));
    m_answered = false;
    read([this](const ModuleState &s) {
        const PlanRow &row = m_plan.rows.at(m_index);
        const QStringList changes = planChanges(row, s);
        if (const int motor = blockedMotor(row, s)) {
            finishRow(false,
                      Cli::tr("the over-current alarm of motor %1 stands and the module ignores "
                              "writes to it: clear it first (quarvexctl -a %2 alarm clear %1)")
                          .arg(motor)
                          .arg(row.address),
                      changes);
            return;
        }
        if (m_ctx.inv().dryRun || changes.isEmpty()) {
            finishRow(true, QString(), changes);
            return;
        }
        write(changes);
    });
}

// Registers 00-0D of the row's module; a failure fails the row and goes on.
void ApplyCommand::read(const std::function<void(const ModuleState &)> &then)
{
    const quint8 address = m_plan.rows.at(m_index).address;
    m_ctx.engine().exchange(
        readRegistersFrame(address, Reg::LineSpeed, Reg::Count), m_ctx.commandPolicy(),
        [this, then](const Exchange &x) {
            if (x.result == Exchange::PortFailed) {
                finishRun(Context::portGoneWords(x), ExitStatus::PortFailed);
                return;
            }
            ModuleState s;
            if (x.result != Exchange::Reply || !decodeState(x.reply, &s)) {
                const QString why =
                    x.result == Exchange::Exception
                        ? Cli::tr("refused: exception %1").arg(exceptionText(x.exceptionCode))
                    : x.result == Exchange::Damaged ? damageText(x.damage)
                                                    : Cli::tr("no module answers");
                finishRow(false, why, {});
                return;
            }
            m_answered = true;
            then(s);
        });
}

void ApplyCommand::write(const QStringList &changes)
{
    const PlanRow &row = m_plan.rows.at(m_index);
    m_writes.clear();
    if (row.pwm1)
        m_writes << motorFrequencyFrame(row.address, Motor::One, *row.pwm1);
    if (row.pwm2)
        m_writes << motorFrequencyFrame(row.address, Motor::Two, *row.pwm2);
    if (row.lineSpeed)
        m_writes << setLineSpeedFrame(row.address, *row.lineSpeed);
    writeNext(changes);
}

void ApplyCommand::writeNext(const QStringList &changes)
{
    if (m_writes.isEmpty()) {
        readBack(changes);
        return;
    }
    m_ctx.engine().exchange(
        m_writes.takeFirst(), m_ctx.commandPolicy(), [this, changes](const Exchange &x) {
            if (x.result == Exchange::PortFailed) {
                finishRun(Context::portGoneWords(x), ExitStatus::PortFailed);
            } else if (x.result != Exchange::Reply) {
                finishRow(false, Cli::tr("a write was not acknowledged"), changes);
            } else {
                writeNext(changes);
            }
        });
}

void ApplyCommand::readBack(const QStringList &changes)
{
    read([this, changes](const ModuleState &s) {
        const QStringList left = planChanges(m_plan.rows.at(m_index), s);
        if (left.isEmpty())
            finishRow(true, QString(), changes);
        else
            finishRow(false,
                      Cli::tr("read back otherwise: %1").arg(left.join(QStringLiteral("; "))),
                      changes);
    });
}

void ApplyCommand::finishRow(bool done, const QString &why, const QStringList &changes)
{
    const PlanRow &row = m_plan.rows.at(m_index);
    const bool dry = m_ctx.inv().dryRun;
    const QString what = changes.isEmpty() ? Cli::tr("as planned, nothing to change")
                                           : changes.join(QStringLiteral("; "));
    QString text;
    if (!done)
        text = Cli::tr("%1: failed: %2").arg(rowName(), why);
    else if (dry)
        text = Cli::tr("%1: %2").arg(rowName(), what);
    else
        text = Cli::tr("%1: done: %2").arg(rowName(), what);
    QJsonObject json{{QStringLiteral("row"), row.row},
                     {QStringLiteral("label"), row.label},
                     {QStringLiteral("address"), row.address},
                     {QStringLiteral("changes"), QJsonArray::fromStringList(changes)},
                     {QStringLiteral("outcome"), !done ? QStringLiteral("failed")
                                                 : dry ? QStringLiteral("dry_run")
                                                       : QStringLiteral("done")}};
    if (!done)
        json.insert(QStringLiteral("reason"), why);
    if (dry) {
        ++(done ? m_done : m_failed);
        m_wouldChange += done && !changes.isEmpty();
        if (m_ctx.inv().json)
            m_ctx.outJson(json);
        else
            m_ctx.out(text);
    } else {
        const RowResult r{QDateTime::currentDateTime(),
                          row.row,
                          row.label,
                          m_answered ? row.address : 0,
                          m_answered ? m_ctx.engine().baud() : 0,
                          done ? row.address : 0,
                          done ? row.lineSpeed.value_or(0) : 0,
                          done,
                          why};
        record(r, text, json);
    }
    next();
}

} // namespace quarvex::cli
