#include "mainwindow.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {

// Qt's own texts (the log's edit menu, the file dialog) in the user's language, from
// Qt's translations: where Qt keeps them, or beside the program where it is deployed
// with its own copy. The window's texts are Chinese already.
void installQtTranslations(QTranslator &translator)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    const QString qtDir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
#else
    const QString qtDir = QLibraryInfo::location(QLibraryInfo::TranslationsPath);
#endif
    const QString ownDir = QCoreApplication::applicationDirPath() + QStringLiteral("/translations");
    for (const QString &dir : {qtDir, ownDir})
        if (translator.load(QLocale(), QStringLiteral("qt"), QStringLiteral("_"), dir)) {
            QCoreApplication::installTranslator(&translator);
            return;
        }
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication a(argc, argv);
    // The Windows build takes its icon from the executable's resource.
#ifndef Q_OS_WIN
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/quarvex.png")));
#endif
    QGuiApplication::setDesktopFileName(QStringLiteral("org.quarvex.quarvex"));
    QTranslator qtTranslator;
    installQtTranslations(qtTranslator);
    MainWindow w;
    w.show();
    return a.exec();
}
