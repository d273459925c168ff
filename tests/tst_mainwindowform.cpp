// The main window as the controller receives it from its form: tree, cells, texts,
// constraints and start-up state. Object names are what the slots rely on.

#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QtTest>

#include <QAction>
#include <QBoxLayout>
#include <QComboBox>
#include <QDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTextEdit>
#include <QToolBar>

namespace {

struct FormObject
{
    const char *name;
    const char *className;
    const char *parent;
    const char *holder; // layout the object sits in; empty when none
};

// In creation order.
const FormObject kForm[] = {
    {"action2323", "QAction", "MainWindow", ""},
    {"actionBangzhu", "QAction", "MainWindow", ""},
    {"actionAaa", "QAction", "MainWindow", ""},
    {"centralWidget", "QWidget", "MainWindow", ""},
    {"gridLayout", "QGridLayout", "centralWidget", ""},
    {"groupBox_3", "QGroupBox", "centralWidget", "gridLayout"},
    {"verticalLayout", "QVBoxLayout", "groupBox_3", ""},
    {"textEditRead", "QTextEdit", "groupBox_3", "verticalLayout"},
    {"groupBox_4", "QGroupBox", "centralWidget", "gridLayout"},
    {"verticalLayout_2", "QVBoxLayout", "groupBox_4", ""},
    {"horizontalLayout", "QHBoxLayout", "verticalLayout_2", "verticalLayout_2"},
    {"groupBox_2", "QGroupBox", "groupBox_4", "horizontalLayout"},
    {"gridLayout_2", "QGridLayout", "groupBox_2", ""},
    {"lineEditMotor1Follow", "QLineEdit", "groupBox_2", "gridLayout_2"},
    {"lineEditMotor1Freq", "QLineEdit", "groupBox_2", "gridLayout_2"},
    {"btnM1Follow", "QPushButton", "groupBox_2", "gridLayout_2"},
    {"btnM1Back", "QPushButton", "groupBox_2", "gridLayout_2"},
    {"lineEditMotor1Back", "QLineEdit", "groupBox_2", "gridLayout_2"},
    {"btnM1Stop", "QPushButton", "groupBox_2", "gridLayout_2"},
    {"btnM1Break", "QPushButton", "groupBox_2", "gridLayout_2"},
    {"btnM1Freq", "QPushButton", "groupBox_2", "gridLayout_2"},
    {"groupBox_9", "QGroupBox", "groupBox_4", "horizontalLayout"},
    {"gridLayout_7", "QGridLayout", "groupBox_9", ""},
    {"lineEditMotor2Back", "QLineEdit", "groupBox_9", "gridLayout_7"},
    {"btnM2Back", "QPushButton", "groupBox_9", "gridLayout_7"},
    {"lineEditMotor2Follow", "QLineEdit", "groupBox_9", "gridLayout_7"},
    {"lineEditMotor2Freq", "QLineEdit", "groupBox_9", "gridLayout_7"},
    {"btnM2Follow", "QPushButton", "groupBox_9", "gridLayout_7"},
    {"btnM2Stop", "QPushButton", "groupBox_9", "gridLayout_7"},
    {"btnM2Break", "QPushButton", "groupBox_9", "gridLayout_7"},
    {"btnM2Freq", "QPushButton", "groupBox_9", "gridLayout_7"},
    {"groupBox_6", "QGroupBox", "groupBox_4", "horizontalLayout"},
    {"gridLayout_5", "QGridLayout", "groupBox_6", ""},
    {"comboPort", "QComboBox", "groupBox_6", "gridLayout_5"},
    {"lineEdit_addr", "QLineEdit", "groupBox_6", "gridLayout_5"},
    {"label_6", "QLabel", "groupBox_6", "gridLayout_5"},
    {"label_7", "QLabel", "groupBox_6", "gridLayout_5"},
    {"btnWriteAddr", "QPushButton", "groupBox_6", "gridLayout_5"},
    {"btnOpen", "QPushButton", "groupBox_6", "gridLayout_5"},
    {"comboSetBaud", "QComboBox", "groupBox_6", "gridLayout_5"},
    {"btnSetBaud", "QPushButton", "groupBox_6", "gridLayout_5"},
    {"comboBaud", "QComboBox", "groupBox_6", "gridLayout_5"},
    {"groupBox_5", "QGroupBox", "centralWidget", "gridLayout"},
    {"verticalLayout_3", "QVBoxLayout", "groupBox_5", ""},
    {"horizontalLayout_2", "QHBoxLayout", "verticalLayout_3", "verticalLayout_3"},
    {"groupBox_7", "QGroupBox", "groupBox_5", "horizontalLayout_2"},
    {"gridLayout_3", "QGridLayout", "groupBox_7", ""},
    {"btnSystem", "QPushButton", "groupBox_7", "gridLayout_3"},
    {"btnClear", "QPushButton", "groupBox_7", "gridLayout_3"},
    {"labelAll", "QLabel", "groupBox_7", "gridLayout_3"},
    {"menuBar", "QMenuBar", "MainWindow", ""},
    {"menu", "QMenu", "menuBar", ""},
    {"mainToolBar", "QToolBar", "MainWindow", ""},
    {"statusBar", "QStatusBar", "MainWindow", ""},
};

const QStringList kDeviceControls =
    QStringLiteral("btnM1Back btnM1Follow btnM1Break btnM2Back btnM2Follow btnM2Break btnSystem "
                   "btnM1Freq btnM2Freq btnM1Stop btnM2Stop btnWriteAddr")
        .split(QLatin1Char(' '));

const QStringList kBauds = {"1200",  "2400",  "4800",   "9600",  "14400",
                            "19200", "57600", "115200", "128000"};

bool isFormName(const QString &name)
{
    for (const FormObject &o : kForm)
        if (name == QLatin1String(o.name))
            return true;
    return false;
}

// The help dialog is a child of the window and brings its own "gridLayout".
bool insideDialog(const QObject *o, const QObject *window)
{
    for (; o && o != window; o = o->parent())
        if (qobject_cast<const QDialog *>(o))
            return true;
    return false;
}

QList<QObject *> formObjects(QMainWindow *window, const QString &name)
{
    if (name == window->objectName())
        return {window};
    QList<QObject *> found;
    for (QObject *o : window->findChildren<QObject *>(name))
        if (!insideDialog(o, window))
            found << o;
    return found;
}

QObject *formObject(QMainWindow *window, const QString &name)
{
    const QList<QObject *> found = formObjects(window, name);
    return found.size() == 1 ? found.first() : nullptr;
}

bool layoutHolds(QLayout *layout, QObject *object)
{
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem *item = layout->itemAt(i);
        if (item->widget() == object || item->layout() == object)
            return true;
    }
    return false;
}

QString itemName(QLayoutItem *item)
{
    if (item->widget())
        return item->widget()->objectName();
    if (item->layout())
        return item->layout()->objectName();
    return QStringLiteral("<spacer>");
}

} // namespace

class tst_MainWindowForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void objectTree_data();
    void objectTree();
    void creationOrder();
    void focusFollowsCreationOrder();
    void gridCells_data();
    void gridCells();
    void gridShape_data();
    void gridShape();
    void boxLayouts_data();
    void boxLayouts();
    void layoutSpacing_data();
    void layoutSpacing();
    void properties_data();
    void properties();
    void fonts_data();
    void fonts();
    void sizeConstraints_data();
    void sizeConstraints();
    void baudBoxes_data();
    void baudBoxes();
    void enabledAtStart_data();
    void enabledAtStart();
    void validators_data();
    void validators();
    void validatorsAreShared();
    void menuAndUnusedActions();
    void windowFrame();
    void extraHeightGoesToLog();
    void logAcceptsTypingAndClears();

private:
    template <typename T> T *find(const char *name)
    {
        T *object = m_window->findChild<T *>(QLatin1String(name));
        if (!object)
            qWarning("no %s", name);
        return object;
    }

    MainWindow *m_window = nullptr;
};

void tst_MainWindowForm::initTestCase()
{
    m_window = new MainWindow;
}

void tst_MainWindowForm::cleanupTestCase()
{
    delete m_window;
}

void tst_MainWindowForm::objectTree_data()
{
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QString>("holder");
    for (const FormObject &o : kForm)
        QTest::newRow(o.name) << o.className << o.parent << o.holder;
}

void tst_MainWindowForm::objectTree()
{
    QFETCH(QString, className);
    QFETCH(QString, parent);
    QFETCH(QString, holder);
    const QString name = QString::fromLatin1(QTest::currentDataTag());

    const QList<QObject *> found = formObjects(m_window, name);
    QCOMPARE(found.size(), 1);
    QObject *object = found.first();
    QCOMPARE(QString::fromLatin1(object->metaObject()->className()), className);
    QObject *expectedParent = formObject(m_window, parent);
    QVERIFY(expectedParent);
    QCOMPARE(object->parent(), expectedParent);

    if (!holder.isEmpty()) {
        auto *layout = qobject_cast<QLayout *>(formObject(m_window, holder));
        QVERIFY(layout);
        QVERIFY(layoutHolds(layout, object));
    } else if (auto *layout = qobject_cast<QLayout *>(object)) {
        // Installed on its parent widget.
        QCOMPARE(static_cast<QWidget *>(expectedParent)->layout(), layout);
    }

    // Everything but the popup menu shows up with the window.
    auto *widget = qobject_cast<QWidget *>(object);
    if (widget && name != QLatin1String("menu"))
        QVERIFY(widget->isVisibleTo(m_window));
}

void tst_MainWindowForm::creationOrder()
{
    // Siblings appear in the parent's child list in the order they were created.
    QMap<QString, QStringList> expected;
    QStringList parents;
    for (const FormObject &o : kForm) {
        if (!expected.contains(o.parent))
            parents << o.parent;
        expected[o.parent] << o.name;
    }
    for (const QString &parentName : parents) {
        QObject *parent = formObject(m_window, parentName);
        QVERIFY2(parent, qPrintable(parentName));
        QStringList actual;
        for (QObject *child : parent->children())
            if (isFormName(child->objectName()))
                actual << child->objectName();
        QCOMPARE(actual, expected.value(parentName));
    }
}

void tst_MainWindowForm::focusFollowsCreationOrder()
{
    const QStringList expected =
        QStringLiteral("textEditRead lineEditMotor1Follow lineEditMotor1Freq btnM1Follow btnM1Back "
                       "lineEditMotor1Back btnM1Stop btnM1Break btnM1Freq lineEditMotor2Back "
                       "btnM2Back lineEditMotor2Follow lineEditMotor2Freq btnM2Follow btnM2Stop "
                       "btnM2Break btnM2Freq comboPort lineEdit_addr btnWriteAddr btnOpen "
                       "comboSetBaud btnSetBaud comboBaud btnSystem btnClear")
            .split(QLatin1Char(' '));
    QStringList chain;
    for (QWidget *w = m_window->nextInFocusChain(); w && w != m_window; w = w->nextInFocusChain())
        if (expected.contains(w->objectName()) && !chain.contains(w->objectName()))
            chain << w->objectName();
    QCOMPARE(chain, expected);
}

void tst_MainWindowForm::gridCells_data()
{
    QTest::addColumn<QString>("grid");
    QTest::addColumn<QString>("widget");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("rowSpan");
    QTest::addColumn<int>("columnSpan");
    const auto cell = [](const char *grid, const QByteArray &widget, int row, int column,
                         int columnSpan = 1) {
        QTest::newRow(widget.constData())
            << QString::fromLatin1(grid) << QString::fromLatin1(widget) << row << column << 1
            << columnSpan;
    };
    cell("gridLayout", "groupBox_4", 0, 0);
    cell("gridLayout", "groupBox_5", 1, 0);
    cell("gridLayout", "groupBox_3", 2, 0);

    for (const char *grid : {"gridLayout_2", "gridLayout_7"}) {
        const bool one = qstrcmp(grid, "gridLayout_2") == 0;
        const auto name = [one](const char *stem) {
            return QByteArray(stem).replace('#', one ? '1' : '2');
        };
        cell(grid, name("lineEditMotor#Follow"), 2, 0);
        cell(grid, name("btnM#Follow"), 2, 1);
        cell(grid, name("lineEditMotor#Back"), 3, 0);
        cell(grid, name("btnM#Back"), 3, 1);
        cell(grid, name("lineEditMotor#Freq"), 5, 0);
        cell(grid, name("btnM#Freq"), 5, 1);
        // Brake on the left, stop on the right.
        cell(grid, name("btnM#Break"), 6, 0);
        cell(grid, name("btnM#Stop"), 6, 1);
    }

    cell("gridLayout_5", "label_7", 0, 0);
    cell("gridLayout_5", "comboPort", 0, 1, 3);
    cell("gridLayout_5", "label_6", 1, 0);
    cell("gridLayout_5", "comboBaud", 1, 1);
    cell("gridLayout_5", "btnOpen", 1, 3);
    cell("gridLayout_5", "comboSetBaud", 2, 0, 2);
    cell("gridLayout_5", "btnSetBaud", 2, 3);
    cell("gridLayout_5", "lineEdit_addr", 3, 0, 2);
    cell("gridLayout_5", "btnWriteAddr", 3, 3);

    cell("gridLayout_3", "labelAll", 0, 0);
    cell("gridLayout_3", "btnSystem", 0, 1);
    cell("gridLayout_3", "btnClear", 0, 2);
}

void tst_MainWindowForm::gridCells()
{
    QFETCH(QString, grid);
    QFETCH(QString, widget);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(int, rowSpan);
    QFETCH(int, columnSpan);

    auto *layout = m_window->findChild<QGridLayout *>(grid);
    auto *w = m_window->findChild<QWidget *>(widget);
    QVERIFY(layout);
    QVERIFY(w);
    const int index = layout->indexOf(w);
    QVERIFY(index >= 0);
    int r = -1, c = -1, rs = -1, cs = -1;
    layout->getItemPosition(index, &r, &c, &rs, &cs);
    QCOMPARE(r, row);
    QCOMPARE(c, column);
    QCOMPARE(rs, rowSpan);
    QCOMPARE(cs, columnSpan);
    QCOMPARE(int(layout->itemAt(index)->alignment()), 0);
}

void tst_MainWindowForm::gridShape_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("items");
    QTest::newRow("gridLayout") << 3 << 1 << 3;
    QTest::newRow("gridLayout_2") << 7 << 2 << 8;
    QTest::newRow("gridLayout_7") << 7 << 2 << 8;
    QTest::newRow("gridLayout_5") << 4 << 4 << 9;
    QTest::newRow("gridLayout_3") << 1 << 3 << 3;
}

void tst_MainWindowForm::gridShape()
{
    QFETCH(int, rows);
    QFETCH(int, columns);
    QFETCH(int, items);
    auto *grid = m_window->findChild<QGridLayout *>(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(grid);
    QCOMPARE(grid->rowCount(), rows);
    QCOMPARE(grid->columnCount(), columns);
    QCOMPARE(grid->count(), items);
}

void tst_MainWindowForm::boxLayouts_data()
{
    QTest::addColumn<QStringList>("items");
    QTest::newRow("verticalLayout") << QStringList{"textEditRead"};
    QTest::newRow("verticalLayout_2") << QStringList{"horizontalLayout"};
    QTest::newRow("horizontalLayout") << QStringList{"groupBox_2", "groupBox_9", "groupBox_6"};
    QTest::newRow("verticalLayout_3") << QStringList{"horizontalLayout_2"};
    QTest::newRow("horizontalLayout_2") << QStringList{"groupBox_7"};
}

void tst_MainWindowForm::boxLayouts()
{
    QFETCH(QStringList, items);
    auto *box = m_window->findChild<QBoxLayout *>(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(box);
    QStringList actual;
    for (int i = 0; i < box->count(); ++i) {
        actual << itemName(box->itemAt(i));
        QCOMPARE(box->stretch(i), 0);
        QCOMPARE(int(box->itemAt(i)->alignment()), 0);
    }
    QCOMPARE(actual, items);
}

void tst_MainWindowForm::layoutSpacing_data()
{
    QTest::addColumn<int>("margin");
    for (const char *name : {"gridLayout", "verticalLayout", "verticalLayout_2", "gridLayout_2",
                             "gridLayout_7", "gridLayout_5", "verticalLayout_3", "gridLayout_3"})
        QTest::newRow(name) << 11;
    // Nested layouts bring no margins of their own.
    QTest::newRow("horizontalLayout") << 0;
    QTest::newRow("horizontalLayout_2") << 0;
}

void tst_MainWindowForm::layoutSpacing()
{
    QFETCH(int, margin);
    auto *layout = m_window->findChild<QLayout *>(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(layout);
    QCOMPARE(layout->spacing(), 6);
    QCOMPARE(layout->contentsMargins(), QMargins(margin, margin, margin, margin));
}

void tst_MainWindowForm::properties_data()
{
    QTest::addColumn<QString>("object");
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QVariant>("value");
    const auto row = [](const QByteArray &object, const char *property, const QVariant &value) {
        QTest::newRow(QByteArray(object + '.' + property).constData())
            << QString::fromLatin1(object) << QByteArray(property) << value;
    };
    const auto text = [row](const QByteArray &object, const char *property, const QString &value) {
        row(object, property, value);
    };
    const auto flag = [row](const QByteArray &object, const char *property, bool value) {
        row(object, property, value);
    };
    const QString speed = QStringLiteral("速度（0-100），单位%");
    const QString frequency = QStringLiteral("1000-10000，单位Hz");

    text("MainWindow", "windowTitle", "Zarnith");
    text("action2323", "text", "2323 ");
    text("actionBangzhu", "text", "bangzhu ");
    text("actionAaa", "text", QStringLiteral("帮助"));
    text("menu", "title", QStringLiteral("关于"));

    text("groupBox_3", "title", QStringLiteral("接收"));
    text("groupBox_4", "title", "");
    text("groupBox_2", "title", QStringLiteral("电机1"));
    text("groupBox_9", "title", QStringLiteral("电机2"));
    text("groupBox_6", "title", QStringLiteral("串口"));
    text("groupBox_5", "title", "");
    text("groupBox_7", "title", "");

    for (const char *m : {"1", "2"}) {
        const auto name = [m](const char *stem) {
            return QByteArray(stem).replace('#', m);
        };
        text(name("lineEditMotor#Follow"), "placeholderText", speed);
        text(name("lineEditMotor#Back"), "placeholderText", speed);
        text(name("lineEditMotor#Freq"), "placeholderText", frequency);
        for (const char *stem :
             {"lineEditMotor#Follow", "lineEditMotor#Back", "lineEditMotor#Freq"}) {
            text(name(stem), "text", "");
            flag(name(stem), "readOnly", false);
        }
        text(name("btnM#Follow"), "text", QStringLiteral("正转"));
        text(name("btnM#Back"), "text", QStringLiteral("反转"));
        text(name("btnM#Freq"), "text", QStringLiteral("修改频率"));
        text(name("btnM#Break"), "text", QStringLiteral("刹车"));
        text(name("btnM#Stop"), "text", QStringLiteral("停止"));
    }

    text("label_7", "text", QStringLiteral("串口号"));
    text("label_6", "text", QStringLiteral("波特率"));
    text("btnOpen", "text", QStringLiteral("打开串口"));
    text("btnSetBaud", "text", QStringLiteral("设置波特率"));
    text("btnWriteAddr", "text", QStringLiteral("修改从机地址"));
    text("lineEdit_addr", "text", "1");
    text("lineEdit_addr", "placeholderText", "1-254");
    flag("lineEdit_addr", "readOnly", false);
    // Editable, so a device path the scan does not list can be typed in.
    flag("comboPort", "editable", true);
    flag("comboBaud", "editable", false);
    flag("comboSetBaud", "editable", false);

    text("btnSystem", "text", QStringLiteral("读取全部参数"));
    text("btnClear", "text", QStringLiteral("清空接收"));
    text("labelAll", "text", "");
    text("textEditRead", "plainText", "");
    flag("textEditRead", "readOnly", false);
}

void tst_MainWindowForm::properties()
{
    QFETCH(QString, object);
    QFETCH(QByteArray, property);
    QFETCH(QVariant, value);
    QObject *o = formObject(m_window, object);
    QVERIFY(o);
    const QVariant actual = o->property(property.constData());
    QVERIFY(actual.isValid());
    QCOMPARE(actual, value);
}

void tst_MainWindowForm::fonts_data()
{
    // An empty family means the family is inherited; point size 0 means no font of its own.
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("pointSize");
    QTest::newRow("textEditRead") << QString() << 12;
    for (const char *name : {"label_6", "label_7", "btnOpen", "btnSetBaud"})
        QTest::newRow(name) << QStringLiteral("宋体") << 12;
    for (const char *name :
         {"comboPort", "lineEdit_addr", "btnWriteAddr", "comboSetBaud", "comboBaud", "btnM1Follow",
          "lineEditMotor2Freq", "btnSystem", "labelAll", "groupBox_6"})
        QTest::newRow(name) << QString() << 0;
}

void tst_MainWindowForm::fonts()
{
    QFETCH(QString, family);
    QFETCH(int, pointSize);
    auto *w = m_window->findChild<QWidget *>(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(w);
    if (pointSize == 0) {
        QVERIFY(!w->testAttribute(Qt::WA_SetFont));
        return;
    }
    QCOMPARE(w->font().pointSize(), pointSize);
    QCOMPARE(w->font().family(), family.isEmpty() ? w->parentWidget()->font().family() : family);
}

void tst_MainWindowForm::sizeConstraints_data()
{
    // Policy -1: whatever the class brings.
    QTest::addColumn<int>("horizontal");
    QTest::addColumn<int>("vertical");
    QTest::addColumn<QSize>("minimum");
    QTest::addColumn<QSize>("maximum");
    const int max = QWIDGETSIZE_MAX;
    const int preferred = QSizePolicy::Preferred;
    const int fixed = QSizePolicy::Fixed;
    QTest::newRow("groupBox_4") << preferred << fixed << QSize(0, 0) << QSize(max, 250);
    QTest::newRow("groupBox_5") << preferred << fixed << QSize(0, 0) << QSize(max, 250);
    QTest::newRow("groupBox_6") << fixed << preferred << QSize(250, 200) << QSize(250, 200);
    QTest::newRow("groupBox_3") << preferred << preferred << QSize(0, 0) << QSize(max, max);
    QTest::newRow("btnSystem") << -1 << -1 << QSize(0, 0) << QSize(100, max);
    QTest::newRow("btnClear") << -1 << -1 << QSize(0, 0) << QSize(60, max);
    QTest::newRow("MainWindow") << -1 << -1 << QSize(0, 0) << QSize(max, max);
}

void tst_MainWindowForm::sizeConstraints()
{
    QFETCH(int, horizontal);
    QFETCH(int, vertical);
    QFETCH(QSize, minimum);
    QFETCH(QSize, maximum);
    auto *w =
        qobject_cast<QWidget *>(formObject(m_window, QString::fromLatin1(QTest::currentDataTag())));
    QVERIFY(w);
    QCOMPARE(w->minimumSize(), minimum);
    QCOMPARE(w->maximumSize(), maximum);
    const QSizePolicy policy = w->sizePolicy();
    QCOMPARE(policy.horizontalStretch(), 0);
    QCOMPARE(policy.verticalStretch(), 0);
    if (horizontal >= 0) {
        QCOMPARE(int(policy.horizontalPolicy()), horizontal);
        QCOMPARE(int(policy.verticalPolicy()), vertical);
    }
}

void tst_MainWindowForm::baudBoxes_data()
{
    QTest::addColumn<QString>("box");
    QTest::newRow("comboBaud") << "comboBaud";
    QTest::newRow("comboSetBaud") << "comboSetBaud";
}

void tst_MainWindowForm::baudBoxes()
{
    QFETCH(QString, box);
    auto *combo = m_window->findChild<QComboBox *>(box);
    QVERIFY(combo);
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    QCOMPARE(items, kBauds);
    // Not the first item: the module leaves the factory at 9600.
    QCOMPARE(combo->currentIndex(), 3);
    QCOMPARE(combo->currentText(), QStringLiteral("9600"));
}

void tst_MainWindowForm::enabledAtStart_data()
{
    QTest::addColumn<bool>("enabled");
    for (const QString &name : kDeviceControls)
        QTest::newRow(qPrintable(name)) << false;
    for (const char *name :
         {"btnOpen", "btnSetBaud", "btnClear", "comboPort", "comboBaud", "comboSetBaud",
          "lineEdit_addr", "lineEditMotor1Follow", "lineEditMotor1Back", "lineEditMotor1Freq",
          "lineEditMotor2Follow", "lineEditMotor2Back", "lineEditMotor2Freq", "textEditRead"})
        QTest::newRow(name) << true;
}

void tst_MainWindowForm::enabledAtStart()
{
    QFETCH(bool, enabled);
    auto *w = m_window->findChild<QWidget *>(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(w);
    QCOMPARE(w->isEnabled(), enabled);
}

void tst_MainWindowForm::validators_data()
{
    QTest::addColumn<int>("bottom");
    QTest::addColumn<int>("top");
    for (const char *name : {"lineEditMotor1Follow", "lineEditMotor2Follow", "lineEditMotor1Back",
                             "lineEditMotor2Back"})
        QTest::newRow(name) << 0 << 100;
    QTest::newRow("lineEditMotor1Freq") << 1000 << 10000;
    QTest::newRow("lineEditMotor2Freq") << 1000 << 10000;
    QTest::newRow("lineEdit_addr") << 1 << 254;
}

void tst_MainWindowForm::validators()
{
    QFETCH(int, bottom);
    QFETCH(int, top);
    auto *edit = m_window->findChild<QLineEdit *>(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(edit);
    auto *validator = qobject_cast<const QIntValidator *>(edit->validator());
    QVERIFY(validator);
    QCOMPARE(validator->bottom(), bottom);
    QCOMPARE(validator->top(), top);
    QCOMPARE(validator->parent(), m_window);
}

void tst_MainWindowForm::validatorsAreShared()
{
    const auto validatorOf = [this](const char *name) {
        QLineEdit *edit = find<QLineEdit>(name);
        return edit ? edit->validator() : nullptr;
    };
    const QValidator *speed = validatorOf("lineEditMotor1Follow");
    const QValidator *frequency = validatorOf("lineEditMotor1Freq");
    const QValidator *address = validatorOf("lineEdit_addr");
    QVERIFY(speed && frequency && address);
    QCOMPARE(validatorOf("lineEditMotor2Follow"), speed);
    QCOMPARE(validatorOf("lineEditMotor1Back"), speed);
    QCOMPARE(validatorOf("lineEditMotor2Back"), speed);
    QCOMPARE(validatorOf("lineEditMotor2Freq"), frequency);
    QVERIFY(speed != frequency && speed != address && frequency != address);
    QCOMPARE(m_window->findChildren<QIntValidator *>(QString(), Qt::FindDirectChildrenOnly).size(),
             3);
}

void tst_MainWindowForm::menuAndUnusedActions()
{
    auto *bar = find<QMenuBar>("menuBar");
    auto *menu = find<QMenu>("menu");
    auto *help = find<QAction>("actionAaa");
    QVERIFY(bar && menu && help);
    QCOMPARE(bar->actions(), QList<QAction *>{menu->menuAction()});
    QCOMPARE(menu->actions(), QList<QAction *>{help});
    QCOMPARE(menu->actions().first()->text(), QStringLiteral("帮助"));

    // The two leftovers sit in no menu, tool bar or other widget.
    for (const char *name : {"action2323", "actionBangzhu"}) {
        auto *action = find<QAction>(name);
        QVERIFY(action);
        for (QWidget *w : m_window->findChildren<QWidget *>())
            QVERIFY2(!w->actions().contains(action), qPrintable(w->objectName()));
        QVERIFY(!m_window->actions().contains(action));
    }
    QVERIFY(find<QToolBar>("mainToolBar")->actions().isEmpty());
}

void tst_MainWindowForm::windowFrame()
{
    // Fresh window: nothing has been laid out or scanned yet.
    MainWindow window;
    QCOMPARE(window.objectName(), QStringLiteral("MainWindow"));
    QCOMPARE(window.size(), QSize(988, 813));
    QCOMPARE(window.centralWidget(), window.findChild<QWidget *>("centralWidget"));
    QCOMPARE(window.menuBar(), window.findChild<QMenuBar *>("menuBar"));
    QCOMPARE(window.statusBar(), window.findChild<QStatusBar *>("statusBar"));
    QCOMPARE(window.menuBar()->geometry(), QRect(0, 0, 988, 23));
    auto *toolBar = window.findChild<QToolBar *>("mainToolBar");
    QVERIFY(toolBar);
    QCOMPARE(window.toolBarArea(toolBar), Qt::TopToolBarArea);
    QVERIFY(window.statusBar()->currentMessage().isEmpty());
    QCOMPARE(window.findChild<QComboBox *>("comboPort")->count(), 0);
}

void tst_MainWindowForm::extraHeightGoesToLog()
{
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *top = window.findChild<QGroupBox *>("groupBox_4");
    auto *middle = window.findChild<QGroupBox *>("groupBox_5");
    auto *log = window.findChild<QGroupBox *>("groupBox_3");
    auto *port = window.findChild<QGroupBox *>("groupBox_6");
    auto *motor1 = window.findChild<QGroupBox *>("groupBox_2");
    auto *motor2 = window.findChild<QGroupBox *>("groupBox_9");
    QVERIFY(top && middle && log && port && motor1 && motor2);

    const int topHeight = top->height();
    const int middleHeight = middle->height();
    const int logHeight = log->height();
    const int motorWidth = motor1->width() + motor2->width();
    QVERIFY(topHeight <= 250);
    QVERIFY(middleHeight <= 250);
    QCOMPARE(port->size(), QSize(250, 200));
    // Stacked top to bottom: upper bands, middle band, log.
    QVERIFY(top->y() < middle->y());
    QVERIFY(middle->y() < log->y());

    const QSize grown = window.size() + QSize(300, 200);
    window.resize(grown);
    QTRY_COMPARE(window.size(), grown);
    QTRY_COMPARE(log->height(), logHeight + 200);
    QCOMPARE(top->height(), topHeight);
    QCOMPARE(middle->height(), middleHeight);
    QCOMPARE(port->size(), QSize(250, 200));
    // The serial panel keeps its width; the motor panels share the rest.
    QCOMPARE(motor1->width() + motor2->width(), motorWidth + 300);
    QVERIFY(qAbs(motor1->width() - motor2->width()) <= 1);
}

void tst_MainWindowForm::logAcceptsTypingAndClears()
{
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *log = window.findChild<QTextEdit *>("textEditRead");
    auto *clear = window.findChild<QPushButton *>("btnClear");
    QVERIFY(log && clear);
    QTest::keyClicks(log, "abc");
    QCOMPARE(log->toPlainText(), QStringLiteral("abc"));
    // Reaches on_btnClear_clicked through the connection by object name.
    QTest::mouseClick(clear, Qt::LeftButton);
    QCOMPARE(log->toPlainText(), QString());
}

QTEST_MAIN(tst_MainWindowForm)
#include "tst_mainwindowform.moc"
