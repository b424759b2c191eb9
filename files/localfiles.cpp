#include "localfiles.h"

#include "filemessagebox.h"

#include "utils/openprompt.h"
#include "utils/savednotice.h"

#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>

namespace {

const QString DownloadKey = QStringLiteral("downloadLocation");
const QString UploadKey = QStringLiteral("uploadLocation");

// A remembered folder that has gone since would start the file dialog nowhere.
QString storedFolder(const QString &key)
{
    const QString folder = QSettings().value(key).toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QDir::homePath();
}

bool hasDriveLetter(const QString &name)
{
    if (name.size() < 2 || name.at(1) != QLatin1Char(':'))
        return false;
    const char letter = name.at(0).toLatin1();
    return (letter >= 'a' && letter <= 'z') || (letter >= 'A' && letter <= 'Z');
}

} // namespace

QString LocalFiles::downloadLocation()
{
    return storedFolder(DownloadKey);
}

void LocalFiles::setDownloadLocation(const QString &folder)
{
    QSettings().setValue(DownloadKey, folder);
}

QString LocalFiles::uploadLocation()
{
    return storedFolder(UploadKey);
}

void LocalFiles::setUploadLocation(const QString &folder)
{
    QSettings().setValue(UploadKey, folder);
}

QString LocalFiles::childPath(const QString &folder, const QString &name, QString *reason)
{
    reason->clear();
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        *reason = QStringLiteral("it is not a file name");
    else if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        *reason = QStringLiteral("it contains a folder separator");
    else if (name.contains(QChar(0)))
        *reason = QStringLiteral("it contains a NUL character");
    else if (hasDriveLetter(name))
        *reason = QStringLiteral("it starts with a drive letter");
    if (!reason->isEmpty())
        return QString();

    const QDir base(QDir::cleanPath(QDir(folder).absolutePath()));
    const QString path = base.filePath(name);
    // A link would be written through (QSaveFile follows it), so it must lead into the folder.
    const QFileInfo entry(path);
    if (entry.isSymLink()) {
        const QString target = entry.canonicalFilePath();
        QString inside = base.canonicalPath();
        if (!inside.endsWith(QLatin1Char('/')))
            inside += QLatin1Char('/');
        if (target.isEmpty() || !target.startsWith(inside)) {
            *reason = QStringLiteral("a link of that name leads out of the folder");
            return QString();
        }
    }
    return path;
}

bool LocalFiles::write(const QString &path, const QByteArray &data, QString *error)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.commit())
        return true;
    *error = file.errorString();
    return false;
}

void LocalFiles::askSaveFileName(QWidget *parent, const QString &proposedName,
                                 std::function<void(const QString &)> chosen)
{
    const QString start = downloadLocation();
    QString unsafe;
    const QString proposal = childPath(start, proposedName, &unsafe);
    auto *dialog = new QFileDialog(parent, QStringLiteral("Save As"), proposal.isEmpty() ? start : proposal);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    openPrompt(dialog, dialog, [parent, chosen](QFileDialog *dialog, int result) {
        const QStringList files = dialog->selectedFiles();
        if (result != QDialog::Accepted || files.isEmpty())
            return;
        const QFileInfo info(files.first());
        if (info.exists() && !info.isWritable()) {
            auto *box = new FileMessageBox(QMessageBox::Information, QStringLiteral("File not writable"),
                                           QStringLiteral("Unable to write to file '%1'").arg(info.absoluteFilePath()),
                                           QString(), parent);
            box->setStandardButtons(QMessageBox::Ok);
            openPrompt(box, box, [](QMessageBox *, int) {});
            return;
        }
        setDownloadLocation(info.absolutePath());
        chosen(info.filePath());
    });
}

void LocalFiles::saveAs(QWidget *parent, const QString &proposedName, const QByteArray &bytes)
{
    askSaveFileName(parent, proposedName, [parent, bytes](const QString &path) {
        QString error;
        if (write(path, bytes, &error))
            SavedNotice::savedTo(parent, path);
        else
            reportWriteFailure(parent, path, error);
    });
}

void LocalFiles::reportWriteFailure(QWidget *parent, const QString &path, const QString &error)
{
    qWarning() << "Cannot write file" << path << error;
    auto *box = new FileMessageBox(QMessageBox::Critical, QString(), QStringLiteral("Could not write file '%1'").arg(path),
                                   error, parent);
    box->setStandardButtons(QMessageBox::Ok);
    openPrompt(box, box, [](QMessageBox *, int) {});
}
