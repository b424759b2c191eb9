#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class BrowserWidget;
class PageHost;
class QUrl;

// The browser pages of a session, on the task bar, and the web engine's profile they share, named
// after the user and made with the first page (so the engine costs nothing before). Windows a
// page's content opens become pages here too.
class WebPages : public QObject
{
    Q_OBJECT

public:
    // Each page is a renderer process of its own: pages past this, from the server or a page's
    // content, are refused.
    static constexpr int MaxPages = 16;

    WebPages(const QString &userName, PageHost *host, QObject *parent = nullptr);
    // Pages on the profile go before it, detached ones included.
    ~WebPages() override;

    // A new page titled `title` ("Web View" when empty) on the task bar; null when MaxPages are
    // open or the web engine cannot be loaded (the user is told).
    BrowserWidget *open(const QString &title);
    void openUrl(const QString &title, const QString &pageTitle, const QUrl &url);

signals:
    // Something for the user's status line: a page that was not opened.
    void notice(QString text);

private:
    QObject *profile(QString *error);

    QString m_userName;
    PageHost *m_host;
    QPointer<QObject> m_hostObject;
    QObject *m_profile = nullptr;
    QList<QPointer<BrowserWidget>> m_pages;
    bool m_refusalTold = false;
};
