#include "link/crc16.h"
#include "referenceframes.h"

#include <QtTest>

using namespace quarvex;

class tst_Crc16 : public QObject
{
    Q_OBJECT

private slots:
    void workedValues_data();
    void workedValues();
    void tableHeads();
    void referenceFramesCarryTheirCrc_data();
    void referenceFramesCarryTheirCrc();
    void crcHoldsRejects_data();
    void crcHoldsRejects();
};

void tst_Crc16::workedValues_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("crc");
    QTest::newRow("brake m1") << fromHex("010600060001") << 0x0BA8;
    QTest::newRow("check string") << QByteArray("123456789") << 0x4B37;
    QTest::newRow("empty") << QByteArray() << -1;
    QTest::newRow("00 10") << fromHex("0010") << 0x7C00;
    QTest::newRow("one byte 00") << fromHex("00") << 0x40BF;
}

void tst_Crc16::workedValues()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, crc);
    QCOMPARE(
        modbusCrc16(reinterpret_cast<const quint8 *>(bytes.constData()), quint16(bytes.size())),
        crc);
}

void tst_Crc16::tableHeads()
{
    const quint8 low[] = {0x00, 0xC1, 0x81, 0x40, 0x01, 0xC0, 0x80, 0x41};
    const quint8 high[] = {0x00, 0xC0, 0xC1, 0x01, 0xC3, 0x03, 0x02, 0xC2};
    for (int i = 0; i < 8; ++i) {
        QCOMPARE(kCrc16Tables.low[i], low[i]);
        QCOMPARE(kCrc16Tables.high[i], high[i]);
    }
    // The tables are built by the compiler.
    static_assert(kCrc16Tables.low[1] == 0xC1 && kCrc16Tables.high[255] == 0x40);
}

void tst_Crc16::referenceFramesCarryTheirCrc_data()
{
    QTest::addColumn<QByteArray>("frame");
    for (const ReferenceFrame &f : kReferenceFrames)
        QTest::newRow(f.name) << fromHex(f.hex);
}

void tst_Crc16::referenceFramesCarryTheirCrc()
{
    QFETCH(QByteArray, frame);
    QVERIFY(crcHolds(frame));
    QCOMPARE(withCrc(frame.left(frame.size() - 2)), frame);
}

void tst_Crc16::crcHoldsRejects_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("empty") << QByteArray();
    // Over zero bytes the routine gives -1; ff ff must still not pass as a frame.
    QTest::newRow("two ff") << fromHex("ffff");
    QTest::newRow("crc high byte first") << fromHex("010600060001 0ba8");
    QTest::newRow("one bit flipped") << fromHex("010600060101 a80b");
    QTest::newRow("truncated") << fromHex("002001a9");
}

void tst_Crc16::crcHoldsRejects()
{
    QFETCH(QByteArray, frame);
    QVERIFY(!crcHolds(frame));
}

QTEST_APPLESS_MAIN(tst_Crc16)
#include "tst_crc16.moc"
