#include "installerdownload.h"

#include "utils/openprompt.h"
#include "utils/platform.h"

#include "hub/certificatepins.h"
#include "hub/extraauthorities.h"
#include "utils/replaymode.h"
#include "style/stylemanager.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QProgressDialog>
#include <QSslCertificate>
#include <QSslConfiguration>

namespace {

constexpr QFileDevice::Permissions OwnerOnly
    = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

} // namespace

InstallerDownload::InstallerDownload(QNetworkAccessManager *network, QObject *parent)
    : QObject(parent)
    , m_network(network)
{ }

InstallerDownload::~InstallerDownload()
{
    dropProgressDialog();
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
}

QString InstallerDownload::folderPath()
{
    const QString base = Platform::privateScratchLocation();
    return base.isEmpty() ? QString() : base + QLatin1Char('/') + QLatin1String(FolderName);
}

bool InstallerDownload::removeFolder()
{
    const QString path = folderPath();
    const QFileInfo info(path);
    if (path.isEmpty() || (!info.exists() && !info.isSymLink()))
        return true;
    // Never followed, never emptied: whoever put it there meant it to be used.
    if (info.isSymLink() || !info.isDir() || !Platform::ownedByCurrentUser(info)) {
        qWarning() << "InstallerDownload - the update folder" << path
                   << "is a link, not a folder or not yours; left alone";
        return false;
    }
    return QDir(path).removeRecursively();
}

QString InstallerDownload::installerFileName(const QUrl &url)
{
    // Taken before decoding, so that an encoded separator stays inside the name and refuses it.
    const QString encodedPath = url.path(QUrl::FullyEncoded);
    const QString name
        = QUrl::fromPercentEncoding(encodedPath.mid(encodedPath.lastIndexOf(QLatin1Char('/')) + 1).toLatin1());
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return QString();
    for (const QChar c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':') || c.unicode() < 0x20
            || c.unicode() == 0x7f)
            return QString();
    }
    return name;
}

bool InstallerDownload::prepareFolder()
{
    const QString base = Platform::privateScratchLocation();
    if (base.isEmpty() || !QDir().mkpath(base) || !removeFolder())
        return false;
    // mkdir fails when anything appeared there in the meantime.
    const QString path = folderPath();
    if (!QDir(base).mkdir(QLatin1String(FolderName)) || !QFile::setPermissions(path, OwnerOnly))
        return false;
    const QFileInfo info(path);
    return info.isDir() && !info.isSymLink() && Platform::ownedByCurrentUser(info);
}

void InstallerDownload::start(const QUrl &url, QWidget *dialogParent)
{
    m_dialogParent = dialogParent;
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        fail(QStringLiteral("The installer address \"%1\" is not a web address.").arg(url.toString()));
        return;
    }
    // Whoever sits on the path could hand over an installer of their own.
    if (scheme != QLatin1String("https")) {
        fail(QStringLiteral("The installer address \"%1\" is not https: an installer fetched without TLS "
                            "could be replaced on the way, so it is not downloaded.")
                 .arg(url.toString()));
        return;
    }
    if (ReplayMode::isReplaying()) {
        qInfo().noquote() << "InstallerDownload -" << url.toString() << ReplayMode::notOpenedText();
        fail(QStringLiteral("The installer at \"%1\" is %2.").arg(url.toString(), ReplayMode::notOpenedText()));
        return;
    }
    // A hub whose certificate was only ignored once could name any host; the hub's own host, or one
    // the site configured, is what an administrator put there.
    if (!hostAllowed(url, m_allowedHosts)) {
        fail(QStringLiteral("The installer address \"%1\" is not on the hub's host or a host the local "
                            "configuration allows (%2), so it is not downloaded.")
                 .arg(url.toString(), m_allowedHosts.join(QStringLiteral(", "))));
        return;
    }
    const QString name = installerFileName(url);
    if (name.isEmpty()) {
        fail(QStringLiteral("The installer address \"%1\" names no file that can be saved.")
                 .arg(url.toString()));
        return;
    }
    if (!prepareFolder()) {
        qCritical() << "Unable to create temp download folder";
        fail(QStringLiteral("The download folder %1 could not be made private to you.").arg(folderPath()));
        return;
    }

    m_file.setFileName(folderPath() + QLatin1Char('/') + name);
    qInfo() << "Creating file:" << m_file.fileName();
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        qCritical() << "Unable to write installer/updater file";
        fail(QStringLiteral("%1: %2").arg(m_file.fileName(), m_file.errorString()));
        return;
    }

    QNetworkRequest request(url);
    // Redirects stay on https and on the allowed hosts.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    ExtraAuthorities::apply(&tls);
    request.setSslConfiguration(tls);
    m_reply = m_network->get(request);
    connect(m_reply, &QNetworkReply::sslErrors, this, &InstallerDownload::installerSslErrors);
    connect(m_reply, &QNetworkReply::redirected, this, &InstallerDownload::installerRedirected);
    connect(m_reply, &QNetworkReply::downloadProgress, this, &InstallerDownload::installerDownloadProgress);
    connect(m_reply, &QNetworkReply::readyRead, this, &InstallerDownload::installerReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &InstallerDownload::installerFinished);
}

bool InstallerDownload::hostAllowed(const QUrl &url, const QStringList &allowedHosts)
{
    const QString host = url.host();
    if (host.isEmpty())
        return false;
    for (const QString &allowed : allowedHosts) {
        if (host.compare(allowed.trimmed(), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

void InstallerDownload::installerRedirected(const QUrl &url)
{
    if (!m_reply || sender() != m_reply)
        return;
    if (url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) != 0
        || !hostAllowed(url, m_allowedHosts)) {
        fail(QStringLiteral("The installer download was redirected to \"%1\", which is not https on an allowed "
                            "host (%2).")
                 .arg(url.toString(), m_allowedHosts.join(QStringLiteral(", "))));
        return;
    }
    qInfo().noquote() << "InstallerDownload - redirected to" << url.toString();
    emit m_reply->redirectAllowed();
}

void InstallerDownload::installerDownloadProgress(qint64 received, qint64 total)
{
    qDebug() << "Downloading installer:" << received << "/" << total;
    if (received > MaxInstallerBytes || total > MaxInstallerBytes) {
        fail(QStringLiteral("The installer is larger than %1 MiB.").arg(MaxInstallerBytes >> 20));
        return;
    }
    if (!m_progress) {
        m_progress = new QProgressDialog(QStringLiteral("Downloading Update..."), QStringLiteral("Abort Update"), 0,
                                         int(qMax<qint64>(total, 0)), m_dialogParent);
        m_progress->setStyleSheet(StyleManager::unthemedStyleSheet());
        m_progress->setMinimumDuration(ProgressMinimumMs);
        m_progress->setWindowModality(Qt::WindowModal);
        connect(m_progress, &QProgressDialog::canceled, this, &InstallerDownload::abortByUser);
    }
    m_progress->setValue(int(received));
    if (received == total)
        dropProgressDialog();
}

void InstallerDownload::installerReadyRead()
{
    if (!m_reply || !m_file.isOpen())
        return;
    const QByteArray data = m_reply->readAll();
    if (m_written + data.size() > MaxInstallerBytes) {
        fail(QStringLiteral("The installer is larger than %1 MiB.").arg(MaxInstallerBytes >> 20));
        return;
    }
    if (m_file.write(data) != data.size()) {
        fail(QStringLiteral("%1: %2").arg(m_file.fileName(), m_file.errorString()));
        return;
    }
    m_written += data.size();
}

void InstallerDownload::installerFinished()
{
    QNetworkReply *reply = m_reply;
    if (!reply)
        return;
    reply->deleteLater();
    if (reply->error() != QNetworkReply::NoError) {
        fail(m_certificateProblem.isEmpty() ? reply->errorString()
                                            : QStringLiteral("%1\n%2").arg(m_certificateProblem, reply->errorString()));
        return;
    }
    installerReadyRead();
    if (!m_file.isOpen())
        return; // failed while writing
    m_reply = nullptr;
    dropProgressDialog();
    const bool flushed = m_file.flush();
    m_file.close();
    // Runnable, and by this user only.
    if (!flushed || !QFile::setPermissions(m_file.fileName(), OwnerOnly)) {
        fail(QStringLiteral("%1: %2").arg(m_file.fileName(), m_file.errorString()));
        return;
    }
    if (!QFile::copy(QLatin1String(ScriptPath), folderPath() + QLatin1Char('/') + QLatin1String(ScriptName))) {
        qCritical() << "Cannot copy 'auto_update.qs' to temp folder.";
        fail(QStringLiteral("The update script %1 is missing from %2.")
                 .arg(QLatin1String(ScriptPath), QDir::currentPath()));
        return;
    }
    connect(qApp, &QCoreApplication::aboutToQuit, this, &InstallerDownload::startInstaller);
    QCoreApplication::quit();
}

void InstallerDownload::installerSslErrors(const QList<QSslError> &errors)
{
    auto *reply = qobject_cast<QNetworkReply *>(sender());
    if (!reply)
        return;
    const QSslCertificate certificate = reply->sslConfiguration().peerCertificate();
    const QString host = reply->url().host();
    // No question here: Ignore is for the hub link, where a person saw the certificate.
    if (CertificatePins::trustedOnHost(host, certificate, errors)) {
        qInfo().noquote() << "InstallerDownload - certificate pinned for the hub on" << host << "accepted:"
                << CertificatePins::fingerprint(certificate);
        reply->ignoreSslErrors(errors);
        return;
    }
    QStringList texts;
    for (const QSslError &error : errors)
        texts << error.errorString();
    m_certificateProblem = QStringLiteral("The certificate of %1 (SHA-256 %2) was not accepted: %3")
                               .arg(host, CertificatePins::fingerprint(certificate),
                                    texts.join(QStringLiteral("; ")));
    qWarning().noquote() << "InstallerDownload -" << m_certificateProblem;
}

void InstallerDownload::fail(const QString &detail)
{
    qWarning() << "InstallerDownload - update failed:" << detail;
    dropProgressDialog();
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
        m_reply = nullptr;
    }
    if (!m_file.fileName().isEmpty()) {
        m_file.close();
        m_file.remove();
    }

    auto *box = new QMessageBox(QMessageBox::Critical, QString(), QStringLiteral("Update Download Failed"),
                                QMessageBox::Ok);
    box->setInformativeText(QStringLiteral("Please try again later or contact your system administrator"));
    box->setDetailedText(detail);
    box->setStyleSheet(StyleManager::unthemedStyleSheet());
    openPrompt(box, this, [this](QMessageBox *, int) { emit failed(); });
}

void InstallerDownload::abortByUser()
{
    qInfo() << "Client updater cancelled.";
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
        m_reply = nullptr;
    }
    m_file.close();
    m_file.remove();
    QCoreApplication::quit();
}

void InstallerDownload::dropProgressDialog()
{
    if (!m_progress)
        return;
    m_progress->disconnect(this);
    m_progress->reset(); // stops the timer that would still show it
    m_progress->deleteLater();
    m_progress = nullptr;
}

void InstallerDownload::startInstaller()
{
    const QString program = QFileInfo(m_file.fileName()).absoluteFilePath();
    const QStringList arguments { QStringLiteral("--script=%1")
                                      .arg(QFileInfo(folderPath() + QLatin1Char('/') + QLatin1String(ScriptName))
                                               .absoluteFilePath()) };
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // The installation to update, not the download folder.
    environment.insert(QLatin1String(ClientPathVariable), QDir::currentPath());
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setWorkingDirectory(folderPath());
    process.setProcessEnvironment(environment);
    if (process.startDetached())
        qInfo() << "Started update installer:" << program << "with arguments" << arguments;
    else
        qCritical() << "Could not start update installer:" << program << "with arguments" << arguments;
}
