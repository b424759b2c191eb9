#include "menuitem.h"

#include "latin1.h"
#include "menu.pb.h"

MenuItem::~MenuItem()
{
    qDeleteAll(children);
}

QString MenuItem::displayTitle(const QString &shortDescription)
{
    QString title = shortDescription.trimmed();
    const auto chopColons = [&title] {
        while (title.endsWith(QLatin1Char(':'))) {
            title.chop(1);
            title = title.trimmed();
        }
    };
    const auto cut = [&title](const QLatin1String &suffix) {
        if (!title.endsWith(suffix, Qt::CaseInsensitive))
            return false;
        title.chop(suffix.size());
        title = title.trimmed();
        return true;
    };
    // Colons first as well, so that "Student Main Menu:" loses its suffix too.
    chopColons();
    if (!cut(QLatin1String("main menu")) && !cut(QLatin1String("master menu")))
        cut(QLatin1String("menu"));
    chopColons();
    return title;
}

std::unique_ptr<MenuItem> MenuItem::fromMenuData(const Menu::MenuData &data, MenuItem *parent)
{
    auto item = std::make_unique<MenuItem>();
    item->title = displayTitle(Latin1::toQString(data.shortdesc()));
    item->description = Latin1::toQString(data.longdesc());
    item->menuPath = Latin1::toQString(data.menupath());
    item->password = Latin1::toQString(data.password());
    const QString ownKey = item->menuPath.isEmpty() ? item->title : item->menuPath;
    item->key = parent ? QStringLiteral("%1|%2").arg(parent->key, ownKey) : ownKey;
    item->parent = parent;
    item->depth = parent ? parent->depth + 1 : 0;
    item->children.reserve(data.menudata_size());
    for (const Menu::MenuData &child : data.menudata())
        item->children.append(fromMenuData(child, item.get()).release());
    return item;
}
