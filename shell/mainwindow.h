#pragma once

#include "applinks/pagehost.h"
#include "menu/abstractremotefileworker.h"
#include "menu/mainconnection.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <memory>

class BrowserWidget;
class FileBrowser;
class HomePageWidget;
class MenuItem;
class MenuItemModel;
class QAction;
class QHBoxLayout;
class QPrinter;
class QPushButton;
class QTcpServer;
class QTemporaryDir;
class SessionRouter;
class SettingsDialog;
class TaskManager;
class TaskPageWidget;

// The desktop after login: the task manager with the home page as its first page, the place where
// server applications become task pages, where received documents are shown or printed, and the
// guard that keeps users from quitting while classic applications still run.
class MainWindow : public QMainWindow, public AbstractRemoteFileWorker, public PageHost
{
    Q_OBJECT

public:
    // Document windows open at once; a server sending more unasked is refused.
    static constexpr int MaxViewers = 16;

    MainWindow(MainConnection *connection, QTcpServer *listener, QWidget *parent = nullptr);
    ~MainWindow() override;

    TaskManager *taskManager() const { return m_taskManager; }
    HomePageWidget *homePage() const { return m_homePage; }
    MenuItemModel *menuModel() const { return m_menuModel; }
    // Where the hub's channels and the debug listener's connections become sessions and pages.
    SessionRouter *sessionRouter() const { return m_router; }
    // The one file browser, created on first use.
    FileBrowser *fileBrowser();

    QObject *hostObject() override { return this; }
    QWidget *pageParent() override { return this; }
    void addTaskPage(TaskPageWidget *page) override;
    void removeTaskPage(TaskPageWidget *page, bool delayed) override;
    void reattachTaskPage(TaskPageWidget *page) override;
    QString menuTitleForPath(const QString &menuPath) const override;
    void showHelpTopic(const QString &topic) override { displayHelpTopic(topic); }

    // The file name a received document is shown under: the title with unsafe characters replaced.
    static QString fileNameForTitle(const QString &title);

    void fileRespInfoData(QVariant context, const Menu::FileInfoData *data, QString error) override;

public slots:
    void displayHelpTopic(const QString &url);
    void displayHelpTopic();
    void setRootMenuItem(MenuItem *rootItem);
    void filebrowserBatchPrint(bool batchInProgress);
    void printDocument(const QString &text);
    void viewData(const QString &title, const QByteArray &data);
    void changePasswordResult(bool success, const QString &message);
    void menuItemSelected(const QModelIndex &index);
    void launchUserSettings();
    void menuHistoryRequested();
    BrowserWidget *launchInternalBrowser(const QString &menuTitle);
    void openWebPage(const QString &menuPath, const QString &title, const QUrl &url);
    void schedProcListReceived(const MainConnection::SchedProcList &procList);
    void filesActivated();
    void passwordChangeRequested(const QString &currentPassword, const QString &newPassword);
    void taskmanagerModal(bool modal);
    void launchFileBrowser();

signals:
    void menuOptionSelected(QString menuPath);
    void requestChangePassword(QString username, QString oldPassword, QString newPassword);

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildForm();
    void notAvailableYet(const QString &feature);
    bool confirmForcedQuit();
    bool confirmLosingWork();
    void showApplicationsLost();
    void showInvalidAddress(const QString &text, const QString &error);
    void openViewer(QWidget *viewer, const QString &title);
    void openTextViewer(const QString &name, const QByteArray &data);
    void openExternalViewer(const QString &name, const QByteArray &data);
    QObject *webProfile(QString *error);

    QAction *m_actionManual = nullptr;
    QWidget *m_centralWidget = nullptr;
    QHBoxLayout *m_centralLayout = nullptr;
    TaskManager *m_taskManager = nullptr;
    HomePageWidget *m_homePage = nullptr;
    MenuItemModel *m_menuModel = nullptr;
    MainConnection *m_mainConnection;
    SessionRouter *m_router = nullptr;
    QPointer<FileBrowser> m_fileBrowser;
    QList<QPointer<QWidget>> m_viewers;
    // Documents handed to the external viewer; removed with the window.
    std::unique_ptr<QTemporaryDir> m_viewerFiles;
    QString m_pendingPassword;
    QPointer<SettingsDialog> m_settingsDialog;
    std::unique_ptr<QPrinter> m_printer;
    bool m_batchPrint = false;
    static constexpr int MaxPrintQueue = 100;
    QStringList m_printQueue;
    QObject *m_webProfile = nullptr; // the web engine's profile, made with the first browser page
    QList<QPointer<BrowserWidget>> m_browserPages;
};
