#include "settings/settingsmanager.h"

#include "menu/mainconnection.h"

#include "menu.pb.h"

#include "fakemenufiles.h"
#include "testenvironment.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

namespace {

const QString RecentsKey = QStringLiteral("zu.example:4433:live");

QJsonObject readJson(const QByteArray &bytes)
{
    return QJsonDocument::fromJson(bytes).object();
}

QByteArray settingsFile(const QString &theme, const QString &done, const QStringList &pinned = {},
                        const QStringList &recents = {})
{
    const auto list = [](const QStringList &paths) {
        QJsonArray array;
        for (const QString &path : paths)
            array.append(QJsonObject { { "path", path }, { "time", "2026-01-02T03:04:05" } });
        return array;
    };
    QJsonObject object { { "themeName", theme },
                         { "keyMapper", QJsonObject { { "done", done } } },
                         { "pinnedLaunches",
                           QJsonObject { { RecentsKey, list(pinned) }, { "other:1:x", list({ "/keep" }) } } },
                         { "recentLaunches", QJsonObject { { RecentsKey, list(recents) } } } };
    return QJsonDocument(object).toJson();
}

QStringList paths(const SettingsManager::LaunchList &list)
{
    QStringList result;
    for (const auto &entry : list)
        result << entry.path;
    return result;
}

} // namespace

class tst_SettingsManager : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_env = std::make_unique<TestEnvironment>();
        SettingsManager::resetInstance();
    }

    void cleanup()
    {
        m_files.reset();
        m_mc.reset();
        SettingsManager::resetInstance();
        m_env.reset();
    }

    void fileNames_data()
    {
        QTest::addColumn<int>("version");
        QTest::addColumn<QString>("name");
        QTest::newRow("1") << 1 << "/.zudesktop_0001";
        QTest::newRow("26") << 26 << "/.zudesktop_001a";
        QTest::newRow("65535") << 65535 << "/.zudesktop_ffff";
    }

    void fileNames()
    {
        QFETCH(int, version);
        QFETCH(QString, name);
        QCOMPARE(SettingsManager::fileName(quint16(version)), name);
    }

    void versionOrder()
    {
        QCOMPARE(SettingsManager::newestVersion({ 1, 2, 3 }), quint16(3));
        QCOMPARE(SettingsManager::newestVersion({ 0x0003, 0xFFF0 }), quint16(0x0003));
        QCOMPARE(SettingsManager::newestVersion({ 0x0100, 0xFFF0 }), quint16(0xFFF0));
        QCOMPARE(SettingsManager::newestVersion({ 0xFFF0 }), quint16(0xFFF0));
        QVERIFY(SettingsManager::isLater(5, 4));
        QVERIFY(!SettingsManager::isLater(4, 5));
        QVERIFY(!SettingsManager::isLater(4, 4));
        QVERIFY(SettingsManager::isLater(2, 0xFFFE));
        QVERIFY(!SettingsManager::isLater(0xFFFE, 2));
    }

    void noFileOnServerWritesFirstCopy()
    {
        QSettings().setValue("settings/themeName", "Dark");
        connectSession();
        QCOMPARE(m_files->files.keys(), QStringList { "/.zudesktop_0001" });
        const QJsonObject json = readJson(m_files->files.value("/.zudesktop_0001"));
        QCOMPARE(json.value("themeName").toString(), QString("Dark"));
        QCOMPARE(json.value("keyMapper").toObject().value("done").toString(), QString("F9"));
        QVERIFY(json.value("pinnedLaunches").toObject().value(RecentsKey).isArray());
        QCOMPARE(manager()->syncState(), SettingsManager::Idle);
        QCOMPARE(manager()->fileVersion(), quint16(1));
    }

    void wrappedNumberingKeepsNewest()
    {
        connectSession([this] {
            m_files->files.insert("/.zudesktop_0003", settingsFile("Ocean", "F10"));
            m_files->files.insert("/.zudesktop_fff0", settingsFile("Old", "F2"));
        });
        QVERIFY(m_files->log.contains("get /.zudesktop_0003"));
        QVERIFY(m_files->log.contains("delete /.zudesktop_fff0"));
        QCOMPARE(m_files->files.keys(), QStringList { "/.zudesktop_0003" });
        QCOMPARE(manager()->settings().themeName, QString("Ocean"));
    }

    void serverCopyIsTaken()
    {
        QSignalSpy theme(manager(), &SettingsManager::themeNameUpdated);
        QSignalSpy doneKey(manager(), &SettingsManager::doneKeyUpdated);
        connectSession([this] {
            m_files->files.insert("/.zudesktop_001a",
                                  settingsFile("Ocean", "F10", { "/p1" }, { "/r1", "/r2" }));
        });
        QCOMPARE(theme.size(), 1);
        QCOMPARE(theme.at(0).at(0).toString(), QString("Ocean"));
        QCOMPARE(manager()->settings().doneKey, QKeySequence(Qt::Key_F10));
        QCOMPARE(doneKey.size(), 1);
        QCOMPARE(paths(manager()->pinnedLaunches()), QStringList { "/p1" });
        QCOMPARE(paths(manager()->recentLaunches()), (QStringList { "/r1", "/r2" }));
        QCOMPARE(QSettings().value("settings/themeName").toString(), QString("Ocean"));
        QCOMPARE(QSettings().value("KeyMapper/done").toString(), QString("F10"));
        // Nothing local to add: no new copy.
        QCOMPARE(m_files->files.keys(), QStringList { "/.zudesktop_001a" });
        QCOMPARE(manager()->fileVersion(), quint16(0x1a));

        // The same version again is not fetched twice.
        m_files->log.clear();
        manager()->startFetchSequence();
        settle();
        QCOMPARE(m_files->log, QStringList { "list" });
    }

    // A server copy is bound as local additions are: the first entries are kept.
    void serverListsAreBounded()
    {
        QStringList many;
        for (int i = 0; i < 1000; ++i)
            many << QString("/item%1").arg(i);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("keeping the first 25"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("keeping the first 8"));
        connectSession([this, &many] {
            m_files->files.insert("/.zudesktop_0002", settingsFile("Ocean", "F10", many, many));
        });
        QCOMPARE(paths(manager()->pinnedLaunches()), many.mid(0, SettingsManager::MaxPinned));
        QCOMPARE(paths(manager()->recentLaunches()), many.mid(0, SettingsManager::MaxRecents));
    }

    void localChangeDuringFetchWins()
    {
        connectSession([this] {
            m_files->files.insert("/.zudesktop_0004", settingsFile("Ocean", "F10"));
            // The user picks a theme while the fetch is on its way.
            connect(m_mc.get(), &MainConnection::messageReady, this, [](const QByteArray &bytes) {
                Menu::Envelope sent;
                sent.ParseFromArray(bytes.constData(), bytes.size());
                if (sent.has_filerequest()) {
                    QCOMPARE(manager()->syncState(), SettingsManager::Fetching);
                    manager()->setSettings({ "Sunrise", QKeySequence(Qt::Key_F9) });
                }
            });
        });
        settle();
        QCOMPARE(manager()->settings().themeName, QString("Sunrise"));
        QVERIFY(m_files->files.contains("/.zudesktop_0005"));
        const QJsonObject json = readJson(m_files->files.value("/.zudesktop_0005"));
        QCOMPARE(json.value("themeName").toString(), QString("Sunrise"));
        // Only the theme changed here: the server's done key is taken and kept.
        QCOMPARE(json.value("keyMapper").toObject().value("done").toString(), QString("F10"));
        QCOMPARE(manager()->settings().doneKey, QKeySequence(Qt::Key_F10));
        // Other hosts' lists are carried over.
        QCOMPARE(json.value("pinnedLaunches").toObject().value("other:1:x").toArray().size(), 1);
    }

    void corruptServerFileKeepsLocalValues()
    {
        QSettings().setValue("settings/themeName", "Dark");
        QSettings().setValue("KeyMapper/done", "F8");
        QSignalSpy theme(manager(), &SettingsManager::themeNameUpdated);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("is not valid JSON; keeping local settings"));
        connectSession([this] { m_files->files.insert("/.zudesktop_0002", "{ this is not json"); });
        QCOMPARE(theme.size(), 0);
        QCOMPARE(manager()->settings().themeName, QString("Dark"));
        QCOMPARE(manager()->settings().doneKey, QKeySequence(Qt::Key_F8));
        const QJsonObject json = readJson(m_files->files.value("/.zudesktop_0003"));
        QCOMPARE(json.value("themeName").toString(), QString("Dark"));
        QCOMPARE(json.value("keyMapper").toObject().value("done").toString(), QString("F8"));
    }

    void wrongMemberTypesKeepLocalValues()
    {
        QSettings().setValue("settings/themeName", "Dark");
        QJsonObject bad { { "themeName", 42 },
                          { "keyMapper", "F3" },
                          { "pinnedLaunches", QJsonObject { { RecentsKey, "not a list" } } },
                          { "recentLaunches", QJsonObject { { RecentsKey, QJsonArray {} } } } };
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("no usable done key"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("no usable theme name"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("damaged launch lists"));
        connectSession(
            [this, bad] { m_files->files.insert("/.zudesktop_0007", QJsonDocument(bad).toJson()); });
        QCOMPARE(manager()->settings().themeName, QString("Dark"));
        QCOMPARE(manager()->settings().doneKey, QKeySequence(Qt::Key_F9));
        const QJsonObject json = readJson(m_files->files.value("/.zudesktop_0008"));
        QCOMPARE(json.value("themeName").toString(), QString("Dark"));
        QVERIFY(json.value("pinnedLaunches").toObject().value(RecentsKey).isArray());
    }

    void failedUploadIsRetried()
    {
        connectSession([this] { m_files->files.insert("/.zudesktop_0001", settingsFile("Ocean", "F10")); });
        m_files->failNext("put", "Disk full");
        QTest::ignoreMessage(QtWarningMsg, "SettingsManager: Could not send settings file.  \"Disk full\"");
        manager()->addRecentLaunch("/students");
        settle();
        QCOMPARE(manager()->syncState(), SettingsManager::Failed);
        QVERIFY(!m_files->files.contains("/.zudesktop_0002"));

        manager()->startFetchSequence();
        settle();
        QCOMPARE(manager()->syncState(), SettingsManager::Idle);
        const QJsonObject json = readJson(m_files->files.value("/.zudesktop_0002"));
        QCOMPARE(json.value("recentLaunches")
                     .toObject()
                     .value(RecentsKey)
                     .toArray()
                     .at(0)
                     .toObject()
                     .value("path")
                     .toString(),
                 QString("/students"));
        // The older copy goes with the next listing.
        manager()->startFetchSequence();
        settle();
        QCOMPARE(m_files->files.keys(), QStringList { "/.zudesktop_0002" });
    }

    // The link drops before the server confirms a copy: the change survives, goes up after the next
    // login and is not replaced by the older server copy.
    void changeSurvivesADroppedLink()
    {
        connectSession([this] { m_files->files.insert("/.zudesktop_0001", settingsFile("Ocean", "F10")); });
        m_files->loseNext("put");
        manager()->setSettings({ "Dark", QKeySequence(Qt::Key_F1) });
        QTRY_VERIFY(m_files->log.contains("lost put"));
        QCOMPARE(manager()->syncState(), SettingsManager::Sending);

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Could not send settings file.*connection to the ZU server was lost"));
        m_mc->menuDisconnected("lost");
        QTRY_COMPARE(manager()->syncState(), SettingsManager::Offline);
        manager()->startFetchSequence(); // ignored while offline

        m_mc->setRelease("live", "Live system");
        settle();
        QCOMPARE(manager()->settings().themeName, QString("Dark"));
        QCOMPARE(manager()->settings().doneKey, QKeySequence(Qt::Key_F1));
        const QJsonObject json = readJson(m_files->files.value("/.zudesktop_0002"));
        QCOMPARE(json.value("themeName").toString(), QString("Dark"));
    }

    void serverFailuresAreLogged()
    {
        connectSession();
        m_files->failNext("list", "Permission denied");
        QTest::ignoreMessage(QtWarningMsg,
                             "SettingsManager: Could not fetch user directory.  \"Permission denied\"");
        manager()->startFetchSequence();
        settle();
        QCOMPARE(manager()->syncState(), SettingsManager::Failed);
    }

    void launchLists()
    {
        connectSession();
        for (int i = 1; i <= 9; ++i)
            manager()->addRecentLaunch(QString("/item%1").arg(i));
        QStringList expected;
        for (int i = 9; i >= 2; --i)
            expected << QString("/item%1").arg(i);
        QCOMPARE(paths(manager()->recentLaunches()), expected);

        // Launching an existing recent item moves it to the front without duplicating it.
        manager()->addRecentLaunch("/item5");
        QCOMPARE(manager()->recentLaunches().first().path, QString("/item5"));
        QCOMPARE(manager()->recentLaunches().size(), 8);

        const QDateTime old(QDate(2020, 1, 1), QTime(0, 0));
        manager()->pin("/item9", old);
        QCOMPARE(paths(manager()->pinnedLaunches()), QStringList { "/item9" });
        QVERIFY(!paths(manager()->recentLaunches()).contains("/item9"));

        // A pinned item only gets a new time.
        manager()->addRecentLaunch("/item9");
        QVERIFY(manager()->pinnedLaunches().first().time > old);
        QCOMPARE(manager()->recentLaunches().size(), 7);

        // Unpinned with an older time than every recent entry: goes to the end.
        manager()->unpin("/item9", old);
        QVERIFY(manager()->pinnedLaunches().isEmpty());
        QCOMPARE(manager()->recentLaunches().last().path, QString("/item9"));
        QCOMPARE(manager()->recentLaunches().size(), 8);

        manager()->removeLaunches({ "/item9", "/item5" });
        QCOMPARE(manager()->recentLaunches().size(), 6);
        settle();
        const QJsonObject json = readJson(m_files->files.last());
        QCOMPARE(json.value("recentLaunches").toObject().value(RecentsKey).toArray().size(), 6);
    }

    void importsOlderLocalRecents()
    {
        {
            QSettings local;
            local.beginGroup("recents");
            local.setValue("recentsStyle2", true);
            local.beginWriteArray(RecentsKey);
            local.setArrayIndex(0);
            local.setValue("path", "/old/a");
            local.setValue("time", 1700000000);
            local.endArray();
            local.endGroup();
        }
        connectSession();
        QCOMPARE(paths(manager()->recentLaunches()), QStringList { "/old/a" });
        QCOMPARE(manager()->recentLaunches().first().time.toSecsSinceEpoch(), 1700000000);
        QSettings local;
        QCOMPARE(local.beginReadArray("recents/" + RecentsKey), 0);
        local.endArray();
        const QJsonObject json = readJson(m_files->files.value("/.zudesktop_0001"));
        QCOMPARE(json.value("recentLaunches").toObject().value(RecentsKey).toArray().size(), 1);
    }

    void importsOldestLayout()
    {
        {
            QSettings local;
            local.beginWriteArray("recentLaunches");
            local.setArrayIndex(0);
            local.setValue("path", "/x");
            local.setValue("time", 1600000000);
            local.setArrayIndex(1);
            local.setValue("path", "/y");
            local.setValue("time", 1500000000);
            local.endArray();
        }
        // The server already has lists for another key only: local ones are merged in.
        const QJsonObject otherKeyOnly { { "themeName", "Ocean" },
                                         { "keyMapper", QJsonObject { { "done", "F10" } } },
                                         { "recentLaunches",
                                           QJsonObject { { "other:1:x", QJsonArray {} } } } };
        connectSession([this, otherKeyOnly] {
            m_files->files.insert("/.zudesktop_0002", QJsonDocument(otherKeyOnly).toJson());
        });
        QCOMPARE(paths(manager()->recentLaunches()), (QStringList { "/x", "/y" }));
        QVERIFY(!QSettings().contains("recentLaunches/size"));
        const QJsonObject json = readJson(m_files->files.value("/.zudesktop_0003"));
        QCOMPARE(json.value("recentLaunches").toObject().value(RecentsKey).toArray().size(), 2);
        QVERIFY(json.value("recentLaunches").toObject().contains("other:1:x"));
        QCOMPARE(json.value("themeName").toString(), QString("Ocean"));
    }

    void pollingFollowsApplicationState()
    {
        connectSession();
        manager()->applicationStateChanged(Qt::ApplicationInactive);
        QVERIFY(manager()->pollInterval() >= 40500 && manager()->pollInterval() < 49500);
        manager()->applicationStateChanged(Qt::ApplicationActive);
        QVERIFY(manager()->pollInterval() >= 9000 && manager()->pollInterval() < 11000);
        QVERIFY(manager()->isPolling());
        settle();
        manager()->applicationStateChanged(Qt::ApplicationHidden);
        QVERIFY(!manager()->isPolling());

        m_mc->menuDisconnected("gone");
        QCOMPARE(manager()->syncState(), SettingsManager::Offline);
        // Not connected: application state changes are ignored.
        manager()->applicationStateChanged(Qt::ApplicationActive);
        QVERIFY(!manager()->isPolling());
    }

private:
    static SettingsManager *manager() { return SettingsManager::instance(); }

    void connectSession(const std::function<void()> &seed = {})
    {
        m_mc = std::make_unique<MainConnection>();
        manager()->setMainConnection(m_mc.get());
        m_files = std::make_unique<FakeMenuFiles>(m_mc.get());
        if (seed)
            seed();
        manager()->setRecentsKey(RecentsKey);
        m_mc->setRelease("live", "Live system");
        settle();
    }

    void settle()
    {
        QTRY_VERIFY_WITH_TIMEOUT(m_files->pendingReplies() == 0
                                     && manager()->syncState() != SettingsManager::Listing
                                     && manager()->syncState() != SettingsManager::Fetching
                                     && manager()->syncState() != SettingsManager::Sending,
                                 5000);
    }

    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<MainConnection> m_mc;
    std::unique_ptr<FakeMenuFiles> m_files;
};

QTEST_MAIN(tst_SettingsManager)
#include "tst_settingsmanager.moc"
