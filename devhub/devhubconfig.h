#pragma once

#include <QHash>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

// What the stand-in hub serves: users, releases, printers, scheduled processes, the menu tree and
// the demo applications' settings. Read once from JSON (a file, or the built-in default) and
// immutable afterwards; what changes at run time (passwords, removed processes) lives in UserStore.
class DevHubConfig
{
public:
    struct Release
    {
        QString key;
        QString title;
    };

    struct User
    {
        QString name;
        QString password;
        bool mustChangePassword = false;
        bool disabled = false;
        QStringList releases; // keys; all releases when the entry names none
    };

    struct Printer
    {
        QString name;
        QString description;
    };

    struct ScheduledProcess
    {
        int number = 0;
        QString title;
        QString dateTime;
        QString execLine;
    };

    struct MenuNode
    {
        QString shortDesc;
        QString longDesc;
        QString password;
        QString menuPath;
        QString app; // demo application kind, or empty for a plain menu
        QJsonObject options; // per-item application settings, over the application's defaults
        QVector<MenuNode> children;
    };

    static constexpr quint16 DefaultClassicListenPort = 33333;

    // The built-in configuration's JSON text, as shipped.
    static QByteArray builtInJson();
    static std::unique_ptr<DevHubConfig> builtIn(QString *error);
    static std::unique_ptr<DevHubConfig> fromFile(const QString &path, QString *error);
    static std::unique_ptr<DevHubConfig> fromJson(const QByteArray &json, QString *error);

    const QVector<Release> &releases() const { return m_releases; }
    const QVector<User> &users() const { return m_users; }
    const User *user(const QString &name) const;
    QVector<Release> releasesFor(const QString &userName) const;
    const QVector<Printer> &printers() const { return m_printers; }
    bool hasPrinter(const QString &name) const;
    QString defaultPrinter() const { return m_defaultPrinter; }
    const QVector<ScheduledProcess> &scheduledProcesses() const { return m_scheduledProcesses; }
    const MenuNode &menu() const { return m_menu; }
    const MenuNode *findMenuItem(const QString &menuPath) const;
    quint16 classicListenPort() const { return m_classicListenPort; }

    // The application's defaults with the item's own options laid over them.
    QJsonObject applicationOptions(const QString &app, const QJsonObject &itemOptions = {}) const;

private:
    DevHubConfig() = default;
    Q_DISABLE_COPY(DevHubConfig)
    bool parse(const QJsonObject &root, QString *error);
    bool parseMenu(const QJsonObject &object, const QString &where, MenuNode *node, QString *error);

    QVector<Release> m_releases;
    QVector<User> m_users;
    QVector<Printer> m_printers;
    QString m_defaultPrinter;
    QVector<ScheduledProcess> m_scheduledProcesses;
    QHash<QString, QJsonObject> m_applications;
    MenuNode m_menu;
    QHash<QString, const MenuNode *> m_menuIndex;
    quint16 m_classicListenPort = DefaultClassicListenPort;
};
