#include "platform.h"

#include <QGuiApplication>

#if defined(Q_OS_WIN)
#include <windows.h>
#elif defined(ZU_HAVE_X11)
#include <X11/XKBlib.h>
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

} // namespace Platform
