// The virtual module on the network: its own faces (serial device server, raw and
// RFC 2217; Modbus TCP gateway) and mbpoll (libmodbus) as a second, independent Modbus TCP
// client; tst_cli puts ser2net in front of its pty. All on 127.0.0.1, at ports free at run time.
#include "link/crc16.h"
#include "link/mbap.h"
#include "link/telnetcodec.h"
#include "simprocess.h"

#include <QTcpSocket>
#include <QtTest>

using quarvex::TelnetCodec;

namespace {

constexpr int kWaitMs = 5000;

// A client of one face: RTU frames (CRC added here) over raw TCP or Telnet, or MBAP as is.
class FaceClient
{
public:
    enum class Kind
    {
        Raw,
        Telnet,
        Mbap,
    };

    FaceClient(Kind kind, quint16 port) : m_kind(kind)
    {
        m_socket.connectToHost(QHostAddress::LocalHost, port);
        if (m_kind == Kind::Telnet)
            m_socket.write(m_codec.start());
    }

    bool connected() { return m_socket.waitForConnected(kWaitMs); }

    // The request as the module gets it, for its log.
    QByteArray send(const QByteArray &bytes)
    {
        if (m_kind == Kind::Mbap) {
            m_socket.write(bytes);
            const auto adus = quarvex::mbap::Stream().feed(bytes).adus;
            return adus.isEmpty() ? QByteArray() : quarvex::mbap::toRtu(adus.first());
        }
        const QByteArray frame = quarvex::withCrc(bytes);
        m_socket.write(m_kind == Kind::Telnet ? TelnetCodec::escape(frame) : frame);
        return frame;
    }

    // The next n data bytes.
    QByteArray take(int n)
    {
        (void)QTest::qWaitFor([&] { return pump(), m_data.size() >= n; }, kWaitMs);
        const QByteArray got = m_data.left(n);
        m_data.remove(0, got.size());
        return got;
    }

    // Sets the far port's speed; the speed the server acknowledges, 0 for none.
    quint32 setBaud(quint32 baud)
    {
        m_socket.write(m_codec.setBaudRate(baud));
        quint32 ack = 0;
        (void)QTest::qWaitFor(
            [&] {
                pump();
                for (const TelnetCodec::Event &e : std::exchange(m_events, {}))
                    if (e.kind == TelnetCodec::Event::ComPortCommand &&
                        e.command == TelnetCodec::SetBaudRate)
                        ack = e.number();
                return ack != 0;
            },
            kWaitMs);
        return ack;
    }

private:
    void pump()
    {
        const QByteArray bytes = m_socket.readAll();
        if (m_kind != Kind::Telnet) {
            m_data += bytes;
            return;
        }
        const TelnetCodec::Output out = m_codec.feed(bytes);
        m_data += out.data;
        m_events += out.events;
        m_socket.write(out.reply);
    }

    Kind m_kind;
    QTcpSocket m_socket;
    TelnetCodec m_codec{TelnetCodec::Role::Client};
    QByteArray m_data;
    QVector<TelnetCodec::Event> m_events;
};

} // namespace

class TestSimNet : public QObject
{
    Q_OBJECT

private slots:
    void faces_data();
    void faces();
    void mbpollAgrees();
};

void TestSimNet::faces_data()
{
    // clang-format off
    // Steps: "> HEX" sends a request, "< HEX" is exactly the next data to come back
    // (RTU without its CRC, added here; MBAP whole), "baud N" sets the far port's speed
    // and wants it acknowledged, "quiet" waits until the module has heard the last
    // request; whatever it sent back would come before the next "<".
    QTest::addColumn<QString>("face");
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QStringList>("steps");
    const QStringList read{"> 0103 0000 0002", "< 010304 0000 2580"};
    // Another request at the wrong speed, so that an answer to it would show.
    const QStringList ownSpeedOnly{"baud 9600",  "> 0103 0000 0001", "quiet",
                                   "baud 19200", "> 0020",           "< 002001"};
    QTest::newRow("tcp: transparent read") << "tcp" << QStringList{} << read;
    QTest::newRow("rfc2217: answers at its own speed only") << "rfc2217" << QStringList{"--baud", "19200"} << ownSpeedOnly;
    // Address 84's report ends in FF, which Telnet doubles.
    QTest::newRow("rfc2217: FF in a reply") << "rfc2217" << QStringList{"--address", "84"} << QStringList{"> 0020", "< 002054"};
    QTest::newRow("modbus-tcp: read") << "modbus-tcp" << QStringList{} << QStringList{"> 0001 0000 0006 01 03 0000 0002", "< 0001 0000 0007 01 03 04 0000 2580"};
    QTest::newRow("modbus-tcp: exception") << "modbus-tcp" << QStringList{} << QStringList{"> 0002 0000 0006 01 03 000d 0002", "< 0002 0000 0003 01 83 02"};
    QTest::newRow("modbus-tcp: unit 0 never answered") << "modbus-tcp" << QStringList{} << QStringList{"> 0003 0000 0002 00 20", "quiet", "> 0004 0000 0006 01 03 0000 0001", "< 0004 0000 0005 01 03 02 0000"};
    // clang-format on
}

void TestSimNet::faces()
{
    QFETCH(QString, face);
    QFETCH(QStringList, simArgs);
    QFETCH(QStringList, steps);
    SimProcess sim(simArgs << QLatin1String("--") + face << QStringLiteral("0"));
    QVERIFY2(sim.port() != 0, "the module did not start");
    const FaceClient::Kind kind = face == QLatin1String("modbus-tcp") ? FaceClient::Kind::Mbap
                                  : face == QLatin1String("rfc2217")  ? FaceClient::Kind::Telnet
                                                                      : FaceClient::Kind::Raw;
    FaceClient client(kind, sim.port());
    QVERIFY(client.connected());

    QByteArray heard;
    for (const QString &step : steps) {
        const QString arg = step.section(QLatin1Char(' '), 1).remove(QLatin1Char(' '));
        const QByteArray bytes = QByteArray::fromHex(arg.toLatin1());
        if (step.startsWith(QLatin1Char('>'))) {
            heard = client.send(bytes);
        } else if (step.startsWith(QLatin1Char('<'))) {
            const QByteArray want =
                kind == FaceClient::Kind::Mbap ? bytes : quarvex::withCrc(bytes);
            QCOMPARE(client.take(int(want.size())).toHex(' '), want.toHex(' '));
        } else if (step.startsWith(QLatin1String("baud"))) {
            QCOMPARE(client.setBaud(arg.toUInt()), arg.toUInt());
        } else {
            QVERIFY2(sim.waitForReceived(heard, kWaitMs), qPrintable(step));
        }
    }
}

void TestSimNet::mbpollAgrees()
{
    const QString mbpoll = QStandardPaths::findExecutable(QStringLiteral("mbpoll"));
    if (mbpoll.isEmpty() && qgetenv("CI") == "true")
        QFAIL("mbpoll is not installed (scripts/install-deps.sh installs it)");
    if (mbpoll.isEmpty())
        QSKIP("mbpoll is not installed (scripts/install-deps.sh installs it)");
    SimProcess sim({QStringLiteral("--modbus-tcp"), QStringLiteral("0")});
    QVERIFY(sim.port() != 0);
    struct Exchange
    {
        const char *request; // unit and first register, with a value to write
        const char *says;    // the registers read, "ok" for a write, or the failure
    };
    const Exchange exchanges[] = {
        {"-a 1 -r 0 -c 12", "0000 2580 0000 2710 0000 0000 0000 0000 2710 0000 0000 0000"},
        {"-a 1 -r 5 50", "ok"},
        {"-a 1 -r 5", "0032"},
        {"-a 1 -r 13 -c 2", "Illegal data address"},
        {"-a 1 -r 5 101", "Illegal data value"},
        // A broadcast is carried out and never answered.
        {"-a 0 -r 10 7", "Connection timed out"},
        {"-a 1 -r 10", "0007"},
    };
    for (const Exchange &e : exchanges) {
        QStringList args = QString::fromLatin1(e.request).split(QLatin1Char(' '));
        // A value to write comes after the host.
        const QStringList value = args.size() % 2 ? QStringList{args.takeLast()} : QStringList{};
        args << QStringLiteral("-m") << QStringLiteral("tcp") << QStringLiteral("-p")
             << QString::number(sim.port()) << QStringLiteral("-0") << QStringLiteral("-1")
             << QStringLiteral("-t") << QStringLiteral("4:hex") << QStringLiteral("-o")
             << QStringLiteral("2") << QStringLiteral("127.0.0.1");
        args += value;
        QProcess p;
        p.start(mbpoll, args);
        QVERIFY(p.waitForFinished(20000));
        // Registers come as "[n]: <tab>0x0032", failures as "... failed: <reason>".
        QStringList words;
        for (const QByteArray &line : p.readAllStandardOutput().split('\n'))
            if (line.startsWith('[') && line.contains("0x"))
                words << QString::fromLatin1(line.mid(line.indexOf("0x") + 2));
        const QString failure = QString::fromLocal8Bit(p.readAllStandardError()).trimmed();
        const QString says = !words.isEmpty()    ? words.join(QLatin1Char(' '))
                             : p.exitCode() == 0 ? QStringLiteral("ok")
                                                 : failure.section(QStringLiteral(": "), -1);
        QCOMPARE(says, QLatin1String(e.says));
    }
}

QTEST_GUILESS_MAIN(TestSimNet)
#include "tst_simnet.moc"
