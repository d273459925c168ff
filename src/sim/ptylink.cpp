#include "ptylink.h"

#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quarvex::sim {

PtyLink::PtyLink(QObject *parent) : SimLink(parent) {}

PtyLink::~PtyLink()
{
    close();
}

bool PtyLink::open(quint32 baud, QString *error)
{
    close();
    const auto fail = [&](const char *what) {
        *error = QStringLiteral("%1: %2").arg(QLatin1String(what),
                                              QString::fromLocal8Bit(std::strerror(errno)));
        close();
        return false;
    };

    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0)
        return fail("posix_openpt");
    if (grantpt(m_master) != 0)
        return fail("grantpt");
    if (unlockpt(m_master) != 0)
        return fail("unlockpt");
    const char *name = ptsname(m_master);
    if (!name)
        return fail("ptsname");
    m_path = QString::fromLocal8Bit(name);
    const int flags = fcntl(m_master, F_GETFL);
    if (flags < 0 || fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0 ||
        fcntl(m_master, F_SETFD, FD_CLOEXEC) != 0)
        return fail("fcntl");

    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0)
        return fail("open slave");
    if (!makeRaw(m_slave, baud))
        return fail("termios");
    if (!m_linkPath.isEmpty() && !placeLink(error)) {
        close();
        return false;
    }

    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &PtyLink::onReadable);
    return true;
}

void PtyLink::close()
{
    if (m_notifier) {
        // May run inside the notifier's own signal, when a request pulls the plug.
        m_notifier->setEnabled(false);
        m_notifier->deleteLater();
        m_notifier = nullptr;
    }
    removeLink();
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
    m_slave = -1;
    m_master = -1;
    m_path.clear();
}

PortSettings PtyLink::portSettings() const
{
    return m_master >= 0 ? readPortSettings(m_master) : PortSettings{};
}

int PtyLink::write(const QByteArray &bytes)
{
    if (m_master < 0)
        return 0;
    int done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += int(n);
    }
    return done;
}

QByteArray PtyLink::readAll()
{
    QByteArray out;
    char buf[4096];
    while (m_master >= 0) {
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n > 0)
            out.append(buf, int(n));
        else if (!(n < 0 && errno == EINTR))
            break;
    }
    return out;
}

void PtyLink::onReadable()
{
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n > 0) {
            emit received(QByteArray(buf, int(n)));
            // The handler may have pulled the plug.
            if (m_master < 0)
                return;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            return;
        // Cannot happen while we hold the slave; stop listening rather than spin.
        m_notifier->setEnabled(false);
        emit failed(n == 0 ? QStringLiteral("end of file on the pty")
                           : QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
}

bool PtyLink::placeLink(QString *error)
{
    const QByteArray link = QFile::encodeName(m_linkPath);
    struct stat st
    {
    };
    if (lstat(link.constData(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            *error = QStringLiteral("%1 exists and is not a symlink").arg(m_linkPath);
            return false;
        }
        // Only a link of ours whose pty is gone may be replaced: another user's link, or
        // one naming a live device or anything else, would hand the client that instead.
        const QString target = QFile::symLinkTarget(m_linkPath);
        const bool stale = st.st_uid == geteuid() &&
                           target.startsWith(QLatin1String("/dev/pts/")) && !QFile::exists(target);
        if (!stale) {
            *error = QStringLiteral("%1 is taken: it links to %2; remove it if it is yours")
                         .arg(m_linkPath, target);
            return false;
        }
    }
    // Build aside and rename over, so a client never finds the link missing or stale.
    const QByteArray tmp = link + ".new" + QByteArray::number(qint64(getpid()));
    ::unlink(tmp.constData());
    if (symlink(QFile::encodeName(m_path).constData(), tmp.constData()) != 0 ||
        rename(tmp.constData(), link.constData()) != 0) {
        *error = QStringLiteral("symlink %1: %2")
                     .arg(m_linkPath, QString::fromLocal8Bit(std::strerror(errno)));
        ::unlink(tmp.constData());
        return false;
    }
    m_linkPlaced = true;
    return true;
}

void PtyLink::removeLink()
{
    if (!m_linkPlaced)
        return;
    m_linkPlaced = false;
    // Leave it alone if someone else has pointed it elsewhere meanwhile.
    const QByteArray link = QFile::encodeName(m_linkPath);
    char target[4096];
    const ssize_t n = readlink(link.constData(), target, sizeof target - 1);
    if (n > 0 && QByteArray(target, int(n)) == QFile::encodeName(m_path))
        ::unlink(link.constData());
}

} // namespace quarvex::sim
