#include "enginebrowserwidget.h"

#include "webview.h"

#include <QDebug>
#include <QDir>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QLayout>
#include <QWebEngineDownloadItem>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

// What the client resolves when it loads this library with the first browser page.
extern "C" Q_DECL_EXPORT BrowserWidget *zuCreateBrowserWidget(const QString &title, QObject *profile, QWidget *parent)
{
    auto *webProfile = qobject_cast<QWebEngineProfile *>(profile);
    return webProfile ? new EngineBrowserWidget(title, webProfile, parent) : nullptr;
}

extern "C" Q_DECL_EXPORT QObject *zuCreateWebProfile(const QString &storageName, QObject *parent)
{
    return new QWebEngineProfile(storageName, parent);
}

EngineBrowserWidget::EngineBrowserWidget(const QString &title, QWebEngineProfile *profile, QWidget *parent)
    : BrowserWidget(title, parent)
{
    m_view = new WebView(contentWidget());
    auto *page = new QWebEnginePage(profile, m_view);
    m_view->setPage(page);
    qDebug() << "webengine cachePath:" << profile->cachePath() << " persistent storage:"
             << profile->persistentStoragePath();

    connect(m_view, &QWebEngineView::titleChanged, this, &EngineBrowserWidget::setTitle);
    connect(m_view, &QWebEngineView::iconChanged, this, &TaskPageWidget::iconChanged);
    connect(page, &QWebEnginePage::windowCloseRequested, this, [this] {
        qDebug() << "Window close requested by page.";
        closePage();
    });
    connect(m_view, &QWebEngineView::renderProcessTerminated, this, &EngineBrowserWidget::renderProcessTerminated);
    connect(m_view, &WebView::needNew, this, &EngineBrowserWidget::openNewPage);
    connect(profile, &QWebEngineProfile::downloadRequested, this, &EngineBrowserWidget::downloadRequested);

    contentWidget()->layout()->addWidget(m_view);
    setFocusProxy(m_view);
    m_view->settings()->setAttribute(QWebEngineSettings::PluginsEnabled, true);
    // PDF content arrives as a download, for the desktop's own viewer.
    m_view->settings()->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
}

QWebEngineView *EngineBrowserWidget::view() const
{
    return m_view;
}

void EngineBrowserWidget::setUrl(const QUrl &url)
{
    qInfo() << "Setting URL:" << url.toString();
    m_view->setUrl(url);
}

WebView *EngineBrowserWidget::openNewPage()
{
    BrowserWidget *page = newPage();
    return page ? qobject_cast<WebView *>(page->view()) : nullptr;
}

void EngineBrowserWidget::renderProcessTerminated(QWebEnginePage::RenderProcessTerminationStatus status, int exitCode)
{
    QString title;
    switch (status) {
    case QWebEnginePage::NormalTerminationStatus:
        title = QStringLiteral("Render process normal exit");
        break;
    case QWebEnginePage::AbnormalTerminationStatus:
        title = QStringLiteral("Render process abnormal exit");
        break;
    case QWebEnginePage::CrashedTerminationStatus:
        title = QStringLiteral("Render process crashed");
        break;
    case QWebEnginePage::KilledTerminationStatus:
        title = QStringLiteral("Render process killed");
        break;
    }
    // The page (and a detached page's window) may go while the question is open: it goes too.
    auto *box = new QMessageBox(QMessageBox::Question, title,
                                QStringLiteral("Render process exited with code: %1\nDo you want to reload the page ?")
                                    .arg(exitCode),
                                QMessageBox::Yes | QMessageBox::No, this);
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this, [this](int answer) {
        if (answer == QMessageBox::Yes)
            QTimer::singleShot(0, m_view, &QWebEngineView::reload);
    });
    box->open();
}

void EngineBrowserWidget::downloadRequested(QWebEngineDownloadItem *download)
{
    qDebug() << "downloadRequested:" << download->url() << " |name:" << download->downloadFileName() << " | "
             << download->downloadDirectory();
    if (download->page() != m_view->page()) {
        qDebug() << "Download from different page";
        return;
    }
    if (download->state() == QWebEngineDownloadItem::DownloadInProgress) {
        qWarning() << "Download already in progress";
        return;
    }
    if (m_downloadIds.contains(download->id())) {
        // The engine retries an interrupted download on its own, as a new request: the broken one
        // ends here instead, once.
        qWarning() << "BrowserWidget - download interrupted:" << download->url();
        connect(download, &QWebEngineDownloadItem::finished, this, &EngineBrowserWidget::downloadFinished);
        download->cancel();
        return;
    }
    const QString directory = QDir(reportDirectory()).absolutePath();
    if (!QDir().mkpath(directory)) {
        qCritical() << "Could not create download path " << directory;
        tellDownloadFailed(download->downloadFileName(),
                           QStringLiteral("The folder %1 could not be created.").arg(directory));
        return;
    }
    download->setDownloadDirectory(directory);
    m_downloadIds.insert(download->id());
    connect(download, &QWebEngineDownloadItem::finished, this, &EngineBrowserWidget::downloadFinished);
    // An interrupted download that the engine does not retry would wait for ever, unfinished.
    connect(download, &QWebEngineDownloadItem::stateChanged, this,
            [download](QWebEngineDownloadItem::DownloadState state) {
                if (state == QWebEngineDownloadItem::DownloadInterrupted)
                    QMetaObject::invokeMethod(download, &QWebEngineDownloadItem::cancel, Qt::QueuedConnection);
            });
    download->accept();
}

void EngineBrowserWidget::downloadFinished()
{
    auto *download = qobject_cast<QWebEngineDownloadItem *>(sender());
    if (!download || isClosing())
        return;
    qDebug() << "Download finished:" << download->downloadFileName();
    const QString path = download->downloadDirectory() + QLatin1Char('/') + download->downloadFileName();
    if (download->state() != QWebEngineDownloadItem::DownloadCompleted) {
        // Whatever part arrived is no document to open.
        qWarning() << "EngineBrowserWidget::downloadFinished() - not completed:" << path;
        tellDownloadFailed(download->downloadFileName(),
                           QStringLiteral("Only part of it arrived, so it was not opened. Please try again."));
    } else {
        openDownload(path);
    }
    closePage();
}

