#include "portwatch.h"

PortWatch::PortWatch(const QString &deviceDir, QObject *parent) : QObject(parent)
{
    m_watching = !deviceDir.isEmpty() && m_watcher.addPath(deviceDir);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this,
            [this] { m_dueTicks = kTicksAfterChange; });
}

bool PortWatch::takeDue()
{
    if (!m_watching)
        return true;
    if (m_dueTicks == 0)
        return false;
    --m_dueTicks;
    return true;
}
