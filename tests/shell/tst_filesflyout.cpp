#include "shell/filesflyout.h"

#include "files/filebrowser.h"
#include "menu/mainconnection.h"

#include "fakemenufiles.h"
#include "testenvironment.h"

#include "menu.pb.h"

#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QTest>

namespace {

using FileInfo = Menu::FileInfoData::FileInfo;

void addEntry(Menu::FileInfoData *listing, const std::string &name, FileInfo::FileType type, const char *date,
              const char *time, int size = 100)
{
    FileInfo *info = listing->add_fileinfo();
    info->set_name(name);
    info->set_type(type);
    info->set_date(date);
    info->set_time(time);
    info->set_size(size);
}

QStringList titles(FilesFlyout *flyout)
{
    QStringList result;
    for (const QLabel *label : flyout->findChildren<QLabel *>("fileTitle"))
        result << label->text();
    return result;
}

QRect anchor()
{
    return QRect(10, 300, 48, 48);
}

} // namespace

class tst_FilesFlyout : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { m_env = std::make_unique<TestEnvironment>(); }

    void eightNewestOfTen()
    {
        Menu::FileInfoData listing;
        listing.set_pathname("/");
        addEntry(&listing, "folder", FileInfo::DIR, "12/31/2025", "23:59:59");
        for (int day = 1; day <= 10; ++day) {
            const std::string date = QStringLiteral("03/%1/2025").arg(day, 2, 10, QLatin1Char('0')).toStdString();
            addEntry(&listing, "day" + std::to_string(day), FileInfo::FILE, date.c_str(), "09:00:00");
        }
        // Times read as the user's locale writes them.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        FilesFlyout *flyout = FilesFlyout::showFlyout(listing, anchor(), nullptr);
        QLocale::setDefault(QLocale::system());
        QCOMPARE(flyout->objectName(), QString("filesFlyout"));
        QCOMPARE(titles(flyout), (QStringList { "day10", "day9", "day8", "day7", "day6", "day5", "day4", "day3" }));
        QCOMPARE(flyout->findChildren<QLabel *>("fileTime").first()->text(), QString("3/10/25 9:00 AM"));
        QCOMPARE(flyout->findChild<QLabel *>("headerText")->text(), QString("Recent Files"));

        // A second flyout replaces the first.
        QPointer<FilesFlyout> first = flyout;
        FilesFlyout::showFlyout(listing, anchor(), nullptr);
        QVERIFY(!first);
        QVERIFY(FilesFlyout::current());
        delete FilesFlyout::current();
    }

    // Saved in the same second, as a batch of files often is: none of them is dropped.
    void filesOfTheSameTimeAllStay()
    {
        Menu::FileInfoData listing;
        for (const char *name : { "a.txt", "b.txt", "c.txt" })
            addEntry(&listing, name, FileInfo::FILE, "05/05/2025", "10:00:00");
        std::unique_ptr<FilesFlyout> flyout(FilesFlyout::showFlyout(listing, anchor(), nullptr));
        QCOMPARE(titles(flyout.get()).size(), 3);
    }

    void largeFileOffersNoViewOrDownload()
    {
        Menu::FileInfoData listing;
        addEntry(&listing, "big.csv", FileInfo::FILE, "05/05/2025", "10:00:00", FileBrowser::MaxTransferSize + 1);
        addEntry(&listing, "limit.csv", FileInfo::FILE, "05/04/2025", "10:00:00", FileBrowser::MaxTransferSize);
        std::unique_ptr<FilesFlyout> flyout(FilesFlyout::showFlyout(listing, anchor(), nullptr));
        QMap<QString, QStringList> actions;
        for (const QPushButton *button : flyout->findChildren<QPushButton *>("fileMenuButton")) {
            for (const QAction *action : button->menu()->actions())
                actions[button->property("filename").toString()] << action->text();
        }
        QCOMPARE(actions.value("big.csv"), (QStringList { "Rename", "Copy", "Delete", "Print" }));
        QCOMPARE(actions.value("limit.csv"), (QStringList { "View", "Rename", "Copy", "Delete", "Download", "Print" }));
    }

    void noPlainFiles()
    {
        Menu::FileInfoData listing;
        addEntry(&listing, "folder", FileInfo::DIR, "05/05/2025", "10:00:00");
        std::unique_ptr<FilesFlyout> flyout(FilesFlyout::showFlyout(listing, anchor(), nullptr));
        QCOMPARE(flyout->findChild<QLabel *>("headerText")->text(), QString("No recent files"));
        QVERIFY(titles(flyout.get()).isEmpty());
        QVERIFY(flyout->findChild<QPushButton *>("browseButton"));
        QCOMPARE(flyout->findChild<QLabel *>("footerText")->text(), QString("Browse Files"));
    }

    // The actions work on the listed directory, and do nothing once the browser is gone.
    void actionsGoToTheBrowser()
    {
        MainConnection connection;
        FakeMenuFiles server(&connection);
        connection.setRelease("live", "Live College Records"); // requests go out only when connected
        auto *browser = new FileBrowser(&connection);
        QTRY_COMPARE(server.pendingReplies(), 0);
        Menu::FileInfoData listing;
        listing.set_pathname("/reports");
        addEntry(&listing, "term.txt", FileInfo::FILE, "05/05/2025", "10:00:00");

        FilesFlyout *flyout = FilesFlyout::showFlyout(listing, anchor(), browser);
        QMenu *menu = flyout->findChild<QPushButton *>("fileMenuButton")->menu();
        menu->actions().first()->trigger(); // View
        QVERIFY(server.log.contains("get /reports/term.txt"));
        QTRY_VERIFY(!FilesFlyout::current()); // closed by its action

        flyout = FilesFlyout::showFlyout(listing, anchor(), browser);
        menu = flyout->findChild<QPushButton *>("fileMenuButton")->menu();
        delete browser;
        const int requests = server.log.size();
        menu->actions().first()->trigger();
        QCOMPARE(server.log.size(), requests);
    }

    void browseFilesByItsWords()
    {
        MainConnection connection;
        FakeMenuFiles server(&connection);
        connection.setRelease("live", "Live College Records");
        FileBrowser browser(&connection);
        QTRY_COMPARE(server.pendingReplies(), 0);
        FilesFlyout *flyout = FilesFlyout::showFlyout(Menu::FileInfoData(), anchor(), &browser);
        QLabel *words = nullptr;
        for (QLabel *label : flyout->findChildren<QLabel *>("footerText"))
            words = label;
        QVERIFY(words);
        QCOMPARE(words->text(), QString("Browse Files"));
        QTest::mouseClick(words, Qt::LeftButton);
        QTRY_VERIFY(browser.isVisible());
        QTRY_VERIFY(!FilesFlyout::current());
    }

private:
    std::unique_ptr<TestEnvironment> m_env;
};

QTEST_MAIN(tst_FilesFlyout)
#include "tst_filesflyout.moc"
