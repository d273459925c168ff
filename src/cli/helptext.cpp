#include "helptext.h"

#include "commandtable.h"
#include "exitstatus.h"

namespace quarvex::cli {

namespace {

#ifdef Q_OS_WIN
const QLatin1String kExamplePort("COM3");
#else
const QLatin1String kExamplePort("ttyUSB0");
#endif

// Terminal columns a character takes: CJK text is twice as wide.
int columns(QChar c)
{
    return c.unicode() >= 0x1100 ? 2 : 1;
}

} // namespace

QString wrapped(const QString &text, int indent, int firstColumn)
{
    constexpr int kWidth = 80;
    QString out;
    int column = firstColumn;
    int i = 0;
    while (i < text.size()) {
        // The next piece: a word with its blank before it, or one wide character.
        int j = i;
        if (text.at(j) == QLatin1Char(' '))
            ++j;
        if (j < text.size() && columns(text.at(j)) == 2)
            ++j;
        else
            while (j < text.size() && text.at(j) != QLatin1Char(' ') && columns(text.at(j)) == 1)
                ++j;
        // Closing punctuation stays with what it closes.
        while (j < text.size() && QStringLiteral("，。；：、）”").contains(text.at(j)))
            ++j;
        QString piece = text.mid(i, j - i);
        int width = 0;
        for (QChar c : piece)
            width += columns(c);
        if (column + width > kWidth && column > indent) {
            out += QLatin1Char('\n') + QString(indent, QLatin1Char(' '));
            column = indent;
            if (piece.startsWith(QLatin1Char(' '))) {
                piece.remove(0, 1);
                --width;
            }
        }
        out += piece;
        column += width;
        i = j;
    }
    return out;
}

QString helpText()
{
    QString t = Cli::tr("Usage: quarvexctl [options] COMMAND [arguments]") + QLatin1Char('\n') +
                wrapped(Cli::tr("Finds, reads, drives and commissions a Quarvex motor driver "
                                "module over RS-485."),
                        0, 0) +
                QStringLiteral("\n\n") + Cli::tr("Options:") + QLatin1Char('\n');
    constexpr int kColumn = 22;
    for (const OptionSpec &o : options()) {
        QString left = o.shortName ? QStringLiteral("  -%1, --%2")
                                         .arg(QLatin1String(o.shortName), QLatin1String(o.name))
                                   : QStringLiteral("      --%1").arg(QLatin1String(o.name));
        if (o.value)
            left += QLatin1Char(' ') + QLatin1String(o.value);
        left = left.leftJustified(kColumn - 1) + QLatin1Char(' ');
        QString help = Cli::tr(o.help);
        if (help.contains(QLatin1String("%1")))
            help = help.arg(kCommandTurnaroundMs).arg(kProbeTurnaroundMs);
        t += left + wrapped(help, kColumn, kColumn) + QLatin1Char('\n');
    }
    t += QLatin1Char('\n') + Cli::tr("Commands:") + QLatin1Char('\n');
    // Every line carries words, so a translated help is translated on every line.
    constexpr int kCommandColumn = 20;
    for (const CommandSpec &c : commands())
        t += (QStringLiteral("  ") + c.synopsis()).leftJustified(kCommandColumn - 1) +
             QLatin1Char(' ') + wrapped(Cli::tr(c.what), kCommandColumn, kCommandColumn) +
             QLatin1Char('\n');
    t +=
        QLatin1Char('\n') +
        wrapped(
            Cli::tr("find, address and set-address use the module's read-address frame to "
                    "bus address 0: with several modules on one line they all answer at "
                    "once and the replies collide. Use scan there. quarvexctl help COMMAND shows a "
                    "command's usage and an example."),
            0, 0) +
        QStringLiteral("\n\n") + Cli::tr("Exit status:") + QLatin1Char('\n');
    for (const ExitStatusMeaning &s : kExitStatuses)
        t += QStringLiteral("  %1").arg(code(s.status), -5) + wrapped(Cli::tr(s.meaning), 7, 7) +
             QLatin1Char('\n');
    return t;
}

QString commandHelpText(const CommandSpec &c)
{
    return Cli::tr("Usage: quarvexctl [options] %1").arg(QLatin1String(c.usage)) +
           QLatin1Char('\n') + wrapped(Cli::tr(c.what), 0, 0) + QStringLiteral("\n\n") +
           Cli::tr("Example: %1")
               .arg(QString(QLatin1String(c.example))
                        .replace(QLatin1String("ttyUSB0"), kExamplePort)) +
           QLatin1Char('\n') + Cli::tr("Options: see quarvexctl --help") + QLatin1Char('\n');
}

} // namespace quarvex::cli
