#include "device/commands.h"
#include "device/frames.h"
#include "link/crc16.h"
#include "referenceframes.h"

#include <QtTest>

using namespace quarvex;

namespace {

QByteArray reference(const char *name)
{
    for (const ReferenceFrame &f : kReferenceFrames)
        if (qstrcmp(f.name, name) == 0)
            return fromHex(f.hex);
    qFatal("no reference frame %s", name);
    return {};
}

} // namespace

class tst_Frames : public QObject
{
    Q_OBJECT

private slots:
    void commandsReproduceReferenceFrames_data();
    void commandsReproduceReferenceFrames();
    void byteFieldsKeepLowBits();
};

void tst_Frames::commandsReproduceReferenceFrames_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("address");
    QTest::addColumn<quint32>("value");
    QTest::addColumn<QByteArray>("expected");
    const auto row = [](const char *name, Command c, int address, quint32 value) {
        QTest::newRow(name) << int(c) << address << value << reference(name);
    };
    row("m1 forward 50", Command::Motor1Forward, 1, 50);
    row("m1 forward empty", Command::Motor1Forward, 1, 0);
    row("m1 reverse 50", Command::Motor1Reverse, 1, 50);
    row("m1 stop", Command::Motor1Stop, 1, 0);
    row("m1 stop addr 0", Command::Motor1Stop, 0, 0);
    row("brake m1", Command::Motor1Brake, 1, 0);
    row("m1 brake addr 254", Command::Motor1Brake, 254, 0);
    row("set m1 freq 10000", Command::Motor1Frequency, 1, 10000);
    row("m1 freq 0", Command::Motor1Frequency, 1, 0);
    row("m2 forward 50", Command::Motor2Forward, 1, 50);
    row("m2 reverse 50", Command::Motor2Reverse, 1, 50);
    row("m2 reverse 100 addr 2", Command::Motor2Reverse, 2, 100);
    row("m2 stop", Command::Motor2Stop, 1, 0);
    row("brake m2", Command::Motor2Brake, 1, 0);
    row("set m2 freq 10000", Command::Motor2Frequency, 1, 10000);
    row("write address 5", Command::WriteAddress, 5, 0);
    row("read all", Command::ReadAll, 1, 0);
    for (const char *name : {"line speed 1200", "line speed 2400", "line speed 4800",
                             "line speed 9600", "line speed 14400", "line speed 19200",
                             "line speed 57600", "line speed 115200", "line speed 128000"})
        row(name, Command::SetLineSpeed, 1, QByteArray(name).mid(11).toUInt());
    row("line speed 19200 addr 2", Command::SetLineSpeed, 2, 19200);
}

void tst_Frames::commandsReproduceReferenceFrames()
{
    QFETCH(int, command);
    QFETCH(int, address);
    QFETCH(quint32, value);
    QFETCH(QByteArray, expected);
    QCOMPARE(withCrc(buildCommand(Command(command), quint8(address), value)).toHex(),
             expected.toHex());
}

void tst_Frames::byteFieldsKeepLowBits()
{
    // A number stored into a one-byte position keeps its low 8 bits.
    QCOMPARE(quint8(buildCommand(Command::Motor1Forward, 1, 300).at(10)), quint8(0x2C));
    QCOMPARE(writeRegistersFrame(1, 4, {0x1234, 0xABCD}).toHex(),
             QByteArray("0110000400020412 34abcd").replace(' ', ""));
}

QTEST_APPLESS_MAIN(tst_Frames)
#include "tst_frames.moc"
