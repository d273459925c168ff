#include "device/frames.h"
#include "help.h"
#include "link/crc16.h"
#include "mainwindow.h"

#include <QApplication>
#include <QGridLayout>
#include <QMenu>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextTable>
#include <QtTest>

using namespace quarvex;

namespace {

QString hexText(const QByteArray &frame)
{
    return QString::fromLatin1(frame.toHex(' ').toUpper());
}

// Runs of four or more space-separated hex bytes, as the reader sees them.
QStringList framesIn(const QString &text)
{
    static const QRegularExpression run(
        QStringLiteral("(?<![0-9A-Fa-f])[0-9A-Fa-f]{2}(?: [0-9A-Fa-f]{2}){3,}(?![0-9A-Fa-f])"));
    QStringList frames;
    auto it = run.globalMatch(text);
    while (it.hasNext())
        frames << it.next().captured().toUpper();
    return frames;
}

QList<QTextTable *> tablesOf(QTextDocument *doc)
{
    QList<QTextTable *> tables;
    for (QTextFrame *f : doc->rootFrame()->childFrames())
        if (auto *t = qobject_cast<QTextTable *>(f))
            tables << t;
    return tables;
}

bool hasCjk(const QString &s)
{
    for (QChar c : s)
        if (c.unicode() >= 0x2E80)
            return true;
    return false;
}

QStringList debugLines;
void collectDebug(QtMsgType type, const QMessageLogContext &context, const QString &msg)
{
    if (type == QtDebugMsg)
        debugLines << QString::fromLatin1(context.category) + QLatin1Char('|') + msg;
}

// Counts debug lines for one scope, then gives the test framework its handler back.
struct DebugCollector
{
    DebugCollector() : previous(qInstallMessageHandler(collectDebug)) { debugLines.clear(); }
    ~DebugCollector() { qInstallMessageHandler(previous); }
    QtMessageHandler previous;
};

const QStringList kDefaults = {
    QStringLiteral("地址：1"),        QStringLiteral("串口波特率：9600"),
    QStringLiteral("串口数据位：8"),  QStringLiteral("串口停止位：1"),
    QStringLiteral("串口校验位：无"), QStringLiteral("串口流控：无"),
    QStringLiteral("电机方向：正向"), QStringLiteral("PWM频率：10000HZ"),
    QStringLiteral("电机速度：0"),    QStringLiteral("电机刹车：关闭"),
};

const QStringList kIndicator = {
    QStringLiteral("正常运行状态：指示灯为周期为1S均匀闪烁"),
    QStringLiteral("电机1电流过载：指示灯为周期为1S快闪"),
    QStringLiteral("电机2电流过载：指示灯为周期为1S闪烁两次"),
    QStringLiteral("电机1、2电流过载：指示灯为周期为1S闪烁三次"),
};

// Bold headings, in document order.
const QStringList kHeadings = {
    QStringLiteral("Quarvex通信协议 V2.0"),
    QStringLiteral("软件使用："),
    QStringLiteral("一、电气参数"),
    QStringLiteral("二、模块初始参数"),
    QStringLiteral("三、恢复出厂设置"),
    QStringLiteral("四、状态灯指示"),
    QStringLiteral("五、通讯协议"),
    QStringLiteral("1.1 读设备地址"),
    QStringLiteral("1.2 写设备地址"),
    QStringLiteral("2. 读写模块参数"),
    QStringLiteral("3. 波特率（地址=01为例）"),
    QStringLiteral("4. 电机PWM频率（地址=01为例）"),
    QStringLiteral("5. 电机方向（地址=01为例）"),
    QStringLiteral("6. 电机速度（PWM占空比）（地址=01为例）"),
    QStringLiteral("7. 电机刹车（地址=01为例）"),
    QStringLiteral("8. 设置清除电流报警"),
};

} // namespace

class tst_Help : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void qtRichTextForm();
    void sevenTables();
    void paragraphsAndRuns();
    void linesAsTheyStand_data();
    void linesAsTheyStand();
    void sectionsInOrder();
    void framesCarryTheirCrc_data();
    void framesCarryTheirCrc();
    void workedExamples_data();
    void workedExamples();

    void dialogForm();
    void sameDialogOnEveryShowing();
    void keepsItsSizeAcrossShowings();
    void iconResources();

private:
    int blockIndex(const QString &text) const;

    QString m_html;
    QTextDocument m_doc;
    QStringList m_blocks;
};

void tst_Help::initTestCase()
{
    Q_INIT_RESOURCE(quarvex);
    QFile f(QStringLiteral(":/help.html"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    m_html = QString::fromUtf8(f.readAll());
    m_doc.setHtml(m_html);
    for (QTextBlock b = m_doc.begin(); b.isValid(); b = b.next())
        m_blocks << b.text();
}

int tst_Help::blockIndex(const QString &text) const
{
    return int(m_blocks.indexOf(text));
}

void tst_Help::qtRichTextForm()
{
    QVERIFY(m_html.startsWith(QLatin1String("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0//EN\"")));
    QVERIFY(m_html.contains(QLatin1String("<meta name=\"qrichtext\" content=\"1\" />")));
    QVERIFY(m_html.contains(QLatin1String("p, li { white-space: pre-wrap; }")));
    QVERIFY(m_html.contains(QLatin1String("<body style=\" font-family:'SimSun'; font-size:9pt; "
                                          "font-weight:400; font-style:normal;\">")));
    QVERIFY(m_html.endsWith(QLatin1String("</body></html>")));
    // The last paragraph is an empty one.
    QVERIFY(m_blocks.last().isEmpty());
}

void tst_Help::sevenTables()
{
    QCOMPARE(m_html.count(QLatin1String("<table ")), 7);
    QCOMPARE(m_html.count(QLatin1String("<table border=\"1\"")), 7);
    QCOMPARE(m_html.count(QLatin1String("cellspacing=\"0\" cellpadding=\"0\">")), 7);

    const QList<QTextTable *> tables = tablesOf(&m_doc);
    QCOMPARE(tables.size(), 7);
    for (QTextTable *t : tables) {
        QCOMPARE(t->format().border(), 1.0);
        QCOMPARE(t->format().cellSpacing(), 0.0);
        QCOMPARE(t->format().cellPadding(), 0.0);
        QCOMPARE(t->columns(), 3);
    }
    // The register map: a header and one row per parameter, 00 to 0D.
    QCOMPARE(tables.first()->rows(), 12);
    QCOMPARE(tables.first()->cellAt(11, 1).firstCursorPosition().block().text(),
             QStringLiteral("0D"));
    // Every frame layout closes with the CRC, low byte first.
    for (int i = 1; i < 7; ++i) {
        QTextTable *t = tables.at(i);
        const int last = t->rows() - 1;
        QCOMPARE(t->cellAt(last, 0).firstCursorPosition().block().text(),
                 QStringLiteral("CRC校验码"));
        QCOMPARE(t->cellAt(last, 1).firstCursorPosition().block().text(), QStringLiteral("2字节"));
        QVERIFY(t->cellAt(last, 2).firstCursorPosition().block().text().startsWith(
            QStringLiteral("低字节在前")));
    }
}

void tst_Help::paragraphsAndRuns()
{
    static const QRegularExpression para(
        QStringLiteral("<p( align=\"center\")? style=\"([^\"]*)\">"));
    int paragraphs = 0;
    for (auto it = para.globalMatch(m_html); it.hasNext(); ++paragraphs)
        QVERIFY(it.next().captured(2).contains(QLatin1String(
            " margin-top:12px; margin-bottom:12px; margin-left:0px; margin-right:0px; "
            "-qt-block-indent:0; text-indent:0px;")));
    QCOMPARE(paragraphs, int(m_html.count(QLatin1String("<p"))));

    // Chinese runs are in 宋体 except the title, the usage notes and the numerals.
    static const QRegularExpression span(QStringLiteral("<span style=\"([^\"]*)\">([^<]*)</span>"));
    static const QRegularExpression bodyFamily(
        QStringLiteral("^(Quarvex通信协议 V2\\.0|[一二三四五]、|[1-3]、|[1-5]\\. .*)$"));
    int usageNotes = 0;
    for (auto it = span.globalMatch(m_html); it.hasNext();) {
        const auto m = it.next();
        const QString style = m.captured(1);
        const QString text = m.captured(2);
        QVERIFY2(style.contains(QLatin1String("font-size:12pt;")), qPrintable(text));
        const bool song = style.contains(QStringLiteral("font-family:'宋体';"));
        if (!hasCjk(text)) {
            QVERIFY2(!song, qPrintable(text));
        } else if (!song) {
            QVERIFY2(bodyFamily.match(text).hasMatch(), qPrintable(text));
            usageNotes += text.contains(QLatin1String(". ")) ? 1 : 0;
        }
    }
    QCOMPARE(usageNotes, 5);
}

void tst_Help::linesAsTheyStand_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("bold");
    for (const QString &h : kHeadings)
        QTest::newRow(qPrintable(h)) << h << true;
    for (const QString &l : kDefaults)
        QTest::newRow(qPrintable(l)) << l << false;
    for (const QString &l : kIndicator)
        QTest::newRow(qPrintable(l)) << l << false;
}

void tst_Help::linesAsTheyStand()
{
    QFETCH(QString, line);
    QFETCH(bool, bold);
    QCOMPARE(int(m_blocks.count(line)), 1);
    const QTextBlock block = m_doc.findBlockByNumber(blockIndex(line));
    for (auto it = block.begin(); !it.atEnd(); ++it)
        QCOMPARE(it.fragment().charFormat().fontWeight() >= QFont::DemiBold, bold);
}

void tst_Help::sectionsInOrder()
{
    int previous = -1;
    for (const QString &h : kHeadings) {
        const int at = blockIndex(h);
        QVERIFY2(at > previous, qPrintable(h));
        previous = at;
    }
    QCOMPARE(blockIndex(kHeadings.first()), 0);

    // The defaults and indicator lines follow their headings one per line, complete.
    const int defaults = blockIndex(QStringLiteral("二、模块初始参数")) + 1;
    QCOMPARE(m_blocks.mid(defaults, kDefaults.size()), kDefaults);
    const int indicator = blockIndex(QStringLiteral("四、状态灯指示")) + 1;
    QCOMPARE(m_blocks.mid(indicator, kIndicator.size()), kIndicator);

    // Five usage notes, numbered, between their heading and the first section.
    const QStringList usage = m_blocks.mid(blockIndex(QStringLiteral("软件使用：")) + 1, 5);
    for (int i = 0; i < 5; ++i)
        QVERIFY(usage.at(i).startsWith(QString::number(i + 1) + QLatin1String(". ")));
}

void tst_Help::framesCarryTheirCrc_data()
{
    QTest::addColumn<QString>("hex");
    const QStringList frames = framesIn(m_doc.toPlainText());
    // A parser that finds nothing would pass every frame it found.
    QVERIFY(frames.size() >= 50);
    for (int i = 0; i < frames.size(); ++i)
        QTest::addRow("%d: %s", i, qPrintable(frames.at(i))) << frames.at(i);
}

void tst_Help::framesCarryTheirCrc()
{
    QFETCH(QString, hex);
    QVERIFY(crcHolds(QByteArray::fromHex(hex.toLatin1())));
}

void tst_Help::workedExamples_data()
{
    QTest::addColumn<QByteArray>("frame");
    const auto reply = [](const char *hex) {
        return withCrc(QByteArray::fromHex(hex));
    };

    QTest::newRow("read address") << withCrc(readAddressFrame());
    QTest::newRow("address report 1") << reply("002001");
    QTest::newRow("write address 1") << withCrc(writeAddressFrame(1));
    QTest::newRow("address written") << reply("0010");

    for (quint32 speed : kLineSpeeds)
        QTest::addRow("line speed %u", speed) << withCrc(setLineSpeedFrame(1, speed));
    QTest::newRow("line speed reply") << reply("011000000002");

    for (Motor m : {Motor::One, Motor::Two}) {
        const int n = m == Motor::One ? 1 : 2;
        const MotorRegisters r = motorRegisters(m);
        QTest::addRow("read m%d freq", n) << withCrc(readRegistersFrame(1, r.frequency, 2));
        QTest::addRow("set m%d freq 10000", n) << withCrc(motorFrequencyFrame(1, m, 10000));
        QTest::addRow("read m%d dir", n) << withCrc(readRegistersFrame(1, r.direction, 1));
        QTest::addRow("set m%d forward", n) << withCrc(writeRegisterFrame(1, r.direction, 0));
        QTest::addRow("set m%d reverse", n) << withCrc(writeRegisterFrame(1, r.direction, 1));
        QTest::addRow("read m%d speed", n) << withCrc(readRegistersFrame(1, r.speed, 1));
        QTest::addRow("set m%d speed 50", n) << withCrc(writeRegisterFrame(1, r.speed, 50));
        QTest::addRow("brake m%d", n) << withCrc(brakeMotorFrame(1, m));
        QTest::addRow("read m%d alarm", n) << withCrc(readRegistersFrame(1, r.alarm, 1));
        QTest::addRow("clear m%d alarm", n) << withCrc(writeRegisterFrame(1, r.alarm, 0));
    }
    QTest::newRow("freq reply 10000") << reply("01030400002710");
    QTest::newRow("set m1 freq reply") << reply("011000020002");
    QTest::newRow("set m2 freq reply") << reply("011000070002");
    QTest::newRow("one register 0") << reply("0103020000");
    QTest::newRow("one register 1") << reply("0103020001");
    QTest::newRow("speed reply 50") << reply("0103020032");
}

void tst_Help::workedExamples()
{
    QFETCH(QByteArray, frame);
    QVERIFY2(framesIn(m_doc.toPlainText()).contains(hexText(frame)), qPrintable(hexText(frame)));
}

void tst_Help::dialogForm()
{
    MainWindow w;
    const QList<Help *> helps = w.findChildren<Help *>();
    QCOMPARE(helps.size(), 1);
    Help *help = helps.first();
    QVERIFY(help->isWindow());
    QVERIFY(!help->isVisible());
    QCOMPARE(help->windowTitle(), QStringLiteral("通信协议&帮助"));
    QCOMPARE(help->windowModality(), Qt::ApplicationModal);
    QCOMPARE(help->size(), QSize(925, 493));

    auto *grid = qobject_cast<QGridLayout *>(help->layout());
    QVERIFY(grid);
    QCOMPARE(grid->objectName(), QStringLiteral("gridLayout"));
    auto *edit = help->findChild<QTextEdit *>(QStringLiteral("textEdit"));
    QVERIFY(edit);
    QCOMPARE(grid->itemAtPosition(0, 0)->widget(), edit);
    QVERIFY(edit->isReadOnly());
    QVERIFY(edit->textInteractionFlags() & Qt::TextSelectableByMouse);
    // The whole document reached the box, not a stand-in.
    QCOMPARE(tablesOf(edit->document()).size(), 7);
    QCOMPARE(edit->document()->begin().text(), kHeadings.first());
}

void tst_Help::sameDialogOnEveryShowing()
{
    MainWindow w;
    w.show();
    auto *menu = w.findChild<QMenu *>(QStringLiteral("menu"));
    QVERIFY(menu);
    QCOMPARE(menu->actions().size(), 1);
    QAction *entry = menu->actions().first();
    QCOMPARE(entry->text(), QStringLiteral("帮助"));

    Help *first = w.findChild<Help *>();
    DebugCollector collector;
    for (int showing = 1; showing <= 3; ++showing) {
        entry->trigger();
        const bool visible = first->isVisible();
        int helps = 0;
        for (QWidget *top : QApplication::topLevelWidgets())
            helps += qobject_cast<Help *>(top) ? 1 : 0;
        first->close();
        QVERIFY(visible);
        QCOMPARE(helps, 1);
        QCOMPARE(w.findChildren<Help *>(), QList<Help *>{first});
        QVERIFY(!first->isVisible());
        QCOMPARE(debugLines.size(), showing);
    }
    const QString line = QStringLiteral("default|help");
    QCOMPARE(debugLines, QStringList() << line << line << line);
}

void tst_Help::keepsItsSizeAcrossShowings()
{
    MainWindow w;
    Help *help = w.findChild<Help *>();
    QTest::ignoreMessage(QtDebugMsg, "help");
    w.slotHelp();
    QCOMPARE(help->size(), QSize(925, 493));
    help->resize(640, 360);
    help->close();
    QTest::ignoreMessage(QtDebugMsg, "help");
    w.slotHelp();
    QCOMPARE(help->size(), QSize(640, 360));
    help->close();
}

void tst_Help::iconResources()
{
    // The program sets this one for the whole application; no window sets its own.
    QCOMPARE(QImage(QStringLiteral(":/icons/quarvex.png")).size(), QSize(64, 64));
    MainWindow w;
    QVERIFY(!w.testAttribute(Qt::WA_SetWindowIcon));
    QVERIFY(!w.findChild<Help *>()->testAttribute(Qt::WA_SetWindowIcon));

    // The Windows icon resource: one 64 x 64 image at 24 bits, with its AND mask.
    QFile ico(QStringLiteral(QUARVEX_SOURCE_DIR "/resources/quarvex.ico"));
    QVERIFY(ico.open(QIODevice::ReadOnly));
    QDataStream in(&ico);
    in.setByteOrder(QDataStream::LittleEndian);
    quint16 reserved, type, count, planes, bits;
    quint8 width, height, colours, pad;
    quint32 bytes, offset;
    in >> reserved >> type >> count >> width >> height >> colours >> pad >> planes >> bits >>
        bytes >> offset;
    QCOMPARE(type, quint16(1));
    QCOMPARE(count, quint16(1));
    QCOMPARE(int(width), 64);
    QCOMPARE(int(height), 64);
    QCOMPARE(bits, quint16(24));
    QVERIFY(ico.seek(offset));
    quint32 headerSize;
    qint32 dibWidth, dibHeight;
    quint16 dibPlanes, dibBits;
    in >> headerSize >> dibWidth >> dibHeight >> dibPlanes >> dibBits;
    QCOMPARE(headerSize, quint32(40));
    QCOMPARE(dibWidth, 64);
    QCOMPARE(dibHeight, 128); // colour rows and mask rows
    QCOMPARE(dibBits, quint16(24));
    QCOMPARE(bytes, quint32(40 + 64 * 64 * 3 + 64 * 8));
    QCOMPARE(ico.size(), qint64(offset + bytes));
}

QTEST_MAIN(tst_Help)
#include "tst_help.moc"
