#include "faults.h"
#include "requestframer.h"
#include "simmodule.h"
#include "txschedule.h"

#include "link/crc16.h"

#include <QtTest>

using namespace quarvex;
using namespace quarvex::sim;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// Hex without its CRC; the CRC is appended.
QByteArray frame(const char *text)
{
    return withCrc(hex(text));
}

QList<quint16> registers(const SimModule &m)
{
    QList<quint16> r;
    for (quint16 i = 0; i < Reg::Count; ++i)
        r << m.reg(i);
    return r;
}

QByteArray ask(SimModule &m, const QByteArray &request)
{
    return m.handle(request).reply;
}

} // namespace

class TestSimModule : public QObject
{
    Q_OBJECT

private slots:
    void referenceFrames_data();
    void referenceFrames();
    void exceptions_data();
    void exceptions();
    void noReply_data();
    void noReply();
    void broadcastWritesAct();
    void addressChangesAtOnce();
    void lineSpeedAfterRestart_data();
    void lineSpeedAfterRestart();
    void alarm_data();
    void alarm();
    void framer_data();
    void framer();
    void schedule_data();
    void schedule();
    void scheduleQueuesFrames();
    void faults_data();
    void faults();
    void onceFaultsAreUsedUp();
};

void TestSimModule::referenceFrames_data()
{
    QTest::addColumn<QByteArray>("setup");
    QTest::addColumn<int>("alarmMotor");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");

    const QByteArray none;
    const auto row = [](const char *name, const QByteArray &setup, int alarm, const char *req,
                        const char *rep) {
        QTest::newRow(name) << setup << alarm << hex(req) << hex(rep);
    };
    row("read address", none, 0, "00 20 00 68", "00 20 01 A9 C0");
    row("write address 1", none, 0, "00 10 01 BD C0", "00 10 00 7C");
    row("read m1 freq", none, 0, "01 03 00 02 00 02 65 CB", "01 03 04 00 00 27 10 E0 0F");
    row("read m2 freq", none, 0, "01 03 00 07 00 02 75 CA", "01 03 04 00 00 27 10 E0 0F");
    row("set m1 freq", none, 0, "01 10 00 02 00 02 04 00 00 27 10 68 4A",
        "01 10 00 02 00 02 E0 08");
    row("set m2 freq", none, 0, "01 10 00 07 00 02 04 00 00 27 10 A8 75",
        "01 10 00 07 00 02 F0 09");
    row("read m1 dir fwd", none, 0, "01 03 00 04 00 01 C5 CB", "01 03 02 00 00 B8 44");
    row("read m1 dir rev", hex("01 06 00 04 00 01 09 CB"), 0, "01 03 00 04 00 01 C5 CB",
        "01 03 02 00 01 79 84");
    row("read m2 dir fwd", none, 0, "01 03 00 09 00 01 54 08", "01 03 02 00 00 B8 44");
    row("read m2 dir rev", hex("01 06 00 09 00 01 98 08"), 0, "01 03 00 09 00 01 54 08",
        "01 03 02 00 01 79 84");
    row("set m1 fwd", none, 0, "01 06 00 04 00 00 C8 0B", "01 06 00 04 00 00 C8 0B");
    row("set m1 rev", none, 0, "01 06 00 04 00 01 09 CB", "01 06 00 04 00 01 09 CB");
    row("set m2 fwd", none, 0, "01 06 00 09 00 00 59 C8", "01 06 00 09 00 00 59 C8");
    row("set m2 rev", none, 0, "01 06 00 09 00 01 98 08", "01 06 00 09 00 01 98 08");
    row("read m1 speed", hex("01 06 00 05 00 32 18 1E"), 0, "01 03 00 05 00 01 94 0B",
        "01 03 02 00 32 39 91");
    row("read m2 speed", hex("01 06 00 0A 00 32 28 1D"), 0, "01 03 00 0A 00 01 A4 08",
        "01 03 02 00 32 39 91");
    row("set m1 speed", none, 0, "01 06 00 05 00 32 18 1E", "01 06 00 05 00 32 18 1E");
    row("set m2 speed", none, 0, "01 06 00 0A 00 32 28 1D", "01 06 00 0A 00 32 28 1D");
    row("brake m1", none, 0, "01 06 00 06 00 01 A8 0B", "01 06 00 06 00 01 A8 0B");
    row("brake m2", none, 0, "01 06 00 0B 00 01 39 C8", "01 06 00 0B 00 01 39 C8");
    row("m1 alarm normal", none, 0, "01 03 00 0C 00 01 44 09", "01 03 02 00 00 B8 44");
    row("m1 alarm raised", none, 1, "01 03 00 0C 00 01 44 09", "01 03 02 00 01 79 84");
    row("m2 alarm normal", none, 1, "01 03 00 0D 00 01 15 C9", "01 03 02 00 00 B8 44");
    row("m2 alarm raised", none, 2, "01 03 00 0D 00 01 15 C9", "01 03 02 00 01 79 84");
    row("clear m1 alarm", none, 1, "01 06 00 0C 00 00 49 C9", "01 06 00 0C 00 00 49 C9");
    row("clear m2 alarm", none, 2, "01 06 00 0D 00 00 18 09", "01 06 00 0D 00 00 18 09");
    row("clear idle alarm", none, 0, "01 06 00 0D 00 00 18 09", "01 06 00 0D 00 00 18 09");
    row("read all", none, 0, "01 03 00 00 00 0C 45 CF",
        "01 03 18 0000 2580 0000 2710 0000 0000 0000 0000 2710 0000 0000 0000 A1 5C");
    const char *speeds[][2] = {
        {"1200", "04 B0 F0 DB"},  {"2400", "09 60 F5 D7"},   {"4800", "12 C0 FF 5F"},
        {"9600", "25 80 E8 9F"},  {"14400", "38 40 E1 9F"},  {"19200", "4B 00 C5 5F"},
        {"57600", "E1 00 BB FF"}, {"115200", "C2 00 F3 0F"}, {"128000", "F4 00 E4 AF"},
    };
    for (const auto &s : speeds) {
        const QByteArray high = QByteArray(s[0]).toUInt() > 0xFFFF ? "00 01 " : "00 00 ";
        const QByteArray req = "01 10 00 00 00 02 04 " + high + s[1];
        QTest::newRow(QByteArray("line speed ") + s[0])
            << none << 0 << hex(req.constData()) << hex("01 10 00 00 00 02 41 C8");
    }
}

void TestSimModule::referenceFrames()
{
    QFETCH(QByteArray, setup);
    QFETCH(int, alarmMotor);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);

    SimModule m;
    if (!setup.isEmpty())
        QCOMPARE(ask(m, setup), setup);
    if (alarmMotor)
        m.raiseAlarm(alarmMotor == 1 ? Motor::One : Motor::Two);
    QCOMPARE(ask(m, request).toHex(' '), reply.toHex(' '));
}

void TestSimModule::exceptions_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");

    const auto row = [](const char *name, const char *req, const char *rep) {
        QTest::newRow(name) << frame(req) << frame(rep);
    };
    row("unknown function", "01 2B", "01 AB 01");
    row("input registers", "01 04 0000 0001", "01 84 01");
    row("function 20 not at 0", "01 20", "01 A0 01");
    row("read 0E", "01 03 000E 0001", "01 83 02");
    row("read past 0D", "01 03 000C 0003", "01 83 02");
    row("read count 0", "01 03 0000 0000", "01 83 03");
    row("read long frame", "01 03 0000 0001 00", "01 83 03");
    row("write 0E", "01 06 000E 0000", "01 86 02");
    row("write many past 0D", "01 10 000C 0003 06 0000 0000 0000", "01 90 02");
    row("byte count wrong", "01 10 0004 0002 02 0000", "01 90 03");
    row("speed 101", "01 06 0005 0065", "01 86 03");
    row("direction 2", "01 06 0009 0002", "01 86 03");
    row("brake 2", "01 06 000B 0002", "01 86 03");
    row("freq 999", "01 10 0002 0002 04 0000 03E7", "01 90 03");
    row("freq 10001", "01 10 0007 0002 04 0000 2711", "01 90 03");
    row("freq low half 0", "01 06 0003 0000", "01 86 03");
    row("freq high half 1", "01 06 0007 0001", "01 86 03");
    row("line speed 9601", "01 10 0000 0002 04 0000 2581", "01 90 03");
    row("line speed low half", "01 06 0001 C200", "01 86 03");
    row("alarm write 1", "01 06 000C 0001", "01 86 03");
    row("good then bad value", "01 10 0004 0002 04 0001 0065", "01 90 03");
}

void TestSimModule::exceptions()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);

    SimModule m;
    const QList<quint16> before = registers(m);
    QCOMPARE(ask(m, request).toHex(' '), reply.toHex(' '));
    QCOMPARE(registers(m), before);
}

void TestSimModule::noReply_data()
{
    QTest::addColumn<QByteArray>("request");

    QByteArray damaged = hex("01 03 00 00 00 0C 45 CF");
    damaged[7] = char(0xCE);
    QTest::newRow("bad crc") << damaged;
    QTest::newRow("too short") << frame("01");
    QTest::newRow("other address") << frame("02 03 0000 000C");
    QTest::newRow("other address write") << frame("FE 06 0006 0001");
    QTest::newRow("broadcast read") << frame("00 03 0000 000C");
    QTest::newRow("broadcast bad value") << frame("00 06 0005 0065");
    QTest::newRow("new address 0") << frame("00 10 00");
    QTest::newRow("new address 255") << frame("00 10 FF");
}

void TestSimModule::noReply()
{
    QFETCH(QByteArray, request);

    SimModule m;
    const QList<quint16> before = registers(m);
    const Outcome o = m.handle(request);
    QVERIFY(o.reply.isEmpty());
    QVERIFY(!o.note.isEmpty());
    QCOMPARE(registers(m), before);
    QCOMPARE(m.address(), Factory::Address);
}

void TestSimModule::broadcastWritesAct()
{
    SimModule m;
    QVERIFY(ask(m, frame("00 06 0005 0032")).isEmpty());
    QCOMPARE(m.reg(Reg::Motor1Speed), quint16(50));
    QVERIFY(ask(m, frame("00 10 0009 0002 04 0001 0064")).isEmpty());
    QCOMPARE(m.reg(Reg::Motor2Direction), quint16(1));
    QCOMPARE(m.reg(Reg::Motor2Speed), quint16(100));
}

void TestSimModule::addressChangesAtOnce()
{
    SimModule m;
    QCOMPARE(ask(m, frame("00 10 05")), hex("00 10 00 7C"));
    QCOMPARE(m.address(), quint8(5));
    QVERIFY(ask(m, hex("01 03 00 05 00 01 94 0B")).isEmpty());
    QCOMPARE(ask(m, frame("05 03 0005 0001")), frame("05 03 02 0000"));
    QCOMPARE(ask(m, hex("00 20 00 68")), frame("00 20 05"));
    m.restart();
    QCOMPARE(m.address(), quint8(5));
}

void TestSimModule::lineSpeedAfterRestart_data()
{
    QTest::addColumn<quint32>("speed");
    for (quint32 s : kLineSpeeds)
        QTest::newRow(QByteArray::number(s).constData()) << s;
}

void TestSimModule::lineSpeedAfterRestart()
{
    QFETCH(quint32, speed);

    SimModule m;
    QByteArray req = hex("01 10 0000 0002 04");
    for (int shift : {24, 16, 8, 0})
        req.append(char(speed >> shift));
    QCOMPARE(ask(m, withCrc(req)), frame("01 10 0000 0002"));
    QCOMPARE(ask(m, hex("01 06 00 05 00 32 18 1E")).size(), 8);

    QCOMPARE(m.activeLineSpeed(), Factory::LineSpeed);
    QCOMPARE(m.storedLineSpeed(), speed);
    QCOMPARE(ask(m, frame("01 03 0000 0002")), withCrc(hex("01 03 04") + req.mid(7, 4)));

    m.restart();
    QCOMPARE(m.activeLineSpeed(), speed);
    QCOMPARE(m.reg(Reg::Motor1Speed), Factory::Speed);
}

void TestSimModule::alarm_data()
{
    QTest::addColumn<int>("motor");
    QTest::newRow("motor 1") << 1;
    QTest::newRow("motor 2") << 2;
}

void TestSimModule::alarm()
{
    QFETCH(int, motor);
    const Motor self = motor == 1 ? Motor::One : Motor::Two;
    const Motor other = motor == 1 ? Motor::Two : Motor::One;
    const MotorRegisters r = motorRegisters(self);
    const MotorRegisters o = motorRegisters(other);

    SimModule m;
    const auto write = [&m](quint16 reg, quint16 value) {
        QByteArray req = hex("01 06");
        for (quint16 v : {reg, value}) {
            req.append(char(v >> 8));
            req.append(char(v));
        }
        req = withCrc(req);
        return ask(m, req) == req;
    };
    QVERIFY(write(r.direction, 1));
    QVERIFY(write(r.speed, 50));
    QVERIFY(write(r.frequency + 1, 5000));
    QVERIFY(write(o.speed, 30));

    m.raiseAlarm(self);
    QCOMPARE(m.reg(r.alarm), quint16(1));
    QCOMPARE(m.reg(r.speed), quint16(0));
    QCOMPARE(m.reg(o.speed), quint16(30));

    // Answered as usual, but nothing changes on the alarmed motor.
    QVERIFY(write(r.speed, 60));
    QVERIFY(write(r.brake, 1));
    QCOMPARE(m.reg(r.speed), quint16(0));
    QCOMPARE(m.reg(r.brake), quint16(0));
    QVERIFY(write(o.speed, 40));
    QCOMPARE(m.reg(o.speed), quint16(40));
    QVERIFY(!write(r.alarm, 1));

    QVERIFY(write(r.alarm, 0));
    QVERIFY(!m.inAlarm(self));
    QCOMPARE(m.reg(r.direction), Factory::Direction);
    QCOMPARE(m.reg(r.frequency + 1), quint16(Factory::Frequency));
    QCOMPARE(m.reg(o.speed), quint16(40));
    QVERIFY(write(r.speed, 60));
    QCOMPARE(m.reg(r.speed), quint16(60));

    m.raiseAlarm(self);
    m.restart();
    QVERIFY(!m.inAlarm(self));
}

void TestSimModule::framer_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QList<QByteArray>>("frames");
    QTest::addColumn<QByteArray>("rest");

    const QByteArray readAll = hex("01 03 00 00 00 0C 45 CF");
    const QByteArray readAddr = hex("00 20 00 68");
    const QByteArray writeAddr = frame("00 10 05");
    const QByteArray bcast10 = frame("00 10 0004 0002 04 0001 0032");
    const QByteArray unknown = frame("01 2B");
    QByteArray damaged = readAll;
    damaged[7] = char(0xCE);

    QTest::newRow("in pieces") << QList<QByteArray>{readAll.left(2), readAll.mid(2, 3),
                                                    readAll.mid(5)}
                               << QList<QByteArray>{readAll} << QByteArray();
    QTest::newRow("two merged") << QList<QByteArray>{readAddr + readAll}
                                << QList<QByteArray>{readAddr, readAll} << QByteArray();
    QTest::newRow("write address")
        << QList<QByteArray>{writeAddr} << QList<QByteArray>{writeAddr} << QByteArray();
    QTest::newRow("broadcast 10") << QList<QByteArray>{bcast10} << QList<QByteArray>{bcast10}
                                  << QByteArray();
    QTest::newRow("10 before count")
        << QList<QByteArray>{bcast10.left(6)} << QList<QByteArray>{} << bcast10.left(6);
    QTest::newRow("stray ahead") << QList<QByteArray>{"\xff" + readAddr} << QList<QByteArray>{}
                                 << QByteArray("\xff" + readAddr);
    QTest::newRow("unknown function")
        << QList<QByteArray>{unknown} << QList<QByteArray>{} << unknown;
    QTest::newRow("bad crc") << QList<QByteArray>{damaged} << QList<QByteArray>{} << damaged;
    QTest::newRow("frame then noise") << QList<QByteArray>{readAddr + "\xab"}
                                      << QList<QByteArray>{readAddr} << QByteArray("\xab");
    const QByteArray noise(RequestFramer::kMaxBuffer + 1, '\x55');
    QTest::newRow("endless noise")
        << QList<QByteArray>{noise} << QList<QByteArray>{noise} << QByteArray();
}

void TestSimModule::framer()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QList<QByteArray>, frames);
    QFETCH(QByteArray, rest);

    RequestFramer f;
    QList<QByteArray> got;
    for (const QByteArray &c : chunks)
        got += f.feed(c);
    QCOMPARE(got, frames);
    QCOMPARE(f.hasPending(), !rest.isEmpty());
    QCOMPARE(f.takeRest(), rest);
    QVERIFY(!f.hasPending());
}

void TestSimModule::schedule_data()
{
    QTest::addColumn<quint32>("baud");
    QTest::addColumn<int>("chunk");
    QTest::addColumn<int>("gapMs");

    QTest::newRow("9600") << 9600u << 0 << 0;
    QTest::newRow("1200") << 1200u << 0 << 0;
    QTest::newRow("128000") << 128000u << 0 << 0;
    QTest::newRow("9600 split 2/5") << 9600u << 2 << 5;
    QTest::newRow("115200 split 3/20") << 115200u << 3 << 20;
}

void TestSimModule::schedule()
{
    QFETCH(quint32, baud);
    QFETCH(int, chunk);
    QFETCH(int, gapMs);

    const QByteArray reply = frame("01 03 04 0000 2710");
    const qint64 byteNs = 10'000'000'000LL / baud;
    const qint64 t0 = 5'000'000;
    TxSchedule s(baud);
    s.enqueue(reply, t0, QStringLiteral("label"), chunk, gapMs * 1'000'000LL);

    QStringList done;
    QByteArray sent;
    for (int i = 0; i < reply.size(); ++i) {
        const qint64 due = t0 + (i + 1) * byteNs + (chunk ? i / chunk : 0) * gapMs * 1'000'000LL;
        QCOMPARE(s.nextDueNs(), due);
        QVERIFY(s.takeDue(due - 1, &done).isEmpty());
        sent += s.takeDue(due, &done);
        QCOMPARE(sent, reply.left(i + 1));
    }
    QCOMPARE(done, QStringList{QStringLiteral("label")});
    QVERIFY(s.isEmpty());
    QCOMPARE(s.nextDueNs(), qint64(-1));
}

void TestSimModule::scheduleQueuesFrames()
{
    const qint64 byteNs = 10'000'000'000LL / 9600;
    TxSchedule s(9600);
    s.enqueue("abcd", 0, QStringLiteral("first"));
    // Ready before the first has left: waits for the line to fall quiet.
    s.enqueue("ef", byteNs, QStringLiteral("second"));
    QCOMPARE(s.endNs(), 6 * byteNs);
    QStringList done;
    QCOMPARE(s.takeDue(5 * byteNs, &done), QByteArray("abcde"));
    QCOMPARE(done, QStringList{QStringLiteral("first")});
    QCOMPARE(s.takeDue(6 * byteNs, &done), QByteArray("f"));
    QCOMPARE(done.size(), 2);

    // Ready after the line is quiet: starts when ready.
    s.enqueue("g", 100 * byteNs, QStringLiteral("third"));
    QCOMPARE(s.nextDueNs(), 101 * byteNs);
}

void TestSimModule::faults_data()
{
    QTest::addColumn<QString>("commands");
    QTest::addColumn<QList<QByteArray>>("pieces");

    const QByteArray r = hex("00 20 01 A9 C0");
    const QByteArray bad = hex("00 20 01 A9 3F");
    const QByteArray stray(1, char(kStrayByte));
    QTest::newRow("none") << QString() << QList<QByteArray>{r};
    QTest::newRow("stray") << QStringLiteral("stray") << QList<QByteArray>{stray, r};
    QTest::newRow("double") << QStringLiteral("double") << QList<QByteArray>{r, r};
    QTest::newRow("bad crc") << QStringLiteral("badcrc") << QList<QByteArray>{bad};
    QTest::newRow("all three") << QStringLiteral("stray double badcrc")
                               << QList<QByteArray>{stray, bad, bad};
    QTest::newRow("silent") << QStringLiteral("silent stray") << QList<QByteArray>{};
}

void TestSimModule::faults()
{
    QFETCH(QString, commands);
    QFETCH(QList<QByteArray>, pieces);

    Faults f;
    f.stray = commands.contains(QLatin1String("stray")) ? FaultMode::On : FaultMode::Off;
    f.doubled = commands.contains(QLatin1String("double")) ? FaultMode::On : FaultMode::Off;
    f.badCrc = commands.contains(QLatin1String("badcrc")) ? FaultMode::On : FaultMode::Off;
    f.silent = commands.contains(QLatin1String("silent")) ? FaultMode::On : FaultMode::Off;
    f.splitChunk = 2;
    f.splitGapMs = 7;

    for (int round = 0; round < 2; ++round) {
        const QList<TxPiece> got = shapeReply(hex("00 20 01 A9 C0"), f);
        QCOMPARE(got.size(), pieces.size());
        for (int i = 0; i < got.size(); ++i) {
            QCOMPARE(got[i].bytes.toHex(' '), pieces[i].toHex(' '));
            // Only whole frames are split; the stray byte goes as it is.
            QCOMPARE(got[i].chunk, got[i].bytes.size() > 1 ? 2 : 0);
        }
    }
}

void TestSimModule::onceFaultsAreUsedUp()
{
    Faults f;
    f.doubled = FaultMode::Once;
    f.silent = FaultMode::Once;
    const QByteArray r = hex("00 10 00 7C");
    QVERIFY(shapeReply(r, f).isEmpty());
    QCOMPARE(shapeReply(r, f).size(), 2);
    QCOMPARE(shapeReply(r, f).size(), 1);
    QCOMPARE(f.describe(), QStringLiteral("none"));
}

QTEST_GUILESS_MAIN(TestSimModule)
#include "tst_simmodule.moc"
