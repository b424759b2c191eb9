#include "app/installerdownload.h"

#include "cutshortserver.h"
#include "modaldriver.h"
#include "testenvironment.h"

#include <QDir>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <unistd.h>

// What the self-update refuses before it writes or runs anything. The whole update, from the
// hub's offer to the started installer, is in tst_runner.
class tst_InstallerDownload : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_env = std::make_unique<TestEnvironment>();
        qputenv("XDG_CACHE_HOME", QFile::encodeName(m_env->path() + "/cache"));
    }

    void cleanup() { removeAll(QFileInfo(InstallerDownload::folderPath()).path()); }

    void installerFileName_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("name");
        QTest::newRow("query string") << "https://dl.example/zu/setup.exe?version=2.0&os=win" << "setup.exe";
        QTest::newRow("encoded blank") << "https://dl.example/zu/zu%20setup.exe" << "zu setup.exe";
        QTest::newRow("encoded separators") << "https://dl.example/zu/a%2F..%2F..%2Fx" << "";
        QTest::newRow("encoded backslash") << "https://dl.example/zu/..%5C..%5Cx.exe" << "";
        QTest::newRow("encoded dots") << "https://dl.example/zu/%2E%2E" << "";
        QTest::newRow("dot") << "https://dl.example/zu/." << "";
        QTest::newRow("folder") << "https://dl.example/zu/" << "";
        QTest::newRow("no path") << "https://dl.example" << "";
        QTest::newRow("control character") << "https://dl.example/zu/setup%00.exe" << "";
        QTest::newRow("drive") << "https://dl.example/zu/C%3Asetup.exe" << "";
    }

    void installerFileName()
    {
        QFETCH(QString, url);
        QFETCH(QString, name);
        QCOMPARE(InstallerDownload::installerFileName(QUrl(url)), name);
    }

    void refused_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("planted");
        QTest::addColumn<QString>("detail");
        QTest::newRow("hostile name") << "http://127.0.0.1:9/zu/a%2F..%2F..%2Fx" << ""
                                      << "names no file that can be saved";
        QTest::newRow("not a web address") << "file:///bin/sh" << "" << "is not a web address";
        QTest::newRow("planted link") << "http://127.0.0.1:9/zu/setup.run" << "link"
                                      << "could not be made private";
        QTest::newRow("someone else's folder") << "http://127.0.0.1:9/zu/setup.run" << "foreign"
                                               << "could not be made private";
        QTest::newRow("cut short") << "" << "" << "Connection closed";
    }

    // Each is refused with the box and failed(); nothing is left to run, nothing planted is
    // touched.
    void refused()
    {
        QFETCH(QString, url);
        QFETCH(QString, planted);
        QFETCH(QString, detail);
        const QString folder = InstallerDownload::folderPath();
        QVERIFY(folder.startsWith(m_env->path() + "/cache/"));
        QVERIFY(QDir().mkpath(QFileInfo(folder).path()));
        QTemporaryDir elsewhere;
        QFile bait(elsewhere.filePath("keep"));
        QVERIFY(bait.open(QIODevice::WriteOnly));
        bait.close();
        if (planted == "link") {
            QVERIFY(QFile::link(elsewhere.path(), folder));
        } else if (planted == "foreign") {
            if (geteuid() != 0)
                QSKIP("only root can give a folder away");
            QVERIFY(QDir().mkdir(folder));
            QVERIFY(::chown(QFile::encodeName(folder).constData(), 65534, 65534) == 0);
        }
        CutShortServer cutShort("setup.run");
        if (url.isEmpty())
            url = cutShort.url();

        QNetworkAccessManager network;
        InstallerDownload download(&network);
        QSignalSpy failed(&download, &InstallerDownload::failed);
        ModalDriver driver;
        QString text;
        QString details;
        driver.expect<QMessageBox>([&](QMessageBox *box) {
            text = box->text();
            details = box->detailedText();
            box->accept();
        });
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("update failed"));
        if (!planted.isEmpty()) {
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("left alone"));
            QTest::ignoreMessage(QtCriticalMsg, "Unable to create temp download folder");
        }
        download.start(QUrl(url), nullptr);
        QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 15000);
        QCOMPARE(text, QString("Update Download Failed"));
        QVERIFY2(details.contains(detail), qPrintable(details));

        QCOMPARE(QDir(elsewhere.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList { "keep" });
        QVERIFY(!QFile::exists(m_env->path() + "/x"));
        QVERIFY(!QFile::exists(m_env->path() + "/cache/x"));
        if (planted.isEmpty()) {
            const QStringList left = QDir(folder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries);
            QVERIFY2(left.isEmpty(), qPrintable(left.join(", ")));
        } else {
            QVERIFY(QFileInfo(folder).isSymLink() == (planted == "link"));
        }
    }

private:
    static void removeAll(const QString &path)
    {
        QFile::remove(InstallerDownload::folderPath()); // a planted link
        QDir(path).removeRecursively();
    }

    std::unique_ptr<TestEnvironment> m_env;
};

QTEST_MAIN(tst_InstallerDownload)
#include "tst_installerdownload.moc"
