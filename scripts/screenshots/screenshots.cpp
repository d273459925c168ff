// Takes the README's pictures: the main window connected to the virtual module with a
// parameter summary shown, and the help dialog. Run under an X server (Xvfb). With LINK
// the module is reached through that link, so the port box does not show whichever
// pseudo-terminal it got.
//   screenshots SIM_BINARY OUTPUT_DIR [LINK]
#include "mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {

template <typename T> T *child(QWidget &w, const char *name)
{
    return w.findChild<T *>(QLatin1String(name));
}

// Runs `step` once `ready` holds, polling on the event loop; gives up after 5 s.
void when(std::function<bool()> ready, std::function<void()> step, int waitedMs = 0)
{
    if (ready()) {
        step();
        return;
    }
    if (waitedMs > 5000) {
        std::fprintf(stderr, "screenshots: gave up waiting\n");
        QCoreApplication::exit(1);
        return;
    }
    QTimer::singleShot(20, [=] { when(ready, step, waitedMs + 20); });
}

bool save(QWidget *w, const QString &file)
{
    const QPixmap shot = w->screen()->grabWindow(w->winId());
    const bool ok = shot.save(file);
    std::printf("%s %dx%d %s\n", qPrintable(file), shot.width(), shot.height(),
                ok ? "ok" : "FAILED");
    return ok;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/quarvex.png")));
    if (argc < 3) {
        std::fprintf(stderr, "usage: screenshots SIM_BINARY OUTPUT_DIR [LINK]\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[2]);
    const QString link = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
    QDir().mkpath(out);

    QProcess sim;
    sim.start(QString::fromLocal8Bit(argv[1]),
              link.isEmpty() ? QStringList() : QStringList{QStringLiteral("--link"), link});
    // The device path, once the module (and its link) is in place.
    if (!sim.waitForReadyRead(5000)) {
        sim.waitForFinished(1000);
        std::fputs(sim.readAllStandardError().constData(), stderr);
        return 1;
    }
    const QString device = QString::fromLocal8Bit(sim.readLine()).trimmed();
    const QString path = link.isEmpty() ? device : link;

    MainWindow w;
    w.show();
    child<QComboBox>(w, "comboPort")->setEditText(path);
    child<QPushButton>(w, "btnOpen")->click();

    int result = 0;
    when([&] { return child<QPushButton>(w, "btnSystem")->isEnabled(); },
         [&] {
             child<QLineEdit>(w, "lineEditMotor1Follow")->setText(QStringLiteral("50"));
             child<QLineEdit>(w, "lineEditMotor2Back")->setText(QStringLiteral("30"));
             child<QLineEdit>(w, "lineEditMotor2Freq")->setText(QStringLiteral("8000"));
             child<QPushButton>(w, "btnM1Follow")->click();
             child<QPushButton>(w, "btnM2Back")->click();
             child<QPushButton>(w, "btnM2Freq")->click();
             QTimer::singleShot(200, [&] { child<QPushButton>(w, "btnSystem")->click(); });
             when([&] { return !child<QLabel>(w, "labelAll")->text().isEmpty(); },
                  [&] {
                      QTimer::singleShot(300, [&] {
                          if (!save(&w, out + QStringLiteral("/main-window.png")))
                              result = 1;
                          child<QMenu>(w, "menu")->actions().first()->trigger();
                          QTimer::singleShot(500, [&] {
                              for (QWidget *top : QApplication::topLevelWidgets())
                                  if (top->inherits("Help") && top->isVisible() &&
                                      !save(top, out + QStringLiteral("/help.png")))
                                      result = 1;
                              QCoreApplication::exit(result);
                          });
                      });
                  });
         });
    const int rc = app.exec();
    sim.write("quit\n");
    sim.waitForFinished(2000);
    return rc;
}
