// The request engine against a scripted port and a hand-stepped clock: retries, late
// replies, quiet lines and busy computers, each to the millisecond.
#include "replies.h"
#include "requestengine.h"
#include "scripted.h"

#include <QtTest>

using namespace quarvex;
using namespace quarvex::cli;

namespace {

// Bytes that arrive `atMs` after the request numbered `write` (from 0) went out; with a
// period, again every `everyMs` until `untilMs`.
struct Arrival
{
    int write;
    int atMs;
    QByteArray bytes;
    bool told = true;
    int everyMs = 0, untilMs = 0;
};

struct Row
{
    const char *name;
    Policy policy;
    QVector<QByteArray> requests; // exchanged in turn, without CRC
    QVector<Arrival> arrivals;
    Exchange::Result result; // of the last exchange
    int tries;
    QByteArray reply; // a Reply's or a Late one's
    QVector<int> writtenAtMs;
    int doneAtMs;
    Damage damage = Damage::None;
    int lateMs = 0;
    bool lostBefore = false; // the port went away before the first request
};

const QByteArray kRead1 = fromHex("010300000002"), kRead2 = fromHex("020300000002");
const QByteArray kReply1 = frame("01030400002580"), kReply2 = frame("02030400002580");

QByteArray badCrc(QByteArray f)
{
    f[f.size() - 1] = char(f.at(f.size() - 1) ^ 0x55);
    return f;
}

// At 9600 bit/s a request of 8 bytes and the first reply byte take 10 ms; a gap is 23 ms.
// clang-format off
const Row kRows[] = {
    {"a reply the port holds without telling is taken when the wait ends", Policy::probe(40, 0),
     {kRead1}, {{0, 20, kReply1, false}}, Exchange::Reply, 1, kReply1, {0}, 50},
    {"a reply begun at the end of the wait is waited for", Policy::probe(40, 0), {kRead1},
     {{0, 49, kReply1.left(1)}, {0, 60, kReply1.mid(1)}}, Exchange::Reply, 1, kReply1, {0}, 60},
    {"a command is asked again after silence", Policy::command(100, 1), {kRead1},
     {{1, 20, kReply1}}, Exchange::Reply, 2, kReply1, {0, 110}, 130},
    {"a probe takes silence for an answer", Policy::probe(40, 1), {kRead1}, {}, Exchange::Silent,
     1, {}, {0}, 50},
    {"a retry waits for the line to fall quiet", Policy::command(100, 1), {kRead1},
     {{0, 30, badCrc(kReply1)}, {0, 40, fromHex("ff"), true, 10, 300}, {1, 20, kReply1}},
     Exchange::Reply, 2, kReply1, {0, 323}, 343, Damage::BadCrc},
    {"a chattering line cannot hold a try open", Policy::probe(40, 0), {kRead1},
     {{0, 2, fromHex("01"), true, 2, 2000}}, Exchange::Damaged, 1, {}, {0}, 373, Damage::Noise},
    {"bytes in the window answer the probe, whatever they look like", Policy::probe(40, 0),
     {kRead1}, {{0, 20, fromHex("ffff")}}, Exchange::Damaged, 1, {}, {0}, 50, Damage::Noise},
    {"a late reply to an earlier request is told as late", Policy::probe(40, 0).reportingLate(),
     {kRead1, kRead2}, {{1, 30, kReply1}}, Exchange::Late, 1, kReply1, {0, 50}, 80, Damage::None, 80},
    {"a late reply split over two windows is still paired", Policy::probe(40, 0).reportingLate(),
     {kRead1, kRead2, fromHex("030300000002")}, {{1, 45, kReply1.left(8)}, {2, 10, kReply1.mid(8)}},
     Exchange::Late, 1, kReply1, {0, 50, 120}, 130, Damage::None, 130},
    {"a late reply is passed over for the one awaited", Policy::probe(40, 0), {kRead1, kRead2},
     {{1, 30, kReply1}, {1, 35, kReply2}}, Exchange::Reply, 1, kReply2, {0, 50}, 85},
    {"a broadcast goes once and is done after its wire time", Policy::command(1000, 1),
     {fromHex("000600050000")}, {}, Exchange::Broadcast, 1, {}, {0}, 32},
    {"a port gone while idle fails the next request unsent", Policy::command(1000, 1), {kRead1},
     {}, Exchange::PortFailed, 1, {}, {}, 0, Damage::None, 0, true},
};
// clang-format on

} // namespace

Q_DECLARE_METATYPE(Row)

class tst_RequestEngine : public QObject
{
    Q_OBJECT

private slots:
    void exchanges_data();
    void exchanges();
    void noiseIsWhatComesUnasked();
    void serverSpeedLearntFromReplies();
};

void tst_RequestEngine::exchanges_data()
{
    QTest::addColumn<Row>("row");
    for (const Row &r : kRows)
        QTest::newRow(r.name) << r;
}

void tst_RequestEngine::exchanges()
{
    QFETCH(Row, row);
    ManualClock clock;
    ScriptedTransport port;
    RequestEngine engine(&clock);
    engine.attach(&port, 9600);
    QVector<int> writtenAt;
    port.onWrite = [&](int) {
        writtenAt << int(clock.nowMs());
    };
    if (row.lostBefore)
        port.lose(TransportError::HungUp);

    int next = 0;
    std::optional<Exchange> last;
    int doneAt = -1;
    std::function<void()> ask = [&] {
        engine.exchange(row.requests.at(next++), row.policy, [&](const Exchange &x) {
            if (next < row.requests.size()) {
                ask();
                return;
            }
            last = x;
            doneAt = int(clock.nowMs());
        });
    };
    ask();
    for (int ms = 0; ms <= 5000 && !last; ++ms) {
        clock.advanceTo(ms);
        for (const Arrival &a : row.arrivals) {
            if (a.write >= writtenAt.size())
                continue;
            const int since = ms - writtenAt.at(a.write) - a.atMs;
            const bool now = a.everyMs ? since >= 0 && since % a.everyMs == 0 &&
                                             ms - writtenAt.at(a.write) <= a.untilMs
                                       : since == 0;
            if (now && !last)
                port.arrive(a.bytes, a.told);
        }
    }
    QVERIFY2(last, "the exchange never ended");
    QCOMPARE(int(last->result), int(row.result));
    QCOMPARE(last->tries, row.tries);
    if (!row.reply.isEmpty())
        QCOMPARE(last->reply.toHex(), row.reply.toHex());
    QCOMPARE(writtenAt, row.writtenAtMs);
    QCOMPARE(doneAt, row.doneAtMs);
    QCOMPARE(int(last->damage), int(row.damage));
    QCOMPARE(last->lateMs, row.lateMs);
    if (row.result == Exchange::Late)
        QCOMPARE(last->lateRequest, withCrc(row.requests.first()));
}

// Bytes while no request is out are counted as noise, unless they turn out to be a late
// reply to an earlier request.
void tst_RequestEngine::noiseIsWhatComesUnasked()
{
    ManualClock clock;
    ScriptedTransport port;
    RequestEngine engine(&clock);
    engine.attach(&port, 9600);
    std::optional<Exchange> x;
    const auto done = [&](const Exchange &e) {
        x = e;
    };
    engine.exchange(kRead1, Policy::probe(40, 0).reportingLate(), done);
    clock.advanceTo(50);
    QVERIFY(x && x->result == Exchange::Silent);
    port.arrive(fromHex("ffffff") + kReply1);
    x.reset();
    engine.exchange(kRead2, Policy::probe(40, 0).reportingLate(), done);
    QVERIFY(x && x->result == Exchange::Late);
    QCOMPARE(engine.unaskedBytes(), 3);
}

// Where the server sets the line, a try waits as for the slowest speed until a reply's
// time shows the line faster.
void tst_RequestEngine::serverSpeedLearntFromReplies()
{
    ManualClock clock;
    ScriptedTransport port;
    port.setsSpeed = false;
    RequestEngine engine(&clock);
    engine.attach(&port, 9600);
    std::optional<Exchange> x;
    const auto done = [&](const Exchange &e) {
        x = e;
    };
    const auto silentTryEndsAt = [&] {
        x.reset();
        const qint64 start = clock.nowMs();
        engine.exchange(kRead1, Policy::probe(40, 0), done);
        while (!x)
            clock.advanceTo(clock.nowMs() + 1);
        return int(clock.nowMs() - start);
    };
    QCOMPARE(silentTryEndsAt(), 75 + 40); // 9 bytes at 1200 bit/s
    engine.exchange(kRead2, Policy::probe(40, 0), done);
    clock.advanceTo(clock.nowMs() + 20);
    port.arrive(kReply2); // 17 bytes both ways in 20 ms: 9600 bit/s or faster
    QCOMPARE(silentTryEndsAt(), 10 + 40);
}

QTEST_GUILESS_MAIN(tst_RequestEngine)
#include "tst_requestengine.moc"
