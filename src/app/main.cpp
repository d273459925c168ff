#include "mainwindow.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication a(argc, argv);
    // The Windows build takes its icon from the executable's resource.
#ifndef Q_OS_WIN
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/quarvex.png")));
#endif
    QGuiApplication::setDesktopFileName(QStringLiteral("org.quarvex.quarvex"));
    MainWindow w;
    w.show();
    return a.exec();
}
