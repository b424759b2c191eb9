#include "stylemanager.h"

#include <QApplication>
#include <QDebug>
#include <QDomDocument>
#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>

namespace {

const QString FontScaleKey = QStringLiteral("settings/fontScale");

QByteArray readResource(const QString &path, bool *ok)
{
    QFile file(path);
    *ok = file.open(QIODevice::ReadOnly);
    return *ok ? file.readAll() : QByteArray();
}

} // namespace

QString StyleManager::scalePixelTokens(const QString &sheet, int scalePercent)
{
    static const QRegularExpression token(QStringLiteral("var_scaled_(\\d{1,4})px"));
    QString result;
    int copied = 0;
    for (auto it = token.globalMatch(sheet); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        result += sheet.midRef(copied, match.capturedStart() - copied);
        result += QStringLiteral("%1px").arg(scaledSize(match.capturedRef(1).toInt(), scalePercent));
        copied = match.capturedEnd();
    }
    result += sheet.midRef(copied);
    return result;
}

StyleManager *StyleManager::instance()
{
    static StyleManager *manager = new StyleManager;
    return manager;
}

StyleManager::StyleManager(QObject *parent)
    : QObject(parent)
{
    m_iconDir.setPath(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation)
                      + QStringLiteral("/iconcache"));
    qInfo() << "Icon Directory:" << m_iconDir.absolutePath();
    if (!m_iconDir.exists() && !m_iconDir.mkpath(QStringLiteral(".")))
        qFatal("Unble to create icon storage.");
    QDir::addSearchPath(QStringLiteral("theme"), m_iconDir.absolutePath());
}

void StyleManager::setThemeNameSource(ThemeNameSource source)
{
    instance()->m_themeNameSource = std::move(source);
}

QJsonArray StyleManager::allThemes()
{
    QStringList files { QStringLiteral(":/themes.json") };
    const QStringList dirs = QStandardPaths::standardLocations(QStandardPaths::AppDataLocation);
    for (const QString &dirPath : dirs) {
        qDebug() << "Checking " << dirPath;
        const QDir dir(dirPath);
        const QStringList found = dir.entryList({ QStringLiteral("*.theme") },
                                                QDir::Files | QDir::NoDotAndDotDot, QDir::Unsorted);
        for (const QString &name : found) {
            qDebug() << "  found:" << name;
            files << dir.filePath(name);
        }
    }

    QJsonArray themes;
    for (const QString &path : qAsConst(files)) {
        qInfo() << "Reading theme file:" << path;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            qWarning() << "could not load external theme" << path;
            continue;
        }
        const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
        if (!document.isArray()) {
            qWarning() << "external theme does not contain an array." << path;
            break;
        }
        const QJsonArray array = document.array();
        for (const QJsonValue &theme : array) {
            qInfo() << "  Loading theme" << theme.toObject().value(QStringLiteral("name")).toString();
            themes.append(theme);
        }
    }
    return themes;
}

QStringList StyleManager::themeNames()
{
    QStringList names;
    const QJsonArray themes = allThemes();
    for (const QJsonValue &theme : themes) {
        if (!theme.isObject()) {
            qWarning() << "invalid theme object found";
            continue;
        }
        names << theme.toObject().value(QStringLiteral("name")).toString();
    }
    return names;
}

QJsonObject StyleManager::findTheme(const QJsonArray &themes, const QString &name)
{
    for (const QJsonValue &theme : themes) {
        if (!theme.isObject()) {
            qWarning() << "invalid theme object found";
            continue;
        }
        if (theme.toObject().value(QStringLiteral("name")).toString() == name)
            return theme.toObject();
    }
    return {};
}

void StyleManager::loadTheme()
{
    StyleManager *self = instance();
    self->m_theme = QJsonObject();
    bool ok = false;
    const int stored = QSettings().value(FontScaleKey, DefaultFontScale).toInt(&ok);
    self->m_fontScale = ok ? qBound(MinFontScale, stored, MaxFontScale) : DefaultFontScale;
    if (self->m_fontScale != stored)
        qWarning() << "StyleManager::loadTheme() - font scale out of range:"
                   << QSettings().value(FontScaleKey).toString();
    const QJsonArray themes = allThemes();
    const QString name = self->m_themeNameSource ? self->m_themeNameSource() : QString();
    if (!name.isEmpty())
        self->m_theme = findTheme(themes, name);
    else if (!themes.isEmpty())
        self->m_theme = themes.first().toObject();
    if (self->m_theme.isEmpty()) {
        qWarning() << "Theme" << name << "not found. loading default.";
        if (!themes.isEmpty())
            self->m_theme = themes.first().toObject();
    }
    self->applyTheme();
}

void StyleManager::updateThemeName(const QString &themeName)
{
    const QJsonObject theme = findTheme(allThemes(), themeName);
    if (!theme.isEmpty())
        m_theme = theme;
    applyTheme();
}

QString StyleManager::currentThemeName()
{
    return instance()->m_theme.value(QStringLiteral("name")).toString();
}

int StyleManager::fontScale()
{
    return instance()->m_fontScale;
}

void StyleManager::setFontScale(int percent)
{
    percent = qBound(MinFontScale, percent, MaxFontScale);
    QSettings().setValue(FontScaleKey, percent);
    StyleManager *self = instance();
    // Re-applying restyles every widget of the desktop: only for a real change.
    if (percent == self->m_fontScale)
        return;
    self->m_fontScale = percent;
    self->applyTheme();
}

int StyleManager::steppedFontScale(int percent, int steps)
{
    constexpr int MinIndex = MinFontScale / FontScaleStep;
    constexpr int MaxIndex = MaxFontScale / FontScaleStep;
    const int index = qBound(MinFontScale, percent, MaxFontScale) / FontScaleStep;
    return qBound(MinIndex, index + qBound(-MaxIndex, steps, MaxIndex), MaxIndex) * FontScaleStep;
}

int StyleManager::fontSize(const QString &step)
{
    const StyleManager *self = instance();
    const int size = self->m_theme.value(QStringLiteral("fontSizes")).toObject().value(step).toInt(0);
    return scaledSize(size, self->m_fontScale);
}

QString StyleManager::themeVar(const QString &name)
{
    return instance()->m_theme.value(QStringLiteral("vars")).toObject().value(name).toString();
}

QString StyleManager::unthemedStyleSheet()
{
    static QString sheet;
    if (sheet.isEmpty()) {
        bool ok = false;
        sheet = QString::fromUtf8(readResource(QStringLiteral(":/unthemed.css"), &ok));
        if (!ok)
            qFatal("could not read unthemed stylesheet.");
    }
    return sheet;
}

QByteArray StyleManager::recolorSvg(const QByteArray &svg, const QString &color)
{
    QDomDocument document;
    document.setContent(svg);
    for (const QString &tag : { QStringLiteral("path"), QStringLiteral("circle") }) {
        const QDomNodeList elements = document.elementsByTagName(tag);
        for (int i = 0; i < elements.count(); ++i) {
            QDomElement element = elements.at(i).toElement();
            if (element.hasAttribute(QStringLiteral("stroke")))
                element.setAttribute(QStringLiteral("stroke"), color);
            if (element.attribute(QStringLiteral("fill")) != QLatin1String("none"))
                element.setAttribute(QStringLiteral("fill"), color);
        }
    }
    return document.toByteArray(-1);
}

void StyleManager::applyTheme()
{
    bool ok = false;
    QString sheet = QString::fromUtf8(readResource(QStringLiteral(":/appstyle.css"), &ok));
    if (!ok)
        qFatal("Could not read stylesheet!");

    m_fontSizes = m_theme.value(QStringLiteral("fontSizes")).toObject();
    for (const char *step : { "xs", "s", "m", "l", "xl" }) {
        sheet.replace(QStringLiteral("var_fontsize_%1").arg(QLatin1String(step)),
                      QStringLiteral("%1pt").arg(fontSize(QLatin1String(step))));
    }
    sheet = scalePixelTokens(sheet, m_fontScale);
    // QJsonObject keys iterate in ascending order.
    const QJsonObject vars = m_theme.value(QStringLiteral("vars")).toObject();
    for (auto it = vars.constBegin(); it != vars.constEnd(); ++it)
        sheet.replace(it.key(), it.value().toString());

    writeIcons();
    m_styleSheet = sheet;
    if (auto *app = qobject_cast<QApplication *>(QCoreApplication::instance()))
        app->setStyleSheet(sheet);
    emit themeChanged();
}

void StyleManager::writeIcons()
{
    bool ok = false;
    const QByteArray groupsText = readResource(QStringLiteral(":/iconGroups.json"), &ok);
    if (!ok)
        qFatal("could not load iconGroups.json");
    const QJsonDocument groupsDocument = QJsonDocument::fromJson(groupsText);
    if (!groupsDocument.isObject())
        qFatal("iconGroups.json does not contain an object.");

    // The cache may have been cleaned away while we ran; it is ours to recreate.
    m_iconDir.mkpath(QStringLiteral("."));
    const QJsonObject groups = groupsDocument.object();
    for (auto group = groups.constBegin(); group != groups.constEnd(); ++group) {
        const QString color = themeVar(group.key());
        const QJsonObject entries = group.value().toObject();
        for (auto entry = entries.constBegin(); entry != entries.constEnd(); ++entry) {
            const QString source = entry.value().toString();
            const QByteArray svg = readResource(source, &ok);
            if (!ok)
                qFatal("Could not read icon file '%s'", qPrintable(source));
            QFile out(m_iconDir.filePath(entry.key()));
            if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
                qFatal("Could not open file '%s' for writing", qPrintable(entry.key()));
            out.write(recolorSvg(svg, color));
        }
    }
}
