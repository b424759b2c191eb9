#include "querytester.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

// The dictionary editor's query test: references become bound parameters wherever they stand,
// the connection only reads, and rows and time are limited.
class tst_QueryTester : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void rewrite_data();
    void rewrite();
    void run_data();
    void run();
    void table();
    void rowLimit();
    void timeLimit();
    void sizeLimits();

private:
    QTemporaryDir m_dir;
    QString m_path;
};

void tst_QueryTester::initTestCase()
{
    m_path = m_dir.filePath("people.sqlite");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "setup");
        db.setDatabaseName(m_path);
        QVERIFY(db.open());
        QSqlQuery query(db);
        QVERIFY(query.exec("CREATE TABLE people (id INTEGER PRIMARY KEY, name TEXT, note TEXT)"));
        QVERIFY(query.exec("INSERT INTO people VALUES (1, 'Ann Adams', NULL), (2, 'Liam O''Neill', 'x'),"
                           " (3, 'Zoe Young', 'a much longer note')"));
    }
    QSqlDatabase::removeDatabase("setup");
}

void tst_QueryTester::rewrite_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("rewritten");
    QTest::addColumn<QStringList>("keys");

    QTest::newRow("bare") << "a = @@Name AND b=@@Other"
                          << "a = ? AND b=?" << QStringList { "Name", "Other" };
    QTest::newRow("used twice") << "@@First, @@First"
                                << "?, ?" << QStringList { "First", "First" };
    QTest::newRow("whole quoted text") << "a = '@@Name'"
                                       << "a = ?" << QStringList { "Name" };
    QTest::newRow("inside quoted text") << "LIKE '%@@Part%'"
                                        << "LIKE ('%' || ? || '%')" << QStringList { "Part" };
    QTest::newRow("doubled quote kept") << "'it''s @@Who'"
                                        << "('it''s ' || ?)" << QStringList { "Who" };
    QTest::newRow("quoted text without reference") << "'a''@@'"
                                                   << "'a''@@'" << QStringList {};
    QTest::newRow("comments and identifiers")
        << "-- @@A\n/* @@B */ \"@@C\" [@@D] `@@E` @@F"
        << "-- @@A\n/* @@B */ \"@@C\" [@@D] `@@E` ?" << QStringList { "F" };
    QTest::newRow("no name after the marker") << "@@ @@1 x@@"
                                              << "@@ @@1 x@@" << QStringList {};
    QTest::newRow("unended quoted text") << "'open @@A"
                                         << "'open @@A" << QStringList {};
    QTest::newRow("letters beyond ASCII") << "@@Caf\u00e9!"
                                          << "?!" << QStringList { "Caf\u00e9" };
}

void tst_QueryTester::rewrite()
{
    QFETCH(QString, sql);
    QFETCH(QString, rewritten);
    QFETCH(QStringList, keys);
    const QueryTester::Rewritten result = QueryTester::rewrite(sql);
    QCOMPARE(result.sql, rewritten);
    QCOMPARE(result.keys, keys);
}

void tst_QueryTester::run_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("value"); // of @@Name
    QTest::addColumn<bool>("success");
    QTest::addColumn<QString>("contains");

    const QString byName = "SELECT id FROM people WHERE name = @@Name";
    QTest::newRow("quote in the value") << byName << "Liam O'Neill" << true << "(1 row)";
    QTest::newRow("value that tries to widen the query") << byName << "x' OR '1'='1" << true << "(0 rows)";
    QTest::newRow("inside quoted text") << "SELECT id FROM people WHERE name LIKE '%@@Name%'"
                                        << "Neill" << true << "(1 row)";
    QTest::newRow("no value") << "SELECT @@Nobody"
                              << "" << false << "There is no test value for @@Nobody.";
    QTest::newRow("syntax error") << "SELEC 1"
                                  << "" << false << "syntax error";
    QTest::newRow("delete") << "DELETE FROM people"
                            << "" << false << "authoriz";
    QTest::newRow("update") << "UPDATE people SET name = @@Name"
                            << "x" << false << "authoriz";
    QTest::newRow("attach") << "ATTACH 'other.sqlite' AS other"
                            << "" << false << "authoriz";
    QTest::newRow("vacuum into") << "VACUUM INTO 'copy.sqlite'"
                                 << "" << false << "authoriz";
    QTest::newRow("pragma") << "PRAGMA journal_mode = DELETE"
                            << "" << false << "authoriz";
    QTest::newRow("two statements") << "SELECT 1; DELETE FROM people"
                                    << "" << false << "";
}

void tst_QueryTester::run()
{
    QFETCH(QString, sql);
    QFETCH(QString, value);
    QFETCH(bool, success);
    QFETCH(QString, contains);
    const QueryTester::Outcome outcome = QueryTester().run(m_path, sql, { { "Name", value } });
    QVERIFY2(outcome.success == success, qPrintable(outcome.text));
    QVERIFY2(outcome.text.contains(contains) && !outcome.text.isEmpty(), qPrintable(outcome.text));

    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "check");
    db.setDatabaseName(m_path);
    QVERIFY(db.open());
    QSqlQuery count("SELECT COUNT(*), MIN(name) FROM people", db);
    QVERIFY(count.next());
    QCOMPARE(count.value(0).toInt(), 3);
    QCOMPARE(count.value(1).toString(), QString("Ann Adams"));
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase("check");
    QVERIFY(!QFile::exists(m_dir.filePath("copy.sqlite")) && !QFile::exists("copy.sqlite"));
}

void tst_QueryTester::table()
{
    const QueryTester::Outcome outcome
        = QueryTester().run(m_path, "SELECT id, name AS who, note FROM people ORDER BY id", {});
    QVERIFY(outcome.success);
    QCOMPARE(outcome.text,
             QString("id | who          | note\n"
                     "---+--------------+-------------------\n"
                     "1  | Ann Adams    | NULL\n"
                     "2  | Liam O'Neill | x\n"
                     "3  | Zoe Young    | a much longer note\n"
                     "(3 rows)"));
    QCOMPARE(QueryTester().run(m_dir.filePath("none.sqlite"), "SELECT 1", {}).text,
             QString("The database file is missing."));
}

void tst_QueryTester::rowLimit()
{
    const QString endless = "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n) SELECT x FROM n";
    const QueryTester::Outcome outcome = QueryTester(2).run(m_path, endless, {});
    QVERIFY(outcome.success);
    QCOMPARE(outcome.text, QString("x\n-\n1\n2\n(the first 2 rows; there are more)"));
}

void tst_QueryTester::timeLimit()
{
    const QString endless
        = "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n) SELECT COUNT(*) FROM n";
    const QueryTester::Outcome outcome = QueryTester(10, 50).run(m_path, endless, {});
    QVERIFY(!outcome.success);
    QCOMPARE(outcome.text, QString("The query was stopped after 50 ms."));
}

// One step of SQLite can build a value of a gigabyte before the clock is looked at: values are
// bounded, and so is what a result reads in all.
void tst_QueryTester::sizeLimits()
{
    const QueryTester::Outcome big = QueryTester().run(m_path, "SELECT zeroblob(2000000)", {});
    QVERIFY(!big.success);
    QVERIFY2(big.text.contains("too big"), qPrintable(big.text));

    const QueryTester::Outcome many = QueryTester().run(m_path,
                                                        "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x "
                                                        "+ 1 FROM n LIMIT 30) SELECT zeroblob(900000) FROM n",
                                                        {});
    QVERIFY(many.success);
    const int rows = int(QueryTester::MaxResultBytes / 900000) + 1;
    QVERIFY2(many.text.endsWith(QStringLiteral("(the first %1 rows; there are more)").arg(rows)),
             qPrintable(many.text));
}

QTEST_GUILESS_MAIN(tst_QueryTester)
#include "tst_querytester.moc"
