#include "web/webpages.h"
#include "utils/replaymode.h"
#include "utils/taskpagewidget.h"

#include "fakepagehost.h"

#include <QSignalSpy>
#include <QTest>
#include <QUrl>

class tst_WebPages : public QObject
{
    Q_OBJECT

private slots:
    // A replay stays offline: a page the recording opened is told of, not loaded (nor is the web
    // engine).
    void replayOpensNoPage()
    {
        FakePageHost host;
        WebPages pages("jdoe", &host);
        QSignalSpy notices(&pages, &WebPages::notice);
        ReplayMode::setReplaying(true);
        pages.openUrl("Enrolment report", "Cognos", QUrl("https://reports.example/enrolment"));
        ReplayMode::setReplaying(false);
        QCOMPARE(notices.size(), 1);
        QCOMPARE(notices.at(0).at(0).toString(),
                 QString("The web page https://reports.example/enrolment was not opened during a replay."));
        QVERIFY(host.desk()->findChildren<TaskPageWidget *>().isEmpty());
    }
};

QTEST_MAIN(tst_WebPages)
#include "tst_webpages.moc"
