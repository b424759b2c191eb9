#pragma once

class QUrl;

// Whether an address a server names may be handed to a browser or the desktop: only http and https
// are. Anything else (file:, a network share, a custom handler, a script) would run on the
// workstation or show its files.
bool isWebUrl(const QUrl &url);
