#include "device/commands.h"

#include <QtTest>

using namespace quarvex;

Q_DECLARE_METATYPE(Field)

class tst_Commands : public QObject
{
    Q_OBJECT

private slots:
    void parseField_data();
    void parseField();
};

void tst_Commands::parseField_data()
{
    QTest::addColumn<Field>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("value"); // -1: refused
    const struct
    {
        Field field;
        const char *text;
        qint64 value;
    } rows[] = {
        {Field::Address, "1", 1},
        {Field::Address, "254", 254},
        {Field::Address, "007", 7},
        {Field::Address, "", -1},
        {Field::Address, "0", -1},
        {Field::Address, "255", -1},
        {Field::Address, "300", -1},
        {Field::Address, " 5", -1},
        {Field::Address, "+5", -1},
        {Field::Address, "5a", -1},
        {Field::Address, "-1", -1},
        {Field::Speed, "0", 0},
        {Field::Speed, "100", 100},
        {Field::Speed, "101", -1},
        {Field::Speed, "", -1},
        {Field::Frequency, "1000", 1000},
        {Field::Frequency, "10000", 10000},
        {Field::Frequency, "999", -1},
        {Field::Frequency, "500", -1},
        {Field::Frequency, "10001", -1},
        {Field::Frequency, "1", -1},
        {Field::Frequency, "1,000", -1},
        {Field::Frequency, "", -1},
        {Field::Frequency, "99999999999999999999", -1},
        {Field::LineSpeed, "9600", 9600},
        {Field::LineSpeed, "128000", 128000},
        {Field::LineSpeed, "9601", -1},
        {Field::LineSpeed, "", -1},
    };
    for (const auto &r : rows)
        QTest::addRow("%d '%s'", int(r.field), r.text)
            << r.field << QString::fromLatin1(r.text) << r.value;
}

void tst_Commands::parseField()
{
    QFETCH(Field, field);
    QFETCH(QString, text);
    QFETCH(qint64, value);
    const auto parsed = quarvex::parseField(field, text);
    QCOMPARE(parsed.has_value(), value >= 0);
    if (parsed)
        QCOMPARE(qint64(*parsed), value);
}

QTEST_APPLESS_MAIN(tst_Commands)
#include "tst_commands.moc"
