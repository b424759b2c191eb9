#include "mainwindow.h"

#include "filesflyout.h"
#include "homepagewidget.h"
#include "menuitemmodel.h"
#include "scheduledprocessflyout.h"
#include "settingsdialog.h"
#include "taskmanager.h"
#include "utils/taskpagewidget.h"
#include "zoomkeys.h"

#include "utils/fixedfont.h"
#include "utils/windowfit.h"
#include "applicationkinds.h"
#include "applinks/applicationsession.h"
#include "files/filebrowser.h"
#include "files/fileviewer.h"
#include "files/imagefileviewer.h"
#include "files/pdffileviewer.h"
#include "hub/hostentry.h"
#include "menu/menuitem.h"
#include "menu/weburl.h"
#include "settings/settingsmanager.h"
#include "utils/openprompt.h"
#include "utils/plaintext.h"
#include "web/browserwidget.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QCloseEvent>
#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QHBoxLayout>
#include <QImageReader>
#include <QMessageBox>
#include <QPixmap>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QShortcut>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTextDocument>
#include <QUrl>

#include <algorithm>

namespace {

const QString GeometryKey = QStringLiteral("MainWindow/geometry");
const QString StateKey = QStringLiteral("MainWindow/windowState");
const QString HelpSite = QStringLiteral("https://help.halvorne.example/zu");
const QString FlyoutContext = QStringLiteral("fileFlyout");
constexpr int StatusMessageMs = 6000;
constexpr int PrintColumns = 80;
constexpr int PrintLines = 66;
// A picture that would take more memory than this to show is refused (4 bytes a pixel).
constexpr qint64 MaxPicturePixels = 64 * 1024 * 1024;

} // namespace

MainWindow::MainWindow(MainConnection *connection, QTcpServer *listener, QWidget *parent)
    : QMainWindow(parent)
    , m_mainConnection(connection)
{
    buildForm();
    m_router = new SessionRouter(this, listener, applicationKinds(), this);
    connect(m_router, &SessionRouter::printDocument, this, &MainWindow::printDocument);
    connect(m_router, &SessionRouter::viewData, this, &MainWindow::viewData);
    connect(m_router, &SessionRouter::applicationsLost, this, &MainWindow::showApplicationsLost);
    connect(m_taskManager, &TaskManager::isModalRequiredChanged, this, &MainWindow::taskmanagerModal);

    m_menuModel = new MenuItemModel(this);
    m_homePage = new HomePageWidget(m_menuModel, this);
    m_homePage->setUserName(connection->username());
    m_homePage->setReaseName(connection->releaseTitle());
    if (const HostEntry *host = connection->hostEntry())
        SettingsManager::instance()->setRecentsKey(
            QStringLiteral("%1:%2:%3").arg(host->host).arg(host->port).arg(host->defaultRelease));

    m_taskManager->setHomePage(m_homePage);
    connect(m_homePage, &HomePageWidget::itemActivated, this, &MainWindow::menuItemSelected);
    connect(m_homePage, &HomePageWidget::userSettingsActivated, this, &MainWindow::launchUserSettings);
    connect(m_homePage, &HomePageWidget::menuHistoryActivated, this, &MainWindow::menuHistoryRequested);
    connect(m_actionManual, &QAction::triggered, this, qOverload<>(&MainWindow::displayHelpTopic));

    QSettings settings;
    restoreGeometry(settings.value(GeometryKey).toByteArray());
    fitWindowOntoDesktop(this);
    restoreState(settings.value(StateKey).toByteArray());

    connect(m_taskManager, &TaskManager::schedProcActivated, connection,
            &MainConnection::requestSchedProcData);
    connect(connection, &MainConnection::schedProcListReceived, this, &MainWindow::schedProcListReceived);
    connect(connection, &MainConnection::menuReceived, this, &MainWindow::setRootMenuItem);
    connect(m_taskManager, &TaskManager::filesActivated, this, &MainWindow::filesActivated);
    connect(connection, &MainConnection::openWebPage, this, &MainWindow::openWebPage);
    connect(connection, &MainConnection::invalidAddress, this, &MainWindow::showInvalidAddress);
    connect(connection, &MainConnection::statusNotice, this,
            [this](const QString &text) { statusBar()->showMessage(text, StatusMessageMs); });
    connect(connection, &MainConnection::scheduledProcessCountChanged, m_taskManager,
            &TaskManager::setScheduledTaskCount);
    m_taskManager->setScheduledTaskCount(connection->scheduledCount());

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
    // The event loop has ended: nothing deleted later would go any more.
    for (const QPointer<QWidget> &viewer : qAsConst(m_viewers)) {
        if (viewer) {
            viewer->close();
            delete viewer.data();
        }
    }
    delete m_fileBrowser.data();
    // Pages on the profile must go before it, detached ones included. The engine then tears them
    // down in tasks of its own, which crash on a profile deleted at once: it goes later, or with
    // the engine at the end of the process.
    for (const QPointer<BrowserWidget> &page : qAsConst(m_browserPages))
        delete page.data();
    if (m_webProfile) {
        m_webProfile->setParent(nullptr);
        m_webProfile->deleteLater();
    }
    delete m_settingsDialog.data();
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

    m_centralWidget = new QWidget(this);
    m_centralWidget->setObjectName(QStringLiteral("centralWidget"));
    m_centralLayout = new QHBoxLayout(m_centralWidget);
    m_centralLayout->setObjectName(QStringLiteral("centralLayout"));
    m_centralLayout->setSpacing(0);
    m_centralLayout->setContentsMargins(0, 0, 0, 0);
    m_taskManager = new TaskManager(m_centralWidget);
    m_taskManager->setObjectName(QStringLiteral("taskManager"));
    m_centralLayout->addWidget(m_taskManager);
    setCentralWidget(m_centralWidget);

    // Only there while it has something to say.
    statusBar()->hide();
    connect(statusBar(), &QStatusBar::messageChanged, statusBar(),
            [this](const QString &message) { statusBar()->setVisible(!message.isEmpty()); });
}

void MainWindow::notAvailableYet(const QString &feature)
{
    const QString text = QStringLiteral("%1 is not available in this version yet.").arg(feature);
    qInfo() << "MainWindow:" << text;
    statusBar()->showMessage(text, StatusMessageMs);
}

void MainWindow::addTaskPage(TaskPageWidget *page)
{
    if (page)
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

QString MainWindow::fileNameForTitle(const QString &title)
{
    QString name = title.trimmed();
    static const QString unsafe = QStringLiteral(" %\\/:*?\"<>|");
    for (QChar &c : name)
        if (unsafe.contains(c))
            c = QLatin1Char('_');
    return name;
}

void MainWindow::displayHelpTopic()
{
    displayHelpTopic(QString());
}

void MainWindow::displayHelpTopic(const QString &url)
{
    const QString address = url.isEmpty() ? HelpSite : url;
    if (!isWebUrl(QUrl(address))) {
        qWarning() << "MainWindow::displayHelpTopic() - refused to open" << address
                   << "; only http and https are opened";
        statusBar()->showMessage(
            QStringLiteral("The help address \"%1\" was not opened; only web addresses are opened.")
                .arg(address),
            StatusMessageMs);
        return;
    }
    qInfo() << "Launching external help documentation URL:" << address;
    QDesktopServices::openUrl(QUrl(address));
}

void MainWindow::setRootMenuItem(MenuItem *rootItem)
{
    m_menuModel->setRoot(rootItem);
}

void MainWindow::menuItemSelected(const QModelIndex &index)
{
    emit menuOptionSelected(index.data(MenuItemModel::MenuPathRole).toString());
}

void MainWindow::filebrowserBatchPrint(bool batchInProgress)
{
    m_batchPrint = batchInProgress;
}

void MainWindow::printDocument(const QString &text)
{
    // A server sending documents faster than they are printed must not grow the client for ever.
    if (m_printQueue.size() >= MaxPrintQueue) {
        qWarning() << "MainWindow::printDocument() - print queue full; document dropped";
        statusBar()->showMessage(QStringLiteral("Too many documents are waiting to be printed; one was dropped."),
                                 StatusMessageMs);
        return;
    }
    m_printQueue.append(text);
    // A run is under way (its dialog spins the event loop): it takes this one too.
    if (m_printQueue.size() > 1)
        return;
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::ScreenResolution);
    QPrintDialog dialog(m_printer.get());
    if (dialog.exec() != QDialog::Accepted) {
        if (m_fileBrowser)
            m_fileBrowser->cancelBatch();
        m_printQueue.clear();
        return;
    }
    const QFont font = fixedPitchFont();
    const QFontMetricsF metrics(font);
    while (!m_printQueue.isEmpty()) {
        QTextDocument document;
        document.setDocumentMargin(0);
        document.setDefaultFont(font);
        document.setPlainText(m_printQueue.first());
        QSizeF size = document.pageSize();
        size.setWidth(document.idealWidth());
        size = size.expandedTo(QSizeF(PrintColumns * metrics.maxWidth(), PrintLines * metrics.lineSpacing()));
        document.setPageSize(size);
        qDebug() << "pagesize:" << size << " pagecount:" << document.pageCount()
                 << "idealwidth:" << document.idealWidth();
        document.print(m_printer.get());
        m_printQueue.removeFirst();
    }
}

// The viewer is chosen by the bytes, not by the name a server gave them.
void MainWindow::viewData(const QString &title, const QByteArray &data)
{
    if (data.isEmpty()) {
        PlainText::information(this, QStringLiteral("Unable to view"), QStringLiteral("This file is empty."));
        return;
    }
    const QString name = fileNameForTitle(title);
    qDebug() << "filename" << title << " -> " << name;
    // A server sending documents unasked must not open windows without end.
    const auto open
        = std::count_if(m_viewers.cbegin(), m_viewers.cend(),
                        [](const QPointer<QWidget> &viewer) { return viewer && viewer->isVisible(); });
    if (open >= MaxViewers) {
        qWarning() << "MainWindow::viewData() - too many viewers open;" << name << "not shown";
        statusBar()->showMessage(QStringLiteral("Too many documents are open; close some to view more."),
                                 StatusMessageMs);
        return;
    }
    if (data.startsWith("%PDF-")) {
        qInfo() << "Viewing" << name << "as PDF";
        openViewer(new PdfFileViewer(name, data, nullptr), QString());
        return;
    }
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    if (reader.canRead()) {
        const QSize size = reader.size();
        if (qint64(size.width()) * size.height() > MaxPicturePixels) {
            qWarning() << "Picture too large to view:" << name << size;
            PlainText::information(this, QStringLiteral("Unable to view"),
                                   QStringLiteral("This picture is too large to show."));
            return;
        }
        QPixmap pixmap;
        if (pixmap.convertFromImage(reader.read())) {
            qInfo() << "Viewing" << name << "as picture:" << reader.format();
            openViewer(new ImageFileViewer(name, data, pixmap, nullptr), QString());
            return;
        }
    }
    openTextViewer(name, data);
}

void MainWindow::openViewer(QWidget *viewer, const QString &title)
{
    if (!title.isEmpty())
        viewer->setWindowTitle(title);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    m_viewers.removeAll(nullptr);
    m_viewers.append(viewer);
    viewer->show();
    viewer->raise();
}

void MainWindow::openTextViewer(const QString &name, const QByteArray &data)
{
    if (QSettings().value(QStringLiteral("settings/useExternalTextViewer"), false).toBool()) {
        openExternalViewer(name, data);
        return;
    }
    auto *viewer = new FileViewer(data, nullptr);
    connect(viewer, &FileViewer::printFile, this, &MainWindow::printDocument);
    openViewer(viewer, name);
}

// The viewer gets the file as one argument of its own and no shell sees it; the file lives until
// the window goes, since the viewer may read it at any time.
void MainWindow::openExternalViewer(const QString &name, const QByteArray &data)
{
    if (!m_viewerFiles)
        m_viewerFiles = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/zu-XXXXXX"));
    QTemporaryFile file(m_viewerFiles->path() + QStringLiteral("/zu-XXXXXX-") + name);
    file.setAutoRemove(false);
    if (!m_viewerFiles->isValid() || !file.open() || file.write(data) != data.size() || !file.flush()) {
        qWarning() << "Unable to create temporary file" << file.errorString();
        file.remove();
        return;
    }
    file.close();
    qDebug() << "data written to temp file:" << file.fileName();
    const QSettings settings;
    const QString viewer = settings.value(QStringLiteral("settings/extTextViewerPath")).toString();
    QStringList arguments = QProcess::splitCommand(settings.value(QStringLiteral("settings/extTextViewerArgs")).toString());
    arguments << file.fileName();
    qInfo() << "Starting external document viewer:" << viewer << arguments;
    if (viewer.isEmpty() || !QProcess::startDetached(viewer, arguments)) {
        auto *box = new QMessageBox(QMessageBox::Warning, QString(),
                                    QStringLiteral("Unable to open external text viewer."), QMessageBox::NoButton, this);
        box->setInformativeText(QStringLiteral("Please check user settings."));
        box->setDefaultButton(box->addButton(QStringLiteral("OK"), QMessageBox::AcceptRole));
        openPrompt(box, this, [](QMessageBox *, int) {});
    }
}

void MainWindow::passwordChangeRequested(const QString &currentPassword, const QString &newPassword)
{
    m_pendingPassword = newPassword;
    emit requestChangePassword(m_mainConnection->username(), currentPassword, newPassword);
}

void MainWindow::changePasswordResult(bool success, const QString &message)
{
    if (m_pendingPassword.isEmpty())
        return;
    // A closed dialog is only waiting to be deleted: not a parent for the box.
    QWidget *parent = m_settingsDialog && m_settingsDialog->isVisible() ? static_cast<QWidget *>(m_settingsDialog)
                                                                        : this;
    if (success) {
        PlainText::information(parent, QStringLiteral("Password Change Successful"),
                               message.isEmpty() ? QStringLiteral("Password changed as requested") : message);
        m_mainConnection->passwordChanged(m_pendingPassword);
    } else {
        PlainText::information(parent, QStringLiteral("Password Change Failed"), message);
    }
    m_pendingPassword.clear();
}

void MainWindow::launchUserSettings()
{
    if (!m_settingsDialog) {
        m_settingsDialog = new SettingsDialog;
        connect(m_settingsDialog, &SettingsDialog::passwordChangeRequested, this,
                &MainWindow::passwordChangeRequested);
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
        connect(m_fileBrowser, &FileBrowser::viewData, this, &MainWindow::viewData, Qt::QueuedConnection);
        connect(m_fileBrowser, &FileBrowser::batchPrintInProgress, this, &MainWindow::filebrowserBatchPrint);
    }
    return m_fileBrowser;
}

void MainWindow::launchFileBrowser()
{
    FileBrowser *browser = fileBrowser();
    browser->raise();
    browser->showNormal();
}

void MainWindow::filesActivated()
{
    m_mainConnection->requestFileInfo(this, FlyoutContext, QString(), false, QString());
}

void MainWindow::fileRespInfoData(QVariant context, const Menu::FileInfoData *data, QString error)
{
    if (context.toString() != FlyoutContext) {
        qWarning() << "MainWindow::fileRespInfoData() - invalid context";
        return;
    }
    if (!error.isEmpty() || !data) {
        qWarning() << "MainWindow::fileRespInfoData() - failed" << error;
        return;
    }
    FilesFlyout::showFlyout(*data, m_taskManager->filesButtonRect(), fileBrowser());
}

void MainWindow::schedProcListReceived(const MainConnection::SchedProcList &procList)
{
    ScheduledProcessFlyout::showFlyout(procList, m_taskManager->schedButtonRect(), m_mainConnection);
}

BrowserWidget *MainWindow::launchInternalBrowser(const QString &menuTitle)
{
    QString title = menuTitle.isEmpty() ? QStringLiteral("Web View") : menuTitle;
    if (!menuTitle.isEmpty()) {
        const QModelIndexList hits = m_menuModel->match(QModelIndex(), MenuItemModel::MenuPathRole, menuTitle,
                                                        1, Qt::MatchExactly | Qt::MatchRecursive);
        if (!hits.isEmpty())
            title = hits.first().data(Qt::DisplayRole).toString();
    }
    QString error;
    QObject *profile = webProfile(&error);
    BrowserWidget *page = profile ? BrowserWidget::create(title, profile, this, &error) : nullptr;
    if (!page) {
        auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Web Page"), QString(), QMessageBox::Ok, this);
        PlainText::setTexts(box, QStringLiteral("Web pages cannot be shown on this workstation."), error);
        openPrompt(box, this, [](QMessageBox *, int) {});
        return nullptr;
    }
    page->setAttached(true);
    connect(page, &BrowserWidget::removeFromTaskbar, this, [this, page] { m_taskManager->removePage(page, false); });
    connect(page, &BrowserWidget::needNew, this, &MainWindow::launchInternalBrowser);
    m_browserPages.removeAll(nullptr);
    m_browserPages.append(page);
    m_taskManager->addPage(page);
    return page;
}

void MainWindow::openWebPage(const QString &menuPath, const QString &title, const QUrl &url)
{
    BrowserWidget *page = launchInternalBrowser(menuPath);
    if (!page) {
        qWarning() << "MainWindow::openWebPage() - no browser page opened for" << url.toString();
        return;
    }
    page->setTitle(title);
    page->setUrl(url);
}

QObject *MainWindow::webProfile(QString *error)
{
    // Made with the first browser page: the web engine costs nothing until a page needs it.
    if (!m_webProfile) {
        const QString user = m_mainConnection->username();
        // A name, not a path: the engine keeps the storage in a folder of that name.
        const QByteArray storageName = user.isEmpty()
            ? QByteArrayLiteral("default")
            : QUrl::toPercentEncoding(user, QByteArray(), QByteArrayLiteral(".~"));
        m_webProfile = BrowserWidget::createProfile(QString::fromLatin1(storageName), this, error);
    }
    return m_webProfile;
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
    auto *box = new QMessageBox(QMessageBox::Critical, QString(), QStringLiteral("Invalid URL"), QMessageBox::Ok, this);
    box->setInformativeText(
        QStringLiteral("ZU attempted to launch an invalid URL.\nPlease contact your system administrator."));
    box->setDetailedText(QStringLiteral("%1\n%2").arg(text, error));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

void MainWindow::showApplicationsLost()
{
    auto *box = new QMessageBox(QMessageBox::Critical, QString(), QStringLiteral("Connection Error"),
                                QMessageBox::Ok);
    box->setInformativeText(QStringLiteral("ZU applications were closed due to lost connection."));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

bool MainWindow::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate)
        m_taskManager->resetButtonToContents();
    return QMainWindow::event(event);
}

bool MainWindow::confirmForcedQuit()
{
    qInfo() << "There are application connections still open.";
    const QList<ApplicationSession *> sessions = m_router->sessionsHoldingQuit();
    for (const ApplicationSession *session : sessions)
        qInfo().noquote().nospace() << "    " << session->describe();
    qInfo() << "Querying user for action.";
    QMessageBox box(
        QMessageBox::Warning, windowTitle(),
        QStringLiteral("There are ZU applications running.\nPlease close all applications before exiting."),
        QMessageBox::NoButton, this);
    box.setInformativeText(
        QStringLiteral("NOTICE: All forced-quits are logged by the system for IT review!"));
    box.addButton(QStringLiteral("Force Quit"), QMessageBox::DestructiveRole);
    QPushButton *cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(cancel);
    box.exec();
    if (box.clickedButton() != cancel) {
        box.setInformativeText(QStringLiteral(
            "Are you sure you want to force ZU Desktop to exit?\n(Administrator will be notified)"));
        box.setDefaultButton(cancel);
        box.exec();
    }
    if (box.clickedButton() == cancel) {
        qInfo() << "Shutdown cancelled by user.";
        return false;
    }
    qInfo() << "User chose to ingore and exit anyway.";
    return true;
}

// Pages that would lose something (a terminal program, dictionary changes) are named first. The
// question runs its own loop, but only over this window, which nothing but the user closes; a page
// that goes meanwhile is simply not there any more.
bool MainWindow::confirmLosingWork()
{
    QStringList losses;
    const QList<TaskPageWidget *> pages = m_taskManager->pages();
    for (const TaskPageWidget *page : pages) {
        const QString loss = page->unsavedWork();
        if (!loss.isEmpty() && !losses.contains(loss))
            losses << loss;
    }
    if (losses.isEmpty())
        return true;
    QMessageBox box(QMessageBox::Warning, windowTitle(),
                    QStringLiteral("Quitting ZU Desktop ends %1.").arg(losses.join(QStringLiteral(" and "))),
                    QMessageBox::NoButton, this);
    box.setTextFormat(Qt::PlainText);
    QPushButton *quit = box.addButton(QStringLiteral("Quit"), QMessageBox::DestructiveRole);
    box.setDefaultButton(box.addButton(QMessageBox::Cancel));
    box.exec();
    if (box.clickedButton() != quit) {
        qInfo() << "Shutdown cancelled by user.";
        return false;
    }
    return true;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    qInfo() << "Received request to close MainWindow";
    if (!m_router->sessionsHoldingQuit().isEmpty() && !confirmForcedQuit()) {
        event->ignore();
        return;
    }
    if (!confirmLosingWork()) {
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
