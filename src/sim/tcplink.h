#pragma once

#include "link/telnetcodec.h"
#include "simlink.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>

class QTcpSocket;

namespace quarvex::sim {

// Where a network face listens: "[ADDR:]PORT", on 127.0.0.1 unless an address is given;
// port 0 takes a free one.
struct ListenAddress
{
    QHostAddress host{QHostAddress::LocalHost};
    quint16 port = 0;

    bool parse(const QString &text);
    // Listens, and keeps the port it got, so that plugging in again finds the same one.
    bool listen(QTcpServer &server, QString *error);
    // "tcp://127.0.0.1:4001"
    QString name(const char *scheme) const;
};

// A serial device server on TCP in front of the line: raw bytes both ways (transparent
// mode), or Telnet with COM-PORT-CONTROL, where the client sets the far port's line and
// the module hears it only at its own speed. One client at a time, as such servers take.
class TcpLink : public SimLink
{
    Q_OBJECT

public:
    enum class Mode
    {
        Raw,
        Rfc2217,
    };

    TcpLink(Mode mode, const ListenAddress &address, QObject *parent = nullptr);
    ~TcpLink() override;

    bool open(quint32 baud, QString *error) override;
    void close() override;
    bool isOpen() const override { return m_server.isListening(); }
    QString path() const override;
    PortSettings portSettings() const override;
    int write(const QByteArray &bytes) override;

private:
    void onNewConnection();
    void onReadyRead();
    void onDisconnected();
    void apply(const TelnetCodec::Event &event);
    void dropClient();

    Mode m_mode;
    ListenAddress m_address;
    QTcpServer m_server;
    QPointer<QTcpSocket> m_client;
    TelnetCodec m_codec{TelnetCodec::Role::Server};
    // The far port as the server set it up, and as the client has set it since.
    quint32 m_serverBaud = 9600;
    quint32 m_baud = 9600;
    quint8 m_dataSize = 8;
    quint8 m_parity = TelnetCodec::kParityNone;
    quint8 m_stopSize = TelnetCodec::kStopOne;
};

} // namespace quarvex::sim
