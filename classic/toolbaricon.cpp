#include "toolbaricon.h"

#include <QDebug>
#include <QDomDocument>
#include <QFile>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace {

constexpr int RenderSize = 48;

ThemeVarLookup &themeLookup()
{
    static ThemeVarLookup lookup;
    return lookup;
}

QPixmap renderFilled(QDomDocument &svg, const QString &colourName)
{
    const QString colour = themeLookup() ? themeLookup()(colourName) : QString();
    if (!colour.isEmpty()) {
        const QDomNodeList paths = svg.elementsByTagName(QStringLiteral("path"));
        for (int i = 0; i < paths.size(); ++i)
            paths.at(i).toElement().setAttribute(QStringLiteral("fill"), colour);
    }
    QSvgRenderer renderer(svg.toByteArray());
    QPixmap pixmap(RenderSize, RenderSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    return pixmap;
}

} // namespace

void setToolbarThemeLookup(ThemeVarLookup lookup)
{
    themeLookup() = std::move(lookup);
}

QIcon toolbarIcon(const QString &path)
{
    if (path.isEmpty())
        return QIcon();
    if (!path.endsWith(QLatin1String(".svg")))
        return QIcon(path);

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QIcon();
    QDomDocument svg;
    if (!svg.setContent(&file)) {
        qWarning() << "toolbarIcon() - not an SVG document:" << path;
        return QIcon();
    }
    QIcon icon;
    icon.addPixmap(renderFilled(svg, QStringLiteral("icon_toolbar_default")), QIcon::Normal, QIcon::Off);
    icon.addPixmap(renderFilled(svg, QStringLiteral("icon_toolbar_focus")), QIcon::Active, QIcon::Off);
    return icon;
}
