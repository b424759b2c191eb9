#include "tableviewnosearch.h"

TableViewNoSearch::TableViewNoSearch(QWidget *parent)
    : QTableView(parent)
{ }

void TableViewNoSearch::keyboardSearch(const QString &)
{ }
