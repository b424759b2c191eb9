#pragma once

#include <functional>

#include <QByteArray>
#include <QString>

class QWidget;

// The workstation side of remote files: the folders last used, where a name from a server listing
// may be written, and writes that never leave a truncated file behind.
class LocalFiles
{
public:
    // The folder of the last download or save (upload), if it still exists, else the home folder.
    static QString downloadLocation();
    static void setDownloadLocation(const QString &folder);
    static QString uploadLocation();
    static void setUploadLocation(const QString &folder);

    // The path for `name` directly inside `folder`, or an empty string with the reason when the
    // name could end up anywhere else: a separator, a ".." or "." name, a NUL, a drive letter, or
    // an existing link that leads out of the folder.
    static QString childPath(const QString &folder, const QString &name, QString *reason);

    // Writes the whole file through QSaveFile, so a failed write leaves an existing file as it was.
    static bool write(const QString &path, const QByteArray &data, QString *error);

    // "Save As" starting at the download location, proposing `proposedName` there. A chosen file
    // that exists but is not writable is refused with "File not writable"; otherwise its folder
    // becomes the download location and `chosen` gets the path. The dialog is a child of `parent`
    // and runs no event loop of its own: `chosen` is never called once `parent` is gone.
    static void askSaveFileName(QWidget *parent, const QString &proposedName,
                                std::function<void(const QString &path)> chosen);
    // Asks where, as above, and writes `bytes` there; where it went, or the failure, is reported.
    static void saveAs(QWidget *parent, const QString &proposedName, const QByteArray &bytes);

    // Tells the user a write failed; nothing was changed.
    static void reportWriteFailure(QWidget *parent, const QString &path, const QString &error);
};
