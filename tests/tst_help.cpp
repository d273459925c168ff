// The help document as the reader sees it, and the dialog that shows it.
#include "device/frames.h"
#include "help.h"
#include "link/crc16.h"
#include "mainwindow.h"

#include <QApplication>
#include <QMenu>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextTable>
#include <QtTest>

using namespace quarvex;

class tst_Help : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(quarvex);
        QFile f(QStringLiteral(":/help.html"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        m_doc.setHtml(QString::fromUtf8(f.readAll()));
        for (QTextBlock b = m_doc.begin(); b.isValid(); b = b.next())
            m_blocks << b.text();
        // Runs of four or more space-separated hex bytes, as the reader sees them.
        static const QRegularExpression run(
            QStringLiteral("(?<![0-9A-Fa-f])[0-9A-Fa-f]{2}(?: [0-9A-Fa-f]{2}){3,}(?![0-9A-Fa-f])"));
        for (auto it = run.globalMatch(m_doc.toPlainText()); it.hasNext();)
            m_frames << it.next().captured().toUpper();
    }

    void framesCarryTheirCrc()
    {
        // A parser that finds nothing would pass every frame it found.
        QVERIFY2(m_frames.size() >= 50, qPrintable(QString::number(m_frames.size())));
        for (const QString &hex : qAsConst(m_frames))
            QVERIFY2(crcHolds(QByteArray::fromHex(hex.toLatin1())), qPrintable(hex));
    }

    void workedExamplesFromTheCore()
    {
        QList<QByteArray> frames = {readAddressFrame(), writeAddressFrame(1)};
        for (const char *reply :
             {"002001", "0010", "011000000002", "01030400002710", "011000020002", "011000070002",
              "0103020000", "0103020001", "0103020032"})
            frames << QByteArray::fromHex(reply);
        for (quint32 speed : kLineSpeeds)
            frames << setLineSpeedFrame(1, speed);
        for (Motor m : {Motor::One, Motor::Two}) {
            const MotorRegisters r = motorRegisters(m);
            frames << readRegistersFrame(1, r.frequency, 2) << motorFrequencyFrame(1, m, 10000)
                   << readRegistersFrame(1, r.direction, 1) << writeRegisterFrame(1, r.direction, 0)
                   << writeRegisterFrame(1, r.direction, 1) << readRegistersFrame(1, r.speed, 1)
                   << writeRegisterFrame(1, r.speed, 50) << brakeMotorFrame(1, m)
                   << readRegistersFrame(1, r.alarm, 1) << writeRegisterFrame(1, r.alarm, 0);
        }
        for (const QByteArray &frame : qAsConst(frames)) {
            const QString hex = QString::fromLatin1(withCrc(frame).toHex(' ').toUpper());
            QVERIFY2(m_frames.contains(hex), qPrintable(hex));
        }
    }

    void sevenTables()
    {
        int tables = 0;
        for (QTextFrame *f : m_doc.rootFrame()->childFrames())
            if (auto *t = qobject_cast<QTextTable *>(f)) {
                ++tables;
                QCOMPARE(t->format().border(), 1.0);
                QCOMPARE(t->format().cellSpacing(), 0.0);
                QCOMPARE(t->format().cellPadding(), 0.0);
            }
        QCOMPARE(tables, 7);
    }

    void linesVerbatim()
    {
        // Whole blocks, one per line, right under their heading; a missing heading fails too.
        const auto under = [this](const char *heading, int lines) {
            return m_blocks.mid(int(m_blocks.indexOf(QString::fromUtf8(heading))) + 1, lines);
        };
        QCOMPARE(m_blocks.value(0), QStringLiteral("Quarvex通信协议 V2.0"));
        QCOMPARE(
            under("二、模块初始参数", 10),
            QStringLiteral("地址：1 串口波特率：9600 串口数据位：8 串口停止位：1 串口校验位：无 "
                           "串口流控：无 电机方向：正向 PWM频率：10000HZ 电机速度：0 "
                           "电机刹车：关闭")
                .split(QLatin1Char(' ')));
        QCOMPARE(under("四、状态灯指示", 4),
                 QStringLiteral(
                     "正常运行状态：指示灯为周期为1S均匀闪烁 电机1电流过载：指示灯为周期为1S快闪 "
                     "电机2电流过载：指示灯为周期为1S闪烁两次 "
                     "电机1、2电流过载：指示灯为周期为1S闪烁三次")
                     .split(QLatin1Char(' ')));
    }

    void dialogShownFromTheMenu()
    {
        MainWindow w;
        w.show();
        Help *help = w.findChild<Help *>();
        QVERIFY(help && help->isWindow() && !help->isVisible());
        QCOMPARE(help->windowTitle(), QStringLiteral("通信协议&帮助"));
        QCOMPARE(help->windowModality(), Qt::ApplicationModal);
        auto *edit = help->findChild<QTextEdit *>();
        QVERIFY(edit && edit->isReadOnly());
        QCOMPARE(edit->document()->toPlainText(), m_doc.toPlainText());

        QAction *entry = w.findChild<QMenu *>(QStringLiteral("menu"))->actions().value(0);
        QVERIFY(entry);
        // Per showing: visible, size, Help windows in the application, debug lines.
        QStringList seen;
        static QStringList debugLines;
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext &, const QString &m) {
                if (type == QtDebugMsg)
                    debugLines << m;
            });
        for (int showing = 0; showing < 3; ++showing) {
            debugLines.clear();
            entry->trigger();
            int helps = 0;
            for (QWidget *top : QApplication::topLevelWidgets())
                helps += qobject_cast<Help *>(top) ? 1 : 0;
            seen << QString::asprintf("%d %dx%d %d ", int(help->isVisible()), help->width(),
                                      help->height(), helps) +
                        debugLines.join(QLatin1Char('|'));
            help->resize(640, 360); // the user's size survives closing
            help->close();
        }
        qInstallMessageHandler(previous);
        QCOMPARE(seen, (QStringList{"1 925x493 1 help", "1 640x360 1 help", "1 640x360 1 help"}));
    }

private:
    QTextDocument m_doc;
    QStringList m_blocks;
    QStringList m_frames;
};

QTEST_MAIN(tst_Help)
#include "tst_help.moc"
