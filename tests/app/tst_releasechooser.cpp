#include "app/releasechooser.h"

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

class tst_ReleaseChooser : public QObject
{
    Q_OBJECT

private slots:
    void choice()
    {
        ReleaseChooser chooser;
        chooser.setReleases(
            { { "live", "Live system" }, { "test", "Test system" }, { "train", "Training" } });
        const auto buttons = chooser.findChildren<QRadioButton *>();
        QCOMPARE(buttons.size(), 3);
        QCOMPARE(chooser.selectedRelease().key, QString("live"));

        chooser.setDefault("missing");
        QCOMPARE(chooser.selectedRelease().key, QString("live"));
        chooser.setDefault("train");
        QCOMPARE(chooser.selectedRelease().key, QString("train"));
        QCOMPARE(chooser.selectedRelease().title, QString("Training"));

        QVERIFY(!chooser.makeDefault());
        chooser.findChild<QCheckBox *>("makeDefaultCB")->setChecked(true);
        QVERIFY(chooser.makeDefault());
    }

    void buttons()
    {
        ReleaseChooser chooser;
        chooser.setReleases({ { "a", "A" } });
        chooser.show();
        QTest::mouseClick(chooser.findChild<QPushButton *>("selectButton"), Qt::LeftButton);
        QCOMPARE(chooser.result(), int(QDialog::Accepted));
        chooser.show();
        QTest::mouseClick(chooser.findChild<QPushButton *>("cancelButton"), Qt::LeftButton);
        QCOMPARE(chooser.result(), int(QDialog::Rejected));
    }

    void replacingTheList()
    {
        ReleaseChooser chooser;
        chooser.setReleases({ { "a", "A" }, { "b", "B" } });
        chooser.setReleases({ { "c", "C" } });
        QCOMPARE(chooser.findChildren<QRadioButton *>().size(), 1);
        QCOMPARE(chooser.selectedRelease().key, QString("c"));
        chooser.setReleases({});
        QCOMPARE(chooser.selectedRelease().key, QString());
    }
};

QTEST_MAIN(tst_ReleaseChooser)
#include "tst_releasechooser.moc"
