// The real window against the virtual module through a pseudo-terminal.
#include "link/crc16.h"
#include "simprocess.h"
#include "windowdriver.h"

#include <QtTest>

namespace {

QByteArray frame(const char *hexWithoutCrc)
{
    return quarvex::withCrc(QByteArray::fromHex(QByteArray(hexWithoutCrc).replace(' ', "")));
}

QString summary(quint32 lineSpeed, quint32 f1, const char *d1, int s1, quint32 f2, const char *d2,
                int s2)
{
    return QStringLiteral("波特率=%1 电机1PWM频率=%2 电机1%3 电机1速度=%4 电机2PWM频率=%5 电机2%6 "
                          "电机2速度=%7 ")
        .arg(lineSpeed)
        .arg(f1)
        .arg(QString::fromUtf8(d1))
        .arg(s1)
        .arg(f2)
        .arg(QString::fromUtf8(d2))
        .arg(s2);
}

const QString kFactory = summary(9600, 10000, "正转", 0, 10000, "正转", 0);

struct Rig : WindowDriver
{
    SimProcess sim;

    explicit Rig(const QStringList &simArgs = {}) : sim(simArgs) {}

    // Opens at `baud` and waits for the address report to unlock the controls.
    bool connect(const QString &baud = QStringLiteral("9600"))
    {
        openPort(sim.path(), baud);
        return QTest::qWaitFor([&] { return enabledControls() == 12; }, 3000);
    }

    bool readAll(const QString &expected)
    {
        get<QLabel>("labelAll")->clear();
        click("btnSystem");
        return QTest::qWaitFor([&] { return summary() == expected; }, 3000);
    }

    // Clicks and waits until the module has the frame; false if it never arrives.
    bool send(const char *button, const QByteArray &expected)
    {
        click(button);
        return sim.waitForReceived(expected);
    }
};

} // namespace

class tst_E2E : public QObject
{
    Q_OBJECT

private slots:
    void wrongSpeedStaysLocked();
    void readAllAtLineSpeeds_data();
    void readAllAtLineSpeeds();
    void faultyRepliesAreStillDecoded_data();
    void faultyRepliesAreStillDecoded();
    void unplugReturnsToClosed();
    void everyCommandReachesTheModule_data();
    void everyCommandReachesTheModule();
    void motorsFollowTheButtons();
    void lineSpeedChangeTakesEffectAfterRestart();
    void addressChangeMovesTheNextCommand();
};

void tst_E2E::wrongSpeedStaysLocked()
{
    Rig r;
    r.openPort(r.sim.path(), QStringLiteral("19200"));
    QVERIFY(r.sim.waitForReceived(frame("0020")));
    QTest::qWait(200);
    QCOMPARE(r.enabledControls(), 0);
    QCOMPARE(r.log(), QStringLiteral("发送--->00200068\n"));
}

void tst_E2E::readAllAtLineSpeeds_data()
{
    QTest::addColumn<int>("baud");
    // The slowest, the two the platform sets as custom rates, and the fastest common one.
    for (int baud : {1200, 14400, 115200, 128000})
        QTest::addRow("%d", baud) << baud;
}

void tst_E2E::readAllAtLineSpeeds()
{
    QFETCH(int, baud);
    Rig r({QStringLiteral("--baud"), QString::number(baud)});
    QVERIFY(r.connect(QString::number(baud)));
    QVERIFY(r.readAll(summary(quint32(baud), 10000, "正转", 0, 10000, "正转", 0)));
}

void tst_E2E::faultyRepliesAreStillDecoded_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("afterRequest"); // log lines above the read-address line
    const QString reply = QStringLiteral("从机响应->002001a9c0");
    const QString address = QStringLiteral("当前从机地址：1");
    QTest::newRow("1-byte chunks") << QStringList{QStringLiteral("--split"), QStringLiteral("1:3")}
                                   << QStringList{address, reply};
    QTest::newRow("two replies back to back")
        << QStringList{QStringLiteral("--double")} << QStringList{address, reply, address, reply};
    QTest::newRow("stray byte before")
        << QStringList{QStringLiteral("--stray")} << QStringList{address, reply, QString()};
}

void tst_E2E::faultyRepliesAreStillDecoded()
{
    QFETCH(QStringList, args);
    QFETCH(QStringList, afterRequest);
    Rig r(args);
    QVERIFY(r.connect());
    // Once the line is quiet every reply has been logged exactly once.
    QTest::qWait(100);
    QCOMPARE(r.lines().size(), afterRequest.size() + 2);
    const QStringList above = r.lines().mid(0, afterRequest.size());
    for (int i = 0; i < afterRequest.size(); ++i) {
        if (afterRequest[i].isEmpty()) // the stray byte, whatever its value
            QVERIFY2(above[i].startsWith(QStringLiteral("从机响应->")) && above[i].size() == 8,
                     qPrintable(above[i]));
        else
            QCOMPARE(above[i], afterRequest[i]);
    }
    // The 29-byte reply survives the same fault.
    QVERIFY(r.readAll(kFactory));
}

void tst_E2E::unplugReturnsToClosed()
{
    Rig r;
    QVERIFY(r.connect());
    r.sim.command("unplug");
    QTRY_VERIFY(r.isClosed());
    QVERIFY2(r.lines().first().startsWith(QStringLiteral("串口已断开：") + r.sim.path()),
             qPrintable(r.lines().first()));
}

void tst_E2E::everyCommandReachesTheModule_data()
{
    QTest::addColumn<int>("address");
    for (int a : {1, 2, 254})
        QTest::addRow("address %d", a) << a;
}

void tst_E2E::everyCommandReachesTheModule()
{
    QFETCH(int, address);
    Rig r({QStringLiteral("--address"), QString::number(address)});
    QVERIFY(r.connect());
    QCOMPARE(r.get<QLineEdit>("lineEdit_addr")->text(), QString::number(address));
    const QByteArray a = QByteArray::number(address, 16).rightJustified(2, '0');
    const auto body = [&](const char *rest) {
        return frame(a + rest);
    };

    r.setText("lineEditMotor1Follow", QStringLiteral("50"));
    r.setText("lineEditMotor1Back", QStringLiteral("50"));
    r.setText("lineEditMotor2Follow", QStringLiteral("50"));
    r.setText("lineEditMotor2Back", QStringLiteral("50"));
    r.setText("lineEditMotor1Freq", QStringLiteral("10000"));
    r.setText("lineEditMotor2Freq", QStringLiteral("10000"));
    r.choose("comboSetBaud", QStringLiteral("9600"));
    const struct
    {
        const char *button;
        const char *rest;
    } commands[] = {
        {"btnM1Follow", "10 0004 0002 04 0000 0032"},
        {"btnM1Back", "10 0004 0002 04 0001 0032"},
        {"btnM1Stop", "06 0005 0000"},
        {"btnM1Break", "06 0006 0001"},
        {"btnM1Freq", "10 0002 0002 04 0000 2710"},
        {"btnM2Follow", "10 0009 0002 04 0000 0032"},
        {"btnM2Back", "10 0009 0002 04 0001 0032"},
        {"btnM2Stop", "06 000a 0000"},
        {"btnM2Break", "06 000b 0001"},
        {"btnM2Freq", "10 0007 0002 04 0000 2710"},
        {"btnSystem", "03 0000 000c"},
        {"btnSetBaud", "10 0000 0002 04 0000 2580"},
    };
    for (const auto &c : commands) {
        QVERIFY2(r.send(c.button, body(c.rest)), c.button);
        QVERIFY(r.log().contains(QStringLiteral("发送--->") +
                                 QString::fromLatin1(body(c.rest).toHex())));
    }
    // Same address again: the module keeps it and answers 00 10 00 7C.
    QVERIFY(r.send("btnWriteAddr", frame("0010" + a)));
    QTRY_COMPARE(r.lines().first(), QStringLiteral("当前485从机地址修改为: %1").arg(address));
}

void tst_E2E::motorsFollowTheButtons()
{
    Rig r;
    QVERIFY(r.connect());
    QVERIFY(r.readAll(kFactory));

    r.setText("lineEditMotor1Follow", QStringLiteral("30"));
    r.setText("lineEditMotor2Back", QStringLiteral("70"));
    r.click("btnM1Follow");
    r.click("btnM2Back");
    QVERIFY(r.readAll(summary(9600, 10000, "正转", 30, 10000, "反转", 70)));

    r.setText("lineEditMotor1Back", QStringLiteral("45"));
    r.setText("lineEditMotor2Follow", QStringLiteral("100"));
    r.click("btnM1Back");
    r.click("btnM2Follow");
    QVERIFY(r.readAll(summary(9600, 10000, "反转", 45, 10000, "正转", 100)));

    // Stop writes speed 0 and keeps the direction.
    r.click("btnM1Stop");
    r.click("btnM2Stop");
    QVERIFY(r.readAll(summary(9600, 10000, "反转", 0, 10000, "正转", 0)));

    r.setText("lineEditMotor1Freq", QStringLiteral("1000"));
    r.setText("lineEditMotor2Freq", QStringLiteral("7500"));
    r.click("btnM1Freq");
    r.click("btnM2Freq");
    QVERIFY(r.readAll(summary(9600, 1000, "反转", 0, 7500, "正转", 0)));

    // The summary leaves the brakes out; the module shows them.
    r.click("btnM1Break");
    QVERIFY(r.send("btnM2Break", frame("01 06 000b 0001")));
    QTRY_COMPARE(r.sim.reg(0x06), 1);
    QCOMPARE(r.sim.reg(0x0b), 1);
}

void tst_E2E::lineSpeedChangeTakesEffectAfterRestart()
{
    Rig r;
    QVERIFY(r.connect());
    r.choose("comboSetBaud", QStringLiteral("19200"));
    r.click("btnSetBaud");
    QTRY_COMPARE(r.lines().first(), QStringLiteral("波特率修改为:19200 重启后生效"));
    // Stored at once, used only after a restart.
    QVERIFY(r.readAll(summary(19200, 10000, "正转", 0, 10000, "正转", 0)));

    r.sim.command("restart");
    QCOMPARE(r.sim.status().value(QStringLiteral("speed")), QStringLiteral("19200"));
    r.get<QLabel>("labelAll")->clear();
    r.click("btnSystem");
    QVERIFY(r.sim.waitForReceived(frame("01 03 0000 000c")));
    QTest::qWait(200);
    QCOMPARE(r.summary(), QString());

    r.click("btnOpen");
    QVERIFY(r.isClosed());
    QVERIFY(r.connect(QStringLiteral("19200")));
    QVERIFY(r.readAll(summary(19200, 10000, "正转", 0, 10000, "正转", 0)));
}

void tst_E2E::addressChangeMovesTheNextCommand()
{
    Rig r;
    QVERIFY(r.connect());
    r.setText("lineEdit_addr", QStringLiteral("5"));
    QVERIFY(r.send("btnWriteAddr", frame("00 10 05")));
    QTRY_COMPARE(r.lines().first(), QStringLiteral("当前485从机地址修改为: 5"));
    QCOMPARE(r.sim.status().value(QStringLiteral("address")), QStringLiteral("5"));
    QVERIFY(r.send("btnSystem", frame("05 03 0000 000c")));
    QTRY_COMPARE(r.summary(), kFactory);
}

QTEST_MAIN(tst_E2E)
#include "tst_e2e.moc"
