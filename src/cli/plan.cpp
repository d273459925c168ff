#include "plan.h"

#include "csv.h"
#include "invocation.h"
#include "report.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace quarvex::cli {

namespace {

enum class Column
{
    Address,
    LineSpeed,
    Pwm1,
    Pwm2,
    Label,
};

struct ColumnName
{
    const char *name;
    Column column;
};

constexpr ColumnName kColumns[] = {
    {"address", Column::Address}, {"line_speed", Column::LineSpeed}, {"pwm1", Column::Pwm1},
    {"pwm2", Column::Pwm2},       {"label", Column::Label},
};

// One place for a row's values, from CSV and JSON alike.
class RowReader
{
public:
    RowReader(const QString &file, Plan *plan) : m_file(file), m_plan(plan) {}

    void error(int line, const QString &why)
    {
        m_plan->errors << QStringLiteral("%1:%2: %3").arg(m_file).arg(line).arg(why);
    }

    // A value for a field, or nothing when empty (left as it is) or refused (told).
    std::optional<quint32> value(int line, Field field, const QString &text, bool *ok)
    {
        if (text.isEmpty())
            return std::nullopt;
        QString why;
        const auto v = fieldValue(field, text, &why);
        if (!v) {
            error(line, why);
            *ok = false;
        }
        return v;
    }

    void add(PlanRow row)
    {
        for (const PlanRow &other : std::as_const(m_plan->rows)) {
            if (other.address == row.address) {
                error(row.line, Cli::tr("bus address %1 is on line %2 already")
                                    .arg(row.address)
                                    .arg(other.line));
                return;
            }
        }
        row.row = int(m_plan->rows.size()) + 1;
        m_plan->rows.append(row);
    }

private:
    QString m_file;
    Plan *m_plan;
};

// The columns the header names; empty, each mistake told, when it names any wrongly.
QVector<Column> readHeader(const CsvRecord &header, RowReader &reader)
{
    QVector<Column> columns;
    bool ok = true;
    for (const QString &cell : header.cells) {
        const QString name = cell.toLower();
        const auto known =
            std::find_if(std::begin(kColumns), std::end(kColumns),
                         [&](const ColumnName &c) { return name == QLatin1String(c.name); });
        if (known == std::end(kColumns)) {
            reader.error(header.line, Cli::tr("unknown column \"%1\" (the columns are address, "
                                              "line_speed, pwm1, pwm2, label)")
                                          .arg(cell));
            ok = false;
        } else if (columns.contains(known->column)) {
            reader.error(header.line, Cli::tr("column \"%1\" twice").arg(cell));
            ok = false;
        } else {
            columns << known->column;
        }
    }
    if (ok && !columns.contains(Column::Address)) {
        reader.error(header.line, Cli::tr("no address column"));
        ok = false;
    }
    return ok ? columns : QVector<Column>();
}

void readRow(const CsvRecord &r, const QVector<Column> &columns, RowReader &reader)
{
    if (r.cells.size() > columns.size()) {
        reader.error(
            r.line,
            Cli::tr("%1 cells, but the header names %2").arg(r.cells.size()).arg(columns.size()));
        return;
    }
    PlanRow row;
    row.line = r.line;
    bool ok = true;
    for (int c = 0; c < r.cells.size(); ++c) {
        const QString &cell = r.cells.at(c);
        switch (columns.at(c)) {
        case Column::Address:
            if (const auto a = reader.value(r.line, Field::Address, cell, &ok))
                row.address = quint8(*a);
            break;
        case Column::LineSpeed:
            row.lineSpeed = reader.value(r.line, Field::LineSpeed, cell, &ok);
            break;
        case Column::Pwm1:
            row.pwm1 = reader.value(r.line, Field::Frequency, cell, &ok);
            break;
        case Column::Pwm2:
            row.pwm2 = reader.value(r.line, Field::Frequency, cell, &ok);
            break;
        case Column::Label:
            row.label = cell;
            break;
        }
    }
    if (ok && row.address == 0) {
        reader.error(r.line, Cli::tr("no bus address"));
        ok = false;
    }
    if (ok)
        reader.add(row);
}

void parseCsv(const QString &text, RowReader &reader)
{
    const QVector<CsvRecord> all = csvRecords(text, csvSeparator(text));
    if (all.isEmpty()) {
        reader.error(1, Cli::tr("no header row"));
        return;
    }
    const QVector<Column> columns = readHeader(all.first(), reader);
    if (columns.isEmpty())
        return;
    for (int i = 1; i < all.size(); ++i)
        readRow(all.at(i), columns, reader);
}

// What `read --json` prints: the module's own settings, as a plan of one row.
void parseJson(const QByteArray &bytes, RowReader &reader)
{
    QJsonParseError e{};
    const QJsonObject o = QJsonDocument::fromJson(bytes, &e).object();
    if (e.error != QJsonParseError::NoError || o.isEmpty()) {
        const int line = int(bytes.left(e.offset).count('\n')) + 1;
        reader.error(line, Cli::tr("not JSON as read --json prints it: %1").arg(e.errorString()));
        return;
    }
    PlanRow row;
    row.line = 1;
    bool ok = true;
    const auto number = [&o](const QString &key, const QString &inner = QString()) {
        const QJsonValue v = inner.isEmpty() ? o.value(key) : o.value(key).toObject().value(inner);
        return v.isDouble() ? QString::number(qint64(v.toDouble())) : v.toString();
    };
    if (const auto a = reader.value(1, Field::Address, number(QStringLiteral("address")), &ok))
        row.address = quint8(*a);
    row.lineSpeed =
        reader.value(1, Field::LineSpeed, number(QStringLiteral("stored_line_speed")), &ok);
    row.pwm1 = reader.value(1, Field::Frequency,
                            number(QStringLiteral("motor1"), QStringLiteral("pwm_frequency")), &ok);
    row.pwm2 = reader.value(1, Field::Frequency,
                            number(QStringLiteral("motor2"), QStringLiteral("pwm_frequency")), &ok);
    if (ok && row.address == 0) {
        reader.error(1, Cli::tr("no bus address"));
        ok = false;
    }
    if (ok)
        reader.add(row);
}

constexpr int kResultColumns = 9;

} // namespace

Plan parsePlan(const QByteArray &bytes, const QString &fileName)
{
    Plan plan;
    RowReader reader(fileName, &plan);
    if (const int line = firstBadUtf8Line(bytes)) {
        reader.error(line, Cli::tr("not UTF-8 text"));
        return plan;
    }
    QByteArray body = bytes;
    if (body.startsWith("\xEF\xBB\xBF"))
        body.remove(0, 3);
    if (body.trimmed().startsWith('{'))
        parseJson(body, reader);
    else
        parseCsv(QString::fromUtf8(body), reader);
    if (plan.errors.isEmpty() && plan.rows.isEmpty())
        reader.error(1, Cli::tr("no rows"));
    if (!plan.errors.isEmpty())
        plan.rows.clear();
    return plan;
}

QStringList planChanges(const PlanRow &row, const ModuleState &s)
{
    QStringList changes;
    const std::optional<quint32> pwm[] = {row.pwm1, row.pwm2};
    for (int m = 0; m < 2; ++m)
        if (pwm[m] && *pwm[m] != s.motors[m].frequency)
            changes
                << Cli::tr("PWM %1 %2 → %3 Hz").arg(m + 1).arg(s.motors[m].frequency).arg(*pwm[m]);
    if (row.lineSpeed && *row.lineSpeed != s.lineSpeed)
        changes
            << Cli::tr("line speed %1 → %2, after a restart").arg(s.lineSpeed).arg(*row.lineSpeed);
    return changes;
}

int blockedMotor(const PlanRow &row, const ModuleState &s)
{
    const std::optional<quint32> pwm[] = {row.pwm1, row.pwm2};
    for (int m = 0; m < 2; ++m)
        if (pwm[m] && *pwm[m] != s.motors[m].frequency && s.motors[m].alarm)
            return m + 1;
    return 0;
}

QString resultsHeader()
{
    return QStringLiteral("time,row,label,address_found,line_speed_found,address_set,"
                          "line_speed_set,outcome,reason");
}

QString resultsLine(const RowResult &r)
{
    const auto n = [](qint64 v) {
        return v ? QString::number(v) : QString();
    };
    return QStringList{isoTime(r.time),  QString::number(r.row),
                       csvCell(r.label), n(r.foundAddress),
                       n(r.foundSpeed),  n(r.setAddress),
                       n(r.setSpeed),    r.done ? QStringLiteral("done") : QStringLiteral("failed"),
                       csvCell(r.reason)}
        .join(QLatin1Char(','));
}

QSet<int> rowsWithResults(const QByteArray &resultsFile)
{
    QSet<int> rows;
    const QVector<CsvRecord> all = csvRecords(QString::fromUtf8(resultsFile), QLatin1Char(','));
    for (int i = 1; i < all.size(); ++i) {
        const QStringList &cells = all.at(i).cells;
        bool ok = false;
        const int row = cells.value(1).toInt(&ok);
        const QString outcome = cells.value(7);
        if (ok && cells.size() == kResultColumns &&
            (outcome == QLatin1String("done") || outcome == QLatin1String("failed")))
            rows.insert(row);
    }
    return rows;
}

QVector<int> doneAddresses(const QByteArray &resultsFile)
{
    QVector<int> addresses;
    const QVector<CsvRecord> all = csvRecords(QString::fromUtf8(resultsFile), QLatin1Char(','));
    for (int i = 1; i < all.size(); ++i) {
        const QStringList &cells = all.at(i).cells;
        if (cells.size() == kResultColumns && cells.at(7) == QLatin1String("done"))
            addresses << cells.at(5).toInt();
    }
    return addresses;
}

bool appendResult(const QString &path, const RowResult &result, QString *error)
{
    QByteArray content;
    {
        // Closed before the rename: Windows cannot replace a file still open.
        QFile old(path);
        if (old.open(QIODevice::ReadOnly))
            content = old.readAll();
    }
    if (content.isEmpty())
        content = resultsHeader().toUtf8() + '\n';
    else if (!content.endsWith('\n'))
        content += '\n';
    content += resultsLine(result).toUtf8() + '\n';
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(content) == content.size() && file.commit())
        return true;
    *error = file.errorString();
    return false;
}

} // namespace quarvex::cli
