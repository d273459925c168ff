#include "link/failurewords.h"

#include <QCoreApplication>

namespace quarvex {

namespace {

QString cli(const char *text)
{
    return QCoreApplication::translate("Cli", text);
}

QString window(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

// The server's own words before it closed, quoted.
QString saidByServer(const QString &words, const char *cliForm, const char *windowForm,
                     QString *reason)
{
    if (words.isEmpty())
        return QString();
    *reason += window(windowForm).arg(words);
    return cli(cliForm).arg(words);
}

FailureWords openFailure(const QString &name, const TransportError &e)
{
    switch (e.failure) {
    case OpenFailure::NotFound:
        return {cli(QT_TRANSLATE_NOOP("Cli", "cannot open %1: no such port")).arg(name), e.text,
                QString()};
    case OpenFailure::Permission:
#ifdef Q_OS_LINUX
        return {cli(QT_TRANSLATE_NOOP(
                        "Cli",
                        "cannot open %1: permission denied; add your user to the dialout group and "
                        "log in again"))
                    .arg(name),
                e.text,
                window(QT_TRANSLATE_NOOP(
                    "MainWindow", "，当前用户无权使用该串口，请把用户加入 dialout 组后重新登录"))};
#else
        return {cli(QT_TRANSLATE_NOOP("Cli", "cannot open %1: permission denied")).arg(name),
                e.text, window(QT_TRANSLATE_NOOP("MainWindow", "，当前用户无权使用该串口"))};
#endif
    case OpenFailure::InUse:
        return {
            cli(QT_TRANSLATE_NOOP("Cli", "cannot open %1: in use by another program")).arg(name),
            e.text, window(QT_TRANSLATE_NOOP("MainWindow", "，串口已被其他程序占用"))};
    case OpenFailure::Other:
        break;
    }
    return {cli(QT_TRANSLATE_NOOP("Cli", "cannot open %1: %2")).arg(name, e.text), e.text,
            QString()};
}

} // namespace

FailureWords failureWords(const QString &name, const TransportError &e)
{
    const QString failed = cli(QT_TRANSLATE_NOOP("Cli", "the port failed: %1")).arg(e.text);
    switch (e.kind) {
    case TransportError::OpenFailed:
        return openFailure(name, e);
    case TransportError::HungUp:
        return {failed, window(QT_TRANSLATE_NOOP("MainWindow", "设备已断开")), QString()};
    case TransportError::Gone:
    case TransportError::WriteFailed:
    case TransportError::TimedOut:
    case TransportError::Other:
        return {failed, e.text, QString()};
    case TransportError::BadAddress:
        return {
            cli(QT_TRANSLATE_NOOP(
                    "Cli", "%1 is not a network port: use tcp://HOST:PORT, rfc2217://HOST:PORT or "
                           "modbus-tcp://HOST[:PORT]"))
                .arg(name),
            window(QT_TRANSLATE_NOOP("MainWindow",
                                     "网络地址应写作 tcp://主机:端口、rfc2217://主机:端口 或 "
                                     "modbus-tcp://主机[:端口]")),
            QString()};
    case TransportError::Refused:
        return {cli(QT_TRANSLATE_NOOP("Cli", "cannot connect to %1: connection refused")).arg(name),
                window(QT_TRANSLATE_NOOP("MainWindow", "连接被拒绝")), QString()};
    case TransportError::HostNotFound:
        return {cli(QT_TRANSLATE_NOOP("Cli", "cannot connect to %1: host not found")).arg(name),
                window(QT_TRANSLATE_NOOP("MainWindow", "找不到主机")), QString()};
    case TransportError::Unreachable:
        return {
            cli(QT_TRANSLATE_NOOP(
                    "Cli", "cannot connect to %1: host unreachable (no connection within %2 s)"))
                .arg(name)
                .arg(Transport::kConnectMs / 1000),
            window(QT_TRANSLATE_NOOP("MainWindow", "主机不可达，%1 秒内未连上"))
                .arg(Transport::kConnectMs / 1000),
            QString()};
    case TransportError::Dropped: {
        QString reason = window(QT_TRANSLATE_NOOP("MainWindow", "网络连接已断开"));
        QString sentence =
            cli(QT_TRANSLATE_NOOP("Cli", "the connection to %1 was dropped")).arg(name);
        const QString said =
            saidByServer(e.serverWords, "; the server said \"%1\"", "：服务器说“%1”", &reason);
        return {sentence + said, reason, QString()};
    }
    case TransportError::ComPortRefused:
        return {cli(QT_TRANSLATE_NOOP(
                        "Cli",
                        "%1 does not set the line speed (no RFC 2217 COM-PORT-CONTROL): use tcp:// "
                        "for a server in transparent mode"))
                    .arg(name),
                window(QT_TRANSLATE_NOOP("MainWindow", "服务器不支持 RFC 2217 串口控制")),
                QString()};
    case TransportError::NotAcknowledged:
        return {cli(QT_TRANSLATE_NOOP("Cli", "%1 did not acknowledge the line speed")).arg(name),
                window(QT_TRANSLATE_NOOP("MainWindow", "服务器未确认波特率")), QString()};
    case TransportError::BrokenStream:
        return {cli(QT_TRANSLATE_NOOP("Cli", "%1 sent bytes that are not Modbus TCP")).arg(name),
                window(QT_TRANSLATE_NOOP("MainWindow", "收到的数据不是 Modbus TCP 帧")), QString()};
    case TransportError::StoppedReading:
        return {cli(QT_TRANSLATE_NOOP("Cli",
                                      "%1: the server stopped reading; the connection was closed"))
                    .arg(name),
                window(QT_TRANSLATE_NOOP("MainWindow", "服务器不再读取数据，连接已关闭")),
                QString()};
    }
    return {failed, e.text, QString()};
}

} // namespace quarvex
