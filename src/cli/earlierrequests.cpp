#include "earlierrequests.h"

namespace quarvex::cli {

void EarlierRequests::prune(qint64 nowMs)
{
    while (!m_earlier.isEmpty() &&
           (nowMs - m_earlier.first().sentMs > kHorizonMs || m_earlier.size() > kKept))
        m_earlier.removeFirst();
}

bool EarlierRequests::contains(const QByteArray &request) const
{
    for (const Earlier &e : m_earlier)
        if (e.request == request)
            return true;
    return false;
}

QVector<QByteArray> EarlierRequests::requests() const
{
    QVector<QByteArray> requests;
    for (const Earlier &e : m_earlier)
        requests.append(e.request);
    return requests;
}

void EarlierRequests::forgetOldest(const QByteArray &request)
{
    for (int i = 0; i < m_earlier.size(); ++i) {
        if (m_earlier[i].request == request) {
            m_earlier.remove(i);
            return;
        }
    }
}

} // namespace quarvex::cli
