#pragma once

#include "device/frameshape.h"

#include <QByteArray>
#include <QList>

namespace quarvex::sim {

// Cuts the incoming byte stream into requests. A frame is cut as soon as the buffer
// starts with a complete request of a known shape whose CRC holds; anything else waits
// for a line silence, after which the caller takes the whole buffer as one frame.
class RequestFramer
{
public:
    // Longer than any request; a buffer past this without a frame is noise.
    static constexpr int kMaxBuffer = 2 * kMaxFrameLength;

    QList<QByteArray> feed(const QByteArray &bytes);
    // The silence came: whatever is buffered counts as one frame.
    QByteArray takeRest();
    bool hasPending() const { return !m_buffer.isEmpty(); }
    void clear() { m_buffer.clear(); }

private:
    // Length of the complete frame at the head of the buffer, 0 if none (yet).
    int completeFrameLength() const;
    bool holdsAt(int length) const;

    QByteArray m_buffer;
};

} // namespace quarvex::sim
