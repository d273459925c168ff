#pragma once

#include "link/pairing.h"
#include "link/replydecoder.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QString>

// What quarvexctl tells: the module's registers, damage, watch's records, in words, as
// JSON and as CSV.
namespace quarvex::cli {

// The stored line speed beside the one the link runs at (0: the far server's, not known).
QJsonObject stateJson(const ModuleState &state, quint32 linkSpeed);
QString stateText(const ModuleState &state, quint32 linkSpeed);

// What damaged bytes were, as far as they tell: in words, and a name for JSON.
QString damageText(Damage damage);
QString damageName(Damage damage);

// "02 (register outside the map)"
QString exceptionText(quint8 code);

// ISO 8601 with milliseconds and the offset from UTC.
QString isoTime(const QDateTime &time);

// {"error": {"status": N, "message": "..."}}
QJsonObject errorJson(int status, const QString &message);

// One poll of watch.
struct PollRecord
{
    QDateTime time;
    bool answered = false;
    ModuleState state;
    double rttMs = 0;
    Damage damage = Damage::None; // not answered: what came instead
    QString exception;            // the module refused
    bool late = false;            // a reply that may answer an earlier poll
};

QString csvHeader();
QString csvRecord(const PollRecord &record);
QJsonObject jsonRecord(const PollRecord &record);
QString textRecord(const PollRecord &record);

struct Summary
{
    int sent, answered, timeouts, noise, cutOff, crcErrors, exceptions;
    double rttMin, rttAvg, rttMax;
    int late = 0;
};

QJsonObject summaryJson(const Summary &summary);
QString summaryText(const Summary &summary);

// JSON on one line.
QByteArray compact(const QJsonObject &object);

// A result line on stdout; JSON on one line there; a message on stderr.
void out(const QString &text);
void outJson(const QJsonObject &object);
void complain(const QString &text);

} // namespace quarvex::cli
