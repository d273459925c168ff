#include "link/crc16.h"
#include "link/mbap.h"
#include "link/telnetcodec.h"
#include "link/transport.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

using namespace quarvex;

namespace {

QByteArray raw(const char *hex)
{
    return QByteArray::fromHex(hex);
}

// The far end on 127.0.0.1, a free port: takes one connection and keeps what it reads.
class Peer
{
public:
    Peer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            m_socket = m_server.nextPendingConnection();
            QObject::connect(m_socket, &QTcpSocket::readyRead,
                             [this] { onBytes(m_socket->readAll()); });
        });
    }
    virtual ~Peer() = default;

    QString url(const char *scheme) const
    {
        return QStringLiteral("%1://127.0.0.1:%2")
            .arg(QLatin1String(scheme))
            .arg(m_server.serverPort());
    }
    void send(const QByteArray &bytes) { m_socket->write(bytes); }
    void hangUp() { m_socket->close(); }

    QByteArray received;
    QTcpSocket *m_socket = nullptr;

protected:
    virtual void onBytes(const QByteArray &bytes) { received += bytes; }

private:
    QTcpServer m_server;
};

// An RFC 2217 server that acknowledges every speed with the one it is told to.
class TelnetPeer : public Peer
{
public:
    TelnetPeer(quint32 acknowledged, bool refuse) : m_acknowledged(acknowledged), m_refuse(refuse)
    {}
    QByteArray data;
    QList<int> dataAtSpeedRequest;
    QByteArray escape(const QByteArray &bytes) const { return TelnetCodec::escape(bytes); }

protected:
    void onBytes(const QByteArray &bytes) override
    {
        received += bytes;
        const TelnetCodec::Output out = m_codec.feed(bytes);
        data += out.data;
        for (const TelnetCodec::Event &e : out.events) {
            if (e.kind == TelnetCodec::Event::ComPortAccepted)
                send(m_refuse ? raw("fffe2c") : raw("fffd2c"));
            if (e.kind == TelnetCodec::Event::ComPortCommand &&
                e.command == TelnetCodec::SetBaudRate) {
                // Data that came with the request: sent before the acknowledgement.
                dataAtSpeedRequest += int(data.size());
                send(m_codec.setBaudRate(m_acknowledged));
            }
        }
    }

private:
    TelnetCodec m_codec{TelnetCodec::Role::Server};
    quint32 m_acknowledged;
    bool m_refuse;
};

struct Opened
{
    std::unique_ptr<Transport> t;
    std::unique_ptr<QSignalSpy> failed;
};

// Opens and waits for the outcome, whichever it is.
Opened openAndWait(const QString &name, quint32 baud = 9600)
{
    Opened o;
    o.t.reset(createTransport(name));
    o.failed = std::make_unique<QSignalSpy>(o.t.get(), &Transport::failed);
    QSignalSpy opened(o.t.get(), &Transport::opened);
    if (o.t->open(baud) == Transport::Opening::Pending)
        [&] {
            QTRY_VERIFY_WITH_TIMEOUT(!opened.isEmpty() || !o.failed->isEmpty(), 10000);
        }();
    return o;
}

TransportError::Kind failureOf(const Opened &o)
{
    return o.failed->isEmpty() ? o.t->error().kind
                               : qvariant_cast<TransportError>(o.failed->first().at(0)).kind;
}

} // namespace

class tst_Transport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<TransportError>(); }
    void portNames_data();
    void portNames();
    void openingFailuresAreTold_data();
    void openingFailuresAreTold();
    void droppedConnectionIsToldOnce();
    void rtuOverTcpCarriesFramesAsTheyAre();
    void rfc2217SetsTheSpeedAndEscapes();
    void rfc2217RefusedOption();
    void rfc2217HoldsFramesUntilTheSpeedIsAcknowledged();
    void modbusTcpDropsStaleReplies();
};

void tst_Transport::portNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("scheme");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<bool>("valid");

    const int serial = int(Scheme::Serial), tcp = int(Scheme::RtuOverTcp),
              rfc = int(Scheme::Rfc2217), mb = int(Scheme::ModbusTcp);
    QTest::newRow("device path") << "/dev/ttyUSB0" << serial << "" << 0 << true;
    QTest::newRow("windows port") << "COM3" << serial << "" << 0 << true;
    QTest::newRow("tcp") << "tcp://192.168.1.20:4001" << tcp << "192.168.1.20" << 4001 << true;
    QTest::newRow("scheme in capitals") << "TCP://gw:4001" << tcp << "gw" << 4001 << true;
    QTest::newRow("rfc2217 on IPv6") << "rfc2217://[::1]:2217" << rfc << "::1" << 2217 << true;
    QTest::newRow("modbus-tcp default port") << "modbus-tcp://gw" << mb << "gw" << 502 << true;
    QTest::newRow("modbus-tcp port") << "modbus-tcp://gw:1502" << mb << "gw" << 1502 << true;
    QTest::newRow("tcp without port") << "tcp://gw" << tcp << "gw" << 0 << false;
    QTest::newRow("no host") << "tcp://:4001" << tcp << "" << 4001 << false;
    QTest::newRow("port out of range") << "rfc2217://gw:70000" << rfc << "" << 0 << false;
    QTest::newRow("a path after the port") << "tcp://gw:4001/x" << tcp << "gw" << 4001 << false;
}

void tst_Transport::portNames()
{
    QFETCH(QString, name);
    QFETCH(int, scheme);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(bool, valid);
    const PortName p = parsePortName(name);
    QCOMPARE(int(p.scheme), scheme);
    QCOMPARE(p.valid, valid);
    if (valid) {
        QCOMPARE(p.host, host);
        QCOMPARE(int(p.port), port);
    }
}

void tst_Transport::openingFailuresAreTold_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("kind");

    // A port that was free a moment ago and has no listener now.
    quint16 closed = 0;
    {
        QTcpServer s;
        s.listen(QHostAddress::LocalHost, 0);
        closed = s.serverPort();
    }
    QTest::newRow("refused") << QStringLiteral("tcp://127.0.0.1:%1").arg(closed)
                             << int(TransportError::Refused);
    QTest::newRow("no such host") << "rfc2217://quarvex.invalid:2217"
                                  << int(TransportError::HostNotFound);
    QTest::newRow("no port") << "tcp://127.0.0.1" << int(TransportError::BadAddress);
    QTest::newRow("no serial port") << "/dev/quarvex-missing" << int(TransportError::OpenFailed);
}

void tst_Transport::openingFailuresAreTold()
{
    QFETCH(QString, name);
    QFETCH(int, kind);
    const Opened o = openAndWait(name);
    QVERIFY(!o.t->isOpen());
    QCOMPARE(int(failureOf(o)), kind);
}

void tst_Transport::droppedConnectionIsToldOnce()
{
    Peer peer;
    const Opened o = openAndWait(peer.url("tcp"));
    QVERIFY(o.t->isOpen());
    QTRY_VERIFY(peer.m_socket);
    peer.hangUp();
    QTRY_COMPARE(o.failed->size(), 1);
    QCOMPARE(int(failureOf(o)), int(TransportError::Dropped));
    QVERIFY(!o.t->isOpen());
    QCOMPARE(o.t->write(raw("00200068")), qint64(-1));
    QCOMPARE(o.failed->size(), 1);
}

void tst_Transport::rtuOverTcpCarriesFramesAsTheyAre()
{
    Peer peer;
    const Opened o = openAndWait(peer.url("tcp"));
    QVERIFY(o.t->isOpen());
    QVERIFY(!o.t->setsLineSpeed());
    const QByteArray request = withCrc(raw("01ff"));
    QCOMPARE(o.t->write(request), qint64(request.size()));
    QTRY_COMPARE(peer.received.toHex(), request.toHex());
    QSignalSpy ready(o.t.get(), &Transport::readyRead);
    peer.send(raw("ff01"));
    QTRY_VERIFY(!ready.isEmpty());
    QCOMPARE(o.t->readAll().toHex(), QByteArray("ff01"));
}

void tst_Transport::rfc2217SetsTheSpeedAndEscapes()
{
    TelnetPeer peer(19200, false);
    const Opened o = openAndWait(peer.url("rfc2217"), 9600);
    QVERIFY(o.t->isOpen());
    // The server set another speed than asked; the window and quarvexctl say so.
    QCOMPARE(o.t->actualLineSpeed(), quint32(19200));
    QVERIFY(peer.received.contains(raw("fffa2c0100002580fff0")));
    QVERIFY(peer.received.contains(raw("fffa2c0208fff0")));

    const QByteArray request = withCrc(raw("01ff"));
    o.t->write(request);
    QTRY_COMPARE(peer.data.toHex(), request.toHex());
    QSignalSpy ready(o.t.get(), &Transport::readyRead);
    peer.send(peer.escape(raw("02ff03")));
    QTRY_VERIFY(!ready.isEmpty());
    QCOMPARE(o.t->readAll().toHex(), QByteArray("02ff03"));
}

void tst_Transport::rfc2217RefusedOption()
{
    TelnetPeer peer(9600, true);
    const Opened o = openAndWait(peer.url("rfc2217"));
    QVERIFY(!o.t->isOpen());
    QCOMPARE(int(failureOf(o)), int(TransportError::ComPortRefused));
}

void tst_Transport::rfc2217HoldsFramesUntilTheSpeedIsAcknowledged()
{
    TelnetPeer peer(9600, false);
    const Opened o = openAndWait(peer.url("rfc2217"));
    QVERIFY(o.t->isOpen());
    QSignalSpy confirmed(o.t.get(), &Transport::lineSpeedConfirmed);
    QVERIFY(o.t->setLineSpeed(1200));
    o.t->write(withCrc(raw("0020")));
    // Written in one go with the new speed, the frame still waits for its acknowledgement.
    QTRY_COMPARE(confirmed.size(), 1);
    QTRY_COMPARE(peer.data.toHex(), withCrc(raw("0020")).toHex());
    QCOMPARE(peer.dataAtSpeedRequest, (QList<int>{0, 0}));
}

void tst_Transport::modbusTcpDropsStaleReplies()
{
    Peer peer;
    const Opened o = openAndWait(QStringLiteral("modbus-tcp://127.0.0.1:%1")
                                     .arg(peer.url("x").section(QLatin1Char(':'), -1)));
    QVERIFY(o.t->isOpen());
    QVERIFY(!o.t->carriesAddressFrames());
    o.t->write(withCrc(raw("010300000002")));
    QTRY_COMPARE(peer.received.toHex(), QByteArray("000100000006010300000002"));
    QSignalSpy ready(o.t.get(), &Transport::readyRead);
    // A late answer to an earlier transaction, then the awaited one.
    peer.send(raw("000000000003018302") + raw("00010000000701030400002580"));
    QTRY_VERIFY(!ready.isEmpty());
    QCOMPARE(o.t->readAll().toHex(), withCrc(raw("01030400002580")).toHex());
}

QTEST_GUILESS_MAIN(tst_Transport)
#include "tst_transport.moc"
