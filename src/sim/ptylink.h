#pragma once

#include "simlink.h"

class QSocketNotifier;

namespace quarvex::sim {

// The module's end of the line: the master side of a pseudo-terminal whose slave the
// client opens as its serial port, optionally reachable through a fixed symlink.
class PtyLink : public SimLink
{
    Q_OBJECT

public:
    explicit PtyLink(QObject *parent = nullptr);
    ~PtyLink() override;

    // Empty for no symlink.
    void setLinkPath(const QString &path) { m_linkPath = path; }

    bool open(quint32 baud, QString *error) override;
    // Like pulling the adapter: the slave's readers get a hang-up, the symlink goes.
    void close() override;
    bool isOpen() const override { return m_master >= 0; }
    QString path() const override { return m_path; }
    PortSettings portSettings() const override;

    // Bytes taken by the pty; fewer than given when its buffer is full.
    int write(const QByteArray &bytes) override;
    // What the client has written and received() has not handed over yet; never waits.
    QByteArray readAll();

private:
    void onReadable();
    bool placeLink(QString *error);
    void removeLink();

    int m_master = -1;
    // Held so the master never sees a hang-up when the client closes the port.
    int m_slave = -1;
    QSocketNotifier *m_notifier = nullptr;
    QString m_path;
    QString m_linkPath;
    bool m_linkPlaced = false;
};

} // namespace quarvex::sim
