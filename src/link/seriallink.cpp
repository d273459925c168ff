// The window's side of the serial line: sending, the port and replies.
#include "mainwindow.h"

#include "device/frames.h"
#include "link/crc16.h"
#include "link/failurewords.h"
#include "link/linespeed.h"
#include "link/porterror.h"
#include "link/portwatch.h"
#include "link/replydecoder.h"
#include "link/transport.h"
#include "ui_mainwindow.h"

#include <QSerialPortInfo>
#include <QTimer>

using namespace quarvex;

int MainWindow::modbusCrc16(const quint8 *data, quint16 length)
{
    return quarvex::modbusCrc16(data, length);
}

void MainWindow::sendFrame(QByteArray frame)
{
    frame = withCrc(frame);
    if (!m_serial->capabilities().carriesAddressFrames && quint8(frame.at(0)) == kAddressFrameBus) {
        // A gateway takes bus address 0 for a broadcast and never answers it.
        appendLog(tr("地址帧需要透明链路：请使用 tcp:// 或 rfc2217://") + QLatin1Char('\n'));
        return;
    }
    const qint64 written = m_serial->write(frame);
    // A refused or short write must not look like a sent frame.
    const QString prefix = written == frame.size() ? tr("发送--->") : tr("发送失败--->");
    appendLog(prefix + hexText(frame) + QLatin1Char('\n'));
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
    if (portOpen() || m_connecting)
        closePort();
    else
        openPort();
}

bool MainWindow::portOpen() const
{
    return m_serial->isOpen();
}

void MainWindow::openPort()
{
    m_portInUse = ui->comboPort->currentText().trimmed();
    if (m_portInUse.isEmpty()) {
        // An empty name would open the device folder itself.
        appendLog(tr("请选择或输入串口") + QLatin1Char('\n'));
        return;
    }
    // Not from one of its own signals: the button or the window calls here.
    delete m_serial;
    // Parented to the window, so an open port is closed when the window goes.
    m_serial = m_transportFactory ? m_transportFactory(m_portInUse, this)
                                  : createTransport(m_portInUse, this);
    connect(m_serial, &Transport::readyRead, this, &MainWindow::slotReceived1);
    connect(m_serial, &Transport::failed, this, &MainWindow::onPortFailed);
    connect(m_serial, &Transport::opened, this, &MainWindow::onPortOpened);
    switch (m_serial->open(ui->comboBaud->currentText().toUInt())) {
    case Transport::Opening::Open:
        onPortOpened();
        return;
    case Transport::Opening::Pending:
        // Connecting: the button cancels, the boxes wait.
        m_connecting = true;
        ui->btnOpen->setText(tr("关闭串口"));
        ui->comboBaud->setEnabled(false);
        ui->comboPort->setEnabled(false);
        return;
    case Transport::Opening::Failed:
        break;
    }
    const FailureWords words = failureWords(m_portInUse, m_serial->error());
    enterClosedState();
    appendLog(tr("串口打开失败：") + m_portInUse + tr("（") + words.reason + tr("）") + words.hint +
              QLatin1Char('\n'));
}

void MainWindow::onPortOpened()
{
    m_connecting = false;
    ui->btnOpen->setText(tr("关闭串口"));
    ui->comboBaud->setEnabled(false);
    ui->comboPort->setEnabled(false);
    const quint32 chosen = ui->comboBaud->currentText().toUInt();
    if (m_serial->capabilities().setsLineSpeed) {
        const quint32 actual = m_serial->actualLineSpeed();
        if (lineSpeedReplaced(chosen, actual))
            appendLog(tr("串口实际波特率：%1，与所选不符").arg(actual) + QLatin1Char('\n'));
    } else {
        appendLog(tr("波特率由网络另一端的串口服务器决定，所选 %1 未生效").arg(chosen) +
                  QLatin1Char('\n'));
    }
    // Whatever reached the port before this opening answers nothing sent from now on.
    m_serial->clearInput();
    m_framer = ReplyFramer();
    if (m_serial->capabilities().network)
        m_framer.setQuietMs(ReplyFramer::kNetworkQuietMs + m_serial->roundTripMs());
    m_noiseTimer->start();
    if (!m_serial->capabilities().carriesAddressFrames) {
        // A gateway passes no address frame, so no address report will come: the address
        // box names the module's unit behind it.
        appendLog(tr("已连接 Modbus TCP 网关：网关不转发读地址帧，请在地址框中填写模块在网关后的"
                     "单元号（现为 %1），再使用各按钮")
                      .arg(ui->lineEdit_addr->text()) +
                  QLatin1Char('\n'));
        unlockControls();
        return;
    }
    sendFrame(readAddressFrame());
}

void MainWindow::closePort()
{
    // Bytes still waiting for the quiet time are logged before the port goes.
    m_quietTimer->stop();
    m_takeTimer->stop();
    handlePieces(m_framer.feed(m_serial->readAll(), m_clock.elapsed()));
    handlePieces(m_framer.flush());
    m_serial->close();
    m_noiseTimer->stop();
    summariseNoise();
    enterClosedState();
    // What the window showed of the module it talked to is no longer its: the next port
    // may lead to another one, or to a gateway where the box names a unit. An address the
    // user typed is the user's and stays.
    ui->labelAll->clear();
    if (!m_reportedAddress.isEmpty() && ui->lineEdit_addr->text() == m_reportedAddress)
        ui->lineEdit_addr->setText(QStringLiteral("1"));
    m_reportedAddress.clear();
}

void MainWindow::enterClosedState()
{
    m_connecting = false;
    ui->btnOpen->setText(tr("打开串口"));
    ui->comboBaud->setEnabled(true);
    ui->comboPort->setEnabled(true);
    lockControls();
}

void MainWindow::onPortFailed(const TransportError &e)
{
    const FailureWords words = failureWords(m_portInUse, e);
    if (m_connecting) {
        enterClosedState();
        appendLog(tr("串口打开失败：") + m_portInUse + tr("（") + words.reason + tr("）") +
                  QLatin1Char('\n'));
        return;
    }
    switch (e.kind) {
    // The port stays open: told, and the user decides.
    case TransportError::WriteFailed:
        appendLog(tr("发送失败：") + e.text + QLatin1Char('\n'));
        return;
    case TransportError::TimedOut:
        appendLog(tr("发送超时：") + e.text + QLatin1Char('\n'));
        return;
    case TransportError::Other:
        appendLog(tr("串口错误：") + e.text + QLatin1Char('\n'));
        return;
    case TransportError::OpenFailed:
    case TransportError::HungUp:
    case TransportError::Gone:
    case TransportError::BadAddress:
    case TransportError::Refused:
    case TransportError::HostNotFound:
    case TransportError::Unreachable:
    case TransportError::Dropped:
    case TransportError::ComPortRefused:
    case TransportError::NotAcknowledged:
    case TransportError::BrokenStream:
    case TransportError::StoppedReading:
        portLost(words.reason);
        return;
    }
}

void MainWindow::portLost(const QString &reason)
{
    closePort();
    appendLog(tr("串口已断开：") + m_portInUse + tr("（") + reason + tr("）") + QLatin1Char('\n'));
}

void MainWindow::slotReceived1()
{
    // Taken on the next turn of the event loop: a flood of small reads costs one pass,
    // and clicks are handled in between.
    if (!m_takeTimer->isActive())
        m_takeTimer->start(0);
}

void MainWindow::takeReceived()
{
    handlePieces(m_framer.feed(m_serial->readAll(), m_clock.elapsed()));
    if (m_framer.hasPending())
        m_quietTimer->start(int(m_framer.quietMs()));
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
        if (!piece.isFrame) {
            logNoise(piece.bytes);
            continue;
        }
        appendLog(tr("从机响应->") + hexText(piece.bytes) + QLatin1Char('\n'));
        handleReply(piece.bytes);
    }
}

// Bytes that are no reply, a few lines a second; beyond them only counted, so a line
// full of noise cannot bury the window in log lines to lay out.
void MainWindow::logNoise(const QByteArray &bytes)
{
    if (m_noiseLines >= kNoiseLinesPerSecond) {
        m_noiseSummarised += bytes.size();
        return;
    }
    ++m_noiseLines;
    // A long run of it is shown by its start; the rest counts with the summary.
    const bool cut = bytes.size() > kNoiseLineBytes;
    appendLog(tr("从机响应->") + hexText(bytes.left(kNoiseLineBytes)) +
              (cut ? QStringLiteral("…") : QString()) + QLatin1Char('\n'));
    if (cut)
        m_noiseSummarised += bytes.size() - kNoiseLineBytes;
}

void MainWindow::summariseNoise()
{
    m_noiseLines = 0;
    if (m_noiseSummarised == 0)
        return;
    appendLog(tr("（另有 %1 字节无法识别的数据未逐行显示）").arg(m_noiseSummarised) +
              QLatin1Char('\n'));
    m_noiseSummarised = 0;
}

void MainWindow::handleReply(const QByteArray &frame)
{
    switch (classifyReply(frame)) {
    case ReplyKind::AddressReport: {
        const QString address = QString::number(reportedAddress(frame));
        ui->lineEdit_addr->setText(address);
        m_reportedAddress = address;
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
