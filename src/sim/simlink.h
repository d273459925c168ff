#pragma once

#include "portsettings.h"

#include <QByteArray>
#include <QObject>
#include <QString>

namespace quarvex::sim {

// Where clients reach the modules: a pseudo-terminal, a serial device server on TCP or a
// Modbus TCP gateway.
class SimFace : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // `baud` is the speed the line starts at, before a client sets one.
    virtual bool open(quint32 baud, QString *error) = 0;
    // Like pulling the plug: clients see the line go.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // What a client opens: a device path or a port name such as tcp://127.0.0.1:4001.
    virtual QString path() const = 0;
    // The line settings requests arrive at.
    virtual PortSettings portSettings() const = 0;

signals:
    void failed(const QString &reason);
    // Something of note at the face, for the log: a client came or went, set the line.
    void note(const QString &line);
};

// A face that hands over the line's bytes as they come; the caller frames the requests
// and paces the replies.
class SimLink : public SimFace
{
    Q_OBJECT

public:
    using SimFace::SimFace;

    // Bytes taken; fewer than given when the link cannot take more.
    virtual int write(const QByteArray &bytes) = 0;

signals:
    void received(const QByteArray &bytes);
};

} // namespace quarvex::sim
