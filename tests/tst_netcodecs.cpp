#include "link/mbap.h"
#include "link/telnetcodec.h"
#include "replies.h"

#include <QtTest>

using namespace quarvex;

namespace {

QList<QByteArray> chunks(std::initializer_list<const char *> hex)
{
    QList<QByteArray> list;
    for (const char *h : hex)
        list += fromHex(h);
    return list;
}

// Events as short words, so a table row can say what it expects.
QStringList words(const QVector<TelnetCodec::Event> &events)
{
    QStringList list;
    for (const TelnetCodec::Event &e : events) {
        if (e.kind == TelnetCodec::Event::ComPortAccepted)
            list += "accepted";
        else if (e.kind == TelnetCodec::Event::ComPortRefused)
            list += "refused";
        else
            list += QString("cmd%1:%2").arg(e.command).arg(QString(e.value.toHex()));
        if (e.at > 0)
            list.last() += QString("@%1").arg(e.at);
    }
    return list;
}

using Role = TelnetCodec::Role;

} // namespace

class tst_NetCodecs : public QObject
{
    Q_OBJECT

private slots:
    void telnetFeed_data();
    void telnetFeed();
    void telnetDataRoundTripInAnySplit();
    void mbapClient_data();
    void mbapClient();
};

void tst_NetCodecs::telnetFeed_data()
{
    // clang-format off
    QTest::addColumn<int>("role");
    QTest::addColumn<QList<QByteArray>>("received");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QStringList>("events");

    const int client = int(Role::Client), server = int(Role::Server);
    const QStringList none;
    // Each end has sent start() before anything arrives.
    QTest::newRow("IAC in data undoubled") << client << chunks({"41ffff42"}) << fromHex("41ff42") << QByteArray() << none;
    QTest::newRow("doubled IAC split across reads") << client << chunks({"41ff", "ff42"}) << fromHex("41ff42") << QByteArray() << none;
    QTest::newRow("server accepts COM-PORT") << client << chunks({"fffd2c"}) << QByteArray() << QByteArray() << QStringList{"accepted"};
    QTest::newRow("server refuses COM-PORT") << client << chunks({"fffe2c"}) << QByteArray() << QByteArray() << QStringList{"refused"};
    QTest::newRow("baud acknowledged, split across reads") << client << chunks({"fffa2c65", "0000", "2580ff", "f0"}) << QByteArray() << QByteArray() << QStringList{"cmd1:00002580"};
    QTest::newRow("doubled IAC inside a sub-negotiation") << client << chunks({"fffa2c650000ffffffff", "fff0"}) << QByteArray() << QByteArray() << QStringList{"cmd1:0000ffff"};
    QTest::newRow("negotiation between data bytes, answered once") << client << chunks({"41fffb03fffb0342"}) << fromHex("4142") << QByteArray() << none;
    QTest::newRow("echo refused") << client << chunks({"fffb01"}) << QByteArray() << fromHex("fffe01") << none;
    QTest::newRow("unknown option asked of us refused") << client << chunks({"fffd18"}) << QByteArray() << fromHex("fffc18") << none;
    QTest::newRow("client's own codes ignored by the client") << client << chunks({"fffa2c0100002580fff0"}) << QByteArray() << QByteArray() << none;
    QTest::newRow("over-long sub-negotiation dropped, data resumes") << client << QList<QByteArray>{fromHex("fffa2c65") + QByteArray(300, '\x01') + fromHex("fff0"), fromHex("42")} << fromHex("42") << QByteArray() << none;
    QTest::newRow("server: client offers COM-PORT") << server << chunks({"fffb2c"}) << QByteArray() << QByteArray() << QStringList{"accepted"};
    QTest::newRow("server: speed change between data bytes") << server << chunks({"41fffa2c0100000960fff042"}) << fromHex("4142") << QByteArray() << QStringList{"cmd1:00000960@1"};
    // clang-format on
}

void tst_NetCodecs::telnetFeed()
{
    QFETCH(int, role);
    QFETCH(QList<QByteArray>, received);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, reply);
    QFETCH(QStringList, events);

    TelnetCodec codec{Role(role)};
    codec.start();
    TelnetCodec::Output all;
    for (const QByteArray &bytes : received) {
        const TelnetCodec::Output out = codec.feed(bytes);
        all.data += out.data;
        all.reply += out.reply;
        all.events += out.events;
    }
    QCOMPARE(all.data.toHex(), data.toHex());
    QCOMPARE(all.reply.toHex(), reply.toHex());
    QCOMPARE(words(all.events), events);
}

// Every byte value, cut at every place: what one end escapes the other gets back whole.
void tst_NetCodecs::telnetDataRoundTripInAnySplit()
{
    QByteArray data;
    for (int i = 0; i < 256; ++i)
        data += char(i);
    data += fromHex("ffff00ff");
    const QByteArray wire = TelnetCodec::escape(data);
    for (int cut = 0; cut <= wire.size(); ++cut) {
        TelnetCodec server(Role::Server);
        QByteArray got = server.feed(wire.left(cut)).data;
        got += server.feed(wire.mid(cut)).data;
        QCOMPARE(got.toHex(), data.toHex());
    }
}

void tst_NetCodecs::mbapClient_data()
{
    // clang-format off
    QTest::addColumn<QList<QByteArray>>("received");
    QTest::addColumn<QByteArray>("rtu");
    QTest::addColumn<int>("dropped"); // told in a note
    QTest::addColumn<bool>("broken");

    // Transaction 1 asked unit 1, transaction 2 unit 2, each for registers 00-01.
    const QByteArray reply = frame("02030400002580");
    QTest::newRow("reply") << chunks({"00020000000702030400002580"}) << reply << 0 << false;
    QTest::newRow("reply split inside the header and the PDU") << chunks({"000200", "000007020304", "00002580"}) << reply << 0 << false;
    QTest::newRow("exception reply") << chunks({"000200000003028302"}) << frame("028302") << 0 << false;
    QTest::newRow("a late reply to the earlier request is passed on for pairing") << chunks({"00010000000701030400002580", "00020000000702030400002580"}) << frame("01030400002580") + reply << 0 << false;
    QTest::newRow("a transaction id never sent is dropped and told") << chunks({"00090000000702030400002580"}) << QByteArray() << 1 << false;
    QTest::newRow("another unit than the request's is dropped and told") << chunks({"00020000000703030400002580"}) << QByteArray() << 1 << false;
    QTest::newRow("incomplete PDU waits") << chunks({"0002000000070203040000"}) << QByteArray() << 0 << false;
    QTest::newRow("short MBAP length") << chunks({"00020000000101", "0103"}) << QByteArray() << 0 << true;
    QTest::newRow("another protocol id") << chunks({"00020001000702030400002580"}) << QByteArray() << 0 << true;
    QTest::newRow("length beyond any PDU") << chunks({"000200000100020304"}) << QByteArray() << 0 << true;
    // clang-format on
}

void tst_NetCodecs::mbapClient()
{
    QFETCH(QList<QByteArray>, received);
    QFETCH(QByteArray, rtu);
    QFETCH(int, dropped);
    QFETCH(bool, broken);

    mbap::Client client;
    QCOMPARE(client.request(frame("010300000002")).toHex(), QByteArray("000100000006010300000002"));
    client.request(frame("020300000002"));
    mbap::Client::Output all;
    for (const QByteArray &bytes : received) {
        const mbap::Client::Output out = client.feed(bytes);
        all.rtu += out.rtu;
        all.notes += out.notes;
        all.broken = all.broken || out.broken;
    }
    QCOMPARE(all.rtu.toHex(), rtu.toHex());
    QCOMPARE(all.notes.size(), dropped);
    QCOMPARE(all.broken, broken);
}

QTEST_APPLESS_MAIN(tst_NetCodecs)
#include "tst_netcodecs.moc"
