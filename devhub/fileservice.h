#pragma once

#include "userhome.h"

#include "menu.pb.h"

class DevHubConfig;

// The file operations of one logged-in user, on that user's home directory. Each operation takes
// the client's request and returns the complete reply envelope: the data on success, otherwise a
// FileOperationResponse whose fail_desc says why. Every path goes through UserHome first.
//
// Uploads, renames and copies follow the client's flags: a destination with a hidden component
// needs allow_hidden, an existing destination needs allow_overwrite, and a folder is never replaced.
class FileService
{
public:
    // Files are sent whole in one frame, which must stay below the frame limit.
    static constexpr qint64 MaxFileSize = 48 * 1024 * 1024;

    FileService(const UserHome &home, const DevHubConfig &config, const QString &spoolDir,
                const QString &userName);

    Menu::Envelope list(const Menu::FileInfoDataRequest &request) const;
    Menu::Envelope get(const Menu::FileRequest &request) const;
    Menu::Envelope upload(const Menu::File &file) const;
    Menu::Envelope rename(const Menu::RenameFile &request) const;
    Menu::Envelope copy(const Menu::CopyFile &request) const;
    Menu::Envelope remove(const Menu::DeleteFile &request) const;
    Menu::Envelope print(const Menu::PrintFile &request) const;

    // Adds a line at the end of a file of the home, creating it; the error text, empty on success.
    QString appendLine(const QString &clientPath, const QByteArray &line) const;

    static Menu::Envelope failure(quint32 requestId, const QString &description);
    static Menu::Envelope success(quint32 requestId);

    const UserHome &home() const { return m_home; }

private:
    // Shared checks for a file about to be created or replaced; empty when it may be written.
    QString checkDestination(const UserHome::Resolved &target, bool allowHidden, bool allowOverwrite) const;
    Menu::FileInfoData::FileInfo describe(const QString &localPath, const QString &name) const;

    UserHome m_home;
    const DevHubConfig &m_config;
    QString m_spoolDir;
    QString m_userName;
};
