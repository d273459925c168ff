#pragma once

#include "link/mbap.h"
#include "simlink.h"
#include "tcplink.h"

#include <QHash>
#include <QPointer>
#include <QQueue>
#include <QTcpServer>
#include <QTimer>

#include <functional>

class QTcpSocket;

namespace quarvex::sim {

// A Modbus TCP gateway in front of the line: each request's unit identifier is the bus
// address. Requests from all clients take their turn on the line, one at a time; a
// module's reply goes back under the request's transaction identifier, exceptions
// included. Unit 0 is a broadcast, never answered.
class ModbusGateway : public SimFace
{
    Q_OBJECT

public:
    // One request (RTU, CRC included) put on the line now: the reply frame the gateway
    // takes off it (empty for none) and how long until the line is quiet again.
    using Exchange = std::function<QByteArray(const QByteArray &request, qint64 *busyNs)>;

    explicit ModbusGateway(const ListenAddress &address, QObject *parent = nullptr);
    ~ModbusGateway() override;

    void setExchange(Exchange exchange) { m_exchange = std::move(exchange); }

    bool open(quint32 baud, QString *error) override;
    void close() override;
    bool isOpen() const override { return m_server.isListening(); }
    QString path() const override { return m_address.name("modbus-tcp"); }
    // The gateway's own port to the line: fixed at the module's speed, 8N1.
    PortSettings portSettings() const override { return {true, m_baud, true}; }

private:
    struct Request
    {
        QPointer<QTcpSocket> client;
        mbap::Adu adu;
    };

    void onNewConnection();
    void onReadyRead(QTcpSocket *client);
    void serveNext();
    void onLineQuiet();

    ListenAddress m_address;
    QTcpServer m_server;
    QHash<QTcpSocket *, mbap::Stream> m_streams;
    QQueue<Request> m_queue;
    Request m_current;
    QByteArray m_reply;
    bool m_busy = false;
    QTimer m_lineTimer;
    Exchange m_exchange;
    quint32 m_baud = 9600;
};

} // namespace quarvex::sim
