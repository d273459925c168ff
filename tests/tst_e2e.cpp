// The real window against the virtual module through a pseudo-terminal.
#include "replies.h"
#include "simprocess.h"
#include "windowdriver.h"

#include <QTimer>

#include <QtTest>
#include <memory>

namespace {

QString summary(quint32 lineSpeed, quint32 f1, const char *d1, int s1, quint32 f2, const char *d2,
                int s2)
{
    return QString::asprintf("波特率=%u 电机1PWM频率=%u 电机1%s 电机1速度=%d "
                             "电机2PWM频率=%u 电机2%s 电机2速度=%d ",
                             lineSpeed, f1, d1, s1, f2, d2, s2);
}

QString factory(quint32 lineSpeed = 9600)
{
    return summary(lineSpeed, 10000, "正转", 0, 10000, "正转", 0);
}

struct Rig : WindowDriver
{
    SimProcess sim;

    explicit Rig(const QStringList &simArgs = {}) : sim(simArgs) {}

    // Opens at `baud` and waits for the address report to unlock the controls.
    bool connect(const QString &baud = QStringLiteral("9600"))
    {
        openPort(sim.path(), baud);
        return QTest::qWaitFor([&] { return enabledControls() == 12; }, kWaitMs);
    }

    bool readAll(const QString &expected)
    {
        get<QLabel>("labelAll")->clear();
        click("btnSystem");
        return QTest::qWaitFor([&] { return summary() == expected; }, kWaitMs);
    }

    // A generous bound: the module is another process on a machine that may be busy.
    static constexpr int kWaitMs = 10000;
};

} // namespace

class tst_E2E : public QObject
{
    Q_OBJECT

private slots:
    void speedsAndFaults_data();
    void speedsAndFaults();
    void staleBytesAndWrongSpeedStayLocked();
    void unplugIsNoticedWithoutTheScan();
    void motorsFollowTheButtons();
    void settingsTakeEffect();
    void overTheNetwork_data();
    void overTheNetwork();
    void droppedConnectionClosesThePort();
    void replyInPiecesOverTheNetwork();
    void floodOfGarbage_data();
    void floodOfGarbage();
};

void tst_E2E::speedsAndFaults_data()
{
    // clang-format off
    QTest::addColumn<int>("baud");
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<int>("reportLines"); // log lines the address report makes
    // The slowest, the two the platform sets as custom rates; then the module's faults.
    for (int baud : {1200, 14400, 128000})
        QTest::addRow("%d", baud) << baud << QStringList() << 2;
    QTest::newRow("1-byte chunks") << 9600 << QStringList{QStringLiteral("--split"), "1:3"} << 2;
    QTest::newRow("two replies back to back") << 9600 << QStringList{QStringLiteral("--double")} << 4;
    QTest::newRow("stray byte before") << 9600 << QStringList{QStringLiteral("--stray")} << 3;
    // clang-format on
}

void tst_E2E::speedsAndFaults()
{
    QFETCH(int, baud);
    QFETCH(QStringList, faults);
    QFETCH(int, reportLines);
    const bool doubled = faults.contains(QStringLiteral("--double"));
    Rig r(faults << QStringLiteral("--baud") << QString::number(baud));
    QVERIFY(r.connect(QString::number(baud)));
    // Once the module has put every reply on the line, each is logged exactly once.
    QVERIFY(r.sim.waitForSent(frame("00 20 01"), doubled ? 2 : 1));
    QTRY_COMPARE_WITH_TIMEOUT(r.lines().size(), reportLines + 2, Rig::kWaitMs);
    QCOMPARE(r.lines().first(), QStringLiteral("当前从机地址：1"));
    QVERIFY(r.readAll(factory(quint32(baud))));
}

void tst_E2E::staleBytesAndWrongSpeedStayLocked()
{
    Rig r;
    QVERIFY(r.connect());
    r.click("btnOpen");
    // An address report reaches the closed port, then the port is opened at a speed
    // the module does not hear: nothing may answer the new request.
    const QByteArray stale = frame("00 20 0b");
    r.sim.command("send " + stale.toHex());
    QVERIFY(r.sim.waitForSent(stale));
    r.openPort(r.sim.path(), QStringLiteral("19200"));
    QVERIFY(r.sim.waitForReceived(frame("0020")));
    // A reply to it, or the stale bytes, would come before a marker the module sends now.
    const QByteArray marker = frame("01 06 00 06 00 01");
    r.sim.command("send " + marker.toHex());
    QTRY_COMPARE_WITH_TIMEOUT(r.lines().first(),
                              QStringLiteral("从机响应->") + QString::fromLatin1(marker.toHex()),
                              Rig::kWaitMs);
    QCOMPARE(r.enabledControls(), 0);
    QCOMPARE(r.lines().at(1), QStringLiteral("发送--->00200068"));
    QCOMPARE(r.get<QLineEdit>("lineEdit_addr")->text(), QStringLiteral("1"));
}

void tst_E2E::unplugIsNoticedWithoutTheScan()
{
    Rig r;
    r.w.findChild<QTimer *>(QStringLiteral("scanTimer"))->stop();
    QVERIFY(r.connect());
    r.sim.command("unplug");
    QTRY_VERIFY(r.isClosed());
    QCOMPARE(r.lines().first(), QStringLiteral("串口已断开：%1（设备已断开）").arg(r.sim.path()));
}

void tst_E2E::motorsFollowTheButtons()
{
    Rig r;
    QVERIFY(r.connect());
    const struct
    {
        const char *box, *text, *button;
        QString after; // the summary once both buttons of the row have been pressed
    } steps[][2] = {
        {{"lineEditMotor1Follow", "30", "btnM1Follow", {}},
         {"lineEditMotor2Back", "70", "btnM2Back",
          summary(9600, 10000, "正转", 30, 10000, "反转", 70)}},
        {{"lineEditMotor1Back", "45", "btnM1Back", {}},
         {"lineEditMotor2Follow", "100", "btnM2Follow",
          summary(9600, 10000, "反转", 45, 10000, "正转", 100)}},
        // Stop writes speed 0 and keeps the direction.
        {{nullptr, nullptr, "btnM1Stop", {}},
         {nullptr, nullptr, "btnM2Stop", summary(9600, 10000, "反转", 0, 10000, "正转", 0)}},
        {{"lineEditMotor1Freq", "1000", "btnM1Freq", {}},
         {"lineEditMotor2Freq", "7500", "btnM2Freq",
          summary(9600, 1000, "反转", 0, 7500, "正转", 0)}},
    };
    for (const auto &row : steps) {
        for (const auto &step : row) {
            if (step.box)
                r.setText(step.box, QString::fromUtf8(step.text));
            r.click(step.button);
        }
        QVERIFY2(r.readAll(row[1].after), qPrintable(r.summary()));
    }
    // The summary leaves the brakes out; the module shows them.
    r.click("btnM1Break");
    r.click("btnM2Break");
    QVERIFY(r.sim.waitForReceived(frame("01 06 000b 0001")));
    QTRY_COMPARE(r.sim.reg(0x06), 1);
    QCOMPARE(r.sim.reg(0x0b), 1);
}

void tst_E2E::settingsTakeEffect()
{
    Rig r;
    QVERIFY(r.connect());
    r.choose("comboSetBaud", QStringLiteral("19200"));
    r.click("btnSetBaud");
    QTRY_COMPARE(r.lines().first(), QStringLiteral("波特率修改为:19200 重启后生效"));
    // Stored at once, used only after a restart.
    QVERIFY(r.readAll(factory(19200)));

    r.setText("lineEdit_addr", QStringLiteral("5"));
    r.click("btnWriteAddr");
    QTRY_COMPARE(r.lines().first(), QStringLiteral("当前485从机地址修改为: 5"));
    QVERIFY(r.readAll(factory(19200))); // the next command goes to the new address

    r.sim.command("restart");
    QVERIFY(r.sim.waitForNote("sim: restarted"));
    r.click("btnOpen");
    QVERIFY(r.connect(QStringLiteral("19200")));
    QCOMPARE(r.get<QLineEdit>("lineEdit_addr")->text(), QStringLiteral("5"));
}

void tst_E2E::overTheNetwork_data()
{
    // clang-format off
    QTest::addColumn<QString>("way");
    QTest::addColumn<int>("baud");
    QTest::addColumn<QString>("first"); // the log's first line once the controls unlock
    QTest::addColumn<QString>("told");  // what opening says of the line speed

    const QString report = QStringLiteral("当前从机地址：1");
    QTest::newRow("tcp:// via ser2net") << "raw" << 9600 << report << "波特率由网络另一端的串口服务器决定，所选 9600 未生效";
    // The module at 19200 behind a server configured for 9600: the window sets the speed.
    QTest::newRow("rfc2217:// via ser2net") << "rfc2217" << 19200 << report << "";
    // No address report over a gateway: the box names the unit, the controls open.
    QTest::newRow("modbus-tcp:// to the module's gateway") << "--modbus-tcp" << 9600 << "已连接 Modbus TCP 网关：网关不转发读地址帧，请在地址框中填写模块在网关后的单元号（现为 " "1），再使用各按钮" << "波特率由网络另一端的串口服务器决定，所选 9600 未生效";
    // clang-format on
}

void tst_E2E::overTheNetwork()
{
    QFETCH(QString, way);
    QFETCH(int, baud);
    QFETCH(QString, first);
    QFETCH(QString, told);
    const bool gateway = way.startsWith(QLatin1String("--"));
    if (!gateway)
        QUARVEX_REQUIRE_SER2NET();
    QStringList simArgs{QStringLiteral("--baud"), QString::number(baud)};
    if (gateway)
        simArgs << way << QStringLiteral("127.0.0.1:0");
    Rig r(simArgs);
    std::unique_ptr<Ser2net> server;
    if (!gateway) {
        server = std::make_unique<Ser2net>(r.sim.path(), way == QLatin1String("raw")
                                                             ? Ser2net::Mode::Raw
                                                             : Ser2net::Mode::Rfc2217);
        QVERIFY2(server->isListening(), qPrintable(server->log()));
    }
    r.openPort(server ? server->portName() : r.sim.path(), QString::number(baud));
    QVERIFY2(QTest::qWaitFor([&] { return r.enabledControls() == 12; }, 5000), qPrintable(r.log()));
    QCOMPARE(r.lines().first(), first);
    QCOMPARE(r.lines().filter(QStringLiteral("波特率")).join(QLatin1Char('|')), told);
    QVERIFY(r.readAll(factory(quint32(baud))));
}

void tst_E2E::droppedConnectionClosesThePort()
{
    Rig r({QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:0")});
    QVERIFY(r.connect());
    r.sim.command("quit");
    QTRY_VERIFY(r.isClosed());
    QCOMPARE(r.lines().first(),
             QStringLiteral("串口已断开：%1（网络连接已断开）").arg(r.sim.path()));
}

// A server hands a reply on in pieces further apart than a wire's quiet time: still one.
void tst_E2E::replyInPiecesOverTheNetwork()
{
    Rig r({QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--split"),
           QStringLiteral("2:100")});
    QVERIFY(r.connect());
    QCOMPARE(r.lines().first(), QStringLiteral("当前从机地址：1"));
}

void tst_E2E::floodOfGarbage_data()
{
    // clang-format off
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QString>("baud");
    QTest::addColumn<QByteArray>("flood"); // bytes a second
    QTest::newRow("a server sending 1 MB/s over tcp://") << QStringList{"--tcp", "127.0.0.1:0"} << "9600" << QByteArray("1000000");
    QTest::newRow("a serial line full of noise at 128000 bit/s") << QStringList{"--baud", "128000"} << "128000" << QByteArray("12800");
    // clang-format on
}

// However fast garbage comes, the log shows a few lines of it a second and says how much
// more came, and closing the port closes it.
void tst_E2E::floodOfGarbage()
{
    QFETCH(QStringList, simArgs);
    QFETCH(QString, baud);
    QFETCH(QByteArray, flood);
    Rig r(simArgs);
    QVERIFY(r.connect(baud));
    r.sim.command("flood " + flood);
    QVERIFY(QTest::qWaitFor([&] { return r.log().contains(QStringLiteral("\n（另有 ")); },
                            Rig::kWaitMs));
    QVERIFY2(r.lines().size() < 200, qPrintable(QString::number(r.lines().size())));
    r.click("btnOpen");
    QVERIFY(r.isClosed());
    if (simArgs.contains(QStringLiteral("--tcp")))
        QVERIFY(r.sim.waitForNote("sim: " + r.sim.path().toUtf8() + ": client gone"));
}

QTEST_MAIN(tst_E2E)
#include "tst_e2e.moc"
