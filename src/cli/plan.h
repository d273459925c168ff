#pragma once

#include "link/replydecoder.h"

#include <QByteArray>
#include <QDateTime>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

// A commissioning plan: one row per module, read from a CSV file as a spreadsheet exports
// it, or from the JSON that `quarvexctl read --json` prints (a plan of one row). And the
// results file beside it. Pure: bytes in, rows or errors out.
namespace quarvex::cli {

struct PlanRow
{
    int line = 0; // in the file
    int row = 0;  // among the data rows, from 1
    quint8 address = 0;
    // Absent: left as the module has it.
    std::optional<quint32> lineSpeed, pwm1, pwm2;
    QString label; // for the module's sticker; never sent
};

struct Plan
{
    QVector<PlanRow> rows;
    QStringList errors; // "FILE:LINE: why", all of them; nothing is to be sent while any stand
};

Plan parsePlan(const QByteArray &bytes, const QString &fileName);

// What a row would change on a module as it reads ("PWM 1 10000 → 5000 Hz", "line speed
// 9600 → 19200, after a restart"); empty when it is as planned.
QStringList planChanges(const PlanRow &row, const ModuleState &state);
// The motor whose PWM the row changes while its over-current alarm stands (the module
// ignores writes to it then), 0 none.
int blockedMotor(const PlanRow &row, const ModuleState &state);

// What came of one row.
struct RowResult
{
    QDateTime time;
    int row = 0;
    QString label;
    int foundAddress = 0;   // 0: none found
    quint32 foundSpeed = 0; // the link's speed it answered at; 0 unknown
    int setAddress = 0;     // 0: not set
    quint32 setSpeed = 0;   // stored; 0: left as it was
    bool done = false;
    QString reason; // failed: why
};

// The results file: a header row, then one row a finished plan row, as CSV.
QString resultsHeader();
QString resultsLine(const RowResult &result);
// The plan rows the results file already has a result for (done or failed); a line it
// cannot read (a hand edit, a file cut short) counts for nothing.
QSet<int> rowsWithResults(const QByteArray &resultsFile);
// The plan rows done, by the address they were given.
QVector<int> doneAddresses(const QByteArray &resultsFile);

// Adds a row to the results file at `path`, written anew and swapped in whole, so a crash
// or a Ctrl+C never leaves half a row. False, with the reason, when it cannot be written.
bool appendResult(const QString &path, const RowResult &result, QString *error);

} // namespace quarvex::cli
