#include "files/localfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// Where a name from a server listing may be written: only directly inside the chosen folder.
class tst_LocalFiles : public QObject
{
    Q_OBJECT

private slots:
    void childPath_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("plain") << "report.txt" << true;
        QTest::newRow("dots inside") << "a..b.txt" << true;
        QTest::newRow("three dots") << "..." << true;
        QTest::newRow("link inside") << "inner-link" << true;
        QTest::newRow("slash") << "sub/report.txt" << false;
        QTest::newRow("backslash") << "sub\\report.txt" << false;
        QTest::newRow("parent") << ".." << false;
        QTest::newRow("parent path") << "../report.txt" << false;
        QTest::newRow("folder itself") << "." << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("nul") << QString::fromLatin1("a\0b", 3) << false;
        QTest::newRow("drive letter") << "C:report.txt" << false;
        QTest::newRow("absolute") << "/etc/passwd" << false;
        QTest::newRow("link out") << "outer-link" << false;
        QTest::newRow("dangling link") << "dangling-link" << false;
    }

    void childPath()
    {
        QFETCH(QString, name);
        QFETCH(bool, accepted);
        QTemporaryDir base;
        const QString folder = base.filePath("downloads");
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QDir().mkpath(base.filePath("outside")));
        QFile inside(folder + "/kept.txt");
        QVERIFY(inside.open(QIODevice::WriteOnly));
        inside.close();
        QVERIFY(QFile::link(folder + "/kept.txt", folder + "/inner-link"));
        QVERIFY(QFile::link(base.filePath("outside/target.txt"), folder + "/dangling-link"));
        QFile outside(base.filePath("outside/existing.txt"));
        QVERIFY(outside.open(QIODevice::WriteOnly));
        outside.close();
        QVERIFY(QFile::link(outside.fileName(), folder + "/outer-link"));

        QString reason;
        const QString path = LocalFiles::childPath(folder, name, &reason);
        QCOMPARE(!path.isEmpty(), accepted);
        QCOMPARE(reason.isEmpty(), accepted);
        if (accepted)
            QCOMPARE(path, QDir(folder).filePath(name));
    }
};

QTEST_MAIN(tst_LocalFiles)
#include "tst_localfiles.moc"
