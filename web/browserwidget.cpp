#include "browserwidget.h"

#include "ui_browserwidget.h"
#include "webview.h"

#include "app/abbreviatename.h"
#include "app/plaintext.h"
#include "app/platform.h"

#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QMessageBox>
#include <QPointer>
#include <QStandardPaths>
#include <QStyle>
#include <QTimer>
#include <QWebEngineDownloadItem>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

BrowserWidget::BrowserWidget(const QString &title, QWebEngineProfile *profile, QWidget *parent)
    : TaskPageWidget(parent)
    , m_form(std::make_unique<Ui::BrowserWidget>())
    , m_menuTitle(title)
{
    m_form->setupUi(this);
    connect(m_form->detachButton, &QPushButton::clicked, this, &TaskPageWidget::detachClicked);
    connect(m_form->closeButton, &QPushButton::clicked, this, &BrowserWidget::closePage);

    m_view = new WebView(m_form->contentWidget);
    auto *page = new QWebEnginePage(profile, m_view);
    m_view->setPage(page);
    qDebug() << "webengine cachePath:" << profile->cachePath() << " persistent storage:"
             << profile->persistentStoragePath();

    connect(m_view, &QWebEngineView::titleChanged, this, &BrowserWidget::setTitle);
    connect(m_view, &QWebEngineView::iconChanged, this, &TaskPageWidget::iconChanged);
    connect(page, &QWebEnginePage::windowCloseRequested, this, [this] {
        qDebug() << "Window close requested by page.";
        closePage();
    });
    connect(m_view, &QWebEngineView::renderProcessTerminated, this, &BrowserWidget::renderProcessTerminated);
    connect(m_view, &WebView::needNew, this, &BrowserWidget::openNewPage);
    connect(profile, &QWebEngineProfile::downloadRequested, this, &BrowserWidget::downloadRequested);

    m_form->contentWidget->layout()->addWidget(m_view);
    setFocusProxy(m_view);
    m_view->settings()->setAttribute(QWebEngineSettings::PluginsEnabled, true);
    // PDF content arrives as a download, for the desktop's own viewer.
    m_view->settings()->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
}

BrowserWidget::~BrowserWidget() = default;

QString BrowserWidget::reportDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + QLatin1Char('/')
        + QLatin1String(ReportFolder);
}

QString BrowserWidget::title() const
{
    return m_form->formTitle->text();
}

QString BrowserWidget::shortName() const
{
    return abbreviateName(m_menuTitle);
}

void BrowserWidget::setTitle(const QString &title)
{
    m_form->formTitle->setText(title);
    emit titleChanged(title);
}

void BrowserWidget::setAttached(bool attached)
{
    TaskPageWidget::setAttached(attached);
    // The detach button's icon follows the attached state in the style sheet.
    m_form->detachButton->style()->unpolish(m_form->detachButton);
    m_form->detachButton->style()->polish(m_form->detachButton);
}

void BrowserWidget::setUrl(const QUrl &url)
{
    qInfo() << "Setting URL:" << url.toString();
    m_view->setUrl(url);
}

void BrowserWidget::closePage()
{
    if (m_closing)
        return;
    m_closing = true;
    emit removeFromTaskbar();
    deleteLater();
}

WebView *BrowserWidget::openNewPage()
{
    BrowserWidget *page = emit needNew(m_menuTitle);
    return page ? page->view() : nullptr;
}

void BrowserWidget::renderProcessTerminated(QWebEnginePage::RenderProcessTerminationStatus status, int exitCode)
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
    QMessageBox box(QMessageBox::Question, title,
                    QStringLiteral("Render process exited with code: %1\nDo you want to reload the page ?")
                        .arg(exitCode),
                    QMessageBox::Yes | QMessageBox::No, window());
    box.setTextFormat(Qt::PlainText);
    const QPointer<BrowserWidget> alive(this);
    const int answer = box.exec();
    if (alive && answer == QMessageBox::Yes)
        QTimer::singleShot(0, m_view, &QWebEngineView::reload);
}

void BrowserWidget::downloadRequested(QWebEngineDownloadItem *download)
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
        connect(download, &QWebEngineDownloadItem::finished, this, &BrowserWidget::downloadFinished);
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
    connect(download, &QWebEngineDownloadItem::finished, this, &BrowserWidget::downloadFinished);
    // An interrupted download that the engine does not retry would wait for ever, unfinished.
    connect(download, &QWebEngineDownloadItem::stateChanged, this,
            [download](QWebEngineDownloadItem::DownloadState state) {
                if (state == QWebEngineDownloadItem::DownloadInterrupted)
                    QMetaObject::invokeMethod(download, &QWebEngineDownloadItem::cancel, Qt::QueuedConnection);
            });
    download->accept();
}

void BrowserWidget::downloadFinished()
{
    auto *download = qobject_cast<QWebEngineDownloadItem *>(sender());
    if (!download || m_closing)
        return;
    qDebug() << "Download finished:" << download->downloadFileName();
    const QString path = download->downloadDirectory() + QLatin1Char('/') + download->downloadFileName();
    if (download->state() != QWebEngineDownloadItem::DownloadCompleted) {
        // Whatever part arrived is no document to open.
        qWarning() << "BrowserWidget::downloadFinished() - not completed:" << path;
        tellDownloadFailed(download->downloadFileName(),
                           QStringLiteral("Only part of it arrived, so it was not opened. Please try again."));
    } else if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
        qDebug() << "Failed to open with native application. Open file browser.";
        if (!Platform::showInFileManager(path))
            qWarning() << "BrowserWidget::downloadFinished() - could not show" << path;
    }
    closePage();
}

void BrowserWidget::tellDownloadFailed(const QString &name, const QString &reason)
{
    // The page may close at once: the box belongs to the desktop (or stands alone).
    QWidget *owner = isWindow() ? nullptr : window();
    auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Download Failed"), QString(),
                                QMessageBox::Ok, owner);
    PlainText::setTexts(box, QStringLiteral("The download of \"%1\" did not complete.").arg(name), reason);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}
