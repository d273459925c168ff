#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

namespace quarvex::sim {

// Hand-over times of reply bytes on a line of a given speed. Byte i of a frame started
// at t0 is on the wire from t0 + i byte times (10 bits, 8N1) and, as from a UART, reaches
// the client once its stop bit is through: t0 + (i + 1) byte times, plus the gaps of a
// split reply. Frames queue behind each other as on a half-duplex line. Times are
// nanoseconds on whatever clock the caller uses.
class TxSchedule
{
public:
    static qint64 byteTimeNs(quint32 baud) { return 10'000'000'000LL / baud; }

    explicit TxSchedule(quint32 baud = 9600) : m_byteNs(byteTimeNs(baud)) {}
    void setBaud(quint32 baud) { m_byteNs = byteTimeNs(baud); }
    qint64 byteNs() const { return m_byteNs; }

    // chunk > 0 splits the frame into pieces of that many bytes with gapNs between.
    void enqueue(const QByteArray &bytes, qint64 readyNs, const QString &label, int chunk = 0,
                 qint64 gapNs = 0);
    // Bytes whose time has come, in order; labels of the frames that went out complete.
    QByteArray takeDue(qint64 nowNs, QStringList *finished);
    // -1 when nothing is queued.
    qint64 nextDueNs() const;
    // When the last queued byte is through and the line falls quiet.
    qint64 endNs() const { return m_endNs; }
    bool isEmpty() const { return m_items.isEmpty(); }
    void clear();

private:
    struct Item
    {
        QByteArray bytes;
        QString label;
        qint64 startNs = 0;
        qint64 byteNs = 0;
        qint64 gapNs = 0;
        int chunk = 0;
        int sent = 0;
        qint64 dueNs(int i) const
        {
            return startNs + (i + 1) * byteNs + (chunk > 0 ? i / chunk : 0) * gapNs;
        }
    };

    QVector<Item> m_items;
    qint64 m_byteNs;
    qint64 m_endNs = 0;
};

} // namespace quarvex::sim
