#include "link/nettransport.h"

#include <algorithm>

namespace quarvex {

NetTransport::NetTransport(const QString &name, const PortName &address, QObject *parent)
    : Transport(name, parent), m_address(address), m_socket(this), m_timer(this)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &NetTransport::onTimeout);
    connect(&m_socket, &QTcpSocket::connected, this, &NetTransport::onSocketConnected);
    connect(&m_socket, &QTcpSocket::readyRead, this, &NetTransport::onSocketReadyRead);
    connect(&m_socket, &QTcpSocket::bytesWritten, this, &Transport::bytesWritten);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, &NetTransport::onSocketError);
}

Transport::Opening NetTransport::open(quint32 baud)
{
    if (!m_address.valid) {
        setError(TransportError::BadAddress);
        return Opening::Failed;
    }
    m_baud = baud;
    m_in.clear();
    m_lastBytes.clear();
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
    if (m_state != State::Open || bytes.isEmpty() || !send(bytes))
        return -1;
    return frame.size();
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

bool NetTransport::send(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return true;
    // A peer that floods and never reads would have its answers pile up here for ever.
    if (bytesToWrite() + bytes.size() > kMaxQueuedBytes) {
        lose(TransportError::StoppedReading);
        return false;
    }
    return m_socket.write(bytes) == bytes.size();
}

void NetTransport::lose(TransportError::Kind kind, const QString &text)
{
    const bool wasOpen = m_state != State::Closed;
    close();
    if (!wasOpen)
        return;
    setError(kind, text);
    if (kind == TransportError::Dropped)
        m_error.serverWords = serverWords();
    emit failed(m_error);
}

QString NetTransport::serverWords() const
{
    QString words;
    for (const char c : m_lastBytes) {
        if (c == '\r' || c == '\n' || c == '\t')
            words += QLatin1Char(' ');
        else if (c >= 0x20 && c < 0x7f)
            words += QLatin1Char(c);
        else
            return QString(); // frames or noise, not words
    }
    words = words.simplified();
    const bool hasLetters =
        std::count_if(words.cbegin(), words.cend(), [](QChar c) { return c.isLetter(); }) >= 3;
    return hasLetters ? words : QString();
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
    m_lastBytes = (m_lastBytes + bytes).right(kKeptBannerBytes);
    decode(bytes);
    if (m_state != State::Open)
        return;
    if (!m_in.isEmpty())
        emit readyRead();
    else if (partialBytes() > 0)
        emit receiving();
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
    m_asked.clear();
    m_held.clear();
    m_actual = 0;
    m_ackRoundTripMs = -1;
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
    if (m_asked.isEmpty())
        return NetTransport::write(frame);
    const QByteArray bytes = encode(frame);
    if (bytesToWrite() + bytes.size() > kMaxQueuedBytes) {
        lose(TransportError::StoppedReading);
        return -1;
    }
    m_held += bytes;
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
    if (m_asked.isEmpty())
        m_timer.start(kConnectMs);
    m_asked.append({baud, m_clock.elapsed()});
    send(m_codec.setBaudRate(baud));
}

void Rfc2217Transport::speedAcknowledged(quint32 actual)
{
    const Asked asked = m_asked.takeFirst();
    // The far server answers, so its acknowledgement's time is the true round trip, which
    // connecting through a proxy or a tunnel does not show.
    const int tookMs = int(m_clock.elapsed() - asked.atMs);
    if (m_ackRoundTripMs < 0 || tookMs < m_ackRoundTripMs) {
        m_ackRoundTripMs = tookMs;
        if (tookMs > m_roundTripMs) {
            m_roundTripMs = tookMs;
            emit note(QStringLiteral("round trip %1 ms, by the server's acknowledgement of a "
                                     "line speed")
                          .arg(tookMs));
        }
    }
    if (!m_asked.isEmpty()) {
        // An earlier request's answer: the latest is still to come.
        if (actual != asked.baud)
            emit note(QStringLiteral("the server set %1 bit/s for an earlier request of %2")
                          .arg(actual)
                          .arg(asked.baud));
        m_timer.start(kConnectMs);
        return;
    }
    m_timer.stop();
    m_actual = actual;
    send(m_held);
    m_held.clear();
    emit lineSpeedConfirmed(m_actual);
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
            if (e.command != TelnetCodec::SetBaudRate || m_asked.isEmpty())
                break;
            speedAcknowledged(e.number());
            if (m_state == State::Closed)
                return;
            if (m_state == State::Negotiating && m_asked.isEmpty())
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
    for (const QString &n : out.notes)
        emit note(n);
    if (out.broken)
        lose(TransportError::BrokenStream);
}

} // namespace quarvex
