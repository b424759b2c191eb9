#include "classicscreens.h"

#include "devhubresources.h"

#include <QDebug>
#include <QFile>

QByteArray ClassicScreens::document(const QString &name)
{
    registerDevHubResources();
    QFile file(QStringLiteral(":/devhub/%1").arg(path(name)));
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning().noquote() << QStringLiteral("classic: no screen document \"%1\"").arg(name);
        return QByteArray();
    }
    return file.readAll();
}

QString ClassicScreens::path(const QString &name)
{
    return QStringLiteral("screens/%1.ui").arg(name);
}
