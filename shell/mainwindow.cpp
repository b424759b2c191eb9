#include "mainwindow.h"

#include "applicationkinds.h"
#include "filesflyout.h"
#include "homepagewidget.h"
#include "launchinflight.h"
#include "menuitemmodel.h"
#include "passwordchange.h"
#include "quitguard.h"
#include "scheduledprocessflyout.h"
#include "settingsdialog.h"
#include "taskmanager.h"
#include "userguidewindow.h"
#include "zoomkeys.h"

#include "applinks/sessionrouter.h"
#include "files/documentviewers.h"
#include "files/filebrowser.h"
#include "files/textprintqueue.h"
#include "menu/mainconnection.h"
#include "menu/menuitem.h"
#include "menu/weburl.h"
#include "terminal/terminaltaskwidget.h"
#include "utils/noticeboard.h"
#include "utils/taskpagewidget.h"
#include "utils/windowfit.h"
#include "web/webpages.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDebug>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QSettings>
#include <QShortcut>
#include <QStatusBar>
#include <QUrl>

namespace {

const QString GeometryKey = QStringLiteral("MainWindow/geometry");
const QString StateKey = QStringLiteral("MainWindow/windowState");
const QString HelpSite = QStringLiteral("https://help.halvorne.example/zu");
constexpr int StatusMessageMs = 6000;

} // namespace

MainWindow::MainWindow(MainConnection *connection, QTcpServer *listener, QWidget *parent)
    : QMainWindow(parent)
    , m_mainConnection(connection)
{
    buildForm();
    m_router = new SessionRouter(this, listener, applicationKinds(), this);
    m_viewers = new DocumentViewers(this);
    m_printQueue = new TextPrintQueue(this);
    m_webPages = new WebPages(connection->username(), this, this);
    m_quitGuard = new QuitGuard(this, m_router, m_taskManager);
    m_launch = new LaunchInFlight(this);
    connect(m_launch, &LaunchInFlight::waiting, statusBar(), [this](const QString &notice) {
        statusBar()->showMessage(notice);
    });
    connect(m_launch, &LaunchInFlight::waitOver, statusBar(), [this](const QString &notice) {
        if (statusBar()->currentMessage() == notice)
            statusBar()->clearMessage();
    });
    connect(m_webPages, &WebPages::notice, this, &MainWindow::showStatus);
    connect(m_router, &SessionRouter::printDocument, m_printQueue, &TextPrintQueue::print);
    connect(m_router, &SessionRouter::viewData, m_viewers, &DocumentViewers::view);
    connect(m_router, &SessionRouter::notice, this, &MainWindow::showStatus);
    connect(m_viewers, &DocumentViewers::printRequested, m_printQueue, &TextPrintQueue::print);
    connect(m_viewers, &DocumentViewers::statusMessage, this, &MainWindow::showStatus);
    connect(m_printQueue, &TextPrintQueue::statusMessage, this, &MainWindow::showStatus);
    connect(m_printQueue, &TextPrintQueue::cancelled, this, [this] {
        if (m_fileBrowser)
            m_fileBrowser->cancelBatch();
    });
    connect(m_taskManager, &TaskManager::isModalRequiredChanged, this, &MainWindow::taskmanagerModal);

    m_menuModel = new MenuItemModel(this);
    m_homePage = new HomePageWidget(m_menuModel, this);
    m_homePage->setUserName(connection->username());
    m_homePage->setReaseName(connection->releaseTitle());
    m_taskManager->setHomePage(m_homePage);
    connect(m_homePage, &HomePageWidget::itemActivated, this, [this](const QModelIndex &index) {
        m_launch->requested(index.data(Qt::DisplayRole).toString());
        emit menuOptionSelected(index.data(MenuItemModel::MenuPathRole).toString());
    });
    connect(m_homePage, &HomePageWidget::logOutActivated, this, &MainWindow::requestLogOut);
    connect(m_homePage, &HomePageWidget::changeReleaseActivated, this, &MainWindow::changeReleaseRequested);
    connect(m_homePage, &HomePageWidget::userSettingsActivated, this, &MainWindow::launchUserSettings);
    connect(m_homePage, &HomePageWidget::menuHistoryActivated, this, &MainWindow::menuHistoryRequested);
    connect(m_homePage, &HomePageWidget::userGuideActivated, this, &MainWindow::showUserGuide);
    connect(m_actionManual, &QAction::triggered, this, [this] { displayHelpTopic(); });
    connect(m_taskManager, &TaskManager::filesActivated, this, &MainWindow::filesActivated);
    connectMenuSession();

    QSettings settings;
    restoreGeometry(settings.value(GeometryKey).toByteArray());
    fitWindowOntoDesktop(this);
    restoreState(settings.value(StateKey).toByteArray());

    m_homePage->setFocus(Qt::OtherFocusReason);
    new ZoomKeys(this);
    auto *focusReport = new QShortcut(QKeySequence(Qt::Key_F12), this);
    connect(focusReport, &QShortcut::activated, this, [] {
        QStringList chain;
        for (QWidget *widget = QApplication::focusWidget(); widget; widget = widget->parentWidget())
            chain << widget->objectName();
        qInfo() << "Focus widget:" << chain;
    });
}

MainWindow::~MainWindow()
{
    // Sessions take their pages off the task bar as they go, so they must go while it still exists.
    delete m_router;
    delete m_viewers;
    delete m_fileBrowser.data();
    delete m_webPages;
    delete m_settingsDialog.data();
    delete m_userGuide.data();
}

void MainWindow::buildForm()
{
    setObjectName(QStringLiteral("MainWindow"));
    resize(1152, 864);
    setMinimumSize(750, 550);
    setCursor(Qt::ArrowCursor);
    setIconSize(QSize(24, 24));
    setWindowTitle(QStringLiteral("Halvorne ZU"));
    setWindowIcon(QIcon(QStringLiteral(":/images/halvorne_logo_small.jpg")));

    m_actionManual = new QAction(QStringLiteral("ZU Manual..."), this);
    m_actionManual->setObjectName(QStringLiteral("actionZU_Manual"));
    m_actionManual->setToolTip(QStringLiteral("ZU Manual"));
    addAction(m_actionManual);

    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralWidget"));
    auto *layout = new QHBoxLayout(central);
    layout->setObjectName(QStringLiteral("centralLayout"));
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
    m_taskManager = new TaskManager(central);
    m_taskManager->setObjectName(QStringLiteral("taskManager"));
    layout->addWidget(m_taskManager);
    setCentralWidget(central);

    // Only there while it has something to say.
    statusBar()->hide();
    connect(statusBar(), &QStatusBar::messageChanged, statusBar(),
            [this](const QString &message) { statusBar()->setVisible(!message.isEmpty()); });
}

void MainWindow::connectMenuSession()
{
    MainConnection *connection = m_mainConnection;
    ScheduledProcesses *scheduled = connection->scheduledProcesses();
    connect(m_taskManager, &TaskManager::schedProcActivated, scheduled, &ScheduledProcesses::requestList);
    connect(scheduled, &ScheduledProcesses::listArrived, this, [this, scheduled](const ScheduledProcesses::List &list) {
        ScheduledProcessFlyout::showFlyout(list, m_taskManager->schedButtonRect(), scheduled);
    });
    connect(scheduled, &ScheduledProcesses::countChanged, m_taskManager, &TaskManager::setScheduledTaskCount);
    m_taskManager->setScheduledTaskCount(scheduled->count());
    connect(connection, &MainConnection::menuReceived, this, &MainWindow::setRootMenuItem);
    connect(connection, &MainConnection::openWebPage, this, &MainWindow::openWebPage);
    connect(connection, &MainConnection::invalidAddress, this, &MainWindow::showInvalidAddress);
    connect(connection, &MainConnection::statusNotice, this, &MainWindow::showStatus);
}

void MainWindow::showStatus(const QString &text)
{
    statusBar()->showMessage(text, StatusMessageMs);
}

void MainWindow::addTaskPage(TaskPageWidget *page)
{
    if (!page)
        return;
    const QString launched = m_launch->takeTitle();
    auto *terminal = qobject_cast<TerminalTaskWidget *>(page);
    if (terminal && !launched.isEmpty())
        terminal->setMenuTitle(launched);
    m_taskManager->addPage(page);
}

void MainWindow::removeTaskPage(TaskPageWidget *page, bool delayed)
{
    if (page)
        m_taskManager->removePage(page, delayed);
}

void MainWindow::reattachTaskPage(TaskPageWidget *page)
{
    if (page)
        m_taskManager->reattachForm(page);
}

QString MainWindow::menuTitleForPath(const QString &menuPath) const
{
    if (menuPath.isEmpty())
        return QString();
    const QModelIndexList hits = m_menuModel->match(QModelIndex(), MenuItemModel::MenuPathRole, menuPath, 1,
                                                    Qt::MatchExactly | Qt::MatchRecursive);
    return hits.isEmpty() ? QString() : hits.first().data(Qt::DisplayRole).toString();
}

void MainWindow::setLinkUp(bool up)
{
    m_homePage->setEnabled(up);
    if (!up)
        setHubAnswering(true);
}

void MainWindow::setHubAnswering(bool answering)
{
    m_router->setHubAnswering(answering);
    m_launch->setHubAnswering(answering);
}

void MainWindow::showRelease()
{
    m_homePage->setReaseName(m_mainConnection->releaseTitle());
}

void MainWindow::requestLogOut()
{
    qInfo() << "The user asks to log out";
    if (m_quitGuard->mayLeave(QuitGuard::Leaving::LogOut, [this] { emit logOutAgreed(); }))
        emit logOutAgreed();
}

void MainWindow::displayHelpTopic(const QString &url)
{
    const QString address = url.isEmpty() ? HelpSite : url;
    if (!isWebUrl(QUrl(address))) {
        qWarning() << "MainWindow::displayHelpTopic() - refused to open" << address
                   << "; only http and https are opened";
        showStatus(QStringLiteral("The help address \"%1\" was not opened; only web addresses are opened.").arg(address));
        return;
    }
    qInfo() << "Launching external help documentation URL:" << address;
    QDesktopServices::openUrl(QUrl(address));
}

void MainWindow::setRootMenuItem(MenuItem *rootItem)
{
    m_menuModel->setRoot(rootItem);
}

void MainWindow::launchUserSettings()
{
    if (!m_settingsDialog) {
        m_settingsDialog = new SettingsDialog;
        connect(m_settingsDialog, &SettingsDialog::passwordChangeRequested, this,
                [this](const QString &current, const QString &changed) {
                    if (!m_passwordChange)
                        return;
                    // A closed dialog is only waiting to be deleted: not a parent for the box.
                    m_passwordChange->request(current, changed, [this](bool) -> QWidget * {
                        if (m_settingsDialog && m_settingsDialog->isVisible())
                            return m_settingsDialog;
                        return this;
                    });
                });
    }
    m_settingsDialog->showNormal();
    m_settingsDialog->raise();
    m_settingsDialog->activateWindow();
}

void MainWindow::menuHistoryRequested()
{
    if (m_mainConnection->historyFile().isEmpty()) {
        qWarning() << "Menu History filename not available.";
        return;
    }
    fileBrowser()->downloadAndView(QStringLiteral("Menu History"), m_mainConnection->historyFile());
}

FileBrowser *MainWindow::fileBrowser()
{
    if (!m_fileBrowser) {
        m_fileBrowser = new FileBrowser(m_mainConnection);
        connect(m_fileBrowser, &FileBrowser::viewData, m_viewers, &DocumentViewers::view, Qt::QueuedConnection);
    }
    return m_fileBrowser;
}

void MainWindow::setHubName(const QString &hubName)
{
    m_homePage->setHubName(hubName);
}

void MainWindow::showUserGuide()
{
    if (!m_userGuide)
        m_userGuide = new UserGuideWindow;
    m_userGuide->showNormal();
    m_userGuide->raise();
    m_userGuide->activateWindow();
}

void MainWindow::launchFileBrowser()
{
    FileBrowser *browser = fileBrowser();
    browser->raise();
    browser->showNormal();
}

void MainWindow::filesActivated()
{
    m_mainConnection->files()->requestFileInfo(this, QString(), false, QString(),
                                               [this](const Menu::FileInfoData *listing, const QString &error) {
        if (!error.isEmpty() || !listing) {
            qWarning() << "MainWindow::filesActivated() - the home listing failed" << error;
            return;
        }
        FilesFlyout::showFlyout(*listing, m_taskManager->filesButtonRect(), fileBrowser());
    });
}

void MainWindow::openWebPage(const QString &menuPath, const QString &title, const QUrl &url)
{
    m_launch->forget();
    m_webPages->openUrl(menuTitleForPath(menuPath), title, url);
}

void MainWindow::taskmanagerModal(bool modal)
{
    const char *const hiddenProperty = "modalHidden";
    if (modal) {
        if (m_settingsDialog)
            m_settingsDialog->close();
        if (m_fileBrowser && !m_fileBrowser->isHidden()) {
            m_fileBrowser->setProperty(hiddenProperty, true);
            m_fileBrowser->hide();
        }
        return;
    }
    if (m_fileBrowser && m_fileBrowser->property(hiddenProperty).toBool()) {
        m_fileBrowser->setProperty(hiddenProperty, false);
        m_fileBrowser->show();
        m_fileBrowser->raise();
    }
}

void MainWindow::showInvalidAddress(const QString &text, const QString &error)
{
    NoticeBoard::post(NoticeBoard::Kind::Critical, QStringLiteral("Invalid URL"),
                      QStringLiteral("ZU attempted to launch an invalid URL; please contact your system "
                                     "administrator.\n%1\n%2")
                          .arg(text, error));
}

bool MainWindow::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate)
        m_taskManager->resetButtonToContents();
    return QMainWindow::event(event);
}

// The questions open without a nested event loop; once they are all agreed to, the window closes.
void MainWindow::closeEvent(QCloseEvent *event)
{
    qInfo() << "Received request to close MainWindow";
    if (!m_quitAgreed && !m_quitGuard->mayQuit([this] {
            m_quitAgreed = true;
            close();
        })) {
        event->ignore();
        return;
    }
    QSettings settings;
    settings.setValue(GeometryKey, saveGeometry());
    settings.setValue(StateKey, saveState());
    if (m_fileBrowser)
        m_fileBrowser->close();
    event->accept();
    QCoreApplication::quit();
}
