#include "link/mbap.h"

#include "link/crc16.h"

#include <QtEndian>

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
    return fromRtu(rtuFrame, m_transactionId);
}

Client::Output Client::feed(const QByteArray &bytes)
{
    Output out;
    const Stream::Output split = m_stream.feed(bytes);
    out.broken = split.broken;
    for (const Adu &adu : split.adus) {
        if (adu.transactionId == m_transactionId)
            out.rtu += toRtu(adu);
        else
            ++out.staleReplies;
    }
    return out;
}

} // namespace mbap
} // namespace quarvex
