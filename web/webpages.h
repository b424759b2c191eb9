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
    WebPages(const QString &userName, PageHost *host, QObject *parent = nullptr);
    // Pages on the profile go before it, detached ones included.
    ~WebPages() override;

    // A new page titled `title` ("Web View" when empty) on the task bar; null (the user is told)
    // when the web engine cannot be loaded.
    BrowserWidget *open(const QString &title);
    void openUrl(const QString &title, const QString &pageTitle, const QUrl &url);

private:
    QObject *profile(QString *error);

    QString m_userName;
    PageHost *m_host;
    QPointer<QObject> m_hostObject;
    QObject *m_profile = nullptr;
    QList<QPointer<BrowserWidget>> m_pages;
};
