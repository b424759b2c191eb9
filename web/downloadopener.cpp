#include "downloadopener.h"

#include "utils/platform.h"

#include <QDebug>
#include <QDesktopServices>
#include <QMimeDatabase>
#include <QStringList>
#include <QUrl>

namespace {

const QStringList &documentTypes()
{
    static const QStringList types {
        QStringLiteral("application/pdf"),
        QStringLiteral("image/png"),
        QStringLiteral("image/jpeg"),
        QStringLiteral("image/gif"),
        QStringLiteral("image/bmp"),
        QStringLiteral("image/tiff"),
        QStringLiteral("image/webp"),
        QStringLiteral("text/plain"),
        QStringLiteral("text/csv"),
        QStringLiteral("application/rtf"),
        QStringLiteral("application/msword"),
        QStringLiteral("application/vnd.ms-excel"),
        QStringLiteral("application/vnd.ms-powerpoint"),
        QStringLiteral("application/vnd.openxmlformats-officedocument.wordprocessingml.document"),
        QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"),
        QStringLiteral("application/vnd.openxmlformats-officedocument.presentationml.presentation"),
        QStringLiteral("application/vnd.oasis.opendocument.text"),
        QStringLiteral("application/vnd.oasis.opendocument.spreadsheet"),
        QStringLiteral("application/vnd.oasis.opendocument.presentation"),
    };
    return types;
}

bool listed(const QMimeType &type)
{
    return documentTypes().contains(type.name());
}

} // namespace

bool DownloadOpener::isDocument(const QString &path, QString *typeName)
{
    const QMimeDatabase database;
    const QMimeType byName = database.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    const QMimeType byContent = database.mimeTypeForFile(path, QMimeDatabase::MatchContent);
    if (typeName)
        *typeName = byName.name() == byContent.name() ? byName.name()
                                                      : QStringLiteral("%1, content %2").arg(byName.name(), byContent.name());
    if (!listed(byName))
        return false;
    // The content must agree: the same type, or the container the named type is made of (an
    // office document is a zip archive, CSV is plain text). An empty file has nothing to run.
    return byContent.name() == byName.name() || byName.inherits(byContent.name())
        || byContent.name() == QLatin1String("application/x-zerosize");
}

DownloadOpener::Outcome DownloadOpener::open(const QString &path)
{
    QString type;
    if (!isDocument(path, &type)) {
        qInfo() << "DownloadOpener - saved, not opened: not a document:" << path << type;
        return Outcome::NotADocument;
    }
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        return Outcome::Opened;
    qDebug() << "Failed to open with native application. Open file browser.";
    if (Platform::showInFileManager(path))
        return Outcome::ShownInFolder;
    qWarning() << "DownloadOpener - could not show" << path;
    return Outcome::NotOpened;
}
