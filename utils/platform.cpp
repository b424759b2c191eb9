#include "platform.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#if defined(Q_OS_WIN)
#include <winsock2.h>
#include <windows.h>
#else
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#if defined(ZU_HAVE_X11)
#include <X11/XKBlib.h>
#endif
#endif

namespace Platform {

ZuHubProto::Platform hubPlatform()
{
#if defined(Q_OS_WIN)
    return ZuHubProto::WIN;
#elif defined(Q_OS_MACOS)
    return ZuHubProto::MAC;
#else
    return ZuHubProto::OTHER;
#endif
}

QString maintenanceToolFileName()
{
#if defined(Q_OS_WIN)
    return QStringLiteral("maintenancetool.exe");
#else
    return QStringLiteral("maintenancetool");
#endif
}

std::optional<bool> capsLockOn()
{
#if defined(Q_OS_WIN)
    // Toggled on and not held down.
    return GetKeyState(VK_CAPITAL) == 1;
#elif defined(ZU_HAVE_X11)
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return std::nullopt;
    // A connection of our own: cheap, and independent of Qt's private native interface.
    static Display *display = XOpenDisplay(nullptr);
    if (!display)
        return std::nullopt;
    unsigned int indicators = 0;
    if (XkbGetIndicatorState(display, XkbUseCoreKbd, &indicators) != Success)
        return std::nullopt;
    return (indicators & 0x1) != 0;
#else
    return std::nullopt;
#endif
}

QString privateScratchLocation()
{
#if defined(Q_OS_WIN)
    return QDir::tempPath();
#else
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
#endif
}

bool ownedByCurrentUser(const QFileInfo &info)
{
#if defined(Q_OS_WIN)
    Q_UNUSED(info)
    return true; // below the user's own profile folder
#else
    struct stat status;
    return ::lstat(QFile::encodeName(info.absoluteFilePath()).constData(), &status) == 0
        && status.st_uid == ::geteuid();
#endif
}

bool showInFileManager(const QString &filePath)
{
#if defined(Q_OS_WIN)
    if (QProcess::startDetached(QStringLiteral("explorer"),
                                { QStringLiteral("/select,"), QDir::toNativeSeparators(filePath) }))
        return true;
#endif
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(filePath).absolutePath()));
}

bool isSuperUser()
{
#if defined(Q_OS_WIN)
    return false;
#else
    return ::geteuid() == 0;
#endif
}

bool textUsesCrLf()
{
#if defined(Q_OS_WIN)
    return true;
#else
    return false;
#endif
}

bool peerHasClosed(qintptr socketDescriptor)
{
    if (socketDescriptor < 0)
        return true;
    char byte;
#if defined(Q_OS_WIN)
    const int read = ::recv(SOCKET(socketDescriptor), &byte, 1, MSG_PEEK);
    return read == 0 || (read < 0 && WSAGetLastError() != WSAEWOULDBLOCK);
#else
#if defined(POLLRDHUP)
    // The peer's end of the stream is seen even behind bytes nobody has read yet.
    pollfd watched { int(socketDescriptor), POLLRDHUP, 0 };
    if (::poll(&watched, 1, 0) > 0 && (watched.revents & (POLLRDHUP | POLLHUP | POLLERR)))
        return true;
#endif
    const ssize_t read = ::recv(int(socketDescriptor), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return read == 0 || (read < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
#endif
}

} // namespace Platform
