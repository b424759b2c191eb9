#include "testenvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

TestEnvironment::TestEnvironment()
{
    Q_ASSERT(m_dir.isValid());
    QDir(m_dir.path()).mkpath(QStringLiteral("config"));
    QDir(m_dir.path()).mkpath(QStringLiteral("data"));
    QDir(m_dir.path()).mkpath(QStringLiteral("system"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.path() + QStringLiteral("/config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataPath()));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       m_dir.path() + QStringLiteral("/config"));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.path() + QStringLiteral("/config"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, systemConfigPath());
    QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope, systemConfigPath());
    if (QCoreApplication::organizationName().isEmpty()) {
        QCoreApplication::setOrganizationName(QStringLiteral("Halvorne"));
        QCoreApplication::setApplicationName(QStringLiteral("Halvorne ZU"));
    }
}

QString TestEnvironment::dataPath() const
{
    return m_dir.path() + QStringLiteral("/data");
}

QString TestEnvironment::systemConfigPath() const
{
    return m_dir.path() + QStringLiteral("/system");
}

void TestEnvironment::lockSystemConfig()
{
    // A plain file where the store's folder would go: nothing below it can be created, even by root.
    const QString orgDir = systemConfigPath() + QLatin1Char('/') + QCoreApplication::organizationName();
    QDir(orgDir).removeRecursively();
    QFile blocker(orgDir);
    blocker.open(QIODevice::WriteOnly);
}
