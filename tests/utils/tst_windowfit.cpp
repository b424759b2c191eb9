#include "utils/windowfit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QtTest>

Q_DECLARE_METATYPE(QMargins)

class TestWindowFit : public QObject
{
    Q_OBJECT

private slots:
    void fittedGeometry_data()
    {
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QMargins>("frame");
        QTest::addColumn<QRect>("fitted");
        const QMargins titleBar(1, 20, 1, 1);
        // The screen: 1280 x 900 with a 30-pixel panel on top.
        QTest::newRow("inside stays") << QRect(100, 100, 400, 300) << titleBar << QRect(100, 100, 400, 300);
        QTest::newRow("below the bottom edge moves up")
            << QRect(900, 850, 300, 60) << titleBar << QRect(900, 839, 300, 60);
        QTest::newRow("too high shrinks") << QRect(40, 10, 1194, 882) << titleBar << QRect(40, 50, 1194, 849);
        QTest::newRow("too wide shrinks, left edge on screen")
            << QRect(-300, 100, 2000, 400) << titleBar << QRect(1, 100, 1278, 400);
        QTest::newRow("right of the screen")
            << QRect(1250, 200, 200, 100) << QMargins() << QRect(1080, 200, 200, 100);
        QTest::newRow("above the panel") << QRect(10, 0, 200, 100) << titleBar << QRect(10, 50, 200, 100);
    }

    void fittedGeometry()
    {
        QFETCH(QRect, geometry);
        QFETCH(QMargins, frame);
        QFETCH(QRect, fitted);
        const QRect available(0, 30, 1280, 870);
        QCOMPARE(fittedWindowGeometry(geometry, frame, available), fitted);
        QVERIFY(available.contains(fitted.marginsAdded(frame)));
    }

    void roomIsNeverEmpty()
    {
        QCOMPARE(roomForWindow(QMargins(1, 20, 1, 1), QRect(0, 0, 640, 450)), QSize(638, 429));
        QCOMPARE(roomForWindow(QMargins(10, 10, 10, 10), QRect(0, 0, 5, 5)), QSize(1, 1));
    }

    // A window too big for the screen, with a minimum size that is too, gives way before it shows,
    // and is placed on the screen when it does.
    void windowGivesWay()
    {
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        QWidget window;
        window.setMinimumSize(available.width() + 100, 200);
        window.resize(available.width() + 300, available.height() + 300);
        fitWindowOntoDesktop(&window);
        QCOMPARE(window.minimumSize(), QSize(available.width(), 200));
        QCOMPARE(window.size(), available.size());

        window.move(available.right() - 10, available.top() + 40);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(available.contains(window.frameGeometry()));

        const QRect inside(available.left() + 10, available.top() + 10, 200, 100);
        window.setMinimumSize(100, 100);
        window.setGeometry(inside);
        fitWindowOntoDesktop(&window);
        QCOMPARE(window.geometry(), inside);
    }
};

QTEST_MAIN(TestWindowFit)
#include "tst_windowfit.moc"
