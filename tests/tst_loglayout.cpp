// The traffic log's own document layout must look and act as Qt's does.
#include "loglayout.h"

#include <QApplication>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextEdit>
#include <QtTest>

#include <functional>

namespace {

const QString kFrame = QStringLiteral("发送--->01100004000204000000327389");
const QString kLong = QStringLiteral("a line typed by the user, too long for the log's width "
                                     "0123456789 0123456789 0123456789 0123456789 0123456789");

using Step = std::function<void(QTextEdit *)>;

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

void click(QTextEdit *edit, QPoint at)
{
    QTest::mouseClick(edit->viewport(), Qt::LeftButton, {}, at);
}

} // namespace

Q_DECLARE_METATYPE(Step)

class tst_LogLayout : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setCursorFlashTime(0); }

    void looksAndActsLikeQtsLayout_data()
    {
        QTest::addColumn<Step>("step");
        QTest::newRow("lines") << Step([](QTextEdit *) {});
        QTest::newRow("click") << Step([](QTextEdit *e) { click(e, {60, 50}); });
        QTest::newRow("typing a wrapping line") << Step([](QTextEdit *e) {
            click(e, {30, 70});
            QTest::keyClicks(e, QStringLiteral("<b>typed</b> & ") + kLong);
        });
        // QTest::mouseMove() carries no pressed button, so the move is sent by hand.
        QTest::newRow("drag selection") << Step([](QTextEdit *e) {
            const QPoint to(150, 120);
            QTest::mousePress(e->viewport(), Qt::LeftButton, {}, {30, 10});
            QMouseEvent move(QEvent::MouseMove, to, e->viewport()->mapToGlobal(to), Qt::NoButton,
                             Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(e->viewport(), &move);
            QTest::mouseRelease(e->viewport(), Qt::LeftButton, {}, to);
        });
        QTest::newRow("narrow") << Step([](QTextEdit *e) { e->resize(180, e->height()); });
        // The top row cut midway, so drawing from the wrong block shows.
        QTest::newRow("scrolled") << Step(
            [](QTextEdit *e) { e->verticalScrollBar()->setValue(340); });
    }

    // Qt's own layout on an identical edit is the reference: same pixels, text,
    // cursor, selection and scroll range after the same user actions.
    void looksAndActsLikeQtsLayout()
    {
        QFETCH(Step, step);
        QTextEdit ours, qt;
        auto *layout = new LogLayout(ours.document());
        layout->setPaintDevice(ours.viewport());
        ours.document()->setDocumentLayout(layout);
        QImage shot[2];
        for (QTextEdit *edit : {&ours, &qt}) {
            edit->setFont(QFont(edit->font().family(), 12));
            edit->resize(420, 240);
            edit->show();
            // Enough lines that a new width is laid out in the background.
            for (int i = 0; i < 300; ++i)
                QTextCursor(edit->document())
                    .insertText(QStringLiteral("%1 %2\n").arg(i).arg(kFrame));
            QTextCursor(edit->document()).insertText(kLong + kLong + QLatin1Char('\n'));
            QVERIFY(settle(edit));
            step(edit);
            QVERIFY(settle(edit));
            shot[edit == &qt] = edit->grab().toImage().convertToFormat(QImage::Format_RGB32);
        }
        QCOMPARE(ours.toPlainText(), qt.toPlainText());
        QCOMPARE(ours.textCursor().anchor(), qt.textCursor().anchor());
        QCOMPARE(ours.cursorRect(), qt.cursorRect());
        QCOMPARE(ours.verticalScrollBar()->maximum(), qt.verticalScrollBar()->maximum());
        QVERIFY(shot[0] == shot[1]);
    }

    // The window's log: each line goes in on top and, once the log is full, the oldest
    // goes. A line that was drawn and then pushed out of view drops its layout again.
    void linesPushedOutOfViewDropTheirLayout()
    {
        QTextEdit edit;
        auto *layout = new LogLayout(edit.document());
        layout->setPaintDevice(edit.viewport());
        edit.document()->setDocumentLayout(layout);
        edit.resize(420, 240);
        edit.show();
        QTextDocument *log = edit.document();
        for (int i = 0; i < 100; ++i)
            QTextCursor(log).insertText(QStringLiteral("%1 %2\n").arg(i).arg(kFrame));
        QVERIFY(settle(&edit));
        for (int i = 0; i < 40; ++i) {
            QTextCursor(log).insertText(kFrame + QLatin1Char('\n'));
            QTextCursor oldest(log->findBlockByNumber(100));
            oldest.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
            oldest.removeSelectedText();
            edit.viewport()->repaint();
        }
        const int shown = edit.cursorForPosition({0, edit.viewport()->height()}).blockNumber();
        QVERIFY(shown > 0 && shown < 30);
        for (int n = shown + 1; n < 40 + shown; ++n)
            QVERIFY2(log->findBlockByNumber(n).layout()->lineCount() == 0,
                     qPrintable(QString::number(n)));
    }
};

QTEST_MAIN(tst_LogLayout)
#include "tst_loglayout.moc"
