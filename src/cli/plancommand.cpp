#include "plancommand.h"

#include "report.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace quarvex::cli {

bool PlanCommand::loadPlan()
{
    const QString path = m_ctx.inv().plan;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_ctx.failWith(ExitStatus::Usage,
                       Cli::tr("cannot read the plan %1: %2").arg(path, file.errorString()));
        return false;
    }
    m_plan = parsePlan(file.readAll(), path);
    if (m_plan.errors.isEmpty())
        return true;
    for (int i = 0; i + 1 < m_plan.errors.size(); ++i)
        m_ctx.complain(m_plan.errors.at(i));
    m_ctx.failWith(ExitStatus::Usage, m_plan.errors.last() + QLatin1Char('\n') +
                                          Cli::tr("nothing was sent: mend the plan first"));
    return false;
}

QString PlanCommand::resultsPath() const
{
    const QFileInfo plan(m_ctx.inv().plan);
    return plan.dir().filePath(plan.completeBaseName() + QStringLiteral(".results.csv"));
}

QByteArray PlanCommand::readResults() const
{
    QFile file(resultsPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void PlanCommand::record(const RowResult &result, const QString &text, const QJsonObject &json)
{
    ++(result.done ? m_done : m_failed);
    QString error;
    if (!appendResult(resultsPath(), result, &error))
        m_ctx.complain(Cli::tr("cannot write %1: %2").arg(resultsPath(), error));
    if (m_ctx.inv().json)
        m_ctx.outJson(json);
    else
        m_ctx.out(text);
}

void PlanCommand::finishRun(const QString &counts, std::optional<ExitStatus> status)
{
    m_ctx.progress(QString());
    m_ctx.complain(counts);
    m_ctx.finish(status.value_or(m_failed > 0 ? ExitStatus::RowsFailed : ExitStatus::Done));
}

} // namespace quarvex::cli
