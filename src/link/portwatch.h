#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>

// Tells the one-second port scan whether the ports could have changed since it last
// listed them. Listing them walks the device tree; a watch on the device folder
// costs nothing while nothing is plugged or unplugged. Where the folder cannot be
// watched, every tick lists them.
class PortWatch : public QObject
{
    Q_OBJECT

public:
    explicit PortWatch(const QString &deviceDir, QObject *parent = nullptr);

    // True when the ports must be listed now; the answer is used up.
    bool takeDue();

    // A node can appear before the device manager has finished describing it, so a
    // change is followed by a few more listings.
    static constexpr int kTicksAfterChange = 3;
    bool isWatching() const { return m_watching; }

private:
    QFileSystemWatcher m_watcher;
    bool m_watching = false;
    int m_dueTicks = 1;
};
