#pragma once

#include <QString>

// One configured hub host, as chosen on the login dialog.
struct HostEntry
{
    QString name;
    QString host;
    quint16 port = 0;
    QString defaultRelease;

    // Key of this host's per-host settings.
    QString settingsKey() const { return QStringLiteral("%1:%2").arg(host).arg(port); }
};
