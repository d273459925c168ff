#include "portwatch.h"

PortWatch::PortWatch(const QString &deviceDir, QObject *parent) : QObject(parent)
{
    m_watching = !deviceDir.isEmpty() && m_watcher.addPath(deviceDir);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] { m_due = true; });
}

bool PortWatch::takeDue()
{
    const bool due = m_due || !m_watching;
    m_due = false;
    return due;
}
