#include "utils/busymouse.h"

#include <QApplication>
#include <QTest>

namespace {

Qt::CursorShape overrideShape()
{
    const QCursor *cursor = QGuiApplication::overrideCursor();
    return cursor ? cursor->shape() : Qt::ArrowCursor;
}

} // namespace

// Runs on a fake clock; process() is invoked by hand where a test needs time to pass.
class tst_BusyMouse : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_now = 1'000'000;
        busy()->setClock([this] { return m_now; });
        const QStringList pending = busy()->pendingReasons();
        for (const QString &reason : pending)
            busy()->stop(reason);
        QVERIFY(!busy()->isBusy());
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }

    void cleanup() { busy()->setClock({}); }

    void overlappingReasons()
    {
        busy()->start("a", 8000);
        busy()->start("b", 100);
        QCOMPARE(overrideShape(), Qt::WaitCursor);
        busy()->stop("a");
        QVERIFY(busy()->isBusy());
        QCOMPARE(busy()->pendingReasons(), QStringList { "b" });

        m_now += 100;
        elapse();
        QVERIFY2(!busy()->isBusy(), "an expiry that is not in the future has passed");
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }

    void restartReplacesExpiry()
    {
        busy()->start("a", 100);
        busy()->start("a", 5000);
        QCOMPARE(busy()->pendingReasons().size(), 1);
        QCOMPARE(busy()->expiryOf("a"), m_now + 5000);
        m_now += 1000;
        elapse();
        QVERIFY2(busy()->isBusy(), "the first, shorter expiry must be gone");
        busy()->stop("a");
        QVERIFY(!busy()->isBusy());
    }

    void sameMillisecondGetsDistinctExpiries()
    {
        busy()->start("a", 8000);
        busy()->start("b", 8000);
        busy()->start("c", 7999);
        QCOMPARE(busy()->expiryOf("a"), m_now + 8000);
        QCOMPARE(busy()->expiryOf("b"), m_now + 8001);
        QCOMPARE(busy()->expiryOf("c"), m_now + 7999);
        busy()->stop("a");
        QCOMPARE(busy()->expiryOf("b"), m_now + 8001);
        QVERIFY(busy()->isBusy());
        busy()->stop("b");
        busy()->stop("c");
        QVERIFY(!busy()->isBusy());
    }

    void neverStoppedReasonExpires()
    {
        busy()->start("forgotten", 8000);
        m_now += 7999;
        elapse();
        QVERIFY(busy()->isBusy());
        m_now += 1;
        elapse();
        QVERIFY(!busy()->isBusy());
        QVERIFY(busy()->pendingReasons().isEmpty());
        QCOMPARE(busy()->expiryOf("forgotten"), -1);
    }

    void stopUnknownReasonChangesNothing()
    {
        busy()->stop("never started");
        QVERIFY(!busy()->isBusy());
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);

        busy()->start("a", 100);
        busy()->stop("never started");
        QVERIFY(busy()->isBusy());
        QCOMPARE(busy()->expiryOf("a"), m_now + 100);
    }

    void pushedOnceRestoredOnce()
    {
        QGuiApplication::setOverrideCursor(QCursor(Qt::CrossCursor));
        busy()->start("a", 8000);
        busy()->start("b", 8000);
        busy()->start("c", 8000);
        QCOMPARE(overrideShape(), Qt::WaitCursor);
        busy()->stop("a");
        busy()->stop("b");
        QCOMPARE(overrideShape(), Qt::WaitCursor);
        busy()->stop("c");
        // One restore leaves the caller's own cursor in place.
        QCOMPARE(overrideShape(), Qt::CrossCursor);
        QGuiApplication::restoreOverrideCursor();
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }

    void timerEndsWaitOnRealClock()
    {
        busy()->setClock({});
        busy()->start("short", 30);
        QVERIFY(busy()->isBusy());
        QTRY_VERIFY_WITH_TIMEOUT(!busy()->isBusy(), 2000);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }

private:
    static BusyMouse *busy() { return BusyMouse::instance(); }
    static void elapse() { QMetaObject::invokeMethod(busy(), "process", Qt::DirectConnection); }

    qint64 m_now = 0;
};

QTEST_MAIN(tst_BusyMouse)
#include "tst_busymouse.moc"
