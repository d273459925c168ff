#pragma once

// Reaches the window's widgets by object name, the way a user sees them.
#include "mainwindow.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QtTest>

inline const char *const kDeviceControls[] = {
    "btnM1Back", "btnM1Follow", "btnM1Break", "btnM2Back", "btnM2Follow", "btnM2Break",
    "btnSystem", "btnM1Freq",   "btnM2Freq",  "btnM1Stop", "btnM2Stop",   "btnWriteAddr"};

struct WindowDriver
{
    MainWindow w;

    template <typename T = QWidget> T *get(const char *name) const
    {
        T *child = w.findChild<T *>(QLatin1String(name));
        if (!child)
            qFatal("no widget %s", name);
        return child;
    }
    QString log() const { return get<QTextEdit>("textEditRead")->toPlainText(); }
    QStringList lines() const { return log().split(QLatin1Char('\n')); }
    QString summary() const { return get<QLabel>("labelAll")->text(); }
    void click(const char *button) const
    {
        QTest::mouseClick(get<QPushButton>(button), Qt::LeftButton);
    }
    void setText(const char *box, const QString &text) const { get<QLineEdit>(box)->setText(text); }
    void choose(const char *combo, const QString &text) const
    {
        get<QComboBox>(combo)->setCurrentText(text);
    }

    int enabledControls() const
    {
        int n = 0;
        for (const char *name : kDeviceControls)
            n += get<QPushButton>(name)->isEnabled();
        return n;
    }
    bool isClosed() const
    {
        return get<QPushButton>("btnOpen")->text() == QStringLiteral("打开串口") &&
               get<QComboBox>("comboPort")->isEnabled() &&
               get<QComboBox>("comboBaud")->isEnabled() && enabledControls() == 0;
    }

    // Opens `path` at `baud` from the port box, as a user would.
    void openPort(const QString &path, const QString &baud = QStringLiteral("9600"))
    {
        choose("comboBaud", baud);
        get<QComboBox>("comboPort")->setEditText(path);
        click("btnOpen");
    }
};
