#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include "simmodule.h"

class QSocketNotifier;

namespace quarvex::sim {

class SimController;

// The module's console language: one command a line on standard input (or given ahead
// of time as options), answers on standard output, everything else on standard error.
class SimConsole : public QObject
{
    Q_OBJECT

public:
    explicit SimConsole(SimController &sim, QObject *parent = nullptr);

    // One command line; false with a message for a line it could not carry out.
    bool execute(const QString &line, QString *error);
    void listenToStdin();
    QString statusLine() const;
    static QString helpText();

signals:
    void quitRequested();

private:
    struct Command;
    static const Command kCommands[];

    // The module a command is for: the first, or the one picked by a leading #N.
    SimModule &module();

    bool status(const QStringList &w, QString *error);
    bool restart(const QStringList &w, QString *error);
    bool alarm(const QStringList &w, QString *error);
    bool set(const QStringList &w, QString *error);
    bool address(const QStringList &w, QString *error);
    bool speed(const QStringList &w, QString *error);
    bool modules(const QStringList &w, QString *error);
    bool split(const QStringList &w, QString *error);
    bool faultMode(const QStringList &w, QString *error);
    bool delay(const QStringList &w, QString *error);
    bool noise(const QStringList &w, QString *error);
    bool unplugAfter(const QStringList &w, QString *error);
    bool send(const QStringList &w, QString *error);
    bool flood(const QStringList &w, QString *error);
    bool stagger(const QStringList &w, QString *error);
    bool swap(const QStringList &w, QString *error);
    bool unplug(const QStringList &w, QString *error);
    bool plug(const QStringList &w, QString *error);
    bool help(const QStringList &w, QString *error);
    bool quit(const QStringList &w, QString *error);

    void onStdin();

    SimController &m_sim;
    int m_selected = 0;
    QSocketNotifier *m_stdin = nullptr;
    QByteArray m_stdinBuffer;
};

} // namespace quarvex::sim
