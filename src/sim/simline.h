#pragma once

#include "simmodule.h"

#include <QList>
#include <QString>
#include <QVector>

namespace quarvex::sim {

// Replies that several modules send at once, as the pair carries them: the line idles
// high and any driver sending a 0 pulls it low, so overlapping bytes AND together. Reply i
// begins startBytes[i] byte times after the first (0 where not given). The result never
// passes the CRC. One reply comes through unchanged, none gives nothing.
QByteArray collide(const QList<QByteArray> &replies, const QList<int> &startBytes = {});

// Modules sharing one pair. A module hears a frame only when the client's port runs at
// its active speed; every module a frame concerns acts on it and answers at once.
class SimLine
{
public:
    SimLine() : m_modules(1), m_present(1, true) {}

    int count() const { return int(m_modules.size()); }
    SimModule &module(int i) { return m_modules[i]; }
    const SimModule &module(int i) const { return m_modules.at(i); }

    // "3,7,12@19200", "1-50", "1-3,5,5@19200": factory-fresh modules at these addresses
    // (ranges and repeats allowed), each at its own line speed or at `speed`. False, the
    // line unchanged, for a list it cannot read.
    bool setModules(const QString &list, quint32 speed);
    // How many byte times after the one before each further reply of a collision starts:
    // 0-3, or -1 for a random 0-3 each time, as two real modules' turnarounds differ.
    void setStagger(int bytes) { m_stagger = bytes; }
    int stagger() const { return m_stagger; }
    // A module taken off the line hears and answers nothing until put back.
    void setPresent(int i, bool present) { m_present[i] = present; }
    bool isPresent(int i) const { return m_present.at(i); }
    // "3@9600,7@9600,12@19200": addresses at active speeds.
    QString describe() const;

    bool hears(quint32 baud) const;
    // What the line carries back after one frame at `baud`.
    Outcome hear(const QByteArray &frame, quint32 baud);

private:
    QVector<SimModule> m_modules;
    QVector<bool> m_present;
    int m_stagger = 0;
};

} // namespace quarvex::sim
