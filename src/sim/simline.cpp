#include "simline.h"

#include "link/crc16.h"

#include <QRandomGenerator>
#include <QStringList>

namespace quarvex::sim {

QByteArray collide(const QList<QByteArray> &replies, const QList<int> &startBytes)
{
    if (replies.size() < 2)
        return replies.value(0);
    QByteArray wire;
    for (int r = 0; r < replies.size(); ++r) {
        const QByteArray &reply = replies.at(r);
        const int start = startBytes.value(r);
        if (start + reply.size() > wire.size())
            wire.append(QByteArray(start + reply.size() - wire.size(), char(0xFF)));
        for (int i = 0; i < reply.size(); ++i)
            wire[start + i] = char(wire.at(start + i) & reply.at(i));
    }
    // Equal replies at once would come through whole; a client must never take two for
    // one. One flipped bit always spoils a CRC that held.
    if (crcHolds(wire))
        wire[wire.size() - 1] = char(wire.at(wire.size() - 1) ^ 0x01);
    return wire;
}

// One item of a module list: "5", "5@19200", "1-50" or "1-50@19200".
bool addModules(const QString &item, quint32 speed, QVector<SimModule> *modules)
{
    const QString addresses = item.section(QLatin1Char('@'), 0, 0);
    bool firstOk = false, lastOk = true, speedOk = true;
    const uint first = addresses.section(QLatin1Char('-'), 0, 0).toUInt(&firstOk);
    const uint last = addresses.contains(QLatin1Char('-'))
                          ? addresses.section(QLatin1Char('-'), 1).toUInt(&lastOk)
                          : first;
    const quint32 s = item.contains(QLatin1Char('@'))
                          ? item.section(QLatin1Char('@'), 1).toUInt(&speedOk)
                          : speed;
    if (!firstOk || !lastOk || !speedOk || last < first || last > 0xFF)
        return false;
    for (uint a = first; a <= last; ++a) {
        SimModule m;
        if (!m.setAddress(quint8(a)) || !m.setLineSpeed(s))
            return false;
        modules->append(m);
    }
    return true;
}

bool SimLine::setModules(const QString &list, quint32 speed)
{
    QVector<SimModule> modules;
    for (const QString &item : list.split(QLatin1Char(',')))
        if (!addModules(item, speed, &modules))
            return false;
    m_modules = modules;
    m_present = QVector<bool>(modules.size(), true);
    return true;
}

QString SimLine::describe() const
{
    QStringList parts;
    for (const SimModule &m : m_modules)
        parts << QStringLiteral("%1@%2").arg(m.address()).arg(m.activeLineSpeed());
    return parts.join(QLatin1Char(','));
}

bool SimLine::hears(quint32 baud) const
{
    for (int i = 0; i < m_modules.size(); ++i)
        if (m_present.at(i) && m_modules.at(i).activeLineSpeed() == baud)
            return true;
    return false;
}

Outcome SimLine::hear(const QByteArray &frame, quint32 baud)
{
    QList<QByteArray> replies;
    QStringList notes;
    // Told only when no module the frame is addressed to has anything to say.
    QString elsewhere;
    for (int i = 0; i < m_modules.size(); ++i) {
        SimModule &m = m_modules[i];
        if (!m_present.at(i) || m.activeLineSpeed() != baud)
            continue;
        const quint8 to = frame.isEmpty() ? 0 : quint8(frame.at(0));
        const bool addressed = to == kAddressFrameBus || to == m.address();
        const Outcome o = m.handle(frame);
        if (!o.reply.isEmpty())
            replies << o.reply;
        if (!addressed)
            elsewhere = o.note;
        else if (!o.note.isEmpty() && !notes.contains(o.note))
            notes << o.note;
    }
    if (notes.isEmpty() && replies.isEmpty() && !elsewhere.isEmpty())
        notes << elsewhere;
    // Each further reply starts a few byte times after the one before.
    QList<int> starts{0};
    QStringList gaps;
    for (int r = 1; r < replies.size(); ++r) {
        const int gap = m_stagger >= 0 ? m_stagger : int(QRandomGenerator::global()->bounded(4));
        starts << starts.last() + gap;
        gaps << QString::number(gap);
    }
    if (replies.size() > 1)
        notes << QStringLiteral("%1 replies collide, %2 byte times apart")
                     .arg(replies.size())
                     .arg(gaps.join(QLatin1Char('/')));
    return {collide(replies, starts), notes.join(QStringLiteral(", "))};
}

} // namespace quarvex::sim
