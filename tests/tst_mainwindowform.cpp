// What the slots, the other tests and the user rely on in the main window's form:
// object names and classes, texts, validator ranges, start-up state, and layout.
#include "windowdriver.h"

#include <QtWidgets>

namespace {

// Per class, "name:text" for each object; the text is the title, current text,
// placeholder or text it shows. The port box is left out: the port scan fills it.
const QPair<const char *, const char *> kForm[] = {
    {"QGroupBox", "groupBox_2:电机1 groupBox_9:电机2 groupBox_6:串口 groupBox_3:接收"},
    {"QLineEdit",
     "lineEditMotor1Follow:速度（0-100），单位% lineEditMotor1Back:速度（0-100），单位% "
     "lineEditMotor2Follow:速度（0-100），单位% lineEditMotor2Back:速度（0-100），单位% "
     "lineEditMotor1Freq:1000-10000，单位Hz lineEditMotor2Freq:1000-10000，单位Hz "
     "lineEdit_addr:1-254"},
    {"QPushButton", "btnM1Follow:正转 btnM1Back:反转 btnM1Freq:修改频率 btnM1Break:刹车 "
                    "btnM1Stop:停止 btnM2Follow:正转 btnM2Back:反转 btnM2Freq:修改频率 "
                    "btnM2Break:刹车 btnM2Stop:停止 btnOpen:打开串口 btnSetBaud:设置波特率 "
                    "btnWriteAddr:修改从机地址 btnSystem:读取全部参数 btnClear:清空接收"},
    {"QLabel", "label_7:串口号 label_6:波特率 labelAll:"},
    {"QComboBox", "comboBaud:9600 comboSetBaud:9600"},
    {"QTextEdit", "textEditRead:"},
    {"QMenu", "menu:关于"},
    {"QAction", "actionAaa:帮助"}};

} // namespace

class tst_MainWindowForm : public QObject
{
    Q_OBJECT

    WindowDriver r;

private slots:
    void objects_data()
    {
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("text");
        for (const auto &group : kForm)
            for (const QString &object : QString::fromUtf8(group.second).split(' ')) {
                const QString name = object.section(':', 0, 0);
                QTest::newRow(qPrintable(name)) << group.first << object.section(':', 1);
            }
    }

    void objects()
    {
        QFETCH(QString, className);
        QFETCH(QString, text);
        QObject *o = r.w.findChild<QObject *>(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(o);
        QCOMPARE(QString::fromLatin1(o->metaObject()->className()), className);
        for (const char *shown : {"title", "currentText", "placeholderText", "plainText", "text"})
            if (o->property(shown).isValid()) {
                QCOMPARE(o->property(shown).toString(), text);
                break;
            }
        if (auto *edit = qobject_cast<QLineEdit *>(o)) {
            // Takes exactly the range its placeholder announces; only the address starts filled.
            auto *v = qobject_cast<const QIntValidator *>(edit->validator());
            QVERIFY(v);
            QCOMPARE(QStringLiteral("%1-%2").arg(v->bottom()).arg(v->top()),
                     QRegularExpression("\\d+-\\d+").match(edit->placeholderText()).captured());
            QCOMPARE(edit->text(), QLatin1String(edit == r.get("lineEdit_addr") ? "1" : ""));
        }
        // Device controls wait for the module's answer; the rest is usable at once.
        const QByteArrayList locked(std::begin(kDeviceControls), std::end(kDeviceControls));
        if (auto *w = qobject_cast<QWidget *>(o))
            QCOMPARE(w->isEnabled(), !locked.contains(QTest::currentDataTag()));
    }

    void boxesAndMenu()
    {
        for (const char *name : {"comboBaud", "comboSetBaud"}) {
            auto *box = r.get<QComboBox>(name);
            QStringList items;
            for (int i = 0; i < box->count(); ++i)
                items << box->itemText(i);
            QCOMPARE(items.join(' '), "1200 2400 4800 9600 14400 19200 57600 115200 128000");
        }
        // Editable, so a device path the scan does not list can be typed in; one longer
        // than the box shows whole in its tooltip.
        auto *port = r.get<QComboBox>("comboPort");
        QVERIFY(port->isEditable());
        const QString longPath =
            QStringLiteral("/dev/serial/by-id/usb-RS485_Adapter_A10K3B7Z-if00");
        port->setEditText(longPath);
        QCOMPARE(port->toolTip(), longPath);
        QCOMPARE(r.w.windowTitle(), QStringLiteral("Zarnith"));
        QCOMPARE(r.get<QMenu>("menu")->actions(), QList<QAction *>{r.get<QAction>("actionAaa")});
    }

    void layout()
    {
        r.w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&r.w));
        // No button text clipped, whatever font stands in for the form's.
        for (QPushButton *b : r.w.findChildren<QPushButton *>())
            QVERIFY2(b->width() >= b->sizeHint().width(), qPrintable(b->objectName()));
        QWidget *panel = r.get("groupBox_6");
        QWidget *log = r.get("groupBox_3");
        const QSize panelSize = panel->size();
        const QSize logSize = log->size();
        QCOMPARE(panelSize.height(), 200);
        // The log takes the extra room; the serial panel keeps its size.
        r.w.resize(r.w.size() + QSize(300, 200));
        QTRY_COMPARE(log->size(), logSize + QSize(300, 200));
        QCOMPARE(panel->size(), panelSize);
    }
};

QTEST_MAIN(tst_MainWindowForm)
#include "tst_mainwindowform.moc"
