#include "platform.h"

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

} // namespace Platform
