#pragma once

#include <QSortFilterProxyModel>

class MenuItem;

// Search over the menu tree: programs whose title (or, after a leading "!", whose menu path)
// contains the text, and every submenu above them.
class MenuFilter : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit MenuFilter(QObject *parent = nullptr);

    void setFilter(const QString &text);
    QString pattern() const { return m_pattern; }
    bool isPathSearch() const { return m_pathSearch; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    bool accepts(const MenuItem *item) const;

    QString m_text;
    QString m_pattern;
    bool m_pathSearch = false;
};
