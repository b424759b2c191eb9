#pragma once

#include <QString>

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

} // namespace Platform
