#include "menufilter.h"

#include "menuitemmodel.h"

#include "menu/menuitem.h"

MenuFilter::MenuFilter(QObject *parent)
    : QSortFilterProxyModel(parent)
{
    setFilterCaseSensitivity(Qt::CaseInsensitive);
}

void MenuFilter::setFilter(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    if (text.startsWith(QLatin1Char('!'))) {
        m_pattern = text.mid(1).trimmed();
        m_pathSearch = true;
    } else {
        m_pattern = text.trimmed();
        m_pathSearch = false;
    }
    invalidateFilter();
}

bool MenuFilter::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    if (m_pattern.isEmpty())
        return true;
    const auto *model = static_cast<const MenuItemModel *>(sourceModel());
    return accepts(model->itemAt(model->index(sourceRow, 0, sourceParent)));
}

// Walks the items themselves rather than model indexes: a keystroke on a large menu stays cheap.
bool MenuFilter::accepts(const MenuItem *item) const
{
    if (!item)
        return false;
    if (!item->children.isEmpty())
        return std::any_of(item->children.cbegin(), item->children.cend(),
                           [this](const MenuItem *child) { return accepts(child); });
    const QString &text = m_pathSearch ? item->menuPath : item->title;
    return text.contains(m_pattern, Qt::CaseInsensitive);
}
