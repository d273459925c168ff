// Commissioning plans as spreadsheets export them, and the results file beside them.
#include "plan.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace quarvex::cli;

namespace {

// "11 19200 5000 - pump 3": address, line speed, PWM 1, PWM 2 ("-" left as is), label.
QString describe(const Plan &plan)
{
    QStringList rows;
    const auto v = [](const std::optional<quint32> &x) {
        return x ? QString::number(*x) : QStringLiteral("-");
    };
    for (const PlanRow &r : plan.rows)
        rows << QStringLiteral("%1 %2 %3 %4 %5")
                    .arg(r.address)
                    .arg(v(r.lineSpeed), v(r.pwm1), v(r.pwm2), r.label)
                    .trimmed();
    return rows.join(QLatin1Char('|'));
}

} // namespace

class tst_Plan : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void results();
};

void tst_Plan::parse_data()
{
    // clang-format off
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("rows");
    QTest::addColumn<QStringList>("errors");

    QTest::newRow("comma, CRLF, BOM, comments and blank lines") << QByteArray( "\xEF\xBB\xBF" "address,line_speed,pwm1,pwm2,label\r\n# bench 2\r\n\r\n11,19200,5000,,pump 3\r\n" "12,,,8000,\r\n,,,,\r\n") << "11 19200 5000 - pump 3|12 - - 8000" << QStringList();
    QTest::newRow("semicolons, quoted cells, any column order") << QByteArray("label;pwm2;address\n\"pump 1; left\";2000;5\n\"say \"\"hi\"\"\";;6\n") << "5 - - 2000 pump 1; left|6 - - - say \"hi\"" << QStringList();
    QTest::newRow("the JSON of read --json, as one row") << QByteArray(R"({"address":7,"link_line_speed":9600,"motor1":{"pwm_frequency":4000},)" R"("motor2":{"pwm_frequency":10000},"stored_line_speed":19200})") << "7 19200 4000 10000" << QStringList();
    QTest::newRow("every error, each on its line") << QByteArray("address,pwm1\n300,5000\n5,999\n6,1000\n6,2000\n7,1000,7\n,2000\n") << "" << QStringList{"p.csv:2: the bus address must be 1-254, not \"300\"", "p.csv:3: HZ must be 1000-10000, not \"999\"", "p.csv:5: bus address 6 is on line 4 already", "p.csv:6: 3 cells, but the header names 2", "p.csv:7: no bus address"};
    QTest::newRow("a header it does not know") << QByteArray("address,speed,address\n1,2\n") << "" << QStringList{"p.csv:1: unknown column \"speed\" (the columns are address, line_speed, " "pwm1, pwm2, label)", "p.csv:1: column \"address\" twice"};
    QTest::newRow("no address column") << QByteArray("pwm1\n5000\n") << "" << QStringList{"p.csv:1: no address column"};
    QTest::newRow("not UTF-8") << QByteArray("address,label\n1,ok\n2,pump \xe9\n") << "" << QStringList{"p.csv:3: not UTF-8 text"};
    QTest::newRow("broken JSON") << QByteArray("{\"address\": 7,\n\"motor1\": }") << "" << QStringList{"p.csv:2: not JSON as read --json prints it: "};
    // clang-format on
}

void tst_Plan::parse()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, rows);
    QFETCH(QStringList, errors); // each the start of one told
    const Plan plan = parsePlan(file, QStringLiteral("p.csv"));
    QCOMPARE(plan.errors.size(), errors.size());
    for (int i = 0; i < errors.size(); ++i)
        QVERIFY2(plan.errors.at(i).startsWith(errors.at(i)), qPrintable(plan.errors.at(i)));
    QCOMPARE(describe(plan), rows);
}

// Written rows read back; a row cut short (a crash while writing by hand) counts for none.
void tst_Plan::results()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.results.csv"));
    QString error;
    const QDateTime t(QDate(2026, 1, 2), QTime(3, 4, 5), Qt::UTC);
    QVERIFY(appendResult(path, {t, 1, QStringLiteral("pump 1, left"), 1, 9600, 11, 19200, true, {}},
                         &error));
    QVERIFY(appendResult(path, {t, 2, QString(), 1, 9600, 0, 0, false, QStringLiteral("no reply")},
                         &error));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    QCOMPARE(written.split('\n').value(1),
             QByteArray("2026-01-02T03:04:05.000Z,1,\"pump 1, left\",1,9600,11,19200,done,"));
    QCOMPARE(rowsWithResults(written), (QSet<int>{1, 2}));
    QCOMPARE(doneAddresses(written), (QVector<int>{11}));
    QCOMPARE(rowsWithResults(written + "2026-01-02T03:04:06.000Z,3,,1,96"), (QSet<int>{1, 2}));
}

QTEST_GUILESS_MAIN(tst_Plan)
#include "tst_plan.moc"
