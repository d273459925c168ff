// The traffic log with its own document layout: it must look and behave as the
// QTextEdit did with Qt's layout, while a line costs the same at any log length.
#include "link/loglayout.h"
#include "windowdriver.h"

#include <QClipboard>
#include <QScrollBar>
#include <QTextBlock>

namespace {

const QString kFrame = QStringLiteral("发送--->01100004000204000000327389");
const QString kLong = QStringLiteral("a line typed by the user, too long for the log's width "
                                     "0123456789 0123456789 0123456789 0123456789 0123456789");

// Lets background layout finish, and focuses the edit so its cursor is drawn.
bool settle(QTextEdit *edit)
{
    QApplication::setActiveWindow(edit->window());
    edit->setFocus();
    const auto *layout = qobject_cast<LogLayout *>(edit->document()->documentLayout());
    const bool done = QTest::qWaitFor([&] { return !layout || layout->isSettled(); });
    edit->document()->documentLayout()->documentSize(); // Qt's layout finishes when asked
    QCoreApplication::processEvents();
    return done;
}

QImage shot(QTextEdit *edit)
{
    settle(edit);
    return edit->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QString copied(QTextEdit *edit)
{
    QApplication::clipboard()->clear();
    edit->copy();
    return QApplication::clipboard()->text();
}

qreal docHeight(QTextEdit *edit)
{
    return edit->document()->documentLayout()->documentSize().height();
}

// QTest::mouseMove() carries no pressed button, so a drag is sent by hand.
void drag(QWidget *view, QPoint from, QPoint to)
{
    QTest::mousePress(view, Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, to, view->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(view, &move);
    QTest::mouseRelease(view, Qt::LeftButton, {}, to);
}

struct Rig : WindowDriver
{
    QTextEdit *edit = get<QTextEdit>("textEditRead");

    Rig()
    {
        w.resize(900, 700);
        w.show();
        settle(edit);
    }
    void add(const QString &line) { w.appendLog(line + QLatin1Char('\n')); }
    // What one log line adds to the document's height.
    qreal lineHeight()
    {
        const qreal before = docHeight(edit);
        add(kFrame);
        return docHeight(edit) - before;
    }
};

enum Step
{
    Nothing,
    Click,
    UpDown,
    Typing,
    Drag,
    PageDown,
    SelectAll,
    Narrow,
    Scroll,
    NoWrap
};

void apply(Step step, QTextEdit *edit)
{
    QWidget *view = edit->viewport();
    switch (step) {
    case Nothing:
        break;
    case Click:
        QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(60, 50));
        break;
    case UpDown:
        QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(200, 30));
        for (Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Up})
            QTest::keyClick(edit, key);
        break;
    case Typing:
        QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(30, 70));
        QTest::keyClicks(edit, QStringLiteral("<b>typed</b> & ") + kLong);
        break;
    case Drag:
        drag(view, QPoint(30, 10), QPoint(150, 120));
        break;
    case PageDown:
        QTest::keyClick(edit, Qt::Key_PageDown);
        QTest::keyClick(edit, Qt::Key_PageDown, Qt::ShiftModifier);
        break;
    case SelectAll:
        edit->selectAll();
        break;
    case Narrow:
        edit->resize(180, edit->height());
        break;
    case Scroll:
        edit->verticalScrollBar()->setValue(333);
        break;
    case NoWrap:
        edit->setLineWrapMode(QTextEdit::NoWrap);
        break;
    }
}

} // namespace

Q_DECLARE_METATYPE(Step)

class tst_LogLayout : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setCursorFlashTime(0); }
    void looksAndActsLikeQtsLayout_data();
    void looksAndActsLikeQtsLayout();
    void clickFindsTheLine_data();
    void clickFindsTheLine();
    void eachLineAddsOneLineHeight();
    void longLineWrapsAndUnwraps();
    void textStaysExactAndClearEmpties();
};

// Qt's own layout on an identical edit is the reference: same pixels, text,
// cursor, selection and scroll range after the same user actions.
void tst_LogLayout::looksAndActsLikeQtsLayout_data()
{
    QTest::addColumn<Step>("step");
    QTest::newRow("lines") << Nothing;
    QTest::newRow("click") << Click;
    QTest::newRow("up and down") << UpDown;
    QTest::newRow("typing") << Typing;
    QTest::newRow("drag selection") << Drag;
    QTest::newRow("page down") << PageDown;
    QTest::newRow("select all") << SelectAll;
    QTest::newRow("narrow") << Narrow;
    QTest::newRow("scrolled") << Scroll;
    QTest::newRow("no wrap") << NoWrap;
}

void tst_LogLayout::looksAndActsLikeQtsLayout()
{
    QFETCH(Step, step);
    QTextEdit ours;
    QTextEdit qt;
    for (QTextEdit *edit : {&ours, &qt}) {
        QFont font = edit->font();
        font.setPointSize(12);
        edit->setFont(font);
        edit->setAcceptRichText(false);
        if (edit == &ours) {
            auto *layout = new LogLayout(edit->document());
            layout->setPaintDevice(edit->viewport());
            edit->document()->setDocumentLayout(layout);
        }
        edit->resize(420, 240);
        edit->show();
        // Enough lines that a new width is laid out in the background.
        for (int i = 0; i < 300; ++i)
            QTextCursor(edit->document()).insertText(QStringLiteral("%1 %2\n").arg(i).arg(kFrame));
        QTextCursor(edit->document()).insertText(kLong + kLong + QLatin1Char('\n'));
        QVERIFY(settle(edit));
        apply(step, edit);
        QVERIFY(settle(edit));
    }
    QCOMPARE(ours.toPlainText(), qt.toPlainText());
    QCOMPARE(ours.textCursor().position(), qt.textCursor().position());
    QCOMPARE(ours.textCursor().anchor(), qt.textCursor().anchor());
    QCOMPARE(copied(&ours), copied(&qt));
    QCOMPARE(ours.cursorRect(), qt.cursorRect());
    QCOMPARE(ours.verticalScrollBar()->maximum(), qt.verticalScrollBar()->maximum());
    QCOMPARE(ours.verticalScrollBar()->value(), qt.verticalScrollBar()->value());
    QCOMPARE(ours.horizontalScrollBar()->maximum(), qt.horizontalScrollBar()->maximum());
    QVERIFY(shot(&ours) == shot(&qt));
}

void tst_LogLayout::clickFindsTheLine_data()
{
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("line");
    QTest::newRow("top") << 50 << 0;
    QTest::newRow("second") << 50 << 1;
    QTest::newRow("last") << 50 << 49;
    QTest::newRow("deep in a long log") << 30000 << 17321;
}

void tst_LogLayout::clickFindsTheLine()
{
    QFETCH(int, lines);
    QFETCH(int, line);
    Rig r;
    const qreal pitch = r.lineHeight();
    QString text;
    for (int i = 0; i < lines; ++i)
        text += QStringLiteral("%1 %2\n").arg(i).arg(kFrame);
    r.edit->setPlainText(text);
    // Straight away, while most of a long log is not laid out yet.
    const qreal y = r.edit->document()->documentMargin() + (line + 0.5) * pitch;
    r.edit->verticalScrollBar()->setValue(int(y) - 50);
    const int clickY = int(y) - r.edit->verticalScrollBar()->value();
    QTest::mouseClick(r.edit->viewport(), Qt::LeftButton, {}, QPoint(40, clickY));
    QCOMPARE(r.edit->textCursor().block().text().section(QLatin1Char(' '), 0, 0),
             QString::number(line));
    const QRect cursor = r.edit->cursorRect();
    QVERIFY2(cursor.top() <= clickY && cursor.bottom() >= clickY, qPrintable(QString::number(y)));
}

void tst_LogLayout::eachLineAddsOneLineHeight()
{
    Rig r;
    const auto *layout = qobject_cast<LogLayout *>(r.edit->document()->documentLayout());
    QVERIFY(layout);
    QCOMPARE(layout->paintDevice(), r.edit->viewport());
    const qreal pitch = r.lineHeight();
    QVERIFY(pitch > 10);
    for (int i = 0; i < 60; ++i)
        QCOMPARE(r.lineHeight(), pitch);
    // The scroll range follows without waiting for the event loop.
    const int viewport = r.edit->viewport()->height();
    QCOMPARE(r.edit->verticalScrollBar()->maximum(), int(docHeight(r.edit)) - viewport);
    r.add(kFrame);
    QCOMPARE(r.edit->verticalScrollBar()->maximum(), int(docHeight(r.edit)) - viewport);
}

void tst_LogLayout::longLineWrapsAndUnwraps()
{
    Rig r;
    const qreal pitch = r.lineHeight();
    const qreal before = docHeight(r.edit);
    QTest::keyClick(r.edit, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClicks(r.edit, kLong + kLong);
    // ASCII rows can be a little lower than a row with Chinese in it.
    QVERIFY(r.edit->document()->firstBlock().layout()->lineCount() >= 3);
    QVERIFY(docHeight(r.edit) - before > pitch * 1.5);
    r.w.resize(3000, 700);
    QVERIFY(settle(r.edit));
    QCOMPARE(docHeight(r.edit), before);
}

void tst_LogLayout::textStaysExactAndClearEmpties()
{
    Rig r;
    const qreal empty = docHeight(r.edit);
    r.add(QStringLiteral("old"));
    QTest::keyClick(r.edit, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(r.edit, QStringLiteral("typed"));
    for (int i = 0; i < 100; ++i)
        r.add(kFrame);
    QApplication::clipboard()->setText(QStringLiteral("<i>a</i>\nb\n"));
    QTest::keyClick(r.edit, Qt::Key_Home, Qt::ControlModifier);
    r.edit->paste();
    QCOMPARE(r.log(), QStringLiteral("<i>a</i>\nb\n") + QString(kFrame + '\n').repeated(100) +
                          QStringLiteral("old\ntyped"));
    QVERIFY(r.edit->verticalScrollBar()->maximum() > 0);

    r.click("btnClear");
    QVERIFY(settle(r.edit));
    QCOMPARE(r.log(), QString());
    QCOMPARE(docHeight(r.edit), empty);
    QCOMPARE(r.edit->verticalScrollBar()->maximum(), 0);
}

QTEST_MAIN(tst_LogLayout)
#include "tst_loglayout.moc"
