// The main window as its form builds it: tree, cells, texts, constraints and start-up
// state. Object names are what the slots and the other tests rely on.
#include "windowdriver.h"

#include <QtWidgets>

namespace {

struct FormObject
{
    const char *name, *className, *parent;
    const char *cell; // "row,column[/rowSpan x columnSpan]" in the layout holding it; "" for none
    const char *text; // text, title or placeholder as shown; null when the class shows none
};

const FormObject kForm[] = {
    {"action2323", "QAction", "MainWindow", "", "2323 "},
    {"actionBangzhu", "QAction", "MainWindow", "", "bangzhu "},
    {"actionAaa", "QAction", "MainWindow", "", "帮助"},
    {"centralWidget", "QWidget", "MainWindow", "", nullptr},
    {"gridLayout", "QGridLayout", "centralWidget", "", nullptr},
    {"groupBox_4", "QGroupBox", "centralWidget", "0,0", ""},
    {"groupBox_5", "QGroupBox", "centralWidget", "1,0", ""},
    {"groupBox_3", "QGroupBox", "centralWidget", "2,0", "接收"},
    {"verticalLayout", "QVBoxLayout", "groupBox_3", "", nullptr},
    {"textEditRead", "QTextEdit", "groupBox_3", "0,0", nullptr},
    {"verticalLayout_2", "QVBoxLayout", "groupBox_4", "", nullptr},
    {"horizontalLayout", "QHBoxLayout", "verticalLayout_2", "0,0", nullptr},
    {"groupBox_2", "QGroupBox", "groupBox_4", "0,0", "电机1"},
    {"groupBox_9", "QGroupBox", "groupBox_4", "0,1", "电机2"},
    {"groupBox_6", "QGroupBox", "groupBox_4", "0,2", "串口"},
    {"gridLayout_2", "QGridLayout", "groupBox_2", "", nullptr},
    {"lineEditMotor1Follow", "QLineEdit", "groupBox_2", "2,0", "速度（0-100），单位%"},
    {"btnM1Follow", "QPushButton", "groupBox_2", "2,1", "正转"},
    {"lineEditMotor1Back", "QLineEdit", "groupBox_2", "3,0", "速度（0-100），单位%"},
    {"btnM1Back", "QPushButton", "groupBox_2", "3,1", "反转"},
    {"lineEditMotor1Freq", "QLineEdit", "groupBox_2", "5,0", "1000-10000，单位Hz"},
    {"btnM1Freq", "QPushButton", "groupBox_2", "5,1", "修改频率"},
    {"btnM1Break", "QPushButton", "groupBox_2", "6,0", "刹车"}, // brake left, stop right
    {"btnM1Stop", "QPushButton", "groupBox_2", "6,1", "停止"},
    {"gridLayout_7", "QGridLayout", "groupBox_9", "", nullptr},
    {"lineEditMotor2Follow", "QLineEdit", "groupBox_9", "2,0", "速度（0-100），单位%"},
    {"btnM2Follow", "QPushButton", "groupBox_9", "2,1", "正转"},
    {"lineEditMotor2Back", "QLineEdit", "groupBox_9", "3,0", "速度（0-100），单位%"},
    {"btnM2Back", "QPushButton", "groupBox_9", "3,1", "反转"},
    {"lineEditMotor2Freq", "QLineEdit", "groupBox_9", "5,0", "1000-10000，单位Hz"},
    {"btnM2Freq", "QPushButton", "groupBox_9", "5,1", "修改频率"},
    {"btnM2Break", "QPushButton", "groupBox_9", "6,0", "刹车"},
    {"btnM2Stop", "QPushButton", "groupBox_9", "6,1", "停止"},
    {"gridLayout_5", "QGridLayout", "groupBox_6", "", nullptr},
    {"label_7", "QLabel", "groupBox_6", "0,0", "串口号"},
    {"comboPort", "QComboBox", "groupBox_6", "0,1/1x3", nullptr},
    {"label_6", "QLabel", "groupBox_6", "1,0", "波特率"},
    {"comboBaud", "QComboBox", "groupBox_6", "1,1", nullptr},
    {"btnOpen", "QPushButton", "groupBox_6", "1,3", "打开串口"},
    {"comboSetBaud", "QComboBox", "groupBox_6", "2,0/1x2", nullptr},
    {"btnSetBaud", "QPushButton", "groupBox_6", "2,3", "设置波特率"},
    {"lineEdit_addr", "QLineEdit", "groupBox_6", "3,0/1x2", "1-254"},
    {"btnWriteAddr", "QPushButton", "groupBox_6", "3,3", "修改从机地址"},
    {"verticalLayout_3", "QVBoxLayout", "groupBox_5", "", nullptr},
    {"horizontalLayout_2", "QHBoxLayout", "verticalLayout_3", "0,0", nullptr},
    {"groupBox_7", "QGroupBox", "groupBox_5", "0,0", ""},
    {"gridLayout_3", "QGridLayout", "groupBox_7", "", nullptr},
    {"labelAll", "QLabel", "groupBox_7", "0,0", ""},
    {"btnSystem", "QPushButton", "groupBox_7", "0,1", "读取全部参数"},
    {"btnClear", "QPushButton", "groupBox_7", "0,2", "清空接收"},
    {"menuBar", "QMenuBar", "MainWindow", "", nullptr},
    {"menu", "QMenu", "menuBar", "", "关于"},
    {"mainToolBar", "QToolBar", "MainWindow", "", nullptr},
    {"statusBar", "QStatusBar", "MainWindow", "", nullptr},
};

// Cell of every item of the form's layouts; a box layout counts as one row or column.
QHash<const QObject *, QString> cellsIn(QObject *window)
{
    QHash<const QObject *, QString> cells;
    for (QLayout *layout : window->findChildren<QLayout *>())
        for (int i = 0; !layout->inherits("QMainWindowLayout") && i < layout->count(); ++i) {
            int r = i, c = 0, rs = 1, cs = 1;
            if (auto *grid = qobject_cast<QGridLayout *>(layout))
                grid->getItemPosition(i, &r, &c, &rs, &cs);
            else if (qobject_cast<QHBoxLayout *>(layout))
                std::swap(r, c);
            const QString span = rs * cs > 1 ? QStringLiteral("/%1x%2").arg(rs).arg(cs) : QString();
            QLayoutItem *item = layout->itemAt(i);
            cells[item->widget() ? static_cast<QObject *>(item->widget()) : item->layout()] =
                QStringLiteral("%1,%2").arg(r).arg(c) + span;
        }
    return cells;
}

// Explicit minimum and maximum sizes; every other widget has none.
const int kMax = QWIDGETSIZE_MAX;
const QHash<QByteArray, QPair<QSize, QSize>> kLimits = {{"groupBox_4", {{0, 0}, {kMax, 250}}},
                                                        {"groupBox_5", {{0, 0}, {kMax, 250}}},
                                                        {"groupBox_6", {{250, 200}, {250, 200}}},
                                                        {"btnSystem", {{0, 0}, {100, kMax}}},
                                                        {"btnClear", {{0, 0}, {60, kMax}}}};

} // namespace

class tst_MainWindowForm : public QObject
{
    Q_OBJECT

    MainWindow m_window;

    // The help dialog is the window's child too and brings its own "gridLayout".
    template <typename T = QObject> T *find(const QString &name)
    {
        QList<QObject *> found;
        for (QObject *o : m_window.findChildren<QObject *>(name))
            if (!qobject_cast<QDialog *>(o->parent()))
                found << o;
        return found.size() == 1 ? qobject_cast<T *>(found.first()) : nullptr;
    }

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
        const FormObject &e = kForm[index];
        QObject *o = find(e.name);
        QVERIFY2(o, "missing, or more than one");
        QCOMPARE(o->metaObject()->className(), e.className);
        QCOMPARE(o->parent()->objectName(), QString::fromLatin1(e.parent));
        QCOMPARE(cellsIn(&m_window).value(o), QString::fromLatin1(e.cell));
        // The first of these the class has is what it shows.
        for (const char *shown : {"title", "placeholderText", "text"})
            if (e.text && o->property(shown).isValid()) {
                QCOMPARE(o->property(shown).toString(), QString::fromUtf8(e.text));
                break;
            }
        if (auto *layout = qobject_cast<QLayout *>(o)) {
            const int m = qobject_cast<QLayout *>(o->parent()) ? 0 : 11; // nested: no margins
            QCOMPARE(layout->contentsMargins(), QMargins(m, m, m, m));
            QCOMPARE(layout->spacing(), 6);
        }
        if (auto *edit = qobject_cast<QLineEdit *>(o)) {
            // Takes exactly the range its placeholder announces; only the address starts filled.
            auto *v = qobject_cast<const QIntValidator *>(edit->validator());
            QVERIFY(v);
            QCOMPARE(QStringLiteral("%1-%2").arg(v->bottom()).arg(v->top()),
                     QRegularExpression("\\d+-\\d+").match(edit->placeholderText()).captured());
            QCOMPARE(edit->text(), QLatin1String(qstrcmp(e.name, "lineEdit_addr") ? "" : "1"));
        }
        auto *w = qobject_cast<QWidget *>(o);
        if (!w)
            return;
        QCOMPARE(qMakePair(w->minimumSize(), w->maximumSize()),
                 kLimits.value(e.name, {{0, 0}, {kMax, kMax}}));
        // Device controls wait for the module's answer; the rest is usable at once.
        const QByteArrayList locked(std::begin(kDeviceControls), std::end(kDeviceControls));
        QCOMPARE(w->isEnabled(), !locked.contains(e.name));
        // 宋体 12 pt on the serial panel's labels and buttons, 12 pt in the log, none elsewhere.
        const QByteArrayList song = {"label_6", "label_7", "btnOpen", "btnSetBaud"};
        QCOMPARE(w->testAttribute(Qt::WA_SetFont) ? w->font().toString().section(',', 0, 1) : "",
                 song.contains(e.name)       ? QStringLiteral("宋体,12")
                 : w == find("textEditRead") ? w->parentWidget()->font().family() + ",12"
                                             : "");
    }

    void boxesAndValidators()
    {
        // Both baud boxes start at the module's factory speed, not the first item.
        for (const char *name : {"comboBaud", "comboSetBaud"}) {
            auto *box = find<QComboBox>(name);
            QStringList items;
            for (int i = 0; box && i < box->count(); ++i)
                items << box->itemText(i);
            QCOMPARE(items.join(' '), "1200 2400 4800 9600 14400 19200 57600 115200 128000");
            QCOMPARE(box->currentText(), QStringLiteral("9600"));
        }
        // Editable, so a device path the scan does not list can be typed in.
        QVERIFY(find<QComboBox>("comboPort")->isEditable());
        // One validator per quantity: with the ranges above, both motors share two of them.
        QSet<const QValidator *> validators;
        for (const FormObject &e : kForm)
            if (auto *edit = find<QLineEdit>(e.name))
                validators << edit->validator();
        QCOMPARE(validators.size(), 3);
    }

    void windowAndMenu()
    {
        QCOMPARE(m_window.windowTitle(), QStringLiteral("Zarnith"));
        auto *menu = find<QMenu>("menu");
        QCOMPARE(m_window.menuBar()->actions(), QList<QAction *>{menu->menuAction()});
        QCOMPARE(menu->actions(), QList<QAction *>{find<QAction>("actionAaa")});
        // The two leftovers sit in no menu, tool bar or other widget.
        QVERIFY(m_window.actions().isEmpty());
        for (QWidget *w : m_window.findChildren<QWidget *>())
            for (QAction *a : w->actions())
                QVERIFY2(a->objectName() != "action2323" && a->objectName() != "actionBangzhu",
                         qPrintable(w->objectName()));
    }

    void extraHeightGoesToLog()
    {
        // The two bands keep their height, the serial panel its width.
        const QSizePolicy band(QSizePolicy::Preferred, QSizePolicy::Fixed);
        QCOMPARE(find<QWidget>("groupBox_4")->sizePolicy(), band);
        QCOMPARE(find<QWidget>("groupBox_5")->sizePolicy(), band);
        QCOMPARE(find<QWidget>("groupBox_6")->sizePolicy(),
                 QSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred));
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const auto sizes = [&window] {
            QList<QSize> s;
            for (const char *name : {"groupBox_4", "groupBox_5", "groupBox_3", "groupBox_6"})
                s << window.findChild<QWidget *>(name)->size();
            return s;
        };
        const QList<QSize> before = sizes();
        window.resize(window.size() + QSize(300, 200));
        // The bands and the log widen; only the log grows taller; the serial panel stays.
        QTRY_COMPARE(sizes(), (QList<QSize>{before[0] + QSize(300, 0), before[1] + QSize(300, 0),
                                            before[2] + QSize(300, 200), before[3]}));
    }
};

QTEST_MAIN(tst_MainWindowForm)
#include "tst_mainwindowform.moc"
