#include "webpages.h"

#include "browserwidget.h"

#include "applinks/pagehost.h"
#include "utils/openprompt.h"
#include "utils/plaintext.h"
#include "utils/replaymode.h"

#include <QDebug>
#include <QMessageBox>
#include <QUrl>

#include <utility>

WebPages::WebPages(const QString &userName, PageHost *host, QObject *parent)
    : QObject(parent)
    , m_userName(userName)
    , m_host(host)
    , m_hostObject(host->hostObject())
{
}

// The engine tears pages down in tasks of its own, which crash on a profile deleted at once: it goes
// later, or with the engine at the end of the process.
WebPages::~WebPages()
{
    for (const QPointer<BrowserWidget> &page : qAsConst(m_pages))
        delete page.data();
    if (m_profile) {
        m_profile->setParent(nullptr);
        m_profile->deleteLater();
    }
}

QObject *WebPages::profile(QString *error)
{
    if (!m_profile) {
        // A name, not a path: the engine keeps the storage in a folder of that name.
        const QByteArray storageName = m_userName.isEmpty()
            ? QByteArrayLiteral("default")
            : QUrl::toPercentEncoding(m_userName, QByteArray(), QByteArrayLiteral(".~"));
        m_profile = BrowserWidget::createProfile(QString::fromLatin1(storageName), this, error);
    }
    return m_profile;
}

BrowserWidget *WebPages::open(const QString &title)
{
    if (!m_hostObject)
        return nullptr;
    m_pages.removeAll(nullptr);
    if (m_pages.size() >= MaxPages) {
        // Told once while the pages stay open: a page looping on window.open must not fill the log.
        if (!std::exchange(m_refusalTold, true)) {
            qWarning() << "WebPages::open() - a page refused:" << MaxPages << "web pages are open";
            emit notice(QStringLiteral("%1 web pages are open; close some to open more.").arg(MaxPages));
        }
        return nullptr;
    }
    m_refusalTold = false;
    QString error;
    QObject *shared = profile(&error);
    const QString named = title.isEmpty() ? QStringLiteral("Web View") : title;
    BrowserWidget *page = shared ? BrowserWidget::create(named, shared, m_host->pageParent(), &error) : nullptr;
    if (!page) {
        auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Web Page"), QString(), QMessageBox::Ok,
                                    m_host->pageParent());
        PlainText::setTexts(box, QStringLiteral("Web pages cannot be shown on this workstation."), error);
        openPrompt(box, this, [](QMessageBox *, int) {});
        return nullptr;
    }
    page->setAttached(true);
    const QPointer<WebPages> self(this);
    page->setPageFactory([self](const QString &openerTitle) { return self ? self->open(openerTitle) : nullptr; });
    // A closing page no longer counts; it deletes itself.
    connect(page, &BrowserWidget::removeFromTaskbar, this, [this, page] {
        m_pages.removeAll(page);
        if (m_hostObject)
            m_host->removeTaskPage(page, false);
    });
    m_pages.append(page);
    m_host->addTaskPage(page);
    return page;
}

void WebPages::openUrl(const QString &title, const QString &pageTitle, const QUrl &url)
{
    if (ReplayMode::isReplaying()) {
        const QString text = QStringLiteral("The web page %1 was %2.").arg(url.toString(), ReplayMode::notOpenedText());
        qInfo().noquote() << "WebPages::openUrl() -" << text;
        emit notice(text);
        return;
    }
    BrowserWidget *page = open(title);
    if (!page) {
        qWarning() << "WebPages::openUrl() - no browser page opened for" << url.toString();
        return;
    }
    page->setTitle(pageTitle);
    page->setUrl(url);
}
