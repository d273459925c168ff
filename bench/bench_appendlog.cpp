// Cost of one traffic-log line as the log grows: inserting at the top (what the
// window does) against reading the whole log and setting it again.
//
//   QT_QPA_PLATFORM=offscreen build/bench/bench_appendlog
#include "loglayout.h"
#include "mainwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTextEdit>
#include <QTextStream>

#include <cstdio>

namespace {

const QString kLine = QStringLiteral("发送--->01100004000204000000327389\n");

QString filler(int lines)
{
    QString s;
    s.reserve(lines * kLine.size());
    for (int i = 0; i < lines; ++i)
        s += kLine;
    return s;
}

// Lets the log finish laying out a freshly set text in the background, so the
// rounds time the lines alone.
void settle(QTextEdit *log)
{
    const auto *layout = qobject_cast<LogLayout *>(log->document()->documentLayout());
    do
        QCoreApplication::processEvents();
    while (layout && !layout->isSettled());
}

// Mean microseconds per line over `rounds` lines, pending layout work included.
template <typename AddLine> double perLine(int rounds, AddLine add)
{
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < rounds; ++i) {
        add();
        QCoreApplication::processEvents();
    }
    return double(t.nsecsElapsed()) / 1000.0 / rounds;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    MainWindow w;
    w.show();
    auto *log = w.findChild<QTextEdit *>(QStringLiteral("textEditRead"));

    std::printf("%10s %16s %16s %8s\n", "lines", "insert us/line", "re-set us/line", "ratio");
    for (int lines : {1000, 10000, 100000}) {
        log->setPlainText(filler(lines));
        settle(log);
        const double insert = perLine(200, [&] { w.appendLog(kLine); });

        log->setPlainText(filler(lines));
        settle(log);
        const int rounds = lines >= 100000 ? 5 : lines >= 10000 ? 20 : 100;
        const double reset = perLine(rounds, [&] { log->setText(kLine + log->toPlainText()); });

        std::printf("%10d %16.1f %16.1f %7.0fx\n", lines, insert, reset, reset / insert);
    }
    return 0;
}
