#include "shell/passchangedialog.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

class tst_PassChangeDialog : public QObject
{
    Q_OBJECT

private slots:
    void confirmNeedsConsistentFields_data()
    {
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("newPassword");
        QTest::addColumn<QString>("confirm");
        QTest::addColumn<bool>("enabled");

        QTest::newRow("all agree") << "old"
                                   << "new1"
                                   << "new1" << true;
        QTest::newRow("no current") << ""
                                    << "new1"
                                    << "new1" << false;
        QTest::newRow("mismatch") << "old"
                                  << "new1"
                                  << "new2" << false;
        QTest::newRow("empty new") << "old"
                                   << ""
                                   << "" << false;
        QTest::newRow("trailing blank differs") << "old"
                                                << "new1 "
                                                << "new1" << false;
    }

    void confirmNeedsConsistentFields()
    {
        QFETCH(QString, current);
        QFETCH(QString, newPassword);
        QFETCH(QString, confirm);
        QFETCH(bool, enabled);

        PassChangeDialog dialog;
        auto *button = dialog.findChild<QPushButton *>("confirmButton");
        QVERIFY(!button->isEnabled());
        QTest::keyClicks(dialog.findChild<QLineEdit *>("currentPassEdit"), current);
        QTest::keyClicks(dialog.findChild<QLineEdit *>("newPassEdit"), newPassword);
        QTest::keyClicks(dialog.findChild<QLineEdit *>("confirmPassEdit"), confirm);
        QCOMPARE(button->isEnabled(), enabled);
    }

    void confirmationTypedFirst()
    {
        PassChangeDialog dialog;
        auto *button = dialog.findChild<QPushButton *>("confirmButton");
        QTest::keyClicks(dialog.findChild<QLineEdit *>("confirmPassEdit"), "s3cret");
        QTest::keyClicks(dialog.findChild<QLineEdit *>("currentPassEdit"), "old");
        QVERIFY(!button->isEnabled());
        QTest::keyClicks(dialog.findChild<QLineEdit *>("newPassEdit"), "s3cre");
        QVERIFY(!button->isEnabled());
        QTest::keyClicks(dialog.findChild<QLineEdit *>("newPassEdit"), "t");
        QVERIFY(button->isEnabled());
        QCOMPARE(dialog.currentPassword(), QString("old"));
        QCOMPARE(dialog.newPassword(), QString("s3cret"));
    }

    void form()
    {
        PassChangeDialog dialog;
        QCOMPARE(dialog.objectName(), QString("PassChangeDialog"));
        for (const char *name : { "currentPassEdit", "newPassEdit", "confirmPassEdit" })
            QCOMPARE(dialog.findChild<QLineEdit *>(name)->echoMode(), QLineEdit::Password);
        QCOMPARE(dialog.findChild<QPushButton *>("cancelButton")->text(), QString("Disconnect"));
        QVERIFY(dialog.findChild<QPushButton *>("confirmButton")->isDefault());
        dialog.show();
        QTest::mouseClick(dialog.findChild<QPushButton *>("cancelButton"), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
    }
};

QTEST_MAIN(tst_PassChangeDialog)
#include "tst_passchangedialog.moc"
