#pragma once

#include <QByteArray>
#include <QVector>

namespace quarvex {

// Cuts replies out of the bytes a serial port delivers. Fed with bytes and the
// time they arrived; knows nothing of ports or timers.
//
// A reply is cut from the front as soon as it is complete and its CRC holds.
// Whatever is left once the line has been quiet for kQuietMs is taken apart:
// complete, CRC-correct replies inside it are cut out, the bytes around them
// come out as pieces of their own.
class ReplyFramer
{
public:
    struct Piece
    {
        QByteArray bytes;
        bool isFrame = false; // a known reply shape with a correct CRC

        bool operator==(const Piece &o) const { return isFrame == o.isFrame && bytes == o.bytes; }
    };
    using Pieces = QVector<Piece>;

    static constexpr qint64 kQuietMs = 50;
    // Across a network a reply can come in pieces further apart than on a wire: a server
    // forwards what it has read every so often, whatever the round trip (which the window
    // adds). Not the command line's wait for a reply to begin (networkWaitMs): the window
    // waits for the end of a burst it cannot pair with any request.
    static constexpr qint64 kNetworkQuietMs = 250;
    // A burst longer than this is taken apart at once, so garbage on the line cannot
    // grow the buffer without end; a reply still coming in at its end is kept.
    static constexpr int kMaxPending = 1024;

    Pieces feed(const QByteArray &bytes, qint64 nowMs);
    // Takes the rest apart when the line has been quiet long enough.
    Pieces poll(qint64 nowMs);
    // Takes the rest apart now (port closing).
    Pieces flush();

    // How long the line must be quiet before the rest is taken apart; kQuietMs by default.
    void setQuietMs(qint64 ms) { m_quietMs = ms; }
    qint64 quietMs() const { return m_quietMs; }

    bool hasPending() const { return !m_buffer.isEmpty(); }
    int pendingSize() const { return int(m_buffer.size()); }
    // Milliseconds from nowMs until poll() would take the rest apart.
    qint64 msUntilQuiet(qint64 nowMs) const;

    // Length of the complete, CRC-correct reply starting at pos, or 0.
    static int frameLengthAt(const char *data, int size, int pos);

private:
    Pieces cutFront();
    Pieces takeApart(bool keepIncompleteTail);

    QByteArray m_buffer;
    qint64 m_lastByteMs = 0;
    qint64 m_quietMs = kQuietMs;
};

} // namespace quarvex
