#include "fieldformat.h"

#include <QTest>

// Reading what users type into the classic demo's fields, and the key markers of its texts.
class TestFieldFormat : public QObject
{
    Q_OBJECT

private slots:
    void dates_data();
    void dates();
    void money_data();
    void money();
    void logicalAndNumbers();
    void keyMarker();
};

void TestFieldFormat::dates_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QDate>("date");
    QTest::newRow("calendar form") << "07/04/2024" << true << QDate(2024, 7, 4);
    QTest::newRow("short form") << "7/4/2024" << true << QDate(2024, 7, 4);
    QTest::newRow("iso") << "2024-07-04" << true << QDate(2024, 7, 4);
    QTest::newRow("blanks around") << " 12/31/1999 " << true << QDate(1999, 12, 31);
    QTest::newRow("empty is no date") << "" << true << QDate();
    QTest::newRow("no such day") << "02/30/2023" << false << QDate();
    QTest::newRow("month 13") << "13/01/2023" << false << QDate();
    QTest::newRow("two-digit year") << "7/4/24" << false << QDate();
    QTest::newRow("words") << "yesterday" << false << QDate();
}

void TestFieldFormat::dates()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QDate, date);
    QDate parsed(1970, 1, 1);
    QCOMPARE(FieldFormat::parseDate(text, &parsed), valid);
    if (valid) {
        QCOMPARE(parsed, date);
        QCOMPARE(FieldFormat::date(parsed), date.isValid() ? date.toString("MM/dd/yyyy") : QString());
    } else {
        QCOMPARE(parsed, QDate(1970, 1, 1)); // untouched
    }
}

void TestFieldFormat::money_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<qint64>("cents");
    QTest::newRow("whole") << "1250" << true << qint64(125000);
    QTest::newRow("one decimal") << "1250.5" << true << qint64(125050);
    QTest::newRow("dollar and comma") << "$1,250.05" << true << qint64(125005);
    QTest::newRow("zero") << "0.00" << true << qint64(0);
    QTest::newRow("largest") << "99999.99" << true << qint64(9999999);
    QTest::newRow("too large") << "100000" << false << qint64(0);
    QTest::newRow("negative") << "-5" << false << qint64(0);
    QTest::newRow("three decimals") << "1.005" << false << qint64(0);
    QTest::newRow("letters") << "12a" << false << qint64(0);
    QTest::newRow("empty") << "" << false << qint64(0);
}

void TestFieldFormat::money()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(qint64, cents);
    qint64 parsed = -1;
    QCOMPARE(FieldFormat::parseMoney(text, &parsed), valid);
    if (valid) {
        QCOMPARE(parsed, cents);
        qint64 again = -1;
        QVERIFY(FieldFormat::parseMoney(FieldFormat::money(parsed), &again));
        QCOMPARE(again, cents);
    }
    QCOMPARE(FieldFormat::money(5), QStringLiteral("0.05"));
}

void TestFieldFormat::logicalAndNumbers()
{
    bool flag = false;
    for (const char *yes : { "Y", "y", "yes", "TRUE", " t " }) {
        flag = false;
        QVERIFY2(FieldFormat::parseLogical(QLatin1String(yes), &flag) && flag, yes);
    }
    for (const char *no : { "N", "no", "False", "f" }) {
        flag = true;
        QVERIFY2(FieldFormat::parseLogical(QLatin1String(no), &flag) && !flag, no);
    }
    QVERIFY(!FieldFormat::parseLogical(QStringLiteral("maybe"), &flag));
    QVERIFY(!FieldFormat::parseLogical(QString(), &flag));
    QCOMPARE(FieldFormat::logical(true), QStringLiteral("Y"));

    int number = -1;
    QVERIFY(FieldFormat::parseNumber(QStringLiteral(" 42 "), 0, 999, &number));
    QCOMPARE(number, 42);
    QVERIFY(!FieldFormat::parseNumber(QStringLiteral("1000"), 0, 999, &number));
    QVERIFY(!FieldFormat::parseNumber(QStringLiteral("-1"), 0, 999, &number));
    QVERIFY(!FieldFormat::parseNumber(QStringLiteral("4.2"), 0, 999, &number));
    QVERIFY(!FieldFormat::parseNumber(QStringLiteral("99999999999"), 0, 999, &number));
    QCOMPARE(number, 42);
}

void TestFieldFormat::keyMarker()
{
    // Byte 0xFE, the decimal key code and a space, all Latin-1.
    QCOMPARE(FieldFormat::keyMarker(2001).toLatin1(),
             QByteArray("\xFE"
                        "2001 "));
    QCOMPARE(
        (QStringLiteral("Press ") + FieldFormat::keyMarker(2000) + QStringLiteral("to leave")).toLatin1(),
        QByteArray("Press \xFE"
                   "2000 to leave"));
}

QTEST_GUILESS_MAIN(TestFieldFormat)
#include "tst_fieldformat.moc"
