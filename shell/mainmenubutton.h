#pragma once

#include <QPersistentModelIndex>
#include <QPushButton>

// A program's square button in the home page's tables, labelled with its two-letter abbreviation.
class MainMenuButton : public QPushButton
{
    Q_OBJECT
    Q_PROPERTY(QString category READ category)

public:
    MainMenuButton(int size, const QModelIndex &index, QWidget *parent = nullptr);

    QModelIndex index() const { return m_index; }
    QString category() const { return m_category; }

private:
    QPersistentModelIndex m_index;
    QString m_category;
};
