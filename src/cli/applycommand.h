#pragma once

#include "plancommand.h"

namespace quarvex::cli {

// apply: modules already at their addresses on a shared line, each set as its row says:
// read, write only what differs, read back. --dry-run only reads and tells.
class ApplyCommand : public PlanCommand
{
    Q_OBJECT

public:
    using PlanCommand::PlanCommand;
    void start() override;
    void interrupt(ExitStatus status) override;

private:
    void next();
    void read(const std::function<void(const ModuleState &)> &then);
    void write(const QStringList &changes);
    void writeNext(const QStringList &changes);
    void readBack(const QStringList &changes);
    void finishRow(bool done, const QString &what, const QStringList &changes);
    QString rowName() const;

    int m_index = -1;
    bool m_answered = false; // the current row's module read
    int m_wouldChange = 0;
    QVector<QByteArray> m_writes; // the current row's, in turn
};

} // namespace quarvex::cli
