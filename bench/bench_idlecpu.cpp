// CPU the window burns while nothing happens: port closed, port open on the virtual
// module with the line quiet, and the second after the module is unplugged.
//
//   QT_QPA_PLATFORM=offscreen build/bench/bench_idlecpu [seconds, default 20]
#include "mainwindow.h"

#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QProcess>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>

namespace {

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Share of one core used over `ms` of the event loop, in percent.
double idlePercent(int ms)
{
    const double before = cpuSeconds();
    runFor(ms);
    return 100.0 * (cpuSeconds() - before) / (ms / 1000.0);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 20;
    MainWindow w;
    w.show();
    runFor(1500); // first scans, layout, fonts

    std::printf("port closed:         %.3f %% of a core over %d s\n", idlePercent(seconds * 1000),
                seconds);

    QProcess sim;
    sim.start(QStringLiteral(QUARVEX_SIM_PATH), QStringList());
    if (!sim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "quarvex-sim did not start\n");
        return 1;
    }
    const QString path = QString::fromLocal8Bit(sim.readLine()).trimmed();
    w.findChild<QComboBox *>(QStringLiteral("comboPort"))->setEditText(path);
    w.findChild<QPushButton *>(QStringLiteral("btnOpen"))->click();
    runFor(1000);
    std::printf("port open, quiet:    %.3f %% of a core over %d s\n", idlePercent(seconds * 1000),
                seconds);

    sim.write("unplug\n");
    std::printf("after unplug:        %.3f %% of a core over 1 s\n", idlePercent(1000));
    const QString top = w.findChild<QTextEdit *>(QStringLiteral("textEditRead"))
                            ->toPlainText()
                            .section(QLatin1Char('\n'), 0, 0);
    std::printf("log: %s\n", qPrintable(top));

    sim.write("quit\n");
    sim.waitForFinished(2000);
    return 0;
}
