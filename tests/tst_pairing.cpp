#include "link/pairing.h"
#include "link/trytiming.h"
#include "replies.h"

#include <QtTest>
#include <iterator>

using namespace quarvex;

namespace {

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

const int in = Pairing::Incomplete, ok = Pairing::Complete, ex = Pairing::Exception,
          late = Pairing::Late;

struct PairRow
{
    const char *name;
    QByteArray request, received;
    int status, start, length, skipped, crcFailures;
    // From "late" on: an earlier request, where this one went out, and what follows.
    QByteArray earlier = {};
    int sentAt = 0, earlierIndex = -1; // Late: p.earlier; else p.earlierDamaged
    bool couldBeLate = false;
    int droppable = 0;
};

const PairRow kPairRows[] = {
    {"complete read", kReadTwo, kReadTwoReply, ok, 0, 9, 0, 0},
    {"nothing yet", kReadTwo, QByteArray(), in, 0, 0, 0, 0},
    {"short by one", kReadTwo, kReadTwoReply.left(8), in, 0, 0, 0, 0},
    {"stray then valid", kReadTwo, fromHex("ff") + kReadTwoReply, ok, 1, 9, 1, 0},
    {"stray equal to the address", kReadTwo, fromHex("01") + kReadTwoReply, ok, 1, 9, 1, 0},
    {"exception", kReadTwo, frame("018302"), ex, 0, 5, 0, 0},
    {"wrong address", kReadTwo, frame("02030400002580"), in, 0, 0, 9, 0},
    {"wrong function", kReadTwo, frame("010600060001"), in, 0, 0, 8, 0},
    {"late reply to an earlier request", kReadTwo, kAddressReport + kReadTwoReply, ok, 5, 9, 5, 0},
    {"bad crc", kReadTwo, kReadTwoReply.left(8) + fromHex("00"), in, 0, 0, 9, 1},
    {"byte count claims more than was asked", kReadTwo, frame("0103ff00002580"), in, 0, 0, 9, 0},
    {"echo with another value", kBrake, frame("010600060000"), in, 0, 0, 8, 0},
    {"echo", kBrake, kBrake, ok, 0, 8, 0, 0},
    {"write registers reply", kRun, frame("011000040002"), ok, 0, 8, 0, 0},
    {"address report", kReadAddress, kAddressReport, ok, 0, 5, 0, 0},
    {"address changed", frame("001005"), fromHex("0010007c"), ok, 0, 4, 0, 0},
    {"partial reply after garbage waits at its start", kReadTwo,
     fromHex("ffee") + kReadTwoReply.left(4), in, 0, 0, 2, 0},
    {"unknown function: only an exception pairs", frame("014100"), frame("01c101"), ex, 0, 5, 0, 0},
    // A slow module's reply lands in the next probe's try.
    {"late reply of the address asked before", kReadTwoAt2, kReadTwoReply, late, 0, 9, 0, 0,
     kReadTwo, 0, 0},
    {"late bad-CRC reply of the address asked before", kReadTwoAt2,
     kReadTwoReply.left(8) + fromHex("00"), in, 0, 0, 9, 0, kReadTwo, 0, 0},
    {"the same request asked before: maybe late", kReadAddress, kAddressReport, ok, 0, 5, 0, 0,
     kReadAddress, 0, -1, true},
    {"before the request: only a late reply", kReadAddress, kAddressReport, in, 0, 0, 5, 0, {}, 5},
    {"over 1 KiB of noise, then a begun reply kept",
     kReadTwo,
     kNoise + kReadTwoReply.left(4),
     in,
     0,
     0,
     1100,
     0,
     {},
     0,
     -1,
     false,
     1100},
    {"over 1 KiB of noise, then a reply", kReadTwo, kNoise + kReadTwoReply, ok, 1100, 9, 1100, 0},
    {"under 1 KiB of noise kept", kReadTwo, kNoise.left(100), in, 0, 0, 100, 0},
};

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
};

void tst_Pairing::pairs_data()
{
    QTest::addColumn<int>("row");
    for (int i = 0; i < int(std::size(kPairRows)); ++i)
        QTest::newRow(kPairRows[i].name) << i;
}

void tst_Pairing::pairs()
{
    QFETCH(int, row);
    const PairRow &r = kPairRows[row];
    const QVector<QByteArray> earlierRequests =
        r.earlier.isEmpty() ? QVector<QByteArray>() : QVector<QByteArray>{r.earlier};
    const Pairing p = pairReply(r.request, r.received, earlierRequests, r.sentAt);
    QCOMPARE(int(p.status), r.status);
    QCOMPARE(p.skipped, r.skipped);
    QCOMPARE(p.crcFailures, r.crcFailures);
    QCOMPARE(p.status == Pairing::Late ? p.earlier : p.earlierDamaged, r.earlierIndex);
    QCOMPARE(p.couldBeLate, r.couldBeLate);
    QCOMPARE(p.droppable, r.droppable);
    if (r.status != Pairing::Incomplete) {
        QCOMPARE(p.start, r.start);
        QCOMPARE(p.length, r.length);
        QVERIFY(p.start + p.length <= r.received.size());
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
        {"noise", kReadTwo, fromHex("ffee00"), Damage::Noise},
        {"a lone byte like the address", kReadTwo, fromHex("ff01"), Damage::Noise},
        {"cut off", kReadTwo, kReadTwoReply.left(5), Damage::CutOff},
        {"exception cut off", kReadTwo, fromHex("0183"), Damage::CutOff},
        {"bad crc", kReadTwo, badCrc, Damage::BadCrc},
        {"bad crc after noise", kReadTwo, fromHex("ff") + badCrc, Damage::BadCrc},
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
    // clang-format off
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("turnaround");
    QTest::addColumn<int>("replyBytes");
    QTest::addColumn<int>("now");
    QTest::addColumn<int>("missing");
    QTest::addColumn<int>("end");
    // A retry after it: a gap after the last byte (end - 1), or at the latest the longest
    // frame and a gap after the end. A gap is 20 ms and two bytes' time; 256 bytes take
    // 2134 ms at 1200, 267 at 9600, 20 at 128000.
    QTest::addColumn<int>("retryAfterQuiet");
    QTest::addColumn<int>("retryAtLatest");

    // Read 00-0D at 1200 with -t 300: the 8-byte request (67 ms) and 300 ms for the first
    // byte; the 33-byte reply then takes 275 ms more.
    QTest::newRow("1200: first byte") << 1200 << 300 << 33 << -1 << 0 << 375 << 411 << 2546;
    QTest::newRow("1200: rest of a reply begun late") << 1200 << 300 << 33 << 370 << 32 << 674 << 710 << 2845;
    QTest::newRow("1200: never past the cap") << 1200 << 300 << 33 << 700 << 32 << 687 << 723 << 2858;
    QTest::newRow("9600: first byte") << 9600 << 1000 << 33 << -1 << 0 << 1010 << 1032 << 1300;
    QTest::newRow("9600: never pulled in") << 9600 << 1000 << 33 << 100 << 32 << 1010 << 1032 << 1300;
    QTest::newRow("9600: pushed back") << 9600 << 1000 << 33 << 1000 << 30 << 1055 << 1077 << 1345;
    QTest::newRow("9600: a line that never goes quiet") << 9600 << 1000 << 33 << 100000 << 1 << 1068 << 1090 << 1358;
    QTest::newRow("128000: probe") << 128000 << 45 << 9 << -1 << 0 << 46 << 66 << 87;
    QTest::newRow("128000: rest") << 128000 << 45 << 9 << 40 << 8 << 62 << 82 << 103;
    // clang-format on
}

void tst_Pairing::timing()
{
    QFETCH(int, baud);
    QFETCH(int, turnaround);
    QFETCH(int, replyBytes);
    QFETCH(int, now);
    QFETCH(int, missing);
    QFETCH(int, end);
    QFETCH(int, retryAfterQuiet);
    QFETCH(int, retryAtLatest);
    const TryTiming t{turnaround, 8, replyBytes, quint32(baud)};
    const int first = firstByteEndMs(t);
    QCOMPARE(now < 0 ? first : tryEndMs(t, first, now, missing), end);
    QCOMPARE(retryAtMs(end, end - 1, quint32(baud)), retryAfterQuiet);
    QCOMPARE(retryAtMs(end, end + 100000, quint32(baud)), retryAtLatest);
}

QTEST_APPLESS_MAIN(tst_Pairing)
#include "tst_pairing.moc"
