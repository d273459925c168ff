#pragma once

#include "link/transport.h"

#include <QString>

namespace quarvex::cli {

// Why a port would not open, or failed while open, as quarvexctl tells it.
QString portFailureText(const QString &name, const TransportError &error);

} // namespace quarvex::cli
