#include "txschedule.h"

#include <algorithm>

namespace quarvex::sim {

void TxSchedule::enqueue(const QByteArray &bytes, qint64 readyNs, const QString &label, int chunk,
                         qint64 gapNs)
{
    if (bytes.isEmpty())
        return;
    Item item;
    item.bytes = bytes;
    item.label = label;
    item.startNs = m_items.isEmpty() ? readyNs : std::max(readyNs, m_endNs);
    item.byteNs = m_byteNs;
    item.chunk = chunk;
    item.gapNs = gapNs;
    m_endNs = item.dueNs(int(bytes.size()) - 1);
    m_items.append(item);
}

QByteArray TxSchedule::takeDue(qint64 nowNs, QStringList *finished)
{
    QByteArray out;
    while (!m_items.isEmpty()) {
        Item &item = m_items.first();
        while (item.sent < item.bytes.size() && item.dueNs(item.sent) <= nowNs)
            out.append(item.bytes.at(item.sent++));
        if (item.sent < item.bytes.size())
            break;
        if (finished)
            finished->append(item.label);
        m_items.removeFirst();
    }
    return out;
}

qint64 TxSchedule::nextDueNs() const
{
    if (m_items.isEmpty())
        return -1;
    const Item &item = m_items.first();
    return item.dueNs(item.sent);
}

void TxSchedule::clear()
{
    m_items.clear();
    m_endNs = 0;
}

} // namespace quarvex::sim
