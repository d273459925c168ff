// The decisions of find and scan, turn by turn: what the last exchange gave, and the step
// that follows. Steps are written as text: "9600:3/40" probes address 3 at 9600 bit/s with
// a 40 ms wait, "linger/1000" listens for late replies, "found 7@9600", "done".
#include "findstrategy.h"
#include "replies.h"
#include "scanstrategy.h"

#include <QtTest>

using namespace quarvex;
using namespace quarvex::cli;

namespace {

// S silent, R reply, E exception, G a gateway's exception for "no module there", D damaged,
// ~R and ~D the same when an earlier identical request may have drawn it, L<address>:<ms> a
// late reply, F the port failed. Found modules read "7@9600", "~71" when they answered once,
// late, 71 ms after the request.
// find: R<address> an address report, U<speed> a unit's registers 00-01.
ProbeOutcome outcome(const QString &e)
{
    Exchange x;
    const bool maybeLate = e.startsWith(QLatin1Char('~'));
    const QString w = maybeLate ? e.mid(1) : e;
    const QByteArray n = w.mid(1).toLatin1();
    x.couldBeLate = maybeLate;
    switch (w.at(0).toLatin1()) {
    case 'S':
        x.result = Exchange::Silent;
        break;
    case 'R':
        x.result = Exchange::Reply;
        x.reply = frame("0020" + QByteArray::number(n.toInt(), 16).rightJustified(2, '0'));
        break;
    case 'U':
        x.result = Exchange::Reply;
        x.reply = frame("010304" + QByteArray::number(n.toUInt(), 16).rightJustified(8, '0'));
        break;
    case 'E': // a module's refusal, or with G a gateway's "nothing there"
    case 'G':
        x.result = Exchange::Exception;
        x.exceptionCode = w.at(0) == QLatin1Char('G') ? 0x0b : 0x02;
        break;
    case 'D':
        x.result = Exchange::Damaged;
        x.damage = Damage::BadCrc;
        break;
    case 'L':
        x.result = Exchange::Late;
        x.lateRequest = QByteArray(1, char(n.split(':').value(0).toInt()));
        x.lateMs = n.split(':').value(1).toInt();
        break;
    case 'F':
        x.result = Exchange::PortFailed;
        break;
    }
    return ProbeOutcome::of(x);
}

QString text(const ScanStep &s)
{
    switch (s.kind) {
    case ScanStep::Probe:
        return QStringLiteral("%1:%2/%3").arg(s.baud).arg(s.address).arg(s.waitMs);
    case ScanStep::Linger:
        return QStringLiteral("linger/%1").arg(s.waitMs);
    case ScanStep::Done:
        return QStringLiteral("done");
    case ScanStep::PortFailed:
        return QStringLiteral("failed");
    }
    return QString();
}

QString text(const FindStep &s)
{
    switch (s.kind) {
    case FindStep::OpenPort:
        return QStringLiteral("open %1").arg(s.port);
    case FindStep::ProbeSpeed:
        return QStringLiteral("%1/%2").arg(s.baud).arg(s.waitMs);
    case FindStep::ProbeUnit:
        return QStringLiteral("unit %1/%2").arg(s.address).arg(s.waitMs);
    case FindStep::Linger:
        return QStringLiteral("linger/%1").arg(s.waitMs);
    case FindStep::Found:
        return s.storedSpeed
                   ? QStringLiteral("found %1 keeping %2").arg(s.address).arg(s.storedSpeed)
                   : QStringLiteral("found %1@%2").arg(s.address).arg(s.baud);
    case FindStep::NothingFound:
        return QStringLiteral("nothing");
    case FindStep::Failed:
        return QStringLiteral("failed");
    }
    return QString();
}

QString found(const QVector<ScanFound> &list)
{
    QStringList parts;
    for (const ScanFound &f : list)
        parts << QStringLiteral("%1@%2").arg(f.address).arg(f.lineSpeed) +
                     (f.lateMs ? QStringLiteral("~%1").arg(f.lateMs) : QString());
    return parts.join(QLatin1Char(' '));
}

struct ScanRow
{
    const char *name;
    const char *speeds;
    int from, to, probeMs;
    const char *events; // one per step after the first; X: the port refused the speed
    const char *steps;  // the first step, then one per event
    const char *modules, *damaged;
};

// At most a 1000 ms wait throughout.
// clang-format off
const ScanRow kScanRows[] = {
    {"silent, found, damaged, then listening at the end", "9600", 1, 3, 40, "S R D S",
     "9600:1/40 9600:2/40 9600:3/40 linger/1000 done", "2@9600", "3@9600"},
    {"an exception is a module too, a gateway's for no module is not", "9600", 1, 2, 40, "E G S",
     "9600:1/40 9600:2/40 linger/1000 done", "1@9600", ""},
    {"a whole late reply proves a module when asking again brings nothing", "9600", 6, 8, 40,
     "S S L7:71 S S S", "9600:6/40 9600:7/40 9600:8/40 9600:7/106 9600:8/106 linger/1000 done",
     "7@9600~71", ""},
    {"a reply that may be late is asked again with the longest wait", "9600,19200", 1, 1, 40,
     "S ~R R S", "9600:1/40 19200:1/40 19200:1/1000 linger/1000 done", "1@19200", ""},
    {"asked again and silent: the whole scan again, waiting longest", "9600,19200", 1, 2, 40,
     "R S ~R S", "9600:1/40 9600:2/40 19200:1/40 19200:1/1000 9600:1/1000", "", ""},
    {"a late reply: a longer wait, asked again from its address", "9600,19200", 3, 5, 40,
     "S R S L4:90", "9600:3/40 9600:4/40 9600:5/40 19200:3/40 9600:4/135", "", ""},
    {"a late reply at the longest wait is credited to its own address", "9600", 1, 3, 1000,
     "S L1:1200 R S", "9600:1/1000 9600:2/1000 9600:2/1000 9600:3/1000 done", "1@9600 2@9600", ""},
    {"a late reply while listening at the end: the last speed again", "9600,19200", 3, 5, 40,
     "S S S S S S L5:400",
     "9600:3/40 9600:4/40 9600:5/40 19200:3/40 19200:4/40 19200:5/40 linger/1000 19200:5/600", "",
     ""},
    {"a speed the port refuses is passed over", "9600,19200,1200", 1, 2, 40, "S S X S S",
     "9600:1/40 9600:2/40 19200:1/40 1200:1/40 1200:2/40 linger/1000", "", ""},
    {"the port failing ends the scan", "9600", 1, 5, 40, "F", "9600:1/40 failed", "", ""},
};
// clang-format on

struct FindRow
{
    const char *name;
    int ports, probeMs;
    const char *events; // O opened, Os the server sets the speed, Og a gateway, N would not open, X
                        // refused speed
    const char *steps;
};

// Each event comes 20 ms after the one before.
// clang-format off
const FindRow kFindRows[] = {
    {"the likeliest speeds first, then the next port", 2, 40, "O S S S S S S S S S S N",
     "open 0 9600/40 19200/40 115200/40 57600/40 4800/40 2400/40 14400/40 128000/40 1200/40 "
     "linger/820 open 1 nothing"},
    {"a module at the third speed", 1, 40, "O S S R7",
     "open 0 9600/40 19200/40 115200/40 found 7@115200"},
    {"a reply that may be late is asked again at its speed, waiting longest", 1, 40, "O S ~R7 R7",
     "open 0 9600/40 19200/40 19200/1000 found 7@19200"},
    {"asked again and silent: every speed again, waiting longest", 1, 40, "O S ~R7 S",
     "open 0 9600/40 19200/40 19200/1000 9600/1000"},
    {"a late reply after the last speed: slowest first, waiting longest", 1, 40,
     "O S S S S S S S S S L1:300 R1",
     "open 0 9600/40 19200/40 115200/40 57600/40 4800/40 2400/40 14400/40 128000/40 1200/40 "
     "linger/820 1200/1000 found 1@1200"},
    {"a speed the port refuses is passed over", 1, 40, "O X R2",
     "open 0 9600/40 19200/40 found 2@19200"},
    {"the server's speed, once", 1, 40, "Os S S", "open 0 9600/40 linger/980 nothing"},
    {"a gateway: unit after unit", 1, 40, "Og S S U19200",
     "open 0 unit 1/40 unit 2/40 unit 3/40 found 3 keeping 19200"},
    {"an unreadable answer at one speed does not end find", 1, 40, "O D R3",
     "open 0 9600/40 19200/40 found 3@19200"},
    {"a gateway's exception is no module", 1, 40, "Og G E", "open 0 unit 1/40 unit 2/40 found 2@0"},
    {"no port", 0, 40, "", "nothing"},
};
// clang-format on

} // namespace

class tst_Strategy : public QObject
{
    Q_OBJECT

private slots:
    void scan_data();
    void scan();
    void find_data();
    void find();
    void rewind_data();
    void rewind();
};

void tst_Strategy::scan_data()
{
    QTest::addColumn<int>("row");
    for (int i = 0; i < int(std::size(kScanRows)); ++i)
        QTest::newRow(kScanRows[i].name) << i;
}

void tst_Strategy::scan()
{
    QFETCH(int, row);
    const ScanRow &r = kScanRows[row];
    QVector<quint32> speeds;
    for (const QString &s : QString::fromLatin1(r.speeds).split(QLatin1Char(',')))
        speeds << s.toUInt();
    ScanState state(speeds, r.from, r.to, r.probeMs, 1000);
    ScanStep step = nextScanStep(state);
    QStringList steps{text(step)};
    for (const QString &e :
         QString::fromLatin1(r.events).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (e == QLatin1String("X"))
            step = scanSpeedRefused(state);
        else if (step.kind == ScanStep::Linger)
            step = scanLingered(state, outcome(e));
        else
            step = scanProbed(state, outcome(e));
        steps << text(step);
    }
    QCOMPARE(steps.join(QLatin1Char(' ')), QString::fromLatin1(r.steps));
    QCOMPARE(found(state.modules), QString::fromLatin1(r.modules));
    QCOMPARE(found(state.damaged), QString::fromLatin1(r.damaged));
}

void tst_Strategy::find_data()
{
    QTest::addColumn<int>("row");
    for (int i = 0; i < int(std::size(kFindRows)); ++i)
        QTest::newRow(kFindRows[i].name) << i;
}

void tst_Strategy::find()
{
    QFETCH(int, row);
    const FindRow &r = kFindRows[row];
    FindState state;
    state.ports = r.ports;
    state.probeMs = r.probeMs;
    FindStep step = startFind(state);
    QStringList steps{text(step)};
    qint64 now = 0;
    for (const QString &e :
         QString::fromLatin1(r.events).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        now += 20;
        if (step.kind == FindStep::OpenPort)
            step = findPortOpened(state, e != QLatin1String("N"), e != QLatin1String("Og"),
                                  e != QLatin1String("Os"), now);
        else if (e == QLatin1String("X"))
            step = findSpeedRefused(state, now);
        else if (step.kind == FindStep::Linger)
            step = findLingered(state, outcome(e), now);
        else if (step.kind == FindStep::ProbeUnit)
            step = findUnitProbed(state, outcome(e));
        else
            step = findProbed(state, outcome(e), now);
        steps << text(step);
    }
    QCOMPARE(steps.join(QLatin1Char(' ')), QString::fromLatin1(r.steps));
}

// scan --from 3 --to 5 at two speeds.
void tst_Strategy::rewind_data()
{
    QTest::addColumn<int>("speed");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("late");
    QTest::addColumn<int>("toSpeed");
    QTest::addColumn<int>("toAddress");
    QTest::newRow("the address before") << 0 << 4 << 3 << 0 << 3;
    QTest::newRow("a later one spoilt this probe too") << 1 << 3 << 4 << 0 << 4;
    QTest::newRow("at the first speed") << 0 << 3 << 4 << 0 << 3;
    QTest::newRow("while listening at the end") << 2 << 6 << 5 << 1 << 5;
}

void tst_Strategy::rewind()
{
    QFETCH(int, speed);
    QFETCH(int, address);
    QFETCH(int, late);
    QFETCH(int, toSpeed);
    QFETCH(int, toAddress);
    const ScanPlace p = rewindAfterLate({speed, address}, late, 2, 3, 5);
    QCOMPARE(p.speedIndex, toSpeed);
    QCOMPARE(p.address, toAddress);
}

QTEST_APPLESS_MAIN(tst_Strategy)
#include "tst_strategy.moc"
