#include "cli/strategy.h"
#include "link/crc16.h"
#include "link/pairing.h"
#include "link/trytiming.h"

#include <QtTest>

using namespace quarvex;

namespace {

QByteArray frame(const char *hexWithoutCrc)
{
    return withCrc(QByteArray::fromHex(hexWithoutCrc));
}

QByteArray raw(const char *hex)
{
    return QByteArray::fromHex(hex);
}

const QByteArray kReadTwo = frame("010300000002"); // registers 00-01 at address 1
const QByteArray kReadTwoReply = frame("01030400002580");
const QByteArray kBrake = frame("010600060001");         // echoed
const QByteArray kRun = frame("0110000400020400000032"); // reply: first 6 bytes + CRC
const QByteArray kReadAddress = frame("0020");
const QByteArray kAddressReport = frame("002001");
const QByteArray kReadTwoAt2 = frame("020300000002");
const QByteArray kNoise = QByteArray(1100, char(0xff)); // over the kept limit

// Two modules' address reports at once: the wire carries the AND of both.
QByteArray collided(const char *a, const char *b)
{
    QByteArray x = frame(a), y = frame(b);
    for (int i = 0; i < x.size(); ++i)
        x[i] = char(x.at(i) & y.at(i));
    return x;
}

} // namespace

class tst_Pairing : public QObject
{
    Q_OBJECT

private slots:
    void pairs_data();
    void pairs();
    void damage_data();
    void damage();
    void timing_data();
    void timing();
    void rewind_data();
    void rewind();
};

void tst_Pairing::pairs_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("skipped");
    QTest::addColumn<int>("crcFailures");
    // Rows from "late" on: an earlier request, where this one went out, and what follows.
    QTest::addColumn<QByteArray>("earlier");
    QTest::addColumn<int>("sentAt");
    QTest::addColumn<int>("earlierIndex"); // Late: p.earlier; else p.earlierDamaged
    QTest::addColumn<bool>("couldBeLate");
    QTest::addColumn<int>("droppable");

    const int in = Pairing::Incomplete, ok = Pairing::Complete, ex = Pairing::Exception,
              late = Pairing::Late;
    QTest::newRow("complete read") << kReadTwo << kReadTwoReply << ok << 0 << 9 << 0 << 0
                                   << QByteArray() << 0 << -1 << false << 0;
    QTest::newRow("nothing yet") << kReadTwo << QByteArray() << in << 0 << 0 << 0 << 0
                                 << QByteArray() << 0 << -1 << false << 0;
    QTest::newRow("short by one") << kReadTwo << kReadTwoReply.left(8) << in << 0 << 0 << 0 << 0
                                  << QByteArray() << 0 << -1 << false << 0;
    QTest::newRow("stray then valid") << kReadTwo << raw("ff") + kReadTwoReply << ok << 1 << 9 << 1
                                      << 0 << QByteArray() << 0 << -1 << false << 0;
    QTest::newRow("stray equal to the address")
        << kReadTwo << raw("01") + kReadTwoReply << ok << 1 << 9 << 1 << 0 << QByteArray() << 0
        << -1 << false << 0;
    QTest::newRow("exception") << kReadTwo << frame("018302") << ex << 0 << 5 << 0 << 0
                               << QByteArray() << 0 << -1 << false << 0;
    QTest::newRow("wrong address") << kReadTwo << frame("02030400002580") << in << 0 << 0 << 9 << 0
                                   << QByteArray() << 0 << -1 << false << 0;
    QTest::newRow("wrong function") << kReadTwo << frame("010600060001") << in << 0 << 0 << 8 << 0
                                    << QByteArray() << 0 << -1 << false << 0;
    QTest::newRow("late reply to an earlier request")
        << kReadTwo << kAddressReport + kReadTwoReply << ok << 5 << 9 << 5 << 0 << QByteArray() << 0
        << -1 << false << 0;
    QTest::newRow("bad crc") << kReadTwo << kReadTwoReply.left(8) + raw("00") << in << 0 << 0 << 9
                             << 1 << QByteArray() << 0 << -1 << false << 0;
    QTest::newRow("byte count claims more than was asked")
        << kReadTwo << frame("0103ff00002580") << in << 0 << 0 << 9 << 0 << QByteArray() << 0 << -1
        << false << 0;
    QTest::newRow("echo with another value") << kBrake << frame("010600060000") << in << 0 << 0 << 8
                                             << 0 << QByteArray() << 0 << -1 << false << 0;
    QTest::newRow("echo") << kBrake << kBrake << ok << 0 << 8 << 0 << 0 << QByteArray() << 0 << -1
                          << false << 0;
    QTest::newRow("write registers reply") << kRun << frame("011000040002") << ok << 0 << 8 << 0
                                           << 0 << QByteArray() << 0 << -1 << false << 0;
    QTest::newRow("address report") << kReadAddress << kAddressReport << ok << 0 << 5 << 0 << 0
                                    << QByteArray() << 0 << -1 << false << 0;
    QTest::newRow("address changed") << frame("001005") << raw("0010007c") << ok << 0 << 4 << 0 << 0
                                     << QByteArray() << 0 << -1 << false << 0;
    QTest::newRow("partial reply after garbage waits at its start")
        << kReadTwo << raw("ffee") + kReadTwoReply.left(4) << in << 0 << 0 << 2 << 0 << QByteArray()
        << 0 << -1 << false << 0;
    QTest::newRow("unknown function: only an exception pairs")
        << frame("014100") << frame("01c101") << ex << 0 << 5 << 0 << 0 << QByteArray() << 0 << -1
        << false << 0;
    // A slow module's reply lands in the next probe's try.
    QTest::newRow("late reply of the address asked before")
        << kReadTwoAt2 << kReadTwoReply << late << 0 << 9 << 0 << 0 << kReadTwo << 0 << 0 << false
        << 0;
    QTest::newRow("late bad-CRC reply of the address asked before")
        << kReadTwoAt2 << kReadTwoReply.left(8) + raw("00") << in << 0 << 0 << 9 << 0 << kReadTwo
        << 0 << 0 << false << 0;
    QTest::newRow("the same request asked before: maybe late")
        << kReadAddress << kAddressReport << ok << 0 << 5 << 0 << 0 << kReadAddress << 0 << -1
        << true << 0;
    QTest::newRow("before the request: only a late reply")
        << kReadAddress << kAddressReport << in << 0 << 0 << 5 << 0 << QByteArray() << 5 << -1
        << false << 0;
    QTest::newRow("over 1 KiB of noise, then a begun reply kept")
        << kReadTwo << kNoise + kReadTwoReply.left(4) << in << 0 << 0 << 1100 << 0 << QByteArray()
        << 0 << -1 << false << 1100;
    QTest::newRow("over 1 KiB of noise, then a reply")
        << kReadTwo << kNoise + kReadTwoReply << ok << 1100 << 9 << 1100 << 0 << QByteArray() << 0
        << -1 << false << 0;
    QTest::newRow("under 1 KiB of noise kept") << kReadTwo << kNoise.left(100) << in << 0 << 0
                                               << 100 << 0 << QByteArray() << 0 << -1 << false << 0;
}

void tst_Pairing::pairs()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, received);
    QFETCH(int, status);
    QFETCH(int, start);
    QFETCH(int, length);
    QFETCH(int, skipped);
    QFETCH(int, crcFailures);
    QFETCH(QByteArray, earlier);
    QFETCH(int, sentAt);
    QFETCH(int, earlierIndex);
    QFETCH(bool, couldBeLate);
    QFETCH(int, droppable);
    const QVector<QByteArray> earlierRequests =
        earlier.isEmpty() ? QVector<QByteArray>() : QVector<QByteArray>{earlier};
    const Pairing p = pairReply(request, received, earlierRequests, sentAt);
    QCOMPARE(int(p.status), status);
    QCOMPARE(p.skipped, skipped);
    QCOMPARE(p.crcFailures, crcFailures);
    QCOMPARE(p.status == Pairing::Late ? p.earlier : p.earlierDamaged, earlierIndex);
    QCOMPARE(p.couldBeLate, couldBeLate);
    QCOMPARE(p.droppable, droppable);
    if (status != Pairing::Incomplete) {
        QCOMPARE(p.start, start);
        QCOMPARE(p.length, length);
        QVERIFY(p.start + p.length <= received.size());
    }
}

void tst_Pairing::damage_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<int>("damage");

    QByteArray badCrc = kReadTwoReply;
    badCrc[8] = char(~quint8(badCrc.at(8)));
    QByteArray badReport = frame("002003");
    badReport[4] = char(~quint8(badReport.at(4)));
    const struct
    {
        const char *name;
        QByteArray request, received;
        Damage damage;
    } rows[] = {
        {"nothing", kReadTwo, {}, Damage::None},
        {"noise", kReadTwo, raw("ffee00"), Damage::Noise},
        {"a lone byte like the address", kReadTwo, raw("ff01"), Damage::Noise},
        {"cut off", kReadTwo, kReadTwoReply.left(5), Damage::CutOff},
        {"exception cut off", kReadTwo, raw("0183"), Damage::CutOff},
        {"bad crc", kReadTwo, badCrc, Damage::BadCrc},
        {"bad crc after noise", kReadTwo, raw("ff") + badCrc, Damage::BadCrc},
        {"one address report, bad crc", kReadAddress, badReport, Damage::BadCrc},
        {"two address reports", kReadAddress, collided("002003", "002007"), Damage::Collision},
        {"two address reports, far apart", kReadAddress, collided("002001", "0020fe"),
         Damage::Collision},
    };
    for (const auto &r : rows)
        QTest::newRow(r.name) << r.request << r.received << int(r.damage);
}

void tst_Pairing::damage()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, received);
    QFETCH(int, damage);
    QCOMPARE(int(classifyDamage(request, received)), damage);
}

// One try's timing at the slowest, the factory and the fastest line speed. "now" -1: no
// reply begun, the try ends at its first-byte limit; else a part came at now with
// `missing` bytes to come.
void tst_Pairing::timing_data()
{
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("turnaround");
    QTest::addColumn<int>("replyBytes");
    QTest::addColumn<int>("now");
    QTest::addColumn<int>("missing");
    QTest::addColumn<int>("end");

    // Read 00-0D at 1200 with -t 300: the 8-byte request (67 ms) and 300 ms for the first
    // byte; the 33-byte reply then takes 275 ms more.
    QTest::newRow("1200: first byte") << 1200 << 300 << 33 << -1 << 0 << 375;
    QTest::newRow("1200: rest of a reply begun late") << 1200 << 300 << 33 << 370 << 32 << 674;
    QTest::newRow("1200: never past the cap") << 1200 << 300 << 33 << 700 << 32 << 687;
    QTest::newRow("9600: first byte") << 9600 << 1000 << 33 << -1 << 0 << 1010;
    QTest::newRow("9600: never pulled in") << 9600 << 1000 << 33 << 100 << 32 << 1010;
    QTest::newRow("9600: pushed back") << 9600 << 1000 << 33 << 1000 << 30 << 1055;
    QTest::newRow("9600: a line that never goes quiet")
        << 9600 << 1000 << 33 << 100000 << 1 << 1068;
    QTest::newRow("128000: probe") << 128000 << 45 << 9 << -1 << 0 << 46;
    QTest::newRow("128000: rest") << 128000 << 45 << 9 << 40 << 8 << 62;
}

void tst_Pairing::timing()
{
    QFETCH(int, baud);
    QFETCH(int, turnaround);
    QFETCH(int, replyBytes);
    QFETCH(int, now);
    QFETCH(int, missing);
    QFETCH(int, end);
    const TryTiming t{turnaround, 8, replyBytes, quint32(baud)};
    const int first = firstByteEndMs(t);
    QCOMPARE(now < 0 ? first : tryEndMs(t, first, now, missing), end);
    // A retry waits for quiet after the last byte, but not for ever.
    QCOMPARE(retryAtMs(end, end - 1, quint32(baud)), end - 1 + gapMs(quint32(baud)));
    QCOMPARE(retryAtMs(end, end + 100000, quint32(baud)),
             end + wireMs(kLongestReply, quint32(baud)) + gapMs(quint32(baud)));
}

// scan --from 3 --to 5 at two speeds.
void tst_Pairing::rewind_data()
{
    QTest::addColumn<int>("speed");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("late");
    QTest::addColumn<int>("toSpeed");
    QTest::addColumn<int>("toAddress");
    QTest::newRow("the address before") << 0 << 4 << 3 << 0 << 3;
    QTest::newRow("a later one spoilt this probe too") << 1 << 3 << 4 << 0 << 4;
    QTest::newRow("at the first speed") << 0 << 3 << 4 << 0 << 3;
    QTest::newRow("while listening at the end") << 2 << 6 << 5 << 1 << 5;
}

void tst_Pairing::rewind()
{
    QFETCH(int, speed);
    QFETCH(int, address);
    QFETCH(int, late);
    QFETCH(int, toSpeed);
    QFETCH(int, toAddress);
    const cli::ScanPlace p = cli::rewindAfterLate({speed, address}, late, 2, 3, 5);
    QCOMPARE(p.speedIndex, toSpeed);
    QCOMPARE(p.address, toAddress);
}

QTEST_APPLESS_MAIN(tst_Pairing)
#include "tst_pairing.moc"
