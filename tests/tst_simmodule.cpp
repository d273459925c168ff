// The virtual module's answers: requests as they come off the line, everything it sends
// back. It ships in the package, so it keeps a guard of its own beside the end-to-end test.
#include "link/crc16.h"
#include "requestframer.h"
#include "simmodule.h"

#include <QtTest>

using namespace quarvex;
using namespace quarvex::sim;

namespace {

QByteArray frame(const QString &hexWithoutCrc)
{
    return withCrc(QByteArray::fromHex(hexWithoutCrc.toLatin1()));
}

} // namespace

class TestSimModule : public QObject
{
    Q_OBJECT

private slots:
    void answers_data();
    void answers();
};

void TestSimModule::answers_data()
{
    // Steps are requests in hex without their CRC, or "alarm N"; replies likewise.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("replies");
    const auto row = [](const char *tag, const QStringList &steps, const QStringList &replies) {
        QTest::newRow(tag) << steps << replies;
    };
    row("read address", {"0020"}, {"002001"});
    row("read", {"0103 0002 0002"}, {"010304 0000 2710"});
    row("write echoed", {"0106 0005 0032", "0103 0005 0001"}, {"0106 0005 0032", "010302 0032"});
    row("past the map", {"0103 000d 0002"}, {"018302"});
    row("out of range", {"0106 0005 0065"}, {"018603"});
    row("other address", {"0203 0000 0001"}, {});
    row("broadcast acted on, not answered", {"0006 0005 0032", "0103 0005 0001"}, {"010302 0032"});
    row("write address", {"0010 05", "0020", "0103 0005 0001", "0503 0005 0001"},
        {"0010", "002005", "050302 0000"});
    // The alarm stops the motor and locks it; clearing it powers the motor up afresh.
    row("alarm locks, clearing restores",
        {"0106 0005 0032", "alarm 1", "0106 0005 003c", "0103 0005 0001", "0106 000c 0001",
         "0106 000c 0000", "0103 0002 0005"},
        {"0106 0005 0032", "0106 0005 003c", "010302 0000", "018603", "0106 000c 0000",
         "01030a 0000 2710 0000 0000 0000"});
}

void TestSimModule::answers()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, replies);
    SimModule m;
    RequestFramer framer;
    QByteArray got, expected;
    for (const QString &step : steps) {
        if (step.startsWith(QLatin1String("alarm "))) {
            m.raiseAlarm(step.endsWith(QLatin1Char('1')) ? Motor::One : Motor::Two);
            continue;
        }
        QList<QByteArray> requests = framer.feed(frame(step));
        if (framer.hasPending())
            requests << framer.takeRest(); // the line falls silent
        for (const QByteArray &request : requests)
            got += m.handle(request).reply;
    }
    for (const QString &reply : replies)
        expected += frame(reply);
    QCOMPARE(got.toHex(' '), expected.toHex(' '));
}

QTEST_GUILESS_MAIN(TestSimModule)
#include "tst_simmodule.moc"
