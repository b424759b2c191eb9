#pragma once

#include <QMetaType>
#include <QString>
#include <QVector>

#include <memory>

namespace Menu {
class MenuData;
}

// One node of the server's menu tree. A node owns its children; whoever receives the root owns
// the whole tree.
class MenuItem
{
public:
    // Bounds on what the server may send: longer texts, deeper nodes and nodes beyond the count are
    // dropped (with their children) and logged.
    static constexpr int MaxTextLength = 4096;
    static constexpr int MaxDepth = 64;
    static constexpr int MaxNodes = 100000;

    MenuItem() = default;
    ~MenuItem();
    Q_DISABLE_COPY(MenuItem)

    // Builds the tree from the server's menu data.
    static std::unique_ptr<MenuItem> fromMenuData(const Menu::MenuData &data);
    // The display title of a server "shortdesc": trailing "main menu", "master menu" or "menu" and
    // trailing colons removed.
    static QString displayTitle(const QString &shortDescription);

    QString menuPath;
    QString title;
    QString description;
    QString password;
    bool unlocked = false;
    QVector<MenuItem *> children;
    MenuItem *parent = nullptr;
    int depth = 0;

    // Unique key: the parent's key, "|", and this node's menu path (or its title when the path is
    // empty). Built when asked: a copy in every node would grow with the square of the tree.
    QString key() const;

private:
    QString ownKey() const { return menuPath.isEmpty() ? title : menuPath; }
};

Q_DECLARE_METATYPE(MenuItem *)
