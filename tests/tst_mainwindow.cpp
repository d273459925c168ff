// The real window against a pseudo-terminal played by the test: exact bytes out,
// crafted replies in.
#include "ptylink.h"
#include "replies.h"
#include "windowdriver.h"

#include <QtTest>

namespace {

struct Rig : WindowDriver
{
    quarvex::sim::PtyLink pty;
    QByteArray received;

    Rig()
    {
        QString error;
        if (!pty.open(9600, &error))
            qFatal("pty: %s", qPrintable(error));
        QObject::connect(&pty, &quarvex::sim::PtyLink::received,
                         [this](const QByteArray &bytes) { received += bytes; });
    }

    // What the window has written so far.
    QByteArray readAll() { return std::exchange(received, {}) + pty.readAll(); }

    // Opens the slave at 9600 and takes the read-address request off the line.
    bool open()
    {
        openPort(pty.path());
        QByteArray sent;
        return QTest::qWaitFor([&] { return (sent += readAll()).size() >= 4; }) &&
               sent == fromHex("00200068");
    }

    // Plays the module's address report and waits until the window has taken it.
    bool answerAddress(quint8 address = 1)
    {
        pty.write(quarvex::withCrc(fromHex("0020") + char(address)));
        const QString expected = QStringLiteral("当前从机地址：%1").arg(address);
        return QTest::qWaitFor([&] { return lines().first() == expected; }) &&
               enabledControls() == 12;
    }

    // What reaches the line within `ms` of a click.
    QByteArray sentAfterClick(const char *button, int ms)
    {
        click(button);
        QTest::qWait(ms);
        return readAll();
    }
};

QString replyLine(const QByteArray &bytes)
{
    return QStringLiteral("从机响应->") + QString::fromLatin1(bytes.toHex());
}

} // namespace

class tst_MainWindow : public QObject
{
    Q_OBJECT

private slots:
    void logKeepsNewestOnTopAndUserTextAsText();
    void failedWriteIsLoggedAsFailed();
    void openReportClose();
    void repliesAreFramedAndDecoded_data();
    void repliesAreFramedAndDecoded();
    void confirmationsUseTheBoxesAtReplyTime();
    void openFailureIsLogged();
    void unplugReturnsToClosed();
    void portListKeepsTheChoice();
    void invalidInputNeverLeaves_data();
    void invalidInputNeverLeaves();
    void closedPortSendsNothing();
};

void tst_MainWindow::logKeepsNewestOnTopAndUserTextAsText()
{
    Rig r;
    auto *log = r.get<QTextEdit>("textEditRead");
    r.w.appendLog(QStringLiteral("one\n"));
    r.w.appendLog(QStringLiteral("two\n"));
    QTest::keyClicks(log, QStringLiteral("<b>typed</b> & more"));
    r.w.appendLog(QStringLiteral("发送--->00200068\n"));
    QCOMPARE(r.log(), QStringLiteral("发送--->00200068\ntwo\none\n<b>typed</b> & more"));
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

void tst_MainWindow::openReportClose()
{
    Rig r;
    QVERIFY(r.open());
    QCOMPARE(r.log(), QStringLiteral("发送--->00200068\n"));
    QCOMPARE(r.get<QPushButton>("btnOpen")->text(), QStringLiteral("关闭串口"));
    QVERIFY(!r.get<QComboBox>("comboPort")->isEnabled() &&
            !r.get<QComboBox>("comboBaud")->isEnabled());
    QCOMPARE(r.enabledControls(), 0);

    r.setText("lineEdit_addr", QString());
    QVERIFY(r.answerAddress(7));
    QCOMPARE(r.get<QLineEdit>("lineEdit_addr")->text(), QStringLiteral("7"));
    QCOMPARE(r.lines().mid(1, 2), (QStringList{replyLine(quarvex::withCrc(fromHex("002007"))),
                                               QStringLiteral("发送--->00200068")}));
    QVERIFY(r.answerAddress(1)); // a second report leaves the controls enabled

    r.click("btnOpen");
    QVERIFY(r.isClosed());
    QVERIFY(r.open()); // reopening asks again, controls still locked
    QCOMPARE(r.enabledControls(), 0);
}

void tst_MainWindow::repliesAreFramedAndDecoded_data()
{
    const QByteArray report = fromHex("002001a9c0");
    const QByteArray summary = factoryParameterReply();
    const QByteArray tenRegisters = quarvex::withCrc(fromHex("010314") + QByteArray(20, '\0'));
    const QString address = QStringLiteral("当前从机地址：1");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines"); // new log lines, top first
    QTest::addColumn<QString>("label");
    QTest::newRow("two replies in one read")
        << report + summary << QStringList{replyLine(summary), address, replyLine(report)}
        << QString::fromUtf8(factorySummary());
    QTest::newRow("stray byte before a reply")
        << "\xff" + report << QStringList{address, replyLine(report), replyLine("\xff")}
        << QString();
    for (const QByteArray &hexOnly :
         {fromHex("011000020002e008"), tenRegisters, fromHex("002001c0a9")})
        QTest::addRow("%s: hex only", hexOnly.toHex().constData())
            << hexOnly << QStringList{replyLine(hexOnly)} << QString();
}

void tst_MainWindow::repliesAreFramedAndDecoded()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);
    QFETCH(QString, label);
    Rig r;
    QVERIFY(r.open());
    r.pty.write(bytes);
    QTRY_COMPARE(r.lines().size(), 2 + lines.size());
    QCOMPARE(r.lines().mid(0, lines.size()), lines);
    QCOMPARE(r.summary(), label);
    // Nothing more turns up once the line is quiet: each reply is logged once.
    QTest::qWait(80);
    QCOMPARE(r.lines().size(), 2 + lines.size());
}

void tst_MainWindow::confirmationsUseTheBoxesAtReplyTime()
{
    Rig r;
    QVERIFY(r.open());
    r.setText("lineEdit_addr", QStringLiteral("5"));
    r.pty.write(fromHex("0010007c"));
    QTRY_COMPARE(r.lines().mid(0, 2), (QStringList{QStringLiteral("当前485从机地址修改为: 5"),
                                                   QStringLiteral("从机响应->0010007c")}));
    r.choose("comboSetBaud", QStringLiteral("19200"));
    r.pty.write(fromHex("01100000000241c8"));
    QTRY_COMPARE(r.lines().first(), QStringLiteral("波特率修改为:19200 重启后生效"));
}

void tst_MainWindow::openFailureIsLogged()
{
    Rig r;
    r.openPort(QStringLiteral("/dev/quarvex-missing"));
    const QString top = r.lines().first();
    QVERIFY2(top.startsWith(QStringLiteral("串口打开失败：/dev/quarvex-missing（")) &&
                 top.endsWith(QStringLiteral("）")),
             qPrintable(top));
    QCOMPARE(r.lines().size(), 2);
    QVERIFY(r.isClosed());
}

void tst_MainWindow::unplugReturnsToClosed()
{
    Rig r;
    QVERIFY(r.open());
    QVERIFY(r.answerAddress());
    const QString path = r.pty.path();
    r.pty.close();
    QTRY_VERIFY(r.isClosed());
    QVERIFY2(r.lines().first().startsWith(QStringLiteral("串口已断开：%1（").arg(path)),
             qPrintable(r.lines().first()));
}

void tst_MainWindow::portListKeepsTheChoice()
{
    Rig r;
    auto *box = r.get<QComboBox>("comboPort");
    r.w.updatePortList({QStringLiteral("ttyUSB0"), QStringLiteral("ttyUSB1")});
    QCOMPARE(box->currentText(), QStringLiteral("ttyUSB0"));
    box->setCurrentIndex(1);
    // Same number of ports, another adapter: the list follows, the choice stays.
    r.w.updatePortList({QStringLiteral("ttyUSB2"), QStringLiteral("ttyUSB1")});
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
    QTest::addColumn<QString>("problem");
    const struct
    {
        const char *button, *box, *text, *problem;
    } rows[] = {
        {"btnM1Stop", "lineEdit_addr", "", "从机地址应为1-254"},
        {"btnM2Break", "lineEdit_addr", "0", "从机地址应为1-254"},
        {"btnSystem", "lineEdit_addr", "255", "从机地址应为1-254"},
        {"btnWriteAddr", "lineEdit_addr", "", "从机地址应为1-254"},
        {"btnSetBaud", "lineEdit_addr", "", "从机地址应为1-254"},
        {"btnM1Follow", "lineEditMotor1Follow", "", "速度应为0-100"},
        {"btnM2Back", "lineEditMotor2Back", "300", "速度应为0-100"},
        {"btnM1Freq", "lineEditMotor1Freq", "", "PWM频率应为1000-10000"},
        {"btnM2Freq", "lineEditMotor2Freq", "500", "PWM频率应为1000-10000"},
    };
    for (const auto &row : rows)
        QTest::addRow("%s, %s '%s'", row.button, row.box, row.text)
            << row.button << row.box << row.text << QString::fromUtf8(row.problem);
}

void tst_MainWindow::invalidInputNeverLeaves()
{
    QFETCH(QString, button);
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(QString, problem);
    Rig r;
    r.w.show();
    QVERIFY(r.open());
    QVERIFY(r.answerAddress());
    // setText bypasses the validator, as a half-typed entry would.
    r.setText(qPrintable(box), text);
    r.get<QPushButton>("btnOpen")->setFocus();
    const int before = int(r.lines().size());
    QCOMPARE(r.sentAfterClick(qPrintable(button), 100), QByteArray());
    QCOMPARE(r.lines().size(), before + 1);
    QCOMPARE(r.lines().first(), QStringLiteral("输入无效：") + problem);
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
    for (const char *button : kDeviceControls)
        QVERIFY(QMetaObject::invokeMethod(
            &r.w, qPrintable(QStringLiteral("on_%1_clicked").arg(QLatin1String(button)))));
    r.setText("lineEdit_addr", QString());
    r.click("btnSetBaud");
    QCOMPARE(r.log(), log);
    QCOMPARE(r.readAll(), QByteArray());
}

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
