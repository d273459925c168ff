// What goes on the wire: the CRC-16, every command's frame, and the values a command takes.
#include "device/commands.h"
#include "device/frames.h"
#include "replies.h"

#include <QtTest>

using namespace quarvex;

Q_DECLARE_METATYPE(Field)

class tst_Frames : public QObject
{
    Q_OBJECT

private slots:
    void crc_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("crc");
        QTest::newRow("check string") << QByteArray("123456789") << 0x4B37;
        QTest::newRow("empty") << QByteArray() << -1;
    }

    void crc()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, crc);
        const auto *data = reinterpret_cast<const quint8 *>(bytes.constData());
        QCOMPARE(modbusCrc16(data, quint16(bytes.size())), crc);
    }

    // Each one-byte input goes through a different entry of both tables.
    void crcEveryTableEntry()
    {
        for (int b = 0; b < 256; ++b) {
            int x = 0xFFFF ^ b;
            for (int bit = 0; bit < 8; ++bit)
                x = (x & 1) ? (x >> 1) ^ 0xA001 : x >> 1;
            const quint8 byte = quint8(b);
            QCOMPARE(modbusCrc16(&byte, 1), x);
        }
    }

    void crcRejects_data()
    {
        QTest::addColumn<QByteArray>("frame");
        // Over zero bytes the routine gives -1; ff ff must still not pass as a frame.
        QTest::newRow("two ff") << fromHex("ffff");
        QTest::newRow("crc high byte first") << fromHex("010600060001 0ba8");
        QTest::newRow("one bit flipped") << fromHex("010600060101 a80b");
    }

    void crcRejects()
    {
        QFETCH(QByteArray, frame);
        QVERIFY(crcHolds(fromHex("010600060001 a80b")));
        QVERIFY(!crcHolds(frame));
    }

    void commands_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QByteArray>("hex");
        const struct
        {
            const char *name;
            Command command;
            quint8 address;
            quint32 value;
            const char *hex; // as on the wire, CRC low byte first
        } rows[] = {
            {"m1 forward 50", Command::Motor1Forward, 1, 50, "01100004000204 00000032 7389"},
            {"m1 reverse 50", Command::Motor1Reverse, 1, 50, "01100004000204 00010032 2249"},
            {"m1 stop", Command::Motor1Stop, 1, 0, "010600050000 99cb"},
            {"m1 brake", Command::Motor1Brake, 1, 0, "010600060001 a80b"},
            {"m1 freq 10000", Command::Motor1Frequency, 1, 10000, "01100002000204 00002710 684a"},
            {"m2 reverse 100 at 2", Command::Motor2Reverse, 2, 100, "02100009000204 00010064 6caa"},
            {"m2 stop", Command::Motor2Stop, 1, 0, "0106000a0000 a9c8"},
            {"m2 brake at 254", Command::Motor2Brake, 254, 0, "fe06000b0001 2dc7"},
            {"m2 freq 1000", Command::Motor2Frequency, 1, 1000, "01100007000204 000003e8 b2f7"},
            {"write address 5", Command::WriteAddress, 5, 0, "001005 bc03"},
            {"read all", Command::ReadAll, 1, 0, "01030000000c 45cf"},
            {"line speed 9600", Command::SetLineSpeed, 1, 9600, "01100000000204 00002580 e89f"},
            // The two highest speeds need the high register.
            {"line speed 115200", Command::SetLineSpeed, 1, 115200, "01100000000204 0001c200 f30f"},
            {"line speed 128000", Command::SetLineSpeed, 1, 128000, "01100000000204 0001f400 e4af"},
        };
        for (const auto &r : rows)
            QTest::newRow(r.name) << buildCommand(r.command, r.address, r.value)
                                  << QByteArray(r.hex);
        QTest::newRow("read address") << readAddressFrame() << QByteArray("0020 0068");
    }

    void commands()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, hex);
        QCOMPARE(withCrc(frame).toHex(), hex.replace(' ', ""));
    }

    void parseField_data()
    {
        QTest::addColumn<Field>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("value"); // -1: refused
        const struct
        {
            Field field;
            const char *text;
            qint64 value;
        } rows[] = {
            {Field::Address, "1", 1},
            {Field::Address, "254", 254},
            {Field::Address, "0", -1},
            {Field::Address, "255", -1},
            {Field::Address, "+5", -1},
            {Field::Address, "", -1},
            {Field::Speed, "100", 100},
            {Field::Speed, "101", -1},
            {Field::Frequency, "999", -1},
            {Field::Frequency, "10000", 10000},
            {Field::Frequency, "10001", -1},
            {Field::Frequency, "99999999999999999999", -1},
            {Field::LineSpeed, "128000", 128000},
            {Field::LineSpeed, "9601", -1},
        };
        for (const auto &r : rows)
            QTest::addRow("%d '%s'", int(r.field), r.text)
                << r.field << QString::fromLatin1(r.text) << r.value;
    }

    void parseField()
    {
        QFETCH(Field, field);
        QFETCH(QString, text);
        QFETCH(qint64, value);
        const auto parsed = quarvex::parseField(field, text);
        QCOMPARE(parsed ? qint64(*parsed) : -1, value);
    }
};

QTEST_APPLESS_MAIN(tst_Frames)
#include "tst_frames.moc"
