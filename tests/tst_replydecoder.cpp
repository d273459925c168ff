#include "link/replydecoder.h"
#include "replies.h"

#include <QtTest>

using namespace quarvex;

Q_DECLARE_METATYPE(ReplyKind)

class tst_ReplyDecoder : public QObject
{
    Q_OBJECT

private slots:
    void classify_data();
    void classify();
    void reportedAddress_data();
    void reportedAddress();
    void summary_data();
    void summary();
};

void tst_ReplyDecoder::classify_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<ReplyKind>("kind");
    QTest::newRow("address report") << fromHex("002001a9c0") << ReplyKind::AddressReport;
    QTest::newRow("address changed") << fromHex("0010007c") << ReplyKind::AddressChanged;
    QTest::newRow("line speed written")
        << fromHex("011000000002 41c8") << ReplyKind::LineSpeedChanged;
    // Register 0 from address 0: the line-speed case wins over the address case.
    QTest::newRow("line speed written, address 0")
        << withCrc(fromHex("001000000002")) << ReplyKind::LineSpeedChanged;
    QTest::newRow("read all") << factoryParameterReply() << ReplyKind::ParameterSummary;
    QTest::newRow("pwm written") << fromHex("011000020002 e008") << ReplyKind::Other;
    QTest::newRow("m2 run written") << withCrc(fromHex("011000090002")) << ReplyKind::Other;
    QTest::newRow("06 echo") << fromHex("010600060001 a80b") << ReplyKind::Other;
    QTest::newRow("read ten registers")
        << withCrc(fromHex("010314") + QByteArray(20, '\0')) << ReplyKind::Other;
    QTest::newRow("exception") << withCrc(fromHex("019001")) << ReplyKind::Other;
    QTest::newRow("crc high byte first") << fromHex("002001c0a9") << ReplyKind::Other;
    QTest::newRow("empty") << QByteArray() << ReplyKind::Other;
    QTest::newRow("ff ff") << fromHex("ffff") << ReplyKind::Other;
    // Correct CRC, but too short for what the leading bytes claim.
    QTest::newRow("short report") << withCrc(fromHex("0020")) << ReplyKind::Other;
    QTest::newRow("short summary")
        << withCrc(fromHex("010318") + QByteArray(4, '\0')) << ReplyKind::Other;
    QTest::newRow("long report") << withCrc(fromHex("00200101")) << ReplyKind::Other;
}

void tst_ReplyDecoder::classify()
{
    QFETCH(QByteArray, frame);
    QFETCH(ReplyKind, kind);
    QCOMPARE(classifyReply(frame), kind);
}

void tst_ReplyDecoder::reportedAddress_data()
{
    QTest::addColumn<int>("address");
    for (int a : {0, 1, 2, 127, 254, 255})
        QTest::addRow("%d", a) << a;
}

void tst_ReplyDecoder::reportedAddress()
{
    QFETCH(int, address);
    QByteArray f = fromHex("0020");
    f.append(char(address));
    f = withCrc(f);
    QCOMPARE(classifyReply(f), ReplyKind::AddressReport);
    QCOMPARE(int(quarvex::reportedAddress(f)), address);
}

void tst_ReplyDecoder::summary_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("text");
    QTest::newRow("factory") << factoryParameterReply() << QString::fromUtf8(factorySummary());
    QTest::newRow("reverse, running, braked")
        << parameterReply(7, 115200, 1000, 1, 100, 1, 5000, 1, 55, 1)
        << QStringLiteral("波特率=115200 电机1PWM频率=1000 电机1反转 电机1速度=100 "
                          "电机2PWM频率=5000 电机2反转 电机2速度=55 ");
    QTest::newRow("128000 needs the high register")
        << parameterReply(1, 128000, 10000, 0, 0, 0, 10000, 0, 0, 0)
        << QStringLiteral("波特率=128000 电机1PWM频率=10000 电机1正转 电机1速度=0 "
                          "电机2PWM频率=10000 电机2正转 电机2速度=0 ");
    QTest::newRow("unknown directions are left out")
        << parameterReply(1, 9600, 10000, 2, 0, 0, 10000, 0xFFFF, 0, 0)
        << QStringLiteral("波特率=9600 电机1PWM频率=10000 电机1速度=0 "
                          "电机2PWM频率=10000 电机2速度=0 ");
    QTest::newRow("unsigned 32 bits")
        << parameterReply(1, 0x80000000u, 0xFFFFFFFFu, 0, 0xFFFF, 0, 0, 1, 0, 0)
        << QStringLiteral("波特率=2147483648 电机1PWM频率=4294967295 电机1正转 电机1速度=65535 "
                          "电机2PWM频率=0 电机2反转 电机2速度=0 ");
}

void tst_ReplyDecoder::summary()
{
    QFETCH(QByteArray, frame);
    QFETCH(QString, text);
    QCOMPARE(classifyReply(frame), ReplyKind::ParameterSummary);
    QCOMPARE(parameterSummary(frame), text);
}

QTEST_APPLESS_MAIN(tst_ReplyDecoder)
#include "tst_replydecoder.moc"
