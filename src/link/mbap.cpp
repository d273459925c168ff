#include "link/mbap.h"

#include "link/crc16.h"

#include <QtEndian>

#include <algorithm>

namespace quarvex {
namespace mbap {

QByteArray build(const Adu &adu)
{
    QByteArray bytes(kHeaderLength, '\0');
    qToBigEndian<quint16>(adu.transactionId, bytes.data());
    qToBigEndian<quint16>(quint16(adu.pdu.size() + 1), bytes.data() + 4);
    bytes[6] = char(adu.unitId);
    return bytes + adu.pdu;
}

QByteArray fromRtu(const QByteArray &rtuFrame, quint16 transactionId)
{
    if (rtuFrame.size() < 4)
        return QByteArray();
    Adu adu;
    adu.transactionId = transactionId;
    adu.unitId = quint8(rtuFrame.at(0));
    adu.pdu = rtuFrame.mid(1, rtuFrame.size() - 3);
    return build(adu);
}

QByteArray toRtu(const Adu &adu)
{
    return withCrc(char(adu.unitId) + adu.pdu);
}

Stream::Output Stream::feed(const QByteArray &bytes)
{
    Output out;
    m_buffer += bytes;
    while (m_buffer.size() >= kHeaderLength) {
        const char *p = m_buffer.constData();
        const quint16 protocol = qFromBigEndian<quint16>(p + 2);
        const quint16 length = qFromBigEndian<quint16>(p + 4);
        if (protocol != 0 || length < 2 || length > kMaxPduLength + 1) {
            out.broken = true;
            m_buffer.clear();
            break;
        }
        const int total = kHeaderLength - 1 + length;
        if (m_buffer.size() < total)
            break;
        Adu adu;
        adu.transactionId = qFromBigEndian<quint16>(p);
        adu.unitId = quint8(p[6]);
        adu.pdu = m_buffer.mid(kHeaderLength, total - kHeaderLength);
        out.adus += adu;
        m_buffer.remove(0, total);
    }
    return out;
}

QByteArray Client::request(const QByteArray &rtuFrame)
{
    ++m_transactionId;
    const QByteArray adu = fromRtu(rtuFrame, m_transactionId);
    if (!adu.isEmpty()) {
        m_sent.append({m_transactionId, quint8(rtuFrame.at(0)), quint8(rtuFrame.at(1))});
        if (m_sent.size() > kRemembered)
            m_sent.removeFirst();
    }
    return adu;
}

Client::Output Client::feed(const QByteArray &bytes)
{
    Output out;
    const Stream::Output split = m_stream.feed(bytes);
    out.broken = split.broken;
    for (const Adu &adu : split.adus) {
        const auto sent = std::find_if(m_sent.cbegin(), m_sent.cend(), [&](const Sent &s) {
            return s.transactionId == adu.transactionId;
        });
        const quint8 function = adu.pdu.isEmpty() ? 0 : quint8(adu.pdu.at(0)) & 0x7f;
        if (sent == m_sent.cend())
            out.notes += QStringLiteral("dropped a reply with transaction id %1: no request "
                                        "of this connection had it")
                             .arg(adu.transactionId);
        else if (sent->unit != adu.unitId || sent->function != function)
            out.notes += QStringLiteral("dropped a reply with transaction id %1: unit %2 "
                                        "function %3, but its request went to unit %4 "
                                        "function %5")
                             .arg(adu.transactionId)
                             .arg(adu.unitId)
                             .arg(function, 2, 16, QLatin1Char('0'))
                             .arg(sent->unit)
                             .arg(sent->function, 2, 16, QLatin1Char('0'));
        else
            out.rtu += toRtu(adu);
    }
    return out;
}

} // namespace mbap
} // namespace quarvex
