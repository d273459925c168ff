#pragma once

#include "link/transport.h"

#include <QSerialPort>

namespace quarvex {

// A local serial port, 8N1 without flow control.
class SerialTransport : public Transport
{
    Q_OBJECT

public:
    explicit SerialTransport(const QString &name, QObject *parent = nullptr);

    Scheme scheme() const override { return Scheme::Serial; }
    Opening open(quint32 baud) override;
    void close() override { m_port.close(); }
    bool isOpen() const override { return m_port.isOpen(); }
    qint64 write(const QByteArray &frame) override { return m_port.write(frame); }
    QByteArray readAll() override { return m_port.readAll(); }
    QByteArray readPending() override;
    qint64 bytesToWrite() const override { return m_port.bytesToWrite(); }
    void clearInput() override { m_port.clear(QSerialPort::Input); }
    bool setLineSpeed(quint32 baud) override { return m_port.setBaudRate(qint32(baud)); }
    quint32 actualLineSpeed() const override;

private:
    void onError(QSerialPort::SerialPortError error);

    QSerialPort m_port;
};

} // namespace quarvex
