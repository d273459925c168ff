#include "modbusgateway.h"

#include "device/registers.h"

#include <QTcpSocket>

namespace quarvex::sim {

ModbusGateway::ModbusGateway(const ListenAddress &address, QObject *parent)
    : SimFace(parent), m_address(address)
{
    m_lineTimer.setSingleShot(true);
    m_lineTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_lineTimer, &QTimer::timeout, this, &ModbusGateway::onLineQuiet);
    connect(&m_server, &QTcpServer::newConnection, this, &ModbusGateway::onNewConnection);
}

ModbusGateway::~ModbusGateway()
{
    close();
}

bool ModbusGateway::open(quint32 baud, QString *error)
{
    close();
    m_baud = baud;
    return m_address.listen(m_server, error);
}

void ModbusGateway::close()
{
    m_server.close();
    m_lineTimer.stop();
    m_busy = false;
    m_queue.clear();
    m_current = {};
    const QList<QTcpSocket *> clients = m_streams.keys();
    m_streams.clear();
    for (QTcpSocket *socket : clients) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
}

void ModbusGateway::onNewConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        m_streams.insert(socket, mbap::Stream());
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_streams.remove(socket);
            socket->deleteLater();
        });
        emit note(QStringLiteral("%1:%2 connected")
                      .arg(socket->peerAddress().toString())
                      .arg(socket->peerPort()));
    }
}

void ModbusGateway::onReadyRead(QTcpSocket *client)
{
    const auto stream = m_streams.find(client);
    if (stream == m_streams.end())
        return;
    const mbap::Stream::Output out = stream->feed(client->readAll());
    for (const mbap::Adu &adu : out.adus)
        m_queue.enqueue({client, adu});
    if (out.broken) {
        // Nothing after a header that is not Modbus can be framed again.
        emit note(QStringLiteral("not Modbus TCP, connection closed"));
        m_streams.remove(client);
        client->disconnect(this);
        client->abort();
        client->deleteLater();
    }
    serveNext();
}

void ModbusGateway::serveNext()
{
    while (!m_busy && !m_queue.isEmpty()) {
        m_current = m_queue.dequeue();
        if (!m_current.client)
            continue;
        qint64 busyNs = 0;
        m_reply = m_exchange ? m_exchange(mbap::toRtu(m_current.adu), &busyNs) : QByteArray();
        // The request may have pulled the plug.
        if (!isOpen())
            return;
        m_busy = true;
        m_lineTimer.start(int((busyNs + 999'999) / 1'000'000));
    }
}

void ModbusGateway::onLineQuiet()
{
    m_busy = false;
    const bool broadcast = m_current.adu.unitId == 0;
    if (broadcast && !m_reply.isEmpty())
        emit note(QStringLiteral("unit 0 is a broadcast: the reply is not passed on"));
    else if (!m_reply.isEmpty() && m_current.client)
        m_current.client->write(mbap::fromRtu(m_reply, m_current.adu.transactionId));
    else if (!broadcast && m_current.client && !m_current.adu.pdu.isEmpty())
        // As gateways do: nothing answered at that unit.
        m_current.client->write(
            mbap::build({m_current.adu.transactionId, m_current.adu.unitId,
                         QByteArray(1, char(quint8(m_current.adu.pdu.at(0)) | 0x80)) +
                             char(ExceptionCode::GatewayTargetFailed)}));
    m_current = {};
    m_reply.clear();
    serveNext();
}

} // namespace quarvex::sim
