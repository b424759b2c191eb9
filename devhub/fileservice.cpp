#include "fileservice.h"

#include "devhubconfig.h"

#include "latin1.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <grp.h>
#include <limits>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using FileInfo = Menu::FileInfoData::FileInfo;

namespace {

constexpr qint64 CopyChunk = 1024 * 1024;
constexpr char DateFormat[] = "MM/dd/yyyy";
constexpr char TimeFormat[] = "hh:mm:ss";

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

QByteArray nativePath(const QString &path)
{
    return QFile::encodeName(path);
}

bool lstatPath(const QString &path, struct stat *st)
{
    return ::lstat(nativePath(path).constData(), st) == 0;
}

bool isRegularFile(const QString &path)
{
    struct stat st;
    return ::stat(nativePath(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isDirectory(const QString &path)
{
    struct stat st;
    return ::stat(nativePath(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

FileInfo::FileType typeOf(mode_t mode)
{
    if (S_ISLNK(mode))
        return FileInfo::LINK;
    if (S_ISDIR(mode))
        return FileInfo::DIR;
    if (S_ISREG(mode))
        return FileInfo::FILE;
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return FileInfo::DEVICE;
    if (S_ISSOCK(mode))
        return FileInfo::SOCKET;
    if (S_ISFIFO(mode))
        return FileInfo::PIPE;
    return FileInfo::UNKNOWN;
}

QString ownerName(uid_t uid)
{
    const passwd *entry = ::getpwuid(uid);
    return entry ? QString::fromLocal8Bit(entry->pw_name) : QString::number(uid);
}

QString groupName(gid_t gid)
{
    const group *entry = ::getgrgid(gid);
    return entry ? QString::fromLocal8Bit(entry->gr_name) : QString::number(gid);
}

QString fileNameOf(const QString &clientPath)
{
    return clientPath.mid(clientPath.lastIndexOf(QLatin1Char('/')) + 1);
}

// Names from the configuration or the client that become part of a spool path.
QString safeName(QString name)
{
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_-]")), QStringLiteral("_"));
    return name;
}

// Writes source into a QSaveFile in chunks, so a large copy never sits in memory whole.
QString copyContents(const QString &source, const QString &destination)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return QStringLiteral("Cannot read the source: %1").arg(in.errorString());
    QSaveFile out(destination);
    if (!out.open(QIODevice::WriteOnly))
        return QStringLiteral("Cannot write the destination: %1").arg(out.errorString());
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(CopyChunk);
        if (chunk.isEmpty() && in.error() != QFileDevice::NoError)
            return QStringLiteral("Cannot read the source: %1").arg(in.errorString());
        if (out.write(chunk) != chunk.size())
            return QStringLiteral("Cannot write the destination: %1").arg(out.errorString());
    }
    if (!out.commit())
        return QStringLiteral("Cannot write the destination: %1").arg(out.errorString());
    return QString();
}

} // namespace

FileService::FileService(const UserHome &home, const DevHubConfig &config, const QString &spoolDir,
                         const QString &userName)
    : m_home(home)
    , m_config(config)
    , m_spoolDir(spoolDir)
    , m_userName(userName)
{ }

Menu::Envelope FileService::failure(quint32 requestId, const QString &description)
{
    Menu::Envelope envelope;
    auto *response = envelope.mutable_fileoperationresponse();
    response->set_request_id(requestId);
    response->set_success(false);
    response->set_fail_desc(Latin1::fromQString(description));
    return envelope;
}

Menu::Envelope FileService::success(quint32 requestId)
{
    Menu::Envelope envelope;
    auto *response = envelope.mutable_fileoperationresponse();
    response->set_request_id(requestId);
    response->set_success(true);
    return envelope;
}

FileInfo FileService::describe(const QString &localPath, const QString &name) const
{
    FileInfo info;
    info.set_name(Latin1::fromQString(name));
    struct stat st;
    if (!lstatPath(localPath, &st)) {
        info.set_type(FileInfo::UNKNOWN);
        return info;
    }
    info.set_type(typeOf(st.st_mode));
    info.set_owner(Latin1::fromQString(ownerName(st.st_uid)));
    info.set_group(Latin1::fromQString(groupName(st.st_gid)));
    const QDateTime modified = QDateTime::fromSecsSinceEpoch(st.st_mtime);
    info.set_date(Latin1::fromQString(modified.toString(QLatin1String(DateFormat))));
    info.set_time(Latin1::fromQString(modified.toString(QLatin1String(TimeFormat))));
    info.set_size(int(qMin<qint64>(st.st_size, std::numeric_limits<qint32>::max())));

    // Access is judged on what the entry leads to, and only when that is inside the home.
    bool reachable = true;
    if (S_ISLNK(st.st_mode)) {
        const QString target = QFileInfo(localPath).canonicalFilePath();
        reachable = !target.isEmpty() && m_home.contains(target);
    }
    const QByteArray path = nativePath(localPath);
    info.set_is_readable(reachable && ::access(path.constData(), R_OK) == 0);
    info.set_is_writable(reachable && ::access(path.constData(), W_OK) == 0);
    info.set_is_executable(reachable && ::access(path.constData(), X_OK) == 0);
    return info;
}

Menu::Envelope FileService::list(const Menu::FileInfoDataRequest &request) const
{
    const quint32 id = request.request_id();
    const UserHome::Resolved dir
        = m_home.resolve(Latin1::toQString(request.directory()), UserHome::Follow::Final);
    if (!dir.ok())
        return failure(id, dir.error);
    if (!dir.exists)
        return failure(id, QStringLiteral("No such directory: '%1'").arg(dir.clientPath));
    if (!isDirectory(dir.localPath))
        return failure(id, QStringLiteral("Not a directory: '%1'").arg(dir.clientPath));

    QDir directory(dir.localPath);
    if (!directory.isReadable())
        return failure(id, QStringLiteral("Permission denied: '%1'").arg(dir.clientPath));
    QDir::Filters filters = QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot;
    if (request.include_hidden())
        filters |= QDir::Hidden;
    const QString filter = Latin1::toQString(request.filter()).trimmed();
    const QStringList nameFilters = filter.isEmpty()
        ? QStringList()
        : filter.split(QRegularExpression(QStringLiteral("[;\\s]+")), Qt::SkipEmptyParts);

    Menu::Envelope envelope;
    auto *data = envelope.mutable_fileinfodata();
    data->set_request_id(id);
    data->set_pathname(Latin1::fromQString(dir.clientPath));
    const QStringList names = directory.entryList(nameFilters, filters, QDir::Name | QDir::DirsFirst);
    for (const QString &name : names)
        *data->add_fileinfo() = describe(directory.filePath(name), name);
    return envelope;
}

Menu::Envelope FileService::get(const Menu::FileRequest &request) const
{
    const quint32 id = request.request_id();
    const UserHome::Resolved file
        = m_home.resolve(Latin1::toQString(request.filename()), UserHome::Follow::Final);
    if (!file.ok())
        return failure(id, file.error);
    if (!file.exists)
        return failure(id, QStringLiteral("No such file: '%1'").arg(file.clientPath));
    if (!isRegularFile(file.localPath))
        return failure(id, QStringLiteral("Not a file: '%1'").arg(file.clientPath));

    QFile in(file.localPath);
    if (in.size() > MaxFileSize)
        return failure(id,
                       QStringLiteral("File '%1' is too large to send (%2 bytes; the limit is %3)")
                           .arg(file.clientPath)
                           .arg(in.size())
                           .arg(MaxFileSize));
    if (!in.open(QIODevice::ReadOnly))
        return failure(id, QStringLiteral("Cannot read '%1': %2").arg(file.clientPath, in.errorString()));
    const QByteArray bytes = in.read(MaxFileSize + 1);
    if (bytes.size() > MaxFileSize)
        return failure(id, QStringLiteral("File '%1' is too large to send").arg(file.clientPath));

    Menu::Envelope envelope;
    auto *reply = envelope.mutable_file();
    reply->set_filename(Latin1::fromQString(file.clientPath));
    reply->set_file(bytes.constData(), size_t(bytes.size()));
    reply->set_request_id(id);
    return envelope;
}

QString FileService::checkDestination(const UserHome::Resolved &target, bool allowHidden,
                                      bool allowOverwrite) const
{
    if (!target.ok())
        return target.error;
    if (target.clientPath == QLatin1String("/"))
        return QStringLiteral("A file name is needed");
    if (!allowHidden && UserHome::isHidden(target.clientPath))
        return QStringLiteral("Hidden file names are not allowed: '%1'").arg(target.clientPath);
    if (!target.exists)
        return QString();
    if (isDirectory(target.localPath))
        return QStringLiteral("'%1' is a folder").arg(target.clientPath);
    if (!allowOverwrite)
        return QStringLiteral("File '%1' already exists").arg(target.clientPath);
    return QString();
}

Menu::Envelope FileService::upload(const Menu::File &file) const
{
    const quint32 id = file.request_id();
    const UserHome::Resolved target
        = m_home.resolve(Latin1::toQString(file.filename()), UserHome::Follow::Final);
    const QString refused = checkDestination(target, file.allow_hidden(), file.allow_overwrite());
    if (!refused.isEmpty())
        return failure(id, refused);

    QSaveFile out(target.localPath);
    if (!out.open(QIODevice::WriteOnly)
        || out.write(file.file().data(), qint64(file.file().size())) != qint64(file.file().size())
        || !out.commit())
        return failure(id, QStringLiteral("Cannot write '%1': %2").arg(target.clientPath, out.errorString()));
    return success(id);
}

Menu::Envelope FileService::rename(const Menu::RenameFile &request) const
{
    const quint32 id = request.request_id();
    const UserHome::Resolved source
        = m_home.resolve(Latin1::toQString(request.currentname()), UserHome::Follow::NotFinal);
    if (!source.ok())
        return failure(id, source.error);
    if (!source.exists)
        return failure(id, QStringLiteral("No such file: '%1'").arg(source.clientPath));
    const UserHome::Resolved target
        = m_home.resolve(Latin1::toQString(request.newname()), UserHome::Follow::NotFinal);
    const QString refused = checkDestination(target, request.allow_hidden(), request.allow_overwrite());
    if (!refused.isEmpty())
        return failure(id, refused);
    if (::rename(nativePath(source.localPath).constData(), nativePath(target.localPath).constData()) != 0)
        return failure(id, QStringLiteral("Cannot rename '%1': %2").arg(source.clientPath, systemError()));
    return success(id);
}

Menu::Envelope FileService::copy(const Menu::CopyFile &request) const
{
    const quint32 id = request.request_id();
    const UserHome::Resolved source
        = m_home.resolve(Latin1::toQString(request.sourcename()), UserHome::Follow::Final);
    if (!source.ok())
        return failure(id, source.error);
    if (!source.exists)
        return failure(id, QStringLiteral("No such file: '%1'").arg(source.clientPath));
    if (!isRegularFile(source.localPath))
        return failure(id, QStringLiteral("Only files can be copied: '%1'").arg(source.clientPath));
    const UserHome::Resolved target
        = m_home.resolve(Latin1::toQString(request.destname()), UserHome::Follow::Final);
    const QString refused = checkDestination(target, request.allow_hidden(), request.allow_overwrite());
    if (!refused.isEmpty())
        return failure(id, refused);
    if (target.localPath == source.localPath)
        return failure(id, QStringLiteral("A file cannot be copied onto itself"));
    const QString error = copyContents(source.localPath, target.localPath);
    if (!error.isEmpty())
        return failure(id, error);
    return success(id);
}

Menu::Envelope FileService::remove(const Menu::DeleteFile &request) const
{
    const quint32 id = request.request_id();
    const UserHome::Resolved target
        = m_home.resolve(Latin1::toQString(request.filename()), UserHome::Follow::NotFinal);
    if (!target.ok())
        return failure(id, target.error);
    if (!target.exists)
        return failure(id, QStringLiteral("No such file: '%1'").arg(target.clientPath));
    struct stat st;
    const QByteArray path = nativePath(target.localPath);
    const bool folder = lstatPath(target.localPath, &st) && S_ISDIR(st.st_mode);
    if (folder ? ::rmdir(path.constData()) != 0 : ::unlink(path.constData()) != 0) {
        if (folder && (errno == ENOTEMPTY || errno == EEXIST))
            return failure(id, QStringLiteral("Folder '%1' is not empty").arg(target.clientPath));
        return failure(id, QStringLiteral("Cannot delete '%1': %2").arg(target.clientPath, systemError()));
    }
    return success(id);
}

Menu::Envelope FileService::print(const Menu::PrintFile &request) const
{
    const quint32 id = request.request_id();
    const QString printer = Latin1::toQString(request.printer());
    if (!m_config.hasPrinter(printer))
        return failure(id, QStringLiteral("Unknown printer '%1'").arg(printer));
    const UserHome::Resolved source
        = m_home.resolve(Latin1::toQString(request.filename()), UserHome::Follow::Final);
    if (!source.ok())
        return failure(id, source.error);
    if (!source.exists)
        return failure(id, QStringLiteral("No such file: '%1'").arg(source.clientPath));
    if (!isRegularFile(source.localPath))
        return failure(id, QStringLiteral("Only files can be printed: '%1'").arg(source.clientPath));

    const QString queueDir = m_spoolDir + QLatin1Char('/') + safeName(printer);
    if (!QDir().mkpath(queueDir))
        return failure(id, QStringLiteral("Cannot create the spool directory of '%1'").arg(printer));
    const QString form = safeName(Latin1::toQString(request.formtype()));
    const QString job
        = QStringLiteral("%1/%2-%3%4-%5")
              .arg(queueDir, QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss-zzz")),
                   safeName(m_userName), form.isEmpty() ? QString() : QLatin1Char('-') + form,
                   fileNameOf(source.clientPath));
    const QString error = copyContents(source.localPath, job);
    if (!error.isEmpty())
        return failure(id, error);
    return success(id);
}

QString FileService::appendLine(const QString &clientPath, const QByteArray &line) const
{
    const UserHome::Resolved target = m_home.resolve(clientPath, UserHome::Follow::Final);
    if (!target.ok())
        return target.error;
    QFile out(target.localPath);
    if (!out.open(QIODevice::Append) || out.write(line + '\n') != line.size() + 1)
        return QStringLiteral("Cannot write '%1': %2").arg(target.clientPath, out.errorString());
    return QString();
}
