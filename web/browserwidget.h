#pragma once

#include "shell/taskpagewidget.h"

#include <QSet>
#include <QUrl>
#include <QWebEnginePage>

#include <memory>

class QWebEngineDownloadItem;
class QWebEngineProfile;
class WebView;

namespace Ui {
class BrowserWidget;
}

// A task page holding one web view on the desktop's shared profile. Windows the content opens
// (tabs, dialogs) become further pages with the same menu title. Every page hears every download
// of the profile and handles only its own: saved into the report folder, handed to the desktop's
// application for the file, and then the page closes. A download that did not complete is never
// opened; the user is told.
class BrowserWidget : public TaskPageWidget
{
    Q_OBJECT

public:
    static constexpr char ReportFolder[] = "zu_reports";

    BrowserWidget(const QString &title, QWebEngineProfile *profile, QWidget *parent = nullptr);
    ~BrowserWidget() override;

    QString title() const override;
    QString shortName() const override;
    WebView *view() const { return m_view; }

    // Where downloads are saved: a folder in the user's documents.
    static QString reportDirectory();

public slots:
    void setTitle(const QString &title);
    void setAttached(bool attached) override;
    void setUrl(const QUrl &url);

signals:
    // The page is closing; the desktop takes it off the task bar at once.
    void removeFromTaskbar();
    // The content opens a window; the desktop answers with a new page, or null.
    BrowserWidget *needNew(QString menuPath);

private slots:
    void downloadRequested(QWebEngineDownloadItem *download);
    void downloadFinished();

private:
    void closePage();
    WebView *openNewPage();
    void renderProcessTerminated(QWebEnginePage::RenderProcessTerminationStatus status, int exitCode);
    void tellDownloadFailed(const QString &name, const QString &reason);

    std::unique_ptr<Ui::BrowserWidget> m_form;
    WebView *m_view = nullptr;
    QString m_menuTitle;
    QSet<quint32> m_downloadIds; // accepted here
    bool m_closing = false;
};
