// The window while a server sends it 1 MB/s of garbage over tcp:// (and a serial line
// full of noise): how long an event such as a click waits to be handled, the CPU and
// memory it costs, and how soon closing the port lets the server go.
//
//   QT_QPA_PLATFORM=offscreen build/bench/bench_flood [seconds, default 10]
#include "mainwindow.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace {

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long rssKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

// Posts an event every 100 ms for `ms` and measures how long each waits for the loop.
QVector<double> eventWaits(QObject *receiver, int ms)
{
    QVector<double> waits;
    QElapsedTimer clock;
    clock.start();
    QTimer poster;
    QObject::connect(&poster, &QTimer::timeout, receiver, [&] {
        const qint64 posted = clock.nsecsElapsed();
        QMetaObject::invokeMethod(
            receiver, [&, posted] { waits << (clock.nsecsElapsed() - posted) / 1e6; },
            Qt::QueuedConnection);
    });
    poster.start(100);
    runFor(ms);
    return waits;
}

void report(const char *what, QObject *receiver, int seconds)
{
    const double cpu = cpuSeconds();
    QVector<double> w = eventWaits(receiver, seconds * 1000);
    std::sort(w.begin(), w.end());
    std::printf("%s: event wait median %.1f ms, max %.1f ms (goal <= 100 ms); %.0f %% of a "
                "core; RSS %ld kB\n",
                what, w.value(w.size() / 2), w.isEmpty() ? 0.0 : w.last(),
                100.0 * (cpuSeconds() - cpu) / seconds, rssKb());
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 10;
    const struct
    {
        const char *name;
        QStringList args;
        const char *baud, *flood;
    } lines[] = {
        {"tcp://, 1 MB/s of garbage", {"--tcp", "127.0.0.1:0"}, "9600", "1000000"},
        {"serial at 128000 bit/s, all noise", {"--baud", "128000"}, "128000", "12800"},
    };
    for (const auto &line : lines) {
        MainWindow w;
        w.show();
        QProcess sim;
        sim.start(QStringLiteral(QUARVEX_SIM_PATH), line.args);
        if (!sim.waitForReadyRead(5000)) {
            std::fprintf(stderr, "quarvex-sim did not start\n");
            return 1;
        }
        const QString path = QString::fromLocal8Bit(sim.readLine()).trimmed();
        w.findChild<QComboBox *>(QStringLiteral("comboBaud"))
            ->setCurrentText(QLatin1String(line.baud));
        w.findChild<QComboBox *>(QStringLiteral("comboPort"))->setEditText(path);
        auto *open = w.findChild<QPushButton *>(QStringLiteral("btnOpen"));
        open->click();
        runFor(1000);
        sim.write(QByteArray("flood ") + line.flood + '\n');
        runFor(500);
        report(line.name, &w, seconds);
        QElapsedTimer closing;
        closing.start();
        open->click();
        std::printf("  closing the port took %.1f ms\n", closing.nsecsElapsed() / 1e6);
        sim.write("quit\n");
        sim.waitForFinished(2000);
    }
    return 0;
}
