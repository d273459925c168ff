#include "link/telnetcodec.h"
#include "link/transport.h"
#include "replies.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

using namespace quarvex;

namespace {

// A server on 127.0.0.1 the test scripts: what it does when a client connects, and with
// the bytes it reads (none are read when onBytes is empty: a peer that stops reading).
class ScriptedPeer
{
public:
    ScriptedPeer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            socket = m_server.nextPendingConnection();
            if (!onBytes)
                socket->setReadBufferSize(1);
            else
                QObject::connect(socket, &QTcpSocket::readyRead,
                                 [this] { onBytes(socket->readAll()); });
            if (onConnect)
                onConnect();
        });
    }
    QString url(const char *scheme) const
    {
        return QStringLiteral("%1://127.0.0.1:%2")
            .arg(QLatin1String(scheme))
            .arg(m_server.serverPort());
    }

    QTcpSocket *socket = nullptr;
    std::function<void()> onConnect;
    std::function<void(const QByteArray &)> onBytes;

private:
    QTcpServer m_server;
};

// An RFC 2217 server: agrees to the option, keeps the data it reads and acknowledges every
// speed with the one it is told to, after the data that came with the request.
struct TelnetPeer : ScriptedPeer
{
    explicit TelnetPeer(quint32 acknowledged)
    {
        onBytes = [this, acknowledged](const QByteArray &bytes) {
            received += bytes;
            const TelnetCodec::Output out = codec.feed(bytes);
            data += out.data;
            for (const TelnetCodec::Event &e : out.events) {
                if (e.kind == TelnetCodec::Event::ComPortAccepted)
                    socket->write(fromHex("fffd2c"));
                if (e.kind == TelnetCodec::Event::ComPortCommand &&
                    e.command == TelnetCodec::SetBaudRate) {
                    dataAtSpeedRequest += int(data.size());
                    socket->write(codec.setBaudRate(acknowledged));
                }
            }
        };
    }
    TelnetCodec codec{TelnetCodec::Role::Server};
    QByteArray received, data;
    QList<int> dataAtSpeedRequest;
};

// Opens a port on the peer and waits until it is open.
std::unique_ptr<Transport> openOn(const ScriptedPeer &peer, const char *scheme)
{
    std::unique_ptr<Transport> t(createTransport(peer.url(scheme)));
    QSignalSpy opened(t.get(), &Transport::opened);
    if (t->open(9600) == Transport::Opening::Pending)
        opened.wait(10000);
    return t;
}

} // namespace

class tst_Transport : public QObject
{
    Q_OBJECT

private slots:
    void portNames();
    void rfc2217SetsTheSpeedAndEscapes();
    void rfc2217HoldsFramesUntilTheSpeedIsAcknowledged();
    void rfc2217PairsLateAcknowledgements();
    void hostilePeers_data();
    void hostilePeers();
    void gatewayReplyUnderWay();
};

void tst_Transport::portNames()
{
    const struct
    {
        const char *name, *parsed; // scheme host port, or "invalid"
    } rows[] = {
        {"/dev/ttyUSB0", "0  0"},
        {"TCP://192.168.1.20:4001", "1 192.168.1.20 4001"},
        {"rfc2217://[::1]:2217", "2 ::1 2217"},
        {"modbus-tcp://gw", "3 gw 502"},
        {"tcp://gw", "invalid"},
        {"tcp://:4001", "invalid"},
        {"rfc2217://gw:70000", "invalid"},
        {"tcp://gw:4001/x", "invalid"},
    };
    for (const auto &row : rows) {
        const PortName p = parsePortName(QString::fromLatin1(row.name));
        const QString parsed =
            p.valid ? QStringLiteral("%1 %2 %3").arg(int(p.scheme)).arg(p.host).arg(p.port)
                    : QStringLiteral("invalid");
        QCOMPARE(parsed, QString::fromLatin1(row.parsed));
    }
}

void tst_Transport::rfc2217SetsTheSpeedAndEscapes()
{
    TelnetPeer peer(19200);
    const auto t = openOn(peer, "rfc2217");
    QVERIFY(t->isOpen());
    // The server set another speed than asked; the window and quarvexctl say so.
    QCOMPARE(t->actualLineSpeed(), quint32(19200));
    QVERIFY(peer.received.contains(fromHex("fffa2c0100002580fff0")));
    QVERIFY(peer.received.contains(fromHex("fffa2c0208fff0")));

    const QByteArray request = frame("01ff");
    t->write(request);
    QTRY_COMPARE(peer.data.toHex(), request.toHex());
    QSignalSpy ready(t.get(), &Transport::readyRead);
    peer.socket->write(TelnetCodec::escape(fromHex("02ff03")));
    QTRY_VERIFY(!ready.isEmpty());
    QCOMPARE(t->readAll().toHex(), QByteArray("02ff03"));
}

void tst_Transport::rfc2217HoldsFramesUntilTheSpeedIsAcknowledged()
{
    TelnetPeer peer(9600);
    const auto t = openOn(peer, "rfc2217");
    QVERIFY(t->isOpen());
    QSignalSpy confirmed(t.get(), &Transport::lineSpeedConfirmed);
    QVERIFY(t->setLineSpeed(1200));
    t->write(frame("0020"));
    // Written in one go with the new speed, the frame still waits for its acknowledgement.
    QTRY_COMPARE(confirmed.size(), 1);
    QTRY_COMPARE(peer.data.toHex(), frame("0020").toHex());
    QCOMPARE(peer.dataAtSpeedRequest, (QList<int>{0, 0}));
}

// Through a proxy the acknowledgements come late: each is its own request's, and their time
// is the round trip that connecting did not show.
void tst_Transport::rfc2217PairsLateAcknowledgements()
{
    ScriptedPeer peer;
    TelnetCodec codec(TelnetCodec::Role::Server);
    QList<quint32> asked;
    peer.onBytes = [&](const QByteArray &bytes) {
        for (const TelnetCodec::Event &e : codec.feed(bytes).events) {
            if (e.kind == TelnetCodec::Event::ComPortAccepted)
                peer.socket->write(fromHex("fffd2c"));
            if (e.kind == TelnetCodec::Event::ComPortCommand &&
                e.command == TelnetCodec::SetBaudRate)
                asked << e.number();
        }
        // Answered 300 ms late, and only once three speeds were asked, in order.
        if (asked.size() == 1 || asked.size() == 3)
            QTimer::singleShot(300, peer.socket, [&, n = asked.size()] {
                for (int i = n == 1 ? 0 : 1; i < n; ++i)
                    peer.socket->write(codec.setBaudRate(asked.at(i)));
            });
    };
    std::unique_ptr<Transport> t(createTransport(peer.url("rfc2217")));
    QSignalSpy opened(t.get(), &Transport::opened);
    QSignalSpy confirmed(t.get(), &Transport::lineSpeedConfirmed);
    QCOMPARE(t->open(9600), Transport::Opening::Pending);
    QVERIFY(opened.wait(10000));
    QVERIFY(t->roundTripMs() >= 300);
    QVERIFY(t->setLineSpeed(19200));
    QVERIFY(t->setLineSpeed(1200));
    QTRY_COMPARE_WITH_TIMEOUT(confirmed.size(), 2, 10000);
    QCOMPARE(confirmed.last().value(0).toUInt(), 1200u);
}

void tst_Transport::hostilePeers_data()
{
    // clang-format off
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<int>("peerKind");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("serverWords");
    QTest::newRow("a banner, then closed") << "tcp" << 0 << int(TransportError::Dropped) << "Port's device already in use";
    QTest::newRow("negotiation flooded, never read") << "rfc2217" << 1 << int(TransportError::StoppedReading) << "";
    // A plain TCP face never answers the negotiation: connecting must still give up.
    QTest::newRow("no RFC 2217 at all") << "rfc2217" << 2 << int(TransportError::ComPortRefused) << "";
    // clang-format on
}

void tst_Transport::hostilePeers()
{
    QFETCH(QString, scheme);
    QFETCH(int, peerKind);
    QFETCH(int, kind);
    QFETCH(QString, serverWords);
    ScriptedPeer peer;
    const QByteArray flood = fromHex("fffd63").repeated(64 * 1024); // DO an unknown option
    switch (peerKind) {
    case 0:
        peer.onBytes = [](const QByteArray &) {
        };
        peer.onConnect = [&] {
            peer.socket->write("Port's device already in use\r\n");
            peer.socket->disconnectFromHost();
        };
        break;
    case 1:
        peer.onConnect = [&] {
            QObject::connect(peer.socket, &QTcpSocket::bytesWritten,
                             [&] { peer.socket->write(flood); });
            peer.socket->write(flood);
        };
        break;
    default:
        peer.onBytes = [](const QByteArray &) {
        };
        break;
    }
    std::unique_ptr<Transport> t(createTransport(peer.url(qPrintable(scheme))));
    QSignalSpy failed(t.get(), &Transport::failed);
    t->open(9600);
    QVERIFY(failed.wait(20000));
    const auto e = failed.first().value(0).value<TransportError>();
    QCOMPARE(int(e.kind), kind);
    QCOMPARE(e.serverWords, serverWords);
}

// A gateway's reply coming in slowly: the request engine is told it is under way.
void tst_Transport::gatewayReplyUnderWay()
{
    ScriptedPeer peer;
    peer.onBytes = [&](const QByteArray &) {
        peer.socket->write(fromHex("00010000"));
    };
    const auto t = openOn(peer, "modbus-tcp");
    QVERIFY(t->isOpen());
    QSignalSpy receiving(t.get(), &Transport::receiving);
    t->write(frame("010300000002"));
    QVERIFY(receiving.wait(10000));
    QCOMPARE(t->partialBytes(), 4);
}

QTEST_GUILESS_MAIN(tst_Transport)
#include "tst_transport.moc"
