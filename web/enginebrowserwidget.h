#pragma once

#include "browserwidget.h"

#include <QList>
#include <QPointer>
#include <QSet>
#include <QWebEnginePage>

#include <memory>

class QWebEngineDownloadItem;
class QWebEngineProfile;
class WebView;

// The browser page on the web engine (in the zuweb library): one web view on the desktop's shared
// profile. Windows the content opens (tabs, dialogs) become further pages with the same menu
// title. Every page hears every download of the profile and handles only its own: saved into the
// report folder, handed to the desktop's application for the file, and then the page closes. A
// download that did not complete is never opened; the user is told.
class EngineBrowserWidget : public BrowserWidget
{
    Q_OBJECT

public:
    EngineBrowserWidget(const QString &title, QWebEngineProfile *profile, QWidget *parent = nullptr);

    QWebEngineView *view() const override;

public slots:
    void setUrl(const QUrl &url) override;

private slots:
    void downloadRequested(QWebEngineDownloadItem *download);
    void downloadFinished();

private:
    WebView *openNewPage();
    void renderProcessTerminated(QWebEnginePage::RenderProcessTerminationStatus status, int exitCode);

    WebView *m_view = nullptr;
    QSet<quint32> m_downloadIds; // accepted here
};
