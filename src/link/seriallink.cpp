// The window's side of the serial line: sending, the traffic log, the port and replies.
#include "mainwindow.h"

#include "device/frames.h"
#include "link/crc16.h"
#include "link/linespeed.h"
#include "link/porterror.h"
#include "link/portwatch.h"
#include "link/replydecoder.h"
#include "ui_mainwindow.h"

#include <QSerialPortInfo>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <poll.h>
#endif

using namespace quarvex;

namespace {

// A hung-up tty (adapter unplugged, pseudo-terminal closed) reads as end of file or
// fails with a left-over error code; only the descriptor says what happened.
bool lineHungUp(QSerialPort *port)
{
#ifdef Q_OS_UNIX
    pollfd p{int(port->handle()), 0, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & (POLLHUP | POLLERR | POLLNVAL));
#else
    // Windows has no hang-up to look at; the error code itself tells (portGoneWith).
    Q_UNUSED(port);
    return false;
#endif
}

QString openFailureHint(OpenFailure failure)
{
    switch (failure) {
    case OpenFailure::InUse:
        return MainWindow::tr("，串口已被其他程序占用");
    case OpenFailure::Permission:
#ifdef Q_OS_LINUX
        return MainWindow::tr("，当前用户无权使用该串口，请把用户加入 dialout 组后重新登录");
#else
        return MainWindow::tr("，当前用户无权使用该串口");
#endif
    case OpenFailure::NotFound:
    case OpenFailure::Other:
        break;
    }
    return QString();
}

} // namespace

int MainWindow::modbusCrc16(const quint8 *data, quint16 length)
{
    return quarvex::modbusCrc16(data, length);
}

void MainWindow::sendFrame(QByteArray frame)
{
    frame = withCrc(frame);
    const qint64 written = m_serial->write(frame.constData(), frame.size());
    // A refused or short write must not look like a sent frame.
    const QString prefix = written == frame.size() ? tr("发送--->") : tr("发送失败--->");
    appendLog(prefix + hexText(frame) + QLatin1Char('\n'));
}

void MainWindow::appendLog(const QString &line)
{
    // Insert at the start instead of re-setting the whole text: with LogLayout a
    // line costs the same however long the log has grown.
    QTextDocument *log = ui->textEditRead->document();
    QTextCursor cursor(log);
    cursor.movePosition(QTextCursor::Start);
    // Inside an edit block the cursor does not shape the line it lands on just to
    // remember its x; that shaping would stay in memory with every line.
    cursor.beginEditBlock();
    cursor.insertText(line, QTextCharFormat());
    cursor.endEditBlock();
    // The oldest lines go once the log is full; the last block is the empty one
    // after the final line break.
    if (log->blockCount() > m_logLimit + 1) {
        QTextCursor tail(log->findBlockByNumber(m_logLimit));
        tail.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        tail.removeSelectedText();
    }
}

void MainWindow::setLogLimit(int lines)
{
    m_logLimit = qMax(1, lines);
}

void MainWindow::updatePortList(const QStringList &names)
{
    // Compare the names, not their number: one adapter can replace another between ticks.
    if (names == m_portNames)
        return;
    m_portNames = names;
    const QString current = ui->comboPort->currentText();
    ui->comboPort->clear();
    ui->comboPort->addItems(names);
    // Keep what the user chose or typed, so a reopen reaches the same device.
    if (!current.isEmpty()) {
        const int index = ui->comboPort->findText(current);
        if (index >= 0)
            ui->comboPort->setCurrentIndex(index);
        else
            ui->comboPort->setEditText(current);
    }
}

void MainWindow::slotTimeout()
{
    if (!m_portWatch->takeDue())
        return;
    QStringList names;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        names.append(info.portName());
    updatePortList(names);
}

void MainWindow::on_btnOpen_clicked()
{
    if (m_serial->isOpen())
        closePort();
    else
        openPort();
}

void MainWindow::openPort()
{
    m_portInUse = ui->comboPort->currentText().trimmed();
    if (m_portInUse.isEmpty()) {
        // An empty name would open the device folder itself.
        appendLog(tr("请选择或输入串口") + QLatin1Char('\n'));
        return;
    }
    m_serial->setPortName(m_portInUse);
    m_serial->setBaudRate(ui->comboBaud->currentText().toInt(), QSerialPort::AllDirections);
    m_serial->setDataBits(QSerialPort::Data8);
    m_serial->setParity(QSerialPort::NoParity);
    m_serial->setStopBits(QSerialPort::OneStop);
    m_serial->setFlowControl(QSerialPort::NoFlowControl);
    if (!m_serial->open(QIODevice::ReadWrite)) {
        enterClosedState();
        appendLog(tr("串口打开失败：") + m_portInUse + tr("（") + m_serial->errorString() +
                  tr("）") +
                  openFailureHint(classifyOpenFailure(m_serial->error(), probeNode(m_portInUse))) +
                  QLatin1Char('\n'));
        return;
    }
    ui->btnOpen->setText(tr("关闭串口"));
    ui->comboBaud->setEnabled(false);
    ui->comboPort->setEnabled(false);
    const quint32 actual = actualLineSpeed(qintptr(m_serial->handle()));
    if (lineSpeedReplaced(quint32(m_serial->baudRate()), actual))
        appendLog(tr("串口实际波特率：%1，与所选不符").arg(actual) + QLatin1Char('\n'));
    // Whatever reached the port before this opening answers nothing sent from now on.
    m_serial->clear(QSerialPort::Input);
    m_framer = ReplyFramer();
    sendFrame(readAddressFrame());
}

void MainWindow::closePort()
{
    // Bytes still waiting for the quiet time are logged before the port goes.
    m_quietTimer->stop();
    handlePieces(m_framer.flush());
    m_serial->close();
    enterClosedState();
}

void MainWindow::enterClosedState()
{
    ui->btnOpen->setText(tr("打开串口"));
    ui->comboBaud->setEnabled(true);
    ui->comboPort->setEnabled(true);
    lockControls();
}

void MainWindow::onPortError(QSerialPort::SerialPortError error)
{
    // Errors of a failed opening are told by the opening itself.
    if (error == QSerialPort::NoError || !m_serial->isOpen())
        return;
    const QString reason = m_serial->errorString();
    m_serial->clearError();
    // A line that hung up explains every error after it; say so once, and close.
    if (error != QSerialPort::TimeoutError && lineHungUp(m_serial)) {
        portLost(tr("设备已断开"));
        return;
    }
    if (portGoneWith(error)) {
        portLost(reason);
        return;
    }
    const QString prefix = error == QSerialPort::WriteError     ? tr("发送失败：")
                           : error == QSerialPort::TimeoutError ? tr("发送超时：")
                                                                : tr("串口错误：");
    appendLog(prefix + reason + QLatin1Char('\n'));
}

void MainWindow::portLost(const QString &reason)
{
    closePort();
    appendLog(tr("串口已断开：") + m_portInUse + tr("（") + reason + tr("）") + QLatin1Char('\n'));
}

void MainWindow::on_btnClear_clicked()
{
    ui->textEditRead->setText(QString());
}

void MainWindow::slotReceived1()
{
    handlePieces(m_framer.feed(m_serial->readAll(), m_clock.elapsed()));
    if (m_framer.hasPending())
        m_quietTimer->start(int(ReplyFramer::kQuietMs));
    else
        m_quietTimer->stop();
}

void MainWindow::onQuietTimeout()
{
    const qint64 now = m_clock.elapsed();
    handlePieces(m_framer.poll(now));
    if (m_framer.hasPending())
        m_quietTimer->start(int(qMax<qint64>(1, m_framer.msUntilQuiet(now))));
}

void MainWindow::handlePieces(const ReplyFramer::Pieces &pieces)
{
    for (const ReplyFramer::Piece &piece : pieces) {
        appendLog(tr("从机响应->") + hexText(piece.bytes) + QLatin1Char('\n'));
        if (piece.isFrame)
            handleReply(piece.bytes);
    }
}

void MainWindow::handleReply(const QByteArray &frame)
{
    switch (classifyReply(frame)) {
    case ReplyKind::AddressReport: {
        const QString address = QString::number(reportedAddress(frame));
        ui->lineEdit_addr->setText(address);
        unlockControls();
        appendLog(tr("当前从机地址：") + address + QLatin1Char('\n'));
        break;
    }
    case ReplyKind::LineSpeedChanged:
        appendLog(tr("波特率修改为:") + ui->comboSetBaud->currentText() + tr(" 重启后生效") +
                  QLatin1Char('\n'));
        break;
    case ReplyKind::AddressChanged:
        appendLog(tr("当前485从机地址修改为: ") + ui->lineEdit_addr->text() + QLatin1Char('\n'));
        break;
    case ReplyKind::ParameterSummary:
        ui->labelAll->setText(parameterSummary(frame));
        break;
    case ReplyKind::Other:
        break;
    }
}
