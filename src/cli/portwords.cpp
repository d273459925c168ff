#include "portwords.h"

#include "invocation.h"

namespace quarvex::cli {

QString portFailureText(const QString &name, const TransportError &e)
{
    switch (e.kind) {
    case TransportError::OpenFailed:
        switch (e.failure) {
        case OpenFailure::NotFound:
            return Cli::tr("cannot open %1: no such port").arg(name);
        case OpenFailure::Permission:
#ifdef Q_OS_LINUX
            return Cli::tr("cannot open %1: permission denied; add your user to the dialout "
                           "group and log in again")
                .arg(name);
#else
            return Cli::tr("cannot open %1: permission denied").arg(name);
#endif
        case OpenFailure::InUse:
            return Cli::tr("cannot open %1: in use by another program").arg(name);
        case OpenFailure::Other:
            break;
        }
        return Cli::tr("cannot open %1: %2").arg(name, e.text);
    case TransportError::BadAddress:
        return Cli::tr("%1 is not a network port: use tcp://HOST:PORT, rfc2217://HOST:PORT or "
                       "modbus-tcp://HOST[:PORT]")
            .arg(name);
    case TransportError::Refused:
        return Cli::tr("cannot connect to %1: connection refused").arg(name);
    case TransportError::HostNotFound:
        return Cli::tr("cannot connect to %1: host not found").arg(name);
    case TransportError::Unreachable:
        return Cli::tr("cannot connect to %1: host unreachable (no connection within %2 s)")
            .arg(name)
            .arg(Transport::kConnectMs / 1000);
    case TransportError::Dropped:
        return Cli::tr("the connection to %1 was dropped").arg(name);
    case TransportError::ComPortRefused:
        return Cli::tr("%1 does not set the line speed (no RFC 2217 COM-PORT-CONTROL): use "
                       "tcp:// for a server in transparent mode")
            .arg(name);
    case TransportError::NotAcknowledged:
        return Cli::tr("%1 did not acknowledge the line speed").arg(name);
    case TransportError::BrokenStream:
        return Cli::tr("%1 sent bytes that are not Modbus TCP").arg(name);
    case TransportError::HungUp:
    case TransportError::Gone:
    case TransportError::WriteFailed:
    case TransportError::TimedOut:
    case TransportError::Other:
        break;
    }
    return Cli::tr("the port failed: %1").arg(e.text);
}

} // namespace quarvex::cli
