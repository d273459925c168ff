// The real window against a pseudo-terminal played by the test: exact bytes out,
// crafted replies in.
#include "link/serialtransport.h"
#include "ptylink.h"
#include "replies.h"
#include "windowdriver.h"

#include <QSerialPort>

#include <QtTest>
#include <utility>

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
    void portListKeepsScanning();
    void logOrderCeilingAndSave();
    void failedWriteIsLoggedAsFailed();
    void openReportClose();
    void repliesAreFramedAndDecoded_data();
    void repliesAreFramedAndDecoded();
    void confirmationsUseTheBoxesAtReplyTime();
    void openFailures();
    void portErrorsAreTold_data();
    void portErrorsAreTold();
    void portListKeepsTheChoice();
    void boxesAreJudgedByTheirValidators_data();
    void boxesAreJudgedByTheirValidators();
};

void tst_MainWindow::logOrderCeilingAndSave()
{
    Rig r;
    auto *log = r.get<QTextEdit>("textEditRead");
    r.w.appendLog(QStringLiteral("one\n"));
    r.w.appendLog(QStringLiteral("two\n"));
    QTest::keyClicks(log, QStringLiteral("<b>typed</b> & more"));
    r.w.appendLog(QStringLiteral("发送--->00200068\n"));
    QCOMPARE(r.log(), QStringLiteral("发送--->00200068\ntwo\none\n<b>typed</b> & more"));

    // Saved oldest first, under a header naming the time, port and speed.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.txt"));
    QVERIFY(r.w.saveLog(path));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList saved = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    QVERIFY2(saved.first().contains(QStringLiteral("波特率：9600")), qPrintable(saved.first()));
    QCOMPARE(saved.mid(1), (QStringList{QStringLiteral("<b>typed</b> & more"), "one", "two",
                                        QStringLiteral("发送--->00200068"), ""}));
    // The log then says where it went; a failed save adds nothing.
    const QString savedLine = QStringLiteral("日志已保存：") + QDir::toNativeSeparators(path);
    QCOMPARE(r.lines().mid(0, 2), (QStringList{savedLine, QStringLiteral("发送--->00200068")}));
    QVERIFY(!r.w.saveLog(dir.filePath(QStringLiteral("missing/log.txt"))));
    QCOMPARE(r.lines().first(), savedLine);

    // Past the ceiling the oldest lines go, drawn ones included.
    r.w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&r.w));
    r.w.setLogLimit(2);
    r.w.appendLog(QStringLiteral("three\n"));
    r.get<QTextEdit>("textEditRead")->viewport()->repaint();
    QCOMPARE(r.log(), QStringLiteral("three\n") + savedLine + QLatin1Char('\n'));
    r.click("btnClear");
    r.get<QTextEdit>("textEditRead")->viewport()->repaint();
    r.w.appendLog(QStringLiteral("four\n"));
    QCOMPARE(r.log(), QStringLiteral("four\n"));
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
    QCOMPARE(r.lines().mid(1, 2),
             (QStringList{replyLine(frame("002007")), QStringLiteral("发送--->00200068")}));
    QVERIFY(r.answerAddress(1)); // a second report leaves the controls enabled
    QVERIFY(r.answerAddress(7));
    r.pty.write(factoryParameterReply());
    QTRY_COMPARE(r.summary(), QString::fromUtf8(factorySummary()));

    // Half a reply still waiting for the quiet time is logged, not lost, on closing.
    QSignalSpy read(r.w.findChild<QSerialPort *>(), &QSerialPort::readyRead);
    r.pty.write(fromHex("0020"));
    QVERIFY(read.wait());
    r.click("btnOpen");
    QVERIFY(r.isClosed());
    QCOMPARE(r.lines().first(), replyLine(fromHex("0020")));
    // What the window showed of that module goes with the port; a typed address stays.
    QCOMPARE(r.summary(), QString());
    QCOMPARE(r.get<QLineEdit>("lineEdit_addr")->text(), QStringLiteral("1"));
    QVERIFY(r.open());
    r.setText("lineEdit_addr", QStringLiteral("9"));
    r.click("btnOpen");
    QCOMPARE(r.get<QLineEdit>("lineEdit_addr")->text(), QStringLiteral("9"));

    // A closed port sends nothing, whatever is clicked or invoked.
    const QString log = r.log();
    for (const char *button : kDeviceControls)
        QVERIFY(QMetaObject::invokeMethod(
            &r.w, qPrintable(QStringLiteral("on_%1_clicked").arg(QLatin1String(button)))));
    r.click("btnSetBaud");
    QCOMPARE(r.log(), log);
    QCOMPARE(r.readAll(), QByteArray());

    // Reopening asks again, controls still locked; a driver that ran the line at
    // another speed than the chosen one is told before the request goes.
    // The window's own read-back, through a port whose driver ran the line at 9000.
    struct OffSpeedDriver : quarvex::SerialTransport
    {
        using SerialTransport::SerialTransport;
        quint32 actualLineSpeed() const override { return 9000; }
    };
    r.w.setTransportFactory(
        [](const QString &name, QObject *parent) { return new OffSpeedDriver(name, parent); });
    QVERIFY(r.open());
    QCOMPARE(r.enabledControls(), 0);
    QCOMPARE(r.lines().mid(0, 2),
             (QStringList{QStringLiteral("发送--->00200068"),
                          QStringLiteral("串口实际波特率：9000，与所选不符")}));
}

void tst_MainWindow::repliesAreFramedAndDecoded_data()
{
    // clang-format off
    const QByteArray report = fromHex("002001a9c0");
    const QByteArray summary = factoryParameterReply();
    const QByteArray tenRegisters = quarvex::withCrc(fromHex("010314") + QByteArray(20, '\0'));
    const QString address = QStringLiteral("当前从机地址：1");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines"); // new log lines, top first
    QTest::addColumn<QString>("label");
    QTest::newRow("two replies in one read") << report + summary << QStringList{replyLine(summary), address, replyLine(report)} << QString::fromUtf8(factorySummary());
    QTest::newRow("stray byte before a reply") << "\xff" + report << QStringList{address, replyLine(report), replyLine("\xff")} << QString();
    // The last one is an address report with its CRC high byte first.
    for (const QByteArray &hexOnly :
         {fromHex("011000020002e008"), tenRegisters, fromHex("002001c0a9")})
        QTest::addRow("%s: hex only", hexOnly.toHex().constData())
            << hexOnly << QStringList{replyLine(hexOnly)} << QString();
    // clang-format on
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
    QCOMPARE(r.enabledControls(), lines.contains(QStringLiteral("当前从机地址：1")) ? 12 : 0);
    // Nothing more turns up: a marker reply after them is logged next, and alone.
    const QByteArray marker = fromHex("010600060001a80b");
    r.pty.write(marker);
    QTRY_COMPARE(r.lines().first(), replyLine(marker));
    QCOMPARE(r.lines().size(), 3 + lines.size());
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

void tst_MainWindow::openFailures()
{
    Rig r;
    r.openPort(QStringLiteral("  "));
    QCOMPARE(r.log(), QStringLiteral("请选择或输入串口\n"));

    r.openPort(QStringLiteral("/dev/quarvex-missing"));
    QVERIFY2(r.lines().first().startsWith(QStringLiteral("串口打开失败：/dev/quarvex-missing（")),
             qPrintable(r.lines().first()));
    QVERIFY(r.isClosed());

    // The same port held by another window is in use, not a permission problem.
    QVERIFY(r.open());
    WindowDriver other;
    other.openPort(r.pty.path());
    QVERIFY2(other.lines().first().endsWith(QStringLiteral("，串口已被其他程序占用")),
             qPrintable(other.lines().first()));
    QVERIFY(other.isClosed());
}

void tst_MainWindow::portErrorsAreTold_data()
{
    // clang-format off
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<bool>("closes");
    QTest::newRow("write") << int(QSerialPort::WriteError) << QStringLiteral("发送失败：") << false;
    QTest::newRow("timeout") << int(QSerialPort::TimeoutError) << QStringLiteral("发送超时：") << false;
    QTest::newRow("read") << int(QSerialPort::ReadError) << QStringLiteral("串口错误：") << false;
    QTest::newRow("unknown") << int(QSerialPort::UnknownError) << QStringLiteral("串口错误：") << false;
    QTest::newRow("resource") << int(QSerialPort::ResourceError) << QStringLiteral("串口已断开：") << true;
    // clang-format on
}

void tst_MainWindow::portErrorsAreTold()
{
    QFETCH(int, error);
    QFETCH(QString, prefix);
    QFETCH(bool, closes);
    Rig r;
    QVERIFY(r.open());
    const int before = int(r.lines().size());
    emit r.w.findChild<QSerialPort *>()->errorOccurred(QSerialPort::SerialPortError(error));
    QCOMPARE(r.lines().size(), before + 1);
    QVERIFY2(r.lines().first().startsWith(prefix), qPrintable(r.lines().first()));
    QCOMPARE(r.isClosed(), closes);
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

void tst_MainWindow::boxesAreJudgedByTheirValidators_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("outcome"); // the refusal, or the frame sent (hex, no CRC)
    const struct
    {
        const char *button, *box, *text, *outcome;
    } rows[] = {
        {"btnM1Stop", "lineEdit_addr", "", "从机地址应为1-254"},
        {"btnM2Break", "lineEdit_addr", "0", "从机地址应为1-254"},
        {"btnWriteAddr", "lineEdit_addr", "255", "从机地址应为1-254"},
        {"btnSetBaud", "lineEdit_addr", "", "从机地址应为1-254"},
        {"btnSystem", "lineEdit_addr", "+5", "05030000000c"},
        {"btnM2Back", "lineEditMotor2Back", "300", "速度应为0-100"},
        {"btnM1Follow", "lineEditMotor1Follow", "", "速度应为0-100"},
        {"btnM1Follow", "lineEditMotor1Follow", "100", "0110000400020400000064"},
        {"btnM1Freq", "lineEditMotor1Freq", "500", "PWM频率应为1000-10000"},
        {"btnM2Freq", "lineEditMotor2Freq", "1,000", "01100007000204000003e8"},
    };
    for (const auto &row : rows)
        QTest::addRow("%s, %s '%s'", row.button, row.box, row.text)
            << row.button << row.box << row.text << QString::fromUtf8(row.outcome);
}

void tst_MainWindow::boxesAreJudgedByTheirValidators()
{
    QFETCH(QString, button);
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(QString, outcome);
    Rig r;
    r.w.show();
    QVERIFY(r.open());
    QVERIFY(r.answerAddress());
    // setText bypasses the validator, as a half-typed entry would.
    r.setText(qPrintable(box), text);
    r.get<QPushButton>("btnOpen")->setFocus();
    r.click(qPrintable(button));
    if (outcome.at(0).isDigit()) {
        const QByteArray frame = quarvex::withCrc(fromHex(outcome.toLatin1()));
        QByteArray sent;
        QVERIFY(QTest::qWaitFor([&] { return (sent += r.readAll()).size() >= frame.size(); }));
        QCOMPARE(sent, frame);
    } else {
        QCOMPARE(r.lines().first(), QStringLiteral("输入无效：") + outcome);
        QCOMPARE(r.w.focusWidget(), r.get(qPrintable(box)));
        // Nothing went: the next frame the window writes is the one asked for after it.
        r.setText("lineEdit_addr", QStringLiteral("1"));
        r.click("btnSystem");
        const QByteArray next = quarvex::withCrc(fromHex("01030000000c"));
        QByteArray sent;
        QVERIFY(QTest::qWaitFor([&] { return (sent += r.readAll()).size() >= next.size(); }));
        QCOMPARE(sent, next);
    }
}

// The port list is looked at every second, not once.
void tst_MainWindow::portListKeepsScanning()
{
    Rig r;
    auto *scan = r.w.findChild<QTimer *>(QStringLiteral("scanTimer"));
    QSignalSpy ticks(scan, &QTimer::timeout);
    QVERIFY(ticks.wait(5000));
    QVERIFY(ticks.wait(5000));
}

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
