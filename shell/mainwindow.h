#pragma once

#include "passwordchange.h"

#include "applinks/pagehost.h"

#include <QMainWindow>
#include <QPointer>

class DocumentViewers;
class FileBrowser;
class HomePageWidget;
class LaunchInFlight;
class MainConnection;
class MenuItem;
class MenuItemModel;

class QAction;
class QTcpServer;
class QuitGuard;
class SessionRouter;
class SettingsDialog;
class TaskManager;
class TextPrintQueue;
class UserGuideWindow;
class WebPages;

// The desktop after login: the task manager with the home page as its first page, and the PageHost
// of every server application. The work is done by the objects it owns: the session router
// (applications), the document viewers and the text print queue, the web pages, the file browser,
// the settings dialog, the quit guard and the launch in flight.
class MainWindow : public QMainWindow, public PageHost
{
    Q_OBJECT

public:
    MainWindow(MainConnection *connection, QTcpServer *listener, QWidget *parent = nullptr);
    ~MainWindow() override;

    TaskManager *taskManager() const { return m_taskManager; }
    HomePageWidget *homePage() const { return m_homePage; }
    MenuItemModel *menuModel() const { return m_menuModel; }
    // Where the hub's channels and the debug listener's connections become sessions and pages.
    SessionRouter *sessionRouter() const { return m_router; }
    DocumentViewers *documentViewers() const { return m_viewers; }
    TextPrintQueue *printQueue() const { return m_printQueue; }
    WebPages *webPages() const { return m_webPages; }
    // The one file browser, created on first use.
    FileBrowser *fileBrowser();
    // The settings dialog's password changes go through it.
    void setPasswordChange(PasswordChange *change) { m_passwordChange = change; }

    QObject *hostObject() override { return this; }
    QWidget *pageParent() override { return this; }
    void addTaskPage(TaskPageWidget *page) override;
    void removeTaskPage(TaskPageWidget *page, bool delayed) override;
    void reattachTaskPage(TaskPageWidget *page) override;
    QString menuTitleForPath(const QString &menuPath) const override;
    void showHelpTopic(const QString &topic) override { displayHelpTopic(topic); }

    // Without a hub link there is nothing to launch, but the pages stay to be read and closed.
    void setLinkUp(bool up);
    // While the hub does not answer, a launch and a reply that wait for it say so.
    void setHubAnswering(bool answering);
    // The release shown on the home page, after a change.
    void showRelease();
    // A line in the window's status bar for a while.
    void showStatus(const QString &text);
    // The hub this desktop is connected to, for the about box.
    void setHubName(const QString &hubName);

public slots:
    void displayHelpTopic(const QString &url = QString());
    void setRootMenuItem(MenuItem *rootItem);
    void launchUserSettings();
    void launchFileBrowser();
    // The user guide in a window of its own; one at a time.
    void showUserGuide();

signals:
    void menuOptionSelected(QString menuPath);
    // The user chose Log out and agreed to what it ends.
    void logOutAgreed();
    void changeReleaseRequested();

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildForm();
    void connectMenuSession();
    void menuHistoryRequested();
    void filesActivated();
    void openWebPage(const QString &menuPath, const QString &title, const QUrl &url);
    void taskmanagerModal(bool modal);
    void showInvalidAddress(const QString &text, const QString &error);
    void requestLogOut();

    QAction *m_actionManual = nullptr;
    TaskManager *m_taskManager = nullptr;
    HomePageWidget *m_homePage = nullptr;
    MenuItemModel *m_menuModel = nullptr;
    MainConnection *m_mainConnection;
    SessionRouter *m_router = nullptr;
    DocumentViewers *m_viewers = nullptr;
    TextPrintQueue *m_printQueue = nullptr;
    WebPages *m_webPages = nullptr;
    QuitGuard *m_quitGuard = nullptr;
    LaunchInFlight *m_launch = nullptr;
    QPointer<PasswordChange> m_passwordChange;
    QPointer<FileBrowser> m_fileBrowser;
    QPointer<SettingsDialog> m_settingsDialog;
    QPointer<UserGuideWindow> m_userGuide;
    bool m_quitAgreed = false;
};
