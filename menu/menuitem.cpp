#include "menuitem.h"

#include "latin1.h"
#include "menu.pb.h"

#include <QDebug>

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

QString MenuItem::key() const
{
    QString result = ownKey();
    for (const MenuItem *node = parent; node; node = node->parent)
        result = node->ownKey() + QLatin1Char('|') + result;
    return result;
}

namespace {

struct Budget
{
    int nodesLeft = MenuItem::MaxNodes;
    int dropped = 0;
};

bool withinLimits(const Menu::MenuData &data)
{
    for (const std::string *text : { &data.shortdesc(), &data.longdesc(), &data.menupath(), &data.password() })
        if (text->size() > size_t(MenuItem::MaxTextLength))
            return false;
    return true;
}

std::unique_ptr<MenuItem> build(const Menu::MenuData &data, MenuItem *parent, Budget &budget)
{
    auto item = std::make_unique<MenuItem>();
    item->title = MenuItem::displayTitle(Latin1::toQString(data.shortdesc()));
    item->description = Latin1::toQString(data.longdesc());
    item->menuPath = Latin1::toQString(data.menupath());
    item->password = Latin1::toQString(data.password());
    item->parent = parent;
    item->depth = parent ? parent->depth + 1 : 0;
    for (const Menu::MenuData &child : data.menudata()) {
        if (budget.nodesLeft <= 0 || item->depth + 1 > MenuItem::MaxDepth || !withinLimits(child)) {
            ++budget.dropped;
            continue;
        }
        --budget.nodesLeft;
        item->children.append(build(child, item.get(), budget).release());
    }
    return item;
}

} // namespace

std::unique_ptr<MenuItem> MenuItem::fromMenuData(const Menu::MenuData &data)
{
    Budget budget;
    std::unique_ptr<MenuItem> tree = build(data, nullptr, budget);
    if (!withinLimits(data)) {
        // The root stays, for its children's sake, without the texts.
        tree->title.clear();
        tree->description.clear();
        tree->menuPath.clear();
        tree->password.clear();
        ++budget.dropped;
    }
    if (budget.dropped > 0)
        qWarning() << "MenuItem::fromMenuData() -" << budget.dropped
                   << "menu entries beyond the limits of text length, depth or count were dropped";
    return tree;
}
