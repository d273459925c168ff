// The real window against a pseudo-terminal played by the test: exact bytes out,
// crafted replies in.
#include "ptypair.h"
#include "replies.h"
#include "windowdriver.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QtTest>

namespace {

struct Rig : WindowDriver
{
    PtyPair pty;

    // Opens the slave at 9600 and takes the read-address request off the line.
    bool open()
    {
        openPort(pty.slavePath());
        QByteArray sent;
        return QTest::qWaitFor([&] { return (sent += pty.readAll()).size() >= 4; }) &&
               sent == fromHex("00200068");
    }

    // Plays the module's address report and waits until the window has taken it.
    bool answerAddress(quint8 address = 1)
    {
        QByteArray report = fromHex("0020");
        report.append(char(address));
        pty.write(quarvex::withCrc(report));
        const QString expected = QStringLiteral("当前从机地址：%1").arg(address);
        return QTest::qWaitFor([&] { return lines().first() == expected; }) &&
               enabledControls() == 12;
    }

    QByteArray sentAfterClick(const char *button, int patienceMs = 500)
    {
        click(button);
        QByteArray sent;
        if (!QTest::qWaitFor([&] { return !(sent += pty.readAll()).isEmpty(); }, patienceMs))
            return sent;
        QTest::qWait(20);
        return sent + pty.readAll();
    }
};

} // namespace

class tst_MainWindow : public QObject
{
    Q_OBJECT

private slots:
    void logPutsNewestOnTop();
    void logKeepsUserTextAsPlainText();
    void failedWriteIsLoggedAsFailed();
    void openSendsReadAddressAndWaitsForReport();
    void repliesAreFramedAndDecoded_data();
    void repliesAreFramedAndDecoded();
    void confirmationsUseTheBoxesAtReplyTime();
    void closeLocksAgain();
    void openFailureIsLogged();
    void unplugReturnsToClosed();
    void portListKeepsTheChoice();
    void invalidInputNeverLeaves_data();
    void invalidInputNeverLeaves();
    void closedPortSendsNothing();
};

void tst_MainWindow::logPutsNewestOnTop()
{
    Rig r;
    r.w.appendLog(QStringLiteral("one\n"));
    r.w.appendLog(QStringLiteral("two\n"));
    r.w.appendLog(QStringLiteral("three\n"));
    QCOMPARE(r.log(), QStringLiteral("three\ntwo\none\n"));
}

void tst_MainWindow::logKeepsUserTextAsPlainText()
{
    Rig r;
    auto *log = r.get<QTextEdit>("textEditRead");
    QVERIFY(!log->isReadOnly());
    r.w.appendLog(QStringLiteral("old\n"));
    QTest::keyClicks(log, QStringLiteral("<b>typed</b> & more"));
    r.w.appendLog(QStringLiteral("发送--->00200068\n"));
    QCOMPARE(r.lines().first(), QStringLiteral("发送--->00200068"));
    QCOMPARE(r.log(), QStringLiteral("发送--->00200068\nold\n<b>typed</b> & more"));
    // Pasted markup arrives as text, not as formatting.
    QVERIFY(!log->acceptRichText());
}

void tst_MainWindow::failedWriteIsLoggedAsFailed()
{
    Rig r;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("not open")));
    r.w.sendFrame(fromHex("0020"));
    QCOMPARE(r.log(), QStringLiteral("发送失败--->00200068\n"));
}

void tst_MainWindow::openSendsReadAddressAndWaitsForReport()
{
    Rig r;
    QVERIFY(r.pty.isValid());
    QVERIFY(r.open());
    QCOMPARE(r.log(), QStringLiteral("发送--->00200068\n"));
    QCOMPARE(r.get<QPushButton>("btnOpen")->text(), QStringLiteral("关闭串口"));
    QVERIFY(!r.get<QComboBox>("comboPort")->isEnabled());
    QVERIFY(!r.get<QComboBox>("comboBaud")->isEnabled());
    QCOMPARE(r.enabledControls(), 0);

    r.setText("lineEdit_addr", QString());
    QVERIFY(r.answerAddress(7));
    QCOMPARE(r.get<QLineEdit>("lineEdit_addr")->text(), QStringLiteral("7"));
    QCOMPARE(r.lines().mid(0, 3),
             (QStringList{QStringLiteral("当前从机地址：7"),
                          QStringLiteral("从机响应->") +
                              QString::fromLatin1(quarvex::withCrc(fromHex("002007")).toHex()),
                          QStringLiteral("发送--->00200068")}));
    // A second report leaves the controls enabled.
    QVERIFY(r.answerAddress(1));
    QCOMPARE(r.lines().first(), QStringLiteral("当前从机地址：1"));
}

void tst_MainWindow::repliesAreFramedAndDecoded_data()
{
    const QByteArray report = fromHex("002001a9c0");
    const QByteArray summary = factoryParameterReply();
    QTest::addColumn<QVector<QByteArray>>("chunks");
    QTest::addColumn<QStringList>("lines"); // new log lines, top first
    QTest::addColumn<QString>("label");

    const QString summaryLine = QStringLiteral("从机响应->") + QString::fromLatin1(summary.toHex());
    QTest::newRow("two replies in one read")
        << QVector<QByteArray>{report + summary}
        << QStringList{summaryLine, QStringLiteral("当前从机地址：1"),
                       QStringLiteral("从机响应->002001a9c0")}
        << QString::fromUtf8(factorySummary());
    QTest::newRow("stray byte before a reply")
        << QVector<QByteArray>{"\xff" + report}
        << QStringList{QStringLiteral("当前从机地址：1"), QStringLiteral("从机响应->002001a9c0"),
                       QStringLiteral("从机响应->ff")}
        << QString();
    QTest::newRow("pwm reply: hex only")
        << QVector<QByteArray>{fromHex("011000020002e008")}
        << QStringList{QStringLiteral("从机响应->011000020002e008")} << QString();
    const QByteArray tenRegisters = quarvex::withCrc(fromHex("010314") + QByteArray(20, '\0'));
    QTest::newRow("ten registers: hex only")
        << QVector<QByteArray>{tenRegisters}
        << QStringList{QStringLiteral("从机响应->") + QString::fromLatin1(tenRegisters.toHex())}
        << QString();
    QTest::newRow("bad crc: hex only")
        << QVector<QByteArray>{fromHex("002001c0a9")}
        << QStringList{QStringLiteral("从机响应->002001c0a9")} << QString();
}

void tst_MainWindow::repliesAreFramedAndDecoded()
{
    QFETCH(QVector<QByteArray>, chunks);
    QFETCH(QStringList, lines);
    QFETCH(QString, label);
    Rig r;
    QVERIFY(r.open());
    const int before = r.lines().size();
    for (const QByteArray &c : chunks) {
        r.pty.write(c);
        QTest::qWait(2);
    }
    QTRY_COMPARE(r.lines().size(), before + lines.size());
    QCOMPARE(r.lines().mid(0, lines.size()), lines);
    QCOMPARE(r.get<QLabel>("labelAll")->text(), label);
    // Nothing more turns up once the line is quiet: each reply is logged once.
    QTest::qWait(80);
    QCOMPARE(r.lines().size(), before + lines.size());
}

void tst_MainWindow::confirmationsUseTheBoxesAtReplyTime()
{
    Rig r;
    QVERIFY(r.open());
    r.setText("lineEdit_addr", QStringLiteral("5"));
    r.pty.write(fromHex("0010007c"));
    QTRY_COMPARE(r.lines().first(), QStringLiteral("当前485从机地址修改为: 5"));
    QCOMPARE(r.lines().at(1), QStringLiteral("从机响应->0010007c"));

    r.get<QComboBox>("comboSetBaud")->setCurrentText(QStringLiteral("19200"));
    r.pty.write(fromHex("01100000000241c8"));
    QTRY_COMPARE(r.lines().first(), QStringLiteral("波特率修改为:19200 重启后生效"));
}

void tst_MainWindow::closeLocksAgain()
{
    Rig r;
    QVERIFY(r.open());
    QVERIFY(r.answerAddress());
    r.click("btnOpen");
    QCOMPARE(r.get<QPushButton>("btnOpen")->text(), QStringLiteral("打开串口"));
    QVERIFY(r.get<QComboBox>("comboPort")->isEnabled());
    QVERIFY(r.get<QComboBox>("comboBaud")->isEnabled());
    QCOMPARE(r.enabledControls(), 0);
    // Reopening asks again.
    QVERIFY(r.open());
    QCOMPARE(r.lines().first(), QStringLiteral("发送--->00200068"));
    QCOMPARE(r.enabledControls(), 0);
}

void tst_MainWindow::openFailureIsLogged()
{
    Rig r;
    r.get<QComboBox>("comboPort")->setEditText(QStringLiteral("/dev/quarvex-missing"));
    r.click("btnOpen");
    const QString top = r.lines().first();
    QVERIFY2(top.startsWith(QStringLiteral("串口打开失败：/dev/quarvex-missing（")) &&
                 top.endsWith(QStringLiteral("）")),
             qPrintable(top));
    QCOMPARE(r.lines().size(), 2);
    QCOMPARE(r.get<QPushButton>("btnOpen")->text(), QStringLiteral("打开串口"));
    QVERIFY(r.get<QComboBox>("comboPort")->isEnabled());
    QCOMPARE(r.enabledControls(), 0);
}

void tst_MainWindow::unplugReturnsToClosed()
{
    Rig r;
    QVERIFY(r.open());
    QVERIFY(r.answerAddress());
    r.pty.closeMaster();
    QTRY_COMPARE(r.get<QPushButton>("btnOpen")->text(), QStringLiteral("打开串口"));
    const QString top = r.lines().first();
    QVERIFY2(
        top.startsWith(QStringLiteral("串口已断开：") + r.pty.slavePath() + QStringLiteral("（")),
        qPrintable(top));
    QVERIFY(r.get<QComboBox>("comboPort")->isEnabled());
    QVERIFY(r.get<QComboBox>("comboBaud")->isEnabled());
    QCOMPARE(r.enabledControls(), 0);
}

void tst_MainWindow::portListKeepsTheChoice()
{
    Rig r;
    auto *box = r.get<QComboBox>("comboPort");
    QVERIFY(box->isEditable());
    r.w.updatePortList({QStringLiteral("ttyUSB0"), QStringLiteral("ttyUSB1")});
    QCOMPARE(box->currentText(), QStringLiteral("ttyUSB0"));
    box->setCurrentIndex(1);
    // Same number of ports, another adapter: the list follows, the choice stays.
    r.w.updatePortList({QStringLiteral("ttyUSB2"), QStringLiteral("ttyUSB1")});
    QCOMPARE(box->count(), 2);
    QCOMPARE(box->itemText(0), QStringLiteral("ttyUSB2"));
    QCOMPARE(box->currentText(), QStringLiteral("ttyUSB1"));
    // A typed path survives a refill as well.
    box->setEditText(QStringLiteral("/dev/serial/by-id/usb-adapter"));
    r.w.updatePortList({QStringLiteral("ttyUSB2")});
    QCOMPARE(box->currentText(), QStringLiteral("/dev/serial/by-id/usb-adapter"));
    QCOMPARE(box->count(), 1);
}

void tst_MainWindow::invalidInputNeverLeaves_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    const QString address = QStringLiteral("输入无效：从机地址应为1-254");
    const QString speed = QStringLiteral("输入无效：速度应为0-100");
    const QString freq = QStringLiteral("输入无效：PWM频率应为1000-10000");
    QTest::newRow("empty address, stop") << "btnM1Stop"
                                         << "lineEdit_addr"
                                         << "" << address;
    QTest::newRow("address 0, brake") << "btnM2Break"
                                      << "lineEdit_addr"
                                      << "0" << address;
    QTest::newRow("address 255, read all") << "btnSystem"
                                           << "lineEdit_addr"
                                           << "255" << address;
    QTest::newRow("empty new address") << "btnWriteAddr"
                                       << "lineEdit_addr"
                                       << "" << address;
    QTest::newRow("empty address, set baud") << "btnSetBaud"
                                             << "lineEdit_addr"
                                             << "" << address;
    QTest::newRow("empty speed") << "btnM1Follow"
                                 << "lineEditMotor1Follow"
                                 << "" << speed;
    QTest::newRow("speed 300") << "btnM2Back"
                               << "lineEditMotor2Back"
                               << "300" << speed;
    QTest::newRow("empty frequency") << "btnM1Freq"
                                     << "lineEditMotor1Freq"
                                     << "" << freq;
    QTest::newRow("frequency 500") << "btnM2Freq"
                                   << "lineEditMotor2Freq"
                                   << "500" << freq;
    QTest::newRow("frequency 1") << "btnM1Freq"
                                 << "lineEditMotor1Freq"
                                 << "1" << freq;
}

void tst_MainWindow::invalidInputNeverLeaves()
{
    QFETCH(QString, button);
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(QString, message);
    Rig r;
    r.w.show();
    QVERIFY(r.open());
    QVERIFY(r.answerAddress());
    // setText bypasses the validator, as a half-typed entry would.
    r.setText(qPrintable(box), text);
    r.get<QPushButton>("btnOpen")->setFocus();
    const int before = r.lines().size();
    QCOMPARE(r.sentAfterClick(qPrintable(button), 100), QByteArray());
    QCOMPARE(r.lines().size(), before + 1);
    QCOMPARE(r.lines().first(), message);
    QCOMPARE(r.w.focusWidget(), r.get(qPrintable(box)));
}

void tst_MainWindow::closedPortSendsNothing()
{
    Rig r;
    QVERIFY(r.open());
    QVERIFY(r.answerAddress());
    r.click("btnOpen");
    const QString log = r.log();
    // Closing locked the device controls; call the slots as a stale click would.
    for (const char *slot :
         {"on_btnM1Follow_clicked", "on_btnM1Back_clicked", "on_btnM1Break_clicked",
          "on_btnM2Follow_clicked", "on_btnM2Back_clicked", "on_btnM2Break_clicked",
          "on_btnSystem_clicked", "on_btnM1Stop_clicked", "on_btnSetBaud_clicked",
          "on_btnM1Freq_clicked", "on_btnM2Freq_clicked", "on_btnM2Stop_clicked",
          "on_btnWriteAddr_clicked"})
        QVERIFY(QMetaObject::invokeMethod(&r.w, slot));
    r.setText("lineEdit_addr", QString());
    r.click("btnSetBaud");
    QCOMPARE(r.log(), log);
    QCOMPARE(r.pty.readAll(), QByteArray());
}

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
