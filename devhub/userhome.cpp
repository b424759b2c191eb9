#include "userhome.h"

#include "demoreport.h"
#include "sampledocuments.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <sys/stat.h>
#include <unistd.h>

namespace {

bool lexists(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

constexpr int MaxLinkHops = 40;

QString readLink(const QString &path)
{
    QByteArray buffer(4096, Qt::Uninitialized);
    const ssize_t size
        = ::readlink(QFile::encodeName(path).constData(), buffer.data(), size_t(buffer.size()));
    if (size <= 0)
        return QString();
    buffer.resize(int(size));
    return QFile::decodeName(buffer);
}

// The demo files get modification times of their own, some days and hours old, so that lists
// ordered by time (the client's recent files) show a believable order.
bool writeFile(const QString &path, const QByteArray &data, QString *error, int ageMinutes = 0)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    QFile written(path);
    if (ageMinutes > 0 && written.open(QIODevice::Append))
        written.setFileTime(QDateTime::currentDateTime().addSecs(-60 * ageMinutes), QFileDevice::FileModificationTime);
    return true;
}

} // namespace

UserHome::UserHome(const QString &rootPath)
    : m_root(QFileInfo(rootPath).canonicalFilePath())
{ }

bool UserHome::prepare(const QString &rootPath, const QString &userName, QString *error)
{
    if (QFileInfo(rootPath).isDir())
        return true;
    if (!QDir().mkpath(rootPath + QStringLiteral("/reports"))
        || !QDir().mkpath(rootPath + QStringLiteral("/letters"))) {
        *error = QStringLiteral("cannot create the home directory %1").arg(rootPath);
        return false;
    }
    const QByteArray readme
        = QStringLiteral("Welcome to the ZU demonstration, %1.\n\n"
                         "This folder is your home directory on the demonstration hub.\n"
                         "Files you upload from the file browser arrive here; the terminal\n"
                         "program starts here too.\n")
              .arg(userName)
              .toLatin1();
    const QByteArray letter
        = QByteArrayLiteral("Dear student,\n\nyour enrolment for the coming term has been "
                            "confirmed.\n\nThe Registry\n");
    constexpr int Hour = 60;
    constexpr int Day = 24 * Hour;
    return writeFile(rootPath + QStringLiteral("/README.txt"), readme, error, 3 * Day)
        && writeFile(rootPath + QStringLiteral("/letters/welcome.txt"), letter, error, 3 * Day)
        && writeFile(rootPath + QStringLiteral("/reports/enrolment.csv"), DemoReport::csv(), error, 2 * Day)
        && writeFile(rootPath + QStringLiteral("/reports/enrolment.pdf"), DemoReport::pdf(), error, 2 * Day)
        && writeFile(rootPath + QStringLiteral("/attendance-archive.csv"), SampleDocuments::attendanceArchive(),
                     error, Day + 6 * Hour)
        && writeFile(rootPath + QStringLiteral("/campus.png"), SampleDocuments::campusPicture(), error, Day)
        && writeFile(rootPath + QStringLiteral("/prospectus.pdf"), SampleDocuments::prospectus(), error, 5 * Hour)
        && writeFile(rootPath + QStringLiteral("/term-report.txt"), SampleDocuments::termReport(), error, 2 * Hour);
}

bool UserHome::contains(const QString &canonicalPath) const
{
    return !m_root.isEmpty()
        && (canonicalPath == m_root || canonicalPath.startsWith(m_root + QLatin1Char('/')));
}

bool UserHome::isHidden(const QString &clientPath)
{
    const QStringList parts = clientPath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        if (part.startsWith(QLatin1Char('.')) && part != QLatin1String("."))
            return true;
    }
    return false;
}

QString UserHome::clientPathOf(const QString &localPath) const
{
    if (localPath == m_root)
        return QStringLiteral("/");
    return localPath.mid(m_root.size());
}

UserHome::Resolved UserHome::resolve(const QString &clientPath, Follow follow) const
{
    Resolved result;
    if (m_root.isEmpty()) {
        result.error = QStringLiteral("The home directory is not available");
        return result;
    }
    if (clientPath.contains(QChar(0))) {
        result.error = QStringLiteral("Invalid file name");
        return result;
    }

    QStringList parts;
    for (const QString &part : clientPath.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..")) {
            result.error
                = QStringLiteral("Access denied: '%1' leads outside the home directory").arg(clientPath);
            return result;
        }
        parts.append(part);
    }
    result.clientPath = QLatin1Char('/') + parts.join(QLatin1Char('/'));

    if (parts.isEmpty()) {
        if (follow == Follow::NotFinal) {
            result.error = QStringLiteral("Access denied: the home directory itself cannot be changed");
            return result;
        }
        result.localPath = m_root;
        result.exists = true;
        return result;
    }

    // The parent must exist and stay inside even after following every link on the way.
    const QString name = parts.takeLast();
    const QString parentLocal
        = m_root + (parts.isEmpty() ? QString() : QLatin1Char('/') + parts.join(QLatin1Char('/')));
    const QString parent = QFileInfo(parentLocal).canonicalFilePath();
    if (parent.isEmpty() || !QFileInfo(parent).isDir()) {
        result.error
            = QStringLiteral("No such directory: '%1'").arg(QLatin1Char('/') + parts.join(QLatin1Char('/')));
        return result;
    }
    if (!contains(parent)) {
        result.error = QStringLiteral("Access denied: '%1' leads outside the home directory").arg(clientPath);
        return result;
    }

    const QString entry = parent + QLatin1Char('/') + name;
    result.exists = lexists(entry);
    result.localPath = entry;
    if (follow == Follow::NotFinal || !result.exists)
        return result;

    const QFileInfo info(entry);
    if (!info.isSymLink())
        return result;
    if (info.exists()) {
        const QString target = info.canonicalFilePath();
        if (!contains(target)) {
            result.localPath.clear();
            result.error
                = QStringLiteral("Access denied: '%1' leads outside the home directory").arg(clientPath);
            return result;
        }
        result.localPath = target;
        return result;
    }

    // A dangling link: whatever is written through it lands where it points, so follow it hop by
    // hop. The raw link text is used, not a lexically cleaned one, because ".." after a link
    // component means the link's parent to the system.
    QString current = entry;
    for (int hop = 0;; ++hop) {
        if (hop == MaxLinkHops) {
            result.localPath.clear();
            result.error = QStringLiteral("Too many levels of symbolic links: '%1'").arg(clientPath);
            return result;
        }
        QString target = readLink(current);
        if (!target.startsWith(QLatin1Char('/')))
            target = current.left(current.lastIndexOf(QLatin1Char('/')) + 1) + target;
        const int slash = target.lastIndexOf(QLatin1Char('/'));
        const QString targetName = target.mid(slash + 1);
        const QString targetParent
            = QFileInfo(slash == 0 ? QStringLiteral("/") : target.left(slash)).canonicalFilePath();
        if (targetParent.isEmpty() || targetName.isEmpty() || targetName == QLatin1String(".")
            || targetName == QLatin1String("..") || !contains(targetParent)) {
            result.localPath.clear();
            result.error = targetParent.isEmpty() || contains(targetParent)
                ? QStringLiteral("No such file or directory: '%1'").arg(clientPath)
                : QStringLiteral("Access denied: '%1' leads outside the home directory").arg(clientPath);
            return result;
        }
        current = targetParent + QLatin1Char('/') + targetName;
        if (!QFileInfo(current).isSymLink()) {
            result.localPath = current;
            return result;
        }
    }
}
