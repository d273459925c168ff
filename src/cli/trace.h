#pragma once

#include <QByteArray>
#include <QLoggingCategory>
#include <QString>

namespace quarvex::cli {

// Every frame and what became of it: quarvexctl -v turns it on.
Q_DECLARE_LOGGING_CATEGORY(lcTrace)

// One line of the trace: the time, what happened, the bytes in hex, a note.
void trace(const QString &what, const QByteArray &bytes = {}, const QString &note = {});

} // namespace quarvex::cli
