#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

namespace quarvex {

// Modbus TCP framing: the MBAP header (transaction, protocol 0, length, unit) before the
// PDU, no CRC. The tools speak RTU frames everywhere else, so a request goes in and a
// reply comes out in RTU shape (address first, CRC last) and the pairing stays the same.
// Pure: no socket, bytes in any split.
namespace mbap {

constexpr int kHeaderLength = 7; // transaction 2, protocol 2, length 2, unit 1
constexpr quint16 kDefaultPort = 502;
// Function code and at most 252 data bytes, the longest RTU PDU.
constexpr int kMaxPduLength = 253;

struct Adu
{
    quint16 transactionId = 0;
    quint8 unitId = 0;
    QByteArray pdu;

    bool operator==(const Adu &o) const
    {
        return transactionId == o.transactionId && unitId == o.unitId && pdu == o.pdu;
    }
};

QByteArray build(const Adu &adu);
// The ADU carrying an RTU frame (CRC included): unit = bus address, CRC dropped.
// Empty when the frame is too short to hold an address, a function and a CRC.
QByteArray fromRtu(const QByteArray &rtuFrame, quint16 transactionId);
// The RTU frame an ADU stands for: unit, PDU, CRC.
QByteArray toRtu(const Adu &adu);

// Splits a byte stream into ADUs. A header that cannot be Modbus (another protocol id,
// a length too short to hold a unit and a function, or too long for any PDU) leaves no
// way to find the next frame: the stream is broken and what was held is dropped.
class Stream
{
public:
    struct Output
    {
        QVector<Adu> adus;
        bool broken = false;
    };
    Output feed(const QByteArray &bytes);
    int pendingSize() const { return int(m_buffer.size()); }

private:
    QByteArray m_buffer;
};

// The client end: numbers the requests and passes on the replies to them, a late one to
// an earlier request too (its pairing with that request is the caller's, as on a serial
// line). A reply to no request of the last kRemembered, or whose unit or function is not
// its request's, is dropped and told.
class Client
{
public:
    static constexpr int kRemembered = 64;
    struct Output
    {
        QByteArray rtu;         // the replies, each in RTU shape, one after the other
        QVector<QString> notes; // what was dropped, and why
        bool broken = false;
    };
    QByteArray request(const QByteArray &rtuFrame);
    Output feed(const QByteArray &bytes);
    quint16 lastTransactionId() const { return m_transactionId; }
    // Bytes of a frame under way.
    int pendingSize() const { return m_stream.pendingSize(); }

private:
    struct Sent
    {
        quint16 transactionId;
        quint8 unit, function;
    };
    Stream m_stream;
    quint16 m_transactionId = 0;
    QVector<Sent> m_sent;
};

} // namespace mbap
} // namespace quarvex
