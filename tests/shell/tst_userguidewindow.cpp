#include "shell/userguidewindow.h"

#include "testpaths.h"

#include <QApplication>
#include <QRegularExpression>
#include <QTest>
#include <QTextBrowser>

class tst_UserGuideWindow : public QObject
{
    Q_OBJECT

private slots:
    void showsTheGuideReadOnly()
    {
        UserGuideWindow window(ZU_USER_GUIDE);
        const QString text = window.view()->toPlainText();
        QVERIFY(text.contains("The home page"));
        QVERIFY2(!text.contains("## "), "the Markdown is rendered, not shown as source");
        QVERIFY(window.view()->isReadOnly());
        QVERIFY(!window.view()->openLinks());
    }

    void missingGuideSaysWhere()
    {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("the user guide cannot be read"));
        UserGuideWindow window("/nonexistent/doc/user-guide.md");
        QCOMPARE(window.view()->toPlainText(),
                 QString("The user guide was not found. It is installed as /nonexistent/doc/user-guide.md."));
    }
};

QTEST_MAIN(tst_UserGuideWindow)
#include "tst_userguidewindow.moc"
