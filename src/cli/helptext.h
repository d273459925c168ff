#pragma once

#include <QString>

// quarvexctl's help, laid out for a terminal of 80 columns.
namespace quarvex::cli {

struct CommandSpec;

QString helpText();
QString commandHelpText(const CommandSpec &command);

// Text in lines of at most 80 columns, each after `indent` blanks, the first going on from
// `firstColumn`; breaks at blanks, or between two wide (CJK) characters.
QString wrapped(const QString &text, int indent, int firstColumn);

} // namespace quarvex::cli
