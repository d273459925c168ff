// The real quarvexctl against the virtual module through a pseudo-terminal.
#include "link/crc16.h"
#include "simprocess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSerialPort>
#include <QtTest>

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

Result ctl(const QStringList &args, const QByteArray &lang = "C.UTF-8")
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QUARVEX_PORT"));
    env.insert(QStringLiteral("LC_ALL"), QString::fromLatin1(lang));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(QUARVEXCTL_PATH), args);
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

QJsonObject json(const QByteArray &line)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError)
        qWarning("not JSON: %s", line.constData());
    return doc.object();
}

} // namespace

class tst_Cli : public QObject
{
    Q_OBJECT

private slots:
    void findsTheModule_data();
    void findsTheModule();
    void framesOnTheWire_data();
    void framesOnTheWire();
    void readFollowsWritesAndAlarms();
    void failures_data();
    void failures();
    void watchCountsItsPolls();
};

void tst_Cli::findsTheModule_data()
{
    QTest::addColumn<QString>("speed");
    QTest::newRow("slow") << QStringLiteral("1200");
    QTest::newRow("default") << QStringLiteral("9600");
    QTest::newRow("fastest") << QStringLiteral("128000");
}

void tst_Cli::findsTheModule()
{
    QFETCH(QString, speed);
    SimProcess sim(
        {QStringLiteral("--baud"), speed, QStringLiteral("--address"), QStringLiteral("7")});
    const Result r = ctl(
        {QStringLiteral("find"), QStringLiteral("--json"), QStringLiteral("--port"), sim.path()});
    QCOMPARE(r.status, 0);
    const QJsonObject o = json(r.out);
    QCOMPARE(o.value(QStringLiteral("port")).toString(), sim.path());
    QCOMPARE(o.value(QStringLiteral("line_speed")).toInt(), speed.toInt());
    QCOMPARE(o.value(QStringLiteral("address")).toInt(), 7);
}

void tst_Cli::framesOnTheWire_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("frames");

    const auto row = [](const char *name, const QString &args, const QStringList &frames) {
        QTest::newRow(name) << args.split(QLatin1Char(' ')) << frames;
    };
    const QString readAddress = frame("0020");
    // Without -a the module is asked for its address first.
    row("address", QStringLiteral("address"), {readAddress});
    row("read", QStringLiteral("read"), {readAddress, frame("01030000000e")});
    row("motor forward", QStringLiteral("-a 1 motor 1 forward 50"),
        {frame("0110000400020400000032")});
    row("motor reverse", QStringLiteral("motor 2 reverse 100 -a 1"),
        {frame("0110000900020400010064")});
    row("motor stop", QStringLiteral("-a 1 motor 1 stop"), {frame("010600050000")});
    row("motor brake", QStringLiteral("-a 1 motor 2 brake"), {frame("0106000b0001")});
    row("motor frequency", QStringLiteral("-a 1 motor 2 frequency 1000"),
        {frame("01100007000204000003e8")});
    row("alarm clear", QStringLiteral("-a 1 alarm clear 2"), {frame("0106000d0000")});
    row("set-speed", QStringLiteral("-a 1 set-speed 115200"), {frame("011000000002040001c200")});
    row("set-address", QStringLiteral("set-address 5"), {readAddress, frame("001005")});
    row("set-address --force", QStringLiteral("set-address 5 --force"), {frame("001005")});
    row("send", QStringLiteral("send 01 03 00 04 00 01"), {frame("010300040001")});
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
    const QJsonObject o = json(r.out);
    QVERIFY(!o.isEmpty());
    if (o.contains(QStringLiteral("request")))
        QCOMPARE(o.value(QStringLiteral("request")).toString(), frames.last());
}

void tst_Cli::readFollowsWritesAndAlarms()
{
    SimProcess sim;
    const QStringList port{QStringLiteral("-p"), sim.path()};
    const auto run = [&](const char *args) {
        return ctl(port + QString::fromLatin1(args).split(QLatin1Char(' '))).status;
    };
    const auto motor = [&](const char *key) {
        const Result r = ctl(port + QStringList{QStringLiteral("read"), QStringLiteral("--json")});
        return json(r.out).value(QLatin1String(key)).toObject();
    };
    QCOMPARE(run("motor 1 reverse 40"), 0);
    QCOMPARE(run("motor 2 frequency 2500"), 0);
    QCOMPARE(run("motor 2 brake"), 0);
    QJsonObject m1 = motor("motor1");
    QCOMPARE(m1.value(QStringLiteral("direction")).toString(), QStringLiteral("reverse"));
    QCOMPARE(m1.value(QStringLiteral("speed")).toInt(), 40);
    QCOMPARE(m1.value(QStringLiteral("alarm")).toBool(), false);
    const QJsonObject m2 = motor("motor2");
    QCOMPARE(m2.value(QStringLiteral("pwm_frequency")).toInt(), 2500);
    QCOMPARE(m2.value(QStringLiteral("brake")).toBool(), true);

    sim.command("alarm 1");
    QTRY_COMPARE(sim.reg(0x0C), 1);
    m1 = motor("motor1");
    QCOMPARE(m1.value(QStringLiteral("alarm")).toBool(), true);
    QCOMPARE(m1.value(QStringLiteral("speed")).toInt(), 0);
    const Result text = ctl(port + QStringList{QStringLiteral("read")});
    QVERIFY2(text.out.contains("alarm OVER-CURRENT"), text.out.constData());

    QCOMPARE(run("alarm clear 1"), 0);
    m1 = motor("motor1");
    QCOMPARE(m1.value(QStringLiteral("alarm")).toBool(), false);
    QCOMPARE(m1.value(QStringLiteral("direction")).toString(), QStringLiteral("forward"));
}

void tst_Cli::failures_data()
{
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("framesSent");
    QTest::addColumn<QByteArray>("lang");
    QTest::addColumn<bool>("holdPort");

    const auto row = [](const char *name, const char *sim, const char *args, int status,
                        const QString &message, int frames, const QByteArray &lang = "C.UTF-8",
                        bool hold = false) {
        QTest::newRow(name) << QString::fromLatin1(sim).split(QLatin1Char(' '), Qt::SkipEmptyParts)
                            << QString::fromLatin1(args).split(QLatin1Char(' ')) << status
                            << message << frames << lang << hold;
    };
    // Refused before anything is opened or sent.
    row("speed out of range", "", "motor 1 forward 101", 1, QStringLiteral("SPEED must be 0-100"),
        0);
    row("frequency out of range", "", "-a 1 motor 2 frequency 999", 1, QStringLiteral("HZ must"),
        0);
    row("unknown line speed", "", "-b 9601 read", 1,
        QStringLiteral("the line speed must be one of"), 0);
    row("address out of range", "", "set-address 255", 1, QStringLiteral("1-254"), 0);
    row("bad hex", "", "send 01 0", 1, QStringLiteral("send needs a frame in hex"), 0);
    row("message in Chinese", "", "motor 1 forward 101", 1, QString::fromUtf8("速度应为0-100"), 0,
        "zh_CN.UTF-8");
    // The port will not open.
    row("no such port", "", "-p /dev/quarvex-none address", 2, QStringLiteral("no such port"), 0);
    row("port in use", "", "address", 2, QStringLiteral("in use by another program"), 0, "C.UTF-8",
        true);
    // The line misbehaves.
    row("no reply", "--silent", "-a 1 -t 200 -r 2 read", 3,
        QStringLiteral("no reply after 3 tries"), 3);
    row("damaged address reply", "--bad-crc", "-t 200 -r 0 address", 3,
        QStringLiteral("a damaged reply to the address request"), 1);
    row("exception", "", "send 01 03 00 20 00 01", 4,
        QStringLiteral("exception 02 (register outside the map)"), 1);
    row("find finds nothing", "--silent", "find", 5, QStringLiteral("no module found"), 9);
    // Replies that still pair.
    row("split byte by byte", "--split 1:3", "read", 0, QString(), 2);
    row("stray byte first", "--stray", "read", 0, QString(), 2);
}

void tst_Cli::failures()
{
    QFETCH(QStringList, simArgs);
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, message);
    QFETCH(int, framesSent);
    QFETCH(QByteArray, lang);
    QFETCH(bool, holdPort);
    SimProcess sim(simArgs);
    QSerialPort other(sim.path());
    if (holdPort)
        QVERIFY(other.open(QIODevice::ReadWrite));
    const Result r = ctl(QStringList{QStringLiteral("-p"), sim.path()} + args, lang);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    QCOMPARE(r.status, status);
    if (status == 0)
        QVERIFY2(r.out.contains("line speed   9600 bit/s"), r.out.constData());
    // Anything late would have reached the module by the time the next command does.
    QTest::qWait(50);
    QCOMPARE(sim.received().size(), framesSent);
}

void tst_Cli::watchCountsItsPolls()
{
    SimProcess sim;
    const Result r =
        ctl({QStringLiteral("-p"), sim.path(), QStringLiteral("watch"), QStringLiteral("--count"),
             QStringLiteral("2"), QStringLiteral("--interval"), QStringLiteral("0"),
             QStringLiteral("--json")});
    QCOMPARE(r.status, 0);
    const QList<QByteArray> lines = r.out.trimmed().split('\n');
    QCOMPARE(lines.size(), 3);
    QCOMPARE(json(lines[0]).value(QStringLiteral("line_speed")).toInt(), 9600);
    QVERIFY(json(lines[1]).value(QStringLiteral("rtt_ms")).toDouble() > 0);
    const QJsonObject s = json(lines[2]).value(QStringLiteral("summary")).toObject();
    QCOMPARE(s.value(QStringLiteral("sent")).toInt(), 2);
    QCOMPARE(s.value(QStringLiteral("answered")).toInt(), 2);
    QCOMPARE(s.value(QStringLiteral("timeouts")).toInt(), 0);
    QVERIFY(s.value(QStringLiteral("rtt_ms")).toObject().contains(QStringLiteral("avg")));
}

QTEST_GUILESS_MAIN(tst_Cli)
#include "tst_cli.moc"
