#include "csv.h"

namespace quarvex::cli {

int firstBadUtf8Line(const QByteArray &bytes)
{
    int line = 1;
    for (int i = 0; i < bytes.size(); ++i) {
        const quint8 b = quint8(bytes.at(i));
        if (b == '\n')
            ++line;
        const int more = b < 0x80             ? 0
                         : (b & 0xE0) == 0xC0 ? 1
                         : (b & 0xF0) == 0xE0 ? 2
                         : (b & 0xF8) == 0xF0 ? 3
                                              : -1;
        if (more < 0 || (more == 1 && b < 0xC2))
            return line;
        for (int k = 1; k <= more; ++k)
            if (i + k >= bytes.size() || (quint8(bytes.at(i + k)) & 0xC0) != 0x80)
                return line;
        i += more;
    }
    return 0;
}

QChar csvSeparator(const QString &text)
{
    int commas = 0, semicolons = 0;
    bool quoted = false;
    for (const QChar c : text) {
        if (c == QLatin1Char('\n') && !quoted)
            break;
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (!quoted && c == QLatin1Char(','))
            ++commas;
        else if (!quoted && c == QLatin1Char(';'))
            ++semicolons;
    }
    return semicolons > commas ? QLatin1Char(';') : QLatin1Char(',');
}

QVector<CsvRecord> csvRecords(const QString &text, QChar separator)
{
    QVector<CsvRecord> out;
    CsvRecord r{1, {QString()}};
    int line = 1;
    bool quoted = false, atStart = true, comment = false;
    const auto endRecord = [&] {
        bool blank = true;
        for (QString &cell : r.cells) {
            cell = cell.trimmed();
            blank = blank && cell.isEmpty();
        }
        if (!comment && !blank)
            out.append(r);
        r = {line, {QString()}};
        atStart = true;
        comment = false;
    };
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\n'))
            ++line;
        if (comment) {
            if (c == QLatin1Char('\n'))
                endRecord();
            continue;
        }
        if (atStart && c == QLatin1Char('#')) {
            comment = true;
            continue;
        }
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t'))
            atStart = false;
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"'))
                r.cells.last() += text.at(++i);
            else if (c == QLatin1Char('"'))
                quoted = false;
            else
                r.cells.last() += c;
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == separator) {
            r.cells.append(QString());
        } else if (c == QLatin1Char('\n')) {
            endRecord();
        } else if (c != QLatin1Char('\r')) {
            r.cells.last() += c;
        }
    }
    endRecord();
    return out;
}

QString csvCell(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char(';')))
        return text;
    return QLatin1Char('"') + QString(text).replace(QLatin1String("\""), QLatin1String("\"\"")) +
           QLatin1Char('"');
}

} // namespace quarvex::cli
