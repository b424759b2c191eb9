#pragma once

#include <QTableView>

// A table view that does not jump to rows as letters are typed: the grid lookup uses letters as
// commands.
class TableViewNoSearch : public QTableView
{
    Q_OBJECT

public:
    explicit TableViewNoSearch(QWidget *parent = nullptr);

    void keyboardSearch(const QString &search) override;
};
