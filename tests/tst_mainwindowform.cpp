// What the slots, the other tests and the user rely on in the main window's form:
// object names and classes, texts, validator ranges, start-up state, and layout.
#include "windowdriver.h"

#include <QtWidgets>

namespace {

struct Shown
{
    const char *name, *className;
    const char *text; // title, placeholder, current or plain text as shown
};

const Shown kForm[] = {
    {"groupBox_2", "QGroupBox", "电机1"},
    {"groupBox_9", "QGroupBox", "电机2"},
    {"groupBox_6", "QGroupBox", "串口"},
    {"groupBox_3", "QGroupBox", "接收"},
    {"lineEditMotor1Follow", "QLineEdit", "速度（0-100），单位%"},
    {"lineEditMotor1Back", "QLineEdit", "速度（0-100），单位%"},
    {"lineEditMotor1Freq", "QLineEdit", "1000-10000，单位Hz"},
    {"lineEditMotor2Follow", "QLineEdit", "速度（0-100），单位%"},
    {"lineEditMotor2Back", "QLineEdit", "速度（0-100），单位%"},
    {"lineEditMotor2Freq", "QLineEdit", "1000-10000，单位Hz"},
    {"lineEdit_addr", "QLineEdit", "1-254"},
    {"btnM1Follow", "QPushButton", "正转"},
    {"btnM1Back", "QPushButton", "反转"},
    {"btnM1Freq", "QPushButton", "修改频率"},
    {"btnM1Break", "QPushButton", "刹车"},
    {"btnM1Stop", "QPushButton", "停止"},
    {"btnM2Follow", "QPushButton", "正转"},
    {"btnM2Back", "QPushButton", "反转"},
    {"btnM2Freq", "QPushButton", "修改频率"},
    {"btnM2Break", "QPushButton", "刹车"},
    {"btnM2Stop", "QPushButton", "停止"},
    {"label_7", "QLabel", "串口号"},
    {"label_6", "QLabel", "波特率"},
    {"comboPort", "QComboBox", nullptr}, // the port scan fills it
    {"comboBaud", "QComboBox", "9600"},
    {"comboSetBaud", "QComboBox", "9600"},
    {"btnOpen", "QPushButton", "打开串口"},
    {"btnSetBaud", "QPushButton", "设置波特率"},
    {"btnWriteAddr", "QPushButton", "修改从机地址"},
    {"labelAll", "QLabel", ""},
    {"btnSystem", "QPushButton", "读取全部参数"},
    {"btnClear", "QPushButton", "清空接收"},
    {"textEditRead", "QTextEdit", ""},
    {"menu", "QMenu", "关于"},
    {"actionAaa", "QAction", "帮助"},
};

} // namespace

class tst_MainWindowForm : public QObject
{
    Q_OBJECT

    WindowDriver r;

private slots:
    void objects_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < int(std::size(kForm)); ++i)
            QTest::newRow(kForm[i].name) << i;
    }

    void objects()
    {
        QFETCH(int, index);
        const Shown &e = kForm[index];
        QObject *o = r.w.findChild<QObject *>(e.name);
        QVERIFY(o);
        QCOMPARE(o->metaObject()->className(), e.className);
        for (const char *shown : {"title", "currentText", "placeholderText", "plainText", "text"})
            if (e.text && o->property(shown).isValid()) {
                QCOMPARE(o->property(shown).toString(), QString::fromUtf8(e.text));
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
        if (auto *w = qobject_cast<QWidget *>(o))
            QCOMPARE(w->isEnabled(),
                     !QByteArrayList(std::begin(kDeviceControls), std::end(kDeviceControls))
                          .contains(e.name));
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
        // Editable, so a device path the scan does not list can be typed in.
        QVERIFY(r.get<QComboBox>("comboPort")->isEditable());
        QCOMPARE(r.w.windowTitle(), QStringLiteral("Zarnith"));
        QCOMPARE(r.get<QMenu>("menu")->actions(),
                 QList<QAction *>{r.w.findChild<QAction *>("actionAaa")});
    }

    void layout()
    {
        r.w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&r.w));
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
