#include "utils/windowfit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QtTest>

class TestWindowFit : public QObject
{
    Q_OBJECT

private slots:
    void fitOntoDesktop()
    {
        const QRect available = QGuiApplication::primaryScreen()->availableVirtualGeometry();
        QWidget window;
        window.setGeometry(available.right() - 100, available.top() + 10, available.width() + 500, 300);
        fitWindowOntoDesktop(&window);
        QCOMPARE(window.geometry().width(), available.width());
        QCOMPARE(window.geometry().left(), available.left());
        const QRect inside(available.left() + 10, available.top() + 10, 200, 100);
        window.setGeometry(inside);
        fitWindowOntoDesktop(&window);
        QCOMPARE(window.geometry(), inside);
    }
};

QTEST_MAIN(TestWindowFit)
#include "tst_windowfit.moc"
