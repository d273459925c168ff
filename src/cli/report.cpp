#include "report.h"

#include "console.h"

#include "device/registers.h"
#include "invocation.h"

#include <QJsonDocument>
#include <QStringList>

#include <cstdio>
#include <iterator>

namespace quarvex::cli {

namespace {

QJsonValue directionJson(quint16 d)
{
    switch (d) {
    case quint16(Direction::Forward):
        return QStringLiteral("forward");
    case quint16(Direction::Reverse):
        return QStringLiteral("reverse");
    default:
        return int(d);
    }
}

QString directionText(quint16 d)
{
    switch (d) {
    case quint16(Direction::Forward):
        return Cli::tr("forward");
    case quint16(Direction::Reverse):
        return Cli::tr("reverse");
    default:
        return Cli::tr("direction %1").arg(d);
    }
}

QString motorText(const MotorState &m)
{
    return Cli::tr("%1, speed %2 %, PWM %3 Hz, brake %4, alarm %5")
        .arg(directionText(m.direction))
        .arg(m.speed)
        .arg(m.frequency)
        .arg(m.brake ? Cli::tr("on") : Cli::tr("off"))
        .arg(m.alarm ? Cli::tr("OVER-CURRENT") : Cli::tr("off"));
}

QJsonObject motorJson(const MotorState &m)
{
    return {{QStringLiteral("pwm_frequency"), qint64(m.frequency)},
            {QStringLiteral("direction"), directionJson(m.direction)},
            {QStringLiteral("speed"), m.speed},
            {QStringLiteral("brake"), m.brake != 0},
            {QStringLiteral("alarm"), m.alarm != 0}};
}

QJsonValue rounded(double ms)
{
    return qRound(ms * 10) / 10.0;
}

QString resultName(const PollRecord &r)
{
    if (r.answered)
        return QStringLiteral("reply");
    if (!r.exception.isEmpty())
        return QStringLiteral("exception");
    if (r.late)
        return QStringLiteral("late");
    return r.damage == Damage::None ? QStringLiteral("no_reply") : damageName(r.damage);
}

} // namespace

QString isoTime(const QDateTime &time)
{
    QDateTime t = time;
    t.setOffsetFromUtc(time.offsetFromUtc());
    return t.toString(Qt::ISODateWithMs);
}

QJsonObject stateJson(const ModuleState &s, quint32 linkSpeed)
{
    return {{QStringLiteral("address"), s.address},
            {QStringLiteral("stored_line_speed"), qint64(s.lineSpeed)},
            {QStringLiteral("link_line_speed"),
             linkSpeed ? QJsonValue(qint64(linkSpeed)) : QJsonValue()},
            {QStringLiteral("motor1"), motorJson(s.motors[0])},
            {QStringLiteral("motor2"), motorJson(s.motors[1])}};
}

QString stateText(const ModuleState &s, quint32 linkSpeed)
{
    const QString speed =
        !linkSpeed ? Cli::tr("%1 bit/s stored (the link runs at the server's speed, not known "
                             "here)")
                         .arg(s.lineSpeed)
        : s.lineSpeed == linkSpeed
            ? Cli::tr("%1 bit/s").arg(s.lineSpeed)
            : Cli::tr("%1 bit/s stored, takes effect after a restart (the link runs at %2)")
                  .arg(s.lineSpeed)
                  .arg(linkSpeed);
    return Cli::tr("bus address  %1\n"
                   "line speed   %2\n"
                   "motor 1      %3\n"
                   "motor 2      %4\n")
        .arg(s.address)
        .arg(speed, motorText(s.motors[0]), motorText(s.motors[1]));
}

QString damageText(Damage damage)
{
    switch (damage) {
    case Damage::None:
        break;
    case Damage::Noise:
        return Cli::tr("bytes that fit no reply: noise, a wrong speed, or two modules at one "
                       "address");
    case Damage::CutOff:
        return Cli::tr("a reply cut off before its end: bytes lost on the line, or a wrong "
                       "speed");
    case Damage::BadCrc:
        return Cli::tr("a reply with a bad CRC: noise, a wrong speed, or two modules at once");
    case Damage::Collision:
        return Cli::tr("two replies on top of each other: more than one module answers on this "
                       "line; use scan");
    }
    return Cli::tr("no reply");
}

QString damageName(Damage damage)
{
    switch (damage) {
    case Damage::None:
        break;
    case Damage::Noise:
        return QStringLiteral("noise");
    case Damage::CutOff:
        return QStringLiteral("cut_off");
    case Damage::BadCrc:
        return QStringLiteral("bad_crc");
    case Damage::Collision:
        return QStringLiteral("collision");
    }
    return QStringLiteral("none");
}

QString exceptionText(quint8 code)
{
    struct Meaning
    {
        quint8 code;
        const char *text;
    };
    static const Meaning meanings[] = {
        {0x01, QT_TRANSLATE_NOOP("Cli", "function not supported")},
        {0x02, QT_TRANSLATE_NOOP("Cli", "register outside the map")},
        {0x03, QT_TRANSLATE_NOOP("Cli", "value out of range")},
        {0x04, QT_TRANSLATE_NOOP("Cli", "device failure")},
        {ExceptionCode::GatewayPathUnavailable,
         QT_TRANSLATE_NOOP("Cli", "the gateway has no path to that unit")},
        {ExceptionCode::GatewayTargetFailed,
         QT_TRANSLATE_NOOP("Cli", "the gateway got no answer from that unit")},
    };
    QString meaning = Cli::tr("unknown");
    for (const Meaning &m : meanings)
        if (m.code == code)
            meaning = Cli::tr(m.text);
    return QStringLiteral("%1 (%2)").arg(code, 2, 16, QLatin1Char('0')).arg(meaning);
}

QJsonObject errorJson(int status, const QString &message)
{
    return {{QStringLiteral("error"), QJsonObject{{QStringLiteral("status"), status},
                                                  {QStringLiteral("message"), message}}}};
}

QString csvHeader()
{
    return QStringLiteral("time,result,rtt_ms,stored_line_speed,"
                          "motor1_direction,motor1_speed,motor1_pwm_frequency,motor1_brake,"
                          "motor1_alarm,motor2_direction,motor2_speed,motor2_pwm_frequency,"
                          "motor2_brake,motor2_alarm");
}

QString csvRecord(const PollRecord &r)
{
    QStringList cells{isoTime(r.time), resultName(r)};
    if (r.answered) {
        cells << QString::number(r.rttMs, 'f', 1) << QString::number(r.state.lineSpeed);
        for (const MotorState &m : r.state.motors)
            cells << directionJson(m.direction).toVariant().toString() << QString::number(m.speed)
                  << QString::number(m.frequency) << QString::number(m.brake)
                  << QString::number(m.alarm);
    }
    while (cells.size() < 14)
        cells << QString();
    return cells.join(QLatin1Char(','));
}

QJsonObject jsonRecord(const PollRecord &r)
{
    QJsonObject o;
    if (r.answered) {
        o = stateJson(r.state, r.state.lineSpeed);
        o.remove(QStringLiteral("link_line_speed"));
        o.insert(QStringLiteral("rtt_ms"), rounded(r.rttMs));
    }
    if (!r.exception.isEmpty())
        o.insert(QStringLiteral("exception"), r.exception);
    o.insert(QStringLiteral("time"), isoTime(r.time));
    o.insert(QStringLiteral("result"), resultName(r));
    return o;
}

QString textRecord(const PollRecord &r)
{
    QString what;
    if (r.answered)
        what = Cli::tr("%1 bit/s | motor 1 %2 | motor 2 %3 | %4 ms")
                   .arg(r.state.lineSpeed)
                   .arg(motorText(r.state.motors[0]), motorText(r.state.motors[1]))
                   .arg(r.rttMs, 0, 'f', 1);
    else if (!r.exception.isEmpty())
        what = Cli::tr("exception %1").arg(r.exception);
    else if (r.late)
        what = Cli::tr("a late reply, maybe to an earlier poll: not taken for this one (a longer "
                       "-t gives the module time)");
    else
        what = damageText(r.damage);
    return isoTime(r.time) + QStringLiteral("  ") + what;
}

QJsonObject summaryJson(const Summary &s)
{
    const auto rtt = [&s](double v) {
        return s.answered > 0 ? rounded(v) : QJsonValue();
    };
    return {{QStringLiteral("summary"),
             QJsonObject{
                 {QStringLiteral("sent"), s.sent},
                 {QStringLiteral("answered"), s.answered},
                 {QStringLiteral("timeouts"), s.timeouts},
                 {QStringLiteral("noise"), s.noise},
                 {QStringLiteral("cut_off"), s.cutOff},
                 {QStringLiteral("crc_errors"), s.crcErrors},
                 {QStringLiteral("exceptions"), s.exceptions},
                 {QStringLiteral("late"), s.late},
                 {QStringLiteral("rtt_ms"), QJsonObject{{QStringLiteral("min"), rtt(s.rttMin)},
                                                        {QStringLiteral("avg"), rtt(s.rttAvg)},
                                                        {QStringLiteral("max"), rtt(s.rttMax)}}}}}};
}

QString summaryText(const Summary &s)
{
    QString counts = Cli::tr("sent %1, answered %2, no reply %3, noise %4, cut off %5, "
                             "bad CRC %6, exceptions %7")
                         .arg(s.sent)
                         .arg(s.answered)
                         .arg(s.timeouts)
                         .arg(s.noise)
                         .arg(s.cutOff)
                         .arg(s.crcErrors)
                         .arg(s.exceptions);
    if (s.late > 0)
        counts += Cli::tr(", late %1").arg(s.late);
    if (s.answered == 0)
        return counts + Cli::tr("; no replies, so no round trip");
    return counts + Cli::tr("; round trip min %1 / avg %2 / max %3 ms")
                        .arg(s.rttMin, 0, 'f', 1)
                        .arg(s.rttAvg, 0, 'f', 1)
                        .arg(s.rttMax, 0, 'f', 1);
}

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

void out(const QString &text)
{
    std::fputs(consoleBytes(text).constData(), stdout);
    if (!text.endsWith(QLatin1Char('\n')))
        std::fputc('\n', stdout);
}

void outJson(const QJsonObject &object)
{
    std::fputs((compact(object) + '\n').constData(), stdout);
}

void complain(const QString &text)
{
    std::fprintf(stderr, "quarvexctl: %s\n", consoleBytes(text).constData());
}

} // namespace quarvex::cli
