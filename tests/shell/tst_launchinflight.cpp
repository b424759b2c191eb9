#include "shell/launchinflight.h"

#include <QSignalSpy>
#include <QTest>

// The launch in flight names the next page and, while the hub is silent, the wait; what comes
// after a silence or after the wait bound is not taken for its answer.
class tst_LaunchInFlight : public QObject
{
    Q_OBJECT

private slots:
    void titleGoesToTheNextPageOnly()
    {
        LaunchInFlight launch;
        launch.requested("Student Records");
        QCOMPARE(launch.takeTitle(), QString("Student Records"));
        QCOMPARE(launch.takeTitle(), QString());

        launch.requested("Fees");
        launch.forget();
        QCOMPARE(launch.takeTitle(), QString());
    }

    void staleLaunchIsNeitherNamedNorTitled()
    {
        LaunchInFlight launch(nullptr, 30);
        QSignalSpy waiting(&launch, &LaunchInFlight::waiting);
        launch.requested("Student Records");
        QTest::qWait(60);
        launch.setHubAnswering(false);
        QCOMPARE(waiting.size(), 0);
        QCOMPARE(launch.takeTitle(), QString());
    }

    void silenceNamesTheLaunchUntilTheHubAnswers()
    {
        LaunchInFlight launch;
        QSignalSpy waiting(&launch, &LaunchInFlight::waiting);
        QSignalSpy over(&launch, &LaunchInFlight::waitOver);

        launch.setHubAnswering(false);
        QCOMPARE(waiting.size(), 0); // nothing launched, nothing to name
        launch.requested("Student \"Records\"");
        QCOMPARE(waiting.size(), 1);
        const QString notice = waiting.at(0).at(0).toString();
        QVERIFY2(notice.startsWith("The hub is not answering: \"Student \"Records\"\", asked for at "),
                 qPrintable(notice));

        launch.setHubAnswering(true);
        QCOMPARE(over.size(), 1);
        QCOMPARE(over.at(0).at(0).toString(), notice);
        QCOMPARE(launch.takeTitle(), QString()); // a page after the silence answers no known launch

        launch.setHubAnswering(true);
        QCOMPARE(over.size(), 1);
    }

    void launchWhileAnsweringIsNotAnnounced()
    {
        LaunchInFlight launch;
        QSignalSpy waiting(&launch, &LaunchInFlight::waiting);
        QSignalSpy over(&launch, &LaunchInFlight::waitOver);
        launch.requested("Fees");
        launch.setHubAnswering(true);
        QCOMPARE(waiting.size(), 0);
        QCOMPARE(over.size(), 0);
    }
};

QTEST_GUILESS_MAIN(tst_LaunchInFlight)
#include "tst_launchinflight.moc"
