#pragma once

#include "link/replydecoder.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

// What the module's registers say, in words and as JSON.
namespace quarvex::cli {

QJsonObject stateJson(const ModuleState &state);
QString stateText(const ModuleState &state);
// One line for watch.
QString stateLine(const ModuleState &state, double rttMs);

// "02 (register outside the map)"
QString exceptionText(quint8 code);

// JSON on one line.
QByteArray compact(const QJsonObject &object);

} // namespace quarvex::cli
