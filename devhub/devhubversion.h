#pragma once

// Reported in the hub's handshakes and by --version.
inline constexpr char DevHubVersion[] = "1.0.0";
