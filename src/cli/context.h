#pragma once

#include "exitstatus.h"
#include "invocation.h"
#include "requestengine.h"

#include <QJsonObject>
#include <QObject>
#include <QStringList>
#include <QVector>

#include <functional>

namespace quarvex::cli {

// What every command group shares: the invocation, the request engine and the port it
// talks through, where results and messages go, and how the run ends.
class Context : public QObject
{
    Q_OBJECT

public:
    // What a run for one of several ports says, kept for its group in the output.
    struct Sink
    {
        QStringList out;
        QVector<QJsonObject> json;
        QStringList err;
    };
    using Done = std::function<void(ExitStatus)>;

    // Without a sink the results go to stdout and the messages to stderr, and the run
    // ends the program; with one, it ends by calling done.
    Context(const Invocation &invocation, Sink *sink = nullptr, Done done = {},
            QObject *parent = nullptr);
    // A test's clock and port instead of the system's.
    Context(const Invocation &invocation, Clock *clock, QObject *parent);

    const Invocation &inv() const { return m_inv; }
    RequestEngine &engine() { return m_engine; }
    const Transport *port() const { return m_engine.port(); }
    bool finished() const { return m_finished; }

    void out(const QString &text);
    void outJson(const QJsonObject &o);
    void complain(const QString &text);
    // Redrawn in place on a terminal; an empty line clears it.
    void progress(const QString &line);
    bool showsProgress() const { return m_progress; }

    void finish(ExitStatus status);
    // The message on stderr (and as JSON with --json), then the status.
    void failWith(ExitStatus status, const QString &message);
    // The words and status for an exchange that brought no usable reply.
    void fail(const Exchange &x);
    // Why the port failed in an exchange.
    static QString portGoneWords(const Exchange &x);

    // next(true) once the port is open, next(false) when it will not (told, and the run
    // finished, when reportFailure).
    void openPort(const QString &name, quint32 baud, bool reportFailure,
                  std::function<void(bool)> next);
    void closePort();
    // A port already made (a test's); opened at the invocation's speed.
    void usePort(Transport *port);

    // The module's bus address: -a, or asked of the module with its read-address frame.
    void withAddress(const std::function<void(quint8)> &next);
    // The port opened for a command to one module, then run with its bus address (asked
    // first when the command goes to it and -a is absent; else 0).
    void openForModule(const std::function<void(quint8)> &run);
    // True, and told, when the command needs the address frames and the way to the line
    // cannot carry them.
    bool refuseAddressFrames();
    Policy commandPolicy() const { return Policy::command(m_inv.timeoutMs, m_inv.retries); }

private:
    void connectSpeedWords();

    Invocation m_inv;
    Sink *m_sink = nullptr;
    Done m_done;
    Clock *m_clock;
    RequestEngine m_engine;
    Transport *m_port = nullptr; // owned, made by openPort
    bool m_progress = false;
    bool m_finished = false;
};

// A group of commands carried out on a context; it ends the run through the context.
class CommandGroup : public QObject
{
    Q_OBJECT

public:
    explicit CommandGroup(Context *context) : QObject(context), m_ctx(*context) {}
    virtual void start() = 0;
    // A signal's status (Interrupted, Terminated): by default the run ends at once.
    virtual void interrupt(ExitStatus status);

protected:
    Context &m_ctx;
};

} // namespace quarvex::cli
