// What both programs decide about a real port: why it would not open, whether the
// driver replaced the line speed, and when the port list must be read again.
#include "link/linespeed.h"
#include "link/porterror.h"
#include "link/portwatch.h"

#include <QtTest>

using namespace quarvex;

Q_DECLARE_METATYPE(OpenFailure)

class tst_Port : public QObject
{
    Q_OBJECT

private slots:
    void openFailure_data();
    void openFailure();
    void refusedComPortIsInUse();
    void portGone_data();
    void portGone();
    void lineSpeedReplaced_data();
    void lineSpeedReplaced();
    void portWatch();
};

void tst_Port::openFailure_data()
{
    // clang-format off
    QTest::addColumn<int>("error");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<bool>("readWrite");
    QTest::addColumn<OpenFailure>("failure");
    // A lock or an exclusive opener reads as a permission error; the node tells.
    const int denied = QSerialPort::PermissionError;
    QTest::newRow("node refuses the user") << denied << true << false << OpenFailure::Permission;
    QTest::newRow("locked or busy") << denied << true << true << OpenFailure::InUse;
    QTest::newRow("gone") << int(QSerialPort::DeviceNotFoundError) << false << false << OpenFailure::NotFound;
    QTest::newRow("gone, said otherwise") << denied << false << false << OpenFailure::NotFound;
    QTest::newRow("other") << int(QSerialPort::UnsupportedOperationError) << true << true << OpenFailure::Other;
    // clang-format on
}

void tst_Port::openFailure()
{
    QFETCH(int, error);
    QFETCH(bool, exists);
    QFETCH(bool, readWrite);
    QFETCH(OpenFailure, failure);
    QCOMPARE(classifyOpenFailure(QSerialPort::SerialPortError(error), {exists, readWrite}),
             failure);
}

void tst_Port::refusedComPortIsInUse()
{
#ifdef Q_OS_WIN
    // A COM port serves one program at a time: access denied is never about the user.
    QCOMPARE(classifyOpenFailure(QSerialPort::PermissionError, probeNode(QStringLiteral("COM3"))),
             OpenFailure::InUse);
#else
    QSKIP("COM ports are Windows'");
#endif
}

void tst_Port::portGone_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<bool>("gone");
    // An unplugged adapter on Windows fails the pending read with one of these.
    QTest::newRow("removed") << int(QSerialPort::ResourceError) << true;
    QTest::newRow("access denied") << int(QSerialPort::PermissionError) << true;
    QTest::newRow("not found") << int(QSerialPort::DeviceNotFoundError) << true;
    // The port is still there: say it and keep it open.
    QTest::newRow("write") << int(QSerialPort::WriteError) << false;
    QTest::newRow("read") << int(QSerialPort::ReadError) << false;
    QTest::newRow("timeout") << int(QSerialPort::TimeoutError) << false;
    QTest::newRow("unknown") << int(QSerialPort::UnknownError) << false;
}

void tst_Port::portGone()
{
    QFETCH(int, error);
    QFETCH(bool, gone);
    QCOMPARE(portGoneWith(QSerialPort::SerialPortError(error)), gone);
}

void tst_Port::lineSpeedReplaced_data()
{
    QTest::addColumn<quint32>("chosen");
    QTest::addColumn<quint32>("actual");
    QTest::addColumn<bool>("replaced");
    QTest::newRow("as chosen") << 128000u << 128000u << false;
    QTest::newRow("unknown") << 14400u << 0u << false;
    QTest::newRow("rounded by the divisor") << 128000u << 127659u << false;
    QTest::newRow("nearest standard rate") << 128000u << 115200u << true;
    QTest::newRow("fallback") << 14400u << 9600u << true;
}

void tst_Port::lineSpeedReplaced()
{
    QFETCH(quint32, chosen);
    QFETCH(quint32, actual);
    QFETCH(bool, replaced);
    QCOMPARE(quarvex::lineSpeedReplaced(chosen, actual), replaced);
}

void tst_Port::portWatch()
{
    QTemporaryDir dir;
    PortWatch watch(dir.path());
    QVERIFY(watch.isWatching());
    QVERIFY(watch.takeDue()); // the first tick always lists
    QVERIFY(!watch.takeDue());
    // Whatever the watcher had to tell is told with the events now pending.
    QCoreApplication::processEvents();
    QVERIFY(!watch.takeDue()); // nothing happened, nothing to list

    // A change lists the ports on the next few ticks, then the watch is quiet again.
    const auto due = [&watch] {
        if (!QTest::qWaitFor([&watch] { return watch.takeDue(); }))
            return false;
        for (int i = 1; i < PortWatch::kTicksAfterChange; ++i)
            if (!watch.takeDue())
                return false;
        return !watch.takeDue();
    };
    QFile node(dir.filePath(QStringLiteral("ttyUSB0")));
    QVERIFY(node.open(QIODevice::WriteOnly));
    node.close();
    QVERIFY(due()); // plugged
    QVERIFY(node.remove());
    QVERIFY(due()); // unplugged

    // No folder to watch: every tick lists, as before.
    PortWatch blind(QString{});
    QVERIFY(blind.takeDue() && blind.takeDue());
}

QTEST_MAIN(tst_Port)
#include "tst_port.moc"
