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
    MenuItem() = default;
    ~MenuItem();
    Q_DISABLE_COPY(MenuItem)

    // Builds a node and, recursively, its children from the server's menu data.
    static std::unique_ptr<MenuItem> fromMenuData(const Menu::MenuData &data, MenuItem *parent = nullptr);
    // The display title of a server "shortdesc": trailing "main menu", "master menu" or "menu" and
    // trailing colons removed.
    static QString displayTitle(const QString &shortDescription);

    QString menuPath;
    QString title;
    QString description;
    QString key;
    QString password;
    bool unlocked = false;
    QVector<MenuItem *> children;
    MenuItem *parent = nullptr;
    int depth = 0;
};

Q_DECLARE_METATYPE(MenuItem *)
