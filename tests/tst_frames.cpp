// What goes on the wire: the CRC-16, every command's frame, and the values a command takes.
#include "device/commands.h"
#include "device/frames.h"
#include "replies.h"

#include <QtTest>

using namespace quarvex;

class tst_Frames : public QObject
{
    Q_OBJECT

private slots:
    void crc()
    {
        QCOMPARE(modbusCrc16(reinterpret_cast<const quint8 *>("123456789"), 9), 0x4B37);
        QCOMPARE(modbusCrc16(nullptr, 0), -1);
        // Each one-byte input goes through a different entry of both tables.
        for (int b = 0; b < 256; ++b) {
            int x = 0xFFFF ^ b;
            for (int bit = 0; bit < 8; ++bit)
                x = (x & 1) ? (x >> 1) ^ 0xA001 : x >> 1;
            const quint8 byte = quint8(b);
            QCOMPARE(modbusCrc16(&byte, 1), x);
        }
        // Over zero bytes the routine gives -1; ff ff must still not pass as a frame.
        QVERIFY(crcHolds(fromHex("010600060001 a80b")));
        for (const char *bad : {"ffff", "010600060001 0ba8", "010600060101 a80b"})
            QVERIFY2(!crcHolds(fromHex(bad)), bad);
    }

    void commands_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QByteArray>("hex"); // as on the wire, CRC low byte first
        const auto row = [](const char *name, Command c, quint8 address, quint32 value,
                            const char *hex) {
            QTest::newRow(name) << buildCommand(c, address, value) << QByteArray(hex);
        };
        row("m1 forward 50", Command::Motor1Forward, 1, 50, "01100004000204 00000032 7389");
        row("m1 reverse 50", Command::Motor1Reverse, 1, 50, "01100004000204 00010032 2249");
        row("m1 stop", Command::Motor1Stop, 1, 0, "010600050000 99cb");
        row("m1 brake", Command::Motor1Brake, 1, 0, "010600060001 a80b");
        row("m1 freq 10000", Command::Motor1Frequency, 1, 10000, "01100002000204 00002710 684a");
        row("m2 reverse 100 at 2", Command::Motor2Reverse, 2, 100, "02100009000204 00010064 6caa");
        row("m2 stop", Command::Motor2Stop, 1, 0, "0106000a0000 a9c8");
        row("m2 brake at 254", Command::Motor2Brake, 254, 0, "fe06000b0001 2dc7");
        row("m2 release", Command::Motor2Release, 1, 0, "0106000b0000 f808");
        row("m2 freq 1000", Command::Motor2Frequency, 1, 1000, "01100007000204 000003e8 b2f7");
        row("write address 5", Command::WriteAddress, 5, 0, "001005 bc03");
        row("read all", Command::ReadAll, 1, 0, "01030000000c 45cf");
        row("line speed 9600", Command::SetLineSpeed, 1, 9600, "01100000000204 00002580 e89f");
        // The two highest speeds need the high register.
        row("line speed 115200", Command::SetLineSpeed, 1, 115200, "01100000000204 0001c200 f30f");
        row("line speed 128000", Command::SetLineSpeed, 1, 128000, "01100000000204 0001f400 e4af");
        QTest::newRow("read address") << readAddressFrame() << QByteArray("0020 0068");
    }

    void commands()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, hex);
        QCOMPARE(withCrc(frame).toHex(), hex.replace(' ', ""));
    }

    void parseField()
    {
        const auto parsed = [](Field field, const char *text) {
            const auto v = quarvex::parseField(field, QString::fromLatin1(text));
            return v ? qint64(*v) : -1;
        };
        for (const char *refused : {"0", "255", "+5", ""})
            QVERIFY2(parsed(Field::Address, refused) < 0, refused);
        QCOMPARE(parsed(Field::Address, "1"), 1);
        QCOMPARE(parsed(Field::Address, "254"), 254);
        QCOMPARE(parsed(Field::Speed, "100"), 100);
        QCOMPARE(parsed(Field::Speed, "101"), -1);
        QCOMPARE(parsed(Field::Frequency, "999"), -1);
        QCOMPARE(parsed(Field::Frequency, "10000"), 10000);
        QCOMPARE(parsed(Field::Frequency, "99999999999999999999"), -1);
        QCOMPARE(parsed(Field::LineSpeed, "128000"), 128000);
        QCOMPARE(parsed(Field::LineSpeed, "9601"), -1);
    }
};

QTEST_APPLESS_MAIN(tst_Frames)
#include "tst_frames.moc"
