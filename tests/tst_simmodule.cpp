// The virtual module: its model, framer and pacing in-process, and the few things of the
// binary on its pty that the end-to-end test leaves out.
#include "link/crc16.h"
#include "referenceframes.h"
#include "requestframer.h"
#include "simmodule.h"
#include "simprocess.h"
#include "txschedule.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace quarvex;
using namespace quarvex::sim;

namespace {

// Hex without its CRC; the CRC is appended.
QByteArray frame(const char *text)
{
    return withCrc(fromHex(text));
}

QByteArray ref(const QByteArray &name)
{
    for (const ReferenceFrame &f : kReferenceFrames)
        if (name == f.name)
            return fromHex(f.hex);
    qFatal("no reference frame %s", name.constData());
}

QList<quint16> registers(const SimModule &m)
{
    QList<quint16> r;
    for (quint16 i = 0; i < Reg::Count; ++i)
        r << m.reg(i);
    return r;
}

// A client port set up with nothing but termios, raw 8N1.
struct Port
{
    int fd;
    Port(const QString &path, speed_t speed)
        : fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK))
    {
        termios t{};
        tcgetattr(fd, &t);
        cfmakeraw(&t);
        cfsetspeed(&t, speed);
        tcsetattr(fd, TCSANOW, &t);
    }
    ~Port() { ::close(fd); }
    // Whatever comes back until 300 ms of quiet.
    QByteArray exchange(const QByteArray &request)
    {
        const bool sent =
            ::write(fd, request.constData(), size_t(request.size())) == request.size();
        QByteArray got(sent ? "" : "write failed");
        for (pollfd p{fd, POLLIN, 0}; ::poll(&p, 1, 300) > 0 && !(p.revents & POLLHUP);) {
            char buf[64];
            got.append(buf, int(std::max<ssize_t>(0, ::read(fd, buf, sizeof buf))));
        }
        return got;
    }
};

} // namespace

class TestSimModule : public QObject
{
    Q_OBJECT

private slots:
    void answers_data();
    void answers();
    void lineSpeedAfterRestart_data();
    void lineSpeedAfterRestart();
    void alarm_data();
    void alarm();
    void framer_data();
    void framer();
    void pacing();
    void process();
};

void TestSimModule::answers_data()
{
    QTest::addColumn<QByteArray>("setup");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");
    const auto row = [](const char *tag, const QByteArray &request, const QByteArray &reply,
                        const QByteArray &setup = {}) {
        QTest::newRow(tag) << setup << request << reply;
    };
    row("read address", ref("read address"), ref("address report 1"));
    row("write address 1", ref("write address 1"), ref("address changed"));
    row("read m2 dir", ref("read m2 dir"), ref("dir reply reverse"), ref("set m2 reverse"));
    row("read all", ref("read all"),
        fromHex("01 03 18 0000 2580 0000 2710 0000 0000 0000 0000 2710 0000 0000 0000 A1 5C"));

    row("01 function", frame("01 2B"), frame("01 AB 01"));
    row("02 past 0D", frame("01 10 000C 0003 06 0000 0000 0000"), frame("01 90 02"));
    // The valid direction must not be written either.
    row("03 good then bad", frame("01 10 0004 0002 04 0001 0065"), frame("01 90 03"));

    // "brake m1" with the last bit flipped.
    row("bad crc", fromHex("01 06 0006 0001 A8 0A"), {});
    row("broadcast read", ref("read all addr 0"), {});
    row("broadcast write", ref("m1 stop addr 0"), {});
    row("broadcast acts", ref("read m1 speed"), ref("speed reply 50"), frame("00 06 0005 0032"));

    const QByteArray moved = ref("write address 5");
    row("old address", ref("brake m1"), {}, moved);
    row("new address", frame("05 03 0005 0001"), frame("05 03 02 0000"), moved);
    row("address report", ref("read address"), frame("00 20 05"), moved);
}

void TestSimModule::answers()
{
    QFETCH(QByteArray, setup);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    SimModule m;
    m.handle(setup);
    // No request here changes a register: reads, refusals, writes of what is held.
    const QList<quint16> before = registers(m);
    QCOMPARE(m.handle(request).reply.toHex(' '), reply.toHex(' '));
    QCOMPARE(registers(m), before);
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
    QCOMPARE(m.handle(ref("line speed " + QByteArray::number(speed))).reply,
             ref("line speed reply"));
    QCOMPARE(m.activeLineSpeed(), Factory::LineSpeed);
    m.restart();
    QCOMPARE(m.activeLineSpeed(), speed);
}

void TestSimModule::alarm_data()
{
    QTest::addColumn<int>("motor");
    QTest::newRow("motor 1") << int(Motor::One);
    QTest::newRow("motor 2") << int(Motor::Two);
}

void TestSimModule::alarm()
{
    QFETCH(int, motor);
    const MotorRegisters r = motorRegisters(Motor(motor)), other = motorRegisters(Motor(1 - motor));
    SimModule m;
    // True when echoed, as every accepted write is.
    const auto write = [&m](int reg, int value) {
        const QByteArray req = frame(qPrintable(QString::asprintf("0106%04x%04x", reg, value)));
        return m.handle(req).reply == req;
    };
    QVERIFY(write(r.direction, 1) && write(r.frequency + 1, 5000) && write(r.speed, 50));
    m.raiseAlarm(Motor(motor));
    const QList<quint16> locked = registers(m);
    QVERIFY(locked[r.alarm] == 1 && locked[r.speed] == 0);

    // Answered as usual, but the motor keeps still, and the bus may only clear the flag.
    QVERIFY(write(r.speed, 60) && write(r.brake, 1) && !write(r.alarm, 1));
    QCOMPARE(registers(m), locked);

    // Clearing powers the motor up afresh and leaves the other one as it is.
    QVERIFY(write(other.speed, 40) && write(r.alarm, 0));
    QList<quint16> fresh = registers(SimModule());
    fresh[other.speed] = 40;
    QCOMPARE(registers(m), fresh);

    m.raiseAlarm(Motor(motor));
    m.restart();
    QCOMPARE(registers(m), registers(SimModule()));
}

void TestSimModule::framer_data()
{
    using L = QList<QByteArray>;
    QTest::addColumn<L>("chunks");
    QTest::addColumn<L>("frames");
    QTest::addColumn<QByteArray>("rest"); // left for the line silence
    // 00 10 is a 5-byte address frame or a broadcast function 10 with a byte count.
    const QByteArray addr = ref("read address"), noise(RequestFramer::kMaxBuffer + 1, 'U');
    const QByteArray cast = frame("00 10 0004 0002 04 0001 0032"), setAddr = ref("write address 5");
    const QByteArray badCrc = fromHex("01 03 0000 000C 45 CE");
    QTest::newRow("split and merged")
        << L{addr + cast.left(6), cast.mid(6) + setAddr} << L{addr, cast, setAddr} << QByteArray();
    QTest::newRow("stray byte ahead") << L{"\xff" + addr} << L{} << QByteArray("\xff" + addr);
    QTest::newRow("bad crc") << L{badCrc} << L{} << badCrc;
    QTest::newRow("endless noise") << L{noise} << L{noise} << QByteArray();
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
    QCOMPARE(f.takeRest(), rest);
}

void TestSimModule::pacing()
{
    // A doubled reply at 9600 bit/s: each byte handed over once its 10 bits are through,
    // the second copy queued behind the first.
    const qint64 byteNs = 1'041'666, t0 = 5'000'000;
    const QByteArray reply = ref("freq reply 10000");
    TxSchedule s(9600);
    s.enqueue(reply, t0, {});
    s.enqueue(reply, t0, {});
    for (int i = 0; i < 2 * reply.size(); ++i) {
        const qint64 due = t0 + (i + 1) * byteNs;
        QCOMPARE(s.nextDueNs(), due);
        QCOMPARE(s.takeDue(due - 1, nullptr), QByteArray());
        QCOMPARE(s.takeDue(due, nullptr), (reply + reply).mid(i, 1));
    }
}

void TestSimModule::process()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("quarvex0");
    SimProcess sim({"--link", link, "--baud", "19200", "--bad-crc"});
    // Plain termios at another speed than the module's: not a byte back.
    QCOMPARE(Port(link, B9600).exchange(ref("read address")), QByteArray());
    Port port(link, B19200);
    // --bad-crc flips every bit of the last byte.
    QCOMPARE(port.exchange(ref("line speed 115200")), fromHex("01 10 0000 0002 41 37"));
    const QMap<QString, QString> s = sim.status();
    QStringList got;
    for (const char *key : {"address", "speed", "stored-speed", "port", "path", "regs", "faults"})
        got << s.value(key);
    QCOMPARE(got.join(' '), "1 19200 115200 19200-8N1 " + sim.path() +
                                " 0001,c200,0000,2710,0000,0000,0000,0000,2710,0000,0000,0000,0000,"
                                "0000 badcrc=on");

    sim.command("unplug");
    pollfd p{port.fd, POLLIN, 0};
    QVERIFY(::poll(&p, 1, 500) == 1 && (p.revents & POLLHUP));
    QVERIFY(!QFileInfo(link).isSymLink());
    // The link comes back on the new device.
    sim.command("plug");
    QTRY_VERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(Port(link, B19200).exchange(ref("read address")), fromHex("00 20 01 A9 3F"));
}

QTEST_GUILESS_MAIN(TestSimModule)
#include "tst_simmodule.moc"
