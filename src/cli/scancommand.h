#pragma once

#include "context.h"
#include "scanstrategy.h"

#include <QElapsedTimer>

#include <memory>
#include <optional>
#include <vector>

namespace quarvex::cli {

// scan: every bus address from --from to --to, at one speed or all nine; on several
// ports at once, each with a scan of its own.
class ScanCommand : public CommandGroup
{
    Q_OBJECT

public:
    using CommandGroup::CommandGroup;
    void start() override;
    // What was found until then is told.
    void interrupt(ExitStatus status) override;

private:
    void opened();
    void go(const ScanStep &step);
    void probe(const ScanStep &step);
    void showProgress(const ScanStep &step);
    void done(std::optional<ExitStatus> interrupted = std::nullopt,
              const QString &portFailure = QString());
    QJsonObject resultJson(const ScanState &s) const;
    QStringList resultText(const ScanState &s) const;

    void scanPorts();
    void portsScanned();

    std::optional<ScanState> m_state;
    bool m_serverSpeed = false; // the line speed is the far server's
    bool m_gateway = false;
    QElapsedTimer m_clock;

    // Several ports: one context and scan each, their output kept for its group.
    struct Line
    {
        Context::Sink sink;
        Context *context = nullptr;
        CommandGroup *scan = nullptr;
        std::optional<ExitStatus> status;
    };
    std::vector<std::unique_ptr<Line>> m_lines;
    int m_linesLeft = 0;
};

} // namespace quarvex::cli
