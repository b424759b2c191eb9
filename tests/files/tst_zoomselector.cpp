#include "files/zoomselector.h"

#include <QSignalSpy>
#include <QTest>

class tst_ZoomSelector : public QObject
{
    Q_OBJECT

private slots:
    void steps_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<bool>("in");
        QTest::addColumn<QString>("to");
        QTest::newRow("in from 100%") << "100%" << true << "125%";
        QTest::newRow("in at 400% stays") << "400%" << true << "400%";
        QTest::newRow("out at 12% stays") << "12%" << false << "12%";
        QTest::newRow("out from 50%") << "50%" << false << "33%";
        QTest::newRow("in from Fit Width") << "Fit Width" << true << "100%";
        QTest::newRow("out from Fit Page") << "Fit Page" << false << "100%";
    }

    void steps()
    {
        QFETCH(QString, from);
        QFETCH(bool, in);
        QFETCH(QString, to);
        ZoomSelector selector;
        selector.setCurrentText(from);
        QCOMPARE(selector.currentText(), from);
        in ? selector.zoomIn() : selector.zoomOut();
        QCOMPARE(selector.currentText(), to);
    }

    void choicesEmitModeThenFactor()
    {
        ZoomSelector selector;
        QList<QString> emitted;
        connect(&selector, &ZoomSelector::zoomModeChanged, this,
                [&emitted](QPdfView::ZoomMode mode) { emitted << QStringLiteral("mode %1").arg(int(mode)); });
        connect(&selector, &ZoomSelector::zoomFactorChanged, this,
                [&emitted](double factor) { emitted << QStringLiteral("factor %1").arg(factor); });

        selector.reset();
        QCOMPARE(selector.currentText(), QString("100%"));
        emitted.clear();
        selector.reset(); // already there: nothing
        QVERIFY(emitted.isEmpty());

        selector.setCurrentText("Fit Page");
        QCOMPARE(emitted, QStringList { QStringLiteral("mode %1").arg(int(QPdfView::FitInView)) });
        emitted.clear();
        selector.setCurrentText("50%");
        QCOMPARE(emitted, (QStringList { QStringLiteral("mode %1").arg(int(QPdfView::CustomZoom)), "factor 0.5" }));
    }
};

QTEST_MAIN(tst_ZoomSelector)
#include "tst_zoomselector.moc"
