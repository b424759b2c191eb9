#include "fuzzsupport.h"

#include "menu/mainconnection.h"
#include "settings/settingsmanager.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

// The settings file fetched from the user's server home, as the settings manager takes it in.
QList<QByteArray> fuzzSeeds()
{
    const QJsonObject launches { { QStringLiteral("fuzz"),
                                   QJsonArray { QJsonObject { { QStringLiteral("path"), "/Students/Reports" },
                                                              { QStringLiteral("time"), "2026-01-02T03:04:05" } } } } };
    const QJsonObject file { { QStringLiteral("themeName"), QStringLiteral("Dark") },
                             { QStringLiteral("keyMapper"), QJsonObject { { QStringLiteral("done"), "F10" } } },
                             { QStringLiteral("pinnedLaunches"), launches },
                             { QStringLiteral("recentLaunches"), launches } };
    return { QJsonDocument(file).toJson(), "{}", "[1,2]", R"({"themeName":7,"keyMapper":{"done":"Ctrl+Alt+Shift+Meta+X, F1"}})" };
}

void fuzzOne(const QByteArray &input)
{
    static MainConnection connection;
    SettingsManager::resetInstance();
    SettingsManager *settings = SettingsManager::instance();
    settings->setRecentsKey(QStringLiteral("fuzz"));
    settings->setMainConnection(&connection);
    settings->processFile(3, input);
    SettingsManager::resetInstance();
}
