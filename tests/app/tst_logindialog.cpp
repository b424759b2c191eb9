#include "app/logindialog.h"

#include "shownplaintext.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>

namespace {

HostEntry host(const QString &name, const QString &release = QString())
{
    HostEntry entry;
    entry.name = name;
    entry.host = name + ".example";
    entry.port = 4433;
    entry.defaultRelease = release;
    return entry;
}

template<typename T>
T *child(const LoginDialog &dialog, const char *name)
{
    T *widget = dialog.findChild<T *>(QLatin1String(name));
    if (!widget)
        qFatal("missing child %s", name);
    return widget;
}

} // namespace

class tst_LoginDialog : public QObject
{
    Q_OBJECT

private slots:
    void initialForm()
    {
        LoginDialog dialog;
        QCOMPARE(dialog.windowTitle(), QString("Halvorne ZU"));
        QCOMPARE(child<QLabel>(dialog, "versionLabel")->text(), QString("v1.9.0-143"));
        QVERIFY(!child<QLabel>(dialog, "logo")->pixmap(Qt::ReturnByValue).isNull());
        QCOMPARE(child<QLineEdit>(dialog, "usernameEdit")->placeholderText(), QString("Username"));
        QCOMPARE(child<QLineEdit>(dialog, "passwordEdit")->echoMode(), QLineEdit::Password);
        QCOMPARE(child<QPushButton>(dialog, "connectButton")->text(), QString("Login"));
        QVERIFY(!dialog.rememberUsername());
        QVERIFY(dialog.connectToDefault());
        QCOMPARE(dialog.statusPage(), int(LoginDialog::BlankPage));
        for (const char *name : { "errorPanelLogin", "errorIconLogin", "errorLabelLogin", "statusPanelLogin",
                                  "statusIconLogin", "statusLabelLogin", "blankStatusPanelLogin",
                                  "capsLockLabel", "hostWidget", "hostsCombo", "statusStack" })
            QVERIFY2(dialog.findChild<QWidget *>(name), name);
    }

    void hostRowOnlyForSeveralHosts()
    {
        LoginDialog dialog;
        dialog.show();
        dialog.setHosts({ host("only") }, "gone");
        QVERIFY(!child<QWidget>(dialog, "hostWidget")->isVisible());
        QCOMPARE(dialog.selectedHost().name, QString("only"));

        dialog.setHosts({ host("a"), host("b"), host("c") }, "b");
        QVERIFY(child<QWidget>(dialog, "hostWidget")->isVisible());
        QCOMPARE(dialog.selectedHost().name, QString("b"));
        QCOMPARE(dialog.selectedHost().host, QString("b.example"));
        QVERIFY(dialog.minimumWidth() == 350 && dialog.maximumWidth() == 400);
        QCOMPARE(dialog.maximumHeight() - dialog.minimumHeight(), 75);

        // A remembered host that no longer exists selects the first.
        dialog.setHosts({ host("a"), host("b") }, "removed");
        QCOMPARE(dialog.selectedHost().name, QString("a"));
    }

    void defaultReleaseBox()
    {
        LoginDialog dialog;
        dialog.show();
        dialog.setHosts({ host("plain"), host("withDefault", "live") }, "plain");
        auto *box = child<QCheckBox>(dialog, "connectToDefault");
        QVERIFY(!box->isVisible());
        child<QComboBox>(dialog, "hostsCombo")->setCurrentText("withDefault");
        QVERIFY(box->isVisible());
        QCOMPARE(box->text(), QString("Connect to Default Release\n\"live\""));
    }

    void statusArea()
    {
        LoginDialog dialog;
        dialog.setError("  Connection refused \n");
        QCOMPARE(dialog.statusPage(), int(LoginDialog::ErrorPage));
        QCOMPARE(dialog.errorText(), QString("Connection refused"));
        dialog.setStatus("Connecting...");
        QCOMPARE(dialog.statusPage(), int(LoginDialog::StatusPage));
        QCOMPARE(dialog.statusText(), QString("Connecting..."));
        // Hub error texts are shown as they are, never as markup.
        dialog.setError("Error 7: <b>locked</b>");
        QCOMPARE(shownText(dialog.findChild<QLabel *>("errorLabelLogin")), QString("Error 7: <b>locked</b>"));
        dialog.setError("   ");
        QCOMPARE(dialog.statusPage(), int(LoginDialog::BlankPage));
        dialog.setStatus("");
        QCOMPARE(dialog.statusPage(), int(LoginDialog::BlankPage));
    }

    void inputsAndFocus()
    {
        LoginDialog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto *user = child<QLineEdit>(dialog, "usernameEdit");
        auto *password = child<QLineEdit>(dialog, "passwordEdit");

        QTest::keyClicks(password, "secret");
        dialog.enableInputs(false);
        for (const char *name : { "usernameEdit", "passwordEdit", "hostsCombo", "connectButton",
                                  "rememberUsername", "connectToDefault" })
            QVERIFY2(!child<QWidget>(dialog, name)->isEnabled(), name);

        // No user name: the password goes, the user name gets the focus.
        dialog.enableInputs(true);
        QVERIFY(password->text().isEmpty());
        QTRY_COMPARE(QApplication::focusWidget(), user);

        dialog.setUsername("jdoe");
        QTest::keyClicks(password, "secret");
        dialog.enableInputs(false);
        dialog.enableInputs(true);
        QCOMPARE(password->text(), QString("secret"));
        QCOMPARE(password->selectedText(), QString("secret"));
        QTRY_COMPARE(QApplication::focusWidget(), password);
        QCOMPARE(dialog.username(), QString("jdoe"));
        QCOMPARE(dialog.password(), QString("secret"));

        QSignalSpy clicked(&dialog, &LoginDialog::connectClicked);
        QTest::mouseClick(child<QPushButton>(dialog, "connectButton"), Qt::LeftButton);
        QCOMPARE(clicked.size(), 1);
    }

    void capsLockLabelIsEmptyWhenUnknown()
    {
        // Headless there is no keyboard state to read: the label says nothing.
        LoginDialog dialog;
        dialog.updateCapsLock();
        QCOMPARE(child<QLabel>(dialog, "capsLockLabel")->text(), QString());
    }
};

QTEST_MAIN(tst_LoginDialog)
#include "tst_logindialog.moc"
