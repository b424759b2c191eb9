#pragma once

#include <QFile>
#include <QObject>
#include <QPointer>
#include <QSslError>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;
class QProgressDialog;
class QWidget;

// The client's self-update: downloads the installer the hub offered into a private folder of the
// user's, puts the update script beside it and, once the download is complete, quits the client
// and starts the installer detached on the way out. A download that fails, stops short or is
// refused (hostile file name, planted folder) reports failed() after telling the user, and
// nothing is started. Installers come over HTTPS only, validated as usual (with the site's extra
// authorities; the one exception is a certificate the user pinned for a hub on the same host), and
// only from an allowed host: the hub's own, or one the local configuration names. A redirect must
// stay on those hosts too. A replay downloads nothing.
class InstallerDownload : public QObject
{
    Q_OBJECT

public:
    static constexpr char FolderName[] = "HalvorneZuDesktopUpdater";
    static constexpr char ScriptName[] = "auto_update.qs";
    static constexpr char ScriptPath[] = "scripts/auto_update.qs"; // below the executable's directory
    static constexpr char ClientPathVariable[] = "XX_ZU_CLIENT_PATH";
    static constexpr qint64 MaxInstallerBytes = qint64(1) << 30; // also keeps the progress within int
    static constexpr int ProgressMinimumMs = 2000;

    InstallerDownload(QNetworkAccessManager *network, QObject *parent = nullptr);
    ~InstallerDownload() override;

    static QString folderPath();
    // Removes the download folder left by an earlier run. A link, or a folder of someone else's,
    // is left alone (and false returned).
    static bool removeFolder();
    // The installer's local name: the address's last path segment, decoded. Empty when that
    // name could leave the download folder or is no name at all.
    static QString installerFileName(const QUrl &url);
    // Whether the address's host is one of the hosts (compared without regard to case).
    static bool hostAllowed(const QUrl &url, const QStringList &allowedHosts);

    // The hosts an installer may come from; none until set.
    void setAllowedHosts(const QStringList &hosts) { m_allowedHosts = hosts; }

    // Starts the download; the progress dialog, if the download takes long, is modal to the given
    // window.
    void start(const QUrl &url, QWidget *dialogParent);

    QString installerPath() const { return m_file.fileName(); }

signals:
    void failed();

private slots:
    void installerDownloadProgress(qint64 received, qint64 total);
    void installerReadyRead();
    void installerFinished();
    void installerSslErrors(const QList<QSslError> &errors);
    void installerRedirected(const QUrl &url);

private:
    bool prepareFolder();
    void fail(const QString &detail);
    void abortByUser();
    void startInstaller();
    void dropProgressDialog();

    QNetworkAccessManager *m_network;
    QPointer<QNetworkReply> m_reply;
    QPointer<QWidget> m_dialogParent;
    QProgressDialog *m_progress = nullptr;
    QFile m_file;
    qint64 m_written = 0;
    QString m_certificateProblem; // why the server's certificate was refused, for the details
    QStringList m_allowedHosts;
};
