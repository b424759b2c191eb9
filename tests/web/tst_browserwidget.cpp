#include "web/browserwidget.h"
#include "web/enginebrowserwidget.h"
#include "web/webpages.h"

#include "devhub/webreportserver.h"
#include "menu/mainconnection.h"
#include "menu/menuitem.h"
#include "settings/settingsmanager.h"
#include "shell/mainwindow.h"
#include "shell/taskmanager.h"

#include "cutshortserver.h"
#include "modaldriver.h"
#include "testenvironment.h"
#include "urlcatcher.h"

#include "menu.pb.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <unistd.h>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <csignal>

namespace {

constexpr int LoadMs = 30000;
constexpr char MenuPath[] = "/students/reports/enrolment.opt";

} // namespace

// Browser pages of a real desktop against the stand-in hub's report server, in a headless web
// engine. The engine is slow to start, so the cases share one desktop and its profile.
class tst_BrowserWidget : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // As root the client must keep the engine from ending it, as the test run no longer does.
        m_root = ::geteuid() == 0;
        if (m_root)
            qunsetenv("QTWEBENGINE_DISABLE_SANDBOX");
        m_env = std::make_unique<TestEnvironment>();
        // Documents (the report folder) and the engine's cache stay in the test's folder too.
        qputenv("HOME", QFile::encodeName(m_env->path()));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(m_env->path() + "/cache"));
        QDesktopServices::setUrlHandler("file", &m_opener, "open");

        QString error;
        QVERIFY2(m_web.start(QHostAddress::LocalHost, 0, &error), qPrintable(error));
        SettingsManager::resetInstance();
        m_connection = std::make_unique<MainConnection>();
        m_connection->setCredentials("jdoe", "pw");
        m_window = std::make_unique<MainWindow>(m_connection.get(), nullptr);
        m_window->show();

        Menu::MenuData root;
        root.set_menupath("/");
        auto *item = root.add_menudata();
        item->set_shortdesc("Enrolment report");
        item->set_menupath(MenuPath);
        emit m_connection->menuReceived(MenuItem::fromMenuData(root).release());
    }

    void cleanupTestCase()
    {
        m_window.reset();
        m_connection.reset();
        QDesktopServices::unsetUrlHandler("file");
    }

    // A report address from the menu session, then the windows its content opens.
    void pagesAndWindows()
    {
        // The web library is loaded with the first page, not before.
        QVERIFY(!webLibraryLoaded());

        Menu::Envelope envelope;
        auto *launch = envelope.mutable_launchurl();
        launch->set_type(Menu::LaunchUrl::cognos);
        launch->set_url(reportUrl().toString().toStdString());
        launch->set_menupath(MenuPath);
        const std::string bytes = envelope.SerializeAsString();
        if (m_root)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("runs as root: web pages are rendered without the sandbox"));
        m_connection->processMessage(bytes.data(), int(bytes.size()));

        QCOMPARE(pages().size(), 1);
        QVERIFY(webLibraryLoaded());
        BrowserWidget *first = pages().first();
        QCOMPARE(first->title(), QString("Cognos"));
        QCOMPARE(first->shortName(), QString("Er"));
        QCOMPARE(taskButtonTexts(), QStringList { "Er" });
        QWebEngineProfile *profile = first->view()->page()->profile();
        QCOMPARE(profile->storageName(), QString("jdoe"));
        QVERIFY(!profile->isOffTheRecord());
        QTRY_COMPARE_WITH_TIMEOUT(first->title(), QString("Enrolment report"), LoadMs);

        // A link to a new tab: a second page under the same menu title.
        runScript(first, "var a = document.createElement('a'); a.href = '/report'; a.target = '_blank';"
                         "document.body.appendChild(a); a.click();");
        QTRY_COMPARE_WITH_TIMEOUT(pages().size(), 2, LoadMs);
        BrowserWidget *second = pages().last();
        QCOMPARE(second->shortName(), QString("Er"));
        QCOMPARE(taskButtonTexts(), QStringList({ "Er", "Er" }));
        QTRY_COMPARE_WITH_TIMEOUT(second->title(), QString("Enrolment report"), LoadMs);

        // A separate browser window is refused.
        QTest::ignoreMessage(QtWarningMsg, "New browser type not supported!!!");
        shiftClickScript(first, "window.open('/report')");
        QTest::qWait(1000);
        QCOMPARE(pages().size(), 2);

        // A script looping on window.open, in a page opened by the first: every page, whoever
        // opens it, counts against one bound, and the refusal is logged once.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("a page refused: 16 web pages are open"));
        runScript(second, "for (var i = 0; i < 40; i++) window.open('about:blank');");
        QTRY_COMPARE_WITH_TIMEOUT(pages().size(), WebPages::MaxPages, LoadMs);
        QTest::qWait(1000);
        QCOMPARE(pages().size(), WebPages::MaxPages);
        QVERIFY(!m_window->webPages()->open("From the server"));

        for (BrowserWidget *page : pages())
            page->findChild<QPushButton *>("closeButton")->click();
        QTRY_VERIFY(pages().isEmpty());

        // Without a menu title.
        BrowserWidget *untitled = m_window->webPages()->open(m_window->menuTitleForPath(QString()));
        QCOMPARE(untitled->shortName(), QString("WV"));
        untitled->findChild<QPushButton *>("closeButton")->click();
        QTRY_VERIFY(pages().isEmpty());
        QVERIFY(taskButtonTexts().isEmpty());
    }

    // Each download belongs to its page: saved, opened, and the page closes; one cut short is
    // never opened.
    void downloads()
    {
        m_opener.opened.clear();
        QDir(BrowserWidget::reportDirectory()).removeRecursively();
        BrowserWidget *downloading = openReport();
        BrowserWidget *bystander = openReport();
        QPointer<BrowserWidget> gone(downloading);

        QTest::ignoreMessage(QtDebugMsg, "Download from different page");
        runScript(downloading, "document.querySelector('a.button').click();");
        QTRY_VERIFY_WITH_TIMEOUT(!gone, LoadMs);
        const QString saved = BrowserWidget::reportDirectory() + "/enrolment-report.pdf";
        QCOMPARE(m_opener.opened, QList<QUrl> { QUrl::fromLocalFile(saved) });
        QFile pdf(saved);
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QVERIFY(pdf.readAll().startsWith("%PDF-1.4"));
        QCOMPARE(pages(), QList<BrowserWidget *> { bystander });
        QCOMPARE(taskButtonTexts(), QStringList { "Er" });

        CutShortServer cutShort("cut.pdf");
        gone = bystander;
        bystander->setUrl(QUrl(cutShort.url()));
        QTRY_VERIFY_WITH_TIMEOUT(!gone, LoadMs);
        QCOMPARE(m_opener.opened.size(), 1);
        QMessageBox *told = nullptr;
        QTRY_VERIFY((told = shownBox("Download Failed")));
        QCOMPARE(told->text(), QString("The download of \"cut.pdf\" did not complete."));
        told->close();
        QVERIFY(taskButtonTexts().isEmpty());
    }

    // The render process dies: the user is asked; No leaves an empty page that still closes.
    void renderProcessKilled()
    {
        BrowserWidget *page = openReport();
        const qint64 pid = page->view()->page()->renderProcessPid();
        QVERIFY(pid > 0);
        ModalDriver driver;
        QString title;
        QString text;
        driver.expect<QMessageBox>([&](QMessageBox *box) {
            title = box->windowTitle();
            text = box->text();
            box->button(QMessageBox::No)->click();
        });
        QVERIFY(::kill(pid_t(pid), SIGKILL) == 0);
        QTRY_VERIFY_WITH_TIMEOUT(driver.allHandled(), LoadMs);
        QCOMPARE(title, QString("Render process killed"));
        QVERIFY2(text.startsWith("Render process exited with code: "), qPrintable(text));
        QVERIFY(text.endsWith("\nDo you want to reload the page ?"));
        QCOMPARE(pages(), QList<BrowserWidget *> { page });

        QPointer<BrowserWidget> gone(page);
        page->findChild<QPushButton *>("closeButton")->click();
        QTRY_VERIFY(!gone);
        QVERIFY(taskButtonTexts().isEmpty());
    }

private:
    QUrl reportUrl() const { return QUrl(QString("http://127.0.0.1:%1/report").arg(m_web.serverPort())); }

    QList<BrowserWidget *> pages() const
    {
        QList<BrowserWidget *> found;
        for (QAbstractButton *button : m_window->taskManager()->taskButtons())
            if (auto *page = qobject_cast<BrowserWidget *>(button->property("page").value<QWidget *>()))
                found << page;
        return found;
    }

    QStringList taskButtonTexts() const
    {
        QStringList texts;
        for (QAbstractButton *button : m_window->taskManager()->taskButtons())
            if (qobject_cast<TaskPageWidget *>(button->property("page").value<QWidget *>()))
                texts << button->text();
        return texts;
    }

    BrowserWidget *openReport()
    {
        BrowserWidget *page = m_window->webPages()->open(m_window->menuTitleForPath(MenuPath));
        page->setUrl(reportUrl());
        if (!QTest::qWaitFor([page] { return page->title() == QLatin1String("Enrolment report"); }, LoadMs))
            qWarning() << "the report did not load";
        return page;
    }

    static bool webLibraryLoaded()
    {
        QFile maps("/proc/self/maps");
        return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libzuweb");
    }

    static void runScript(BrowserWidget *page, const QString &script)
    {
        page->view()->page()->runJavaScript(script);
    }

    // A button that runs the script, clicked with Shift held: the engine asks for a window of
    // its own.
    static void shiftClickScript(BrowserWidget *page, const QString &script)
    {
        runScript(page, QString("var b = document.createElement('button'); b.id = 'shifted';"
                                "b.style = 'position:fixed;left:0;top:0;width:80px;height:40px';"
                                "b.onclick = function() { %1 }; document.body.appendChild(b);")
                            .arg(script));
        QTest::qWait(300);
        QWidget *target = page->view()->focusProxy();
        QTest::mouseClick(target, Qt::LeftButton, Qt::ShiftModifier, QPoint(20, 20));
    }

    static QMessageBox *shownBox(const QString &title)
    {
        for (QWidget *widget : QApplication::allWidgets())
            if (auto *box = qobject_cast<QMessageBox *>(widget))
                if (box->isVisible() && box->windowTitle() == title)
                    return box;
        return nullptr;
    }

    std::unique_ptr<TestEnvironment> m_env;
    bool m_root = false;
    UrlCatcher m_opener;
    WebReportServer m_web;
    std::unique_ptr<MainConnection> m_connection;
    std::unique_ptr<MainWindow> m_window;
};

int main(int argc, char *argv[])
{
    // Without a display the engine's view has no OpenGL: it draws in software.
    if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND"))
        qputenv("QT_QUICK_BACKEND", "software");
    // Before the application exists, as the client's own start does.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    tst_BrowserWidget test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_browserwidget.moc"
