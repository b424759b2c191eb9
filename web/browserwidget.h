#pragma once

#include "utils/taskpagewidget.h"

#include <QMessageBox>

#include <functional>
#include <memory>

class QUrl;
class QWebEngineView;

namespace Ui {
class BrowserWidget;
}

// The task page of a web address: its title bar (title, detach and close buttons) and the
// desktop's side of it. The web view and everything of the web engine live in the zuweb library,
// which the first page loads, so that the engine costs the client nothing before then; the page
// made there (EngineBrowserWidget) derives from this one.
class BrowserWidget : public TaskPageWidget
{
    Q_OBJECT

public:
    static constexpr char ReportFolder[] = "zu_reports";
    // Makes the page for a window the content opens (with the opener's menu title), or null.
    using PageFactory = std::function<BrowserWidget *(const QString &menuTitle)>;

    ~BrowserWidget() override;

    // A page on the given profile, or null (with the reason) when the web engine cannot be loaded.
    static BrowserWidget *create(const QString &title, QObject *profile, QWidget *parent, QString *error);
    // The profile shared by the pages of a session; its storage is named after storageName.
    static QObject *createProfile(const QString &storageName, QObject *parent, QString *error);

    void setPageFactory(PageFactory factory) { m_pageFactory = std::move(factory); }

    QString title() const override;
    QString shortName() const override;
    virtual QWebEngineView *view() const = 0;

    // Where downloads are saved: a folder in the user's documents.
    static QString reportDirectory();

public slots:
    void setTitle(const QString &title);
    virtual void setUrl(const QUrl &url) = 0;

signals:
    // The page is closing; the desktop takes it off the task bar at once.
    void removeFromTaskbar();

protected:
    BrowserWidget(const QString &title, QWidget *parent);

    QWidget *contentWidget() const;
    QString menuTitle() const { return m_menuTitle; }
    // A page for a window the content opens, made by the factory and given the same factory.
    BrowserWidget *newPage();
    bool isClosing() const { return m_closing; }
    // Takes the page off the task bar and deletes it later; once.
    void closePage();
    // A finished download that is a document goes to the desktop's application for it, else to
    // the file manager; anything else, or failing both, the user is told where it was saved.
    void openDownload(const QString &path);
    void tellDownloadFailed(const QString &name, const QString &reason);

private:
    void showNotice(QMessageBox::Icon icon, const QString &title, const QString &text, const QString &detail);

    std::unique_ptr<Ui::BrowserWidget> m_form;
    QString m_menuTitle;
    PageFactory m_pageFactory;
    bool m_closing = false;
};
