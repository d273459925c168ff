// quarvexctl's command line, help and reports in process: what a run is asked to do, the
// words it refuses with, and the text and JSON it prints.
#include "commandtable.h"
#include "exitstatus.h"
#include "helptext.h"
#include "invocation.h"
#include "report.h"

#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QtTest>

using namespace quarvex;
using namespace quarvex::cli;

namespace {

// An invocation's fields, in one line.
QString describe(const Invocation &i)
{
    return QStringLiteral("%1 p=%2 b=%3 a=%4 t=%5/%6 r=%7 motor=%8/%9 v=%10 f=%11 %12-%13 "
                          "i=%14/%15 %16%17%18%19%20")
        .arg(QLatin1String(commandSpec(i.verb).name), i.ports.join(QLatin1Char(',')))
        .arg(i.baud)
        .arg(i.address.value_or(0))
        .arg(i.timeoutMs)
        .arg(i.timeoutGiven)
        .arg(i.retries)
        .arg(motorNumber(i.motor))
        .arg(int(i.deviceCommand))
        .arg(i.value)
        .arg(QString::fromLatin1(i.frame.toHex()))
        .arg(i.from)
        .arg(i.to)
        .arg(i.intervalMs)
        .arg(i.count)
        .arg(i.json ? "j" : "", i.csv ? "c" : "", i.verbose ? "v" : "", i.allSpeeds ? "s" : "",
             i.force ? "f" : "");
}

} // namespace

class tst_CliArgs : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void wrapping_data();
    void wrapping();
    void helpFitsEightyColumns();
    void readmeListsEveryExitStatus();
    void reports_data();
    void reports();
};

void tst_CliArgs::parse_data()
{
    // clang-format off
    QTest::addColumn<QString>("args");
    QTest::addColumn<QString>("env"); // $QUARVEX_PORT
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("expected"); // the invocation described, or the text

    const auto row = [](const char *name, const char *args, const char *env, Parsed::Action a,
                        const char *expected) {
        QTest::newRow(name) << QString::fromUtf8(args) << QString::fromUtf8(env) << int(a) << QString::fromUtf8(expected);
    };
    const auto run = Parsed::Run, error = Parsed::Error, help = Parsed::Help;
    row("options after the command", "motor 2 reverse 100 -a 1 -p p", "", run, "motor p=p b=9600 a=1 t=1000/0 r=1 motor=2/7 v=100 f= 1-254 i=1000/0 ");
    row("the environment's port", "-t 300 -r 0 read --json", "env", run, "read p=env b=9600 a=0 t=300/1 r=0 motor=1/13 v=0 f= 1-254 i=1000/0 j");
    row("-p wins over the environment", "-p p read", "env", run, "read p=p b=9600 a=0 t=1000/0 r=1 motor=1/13 v=0 f= 1-254 i=1000/0 ");
    row("the last -p for one port", "-p a -p b address", "", run, "address p=b b=9600 a=0 t=1000/0 r=1 motor=1/13 v=0 f= 1-254 i=1000/0 ");
    row("scan takes every port", "-p a,b -p c scan --from 3 --to 9 --all-speeds", "", run, "scan p=a,b,c b=9600 a=0 t=1000/0 r=1 motor=1/13 v=0 f= 3-9 i=1000/0 s");
    row("send with blanks", "-p p send 01 03 00 04 00 01", "", run, "send p=p b=9600 a=0 t=1000/0 r=1 motor=1/13 v=0 f=010300040001 1-254 i=1000/0 ");
    row("find needs no port", "find -b 1200", "", run, "find p= b=1200 a=0 t=1000/0 r=1 motor=1/13 v=0 f= 1-254 i=1000/0 ");
    row("watch", "-p p watch --interval 0 --count 2 --csv", "", run, "watch p=p b=9600 a=0 t=1000/0 r=1 motor=1/13 v=0 f= 1-254 i=0/2 c");
    row("frequency out of range", "-p p -a 1 motor 2 frequency 999", "", error, "HZ must be 1000-10000, not \"999\"");
    row("unknown line speed", "-p p -b 9601 read", "", error, "the line speed must be one of 1200, 2400, 4800, 9600, 14400, 19200, 57600, 115200, " "128000, not \"9601\"");
    row("address out of range", "-p p set-address 255", "", error, "the bus address must be 1-254, not \"255\"");
    row("odd hex", "-p p send 01 0", "", error, "send needs a frame in hex, at least two bytes, not \"01 0\"");
    row("a motor that is not there", "-p p motor 3 stop", "", error, "wrong arguments for motor (see --help)");
    row("a value too many", "-p p motor 1 stop 5", "", error, "wrong arguments for motor (see --help)");
    row("unknown command", "-p p jump", "", error, "unknown command \"jump\" (see --help)");
    row("no command", "-p p", "", error, "no command given");
    row("no port", "read", "", error, "no port given: use --port or $QUARVEX_PORT");
    row("several ports for one module", "-p a,b read", "", error, "only scan takes several ports");
    row("a network port without its number", "-p rfc2217://127.0.0.1 read", "", error, "rfc2217://127.0.0.1 is not a network port: use tcp://HOST:PORT, rfc2217://HOST:PORT or " "modbus-tcp://HOST[:PORT]");
    row("--from above --to", "-p p scan --from 9 --to 3", "", error, "--from must not be above --to");
    row("a timeout of 0", "-p p -t 0 read", "", error, "--timeout must be 1-60000, not \"0\"");
    row("help for one command", "help scan", "", help, "Usage: quarvexctl [options] scan [--from N] [--to N] [--all-speeds]\n");
    row("--help after a command", "motor --help", "", help, "Usage: quarvexctl [options] motor 1|2 ACTION\n");
    // clang-format on
}

void tst_CliArgs::parse()
{
    QFETCH(QString, args);
    QFETCH(QString, env);
    QFETCH(int, action);
    QFETCH(QString, expected);
    const Parsed p = parseArguments(
        QStringList{QStringLiteral("quarvexctl")} + args.split(QLatin1Char(' ')), env);
    QCOMPARE(int(p.action), action);
    if (action == Parsed::Run)
        QCOMPARE(describe(p.invocation), expected);
    else if (action == Parsed::Help)
        QVERIFY2(p.text.startsWith(expected), qPrintable(p.text));
    else
        QCOMPARE(p.text, expected);
}

void tst_CliArgs::wrapping_data()
{
    // clang-format off
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("indent");
    QTest::addColumn<QString>("wrapped");

    const QString words = QStringLiteral("word ").repeated(20).trimmed();
    QTest::newRow("at a blank, the next line indented") << words << 4 << QStringLiteral("word ").repeated(15).trimmed() + QStringLiteral("\n    ") + QStringLiteral("word ").repeated(5).trimmed();
    // Wide characters take two columns: 40 of them fill a line.
    QTest::newRow("between wide characters") << QStringLiteral("模").repeated(41) << 0 << QStringLiteral("模").repeated(40) + QStringLiteral("\n模");
    QTest::newRow("closing punctuation stays with its word") << QStringLiteral("模").repeated(39) + QStringLiteral("模，模") << 0 << QStringLiteral("模").repeated(39) + QStringLiteral("\n模，模");
    // clang-format on
}

void tst_CliArgs::wrapping()
{
    QFETCH(QString, text);
    QFETCH(int, indent);
    QFETCH(QString, wrapped);
    QCOMPARE(cli::wrapped(text, indent, indent), wrapped);
}

void tst_CliArgs::helpFitsEightyColumns()
{
    QStringList texts{helpText()};
    for (const CommandSpec &c : commands())
        texts << commandHelpText(c);
    for (const QString &t : texts)
        for (const QString &line : t.split(QLatin1Char('\n')))
            QVERIFY2(line.size() <= 80, qPrintable(line));
}

// The README's table of exit statuses names each of the program's, and no other.
void tst_CliArgs::readmeListsEveryExitStatus()
{
    QFile readme(QStringLiteral(QUARVEX_SOURCE_DIR "/README.md"));
    QVERIFY(readme.open(QIODevice::ReadOnly));
    QList<int> listed;
    const QRegularExpression row(QStringLiteral("^\\| (\\d+) \\|"),
                                 QRegularExpression::MultilineOption);
    for (auto m = row.globalMatch(QString::fromUtf8(readme.readAll())); m.hasNext();)
        listed << m.next().captured(1).toInt();
    QList<int> statuses;
    for (const ExitStatusMeaning &s : kExitStatuses)
        statuses << code(s.status);
    QCOMPARE(listed, statuses);
}

void tst_CliArgs::reports_data()
{
    // clang-format off
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected"); // a pattern

    ModuleState s;
    s.address = 5;
    s.lineSpeed = 19200;
    s.motors[1].alarm = 1;
    s.motors[1].direction = 1;
    QTest::newRow("stored speed beside the link's, as JSON") << QString::fromUtf8(compact(stateJson(s, 9600))) << R"(^\{"address":5,"link_line_speed":9600,"motor1":\{"alarm":false,[^}]*\},)" R"("motor2":\{"alarm":true,"brake":false,"direction":"reverse",[^}]*\},)" R"("stored_line_speed":19200\}$)";
    QTest::newRow("stored speed beside the link's, as text") << stateText(s, 9600) << R"(line speed   19200 bit/s stored, takes effect after a restart \(the link runs at )" R"(9600\)\n.*\nmotor 2      reverse, [^\n]*alarm OVER-CURRENT\n$)";
    PollRecord silent;
    silent.time = QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5, 6), Qt::UTC);
    QTest::newRow("a poll without reply, as CSV") << csvRecord(silent) << R"(^2026-01-02T03:04:05\.006Z,no_reply,{12}$)";
    QTest::newRow("a summary without replies") << summaryText({2, 0, 2, 0, 0, 0, 0, 0, 0, 0}) << R"(^sent 2, answered 0, no reply 2, [^;]*; no replies, so no round trip$)";
    // clang-format on
}

void tst_CliArgs::reports()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QVERIFY2(
        text.contains(QRegularExpression(expected, QRegularExpression::DotMatchesEverythingOption)),
        qPrintable(text));
}

QTEST_GUILESS_MAIN(tst_CliArgs)
#include "tst_cliargs.moc"
