// The virtual module's answers: requests as they come off the line, everything it sends
// back. It ships in the package, so it keeps a guard of its own beside the end-to-end test.
#include "replies.h"
#include "requestframer.h"
#include "simline.h"

#include <QtTest>

using namespace quarvex;
using namespace quarvex::sim;

class TestSimModule : public QObject
{
    Q_OBJECT

private slots:
    void answers_data();
    void answers();
    void collisions_data();
    void collisions();
};

void TestSimModule::answers_data()
{
    // clang-format off
    // Steps are requests in hex without their CRC, "alarm N" (first module), or "@SPEED",
    // the client's port speed from then on (9600 before). Replies likewise, with "+"
    // between replies that collide.
    QTest::addColumn<QString>("modules");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("replies");
    QString modules; // one factory module
    const auto row = [&modules](const char *tag, const QStringList &steps,
                                const QStringList &replies) {
        QTest::newRow(tag) << modules << steps << replies;
    };
    row("read address", {"0020"}, {"002001"});
    row("read", {"0103 0002 0002"}, {"010304 0000 2710"});
    row("write echoed", {"0106 0005 0032", "0103 0005 0001"}, {"0106 0005 0032", "010302 0032"});
    row("past the map", {"0103 000d 0002"}, {"018302"});
    row("out of range", {"0106 0005 0065"}, {"018603"});
    row("other address", {"0203 0000 0001"}, {});
    row("broadcast acted on, not answered", {"0006 0005 0032", "0103 0005 0001"}, {"010302 0032"});
    row("write address", {"0010 05", "0020", "0103 0005 0001", "0503 0005 0001"}, {"0010", "002005", "050302 0000"});
    // The alarm stops the motor and locks it; clearing it powers the motor up afresh.
    row("alarm locks, clearing restores", {"0106 0005 0032", "alarm 1", "0106 0005 003c", "0103 0005 0001", "0106 000c 0001", "0106 000c 0000", "0103 0002 0005"}, {"0106 0005 0032", "0106 0005 003c", "010302 0000", "018603", "0106 000c 0000", "01030a 0000 2710 0000 0000 0000"});

    modules = QStringLiteral("3,7,12@19200");
    row("all at the port's speed answer", {"0020"}, {"002003+002007"});
    row("only those at the port's speed", {"@19200", "0020"}, {"00200c"});
    row("one addressed, one answers", {"0703 0005 0001"}, {"070302 0000"});
    row("broadcast to all", {"0006 0005 0032", "0303 0005 0001", "0c03 0005 0001"}, {"030302 0032"});
    row("write address obeyed by all", {"0010 05", "0503 0005 0001"}, {"0010+0010", "050302 0000+050302 0000"});

    // Ranges and repeats: 1, 2, 3, and two at 5 (19200).
    modules = QStringLiteral("1-3,5@19200,5@19200");
    row("a range answers one by one", {"0203 0005 0001", "0403 0005 0001"}, {"020302 0000"});
    row("two at one address collide", {"@19200", "0503 0005 0001"}, {"050302 0000+050302 0000"});
    // clang-format on
}

void TestSimModule::answers()
{
    QFETCH(QString, modules);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, replies);
    SimLine line;
    QVERIFY(modules.isEmpty() || line.setModules(modules, 9600));
    RequestFramer framer;
    quint32 baud = 9600;
    QByteArray got, expected;
    for (const QString &step : steps) {
        if (step.startsWith(QLatin1String("alarm "))) {
            line.module(0).raiseAlarm(step.endsWith(QLatin1Char('1')) ? Motor::One : Motor::Two);
            continue;
        }
        if (step.startsWith(QLatin1Char('@'))) {
            baud = step.mid(1).toUInt();
            continue;
        }
        QList<QByteArray> requests = framer.feed(frame(qPrintable(step)));
        if (framer.hasPending())
            requests << framer.takeRest(); // the line falls silent
        for (const QByteArray &request : requests)
            got += line.hear(request, baud).reply;
    }
    for (const QString &reply : replies) {
        QList<QByteArray> colliding;
        for (const QString &r : reply.split(QLatin1Char('+')))
            colliding << frame(qPrintable(r));
        expected += collide(colliding);
    }
    QCOMPARE(got.toHex(' '), expected.toHex(' '));
}

void TestSimModule::collisions_data()
{
    // clang-format off
    QTest::addColumn<QStringList>("replies"); // without their CRC
    QTest::addColumn<QList<int>>("starts");   // byte times after the first
    QTest::addColumn<QByteArray>("wire");
    QTest::newRow("none") << QStringList{} << QList<int>{} << QByteArray();
    QTest::newRow("one, unchanged") << QStringList{"002003"} << QList<int>{} << QByteArray("0020032801");
    QTest::newRow("two, ANDed") << QStringList{"002003", "002007"} << QList<int>{} << QByteArray("0020032800");
    QTest::newRow("longer one's tail") << QStringList{"002003", "010302 0032"} << QList<int>{} << QByteArray("00000200003991");
    // Equal replies would pass whole; one bit of the CRC gives them away.
    QTest::newRow("two equal") << QStringList{"0010", "0010"} << QList<int>{} << QByteArray("0010007d");
    QTest::newRow("the second a byte late") << QStringList{"002003", "002007"} << QList<int>{0, 1} << QByteArray("0000000001c2");
    QTest::newRow("three, staggered") << QStringList{"002003", "002007", "00200c"} << QList<int>{0, 2, 5} << QByteArray("002000200100000c6805");
    // clang-format on
}

void TestSimModule::collisions()
{
    QFETCH(QStringList, replies);
    QFETCH(QList<int>, starts);
    QFETCH(QByteArray, wire);
    QList<QByteArray> frames;
    for (const QString &r : replies)
        frames << frame(qPrintable(r));
    const QByteArray got = collide(frames, starts);
    QCOMPARE(got.toHex(), wire);
    QCOMPARE(crcHolds(got), replies.size() == 1);
}

QTEST_GUILESS_MAIN(TestSimModule)
#include "tst_simmodule.moc"
