#include "app/logthrottle.h"

#include <QTest>

class tst_LogThrottle : public QObject
{
    Q_OBJECT

private slots:
    // Numbers do not make a message another one; the count is told once its interval is over,
    // and the message is written again after that.
    void oneMessageAnInterval()
    {
        LogThrottle throttle;
        int written = 0;
        for (int i = 0; i < 20; ++i)
            written += throttle.admit(QStringLiteral("read %1 bytes").arg(i), 1000 + i) ? 1 : 0;
        QCOMPARE(written, LogThrottle::WrittenPerInterval);
        QVERIFY(throttle.due(1000 + LogThrottle::IntervalMs - 1).isEmpty());
        const QStringList told = throttle.due(1000 + LogThrottle::IntervalMs);
        QCOMPARE(told.size(), 1);
        QVERIFY2(told.first().contains("15 more like this were not written: read 0 bytes"), qPrintable(told.first()));
        QVERIFY(throttle.admit(QStringLiteral("read 99 bytes"), 1000 + LogThrottle::IntervalMs));
        QVERIFY(throttle.flush().isEmpty());
    }

    // More distinct messages than the table holds are all written; none is lost to the bound.
    void manyDistinctMessages()
    {
        LogThrottle throttle;
        for (int i = 0; i < 2 * LogThrottle::MaxTracked; ++i) {
            QString name;
            for (int n = i; n > 0 || name.isEmpty(); n /= 26)
                name += QLatin1Char('a' + n % 26);
            QVERIFY(throttle.admit(name, i));
        }
    }
};

QTEST_GUILESS_MAIN(tst_LogThrottle)
#include "tst_logthrottle.moc"
