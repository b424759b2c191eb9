#pragma once

#include <QString>

class QFileInfo;

#include <optional>

#include "zuhub.pb.h"

// Facilities that differ between operating systems. Each lives here once; callers never test the
// platform themselves.
namespace Platform {

// What the hub hello reports as this workstation's platform.
ZuHubProto::Platform hubPlatform();

// The installer framework's maintenance tool, looked for in the executable's directory.
QString maintenanceToolFileName();

// Whether Caps Lock is toggled on; empty where the platform cannot tell.
std::optional<bool> capsLockOn();

// A location only this user can write to, for files the client later runs: the user's own
// temporary folder on Windows, the user's cache elsewhere (a shared /tmp is not private). Empty
// when there is none.
QString privateScratchLocation();

// Whether the file itself (a link is not followed) belongs to the user running the client.
bool ownedByCurrentUser(const QFileInfo &info);

// Shows a file in the desktop's file manager, selected where the platform can do that, else opens
// its folder with the desktop's own handler. False when nothing could be opened.
bool showInFileManager(const QString &filePath);

// Whether the client runs with the system's highest rights (root), where some sandboxes refuse to run.
bool isSuperUser();

// Whether text files on this workstation end their lines with CR LF (the server's end with LF).
bool textUsesCrLf();

// Whether the peer of a connected stream socket has closed it, read without taking any bytes (for a
// socket whose own notifiers are paused). False while open; where the system tells (Linux), also
// true when unread bytes lie before the end, elsewhere those hide it.
bool peerHasClosed(qintptr socketDescriptor);

} // namespace Platform
