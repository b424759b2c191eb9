#include "mainmenubutton.h"

#include "menuitemmodel.h"

#include "utils/abbreviatename.h"

MainMenuButton::MainMenuButton(int size, const QModelIndex &index, QWidget *parent)
    : QPushButton(parent)
    , m_index(index)
{
    setFixedSize(size, size);
    const QString parentPath = index.parent().data(MenuItemModel::MenuPathRole).toString();
    // The parent's path up to its first "/": the program's top-level area.
    const int slash = parentPath.indexOf(QLatin1Char('/'));
    m_category = slash < 0 ? parentPath : parentPath.left(slash);
    setObjectName(QStringLiteral("mainMenuButton"));
    setText(abbreviateName(index.data(Qt::DisplayRole).toString()));
    setCursor(Qt::PointingHandCursor);
}
