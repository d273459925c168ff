#pragma once

#include <QByteArray>
#include <QVector>

namespace quarvex::cli {

// Requests whose tries ended without a reply: their replies may still come, late, and
// must be told apart from the reply awaited now. Kept for a while, then let go.
class EarlierRequests
{
public:
    struct Earlier
    {
        QByteArray request;
        qint64 sentMs;
    };

    // A reply later than this after its request is not waited for by anything.
    static constexpr qint64 kHorizonMs = 3000;
    static constexpr int kKept = 32;

    void add(const QByteArray &request, qint64 sentMs) { m_earlier.append({request, sentMs}); }
    // Lets go of those past the horizon, or beyond the number kept.
    void prune(qint64 nowMs);
    bool isEmpty() const { return m_earlier.isEmpty(); }
    bool contains(const QByteArray &request) const;
    // In the order pairReply takes them.
    QVector<QByteArray> requests() const;
    Earlier take(int i) { return m_earlier.takeAt(i); }
    // One reply came to identical requests: it answers the oldest or the latest, so one of
    // them stays unanswered either way, and its reply may still come.
    void forgetOldest(const QByteArray &request);

private:
    QVector<Earlier> m_earlier;
};

} // namespace quarvex::cli
