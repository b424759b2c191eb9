#include "hubmenusession.h"

#include "files/filebrowser.h"
#include "utils/savednotice.h"

#include "fakemenufiles.h"
#include "modaldriver.h"
#include "shownplaintext.h"
#include "testenvironment.h"

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int WaitMs = 20000;

bool writeFile(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

QTableWidget *tableOf(FileBrowser *browser)
{
    return browser->findChild<QTableWidget *>("fileTable");
}

QPushButton *button(FileBrowser *browser, const char *name)
{
    return browser->findChild<QPushButton *>(name);
}

QStringList namesIn(FileBrowser *browser)
{
    QStringList names;
    QTableWidget *table = tableOf(browser);
    for (int row = 0; row < table->rowCount(); ++row)
        names << table->item(row, 0)->text();
    return names;
}

// The browser shows `path` once its listing, which holds `entry`, has arrived.
bool shows(FileBrowser *browser, const QString &path, const QString &entry)
{
    return QTest::qWaitFor(
        [&] { return browser->currentPath() == path && namesIn(browser).contains(entry); }, WaitMs);
}

void select(FileBrowser *browser, const QStringList &names)
{
    QTableWidget *table = tableOf(browser);
    table->clearSelection();
    for (int row = 0; row < table->rowCount(); ++row) {
        if (names.contains(table->item(row, 0)->text())) {
            table->setCurrentCell(row, 0, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
}

// As a user does: the row made current and Return pressed.
void open(FileBrowser *browser, const QString &name)
{
    QTableWidget *table = tableOf(browser);
    table->setCurrentCell(namesIn(browser).indexOf(name), 0);
    QTest::keyClick(table, Qt::Key_Return);
}

void press(QMessageBox *box, const QString &text)
{
    for (QAbstractButton *button : box->buttons()) {
        if (button->text() == text) {
            button->click();
            return;
        }
    }
    box->reject();
    QFAIL(qPrintable(QStringLiteral("no button %1 in \"%2\"").arg(text, box->text())));
}

// Modal widgets nobody expected, but for the progress dialog, which shows itself after 2 s.
QStringList unexpected(const ModalDriver &driver)
{
    QStringList result;
    for (const QString &entry : driver.unexpected()) {
        if (!entry.startsWith("QProgressDialog"))
            result << entry;
    }
    return result;
}

} // namespace

// The browser against the stand-in hub's file service, through the client's own menu session, as a
// user works with it; hostile listings come from a fake server.
class tst_FileBrowser : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void navigation();
    void failingListingFallsBack();
    void foldersFirstWithReadableSizes();
    void actionButtonsFollowSelection_data();
    void actionButtonsFollowSelection();
    void viewLimitIsEightMiB();
    void downloadSkipsExistingLocalFile();
    void failedDownloadSkippedLeavesLocalFile();
    void abortStopsDeleteBatch();
    void tooLargeSingleUploadOffersOnlyAbort();
    void hostileNamesNeverLeaveTheFolder();
    void progressPastTwoGiB_data();
    void progressPastTwoGiB();

private:
    QString home(const QString &path) const { return m_session->home() + path; }

    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<HubMenuSession> m_session;
};

void tst_FileBrowser::initTestCase()
{
    m_env = std::make_unique<TestEnvironment>();
    m_session = std::make_unique<HubMenuSession>();
    QVERIFY(m_session->start());
    QVERIFY(writeFile(home("/nav/in-nav.txt"), "n") && writeFile(home("/nav/a/in-a.txt"), "a")
            && writeFile(home("/nav/a/b/in-b.txt"), "b"));
    QVERIFY(writeFile(home("/limit/exact.bin"), QByteArray(FileBrowser::MaxTransferSize, '\0'))
            && writeFile(home("/limit/over.bin"), QByteArray(FileBrowser::MaxTransferSize + 1, '\0')));
    QVERIFY(writeFile(home("/dl/one.bin"), QByteArray(1000, '\xff'))
            && writeFile(home("/dl/two.bin"), QByteArray(2000, '\xff'))
            && writeFile(home("/dl/three.bin"), QByteArray(3000, '\xff')));
    QVERIFY(writeFile(home("/fail/gone.bin"), QByteArray(500, '\xfe'))
            && writeFile(home("/fail/keep.bin"), QByteArray(600, '\xfe')));
    for (int i = 1; i <= 5; ++i)
        QVERIFY(writeFile(home(QStringLiteral("/del/f%1.txt").arg(i)), "x"));
}

void tst_FileBrowser::navigation()
{
    FileBrowser browser(&m_session->connection());
    QPushButton *up = button(&browser, "buttonUp");
    QPushButton *back = button(&browser, "buttonBack");
    QPushButton *forward = button(&browser, "buttonForward");
    QVERIFY(shows(&browser, "/", "nav"));
    QVERIFY(!up->isEnabled() && !back->isEnabled() && !forward->isEnabled());

    open(&browser, "nav");
    QVERIFY(shows(&browser, "/nav", "a"));
    open(&browser, "a");
    QVERIFY(shows(&browser, "/nav/a", "b"));
    QSignalSpy viewed(&browser, &FileBrowser::viewData);
    open(&browser, "in-a.txt"); // a file is viewed, as View does
    QVERIFY(viewed.wait(WaitMs));
    QCOMPARE(viewed.first().at(0).toString(), QString("in-a.txt"));
    QCOMPARE(viewed.first().at(1).toByteArray(), QByteArray("a"));
    QCOMPARE(browser.currentPath(), QString("/nav/a"));
    open(&browser, "b");
    QVERIFY(shows(&browser, "/nav/a/b", "in-b.txt"));
    QCOMPARE(browser.findChild<QLineEdit *>("editPath")->text(), QString("/nav/a/b"));

    up->click();
    QVERIFY(shows(&browser, "/nav/a", "in-a.txt"));
    up->click();
    QVERIFY(shows(&browser, "/nav", "in-nav.txt"));
    up->click();
    QVERIFY(shows(&browser, "/", "nav"));
    QVERIFY(!up->isEnabled());
    QVERIFY(back->isEnabled() && !forward->isEnabled());

    back->click();
    QVERIFY(shows(&browser, "/nav", "in-nav.txt"));
    back->click();
    QVERIFY(shows(&browser, "/nav/a", "in-a.txt"));
    QVERIFY(forward->isEnabled());
    forward->click();
    QVERIFY(shows(&browser, "/nav", "in-nav.txt"));
    forward->click();
    QVERIFY(shows(&browser, "/", "nav"));
    QVERIFY(!forward->isEnabled());
}

void tst_FileBrowser::failingListingFallsBack()
{
    QVERIFY(writeFile(home("/gone/here.txt"), "h"));
    FileBrowser browser(&m_session->connection());
    QVERIFY(shows(&browser, "/", "gone"));
    open(&browser, "gone");
    QVERIFY(shows(&browser, "/gone", "here.txt"));
    button(&browser, "buttonBack")->click();
    QVERIFY(shows(&browser, "/", "gone"));

    QVERIFY(QDir(home("/gone")).removeRecursively());
    button(&browser, "buttonForward")->click();
    QMessageBox *box = nullptr;
    QVERIFY(QTest::qWaitFor([&] { return (box = browser.findChild<QMessageBox *>()) != nullptr; }, WaitMs));
    QCOMPARE(box->text(), QString("Could not access directory '/gone'"));
    QVERIFY(shownText(box->informativeText()).contains("/gone"));
    QVERIFY(!box->isModal());
    box->close();
    QTRY_VERIFY_WITH_TIMEOUT(!namesIn(&browser).contains("gone") && namesIn(&browser).contains("nav"), WaitMs);
    QCOMPARE(browser.currentPath(), QString("/"));
    QVERIFY(!button(&browser, "buttonBack")->isEnabled());
    QVERIFY(!button(&browser, "buttonForward")->isEnabled());
}

void tst_FileBrowser::foldersFirstWithReadableSizes()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QVERIFY(writeFile(home("/order/B-small.txt"), QByteArray(191, 'b'))
            && writeFile(home("/order/a-big.bin"), QByteArray(9437193, 'a'))
            && writeFile(home("/order/c-mid.bin"), QByteArray(1536, 'c'))
            && writeFile(home("/order/zeta/in.txt"), "z") && writeFile(home("/order/Alpha/in.txt"), "a"));
    FileBrowser browser(&m_session->connection());
    QVERIFY(shows(&browser, "/", "order"));
    open(&browser, "order");
    QVERIFY(shows(&browser, "/order", "c-mid.bin"));
    QTableWidget *table = tableOf(&browser);

    table->sortByColumn(0, Qt::AscendingOrder);
    QCOMPARE(namesIn(&browser), (QStringList { "Alpha", "zeta", "a-big.bin", "B-small.txt", "c-mid.bin" }));
    table->sortByColumn(0, Qt::DescendingOrder);
    QCOMPARE(namesIn(&browser), (QStringList { "zeta", "Alpha", "c-mid.bin", "B-small.txt", "a-big.bin" }));
    // By size the bytes count, not the text shown; folders stay on top, by name.
    table->sortByColumn(3, Qt::AscendingOrder);
    QCOMPARE(namesIn(&browser), (QStringList { "Alpha", "zeta", "B-small.txt", "c-mid.bin", "a-big.bin" }));
    table->sortByColumn(3, Qt::DescendingOrder);
    QCOMPARE(namesIn(&browser), (QStringList { "Alpha", "zeta", "a-big.bin", "c-mid.bin", "B-small.txt" }));

    QStringList sizes;
    for (int row = 0; row < table->rowCount(); ++row)
        sizes << table->item(row, 3)->text() + "|" + table->item(row, 3)->toolTip();
    QCOMPARE(
        sizes,
        (QStringList { "|", "|", "9.0 MiB|9,437,193 bytes", "1.5 KiB|1,536 bytes", "191 bytes|191 bytes" }));
    QLocale::setDefault(QLocale::system());

    // The window has room for more than six rows.
    browser.show();
    QVERIFY(QTest::qWaitForWindowExposed(&browser));
    QVERIFY(table->viewport()->height() > 6 * table->rowHeight(0));
}

void tst_FileBrowser::actionButtonsFollowSelection_data()
{
    QTest::addColumn<QStringList>("selection");
    QTest::addColumn<QStringList>("enabled");
    const QStringList all { "buttonView", "buttonRename", "buttonCopy", "buttonDelete", "buttonDownload",
                            "buttonPrint", "buttonUpload" };
    QTest::newRow("one file") << QStringList { "README.txt" } << all;
    QTest::newRow("two files") << QStringList { "README.txt", "campus.png" }
                               << QStringList { "buttonDelete", "buttonDownload", "buttonPrint", "buttonUpload" };
    QTest::newRow("folder and file") << QStringList { "nav", "README.txt" } << QStringList { "buttonUpload" };
    QTest::newRow("nothing") << QStringList() << QStringList { "buttonUpload" };
}

void tst_FileBrowser::actionButtonsFollowSelection()
{
    QFETCH(QStringList, selection);
    QFETCH(QStringList, enabled);
    FileBrowser browser(&m_session->connection());
    QVERIFY(shows(&browser, "/", "campus.png"));
    select(&browser, selection);
    QStringList actual;
    for (const char *name : { "buttonView", "buttonRename", "buttonCopy", "buttonDelete", "buttonDownload",
                              "buttonPrint", "buttonUpload" }) {
        if (button(&browser, name)->isEnabled())
            actual << name;
    }
    QCOMPARE(actual, enabled);
}

void tst_FileBrowser::viewLimitIsEightMiB()
{
    FileBrowser browser(&m_session->connection());
    QSignalSpy viewed(&browser, &FileBrowser::viewData);
    QVERIFY(shows(&browser, "/", "limit"));
    open(&browser, "limit");
    QVERIFY(shows(&browser, "/limit", "over.bin"));

    select(&browser, { "exact.bin" });
    button(&browser, "buttonView")->click();
    QVERIFY(viewed.wait(WaitMs));
    QCOMPARE(viewed.first().at(0).toString(), QString("exact.bin"));
    QCOMPARE(viewed.first().at(1).toByteArray().size(), int(FileBrowser::MaxTransferSize));

    ModalDriver driver;
    QString refusal;
    driver.expect<QMessageBox>([&refusal](QMessageBox *box) {
        refusal = box->windowTitle() + "|" + box->text();
        box->accept();
    });
    select(&browser, { "over.bin" });
    button(&browser, "buttonView")->click();
    QTRY_COMPARE(refusal, QString("File Too Large|File too big to download using ZU Client."));
    QTest::qWait(200);
    QCOMPARE(viewed.size(), 1);
}

void tst_FileBrowser::downloadSkipsExistingLocalFile()
{
    QTemporaryDir local;
    QVERIFY(writeFile(local.filePath("two.bin"), "old"));
    FileBrowser browser(&m_session->connection());
    QVERIFY(shows(&browser, "/", "dl"));
    open(&browser, "dl");
    QVERIFY(shows(&browser, "/dl", "three.bin"));
    select(&browser, { "one.bin", "two.bin", "three.bin" });

    ModalDriver driver;
    driver.expectFileChoice(local.path());
    QString question;
    // The batch starts as the question is answered: its progress is looked at then.
    QPointer<QProgressDialog> progress;
    int maximum = 0;
    driver.expect<QMessageBox>([&](QMessageBox *box) {
        question = box->text() + "|" + shownText(box->informativeText());
        press(box, "Skip");
        progress = browser.findChild<QProgressDialog *>();
        maximum = progress ? progress->maximum() : -1;
    });
    button(&browser, "buttonDownload")->click();
    QTRY_COMPARE(question, QString("File Name Exists|Local filename 'two.bin' already exists."));
    QCOMPARE(maximum, 1000 + 3000); // the skipped file does not count
    QTRY_VERIFY_WITH_TIMEOUT(!progress, WaitMs);
    QCOMPARE(readFile(local.filePath("one.bin")), QByteArray(1000, '\xff'));
    QCOMPARE(readFile(local.filePath("three.bin")), QByteArray(3000, '\xff'));
    QCOMPARE(readFile(local.filePath("two.bin")), QByteArray("old"));
    QCOMPARE(unexpected(driver), QStringList());
    // The end is told, with the way to the folder.
    auto *notice = browser.findChild<SavedNotice *>();
    QVERIFY(notice && notice->isVisible() && !notice->isModal());
    QCOMPARE(notice->text(), QString("Saved 2 files to %1").arg(QDir::toNativeSeparators(local.path())));
    QVERIFY(notice->openFolderButton());
}

void tst_FileBrowser::failedDownloadSkippedLeavesLocalFile()
{
    QTemporaryDir local;
    QVERIFY(writeFile(local.filePath("gone.bin"), "precious"));
    FileBrowser browser(&m_session->connection());
    QVERIFY(shows(&browser, "/", "fail"));
    open(&browser, "fail");
    QVERIFY(shows(&browser, "/fail", "keep.bin"));
    QVERIFY(QFile::remove(home("/fail/gone.bin"))); // listed, but gone when asked for
    select(&browser, { "gone.bin", "keep.bin" });

    ModalDriver driver;
    driver.expectFileChoice(local.path());
    driver.expect<QMessageBox>([](QMessageBox *exists) { press(exists, "Overwrite"); });
    QString failure;
    driver.expect<QMessageBox>([&failure](QMessageBox *box) {
        failure = box->text() + "|" + shownText(box->informativeText());
        press(box, "Skip");
    });
    button(&browser, "buttonDownload")->click();
    QTRY_COMPARE_WITH_TIMEOUT(readFile(local.filePath("keep.bin")), QByteArray(600, '\xfe'), WaitMs);
    QCOMPARE(failure, QString("Could not download file 'gone.bin'|No such file: '/fail/gone.bin'"));
    QCOMPARE(readFile(local.filePath("gone.bin")), QByteArray("precious"));
    QCOMPARE(unexpected(driver), QStringList());
}

void tst_FileBrowser::abortStopsDeleteBatch()
{
    FileBrowser browser(&m_session->connection());
    QVERIFY(shows(&browser, "/", "del"));
    open(&browser, "del");
    QVERIFY(shows(&browser, "/del", "f5.txt"));
    tableOf(&browser)->selectAll();

    ModalDriver driver;
    QString question;
    QPointer<QProgressDialog> progress;
    int maximum = 0;
    driver.expect<QMessageBox>([&](QMessageBox *box) {
        question = box->windowTitle() + "|" + box->text();
        box->button(QMessageBox::Yes)->click();
        // Abort while the first file is being deleted: that one goes, the others stay.
        progress = browser.findChild<QProgressDialog *>();
        maximum = progress ? progress->maximum() : -1;
        if (progress)
            progress->findChild<QPushButton *>()->click();
    });
    button(&browser, "buttonDelete")->click();
    QTRY_COMPARE(question, QString("Delete ZU Files|Are you sure you want to permanently delete these files?"));
    QCOMPARE(maximum, 5);
    QTRY_VERIFY_WITH_TIMEOUT(!progress, WaitMs);
    QCOMPARE(QDir(home("/del")).entryList(QDir::Files), (QStringList { "f2.txt", "f3.txt", "f4.txt", "f5.txt" }));
    QTRY_COMPARE_WITH_TIMEOUT(namesIn(&browser), (QStringList { "f2.txt", "f3.txt", "f4.txt", "f5.txt" }), WaitMs);
}

void tst_FileBrowser::tooLargeSingleUploadOffersOnlyAbort()
{
    QTemporaryDir local;
    const QString big = local.filePath("big.bin");
    QVERIFY(writeFile(big, QByteArray(FileBrowser::MaxTransferSize + 1, 'b')));
    FileBrowser browser(&m_session->connection());
    QVERIFY(shows(&browser, "/", "README.txt"));

    ModalDriver driver;
    driver.expectFileChoice(big);
    QString text;
    QStringList buttons;
    driver.expect<QMessageBox>([&](QMessageBox *box) {
        text = box->text() + "|" + shownText(box->informativeText());
        for (QAbstractButton *choice : box->buttons())
            buttons << choice->text();
        press(box, "Abort");
    });
    button(&browser, "buttonUpload")->click();
    QTRY_COMPARE(text, QString("FileToo Large|File 'big.bin' is too big to upload using ZU Desktop."));
    QCOMPARE(buttons, QStringList { "Abort" });
    QVERIFY(!browser.findChild<QProgressDialog *>());
    QVERIFY(!QFile::exists(home("/big.bin")));
}

void tst_FileBrowser::hostileNamesNeverLeaveTheFolder()
{
    MainConnection connection;
    FakeMenuFiles server(&connection);
    connection.setRelease("live", "Live College Records"); // requests go out only when connected
    const QStringList hostile { "../escape.bin", "sub/inner.bin", "back\\slash.bin", "C:drive.bin", "..",
                                QString::fromLatin1("nul\0.bin", 8), "link.bin" };
    for (const QString &name : hostile)
        server.files.insert("/" + name, "evil");
    server.files.insert("/ok.bin", "fine");

    QTemporaryDir base;
    const QString folder = base.filePath("downloads");
    QVERIFY(QDir().mkpath(folder) && QDir().mkpath(base.filePath("outside")));
    QVERIFY(QFile::link(base.filePath("outside/target.bin"), folder + "/link.bin"));

    FileBrowser browser(&connection);
    QVERIFY(shows(&browser, "", "ok.bin"));
    tableOf(&browser)->selectAll();
    ModalDriver driver;
    driver.expectFileChoice(folder);
    QString report;
    driver.expect<QMessageBox>([&report](QMessageBox *box) {
        report = shownText(box->informativeText());
        box->accept();
    });
    button(&browser, "buttonDownload")->click();
    QTRY_COMPARE_WITH_TIMEOUT(readFile(folder + "/ok.bin"), QByteArray("fine"), WaitMs);
    QTRY_COMPARE(server.pendingReplies(), 0);

    QCOMPARE(report.split('\n').size(), hostile.size());
    QVERIFY(report.contains("../escape.bin") && report.contains("C:drive.bin") && report.contains("link.bin"));
    QCOMPARE(server.log.filter("get "), QStringList { "get /ok.bin" });
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::System), (QStringList { "link.bin", "ok.bin" }));
    QCOMPARE(QDir(base.path()).entryList(QDir::Files), QStringList());
    QVERIFY(!QFile::exists(base.filePath("outside/target.bin")));
    QCOMPARE(unexpected(driver), QStringList());
}

void tst_FileBrowser::progressPastTwoGiB_data()
{
    QTest::addColumn<qint64>("value");
    QTest::addColumn<qint64>("total");
    QTest::addColumn<int>("units");
    QTest::addColumn<int>("maximum");
    const qint64 batch = 300LL * FileBrowser::MaxTransferSize; // 2.34 GiB of 8 MiB files
    QTest::newRow("small") << qint64(1000) << qint64(4000) << 1000 << 4000;
    QTest::newRow("largest int") << qint64(INT_MAX) << qint64(INT_MAX) << INT_MAX << INT_MAX;
    QTest::newRow("half of 2.34 GiB") << batch / 2 << batch << int(batch / 4) << int(batch / 2);
    QTest::newRow("all of 2.34 GiB") << batch << batch << int(batch / 2) << int(batch / 2);
    QTest::newRow("more than the total") << batch + 5 << batch << int(batch / 2) << int(batch / 2);
}

void tst_FileBrowser::progressPastTwoGiB()
{
    QFETCH(qint64, value);
    QFETCH(qint64, total);
    QFETCH(int, units);
    QFETCH(int, maximum);
    QCOMPARE(FileBrowser::progressUnits(value, total), units);
    QCOMPARE(FileBrowser::progressUnits(total, total), maximum);
}

QTEST_MAIN(tst_FileBrowser)
#include "tst_filebrowser.moc"
