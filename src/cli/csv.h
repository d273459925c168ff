#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

// CSV as spreadsheets write it. Pure.
namespace quarvex::cli {

struct CsvRecord
{
    int line; // in the text, from 1, where the record begins
    QStringList cells;
};

// The line of the first byte that is no UTF-8, 0 when all are.
int firstBadUtf8Line(const QByteArray &bytes);
// The separator a spreadsheet chose: the one the header row uses more, outside quotes.
QChar csvSeparator(const QString &text);
// Records with their cells: quoted cells may hold the separator, doubled quotes and line
// breaks. Comment lines (#) and blank records are left out.
QVector<CsvRecord> csvRecords(const QString &text, QChar separator);
// A cell as CSV needs it: quoted when it holds a separator, a quote or a line break.
QString csvCell(const QString &text);

} // namespace quarvex::cli
