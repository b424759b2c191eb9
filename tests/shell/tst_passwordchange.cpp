#include "shell/passwordchange.h"

#include "hub/hubconnection.h"
#include "menu/mainconnection.h"

#include "modaldriver.h"

#include <QMessageBox>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

// The hub link is not connected here: the request it is asked to send is only logged, and the
// test plays the hub's answer.
class tst_PasswordChange : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_hub = std::make_unique<HubConnection>(nullptr);
        m_change = std::make_unique<PasswordChange>(m_hub.get(), m_hub->mainConnection());
    }

    void cleanup()
    {
        m_change.reset();
        m_hub.reset();
    }

    void answerWithoutARequestIsIgnored()
    {
        ModalDriver driver;
        QSignalSpy finished(m_change.get(), &PasswordChange::finished);
        emit m_hub->changePasswordResult(true, "done");
        QTest::qWait(100);
        QVERIFY(driver.unexpected().isEmpty());
        QCOMPARE(finished.size(), 0);
    }

    // The answer is told over the window chosen when it comes, as plain text; only one change
    // waits at a time.
    void answersAreTold_data()
    {
        QTest::addColumn<bool>("success");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("success, no text") << true << "" << "Password Change Successful|Password changed as requested";
        QTest::newRow("failure") << false << "<b>too short</b>" << "Password Change Failed|<b>too short</b>";
    }

    void answersAreTold()
    {
        QFETCH(bool, success);
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QWidget window;
        QList<bool> askedFor;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("changePassword.*invalid state"));
        m_change->request("old", "new", [&](bool ok) {
            askedFor << ok;
            return &window;
        });
        QVERIFY(m_change->isPending());
        QTest::ignoreMessage(QtWarningMsg, "PasswordChange::request() - a change is already waiting for its answer");
        m_change->request("old", "other", [](bool) { return nullptr; });

        ModalDriver driver;
        QString text;
        driver.expect<QMessageBox>([&text, &window](QMessageBox *box) {
            text = box->windowTitle() + "|" + box->text();
            QCOMPARE(box->textFormat(), Qt::PlainText);
            QCOMPARE(box->parentWidget(), &window);
            box->accept();
        });
        QSignalSpy finished(m_change.get(), &PasswordChange::finished);
        emit m_hub->changePasswordResult(success, message);
        QTRY_COMPARE(text, shown);
        QCOMPARE(askedFor, QList<bool> { success });
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.at(0).at(0).toBool(), success);
        QVERIFY(!m_change->isPending());
    }

    // No answer comes over a link that went: a new change can be asked for after it.
    void droppedLinkEndsTheWait()
    {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("changePassword.*invalid state"));
        m_change->request("old", "new", [](bool) { return nullptr; });
        emit m_hub->disconnected();
        QVERIFY(!m_change->isPending());
    }

private:
    std::unique_ptr<HubConnection> m_hub;
    std::unique_ptr<PasswordChange> m_change;
};

QTEST_MAIN(tst_PasswordChange)
#include "tst_passwordchange.moc"
