#include "link/serialtransport.h"

#include "link/linespeed.h"

#ifdef Q_OS_UNIX
#include <poll.h>
#endif

namespace quarvex {

namespace {

// A hung-up tty (adapter unplugged, pseudo-terminal closed) reads as end of file or
// fails with a left-over error code; only the descriptor says what happened.
bool lineHungUp(QSerialPort &port)
{
#ifdef Q_OS_UNIX
    pollfd p{int(port.handle()), 0, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & (POLLHUP | POLLERR | POLLNVAL));
#else
    // Windows has no hang-up to look at; the error code itself tells (portGoneWith).
    Q_UNUSED(port);
    return false;
#endif
}

} // namespace

SerialTransport::SerialTransport(const QString &name, QObject *parent)
    : Transport(name, parent), m_port(this)
{
    m_port.setPortName(name);
    connect(&m_port, &QSerialPort::readyRead, this, &Transport::readyRead);
    connect(&m_port, &QSerialPort::bytesWritten, this, &Transport::bytesWritten);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialTransport::onError);
}

Transport::Opening SerialTransport::open(quint32 baud)
{
    if (!m_port.open(QIODevice::ReadWrite)) {
        setError(TransportError::OpenFailed, m_port.errorString());
        m_error.failure = classifyOpenFailure(m_port.error(), probeNode(m_name));
        return Opening::Failed;
    }
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!setLineSpeed(baud)) {
        // Left open, the port would refuse the next opening as already open.
        setError(TransportError::OpenFailed, m_port.errorString());
        m_port.close();
        return Opening::Failed;
    }
    return Opening::Open;
}

QByteArray SerialTransport::readPending()
{
    m_port.waitForReadyRead(0);
    return m_port.readAll();
}

quint32 SerialTransport::actualLineSpeed() const
{
    // A HANDLE on Windows, a descriptor elsewhere.
    return quarvex::actualLineSpeed(qintptr(m_port.handle()));
}

void SerialTransport::onError(QSerialPort::SerialPortError error)
{
    // Errors of a failed opening are told by the opening itself.
    if (error == QSerialPort::NoError || !m_port.isOpen())
        return;
    const QString reason = m_port.errorString();
    m_port.clearError();
    // A line that hung up explains every error after it.
    if (error != QSerialPort::TimeoutError && lineHungUp(m_port))
        fail(TransportError::HungUp, reason);
    else if (portGoneWith(error))
        fail(TransportError::Gone, reason);
    else if (error == QSerialPort::WriteError)
        fail(TransportError::WriteFailed, reason);
    else if (error == QSerialPort::TimeoutError)
        fail(TransportError::TimedOut, reason);
    else
        fail(TransportError::Other, reason);
}

} // namespace quarvex
