#include "simline.h"

#include "link/crc16.h"

#include <QStringList>

namespace quarvex::sim {

QByteArray collide(const QList<QByteArray> &replies)
{
    if (replies.size() < 2)
        return replies.value(0);
    QByteArray wire;
    for (const QByteArray &r : replies) {
        if (r.size() > wire.size())
            wire.append(QByteArray(r.size() - wire.size(), char(0xFF)));
        for (int i = 0; i < r.size(); ++i)
            wire[i] = char(wire.at(i) & r.at(i));
    }
    // Equal replies would come through whole; a client must never take two for one.
    // One flipped bit always spoils a CRC that held.
    if (crcHolds(wire))
        wire[wire.size() - 1] = char(wire.at(wire.size() - 1) ^ 0x01);
    return wire;
}

bool SimLine::setModules(const QString &list, quint32 speed)
{
    QVector<SimModule> modules;
    for (const QString &item : list.split(QLatin1Char(','))) {
        bool addressOk = false, speedOk = true;
        const uint address = item.section(QLatin1Char('@'), 0, 0).toUInt(&addressOk);
        const quint32 s = item.contains(QLatin1Char('@'))
                              ? item.section(QLatin1Char('@'), 1).toUInt(&speedOk)
                              : speed;
        SimModule m;
        if (!addressOk || address > 0xFF || !speedOk || !m.setAddress(quint8(address)) ||
            !m.setLineSpeed(s))
            return false;
        modules.append(m);
    }
    m_modules = modules;
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
    for (const SimModule &m : m_modules)
        if (m.activeLineSpeed() == baud)
            return true;
    return false;
}

Outcome SimLine::hear(const QByteArray &frame, quint32 baud)
{
    QList<QByteArray> replies;
    QStringList notes;
    // Told only when no module the frame is addressed to has anything to say.
    QString elsewhere;
    for (SimModule &m : m_modules) {
        if (m.activeLineSpeed() != baud)
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
    if (replies.size() > 1)
        notes << QStringLiteral("%1 replies collide").arg(replies.size());
    return {collide(replies), notes.join(QStringLiteral(", "))};
}

} // namespace quarvex::sim
