#include "report.h"

#include "device/registers.h"
#include "invocation.h"

#include <QJsonDocument>

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

} // namespace

QJsonObject stateJson(const ModuleState &s)
{
    QJsonObject o{{QStringLiteral("address"), s.address},
                  {QStringLiteral("line_speed"), qint64(s.lineSpeed)}};
    for (int i = 0; i < 2; ++i) {
        const MotorState &m = s.motors[i];
        o.insert(QStringLiteral("motor%1").arg(i + 1),
                 QJsonObject{{QStringLiteral("pwm_frequency"), qint64(m.frequency)},
                             {QStringLiteral("direction"), directionJson(m.direction)},
                             {QStringLiteral("speed"), m.speed},
                             {QStringLiteral("brake"), m.brake != 0},
                             {QStringLiteral("alarm"), m.alarm != 0}});
    }
    return o;
}

QString stateText(const ModuleState &s)
{
    return Cli::tr("bus address  %1\n"
                   "line speed   %2 bit/s\n"
                   "motor 1      %3\n"
                   "motor 2      %4\n")
        .arg(s.address)
        .arg(s.lineSpeed)
        .arg(motorText(s.motors[0]), motorText(s.motors[1]));
}

QString stateLine(const ModuleState &s, double rttMs)
{
    return Cli::tr("%1 bit/s | motor 1 %2 | motor 2 %3 | %4 ms")
        .arg(s.lineSpeed)
        .arg(motorText(s.motors[0]), motorText(s.motors[1]))
        .arg(rttMs, 0, 'f', 1);
}

QString exceptionText(quint8 code)
{
    // Exception codes 01-04, in order.
    static const char *const meanings[] = {
        QT_TRANSLATE_NOOP("Cli", "function not supported"),
        QT_TRANSLATE_NOOP("Cli", "register outside the map"),
        QT_TRANSLATE_NOOP("Cli", "value out of range"),
        QT_TRANSLATE_NOOP("Cli", "device failure"),
    };
    const bool known = code >= 1 && code <= int(std::size(meanings));
    const QString meaning = known ? Cli::tr(meanings[code - 1]) : Cli::tr("unknown");
    return QStringLiteral("%1 (%2)").arg(code, 2, 16, QLatin1Char('0')).arg(meaning);
}

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace quarvex::cli
