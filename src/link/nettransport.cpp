#include "link/nettransport.h"

namespace quarvex {

NetTransport::NetTransport(const QString &name, const PortName &address, QObject *parent)
    : Transport(name, parent), m_address(address), m_socket(this), m_timer(this)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &NetTransport::onTimeout);
    connect(&m_socket, &QTcpSocket::connected, this, &NetTransport::onSocketConnected);
    connect(&m_socket, &QTcpSocket::readyRead, this, &NetTransport::onSocketReadyRead);
    connect(&m_socket, &QTcpSocket::bytesWritten, this, &Transport::bytesWritten);
#if QT_VERSION >= QT_VERSION_CHECK(5, 15, 0)
    connect(&m_socket, &QTcpSocket::errorOccurred, this, &NetTransport::onSocketError);
#else
    connect(&m_socket, QOverload<QAbstractSocket::SocketError>::of(&QTcpSocket::error), this,
            &NetTransport::onSocketError);
#endif
}

Transport::Opening NetTransport::open(quint32 baud)
{
    if (!m_address.valid) {
        setError(TransportError::BadAddress);
        return Opening::Failed;
    }
    m_baud = baud;
    m_in.clear();
    m_state = State::Connecting;
    m_clock.start();
    m_timer.start(kConnectMs);
    m_socket.connectToHost(m_address.host, m_address.port);
    return Opening::Pending;
}

void NetTransport::close()
{
    m_timer.stop();
    m_state = State::Closed;
    m_socket.flush();
    m_socket.abort();
}

qint64 NetTransport::write(const QByteArray &frame)
{
    const QByteArray bytes = encode(frame);
    if (m_state != State::Open || bytes.isEmpty())
        return -1;
    return m_socket.write(bytes) == bytes.size() ? frame.size() : -1;
}

QByteArray NetTransport::readAll()
{
    QByteArray bytes;
    bytes.swap(m_in);
    return bytes;
}

QByteArray NetTransport::readPending()
{
    if (m_state == State::Open && m_socket.bytesAvailable() == 0)
        m_socket.waitForReadyRead(0);
    else if (m_socket.bytesAvailable() > 0)
        onSocketReadyRead();
    return readAll();
}

void NetTransport::clearInput()
{
    if (m_socket.bytesAvailable() > 0)
        decode(m_socket.readAll());
    m_in.clear();
}

bool NetTransport::setLineSpeed(quint32 baud)
{
    // The server's port keeps its own speed; only the figure used for timing follows.
    m_baud = baud;
    return true;
}

void NetTransport::becomeOpen()
{
    m_timer.stop();
    m_state = State::Open;
    emit opened();
}

void NetTransport::send(const QByteArray &bytes)
{
    if (!bytes.isEmpty())
        m_socket.write(bytes);
}

void NetTransport::lose(TransportError::Kind kind, const QString &text)
{
    const bool wasOpen = m_state != State::Closed;
    close();
    if (wasOpen)
        fail(kind, text);
}

void NetTransport::onSocketConnected()
{
    m_roundTripMs = int(m_clock.elapsed());
    // Frames are small and each waits for its reply: no coalescing delay.
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_state = State::Negotiating;
    onConnected();
}

void NetTransport::onSocketReadyRead()
{
    const QByteArray bytes = m_socket.readAll();
    if (m_state == State::Closed)
        return;
    decode(bytes);
    if (!m_in.isEmpty() && m_state == State::Open)
        emit readyRead();
}

void NetTransport::onSocketError(QAbstractSocket::SocketError error)
{
    // A wait for bytes that found none (readPending) is no failure of the connection.
    if (m_state == State::Closed || error == QAbstractSocket::SocketTimeoutError)
        return;
    const QString text = m_socket.errorString();
    if (m_state == State::Open || m_state == State::Negotiating) {
        lose(TransportError::Dropped, text);
        return;
    }
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        lose(TransportError::Refused, text);
        return;
    case QAbstractSocket::HostNotFoundError:
        lose(TransportError::HostNotFound, text);
        return;
    case QAbstractSocket::NetworkError:
        lose(TransportError::Unreachable, text);
        return;
    default:
        lose(TransportError::Other, text);
        return;
    }
}

void NetTransport::onTimeout()
{
    switch (m_state) {
    case State::Connecting:
        lose(TransportError::Unreachable);
        return;
    case State::Negotiating:
        lose(setupTimedOut());
        return;
    case State::Open:
        lose(TransportError::NotAcknowledged);
        return;
    case State::Closed:
        return;
    }
}

void Rfc2217Transport::onConnected()
{
    m_codec = TelnetCodec(TelnetCodec::Role::Client);
    m_speedPending = false;
    m_held.clear();
    m_actual = 0;
    send(m_codec.start());
}

TransportError::Kind Rfc2217Transport::setupTimedOut() const
{
    // A server without the option may never answer it at all.
    return m_codec.comPortAgreed() ? TransportError::NotAcknowledged
                                   : TransportError::ComPortRefused;
}

qint64 Rfc2217Transport::write(const QByteArray &frame)
{
    if (m_state != State::Open)
        return -1;
    if (!m_speedPending)
        return NetTransport::write(frame);
    m_held += encode(frame);
    return frame.size();
}

bool Rfc2217Transport::setLineSpeed(quint32 baud)
{
    if (m_state != State::Open)
        return false;
    askSpeed(baud);
    return true;
}

void Rfc2217Transport::askSpeed(quint32 baud)
{
    m_baud = baud;
    m_speedPending = true;
    send(m_codec.setBaudRate(baud));
    m_timer.start(kConnectMs);
}

void Rfc2217Transport::decode(const QByteArray &bytes)
{
    const TelnetCodec::Output out = m_codec.feed(bytes);
    send(out.reply);
    m_in += out.data;
    for (const TelnetCodec::Event &e : out.events) {
        switch (e.kind) {
        case TelnetCodec::Event::ComPortAccepted:
            if (m_state == State::Negotiating) {
                askSpeed(m_baud);
                send(m_codec.setLine8N1());
            }
            break;
        case TelnetCodec::Event::ComPortRefused:
            lose(TransportError::ComPortRefused);
            return;
        case TelnetCodec::Event::ComPortCommand:
            if (e.command != TelnetCodec::SetBaudRate || !m_speedPending)
                break;
            m_speedPending = false;
            m_timer.stop();
            m_actual = e.number();
            send(m_held);
            m_held.clear();
            emit lineSpeedConfirmed(m_actual);
            if (m_state == State::Negotiating)
                becomeOpen();
            if (m_state == State::Closed)
                return;
            break;
        }
    }
}

void ModbusTcpTransport::decode(const QByteArray &bytes)
{
    const mbap::Client::Output out = m_client.feed(bytes);
    m_in += out.rtu;
    if (out.broken)
        lose(TransportError::BrokenStream);
}

} // namespace quarvex
