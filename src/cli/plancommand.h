#pragma once

#include "context.h"
#include "plan.h"

namespace quarvex::cli {

// What commission and apply share: the plan, read and checked before anything is sent,
// and the results file beside it, a row at a time.
class PlanCommand : public CommandGroup
{
    Q_OBJECT

public:
    using CommandGroup::CommandGroup;

protected:
    // False, told and finished, when the plan cannot be read or has errors.
    bool loadPlan();
    // PLAN.results.csv beside the plan.
    QString resultsPath() const;
    QByteArray readResults() const;
    // The row's outcome into the results file, the text on stdout, JSON with --json.
    void record(const RowResult &result, const QString &text, const QJsonObject &json);
    // Ends with a line of counts on stderr; by default 0, or RowsFailed when any failed.
    void finishRun(const QString &counts, std::optional<ExitStatus> status = std::nullopt);

    Plan m_plan;
    int m_done = 0, m_failed = 0;
};

} // namespace quarvex::cli
