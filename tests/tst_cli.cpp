// The real quarvexctl against the virtual module through a pseudo-terminal.
#include "link/crc16.h"
#include "simprocess.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSerialPort>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

#ifdef Q_OS_UNIX
#include <csignal>
#endif

namespace {

QString frame(const char *hexWithoutCrc)
{
    return QString::fromLatin1(quarvex::withCrc(QByteArray::fromHex(hexWithoutCrc)).toHex());
}

struct Result
{
    int status = -1;
    QByteArray out;
    QString err;
};

// meanwhile runs while the program does.
Result ctl(const QStringList &args, const QByteArray &lang = "C.UTF-8",
           const std::function<void(QProcess &)> &meanwhile = {})
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QUARVEX_PORT"));
    env.insert(QStringLiteral("LC_ALL"), QString::fromLatin1(lang));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(QUARVEXCTL_PATH), args);
    if (meanwhile)
        meanwhile(p);
    Result r;
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.status = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// What the module is told, what the program is asked, and what must come of it.
struct Row
{
    const char *name, *sim, *before, *args; // before: a console command to the module first
    int status;
    const char *message, *output; // on stderr; a pattern on stdout
    int frames;                   // frames sent, -1: not counted
    const char *lang = "C.UTF-8";
    bool hold = false;         // the port held by another program
    int signal = 0, after = 0; // sent once the module has had `after` frames
};

QStringList words(const char *s)
{
    return QString::fromUtf8(s).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// How many frames the module had received when a marker frame sent now reached it: all
// the program wrote is ahead of the marker on the line, so nothing it sent can come later.
int framesBeforeMarker(SimProcess &sim, QSerialPort &other)
{
    const QByteArray marker = quarvex::withCrc(QByteArray::fromHex("630300000001"));
    const QUrl server(sim.path()); // the module's tcp:// face, or its pty
    QTcpSocket socket;
    QIODevice *line = &other;
    if (server.scheme() == QLatin1String("tcp")) {
        // The server takes one client at a time: the program's must have gone.
        if (!sim.waitForNote("sim: " + sim.path().toUtf8() + ": client gone"))
            return -1;
        socket.connectToHost(server.host(), quint16(server.port()));
        if (!socket.waitForConnected(5000))
            return -1;
        line = &socket;
    } else if (!other.isOpen() && !other.open(QIODevice::ReadWrite)) {
        return -1;
    }
    line->write(marker);
    if (!line->waitForBytesWritten(1000) || !sim.waitForReceived(marker, 10000))
        return -1;
    return int(sim.received().size()) - 1;
}

} // namespace

Q_DECLARE_METATYPE(Row)

class tst_Cli : public QObject
{
    Q_OBJECT

private slots:
    void framesOnTheWire_data();
    void framesOnTheWire();
    void outcomes_data();
    void outcomes();
    void sharedLineVerdicts_data();
    void sharedLineVerdicts();
    void applyAPlan();
    void commissionABenchLine();
    void reportedAddressRefused();
    void networkFailures_data();
    void networkFailures();
    void scanOfSeveralPorts();
    void throughSer2net_data();
    void throughSer2net();
};

void tst_Cli::framesOnTheWire_data()
{
    // clang-format off
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("frames");

    const auto row = [](const char *name, const QString &args, const QStringList &frames) {
        QTest::newRow(name) << args.split(QLatin1Char(' ')) << frames;
    };
    const QString readAddress = frame("0020");
    // A motor's alarm flag is read before anything is sent to it.
    const QString alarm1 = frame("0103000c0001"), alarm2 = frame("0103000d0001");
    // Without -a the module is asked for its address first.
    row("read", QStringLiteral("read"), {readAddress, frame("01030000000e")});
    row("motor forward", QStringLiteral("-a 1 motor 1 forward 50"), {alarm1, frame("0110000400020400000032")});
    row("motor release", QStringLiteral("-a 1 motor 2 release"), {alarm2, frame("0106000b0000")});
    row("set-speed", QStringLiteral("-a 1 set-speed 115200"), {frame("011000000002040001c200")});
    // The new address is read back.
    row("set-address", QStringLiteral("set-address 5"), {readAddress, frame("001005"), readAddress});
    row("set-address --force", QStringLiteral("set-address 5 --force"), {frame("001005"), readAddress});
    row("send", QStringLiteral("send 01 03 00 04 00 01"), {frame("010300040001")});
    // Every module acts on it, none answers: sent once, not waited for.
    row("broadcast", QStringLiteral("send 00 06 00 05 00 00"), {frame("000600050000")});
    // clang-format on
}

void tst_Cli::framesOnTheWire()
{
    QFETCH(QStringList, args);
    QFETCH(QStringList, frames);
    SimProcess sim;
    const Result r =
        ctl(QStringList{QStringLiteral("-p"), sim.path(), QStringLiteral("--json")} + args);
    QCOMPARE(r.status, 0);
    QTRY_COMPARE(sim.received(), frames);
    // Commands report the frame they sent and the reply; queries their own shape.
    const QJsonObject o = QJsonDocument::fromJson(r.out).object();
    QVERIFY2(!o.isEmpty(), r.out.constData());
    if (o.contains(QStringLiteral("request")))
        QVERIFY(frames.contains(o.value(QStringLiteral("request")).toString()));
}

void tst_Cli::outcomes_data()
{
    QTest::addColumn<Row>("row");
    const char *const time = R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d\d\d(Z|[+-]\d\d:\d\d))";
    static const QByteArray watchJson =
        QByteArray(R"(^(\{"address":1,[^\n]*"result":"reply","rtt_ms":[1-9][^\n]*)"
                   R"("stored_line_speed":9600,"time":")") +
        time +
        R"("\}\n){2}\{"summary":\{"answered":2,"crc_errors":0,"cut_off":0,"exceptions":0,"late":0,)"
        R"("noise":0,"rtt_ms":\{"avg":[^}]*\},"sent":2,"timeouts":0\}\}\n$)";
    static const QByteArray watchCsv =
        QByteArray(R"(^time,result,rtt_ms,stored_line_speed,[^\n]*\n()") + time +
        R"(,no_reply,{12}\n){2}$)";
    static const QByteArray scanFromOne = R"(^\{"damaged":\[\],"modules":\[\{"address":1,)"
                                          R"("line_speed":9600\}\],"noise_bytes":0\}\n$)";
    // clang-format off
    const Row rows[] = {
        // Refused before anything is opened or sent.
        {"bad hex", "", "", "send 01 0 --json", 1, "send needs a frame in hex", R"(^\{"error":\{"message":"send needs[^\n]*"status":1\}\}\n$)", 0},
        {"speed out of range, in Chinese", "", "", "motor 1 forward 101", 1, "速度应为0-100", "", 0, "zh_CN.UTF-8"},
        {"the parser's own error, in Chinese", "", "", "--bogus", 1, "未知选项“bogus”", "", 0, "zh_CN.UTF-8"},
        {"help in Chinese on every line", "", "", "--help", 0, "", R"(^(([^\n]*\p{Han}[^\n]*)?\n)+$)", 0, "zh_CN.UTF-8"},
        // The port will not open.
        {"no such port", "", "", "-p /dev/quarvex-none address", 2, "no such port", "", 0},
        {"port in use", "", "", "address", 2, "in use by another program", "", 0, "C.UTF-8", true},
        // The line misbehaves.
        {"no reply", "--silent", "", "-a 1 -t 200 -r 2 read --json", 3, "no reply after 3 tries", R"(^\{"error":\{"message":"no reply after 3 tries","status":3\}\}\n$)", 3},
        {"one module, bad CRC", "--bad-crc", "", "address", 3, "a reply with a bad CRC: noise, a wrong speed, or two modules at once", "", 2},
        // Past 1 KiB while the reply is under way: only the noise is let go.
        {"noise, then the reply", "--baud 115200 --noise 1000", "", "-b 115200 -a 1 read", 0, "", "line speed   115200 bit/s", 1},
        // Several modules answer the address request at once: their replies collide.
        {"find on a shared line", "--modules 3,7", "", "find", 3, "at 9600 bit/s: something answers, but unreadably: several modules at once, noise, or a wrong speed; use scan", "", -1},
        {"set-address on a shared line", "--modules 3,7", "", "set-address 5", 3, "the address was not changed", "", 2},
        {"exception", "", "", "send 01 03 00 20 00 01", 4, "exception 02 (register outside the map)", "", 1},
        {"find finds nothing", "--silent", "", "find", 5, "no module found", "", 9},
        // Replies that still pair.
        {"stale reply drained", "", "send 002009a806", "address", 0, "", "^bus address 1\n$", 1},
        // Slow modules and slow lines: -t is the wait for the reply to begin.
        {"find, module answering after 400 ms", "--delay 400", "", "find --json", 0, "", R"(^\{"address":1,"line_speed":9600,)", -1},
        {"scan, module answering after 400 ms", "--delay 400", "", "scan --to 3 --json", 0, "", scanFromOne.constData(), -1},
        // Writes checked against what the module will do.
        {"motor while its alarm stands", "", "alarm 1", "motor 1 forward 50", 6, "not applied: the over-current alarm of motor 1 stands", "", 2},
        {"alarm clear while it stands", "", "alarm 2", "alarm clear 2", 0, "", "^alarm of motor 2 cleared", 3},
        {"alarm clear, none standing", "", "", "alarm clear 1", 0, "", "^no alarm stood on motor 1; nothing changed\n$", 2},
        // The module acknowledges and keeps its address: what it answers counts.
        {"set-address the module did not take", "", "keepaddress once", "set-address 5", 6, "the module acknowledged, but answers at bus address 1", "", 3},
        {"set-address at another address than -a", "", "", "-a 3 set-address 5", 6, "the module answering is at bus address 1, not 3; the address was not changed", "", 1},
        {"stored speed beside the link's", "", "set 01 0x4b00", "read", 0, "", R"(line speed   19200 bit/s stored, takes effect after a restart \(the link runs at )" R"(9600\))", 2},
        {"watch counts its polls", "", "", "watch --count 2 --interval 0 --json", 0, "", watchJson.constData(), 3},
        {"watch records failed polls", "--silent", "", "-a 1 -t 50 watch --count 2 --interval 0 --csv", 3, "no replies, so no round trip", watchCsv.constData(), 2},
        // A module slower than -t: each reply comes in the next poll's window.
        {"watch tells a late reply as late", "--delay 1540", "", "-a 1 watch --count 3 --interval 0 --csv", 3, "late 2", ",no_reply,[^\n]*\n[^\n]*,late,[^\n]*\n[^\n]*,late,", -1},
        // Bytes in every poll's window that fit no reply are noise, however fast they come.
        {"watch counts noise at any rate", "--tcp 127.0.0.1:0", "flood 1000000", "-a 1 -t 100 watch --count 2 --interval 0 --json", 3, "", "\"noise\":2", -1},
        {"watch ends with its summary on SIGTERM", "", "", "-a 1 watch --interval 0", 0, "", "\nsent [0-9]+, answered [0-9]+", -1, "C.UTF-8", false, SIGTERM, 3},
        // One try per silent address, a second one for a damaged reply; the module logs
        // requests at a speed it does not listen at too.
        {"scan, one module at another speed", "--modules 3,4,5@19200", "", "scan --from 3 --to 5 --all-speeds --json", 0, "", R"(^\{"damaged":\[\],"modules":\[\{"address":3,"line_speed":9600\},)" R"(\{"address":4,"line_speed":9600\},\{"address":5,"line_speed":19200\}\],"noise_bytes":0\}\n$)", -1},
        {"scan, empty line", "--silent", "", "scan --from 1 --to 5 --json", 5, "", R"(^\{"damaged":\[\],"modules":\[\],"noise_bytes":0\}\n$)", 5},
        // Across the network; the module's face stands in for the server.
        {"find over tcp: the server's speed, tried once", "--tcp 127.0.0.1:0 --baud 1200", "", "find --json", 0, "the line speed is the server's; trying that one only", R"(^\{"address":1,"line_speed":null,"port":"tcp://)", 1},
        {"address frames refused over modbus-tcp", "--modbus-tcp 127.0.0.1:0", "", "read", 1, "through a Modbus TCP gateway give the module's bus address, its unit there, with -a", "", -1},
        // The server's line at 1200 while -b says 9600: its replies take their time.
        {"scan over tcp, the far line slower than -b", "--tcp 127.0.0.1:0 --baud 1200 --address 3", "", "scan --to 5 --json", 0, "", "\"modules\":\\[\\{\"address\":3,\"line_speed\":null\\}\\]", -1},
        {"read over tcp: the link's speed is not known", "--tcp 127.0.0.1:0", "", "-a 1 read", 0, "", "line speed   9600 bit/s stored \\(the link runs at the server's speed, not known", -1},
        // A gateway answers 0B for a unit nothing answers at.
        {"scan over modbus-tcp skips the gateway's no-module answers", "--modbus-tcp 127.0.0.1:0 --address 3", "", "scan --to 5 --json", 0, "", "^\\{\"damaged\":\\[\\],\"modules\":\\[\\{\"address\":3,", -1},
        {"a unit behind the gateway with no module", "--modbus-tcp 127.0.0.1:0 --address 3", "", "-a 6 read", 3, "no module at unit 6 behind the gateway", "", -1},
        {"find over modbus-tcp by unit", "--modbus-tcp 127.0.0.1:0 --address 3", "", "find --json", 0, "", R"(^\{"address":3,"line_speed":null,"port":"modbus-tcp://[^,]*,"stored_line_speed":9600\}\n$)", -1},
        {"scan interrupted", "--modules 1,2", "", "scan --json", 130, "interrupted", R"(^\{"damaged":\[\],"interrupted":true,"modules":\[\{"address":1,"line_speed":9600\},)" R"(\{"address":2,"line_speed":9600\}\],"noise_bytes":0\}\n$)", -1, "C.UTF-8", false, SIGINT, 4},
    };
    // clang-format on
    for (const Row &r : rows)
        QTest::newRow(r.name) << r;
}

void tst_Cli::outcomes()
{
    QFETCH(Row, row);
    const QByteArray before(row.before);
    SimProcess sim(words(row.sim));
    QSerialPort other(sim.path());
    if (row.hold)
        QVERIFY(other.open(QIODevice::ReadWrite));
    if (before.startsWith("send ")) {
        // On the line, whole, before the program opens the port.
        sim.command(before);
        QVERIFY(sim.waitForSent(QByteArray::fromHex(before.mid(5))));
    } else if (!before.isEmpty()) {
        sim.command(before);
        QVERIFY(!sim.status().isEmpty()); // answered in turn: the command is done
    }
    const auto meanwhile = [&](QProcess &p) {
        if (!row.signal)
            return;
        QVERIFY(QTest::qWaitFor([&] { return sim.received().size() >= row.after; }, 10000));
#ifdef Q_OS_UNIX
        ::kill(pid_t(p.processId()), row.signal);
#endif
    };
    const Result r =
        ctl(QStringList{QStringLiteral("-p"), sim.path()} + words(row.args), row.lang, meanwhile);
    QVERIFY2(r.err.contains(QString::fromUtf8(row.message)), qPrintable(r.err));
    QVERIFY2(QString::fromUtf8(r.out).contains(QRegularExpression(QString::fromUtf8(row.output))),
             r.out.constData());
    QCOMPARE(r.status, row.status);
    if (row.frames >= 0)
        QCOMPARE(framesBeforeMarker(sim, other), row.frames);
}

// Modules colliding as a real pair makes them collide: the second reply starts 0 to 3 byte
// times after the first. The verdict must not hang on the bytes that happen to come of it.
void tst_Cli::sharedLineVerdicts_data()
{
    // clang-format off
    QTest::addColumn<QStringList>("sim");
    QTest::addColumn<QString>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output"); // a pattern on stdout, or on stderr when empty
    QTest::addColumn<QString>("message");
    const QString damagedFive = QStringLiteral(
        R"(^\{"damaged":\[\{"address":5,"damage":"[a-z_]+","line_speed":9600\}\],"modules":)"
        R"(\[\{"address":7,"line_speed":9600\}\])");
    const QString damagedOne = QStringLiteral(R"(^\{"damaged":\[\{"address":1,"damage":"[a-z_]+")");
    for (const char *stagger : {"0", "1", "3"}) {
        const QString at = QStringLiteral(" (%1 byte times apart)").arg(QLatin1String(stagger));
        QTest::newRow(qPrintable(QStringLiteral("scan: two at 5, one at 7") + at)) << QStringList{"--modules", "5,5,7", "--stagger", stagger} << "scan --from 4 --to 8 --json" << 0 << damagedFive << "";
        QTest::newRow(qPrintable(QStringLiteral("scan: three at 1") + at)) << QStringList{"--modules", "1,1,1", "--stagger", stagger} << "scan --to 2 --json" << 3 << damagedOne << "no valid reply, only damaged ones";
        QTest::newRow(qPrintable(QStringLiteral("find: three on one line") + at)) << QStringList{"--modules", "3,7,12", "--stagger", stagger} << "find -t 300" << 3 << "" << "at 9600 bit/s: something answers, but unreadably";
    }
    // clang-format on
}

void tst_Cli::sharedLineVerdicts()
{
    QFETCH(QStringList, sim);
    QFETCH(QString, args);
    QFETCH(int, status);
    QFETCH(QString, output);
    QFETCH(QString, message);
    SimProcess module(sim);
    const Result r =
        ctl(QStringList{QStringLiteral("-p"), module.path()} + args.split(QLatin1Char(' ')));
    QVERIFY2(QString::fromUtf8(r.out).contains(QRegularExpression(output)), r.out.constData());
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    QCOMPARE(r.status, status);
}

// A plan's rows in a temporary folder; the results file is written beside it.
struct PlanFile
{
    QTemporaryDir dir;
    QString path, results;
    explicit PlanFile(const QByteArray &csv)
        : path(dir.filePath(QStringLiteral("line.csv"))),
          results(dir.filePath(QStringLiteral("line.results.csv")))
    {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(csv);
    }
    QStringList resultRows() const
    {
        QFile f(results);
        QStringList rows;
        if (f.open(QIODevice::ReadOnly))
            for (const QByteArray &line : f.readAll().split('\n').mid(1))
                if (!line.isEmpty())
                    rows << QString::fromUtf8(line.mid(line.indexOf(',') + 1));
        return rows;
    }
};

// Three modules on a shared line: one set as planned, one refused while its alarm stands,
// one that is not there. The others go on; the run ends with its own status.
void tst_Cli::applyAPlan()
{
    SimProcess sim({QStringLiteral("--modules"), QStringLiteral("1-3")});
    sim.command("#2 alarm 1");
    QTRY_VERIFY(sim.status().value(QStringLiteral("faults")).size() > 0);
    PlanFile plan("address;pwm1;line_speed;label\n1;5000;19200;pump 1\n2;4000;;\n7;4000;;gone\n");
    const QStringList port{QStringLiteral("-p"), sim.path()};
    const Result dry =
        ctl(port + QStringList{QStringLiteral("apply"), plan.path, QStringLiteral("--dry-run")});
    QVERIFY2(dry.out.startsWith("row 1 'pump 1' address 1: PWM 1 10000 → 5000 Hz; line speed "
                                "9600 → 19200, after a restart\n"),
             dry.out.constData());
    QVERIFY(!QFile::exists(plan.results));
    QCOMPARE(sim.reg(0x03), 0x2710); // nothing written
    const Result r = ctl(port + QStringList{QStringLiteral("apply"), plan.path});
    QCOMPARE(r.status, 7);
    QCOMPARE(sim.reg(0x03), 5000);
    const QStringList rows = plan.resultRows();
    QCOMPARE(rows.size(), 3);
    QVERIFY2(rows.at(0).startsWith(QLatin1String("1,pump 1,1,9600,1,19200,done")),
             qPrintable(rows.at(0)));
    QVERIFY2(rows.at(1).contains(QLatin1String(",failed,the over-current alarm of motor 1 stands")),
             qPrintable(rows.at(1)));
    QVERIFY2(rows.at(2).startsWith(QLatin1String("3,gone,,,,,failed,no module answers")),
             qPrintable(rows.at(2)));
}

// Modules one after the other on the bench line, swapped for factory-fresh ones; Ctrl+C in
// the middle, and a second run goes on with the first row without a result.
void tst_Cli::commissionABenchLine()
{
    SimProcess sim;
    PlanFile plan("address,line_speed,pwm1,label\n11,19200,5000,pump 1\n12,,,pump 2\n13,,,\n");
    const QStringList args{QStringLiteral("-p"), sim.path(), QStringLiteral("commission"),
                           plan.path};
    const auto swapAfter = [&](int rows) {
        QVERIFY(QTest::qWaitFor([&] { return plan.resultRows().size() >= rows; }, 20000));
        sim.command("swap 100");
    };
    const Result first = ctl(args, "C.UTF-8", [&](QProcess &p) {
        swapAfter(1);
        QVERIFY(QTest::qWaitFor([&] { return plan.resultRows().size() >= 2; }, 20000));
#ifdef Q_OS_UNIX
        ::kill(pid_t(p.processId()), SIGINT);
#endif
    });
    QCOMPARE(first.status, 130);
    QVERIFY2(first.out.startsWith("row 1 'pump 1' done: address 11 — label it, connect the next "
                                  "module\nrow 2 'pump 2' done: address 12"),
             first.out.constData());
    sim.command("swap 100");
    const Result second = ctl(args);
    QCOMPARE(second.status, 0);
    QCOMPARE(second.out,
             QByteArray("row 3 done: address 13 — label it, connect the next module\n"));
    const QStringList rows = plan.resultRows();
    QCOMPARE(rows.size(), 3);
    QVERIFY2(rows.at(0).startsWith(QLatin1String("1,pump 1,1,9600,11,19200,done")),
             qPrintable(rows.at(0)));
    QCOMPARE(sim.reg(0x01), 9600); // the last row asks for no other line speed

    // Killed in the middle of a row: the results file keeps whole rows only.
    sim.command("swap 100");
    PlanFile more("address,pwm1\n21,2000\n22,\n");
    sim.command("delay 200");
    ctl({QStringLiteral("-p"), sim.path(), QStringLiteral("commission"), more.path}, "C.UTF-8",
        [&](QProcess &p) {
            QVERIFY(sim.waitForReceived(quarvex::withCrc(QByteArray::fromHex("001015"))));
#ifdef Q_OS_UNIX
            ::kill(pid_t(p.processId()), SIGKILL);
#endif
        });
    QCOMPARE(more.resultRows(), QStringList());
}

void tst_Cli::reportedAddressRefused()
{
    // The module cannot be told to report 0, so the line says it in its place.
    SimProcess sim({QStringLiteral("--silent")});
    const QStringList args{QStringLiteral("-p"), sim.path(), QStringLiteral("-t"),
                           QStringLiteral("10000"), QStringLiteral("read")};
    const Result r = ctl(args, "C.UTF-8", [&](QProcess &) {
        QVERIFY(sim.waitForReceived(quarvex::withCrc(QByteArray::fromHex("0020")), 5000));
        sim.command("send " + frame("002000").toLatin1());
    });
    QCOMPARE(r.status, 3);
    QVERIFY2(r.err.contains(QLatin1String("reported bus address 0, outside 1-254")),
             qPrintable(r.err));
    QSerialPort other(sim.path());
    QCOMPARE(framesBeforeMarker(sim, other), 1);
}

void tst_Cli::networkFailures_data()
{
    // clang-format off
    QTest::addColumn<QString>("port"); // empty: the module's
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("dropWhileOpen");
    QTest::addColumn<QString>("message");

    // A port that was free a moment ago: nothing listens there now.
    QTest::newRow("refused") << QStringLiteral("tcp://127.0.0.1:%1").arg(Ser2net::freePort()) << QStringList{"read"} << false << "connection refused";
    QTest::newRow("no such host") << "rfc2217://quarvex.invalid:2217" << QStringList{"read"} << false << "host not found";
    QTest::newRow("dropped while watching") << "" << QStringList{"watch", "--interval", "0", "--json"} << true << "was dropped";
    // What a scan found is told with the error that ended it.
    QTest::newRow("dropped while scanning") << "" << QStringList{"scan", "--from", "2", "--to", "200", "--json"} << true << "was dropped";
    // clang-format on
}

void tst_Cli::networkFailures()
{
    QFETCH(QString, port);
    QFETCH(QStringList, args);
    QFETCH(bool, dropWhileOpen);
    QFETCH(QString, message);
    SimProcess sim({QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:0")});
    const Result r =
        ctl(QStringList{QStringLiteral("-p"), port.isEmpty() ? sim.path() : port} + args, "C.UTF-8",
            [&](QProcess &) {
                if (dropWhileOpen) {
                    QVERIFY(QTest::qWaitFor([&] { return !sim.received().isEmpty(); }, 10000));
                    sim.command("quit");
                }
            });
    QCOMPARE(r.status, 2);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    if (args.contains(QLatin1String("--json")))
        QVERIFY2(r.out.contains("\"error\":{\"message\":\""), r.out.constData());
    if (args.contains(QLatin1String("scan")))
        QVERIFY2(r.out.contains("\"modules\":["), r.out.constData());
}

// Given in this order, told in this order, each with its own result.
void tst_Cli::scanOfSeveralPorts()
{
    SimProcess local({QStringLiteral("--address"), QStringLiteral("3")});
    SimProcess server({QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:0"),
                       QStringLiteral("--address"), QStringLiteral("2")});
    const QString refused = QStringLiteral("tcp://127.0.0.1:%1").arg(Ser2net::freePort());
    const QString scan = QStringLiteral("-p %1,%2 -p %3 scan --from 1 --to 3 --json");
    const Result r = ctl(scan.arg(local.path(), refused, server.path()).split(QLatin1Char(' ')));
    QCOMPARE(r.status, 2);
    const QString group = QStringLiteral(R"(\{"damaged":\[\],"modules":\[\{"address":%1,)"
                                         R"("line_speed":%2\}\],"noise_bytes":0,"port":"%3"\})");
    const QString expected =
        QStringLiteral(
            R"(^\{"ports":\[%1,\{"error":\{"message":"[^"]*connection refused","status":2\},"port":"%2"\},%3\]\}\n$)")
            .arg(group.arg(3).arg(9600).arg(QRegularExpression::escape(local.path())),
                 QRegularExpression::escape(refused),
                 group.arg(2).arg(QStringLiteral("null"),
                                  QRegularExpression::escape(server.path())));
    QVERIFY2(QString::fromUtf8(r.out).contains(QRegularExpression(expected)), r.out.constData());
}

void tst_Cli::throughSer2net_data()
{
    // clang-format off
    QTest::addColumn<bool>("rfc2217");
    QTest::addColumn<int>("moduleBaud");
    QTest::addColumn<QString>("args");
    QTest::addColumn<QString>("output"); // a pattern on stdout

    const QString read = QStringLiteral("line speed   %1 bit/s");
    QTest::newRow("raw: read") << false << 9600 << "read" << read.arg(9600);
    QTest::newRow("raw: scan") << false << 9600 << "scan --to 2 --json" << R"("modules":\[\{"address":1,"line_speed":null\}\])";
    // ser2net sets its pty to each speed asked for; the module hears only its own.
    QTest::newRow("rfc2217: find at the slow speed") << true << 1200 << "find --json" << R"(^\{"address":1,"line_speed":1200,)";
    QTest::newRow("rfc2217: scan every speed") << true << 19200 << "scan --to 2 --all-speeds --json" << R"("modules":\[\{"address":1,"line_speed":19200\}\])";
    // clang-format on
}

void tst_Cli::throughSer2net()
{
    QUARVEX_REQUIRE_SER2NET();
    QFETCH(bool, rfc2217);
    QFETCH(int, moduleBaud);
    QFETCH(QString, args);
    QFETCH(QString, output);
    SimProcess sim({QStringLiteral("--baud"), QString::number(moduleBaud)});
    Ser2net server(sim.path(), rfc2217 ? Ser2net::Mode::Rfc2217 : Ser2net::Mode::Raw,
                   quint32(moduleBaud));
    QVERIFY2(server.isListening(), qPrintable(server.log()));
    const Result r =
        ctl(QStringList{QStringLiteral("-p"), server.portName()} + args.split(QLatin1Char(' ')));
    QVERIFY2(QString::fromUtf8(r.out).contains(QRegularExpression(output)),
             qPrintable(r.out + r.err));
    QCOMPARE(r.status, 0);
}

QTEST_GUILESS_MAIN(tst_Cli)
#include "tst_cli.moc"
