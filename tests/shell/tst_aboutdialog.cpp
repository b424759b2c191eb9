#include "shell/aboutdialog.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPushButton>
#include <QTest>

class tst_AboutDialog : public QObject
{
    Q_OBJECT

private slots:
    // What support asks for, ready to paste.
    void aboutBoxCopiesItsDetails()
    {
        auto *about = new aboutDialog("Demo hub (127.0.0.1:4433)");
        const QString details = about->findChild<QLabel *>("details")->text();
        QVERIFY(details.contains("ZU Desktop 1.9.0-143"));
        QVERIFY(details.contains(QString("Qt %1").arg(qVersion())));
        QVERIFY(details.contains("Protocols: hub ZuHubProto"));
        QVERIFY(details.contains("Hub: Demo hub (127.0.0.1:4433)"));
        QVERIFY(about->windowTitle() != "Dialog");
        QApplication::clipboard()->clear();
        about->findChild<QPushButton *>("copyDetailsButton")->click();
        QCOMPARE(QApplication::clipboard()->text(), details);
        about->close();
    }
};

QTEST_MAIN(tst_AboutDialog)
#include "tst_aboutdialog.moc"
