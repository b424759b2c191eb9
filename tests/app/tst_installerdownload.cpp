#include "app/installerdownload.h"

#include "devhub/demoinstaller.h"
#include "devhub/webreportserver.h"
#include "hub/certificatepins.h"

#include "cutshortserver.h"
#include "modaldriver.h"
#include "testcertificates.h"
#include "testenvironment.h"

#include <QDir>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSslConfiguration>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

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
        QVERIFY2(TestCertificates::instance().isValid(), qPrintable(TestCertificates::instance().errorText()));
        TestCertificates::trustAuthority(true);
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
        QTest::newRow("hostile name") << "https://127.0.0.1:9/zu/a%2F..%2F..%2Fx" << ""
                                      << "names no file that can be saved";
        QTest::newRow("not a web address") << "file:///bin/sh" << "" << "is not a web address";
        QTest::newRow("planted link") << "https://127.0.0.1:9/zu/setup.run" << "link"
                                      << "could not be made private";
        QTest::newRow("someone else's folder") << "https://127.0.0.1:9/zu/setup.run" << "foreign"
                                               << "could not be made private";
        QTest::newRow("cut short") << "" << "" << "Connection closed";
        // Never even asked for: the server sees no connection.
        QTest::newRow("plain http") << "http" << "" << "is not https";
        QTest::newRow("another host") << "localhost" << "" << "is not on the hub's host or a host the local configuration allows (127.0.0.1)";
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
        cutShort.setTls(true);
        if (url.isEmpty())
            url = cutShort.url();
        else if (url == "http")
            url = cutShort.url().replace("https:", "http:");
        else if (url == "localhost")
            url = cutShort.url().replace("127.0.0.1", "localhost");

        QNetworkAccessManager network;
        InstallerDownload download(&network);
        download.setAllowedHosts({ "127.0.0.1" });
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
        QCOMPARE(cutShort.connectionCount(), QString(QTest::currentDataTag()) == "cut short" ? 1 : 0);

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

    // An installer comes from the hub's own host or one the local configuration names; a hub whose
    // certificate was ignored once could name any other.
    void installerHosts_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("the hub's host") << "https://hub.college.example/zu/setup.exe" << true;
        QTest::newRow("another case") << "https://HUB.College.example/zu/setup.exe" << true;
        QTest::newRow("configured") << "https://mirror.college.example:8443/setup.exe" << true;
        QTest::newRow("another host") << "https://downloads.example/setup.exe" << false;
        QTest::newRow("a longer name") << "https://hub.college.example.attacker.example/setup.exe" << false;
        QTest::newRow("a user part") << "https://hub.college.example@attacker.example/setup.exe" << false;
        QTest::newRow("no host") << "https:///setup.exe" << false;
    }

    void installerHosts()
    {
        QFETCH(QString, url);
        QTEST(InstallerDownload::hostAllowed(QUrl(url), { "hub.college.example", " mirror.college.example" }),
              "allowed");
    }

    // The installer's server may show a certificate that does not validate only when the user
    // pinned that very certificate for a hub on the same host.
    void pinnedHubCertificate_data()
    {
        QTest::addColumn<bool>("samePinned");
        QTest::newRow("pinned for the hub") << true;
        QTest::newRow("another certificate") << false;
    }

    void pinnedHubCertificate()
    {
        QFETCH(bool, samePinned);
        const TestCertificates &certificates = TestCertificates::instance();
        TestCertificates::trustAuthority(false);
        const QSslCertificate pinned = samePinned ? certificates.hubCertificate() : certificates.replacementCertificate();
        QList<QSslError> unchecked;
        for (const auto error : { QSslError::SelfSignedCertificateInChain, QSslError::UnableToGetLocalIssuerCertificate,
                                  QSslError::UnableToVerifyFirstCertificate, QSslError::UnableToGetIssuerCertificate })
            unchecked << QSslError(error, pinned);
        CertificatePins::trust("127.0.0.1:4433", pinned, unchecked);

        QTemporaryDir installation; // the client's folder, with the update script
        QVERIFY(QDir(installation.path()).mkpath("scripts"));
        QFile script(installation.path() + "/scripts/auto_update.qs");
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.close();
        const QString startFolder = QDir::currentPath();
        QDir::setCurrent(installation.path());

        WebReportServer web;
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setLocalCertificateChain(certificates.hubChain());
        tls.setPrivateKey(certificates.hubKey());
        web.setTlsConfiguration(tls);
        web.setInstallerRecordPath(m_env->path() + "/installer-run.txt");
        QString error;
        QVERIFY2(web.start(QHostAddress::LocalHost, 0, &error), qPrintable(error));

        QNetworkAccessManager network;
        auto download = std::make_unique<InstallerDownload>(&network);
        download->setAllowedHosts({ "127.0.0.1" });
        QSignalSpy failed(download.get(), &InstallerDownload::failed);
        ModalDriver driver;
        QString details;
        driver.expect<QMessageBox>([&](QMessageBox *box) {
            details = box->detailedText();
            box->accept();
        });
        if (samePinned) {
            QTest::ignoreMessage(QtInfoMsg, QRegularExpression("certificate pinned for the hub on 127.0.0.1 accepted"));
        } else {
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("was not accepted"));
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("update failed"));
        }
        download->start(QUrl(DemoInstaller::defaultUrl("127.0.0.1", web.serverPort(), "2.0")), nullptr);
        const QString scriptCopy = InstallerDownload::folderPath() + "/" + InstallerDownload::ScriptName;
        QTRY_VERIFY_WITH_TIMEOUT(failed.size() == 1 || QFile::exists(scriptCopy), 15000);
        const QString installer = download->installerPath();
        const bool downloaded = QFileInfo(installer).isExecutable();
        download.reset(); // before anything could start it
        QDir::setCurrent(startFolder);
        CertificatePins::forget("127.0.0.1:4433");
        TestCertificates::trustAuthority(true);
        clearQuitRequest();

        QCOMPARE(downloaded, samePinned);
        QCOMPARE(failed.isEmpty(), samePinned);
        if (!samePinned) {
            QVERIFY2(details.contains("was not accepted") && details.contains(CertificatePins::fingerprint(certificates.hubCertificate())),
                     qPrintable(details));
            QVERIFY(!QFile::exists(installer));
        }
    }

private:
    // A download that completes asks the application to quit; with no event loop running, the
    // request would end the next dialog's loop at once.
    static void clearQuitRequest()
    {
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();
    }

    static void removeAll(const QString &path)
    {
        QFile::remove(InstallerDownload::folderPath()); // a planted link
        QDir(path).removeRecursively();
    }

    std::unique_ptr<TestEnvironment> m_env;
};

QTEST_MAIN(tst_InstallerDownload)
#include "tst_installerdownload.moc"
