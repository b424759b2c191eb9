#pragma once

#include <QAbstractItemModel>

#include <memory>

class MenuItem;

// The server's menu tree as an item model: column 0 carries the item, column 1 the lock icon of
// items protected by an access code.
class MenuItemModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    enum Roles {
        MenuPathRole = 256,
        IsProgramRole = 257,
        KeyRole = 258,
        IsCategoryRole = 259,
        DepthRole = 260,
        LockedRole = 261,
    };

    explicit MenuItemModel(QObject *parent = nullptr);
    ~MenuItemModel() override;

    // Replaces the tree (inside a model reset) and takes ownership of it.
    void setRoot(MenuItem *root);
    MenuItem *root() const { return m_root.get(); }
    MenuItem *itemAt(const QModelIndex &index) const;
    void unlock(const QModelIndex &index);

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // With an invalid start, searches from every top-level item in turn.
    QModelIndexList match(const QModelIndex &start, int role, const QVariant &value, int hits = 1,
                          Qt::MatchFlags flags
                          = Qt::MatchFlags(Qt::MatchStartsWith | Qt::MatchWrap)) const override;

    static bool isProgramPath(const QString &menuPath) { return menuPath.endsWith(QLatin1String(".opt")); }

private:
    QModelIndex indexOf(MenuItem *item, int column) const;

    std::unique_ptr<MenuItem> m_root;
};
