#include "link/transport.h"

#include "link/mbap.h"
#include "link/nettransport.h"
#include "link/serialtransport.h"

#include <QUrl>

namespace quarvex {

namespace {

struct SchemeName
{
    const char *prefix;
    Scheme scheme;
    quint16 defaultPort; // 0: the port must be given
};

constexpr SchemeName kSchemes[] = {
    {"tcp://", Scheme::RtuOverTcp, 0},
    {"rfc2217://", Scheme::Rfc2217, 0},
    {"modbus-tcp://", Scheme::ModbusTcp, mbap::kDefaultPort},
};

} // namespace

PortName parsePortName(const QString &name)
{
    PortName p;
    for (const SchemeName &s : kSchemes) {
        if (!name.startsWith(QLatin1String(s.prefix), Qt::CaseInsensitive))
            continue;
        p.scheme = s.scheme;
        const QUrl url(name, QUrl::StrictMode);
        const int port = url.port(s.defaultPort);
        p.host = url.host();
        p.port = quint16(port);
        p.valid = url.isValid() && !p.host.isEmpty() && port > 0 && url.path().isEmpty() &&
                  url.userInfo().isEmpty() && !url.hasQuery() && !url.hasFragment();
        return p;
    }
    return p;
}

void Transport::setError(TransportError::Kind kind, const QString &text)
{
    m_error = TransportError();
    m_error.kind = kind;
    m_error.text = text;
}

void Transport::fail(TransportError::Kind kind, const QString &text)
{
    setError(kind, text);
    emit failed(m_error);
}

Transport *createTransport(const QString &name, QObject *parent)
{
    const PortName p = parsePortName(name);
    switch (p.scheme) {
    case Scheme::Serial:
        break;
    case Scheme::RtuOverTcp:
        return new RtuOverTcpTransport(name, p, parent);
    case Scheme::Rfc2217:
        return new Rfc2217Transport(name, p, parent);
    case Scheme::ModbusTcp:
        return new ModbusTcpTransport(name, p, parent);
    }
    return new SerialTransport(name, parent);
}

} // namespace quarvex
