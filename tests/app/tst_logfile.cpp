#include "app/logfile.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QDateTime Now(QDate(2026, 3, 10), QTime(14, 30, 0));

QString logName(const QDateTime &time)
{
    return QStringLiteral("zulog_%1.txt").arg(time.toString(QStringLiteral("yyyyMMdd_hhmmss")));
}

void touch(const QDir &dir, const QString &name)
{
    QFile file(dir.filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
}

QStringList readLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

class tst_LogFile : public QObject
{
    Q_OBJECT

private slots:
    void init() { LogFile::setThreshold(1); }

    void nameCollisionWithinOneSecond()
    {
        QTemporaryDir base;
        QDateTime first = Now;
        QDateTime second = Now;
        LogFile a;
        QVERIFY(a.start(base.path(), first));
        a.finish();
        LogFile b;
        QVERIFY(b.start(base.path(), second));
        b.finish();
        const QDir logs(base.path() + QStringLiteral("/Halvorne/logs"));
        QCOMPARE(logs.entryList(QDir::Files), QStringList({ logName(Now), logName(Now.addSecs(1)) }));
        QVERIFY(readLines(logs.filePath(logName(Now))).first().contains(logName(Now)));
        QVERIFY(readLines(logs.filePath(logName(Now.addSecs(1)))).first().contains(logName(Now.addSecs(1))));
    }

    void freeNameSkipsTakenSeconds()
    {
        QTemporaryDir base;
        const QDir dir(base.path());
        touch(dir, logName(Now));
        touch(dir, logName(Now.addSecs(1)));
        QDateTime time = Now;
        QCOMPARE(LogFile::freeLogName(dir, time), logName(Now.addSecs(2)));
        QCOMPARE(time, Now.addSecs(2));
    }

    void openingLines()
    {
        QTemporaryDir base;
        LogFile log;
        QVERIFY(log.start(base.path(), Now));
        const QStringList lines = readLines(log.fileName());
        QVERIFY(lines.size() >= 2);
        const QRegularExpression first(QStringLiteral(
            R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} I Halvorne ZU client v1\.9\.0-143  starting log file "zulog_20260310_143000\.txt"$)"));
        QVERIFY2(first.match(lines.at(0)).hasMatch(), qPrintable(lines.at(0)));
        QVERIFY2(lines.at(1).contains(QStringLiteral(" I Host CPU: \"")), qPrintable(lines.at(1)));
        QVERIFY(lines.at(1).contains(QStringLiteral("kernelType:")));
        QVERIFY(lines.at(1).contains(QStringLiteral("kernelVersion:")));
    }

    void closingLine()
    {
        QTemporaryDir base;
        LogFile log;
        QVERIFY(log.start(base.path(), Now));
        const QString path = log.fileName();
        log.finish();
        qInfo() << "after close";
        const QStringList lines = readLines(path);
        QVERIFY(lines.last().endsWith(QStringLiteral(" I Closing log file")));
        QVERIFY(!lines.join(QLatin1Char('\n')).contains(QStringLiteral("after close")));
    }

    void unusableDirectory()
    {
        QTemporaryDir base;
        QFile blocker(base.path() + QStringLiteral("/Halvorne"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        LogFile log;
        QVERIFY(!log.start(base.path(), Now));
        QVERIFY(log.fileName().isEmpty());
    }

    void deletion_data()
    {
        QTest::addColumn<QList<int>>("agesInDays"); // existing logs, besides the new one
        QTest::addColumn<int>("expectedDeleted");

        QTest::newRow("five files, oldest 8 days") << QList<int> { 8, 1, 1, 1 } << 1;
        QTest::newRow("exactly four files, all old") << QList<int> { 30, 20, 10 } << 0;
        QTest::newRow("six days old never goes") << QList<int> { 6, 6, 6, 6, 6, 6 } << 0;
        QTest::newRow("old ones go until four remain") << QList<int> { 40, 30, 20, 10, 9, 8 } << 3;
        QTest::newRow("stops at the first young file") << QList<int> { 30, 6, 1, 1, 1 } << 1;
        QTest::newRow("exactly seven days is not older") << QList<int> { 7, 1, 1, 1, 1 } << 0;
    }

    void deletion()
    {
        QFETCH(QList<int>, agesInDays);
        QFETCH(int, expectedDeleted);

        QTemporaryDir base;
        const QDir dir(base.path());
        QStringList existing;
        for (int age : agesInDays) {
            QDateTime time = Now.addDays(-age);
            const QString name = LogFile::freeLogName(dir, time);
            touch(dir, name);
            existing << name;
        }
        touch(dir, logName(Now));
        existing.sort();

        const QStringList deleted = LogFile::deleteOldLogs(dir, Now);
        QCOMPARE(deleted.size(), expectedDeleted);
        const QStringList remaining
            = dir.entryList({ QStringLiteral("zulog_*.txt") }, QDir::Files, QDir::Name);
        QCOMPARE(remaining, (QStringList(existing.mid(expectedDeleted)) << logName(Now)));
        QVERIFY(remaining.size() >= 4 || deleted.isEmpty());
        for (const QString &path : deleted)
            QVERIFY(!QFile::exists(path));
    }

    void thresholds()
    {
        QTemporaryDir base;
        LogFile log;
        QVERIFY(log.start(base.path(), Now));

        qDebug() << "hidden debug at default threshold";
        qInfo() << "info at default threshold";
        LogFile::applyLogLevel(0);
        qDebug() << "debug at level 0";
        LogFile::applyLogLevel(2);
        qInfo() << "hidden info at level 2";
        qWarning() << "warning at level 2";
        qCritical() << "critical at level 2";

        const QString text = readLines(log.fileName()).join(QLatin1Char('\n'));
        QVERIFY(!text.contains(QStringLiteral("hidden debug")));
        QVERIFY(text.contains(QStringLiteral(" I info at default threshold")));
        QVERIFY(text.contains(QStringLiteral(" I Log level set to 0")));
        QVERIFY(text.contains(QStringLiteral(" D debug at level 0")));
        QVERIFY(text.contains(QStringLiteral(" I Log level set to 2")));
        QVERIFY(!text.contains(QStringLiteral("hidden info")));
        QVERIFY(text.contains(QStringLiteral(" W warning at level 2")));
        QVERIFY(text.contains(QStringLiteral(" ! critical at level 2")));
        QCOMPARE(LogFile::threshold(), 2);
    }

    // A flood of one message writes its first few and then how many were left out; other
    // messages still get through.
    void floodsAreCountedNotWritten()
    {
        QTemporaryDir base;
        LogFile log;
        QVERIFY(log.start(base.path(), Now));
        for (int i = 0; i < 1000; ++i)
            qWarning() << "HUB: bad frame length" << i;
        qWarning() << "something else";
        const QString name = log.fileName();
        log.finish();
        const QStringList lines = readLines(name);
        QCOMPARE(lines.filter(QStringLiteral("bad frame length")).size(), 5 + 1);
        QVERIFY(lines.filter(QStringLiteral("995 more like this were not written: HUB: bad frame length 0")).size() == 1);
        QCOMPARE(lines.filter(QStringLiteral("something else")).size(), 1);
    }

    // However much is logged, the file stays under its bound and says why it stopped.
    void fileIsBounded()
    {
        QTemporaryDir base;
        LogFile log;
        QVERIFY(log.start(base.path(), Now));
        const QString filler(4000, QLatin1Char('x'));
        for (int i = 0; QFileInfo(log.fileName()).size() < LogFile::MaxLogBytes && i < 1000000; ++i) {
            QString distinct;
            for (int n = i; n > 0 || distinct.isEmpty(); n /= 26)
                distinct += QLatin1Char('a' + n % 26);
            qWarning().noquote() << distinct << filler;
        }
        qWarning() << "after the bound";
        const QString name = log.fileName();
        log.finish();
        QVERIFY(QFileInfo(name).size() <= LogFile::MaxLogBytes + 200);
        const QStringList lines = readLines(name);
        const QString last = lines.value(lines.size() - 1);
        QVERIFY2(last.contains(QStringLiteral("the log file has reached 50 MB")), qPrintable(last.left(100)));
    }
};

QTEST_GUILESS_MAIN(tst_LogFile)
#include "tst_logfile.moc"
