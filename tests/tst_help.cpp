// The help document's example frames, and the dialog that shows it.
#include "device/frames.h"
#include "help.h"
#include "link/crc16.h"
#include "mainwindow.h"

#include <QMenu>
#include <QTextDocument>
#include <QTextEdit>
#include <QtTest>

using namespace quarvex;

class tst_Help : public QObject
{
    Q_OBJECT

private slots:
    // The document is written by hand or by a script: its frames must be the ones the
    // program sends and the module answers, CRC included.
    void examplesAreTheWireFrames()
    {
        Q_INIT_RESOURCE(quarvex);
        QFile f(QStringLiteral(":/help.html"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QTextDocument doc;
        doc.setHtml(QString::fromUtf8(f.readAll()));
        // Runs of four or more space-separated hex bytes, as the reader sees them.
        static const QRegularExpression run(
            QStringLiteral("(?<![0-9A-Fa-f])[0-9A-Fa-f]{2}(?: [0-9A-Fa-f]{2}){3,}(?![0-9A-Fa-f])"));
        QStringList shown;
        for (auto it = run.globalMatch(doc.toPlainText()); it.hasNext();)
            shown << it.next().captured().toUpper();
        QVERIFY2(shown.size() >= 50, qPrintable(QString::number(shown.size())));
        for (const QString &hex : qAsConst(shown))
            QVERIFY2(crcHolds(QByteArray::fromHex(hex.toLatin1())), qPrintable(hex));

        QList<QByteArray> frames = {readAddressFrame(), writeAddressFrame(1)};
        for (quint32 speed : kLineSpeeds)
            frames << setLineSpeedFrame(1, speed);
        for (Motor m : {Motor::One, Motor::Two}) {
            const MotorRegisters r = motorRegisters(m);
            frames << readRegistersFrame(1, r.frequency, 2) << motorFrequencyFrame(1, m, 10000)
                   << readRegistersFrame(1, r.direction, 1) << writeRegisterFrame(1, r.direction, 1)
                   << writeRegisterFrame(1, r.speed, 50) << brakeMotorFrame(1, m)
                   << readRegistersFrame(1, r.alarm, 1) << writeRegisterFrame(1, r.alarm, 0);
        }
        for (const QByteArray &frame : qAsConst(frames)) {
            const QString hex = QString::fromLatin1(withCrc(frame).toHex(' ').toUpper());
            QVERIFY2(shown.contains(hex), qPrintable(hex));
        }
    }

    // The menu's one entry shows the one dialog, again after it was closed.
    void shownFromTheMenu()
    {
        MainWindow w;
        Help *help = w.findChild<Help *>();
        QAction *entry = w.findChild<QMenu *>(QStringLiteral("menu"))->actions().value(0);
        for (int showing = 0; showing < 2; ++showing) {
            QVERIFY(!help->isVisible());
            entry->trigger();
            QVERIFY(help->isVisible() && help->isWindow());
            help->close();
        }
        QCOMPARE(help->windowModality(), Qt::ApplicationModal);
        QVERIFY(help->findChild<QTextEdit *>()->isReadOnly());
    }
};

QTEST_MAIN(tst_Help)
#include "tst_help.moc"
