#pragma once

#include "link/mbap.h"
#include "link/telnetcodec.h"
#include "link/transport.h"

#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTimer>

namespace quarvex {

// A line reached over TCP. Connecting (and whatever the way needs before the line can
// be used) gives up after kConnectMs; a connection that ends while open is told once.
class NetTransport : public Transport
{
    Q_OBJECT

public:
    NetTransport(const QString &name, const PortName &address, QObject *parent);

    Opening open(quint32 baud) override;
    void close() override;
    bool isOpen() const override { return m_state == State::Open; }
    qint64 write(const QByteArray &frame) override;
    QByteArray readAll() override;
    QByteArray readPending() override;
    qint64 bytesToWrite() const override { return m_socket.bytesToWrite(); }
    void clearInput() override;
    bool setLineSpeed(quint32 baud) override;
    int roundTripMs() const override { return m_roundTripMs; }

    // What may wait for a peer that does not read, and what of its last bytes is kept to
    // tell its words when it closes.
    static constexpr qint64 kMaxQueuedBytes = 256 * 1024;
    static constexpr int kKeptBannerBytes = 160;

protected:
    enum class State
    {
        Closed,
        Connecting,
        Negotiating, // connected; the way is being set up
        Open,
    };

    // Connected: the way sets itself up, then calls becomeOpen().
    virtual void onConnected() { becomeOpen(); }
    // Why setting up the way took too long.
    virtual TransportError::Kind setupTimedOut() const { return TransportError::Unreachable; }
    // Bytes from the socket into RTU bytes (appended to m_in).
    virtual void decode(const QByteArray &bytes) { m_in += bytes; }
    // An RTU frame as the socket carries it; empty when it cannot be carried.
    virtual QByteArray encode(const QByteArray &frame) { return frame; }

    void becomeOpen();
    // False, the connection closed, when the peer has left too much unread.
    bool send(const QByteArray &bytes);
    void lose(TransportError::Kind kind, const QString &text = QString());
    // Printable text among the last bytes the server sent (a banner before it closes).
    QString serverWords() const;

    PortName m_address;
    QTcpSocket m_socket;
    QTimer m_timer; // connecting, and then what the way waits for
    QElapsedTimer m_clock;
    State m_state = State::Closed;
    quint32 m_baud = 0;
    QByteArray m_in;
    QByteArray m_lastBytes; // as the socket gave them
    int m_roundTripMs = 0;

private:
    void onSocketConnected();
    void onSocketReadyRead();
    void onSocketError(QAbstractSocket::SocketError error);
    void onTimeout();
};

// rfc2217://: Telnet COM-PORT-CONTROL. Opening sets the far port to the speed and 8N1 and
// waits for the server's acknowledgement; frames written while a new speed is not yet
// acknowledged wait for it, so none goes out at the old one.
class Rfc2217Transport : public NetTransport
{
    Q_OBJECT

public:
    using NetTransport::NetTransport;

    Scheme scheme() const override { return Scheme::Rfc2217; }
    qint64 write(const QByteArray &frame) override;
    qint64 bytesToWrite() const override { return m_held.size() + m_socket.bytesToWrite(); }
    bool setLineSpeed(quint32 baud) override;
    quint32 actualLineSpeed() const override { return m_actual; }

protected:
    void onConnected() override;
    TransportError::Kind setupTimedOut() const override;
    void decode(const QByteArray &bytes) override;
    QByteArray encode(const QByteArray &frame) override { return TelnetCodec::escape(frame); }

private:
    void askSpeed(quint32 baud);
    void speedAcknowledged(quint32 actual);

    TelnetCodec m_codec{TelnetCodec::Role::Client};
    // Speeds asked and not yet acknowledged, oldest first: the server answers in order,
    // so a late acknowledgement is paired with the request it answers.
    struct Asked
    {
        quint32 baud;
        qint64 atMs;
    };
    QVector<Asked> m_asked;
    QByteArray m_held; // frames written while a speed is pending, encoded
    quint32 m_actual = 0;
    int m_ackRoundTripMs = -1; // the quickest acknowledgement; -1 none yet
};

// modbus-tcp://: a Modbus TCP gateway; the unit identifier is the bus address.
class ModbusTcpTransport : public NetTransport
{
    Q_OBJECT

public:
    using NetTransport::NetTransport;

    Scheme scheme() const override { return Scheme::ModbusTcp; }

protected:
    void decode(const QByteArray &bytes) override;
    QByteArray encode(const QByteArray &frame) override { return m_client.request(frame); }
    int partialBytes() const override { return m_client.pendingSize(); }

private:
    mbap::Client m_client;
};

class RtuOverTcpTransport : public NetTransport
{
    Q_OBJECT

public:
    using NetTransport::NetTransport;
    Scheme scheme() const override { return Scheme::RtuOverTcp; }
};

} // namespace quarvex
