// Resident memory of the window after the traffic log has taken an hour of noise
// at 115200 bit/s: 11,520 bytes a second, logged as unframed pieces of 1,024 bytes,
// about 40,500 lines of 2,048 hex digits.
//
//   QT_QPA_PLATFORM=offscreen build/bench/bench_logmemory [lines, default 40500]
#include "mainwindow.h"

#include <QApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QTextEdit>

#include <cstdio>

namespace {

long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int lines = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 40500;
    MainWindow w;
    w.show();
    QCoreApplication::processEvents();
    const long before = residentKiB();

    QByteArray noise(1024, '\0');
    for (int i = 0; i < lines; ++i) {
        for (char &c : noise)
            c = char(QRandomGenerator::global()->bounded(256));
        w.appendLog(QStringLiteral("从机响应->") + QString::fromLatin1(noise.toHex()) +
                    QLatin1Char('\n'));
        // Each line is drawn before the next arrives, as at 11 lines a second.
        QCoreApplication::processEvents();
        // Shown as it goes, also through a pipe.
        if ((i + 1) % 10000 == 0) {
            std::printf("%6d lines: %ld MiB resident\n", i + 1, residentKiB() / 1024);
            std::fflush(stdout);
        }
    }
    QCoreApplication::processEvents();
    std::printf("%d lines of noise: resident %ld MiB (window alone %ld MiB), log %d lines\n", lines,
                residentKiB() / 1024, before / 1024,
                w.findChild<QTextEdit *>()->document()->blockCount() - 1);
    return 0;
}
