#pragma once

#include <QByteArray>
#include <QString>

// The installer the hub offers with an update: a shell script that installs nothing and records
// how the client started it (its arguments, working folder and the client path variable) in a
// file of the hub's data folder, so that the whole update path can be tried on one machine.
class DemoInstaller
{
public:
    static constexpr char UrlPath[] = "/installer/zu-desktop-installer.run";
    static constexpr char RecordFileName[] = "installer-run.txt";

    static QByteArray script(const QString &recordPath);
    // The address offered when the operator names none: HTTPS, on the hub's own certificate.
    static QString defaultUrl(const QString &host, quint16 installerPort, const QString &version);
};
