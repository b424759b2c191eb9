#include "clientidentity.h"

#include <QCoreApplication>
#include <QDebug>
#include <QSettings>

namespace {
const QString SystemIdKey = QStringLiteral("systemID");
const QString UserIdKey = QStringLiteral("userID");
} // namespace

ClientIdentity::ClientIdentity()
{
    QSettings machineStore(QSettings::SystemScope, QCoreApplication::organizationName(),
                           QCoreApplication::applicationName());
    QSettings userStore;
    load(machineStore, userStore);
}

ClientIdentity::ClientIdentity(QSettings &machineStore, QSettings &userStore)
{
    load(machineStore, userStore);
}

// A stored value that is not a UUID counts as missing, so a damaged store heals instead of
// reporting a null identity for ever.
static QUuid storedUuid(const QSettings &store, const QString &key)
{
    if (!store.contains(key))
        return {};
    const QUuid uuid(store.value(key).toString());
    if (uuid.isNull())
        qWarning() << "ClientIdentity::load() - ignoring invalid" << key << store.value(key).toString();
    return uuid;
}

void ClientIdentity::load(QSettings &machineStore, QSettings &userStore)
{
    m_systemUuid = storedUuid(machineStore, SystemIdKey);
    if (m_systemUuid.isNull()) {
        if (machineStore.isWritable()) {
            qInfo() << "Generating system UUID";
            m_systemUuid = QUuid::createUuid();
            machineStore.setValue(SystemIdKey, m_systemUuid.toString());
        } else {
            qInfo() << "Could not save system UUID. System settings are not writable.";
        }
    }

    m_userUuid = storedUuid(userStore, UserIdKey);
    if (m_userUuid.isNull()) {
        qInfo() << "Generating user UUID";
        m_userUuid = QUuid::createUuid();
        userStore.setValue(UserIdKey, m_userUuid.toString());
    }

    qInfo() << "systemUUID:" << m_systemUuid.toString();
    qInfo() << "  userUUID:" << m_userUuid.toString();
}
