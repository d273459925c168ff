#include "cli/strategy.h"
#include "link/crc16.h"
#include "link/pairing.h"

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

} // namespace

class tst_Pairing : public QObject
{
    Q_OBJECT

private slots:
    void pairs_data();
    void pairs();
    void tryEnd_data();
    void tryEnd();
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

    const int in = Pairing::Incomplete, ok = Pairing::Complete, ex = Pairing::Exception;
    QTest::newRow("complete read") << kReadTwo << kReadTwoReply << ok << 0 << 9 << 0 << 0;
    QTest::newRow("nothing yet") << kReadTwo << QByteArray() << in << 0 << 0 << 0 << 0;
    QTest::newRow("short by one") << kReadTwo << kReadTwoReply.left(8) << in << 0 << 0 << 0 << 0;
    QTest::newRow("stray then valid")
        << kReadTwo << raw("ff") + kReadTwoReply << ok << 1 << 9 << 1 << 0;
    QTest::newRow("stray equal to the address")
        << kReadTwo << raw("01") + kReadTwoReply << ok << 1 << 9 << 1 << 0;
    QTest::newRow("exception") << kReadTwo << frame("018302") << ex << 0 << 5 << 0 << 0;
    QTest::newRow("wrong address") << kReadTwo << frame("02030400002580") << in << 0 << 0 << 9 << 0;
    QTest::newRow("wrong function") << kReadTwo << frame("010600060001") << in << 0 << 0 << 8 << 0;
    QTest::newRow("late reply to an earlier request")
        << kReadTwo << kAddressReport + kReadTwoReply << ok << 5 << 9 << 5 << 0;
    QTest::newRow("bad crc") << kReadTwo << kReadTwoReply.left(8) + raw("00") << in << 0 << 0 << 9
                             << 1;
    QTest::newRow("byte count claims more than was asked")
        << kReadTwo << frame("0103ff00002580") << in << 0 << 0 << 9 << 0;
    QTest::newRow("echo with another value")
        << kBrake << frame("010600060000") << in << 0 << 0 << 8 << 0;
    QTest::newRow("echo") << kBrake << kBrake << ok << 0 << 8 << 0 << 0;
    QTest::newRow("write registers reply")
        << kRun << frame("011000040002") << ok << 0 << 8 << 0 << 0;
    QTest::newRow("address report") << kReadAddress << kAddressReport << ok << 0 << 5 << 0 << 0;
    QTest::newRow("address changed")
        << frame("001005") << raw("0010007c") << ok << 0 << 4 << 0 << 0;
    QTest::newRow("partial reply after garbage waits at its start")
        << kReadTwo << raw("ffee") + kReadTwoReply.left(4) << in << 0 << 0 << 2 << 0;
    QTest::newRow("unknown function: only an exception pairs")
        << frame("014100") << frame("01c101") << ex << 0 << 5 << 0 << 0;
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
    const Pairing p = pairReply(request, received);
    QCOMPARE(int(p.status), status);
    QCOMPARE(p.skipped, skipped);
    QCOMPARE(p.crcFailures, crcFailures);
    if (status != Pairing::Incomplete) {
        QCOMPARE(p.start, start);
        QCOMPARE(p.length, length);
        QVERIFY(p.start + p.length <= received.size());
    }
}

// find at 9600 waits 60 ms for the 5-byte address report: 56 ms more at most.
void tst_Pairing::tryEnd_data()
{
    QTest::addColumn<int>("endMs");
    QTest::addColumn<int>("elapsedMs");
    QTest::addColumn<int>("missing");
    QTest::addColumn<int>("expected");
    QTest::newRow("a late part pushes the end back") << 60 << 55 << 4 << 110;
    QTest::newRow("never pulled in") << 110 << 56 << 1 << 110;
    QTest::newRow("never past the wait and the whole reply") << 60 << 100 << 4 << 116;
    QTest::newRow("a line that never goes quiet") << 116 << 100000 << 1 << 116;
}

void tst_Pairing::tryEnd()
{
    QFETCH(int, endMs);
    QFETCH(int, elapsedMs);
    QFETCH(int, missing);
    QFETCH(int, expected);
    QCOMPARE(cli::tryEndMs(cli::findWaitMs(9600), endMs, elapsedMs, missing, 5, 9600), expected);
}

QTEST_APPLESS_MAIN(tst_Pairing)
#include "tst_pairing.moc"
