// The real quarvex-sim binary on its pty, talked to the way a serial port client does.
#include <QElapsedTimer>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

speed_t speedCode(int baud)
{
    return baud == 19200 ? B19200 : baud == 115200 ? B115200 : B9600;
}

// A client port on the sim's device: raw 8N1 at a standard speed.
class Port
{
public:
    Port(const QString &path, int baud)
    {
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios t{};
        if (m_fd < 0 || tcgetattr(m_fd, &t) != 0)
            return;
        cfmakeraw(&t);
        cfsetispeed(&t, speedCode(baud));
        cfsetospeed(&t, speedCode(baud));
        if (tcsetattr(m_fd, TCSANOW, &t) != 0)
            return;
        tcflush(m_fd, TCIOFLUSH);
        m_ok = true;
    }
    ~Port()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Port(const Port &) = delete;
    Port &operator=(const Port &) = delete;

    bool ok() const { return m_ok; }

    bool send(const QByteArray &bytes)
    {
        return ::write(m_fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }

    // Bytes until `want` have come and then settleMs of quiet, or until timeoutMs.
    QByteArray receive(int want, int timeoutMs = 500, int settleMs = 60)
    {
        QByteArray got;
        QElapsedTimer t;
        t.start();
        int quietMs = timeoutMs;
        while (t.elapsed() < quietMs) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 1) <= 0)
                continue;
            if (p.revents & (POLLHUP | POLLERR)) {
                m_hungUp = true;
                break;
            }
            char buf[256];
            const ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n > 0)
                got.append(buf, int(n));
            if (want > 0 && got.size() >= want)
                quietMs = std::min<int>(timeoutMs, int(t.elapsed()) + settleMs);
        }
        return got;
    }

    bool hungUp() const { return m_hungUp; }

private:
    int m_fd = -1;
    bool m_ok = false;
    bool m_hungUp = false;
};

class Sim
{
public:
    explicit Sim(const QStringList &args)
    {
        m_process.start(QStringLiteral(QUARVEX_SIM_PATH), args);
        m_path = line();
    }
    ~Sim()
    {
        m_process.write("quit\n");
        if (!m_process.waitForFinished(2000))
            m_process.kill();
        m_process.waitForFinished(2000);
    }
    Sim(const Sim &) = delete;
    Sim &operator=(const Sim &) = delete;

    QString path() const { return m_path; }

    void command(const char *text)
    {
        m_process.write(QByteArray(text) + '\n');
        m_process.waitForBytesWritten(1000);
    }

    // Next line on stdout; empty after two seconds without one.
    QString line()
    {
        while (!m_process.canReadLine())
            if (!m_process.waitForReadyRead(2000))
                return {};
        return QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }

    QMap<QString, QString> status()
    {
        command("status");
        const QStringList words = line().split(QLatin1Char(' '));
        QMap<QString, QString> map;
        for (const QString &w : words)
            map.insert(w.section(QLatin1Char('='), 0, 0), w.section(QLatin1Char('='), 1));
        return map;
    }

private:
    QProcess m_process;
    QString m_path;
};

} // namespace

class TestSimProcess : public QObject
{
    Q_OBJECT

private slots:
    void replies_data();
    void replies();
    void repliesTakeWireTime();
    void lineSpeedChangesOnRestart();
    void unplugAndPlug();
    void unplugOnRequest();
};

void TestSimProcess::replies_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("baud");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");

    const QByteArray readAddr = hex("00 20 00 68");
    const QByteArray report = hex("00 20 01 A9 C0");
    QTest::newRow("factory") << QStringList{} << 9600 << readAddr << report;
    QTest::newRow("port too fast") << QStringList{} << 19200 << readAddr << QByteArray();
    QTest::newRow("module at 19200")
        << QStringList{QStringLiteral("--baud"), QStringLiteral("19200")} << 19200 << readAddr
        << report;
    QTest::newRow("module at 19200, port at 9600")
        << QStringList{QStringLiteral("--baud"), QStringLiteral("19200")} << 9600 << readAddr
        << QByteArray();
    QTest::newRow("address 7") << QStringList{QStringLiteral("--address"), QStringLiteral("7")}
                               << 9600 << hex("07 03 00 04 00 01 C5 AD")
                               << hex("07 03 02 00 00 30 44");
    QTest::newRow("bad crc") << QStringList{QStringLiteral("--bad-crc")} << 9600 << readAddr
                             << hex("00 20 01 A9 3F");
    QTest::newRow("stray") << QStringList{QStringLiteral("--stray")} << 9600 << readAddr
                           << hex("FF 00 20 01 A9 C0");
    QTest::newRow("double") << QStringList{QStringLiteral("--double")} << 9600 << readAddr
                            << report + report;
    QTest::newRow("silent") << QStringList{QStringLiteral("--silent")} << 9600 << readAddr
                            << QByteArray();
    QTest::newRow("exception") << QStringList{} << 9600 << hex("01 06 00 05 00 65 59 E0")
                               << hex("01 86 03 02 61");
}

void TestSimProcess::replies()
{
    QFETCH(QStringList, args);
    QFETCH(int, baud);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);

    Sim sim(args);
    QVERIFY(sim.path().startsWith(QLatin1Char('/')));
    Port port(sim.path(), baud);
    QVERIFY(port.ok());
    QVERIFY(port.send(request));
    QCOMPARE(port.receive(int(reply.size()), 300).toHex(' '), reply.toHex(' '));
}

void TestSimProcess::repliesTakeWireTime()
{
    // 8 request bytes and 29 reply bytes at 10 bits each: at least 38.5 ms at 9600.
    Sim sim({});
    Port port(sim.path(), 9600);
    QVERIFY(port.ok());
    QElapsedTimer t;
    t.start();
    QVERIFY(port.send(hex("01 03 00 00 00 0C 45 CF")));
    const QByteArray got = port.receive(29, 1000, 0);
    const qint64 took = t.elapsed();
    QCOMPARE(got.size(), 29);
    QVERIFY2(took >= 38 && took < 140, QByteArray::number(took).constData());
}

void TestSimProcess::lineSpeedChangesOnRestart()
{
    Sim sim({});
    {
        Port port(sim.path(), 9600);
        QVERIFY(port.ok());
        const QByteArray set = hex("01 10 00 00 00 02 04 00 00 4B 00 C5 5F");
        QVERIFY(port.send(set));
        QCOMPARE(port.receive(8), hex("01 10 00 00 00 02 41 C8"));
        QVERIFY(port.send(hex("00 20 00 68")));
        QCOMPARE(port.receive(5), hex("00 20 01 A9 C0"));
    }
    QMap<QString, QString> s = sim.status();
    QCOMPARE(s.value(QStringLiteral("speed")), QStringLiteral("9600"));
    QCOMPARE(s.value(QStringLiteral("stored-speed")), QStringLiteral("19200"));

    sim.command("restart");
    s = sim.status();
    QCOMPARE(s.value(QStringLiteral("speed")), QStringLiteral("19200"));
    QVERIFY(s.value(QStringLiteral("regs")).startsWith(QLatin1String("0000,4b00,")));

    Port slow(sim.path(), 9600);
    QVERIFY(slow.send(hex("00 20 00 68")));
    QVERIFY(slow.receive(0, 200).isEmpty());
    Port fast(sim.path(), 19200);
    QVERIFY(fast.send(hex("00 20 00 68")));
    QCOMPARE(fast.receive(5), hex("00 20 01 A9 C0"));
}

void TestSimProcess::unplugAndPlug()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString link = dir.filePath(QStringLiteral("quarvex0"));
    Sim sim({QStringLiteral("--link"), link});
    QCOMPARE(QFileInfo(link).symLinkTarget(), sim.path());

    {
        Port port(link, 9600);
        QVERIFY(port.ok());
        sim.command("unplug");
        port.receive(0, 500);
        QVERIFY(port.hungUp());
    }
    QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
    QCOMPARE(sim.status().value(QStringLiteral("path")), QStringLiteral("-"));

    sim.command("plug");
    const QString fresh = sim.line();
    QVERIFY(fresh.startsWith(QLatin1Char('/')));
    QCOMPARE(QFileInfo(link).symLinkTarget(), fresh);
    Port port(link, 9600);
    QVERIFY(port.send(hex("00 20 00 68")));
    QCOMPARE(port.receive(5), hex("00 20 01 A9 C0"));
}

void TestSimProcess::unplugOnRequest()
{
    Sim sim({QStringLiteral("--unplug-after"), QStringLiteral("2")});
    Port port(sim.path(), 9600);
    QVERIFY(port.send(hex("00 20 00 68")));
    QCOMPARE(port.receive(5), hex("00 20 01 A9 C0"));
    QVERIFY(port.send(hex("00 20 00 68")));
    QVERIFY(port.receive(0, 500).isEmpty());
    QVERIFY(port.hungUp());
}

QTEST_GUILESS_MAIN(TestSimProcess)
#include "tst_simprocess.moc"
