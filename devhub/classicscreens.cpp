#include "classicscreens.h"

#include <QDebug>
#include <QFile>

// The resources are built into the library, so they are registered by hand before first use.
static void initScreenResources()
{
    Q_INIT_RESOURCE(devhub);
}

QByteArray ClassicScreens::document(const QString &name)
{
    static const bool registered = (initScreenResources(), true);
    Q_UNUSED(registered)
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
