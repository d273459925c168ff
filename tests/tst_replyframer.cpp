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

// Feeds the chunks 10 ms apart, then lets the line go quiet; returns all pieces.
Pieces run(const QVector<QByteArray> &chunks)
{
    ReplyFramer framer;
    Pieces out;
    qint64 t = 1000;
    for (const QByteArray &c : chunks) {
        out += framer.feed(c, t);
        out += framer.poll(t + ReplyFramer::kQuietMs - 1); // not quiet yet
        t += 10;
    }
    out += framer.poll(t + ReplyFramer::kQuietMs);
    if (framer.hasPending())
        qWarning("bytes left behind");
    return out;
}

} // namespace

class tst_ReplyFramer : public QObject
{
    Q_OBJECT

private slots:
    void wholeReplyIsCutAtOnce_data();
    void wholeReplyIsCutAtOnce();
    void splitAtEveryPoint_data();
    void splitAtEveryPoint();
    void mergedPairs();
    void garbage_data();
    void garbage();
    void quietTimeEndsABurstOnly();
    void longGarbageIsBounded();
    void shapesNeverReadPastTheBuffer();
};

void tst_ReplyFramer::wholeReplyIsCutAtOnce_data()
{
    QTest::addColumn<QByteArray>("reply");
    for (const auto &r : referenceReplies())
        QTest::newRow(r.first.constData()) << r.second;
}

void tst_ReplyFramer::wholeReplyIsCutAtOnce()
{
    QFETCH(QByteArray, reply);
    ReplyFramer framer;
    // No waiting for the quiet time: a complete reply comes out with the bytes that complete it.
    QCOMPARE(framer.feed(reply, 0), Pieces{frame(reply)});
    QVERIFY(!framer.hasPending());
}

void tst_ReplyFramer::splitAtEveryPoint_data()
{
    QTest::addColumn<QVector<QByteArray>>("chunks");
    QTest::addColumn<QByteArray>("reply");
    for (const auto &r : referenceReplies()) {
        const QByteArray &b = r.second;
        for (int cut = 1; cut < b.size(); ++cut)
            QTest::addRow("%s / %d", r.first.constData(), cut)
                << QVector<QByteArray>{b.left(cut), b.mid(cut)} << b;
        QVector<QByteArray> bytes;
        for (char c : b)
            bytes.append(QByteArray(1, c));
        QTest::addRow("%s / bytewise", r.first.constData()) << bytes << b;
    }
}

void tst_ReplyFramer::splitAtEveryPoint()
{
    QFETCH(QVector<QByteArray>, chunks);
    QFETCH(QByteArray, reply);
    QCOMPARE(run(chunks), Pieces{frame(reply)});
}

void tst_ReplyFramer::mergedPairs()
{
    const auto replies = referenceReplies();
    for (const auto &a : replies) {
        for (const auto &b : replies) {
            const Pieces got = run({a.second + b.second});
            const Pieces want{frame(a.second), frame(b.second)};
            if (got != want)
                QFAIL(qPrintable(QStringLiteral("%1 + %2").arg(QString::fromLatin1(a.first),
                                                               QString::fromLatin1(b.first))));
        }
    }
}

void tst_ReplyFramer::garbage_data()
{
    const QByteArray report = fromHex("002001a9c0");
    const QByteArray speed = fromHex("011000000002 41c8");
    QTest::addColumn<QVector<QByteArray>>("chunks");
    QTest::addColumn<Pieces>("pieces");
    QTest::newRow("stray byte before")
        << QVector<QByteArray>{"\xff" + report} << Pieces{stray("\xff"), frame(report)};
    QTest::newRow("stray zero before, split")
        << QVector<QByteArray>{QByteArray(1, '\0') + report.left(2), report.mid(2)}
        << Pieces{stray(QByteArray(1, '\0')), frame(report)};
    QTest::newRow("stray after") << QVector<QByteArray>{report + "\x55"}
                                 << Pieces{frame(report), stray("\x55")};
    QByteArray badCrc = speed;
    badCrc[7] = char(badCrc[7] ^ 1);
    QTest::newRow("bad crc") << QVector<QByteArray>{badCrc} << Pieces{stray(badCrc)};
    QTest::newRow("bad crc then good")
        << QVector<QByteArray>{badCrc, report} << Pieces{stray(badCrc), frame(report)};
    QTest::newRow("truncated") << QVector<QByteArray>{speed.left(5)}
                               << Pieces{stray(speed.left(5))};
    QTest::newRow("crc high byte first") << QVector<QByteArray>{fromHex("010600060001 0ba8")}
                                         << Pieces{stray(fromHex("0106000600010ba8"))};
}

void tst_ReplyFramer::garbage()
{
    QFETCH(QVector<QByteArray>, chunks);
    QFETCH(Pieces, pieces);
    QCOMPARE(run(chunks), pieces);
}

void tst_ReplyFramer::quietTimeEndsABurstOnly()
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
    QVERIFY(framer.poll(1000).isEmpty());
}

void tst_ReplyFramer::longGarbageIsBounded()
{
    ReplyFramer framer;
    Pieces out;
    for (int i = 0; i < 100; ++i)
        out += framer.feed(QByteArray(100, '\x55'), i);
    QVERIFY(framer.pendingSize() <= ReplyFramer::kMaxPending);
    out += framer.flush();
    int total = 0;
    for (const Piece &p : out) {
        QVERIFY(!p.isFrame);
        total += p.bytes.size();
    }
    QCOMPARE(total, 100 * 100);
}

void tst_ReplyFramer::shapesNeverReadPastTheBuffer()
{
    // A read reply claiming 255 data bytes: the framer waits, then gives the bytes back.
    const QByteArray claim = fromHex("0103ff0000");
    QCOMPARE(ReplyFramer::frameLengthAt(claim.constData(), claim.size(), 0), 0);
    QCOMPARE(run({claim}), Pieces{stray(claim)});
    // Shorter than any shape.
    QCOMPARE(run({fromHex("0020")}), Pieces{stray(fromHex("0020"))});
}

QTEST_APPLESS_MAIN(tst_ReplyFramer)
#include "tst_replyframer.moc"
