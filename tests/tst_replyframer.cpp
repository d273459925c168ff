#include "link/replyframer.h"
#include "replies.h"

#include <QtTest>

using namespace quarvex;
using Piece = ReplyFramer::Piece;
using Pieces = ReplyFramer::Pieces;

Q_DECLARE_METATYPE(Pieces)

namespace {

Piece frame(const QByteArray &b)
{
    return {b, true};
}

Piece stray(const QByteArray &b)
{
    return {b, false};
}

// Feeds the chunks 10 ms apart, then lets the line go quiet. Adjacent strays are
// joined: where a run of garbage is cut does not matter.
Pieces run(const QVector<QByteArray> &chunks)
{
    ReplyFramer framer;
    Pieces got;
    qint64 t = 1000;
    for (const QByteArray &c : chunks) {
        got += framer.feed(c, t);
        got += framer.poll(t + ReplyFramer::kQuietMs - 1); // not quiet yet
        if (framer.pendingSize() > ReplyFramer::kMaxPending)
            return {stray("unbounded")};
        t += 10;
    }
    got += framer.poll(t + ReplyFramer::kQuietMs);
    Pieces out;
    for (const Piece &p : got)
        if (!p.isFrame && !out.isEmpty() && !out.last().isFrame)
            out.last().bytes += p.bytes;
        else
            out += p;
    return out;
}

} // namespace

class tst_ReplyFramer : public QObject
{
    Q_OBJECT

private slots:
    void splitAtEveryPoint_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("cut");
        for (const auto &r : referenceReplies())
            for (int cut = 1; cut <= r.second.size(); ++cut)
                QTest::addRow("%s / %d", r.first, cut) << r.second << cut;
    }

    void splitAtEveryPoint()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, cut);
        ReplyFramer framer;
        // The feed that completes a reply returns it, with no wait for the quiet time.
        const bool whole = cut == reply.size();
        QCOMPARE(framer.feed(reply.left(cut), 0), whole ? Pieces{frame(reply)} : Pieces{});
        if (!whole)
            QCOMPARE(framer.feed(reply.mid(cut), 1), Pieces{frame(reply)});
        QVERIFY(!framer.hasPending());
    }

    void mergedPairs()
    {
        for (const auto &a : referenceReplies())
            for (const auto &b : referenceReplies()) {
                ReplyFramer framer;
                QVERIFY2(framer.feed(a.second + b.second, 0) ==
                             (Pieces{frame(a.second), frame(b.second)}),
                         qPrintable(QStringLiteral("%1 + %2").arg(a.first, b.first)));
            }
    }

    void garbage_data()
    {
        const QByteArray report = fromHex("002001a9c0");
        QByteArray badCrc = fromHex("010600060001 a80b");
        badCrc[7] = char(badCrc[7] ^ 1);
        const QByteArray noise(1022, '\x55');
        QTest::addColumn<QVector<QByteArray>>("chunks");
        QTest::addColumn<Pieces>("pieces");
        QTest::newRow("stray before, split")
            << QVector<QByteArray>{"\xff" + report.left(2), report.mid(2)}
            << Pieces{stray("\xff"), frame(report)};
        QTest::newRow("bad crc, then a reply")
            << QVector<QByteArray>{badCrc, report} << Pieces{stray(badCrc), frame(report)};
        // A read reply claiming 255 data bytes: the framer waits, then gives the bytes back.
        QTest::newRow("claims more than came")
            << QVector<QByteArray>{fromHex("0103ff0000")} << Pieces{stray(fromHex("0103ff0000"))};
        // Past the limit the noise goes at once, the half reply at its end stays.
        QTest::newRow("overflow keeps a reply coming in")
            << QVector<QByteArray>{noise + report.left(3), report.mid(3)}
            << Pieces{stray(noise), frame(report)};
    }

    void garbage()
    {
        QFETCH(QVector<QByteArray>, chunks);
        QFETCH(Pieces, pieces);
        QCOMPARE(run(chunks), pieces);
    }

    void quietTimeEndsABurstOnly()
    {
        ReplyFramer framer;
        const QByteArray report = fromHex("002001a9c0");
        QVERIFY(framer.feed("\xff" + report.left(3), 100).isEmpty());
        QCOMPARE(framer.msUntilQuiet(120), ReplyFramer::kQuietMs - 20);
        QVERIFY(framer.poll(149).isEmpty());
        // More bytes restart the quiet time.
        QVERIFY(framer.feed(report.mid(3), 140).isEmpty());
        QVERIFY(framer.poll(189).isEmpty());
        QCOMPARE(framer.poll(190), (Pieces{stray("\xff"), frame(report)}));
        QVERIFY(!framer.hasPending());
        // A longer quiet time (a network) keeps a reply whose pieces come further apart.
        framer.setQuietMs(ReplyFramer::kNetworkQuietMs);
        QVERIFY(framer.feed(report.left(1), 1000).isEmpty());
        QVERIFY(framer.poll(1000 + ReplyFramer::kNetworkQuietMs - 1).isEmpty());
        QCOMPARE(framer.feed(report.mid(1), 1000 + ReplyFramer::kNetworkQuietMs - 1),
                 (Pieces{frame(report)}));
    }
};

QTEST_APPLESS_MAIN(tst_ReplyFramer)
#include "tst_replyframer.moc"
