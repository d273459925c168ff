#include "tcplink.h"

#include <QTcpSocket>

#include <algorithm>

namespace quarvex::sim {

bool ListenAddress::parse(const QString &text)
{
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon >= 0) {
        QString host = text.left(colon);
        if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
            host = host.mid(1, host.size() - 2);
        if (!this->host.setAddress(host))
            return false;
    }
    bool ok = false;
    const uint p = text.mid(colon + 1).toUInt(&ok);
    port = quint16(p);
    return ok && p <= 0xFFFF;
}

bool ListenAddress::listen(QTcpServer &server, QString *error)
{
    if (!server.listen(host, port)) {
        *error = QStringLiteral("listen on %1 port %2: %3")
                     .arg(host.toString())
                     .arg(port)
                     .arg(server.errorString());
        return false;
    }
    port = server.serverPort();
    return true;
}

QString ListenAddress::name(const char *scheme) const
{
    const QString h = host.protocol() == QAbstractSocket::IPv6Protocol
                          ? QLatin1Char('[') + host.toString() + QLatin1Char(']')
                          : host.toString();
    return QStringLiteral("%1://%2:%3").arg(QLatin1String(scheme), h).arg(port);
}

TcpLink::TcpLink(Mode mode, const ListenAddress &address, QObject *parent)
    : SimLink(parent), m_mode(mode), m_address(address)
{
    connect(&m_server, &QTcpServer::newConnection, this, &TcpLink::onNewConnection);
}

TcpLink::~TcpLink()
{
    close();
}

bool TcpLink::open(quint32 baud, QString *error)
{
    close();
    m_serverBaud = baud;
    m_baud = baud;
    return m_address.listen(m_server, error);
}

void TcpLink::close()
{
    dropClient();
    m_server.close();
}

QString TcpLink::path() const
{
    return m_address.name(m_mode == Mode::Raw ? "tcp" : "rfc2217");
}

PortSettings TcpLink::portSettings() const
{
    PortSettings s;
    s.valid = true;
    s.baud = m_baud;
    s.eightN1 = m_dataSize == 8 && m_parity == TelnetCodec::kParityNone &&
                m_stopSize == TelnetCodec::kStopOne;
    return s;
}

int TcpLink::write(const QByteArray &bytes)
{
    // With no client the bytes go out on a line nobody listens to.
    if (m_client)
        m_client->write(m_mode == Mode::Raw ? bytes : TelnetCodec::escape(bytes));
    return int(bytes.size());
}

void TcpLink::onNewConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        const QString peer =
            QStringLiteral("%1:%2").arg(socket->peerAddress().toString()).arg(socket->peerPort());
        if (m_client) {
            emit note(QStringLiteral("%1 turned away: the port is in use").arg(peer));
            socket->abort();
            socket->deleteLater();
            continue;
        }
        m_client = socket;
        // Every connection finds the far port as the server set it up.
        m_baud = m_serverBaud;
        m_dataSize = 8;
        m_parity = TelnetCodec::kParityNone;
        m_stopSize = TelnetCodec::kStopOne;
        connect(socket, &QTcpSocket::readyRead, this, &TcpLink::onReadyRead);
        connect(socket, &QTcpSocket::disconnected, this, &TcpLink::onDisconnected);
        emit note(QStringLiteral("%1 connected").arg(peer));
        if (m_mode == Mode::Rfc2217) {
            m_codec = TelnetCodec(TelnetCodec::Role::Server);
            socket->write(m_codec.start());
        }
    }
}

void TcpLink::onReadyRead()
{
    if (!m_client)
        return;
    const QByteArray bytes = m_client->readAll();
    if (m_mode == Mode::Raw) {
        emit received(bytes);
        return;
    }
    const TelnetCodec::Output out = m_codec.feed(bytes);
    if (!out.reply.isEmpty())
        m_client->write(out.reply);
    // Bytes before a speed change arrive at the old speed, those after at the new one.
    int done = 0;
    for (const TelnetCodec::Event &e : out.events) {
        if (e.at > done)
            emit received(out.data.mid(done, e.at - done));
        done = std::max(done, e.at);
        if (!m_client)
            return;
        apply(e);
    }
    if (done < out.data.size() && m_client)
        emit received(out.data.mid(done));
}

void TcpLink::apply(const TelnetCodec::Event &e)
{
    if (e.kind != TelnetCodec::Event::ComPortCommand) {
        emit note(e.kind == TelnetCodec::Event::ComPortAccepted
                      ? QStringLiteral("COM-PORT-CONTROL agreed")
                      : QStringLiteral("COM-PORT-CONTROL refused"));
        return;
    }
    // A value of 0 asks for the setting without changing it.
    const quint32 value = e.number();
    QByteArray answer;
    switch (e.command) {
    case TelnetCodec::SetBaudRate:
        if (value != 0) {
            m_baud = value;
            emit note(QStringLiteral("line set to %1 bit/s").arg(value));
        }
        answer = m_codec.setBaudRate(m_baud);
        break;
    case TelnetCodec::SetDataSize:
    case TelnetCodec::SetParity:
    case TelnetCodec::SetStopSize: {
        quint8 &setting = e.command == TelnetCodec::SetDataSize ? m_dataSize
                          : e.command == TelnetCodec::SetParity ? m_parity
                                                                : m_stopSize;
        if (value != 0)
            setting = quint8(value);
        answer = m_codec.command(TelnetCodec::Command(e.command), QByteArray(1, char(setting)));
        break;
    }
    case TelnetCodec::SetControl:
        // No flow control, nothing else to switch: told as asked, or "none" to a question.
        answer =
            m_codec.command(TelnetCodec::SetControl,
                            QByteArray(1, char(value != 0 ? value : TelnetCodec::kControlNoFlow)));
        break;
    case TelnetCodec::Signature:
        // The client's own signature needs no answer; an empty one asks for ours.
        if (!e.value.isEmpty())
            return;
        answer = m_codec.command(TelnetCodec::Signature, QByteArrayLiteral("quarvex-sim"));
        break;
    case TelnetCodec::SetLineStateMask:
    case TelnetCodec::SetModemStateMask:
    case TelnetCodec::PurgeData:
        answer = m_codec.command(TelnetCodec::Command(e.command), e.value);
        break;
    default:
        return;
    }
    m_client->write(answer);
}

void TcpLink::onDisconnected()
{
    emit note(QStringLiteral("client gone"));
    dropClient();
}

void TcpLink::dropClient()
{
    if (!m_client)
        return;
    QTcpSocket *socket = m_client;
    m_client = nullptr;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

} // namespace quarvex::sim
