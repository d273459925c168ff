#pragma once

#include "link/porterror.h"

#include <QByteArray>
#include <QObject>
#include <QString>

namespace quarvex {

// What a port name stands for: a serial port, or one of the ways to reach a line across
// the network.
enum class Scheme
{
    Serial,
    RtuOverTcp, // tcp://HOST:PORT, a serial device server in transparent mode
    Rfc2217,    // rfc2217://HOST:PORT, the same with the line speed set through it
    ModbusTcp,  // modbus-tcp://HOST[:PORT], a Modbus TCP gateway
};

struct PortName
{
    Scheme scheme = Scheme::Serial;
    QString host;
    quint16 port = 0;
    bool valid = true; // false: a network scheme without a usable host and port
};

// Pure: splits a port name. Anything without one of the three schemes is a serial port.
PortName parsePortName(const QString &name);

// What a way to the line can do; known from the port name alone, before opening.
struct Capabilities
{
    bool setsLineSpeed = true;        // false: the line runs at the far server's speed
    bool carriesAddressFrames = true; // false: frames to bus address 0 never reach the line
    bool network = false;             // every try waits for a network's round trip too
};

constexpr Capabilities capabilitiesOf(Scheme scheme)
{
    switch (scheme) {
    case Scheme::Serial:
        return {true, true, false};
    case Scheme::RtuOverTcp:
        return {false, true, true};
    case Scheme::Rfc2217:
        return {true, true, true};
    case Scheme::ModbusTcp:
        // A gateway takes bus address 0 for a broadcast and never answers it.
        return {false, false, true};
    }
    return {};
}

// Why a port failed, at opening or while open.
struct TransportError
{
    enum Kind
    {
        OpenFailed,  // a serial port would not open: see failure
        HungUp,      // the serial line hung up (adapter unplugged, pseudo-terminal gone)
        Gone,        // the serial port went away
        WriteFailed, // the port stays open
        TimedOut,    // the port stays open
        Other,       // the port stays open
        BadAddress,  // a network name without a usable host and port
        Refused,     // the host refused the connection
        HostNotFound,
        Unreachable,     // no route, or no answer to connecting within kConnectMs
        Dropped,         // the connection ended while open
        ComPortRefused,  // the server will not set the line (no RFC 2217)
        NotAcknowledged, // the server left a line speed unacknowledged
        BrokenStream,    // bytes that cannot be the protocol: no way to find the next frame
        StoppedReading,  // the server left more unread than a peer may queue: closed
    };
    Kind kind = Other;
    OpenFailure failure = OpenFailure::Other;
    QString text;        // the system's own words, where it has some
    QString serverWords; // Dropped: what the server wrote before it closed (a banner)

    // The port is closed by it (the others leave the port open).
    bool closes() const { return kind != WriteFailed && kind != TimedOut && kind != Other; }
};

// One way of carrying RTU frames to a line. Both programs speak to the module through it:
// frames in and replies out are RTU frames (address first, CRC last) whatever the way.
class Transport : public QObject
{
    Q_OBJECT

public:
    static constexpr int kConnectMs = 3000;

    enum class Opening
    {
        Open,
        Failed,  // error() says why
        Pending, // opened() or failed() follows from the event loop
    };

    explicit Transport(const QString &name, QObject *parent = nullptr)
        : QObject(parent), m_name(name)
    {}

    QString name() const { return m_name; }
    virtual Scheme scheme() const = 0;
    Capabilities capabilities() const { return capabilitiesOf(scheme()); }
    virtual Opening open(quint32 baud) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // A whole RTU frame, CRC included; the frame's size when all of it went.
    virtual qint64 write(const QByteArray &frame) = 0;
    virtual QByteArray readAll() = 0;
    // What has come, with what the system holds and has not told of yet: on a busy
    // computer a timer can be handled before the notifier. May emit readyRead.
    virtual QByteArray readPending() = 0;
    // Written but not yet handed to the system.
    virtual qint64 bytesToWrite() const = 0;
    // Drops what has come and not been read.
    virtual void clearInput() = 0;
    // False, the line still at its old speed, when the port refuses this one. A network
    // line whose speed is the server's keeps it (see setsLineSpeed).
    virtual bool setLineSpeed(quint32 baud) = 0;
    // The speed the line really runs at, as the driver or the server says; 0 unknown.
    virtual quint32 actualLineSpeed() const { return 0; }
    // The network's round trip, measured on connecting (and by the server's answers where
    // it gives some); 0 for a local port.
    virtual int roundTripMs() const { return 0; }
    // Bytes of a frame under way that readAll() cannot give yet (a gateway's reply comes
    // whole or not at all).
    virtual int partialBytes() const { return 0; }
    TransportError error() const { return m_error; }

signals:
    void opened();
    void readyRead();
    void bytesWritten();
    // At opening (after Pending) or while open; see TransportError::closes.
    void failed(const quarvex::TransportError &error);
    // A line speed the far server acknowledged for the latest one asked (at opening and
    // after setLineSpeed).
    void lineSpeedConfirmed(quint32 actual);
    // Bytes of a frame came, but not yet all of it (see partialBytes).
    void receiving();
    // What the way did with what came, for a trace: a reply dropped and why.
    void note(const QString &text);

protected:
    // Records why; emits failed() unless the caller returns Opening::Failed instead.
    void setError(TransportError::Kind kind, const QString &text = QString());
    void fail(TransportError::Kind kind, const QString &text = QString());

    QString m_name;
    TransportError m_error;
};

// The one place a port name becomes a transport.
Transport *createTransport(const QString &name, QObject *parent = nullptr);

} // namespace quarvex

Q_DECLARE_METATYPE(quarvex::TransportError)
