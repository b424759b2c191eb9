#include "devhubconfig.h"

#include "accesscode.h"

#include "demoappfactory.h"
#include "devhubresources.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

namespace {

constexpr char BuiltInPath[] = ":/devhub/defaultconfig.json";
constexpr char WebApp[] = "web";

bool requireString(const QJsonObject &object, const char *key, const QString &where, QString *out,
                   QString *error)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (!value.isString() || value.toString().isEmpty()) {
        *error = QStringLiteral("%1: \"%2\" must be a non-empty string").arg(where, QLatin1String(key));
        return false;
    }
    *out = value.toString();
    return true;
}

bool optionalString(const QJsonObject &object, const char *key, const QString &where, QString *out,
                    QString *error)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined() || value.isNull())
        return true;
    if (!value.isString()) {
        *error = QStringLiteral("%1: \"%2\" must be a string").arg(where, QLatin1String(key));
        return false;
    }
    *out = value.toString();
    return true;
}

bool optionalBool(const QJsonObject &object, const char *key, const QString &where, bool *out, QString *error)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined() || value.isNull())
        return true;
    if (!value.isBool()) {
        *error = QStringLiteral("%1: \"%2\" must be true or false").arg(where, QLatin1String(key));
        return false;
    }
    *out = value.toBool();
    return true;
}

bool arrayOfObjects(const QJsonObject &root, const char *key, QJsonArray *out, QString *error)
{
    const QJsonValue value = root.value(QLatin1String(key));
    if (value.isUndefined())
        return true;
    if (!value.isArray()) {
        *error = QStringLiteral("\"%1\" must be an array").arg(QLatin1String(key));
        return false;
    }
    for (const QJsonValue &entry : value.toArray()) {
        if (!entry.isObject()) {
            *error = QStringLiteral("\"%1\": every entry must be an object").arg(QLatin1String(key));
            return false;
        }
    }
    *out = value.toArray();
    return true;
}

} // namespace

QByteArray DevHubConfig::builtInJson()
{
    registerDevHubResources();
    QFile file(QString::fromLatin1(BuiltInPath));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

std::unique_ptr<DevHubConfig> DevHubConfig::builtIn(QString *error)
{
    const QByteArray json = builtInJson();
    if (json.isEmpty()) {
        *error = QStringLiteral("the built-in configuration is missing");
        return nullptr;
    }
    return fromJson(json, error);
}

std::unique_ptr<DevHubConfig> DevHubConfig::fromFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return nullptr;
    }
    std::unique_ptr<DevHubConfig> config = fromJson(file.readAll(), error);
    if (!config)
        *error = QStringLiteral("%1: %2").arg(path, *error);
    return config;
}

std::unique_ptr<DevHubConfig> DevHubConfig::fromJson(const QByteArray &json, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *error = QStringLiteral("invalid JSON at offset %1: %2")
                     .arg(parseError.offset)
                     .arg(parseError.errorString());
        return nullptr;
    }
    if (!document.isObject()) {
        *error = QStringLiteral("the configuration must be a JSON object");
        return nullptr;
    }
    std::unique_ptr<DevHubConfig> config(new DevHubConfig);
    if (!config->parse(document.object(), error))
        return nullptr;
    return config;
}

bool DevHubConfig::parse(const QJsonObject &root, QString *error)
{
    const QJsonValue port = root.value(QLatin1String("classicListenPort"));
    if (!port.isUndefined()) {
        const int value = port.toInt(-1);
        if (!port.isDouble() || value < 0 || value > 65535) {
            *error = QStringLiteral("\"classicListenPort\" must be a port number");
            return false;
        }
        m_classicListenPort = quint16(value);
    }

    QJsonArray array;
    if (!arrayOfObjects(root, "releases", &array, error))
        return false;
    QSet<QString> releaseKeys;
    for (const QJsonValue &entry : qAsConst(array)) {
        const QString where = QStringLiteral("release %1").arg(m_releases.size() + 1);
        Release release;
        if (!requireString(entry.toObject(), "key", where, &release.key, error)
            || !optionalString(entry.toObject(), "title", where, &release.title, error))
            return false;
        if (release.title.isEmpty())
            release.title = release.key;
        if (releaseKeys.contains(release.key)) {
            *error = QStringLiteral("release \"%1\" is listed twice").arg(release.key);
            return false;
        }
        releaseKeys.insert(release.key);
        m_releases.append(release);
    }

    array = {};
    if (!arrayOfObjects(root, "users", &array, error))
        return false;
    for (const QJsonValue &entry : qAsConst(array)) {
        const QJsonObject object = entry.toObject();
        const QString where = QStringLiteral("user %1").arg(m_users.size() + 1);
        User user;
        if (!requireString(object, "name", where, &user.name, error)
            || !optionalString(object, "password", where, &user.password, error)
            || !optionalBool(object, "mustChangePassword", where, &user.mustChangePassword, error)
            || !optionalBool(object, "disabled", where, &user.disabled, error))
            return false;
        if (this->user(user.name)) {
            *error = QStringLiteral("user \"%1\" is listed twice").arg(user.name);
            return false;
        }
        for (const QJsonValue &key : object.value(QLatin1String("releases")).toArray()) {
            if (!releaseKeys.contains(key.toString())) {
                *error = QStringLiteral("user \"%1\": unknown release \"%2\"").arg(user.name, key.toString());
                return false;
            }
            user.releases.append(key.toString());
        }
        m_users.append(user);
    }

    array = {};
    if (!arrayOfObjects(root, "printers", &array, error))
        return false;
    for (const QJsonValue &entry : qAsConst(array)) {
        const QString where = QStringLiteral("printer %1").arg(m_printers.size() + 1);
        Printer printer;
        if (!requireString(entry.toObject(), "name", where, &printer.name, error)
            || !optionalString(entry.toObject(), "description", where, &printer.description, error))
            return false;
        if (hasPrinter(printer.name)) {
            *error = QStringLiteral("printer \"%1\" is listed twice").arg(printer.name);
            return false;
        }
        m_printers.append(printer);
    }
    if (!optionalString(root, "defaultPrinter", QStringLiteral("configuration"), &m_defaultPrinter, error))
        return false;
    if (!m_defaultPrinter.isEmpty() && !hasPrinter(m_defaultPrinter)) {
        *error = QStringLiteral("the default printer \"%1\" is not listed").arg(m_defaultPrinter);
        return false;
    }
    if (m_defaultPrinter.isEmpty() && !m_printers.isEmpty())
        m_defaultPrinter = m_printers.first().name;

    array = {};
    if (!arrayOfObjects(root, "scheduledProcesses", &array, error))
        return false;
    QSet<int> numbers;
    for (const QJsonValue &entry : qAsConst(array)) {
        const QJsonObject object = entry.toObject();
        const QString where = QStringLiteral("scheduled process %1").arg(m_scheduledProcesses.size() + 1);
        ScheduledProcess process;
        process.number = object.value(QLatin1String("number")).toInt(0);
        if (process.number <= 0 || numbers.contains(process.number)) {
            *error = QStringLiteral("%1: \"number\" must be a positive number, used once").arg(where);
            return false;
        }
        numbers.insert(process.number);
        if (!requireString(object, "title", where, &process.title, error)
            || !optionalString(object, "datetime", where, &process.dateTime, error)
            || !optionalString(object, "exec", where, &process.execLine, error))
            return false;
        m_scheduledProcesses.append(process);
    }

    const QJsonValue applications = root.value(QLatin1String("applications"));
    if (!applications.isUndefined() && !applications.isObject()) {
        *error = QStringLiteral("\"applications\" must be an object");
        return false;
    }
    const QJsonObject appObject = applications.toObject();
    for (auto it = appObject.begin(); it != appObject.end(); ++it) {
        if (!it.value().isObject()) {
            *error = QStringLiteral("application \"%1\": settings must be an object").arg(it.key());
            return false;
        }
        m_applications.insert(it.key(), it.value().toObject());
    }

    const QJsonValue menu = root.value(QLatin1String("menu"));
    if (!menu.isObject()) {
        *error = QStringLiteral("\"menu\" must be an object (the root of the menu tree)");
        return false;
    }
    if (!parseMenu(menu.toObject(), QStringLiteral("menu"), &m_menu, error))
        return false;

    // Index only now: the tree no longer moves.
    QVector<const MenuNode *> pending { &m_menu };
    while (!pending.isEmpty()) {
        const MenuNode *node = pending.takeLast();
        if (!node->menuPath.isEmpty()) {
            if (m_menuIndex.contains(node->menuPath)) {
                *error = QStringLiteral("menu path \"%1\" is used twice").arg(node->menuPath);
                return false;
            }
            m_menuIndex.insert(node->menuPath, node);
        }
        for (const MenuNode &child : node->children)
            pending.append(&child);
    }
    return true;
}

bool DevHubConfig::parseMenu(const QJsonObject &object, const QString &where, MenuNode *node, QString *error)
{
    if (!requireString(object, "shortdesc", where, &node->shortDesc, error)
        || !optionalString(object, "longdesc", where, &node->longDesc, error)
        || !optionalString(object, "password", where, &node->password, error)
        || !optionalString(object, "menupath", where, &node->menuPath, error)
        || !optionalString(object, "app", where, &node->app, error))
        return false;
    const QString name = QStringLiteral("%1 \"%2\"").arg(where, node->shortDesc);
    // The client only ever checks the salted digest; a plain code could never be entered.
    if (!node->password.isEmpty() && !AccessCode::isStoredForm(node->password)) {
        *error = QStringLiteral("%1: \"password\" must be an access code's stored form (salt and SHA-256 "
                                "digest); zu-devhub --hash-access-code CODE prints it")
                     .arg(name);
        return false;
    }
    const QJsonValue options = object.value(QLatin1String("options"));
    if (!options.isUndefined() && !options.isObject()) {
        *error = QStringLiteral("%1: \"options\" must be an object").arg(name);
        return false;
    }
    node->options = options.toObject();

    const QJsonValue items = object.value(QLatin1String("items"));
    if (!items.isUndefined() && !items.isArray()) {
        *error = QStringLiteral("%1: \"items\" must be an array").arg(name);
        return false;
    }
    if (!node->app.isEmpty()) {
        if (!items.toArray().isEmpty()) {
            *error = QStringLiteral("%1: an item is either a menu or a program, not both").arg(name);
            return false;
        }
        if (node->app != QLatin1String(WebApp) && !DemoAppFactory::kinds().contains(node->app)) {
            *error = QStringLiteral("%1: unknown application \"%2\" (known: %3)")
                         .arg(name, node->app,
                              (DemoAppFactory::kinds() << QLatin1String(WebApp)).join(QLatin1String(", ")));
            return false;
        }
        if (node->menuPath.isEmpty()) {
            *error = QStringLiteral("%1: a program needs a \"menupath\"").arg(name);
            return false;
        }
        // Clients tell programs from submenus by this ending.
        if (!node->menuPath.endsWith(QLatin1String(".opt"))) {
            *error = QStringLiteral("%1: a program's \"menupath\" must end in \".opt\"").arg(name);
            return false;
        }
    }
    for (const QJsonValue &item : items.toArray()) {
        if (!item.isObject()) {
            *error = QStringLiteral("%1: every item must be an object").arg(name);
            return false;
        }
        MenuNode child;
        if (!parseMenu(item.toObject(), QStringLiteral("item of %1").arg(name), &child, error))
            return false;
        node->children.append(child);
    }
    return true;
}

const DevHubConfig::User *DevHubConfig::user(const QString &name) const
{
    for (const User &user : m_users) {
        if (user.name == name)
            return &user;
    }
    return nullptr;
}

QVector<DevHubConfig::Release> DevHubConfig::releasesFor(const QString &userName) const
{
    const User *entry = user(userName);
    if (!entry)
        return {};
    if (entry->releases.isEmpty())
        return m_releases;
    QVector<Release> result;
    for (const Release &release : m_releases) {
        if (entry->releases.contains(release.key))
            result.append(release);
    }
    return result;
}

bool DevHubConfig::hasPrinter(const QString &name) const
{
    for (const Printer &printer : m_printers) {
        if (printer.name == name)
            return true;
    }
    return false;
}

const DevHubConfig::MenuNode *DevHubConfig::findMenuItem(const QString &menuPath) const
{
    return m_menuIndex.value(menuPath, nullptr);
}

QJsonObject DevHubConfig::applicationOptions(const QString &app, const QJsonObject &itemOptions) const
{
    QJsonObject result = m_applications.value(app);
    for (auto it = itemOptions.begin(); it != itemOptions.end(); ++it)
        result.insert(it.key(), it.value());
    return result;
}
