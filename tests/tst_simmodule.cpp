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

// Whatever comes back until 300 ms of quiet, on a client port set up with nothing but
// termios, raw 8N1.
QByteArray exchange(const QString &path, speed_t speed, const QByteArray &request)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    cfsetspeed(&t, speed);
    tcsetattr(fd, TCSANOW, &t);
    const bool sent = ::write(fd, request.constData(), size_t(request.size())) == request.size();
    QByteArray got(sent ? "" : "write failed");
    char buf[64];
    for (pollfd p{fd, POLLIN, 0}; ::poll(&p, 1, 300) > 0 && !(p.revents & POLLHUP);)
        got.append(buf, int(std::max<ssize_t>(0, ::read(fd, buf, sizeof buf))));
    ::close(fd);
    return got;
}

} // namespace

class TestSimModule : public QObject
{
    Q_OBJECT

private slots:
    void answers_data();
    void answers();
    void alarm_data();
    void alarm();
    void pacing();
    void process();
};

// Bytes as they come off the line, through the framer, to all the module sends back.
void TestSimModule::answers_data()
{
    using L = QList<QByteArray>;
    QTest::addColumn<L>("chunks");
    QTest::addColumn<QByteArray>("reply");
    const auto row = [](const char *tag, const L &in, const QByteArray &out) {
        QTest::newRow(tag) << in << out;
    };
    row("read m2 freq", {ref("read m2 freq")}, ref("freq reply 10000"));
    row("read all", {ref("read all")},
        fromHex("01 03 18 0000 2580 0000 2710 0000 0000 0000 0000 2710 0000 0000 0000 A1 5C"));

    row("01 function", {frame("01 2B")}, frame("01 AB 01"));
    row("02 past 0D", {frame("01 10 000C 0003 06 0000 0000 0000")}, frame("01 90 02"));
    // The valid direction must not be written either.
    row("03 good then bad", {frame("01 10 0004 0002 04 0001 0065")}, frame("01 90 03"));

    // "brake m1" with the last bit flipped.
    row("bad crc", {fromHex("01 06 0006 0001 A8 0A")}, {});
    row("broadcast read", {ref("read all addr 0")}, {});

    // 00 10 is a 5-byte address frame or a broadcast function 10 with a byte count. Once
    // moved to 5 the module ignores address 1.
    const QByteArray addr = ref("read address"), addrReport = ref("address report 1");
    const QByteArray cast = frame("0010 0004 0003 06 0000 0000 0000"), to5 = ref("write address 5");
    row("split and merged", {addr + cast.left(6), cast.mid(6) + to5 + ref("brake m1")},
        addrReport + ref("address changed"));
    row("stray byte ahead", {"\xff" + addr}, {});
    row("endless noise", {QByteArray(RequestFramer::kMaxBuffer + 1, 'U'), addr}, addrReport);
}

void TestSimModule::answers()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QByteArray, reply);
    SimModule m;
    // No request here changes a register: reads, refusals, writes of what is held.
    const QList<quint16> before = registers(m);
    RequestFramer framer;
    QByteArray got;
    for (const QByteArray &chunk : chunks)
        for (const QByteArray &request : framer.feed(chunk))
            got += m.handle(request).reply;
    got += m.handle(framer.takeRest()).reply; // when the line falls silent
    QCOMPARE(got.toHex(' '), reply.toHex(' '));
    QCOMPARE(registers(m), before);
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
    // True when the write to address a is answered as an accepted one: echoed, or not at
    // all when a is 0, the broadcast.
    const auto write = [&m](int reg, int v, int a = 1) {
        const QByteArray req = frame(qPrintable(QString::asprintf("%02x06%04x%04x", a, reg, v)));
        return m.handle(req).reply == (a ? req : QByteArray());
    };
    QVERIFY(write(r.direction, 1) && write(r.frequency + 1, 5000) && write(r.speed, 50));
    m.raiseAlarm(Motor(motor));
    const QList<quint16> locked = registers(m);
    QVERIFY(locked[r.alarm] == 1 && locked[r.speed] == 0);

    // Answered as usual, but the motor keeps still, and the bus may only clear the flag.
    QVERIFY(write(r.speed, 60) && write(r.brake, 1) && !write(r.alarm, 1));
    QCOMPARE(registers(m), locked);

    // A broadcast still moves the other motor; clearing powers this one up afresh.
    QVERIFY(write(other.speed, 40, 0) && write(r.alarm, 0));
    QList<quint16> fresh = registers(SimModule());
    fresh[other.speed] = 40;
    QCOMPARE(registers(m), fresh);

    m.raiseAlarm(Motor(motor));
    m.restart();
    QCOMPARE(registers(m), registers(SimModule()));
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
    QCOMPARE(exchange(link, B9600, ref("read address")), QByteArray());
    // --bad-crc flips every bit of the last byte; the new speed waits for a restart.
    QCOMPARE(exchange(link, B19200, ref("line speed 115200")), fromHex("01 10 0000 0002 41 37"));
    const QMap<QString, QString> s = sim.status();
    QStringList got;
    for (const char *key : {"address", "speed", "stored-speed", "port", "path", "faults"})
        got << s.value(key);
    QCOMPARE(got.join(' '), "1 19200 115200 19200-8N1 " + sim.path() + " badcrc=on");

    sim.command("unplug");
    QTRY_VERIFY(!QFileInfo(link).isSymLink());
    // The link comes back on the new device.
    sim.command("plug");
    QTRY_VERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(exchange(link, B19200, ref("read address")), fromHex("00 20 01 A9 3F"));
}

QTEST_GUILESS_MAIN(TestSimModule)
#include "tst_simmodule.moc"
