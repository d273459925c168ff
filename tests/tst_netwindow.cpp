// The real window opening a network port set up outside the test (wine_network.sh: the
// virtual module on TCP), so the Windows build is tried end to end under Wine.
#include "windowdriver.h"

#include <QtTest>

class tst_NetWindow : public QObject
{
    Q_OBJECT

private slots:
    void addressReport();
};

void tst_NetWindow::addressReport()
{
    const QString port = qEnvironmentVariable("QUARVEX_TEST_PORT");
    if (port.isEmpty())
        QSKIP("QUARVEX_TEST_PORT names no port to open");
    WindowDriver d;
    d.w.show();
    d.openPort(port);
    QVERIFY2(QTest::qWaitFor([&] { return d.enabledControls() == 12; }, 10000),
             d.log().toUtf8().constData());
    QVERIFY2(d.lines().contains(QStringLiteral("当前从机地址：1")), d.log().toUtf8().constData());
    // The README's picture of the window on Windows is taken here.
    const QString shot = qEnvironmentVariable("QUARVEX_TEST_SCREENSHOT");
    if (!shot.isEmpty())
        QVERIFY(d.w.grab().save(shot));
}

QTEST_MAIN(tst_NetWindow)
#include "tst_netwindow.moc"
