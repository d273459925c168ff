#include "modulecommands.h"

#include "device/frames.h"
#include "link/replydecoder.h"
#include "report.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QSerialPortInfo>
#include <QtEndian>

namespace quarvex::cli {

namespace {

// The value of a one-register read reply.
quint16 registerValue(const QByteArray &reply)
{
    return reply.size() >= 5 ? qFromBigEndian<quint16>(reply.constData() + 3) : 0;
}

// The /dev/serial/by-id link that leads to a device, if any.
QString byIdLink(const QString &device)
{
    const QDir dir(QStringLiteral("/dev/serial/by-id"));
    for (const QFileInfo &link : dir.entryInfoList(QDir::Files | QDir::System))
        if (link.canonicalFilePath() == device)
            return link.absoluteFilePath();
    return QString();
}

} // namespace

void ModuleCommands::start()
{
    m_ctx.openForModule([this](quint8 address) { run(address); });
}

void ModuleCommands::run(quint8 address)
{
    const Invocation &inv = m_ctx.inv();
    switch (inv.verb) {
    case Verb::Address:
        this->address();
        return;
    case Verb::Read:
        read(address);
        return;
    case Verb::Motor:
        motor(address);
        return;
    case Verb::AlarmClear:
        clearAlarm(address);
        return;
    case Verb::SetSpeed:
        command(buildCommand(Command::SetLineSpeed, address, inv.value),
                Cli::tr("line speed %1 bit/s stored; it takes effect when the module restarts")
                    .arg(inv.value));
        return;
    case Verb::SetAddress:
        checkAddress([this] { setAddress(); });
        return;
    case Verb::Send:
        command(inv.frame, QString());
        return;
    case Verb::Ports:
    case Verb::Find:
    case Verb::Watch:
    case Verb::Scan:
    case Verb::Commission:
    case Verb::Apply:
        return;
    }
}

void ModuleCommands::address()
{
    const Invocation &inv = m_ctx.inv();
    if (!inv.address) {
        m_ctx.engine().exchange(readAddressFrame(), m_ctx.commandPolicy(),
                                [this](const Exchange &x) {
                                    if (x.result != Exchange::Reply)
                                        return m_ctx.fail(x);
                                    const int a = reportedAddress(x.reply);
                                    if (m_ctx.inv().json)
                                        m_ctx.outJson({{QStringLiteral("address"), a}});
                                    else
                                        m_ctx.out(Cli::tr("bus address %1").arg(a));
                                    m_ctx.finish(ExitStatus::Done);
                                });
        return;
    }
    // A question to that address alone: it works on a shared line too.
    const int a = *inv.address;
    m_ctx.engine().exchange(
        readRegistersFrame(quint8(a), Reg::LineSpeed, 2), m_ctx.commandPolicy(),
        [this, a](const Exchange &x) {
            if (x.result == Exchange::Silent) {
                m_ctx.failWith(ExitStatus::NoValidReply,
                               Cli::tr("no module answers at bus address %1").arg(a));
                return;
            }
            // A gateway's "no module there" is no module's refusal.
            if (x.result != Exchange::Reply &&
                (x.result != Exchange::Exception ||
                 ExceptionCode::fromGatewayForNoModule(x.exceptionCode)))
                return m_ctx.fail(x);
            if (m_ctx.inv().json)
                m_ctx.outJson({{QStringLiteral("address"), a}, {QStringLiteral("answers"), true}});
            else
                m_ctx.out(Cli::tr("a module answers at bus address %1").arg(a));
            m_ctx.finish(ExitStatus::Done);
        });
}

void ModuleCommands::read(quint8 address)
{
    m_ctx.engine().exchange(readRegistersFrame(address, Reg::LineSpeed, Reg::Count),
                            m_ctx.commandPolicy(), [this](const Exchange &x) {
                                if (x.result != Exchange::Reply)
                                    return m_ctx.fail(x);
                                ModuleState s;
                                decodeState(x.reply, &s);
                                // Over tcp:// and a gateway the line runs at the server's speed,
                                // whatever -b said.
                                const quint32 link = m_ctx.port()->capabilities().setsLineSpeed
                                                         ? m_ctx.engine().baud()
                                                         : 0;
                                if (m_ctx.inv().json)
                                    m_ctx.outJson(stateJson(s, link));
                                else
                                    m_ctx.out(stateText(s, link));
                                m_ctx.finish(ExitStatus::Done);
                            });
}

void ModuleCommands::withAlarm(quint8 address, const std::function<void(bool)> &next)
{
    m_ctx.engine().exchange(readRegistersFrame(address, motorRegisters(m_ctx.inv().motor).alarm, 1),
                            m_ctx.commandPolicy(), [this, next](const Exchange &x) {
                                if (x.result != Exchange::Reply)
                                    return m_ctx.fail(x);
                                next(registerValue(x.reply) != 0);
                            });
}

void ModuleCommands::motor(quint8 address)
{
    // The module acknowledges a write to a motor whose alarm stands, and ignores it.
    withAlarm(address, [this, address](bool alarm) {
        const Invocation &inv = m_ctx.inv();
        const int n = motorNumber(inv.motor);
        if (alarm) {
            m_ctx.failWith(ExitStatus::NotApplied,
                           Cli::tr("not applied: the over-current alarm of motor %1 stands, and "
                                   "the module ignores commands to it until it is cleared with "
                                   "'quarvexctl alarm clear %1'; nothing was sent")
                               .arg(n));
            return;
        }
        command(buildCommand(inv.deviceCommand, address, inv.value), Cli::tr("done"));
    });
}

void ModuleCommands::clearAlarm(quint8 address)
{
    withAlarm(address, [this, address](bool alarm) {
        const Invocation &inv = m_ctx.inv();
        const int n = motorNumber(inv.motor);
        if (!alarm) {
            if (inv.json)
                m_ctx.outJson(
                    {{QStringLiteral("motor"), n}, {QStringLiteral("alarm_stood"), false}});
            else
                m_ctx.out(Cli::tr("no alarm stood on motor %1; nothing changed").arg(n));
            m_ctx.finish(ExitStatus::Done);
            return;
        }
        command(clearAlarmFrame(address, inv.motor),
                Cli::tr("alarm of motor %1 cleared; its parameters are back at their "
                        "power-up values")
                    .arg(n),
                {{QStringLiteral("motor"), n}, {QStringLiteral("alarm_stood"), true}});
    });
}

// The write goes to bus address 0: every module on the line would take it. So the
// module is asked first, unless --force says the line is known to hold one.
void ModuleCommands::checkAddress(const std::function<void()> &next)
{
    const Invocation &inv = m_ctx.inv();
    if (inv.force && !inv.address) {
        next();
        return;
    }
    m_ctx.engine().exchange(
        readAddressFrame(), m_ctx.commandPolicy(), [this, next](const Exchange &x) {
            const std::optional<quint8> meant = m_ctx.inv().address;
            if (x.result == Exchange::Damaged) {
                m_ctx.failWith(
                    ExitStatus::NoValidReply,
                    damageText(x.damage) + QLatin1Char('\n') +
                        Cli::tr("the address was not changed (--force skips this check)"));
            } else if (x.result != Exchange::Reply) {
                m_ctx.fail(x);
            } else if (meant && reportedAddress(x.reply) != *meant) {
                m_ctx.failWith(ExitStatus::NotApplied,
                               Cli::tr("the module answering is at bus address %1, not %2; the "
                                       "address was not changed")
                                   .arg(reportedAddress(x.reply))
                                   .arg(*meant));
            } else {
                next();
            }
        });
}

void ModuleCommands::setAddress()
{
    const quint32 wanted = m_ctx.inv().value;
    const QByteArray frame = buildCommand(Command::WriteAddress, quint8(wanted), 0);
    m_ctx.engine().exchange(frame, m_ctx.commandPolicy(), [this, wanted](const Exchange &w) {
        if (w.result != Exchange::Reply)
            return m_ctx.fail(w);
        // What the module answers now, not what it was told.
        m_ctx.engine().exchange(
            readAddressFrame(), m_ctx.commandPolicy(), [this, w, wanted](const Exchange &x) {
                if (x.result != Exchange::Reply)
                    return m_ctx.fail(x);
                const int now = reportedAddress(x.reply);
                if (now != int(wanted)) {
                    m_ctx.failWith(
                        ExitStatus::NotApplied,
                        Cli::tr("the module acknowledged, but answers at bus address %1").arg(now));
                    return;
                }
                if (m_ctx.inv().json)
                    m_ctx.outJson({{QStringLiteral("request"), hexText(w.request)},
                                   {QStringLiteral("reply"), hexText(w.reply)},
                                   {QStringLiteral("address"), now}});
                else
                    m_ctx.out(Cli::tr("bus address now %1").arg(now));
                m_ctx.finish(ExitStatus::Done);
            });
    });
}

void ModuleCommands::command(const QByteArray &frame, const QString &doneText,
                             const QJsonObject &extra)
{
    m_ctx.engine().exchange(
        frame, m_ctx.commandPolicy(), [this, doneText, extra](const Exchange &x) {
            const bool json = m_ctx.inv().json;
            if (x.result == Exchange::Broadcast) {
                if (json)
                    m_ctx.outJson({{QStringLiteral("request"), hexText(x.request)},
                                   {QStringLiteral("reply"), QJsonValue()}});
                else
                    m_ctx.out(Cli::tr("broadcast: no reply expected"));
                m_ctx.finish(ExitStatus::Done);
                return;
            }
            if (x.result != Exchange::Reply)
                return m_ctx.fail(x);
            if (json) {
                QJsonObject o = extra;
                o.insert(QStringLiteral("request"), hexText(x.request));
                o.insert(QStringLiteral("reply"), hexText(x.reply));
                m_ctx.outJson(o);
            } else {
                m_ctx.out(doneText.isEmpty() ? hexText(x.reply) : doneText);
            }
            m_ctx.finish(ExitStatus::Done);
        });
}

void PortsCommand::start()
{
    const bool json = m_ctx.inv().json;
    QJsonArray list;
    if (!json)
        m_ctx.out(Cli::tr("PORT  DESCRIPTION  MAKER  SERIAL  BY-ID"));
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        const QString link = byIdLink(info.systemLocation());
        if (json) {
            list.append(QJsonObject{{QStringLiteral("name"), info.portName()},
                                    {QStringLiteral("path"), info.systemLocation()},
                                    {QStringLiteral("description"), info.description()},
                                    {QStringLiteral("manufacturer"), info.manufacturer()},
                                    {QStringLiteral("serial_number"), info.serialNumber()},
                                    {QStringLiteral("by_id"), link}});
        } else {
            QStringList fields{info.portName(), info.description(), info.manufacturer(),
                               info.serialNumber(), link};
            for (QString &f : fields)
                if (f.isEmpty())
                    f = QStringLiteral("-");
            m_ctx.out(fields.join(QLatin1String("  ")));
        }
    }
    if (json)
        m_ctx.outJson({{QStringLiteral("ports"), list}});
    m_ctx.finish(ExitStatus::Done);
}

} // namespace quarvex::cli
