#pragma once

#include "link/transport.h"

#include <QString>

namespace quarvex {

// What a port failure is, in the words of each program: quarvexctl's sentence naming the
// port (English, in its catalogue's "Cli" context), and the window's reason and hint for
// its log line (Chinese, in the "MainWindow" context like the rest of its log).
struct FailureWords
{
    QString sentence;
    QString reason;
    QString hint;
};

FailureWords failureWords(const QString &portName, const TransportError &error);

} // namespace quarvex
