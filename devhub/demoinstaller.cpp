#include "demoinstaller.h"

#include <QUrl>
#include <QUrlQuery>

namespace {

QByteArray shellQuoted(const QString &text)
{
    QByteArray quoted = text.toUtf8();
    quoted.replace('\'', "'\\''");
    return '\'' + quoted + '\'';
}

} // namespace

QByteArray DemoInstaller::script(const QString &recordPath)
{
    // Written beside the record and moved over it, so a reader never sees half of it.
    return "#!/bin/sh\n"
           "# zu-devhub demo installer: installs nothing, records how it was started.\n"
           "record="
        + shellQuoted(recordPath)
        + "\n"
          "{\n"
          "    for argument in \"$@\"; do printf 'argument=%s\\n' \"$argument\"; done\n"
          "    printf 'folder=%s\\n' \"$(pwd)\"\n"
          "    printf 'XX_ZU_CLIENT_PATH=%s\\n' \"$XX_ZU_CLIENT_PATH\"\n"
          "} > \"$record.part\" && mv -f \"$record.part\" \"$record\"\n";
}

QString DemoInstaller::defaultUrl(const QString &host, quint16 installerPort, const QString &version)
{
    QUrl url;
    url.setScheme(QStringLiteral("https"));
    url.setHost(host);
    url.setPort(installerPort);
    url.setPath(QLatin1String(UrlPath));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("version"), version);
    url.setQuery(query);
    return url.toString(QUrl::FullyEncoded);
}
