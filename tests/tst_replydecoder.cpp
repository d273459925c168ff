#include "link/replydecoder.h"
#include "replies.h"

#include <QtTest>

using namespace quarvex;

Q_DECLARE_METATYPE(ReplyKind)

class tst_ReplyDecoder : public QObject
{
    Q_OBJECT

private slots:
    void classify_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<ReplyKind>("kind");
        QTest::newRow("address report") << fromHex("002001a9c0") << ReplyKind::AddressReport;
        QTest::newRow("address changed") << fromHex("0010007c") << ReplyKind::AddressChanged;
        QTest::newRow("line speed written")
            << fromHex("011000000002 41c8") << ReplyKind::LineSpeedChanged;
        // Register 0 from address 0: the line-speed case wins over the address case.
        QTest::newRow("line speed written at 0")
            << fromHex("001000000002 4019") << ReplyKind::LineSpeedChanged;
        QTest::newRow("read all") << factoryParameterReply() << ReplyKind::ParameterSummary;
        QTest::newRow("pwm written") << fromHex("011000020002 e008") << ReplyKind::Other;
        QTest::newRow("ten registers")
            << withCrc(fromHex("010314") + QByteArray(20, '\0')) << ReplyKind::Other;
        QTest::newRow("crc high byte first") << fromHex("002001c0a9") << ReplyKind::Other;
        // Correct CRC, but not the length the leading bytes claim.
        QTest::newRow("short summary") << fromHex("01031800000000 2bf1") << ReplyKind::Other;
        QTest::newRow("long report") << fromHex("00200101 c1be") << ReplyKind::Other;
    }

    void classify()
    {
        QFETCH(QByteArray, frame);
        QFETCH(ReplyKind, kind);
        QCOMPARE(classifyReply(frame), kind);
    }

    void reportedAddress()
    {
        QCOMPARE(int(quarvex::reportedAddress(fromHex("002001a9c0"))), 1);
        QCOMPARE(int(quarvex::reportedAddress(fromHex("0020ff2840"))), 255);
    }

    void summary_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QString>("text");
        QTest::newRow("115200, both directions")
            << parameterReply(7, 115200, 1000, 1, 100, 1, 5000, 0, 55, 1)
            << QStringLiteral("波特率=115200 电机1PWM频率=1000 电机1反转 电机1速度=100 "
                              "电机2PWM频率=5000 电机2正转 电机2速度=55 ");
        QTest::newRow("128000, unknown direction left out")
            << parameterReply(1, 128000, 10000, 2, 0, 0, 10000, 1, 0, 0)
            << QStringLiteral("波特率=128000 电机1PWM频率=10000 电机1速度=0 "
                              "电机2PWM频率=10000 电机2反转 电机2速度=0 ");
        QTest::newRow("unsigned 32 bits")
            << parameterReply(1, 0x80000000u, 10000, 0, 0, 0, 10000, 0, 0, 0)
            << QStringLiteral("波特率=2147483648 电机1PWM频率=10000 电机1正转 电机1速度=0 "
                              "电机2PWM频率=10000 电机2正转 电机2速度=0 ");
    }

    void summary()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QString, text);
        QCOMPARE(parameterSummary(frame), text);
    }
};

QTEST_APPLESS_MAIN(tst_ReplyDecoder)
#include "tst_replydecoder.moc"
