#include "trace.h"

#include "link/replydecoder.h"

#include <QTime>

namespace quarvex::cli {

Q_LOGGING_CATEGORY(lcTrace, "quarvex.trace", QtWarningMsg)

void trace(const QString &what, const QByteArray &bytes, const QString &note)
{
    if (!lcTrace().isDebugEnabled())
        return;
    QString line =
        QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz")) + QStringLiteral("  ") + what;
    if (!bytes.isEmpty())
        line += QStringLiteral("  ") + hexText(bytes);
    if (!note.isEmpty())
        line += QStringLiteral("  ") + note;
    qCDebug(lcTrace).noquote() << line;
}

} // namespace quarvex::cli
