// The commands for one module: address, read, motor, alarm clear, set-address,
// set-speed, send; and ports.
#include "runner.h"

#include "device/frames.h"
#include "report.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QSerialPortInfo>
#include <QtEndian>

namespace quarvex::cli {

namespace {

int motorNumber(Motor m)
{
    return m == Motor::One ? 1 : 2;
}

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

void Runner::withAlarm(quint8 address, Motor motor, const std::function<void(bool)> &next)
{
    m_link.exchange(readRegistersFrame(address, motorRegisters(motor).alarm, 1), commandPolicy(),
                    [this, next](const Exchange &x) {
                        if (x.result != Exchange::Reply)
                            return fail(x);
                        next(registerValue(x.reply) != 0);
                    });
}

void Runner::run(quint8 address)
{
    switch (m_inv.verb) {
    case Verb::Address:
        if (m_inv.address) {
            // A question to that address alone: it works on a shared line too.
            const int a = *m_inv.address;
            m_link.exchange(readRegistersFrame(quint8(a), Reg::LineSpeed, 2), commandPolicy(),
                            [this, a](const Exchange &x) {
                                if (x.result == Exchange::Silent) {
                                    failWith(3,
                                             Cli::tr("no module answers at bus address %1").arg(a));
                                    return;
                                }
                                if (x.result != Exchange::Reply && x.result != Exchange::Exception)
                                    return fail(x);
                                if (m_inv.json)
                                    outJson({{QStringLiteral("address"), a},
                                             {QStringLiteral("answers"), true}});
                                else
                                    out(Cli::tr("a module answers at bus address %1").arg(a));
                                finish(0);
                            });
            return;
        }
        m_link.exchange(readAddressFrame(), commandPolicy(), [this](const Exchange &x) {
            if (x.result != Exchange::Reply)
                return fail(x);
            const int a = reportedAddress(x.reply);
            if (m_inv.json)
                outJson({{QStringLiteral("address"), a}});
            else
                out(Cli::tr("bus address %1").arg(a));
            finish(0);
        });
        return;
    case Verb::Read:
        m_link.exchange(readRegistersFrame(address, Reg::LineSpeed, Reg::Count), commandPolicy(),
                        [this](const Exchange &x) {
                            if (x.result != Exchange::Reply)
                                return fail(x);
                            ModuleState s;
                            decodeState(x.reply, &s);
                            if (m_inv.json)
                                outJson(stateJson(s, m_link.baud()));
                            else
                                out(stateText(s, m_link.baud()));
                            finish(0);
                        });
        return;
    case Verb::Motor:
        // The module acknowledges a write to a motor whose alarm stands, and ignores it.
        withAlarm(address, m_inv.motor, [this, address](bool alarm) {
            const int n = motorNumber(m_inv.motor);
            if (alarm) {
                failWith(6, Cli::tr("not applied: the over-current alarm of motor %1 stands, and "
                                    "the module ignores commands to it until it is cleared with "
                                    "'quarvexctl alarm clear %1'; nothing was sent")
                                .arg(n));
                return;
            }
            command(buildCommand(m_inv.command, address, m_inv.value), Cli::tr("done"));
        });
        return;
    case Verb::AlarmClear:
        withAlarm(address, m_inv.motor, [this, address](bool alarm) {
            const int n = motorNumber(m_inv.motor);
            if (!alarm) {
                if (m_inv.json)
                    outJson({{QStringLiteral("motor"), n}, {QStringLiteral("alarm_stood"), false}});
                else
                    out(Cli::tr("no alarm stood on motor %1; nothing changed").arg(n));
                finish(0);
                return;
            }
            command(clearAlarmFrame(address, m_inv.motor),
                    Cli::tr("alarm of motor %1 cleared; its parameters are back at their "
                            "power-up values")
                        .arg(n),
                    {{QStringLiteral("motor"), n}, {QStringLiteral("alarm_stood"), true}});
        });
        return;
    case Verb::SetSpeed:
        command(buildCommand(Command::SetLineSpeed, address, m_inv.value),
                Cli::tr("line speed %1 bit/s stored; it takes effect when the module restarts")
                    .arg(m_inv.value));
        return;
    case Verb::SetAddress:
        checkAddress([this] { setAddress(); });
        return;
    case Verb::Send:
        command(m_inv.frame, QString());
        return;
    case Verb::Watch:
        m_address = address;
        if (m_inv.csv)
            out(csvHeader());
        poll();
        return;
    default:
        return;
    }
}

// The write goes to bus address 0: every module on the line would take it. So the
// module is asked first, unless --force says the line is known to hold one.
void Runner::checkAddress(const std::function<void()> &next)
{
    if (m_inv.force && !m_inv.address) {
        next();
        return;
    }
    m_link.exchange(readAddressFrame(), commandPolicy(), [this, next](const Exchange &x) {
        if (x.result == Exchange::Damaged) {
            failWith(3, damageText(x.damage) + QLatin1Char('\n') +
                            Cli::tr("the address was not changed (--force skips this check)"));
        } else if (x.result != Exchange::Reply) {
            fail(x);
        } else if (m_inv.address && reportedAddress(x.reply) != *m_inv.address) {
            failWith(6, Cli::tr("the module answering is at bus address %1, not %2; the address "
                                "was not changed")
                            .arg(reportedAddress(x.reply))
                            .arg(*m_inv.address));
        } else {
            next();
        }
    });
}

void Runner::setAddress()
{
    const QByteArray frame = buildCommand(Command::WriteAddress, quint8(m_inv.value), 0);
    m_link.exchange(frame, commandPolicy(), [this](const Exchange &w) {
        if (w.result != Exchange::Reply)
            return fail(w);
        // What the module answers now, not what it was told.
        m_link.exchange(readAddressFrame(), commandPolicy(), [this, w](const Exchange &x) {
            if (x.result != Exchange::Reply)
                return fail(x);
            const int now = reportedAddress(x.reply);
            if (now != int(m_inv.value)) {
                failWith(
                    6, Cli::tr("the module acknowledged, but answers at bus address %1").arg(now));
                return;
            }
            if (m_inv.json)
                outJson({{QStringLiteral("request"), hexText(w.request)},
                         {QStringLiteral("reply"), hexText(w.reply)},
                         {QStringLiteral("address"), now}});
            else
                out(Cli::tr("bus address now %1").arg(now));
            finish(0);
        });
    });
}

void Runner::command(const QByteArray &frame, const QString &doneText, const QJsonObject &extra)
{
    m_link.exchange(frame, commandPolicy(), [this, doneText, extra](const Exchange &x) {
        if (x.result == Exchange::Broadcast) {
            if (m_inv.json)
                outJson({{QStringLiteral("request"), hexText(x.request)},
                         {QStringLiteral("reply"), QJsonValue()}});
            else
                out(Cli::tr("broadcast: no reply expected"));
            finish(0);
            return;
        }
        if (x.result != Exchange::Reply)
            return fail(x);
        if (m_inv.json) {
            QJsonObject o = extra;
            o.insert(QStringLiteral("request"), hexText(x.request));
            o.insert(QStringLiteral("reply"), hexText(x.reply));
            outJson(o);
        } else {
            out(doneText.isEmpty() ? hexText(x.reply) : doneText);
        }
        finish(0);
    });
}

void Runner::listPorts()
{
    QJsonArray list;
    if (!m_inv.json)
        out(Cli::tr("PORT  DESCRIPTION  MAKER  SERIAL  BY-ID"));
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        const QString link = byIdLink(info.systemLocation());
        if (m_inv.json) {
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
            out(fields.join(QLatin1String("  ")));
        }
    }
    if (m_inv.json)
        outJson({{QStringLiteral("ports"), list}});
    finish(0);
}

} // namespace quarvex::cli
