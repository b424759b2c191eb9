#pragma once

// The stand-in hub's resources (built-in configuration, screens, sample dictionaries) live in a
// static library, so they are registered by hand before first use. Safe to call any number of times.
void registerDevHubResources();
