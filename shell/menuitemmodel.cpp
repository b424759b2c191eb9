#include "menuitemmodel.h"

#include "menu/menuitem.h"

#include <QFile>
#include <QIcon>

namespace {
constexpr int CategoryDepth = 3;
}

MenuItemModel::MenuItemModel(QObject *parent)
    : QAbstractItemModel(parent)
    , m_root(std::make_unique<MenuItem>())
{
    m_root->title = tr("Loading...");
}

MenuItemModel::~MenuItemModel() = default;

void MenuItemModel::setRoot(MenuItem *root)
{
    beginResetModel();
    m_root.reset(root);
    if (!m_root) {
        m_root = std::make_unique<MenuItem>();
        m_root->title = tr("Loading...");
    }
    endResetModel();
}

MenuItem *MenuItemModel::itemAt(const QModelIndex &index) const
{
    return index.isValid() ? static_cast<MenuItem *>(index.internalPointer()) : m_root.get();
}

QModelIndex MenuItemModel::indexOf(MenuItem *item, int column) const
{
    if (!item || item == m_root.get() || !item->parent)
        return {};
    return createIndex(item->parent->children.indexOf(item), column, item);
}

QModelIndex MenuItemModel::index(int row, int column, const QModelIndex &parent) const
{
    const MenuItem *parentItem = itemAt(parent);
    if (row < 0 || column < 0 || column > 1 || row >= parentItem->children.size())
        return {};
    return createIndex(row, column, parentItem->children.at(row));
}

QModelIndex MenuItemModel::parent(const QModelIndex &child) const
{
    if (!child.isValid())
        return {};
    return indexOf(itemAt(child)->parent, 0);
}

int MenuItemModel::rowCount(const QModelIndex &parent) const
{
    if (parent.column() > 0)
        return 0;
    return itemAt(parent)->children.size();
}

int MenuItemModel::columnCount(const QModelIndex &) const
{
    return 2;
}

Qt::ItemFlags MenuItemModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? QAbstractItemModel::flags(index) : Qt::NoItemFlags;
}

QVariant MenuItemModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const MenuItem *item = itemAt(index);
    const bool locked = !item->password.isEmpty() && !item->unlocked;
    if (role == LockedRole)
        return locked;
    if (index.column() == 1) {
        if (role == Qt::DecorationRole && !item->password.isEmpty()) {
            // In the menu panel's icon colour once the style manager has written it.
            const QString themed = item->unlocked ? QStringLiteral("theme:lock-open_panel.svg")
                                                  : QStringLiteral("theme:lock_panel.svg");
            if (QFile::exists(themed))
                return QIcon(themed);
            return QIcon(item->unlocked ? QStringLiteral("://icons/ic_menu_unlocked.svg")
                                        : QStringLiteral("://icons/ic_menu_locked.svg"));
        }
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
        return item->title;
    case MenuPathRole:
        return item->menuPath;
    case IsProgramRole:
        return isProgramPath(item->menuPath);
    case KeyRole:
        return item->key();
    case IsCategoryRole:
        return !isProgramPath(item->menuPath) && item->depth == CategoryDepth;
    case DepthRole:
        return item->depth;
    default:
        return {};
    }
}

void MenuItemModel::unlock(const QModelIndex &index)
{
    MenuItem *item = index.isValid() ? itemAt(index) : nullptr;
    if (!item)
        return;
    item->unlocked = true;
    const QModelIndex lockIndex = indexOf(item, 1);
    emit dataChanged(lockIndex, lockIndex, { Qt::DecorationRole });
}

QModelIndexList MenuItemModel::match(const QModelIndex &start, int role, const QVariant &value, int hits,
                                     Qt::MatchFlags flags) const
{
    if (start.isValid() || rowCount() == 0)
        return QAbstractItemModel::match(start, role, value, hits, flags);
    // From the first top-level item without wrapping, the standard match covers every top-level
    // item (and, recursively, the whole tree) exactly once.
    return QAbstractItemModel::match(index(0, 0), role, value, hits, flags & ~Qt::MatchWrap);
}
