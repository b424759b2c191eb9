#include "typeaheadfinder.h"

#include <QHeaderView>
#include <QTableView>

TypeAheadFinder::TypeAheadFinder(QTableView *view)
    : m_view(view)
{ }

bool TypeAheadFinder::isSearching() const
{
    return !m_prefix.isEmpty() && m_lastKey.isValid() && m_lastKey.elapsed() <= PauseMs;
}

bool TypeAheadFinder::type(const QString &text)
{
    // A new search looks past the current row; a longer prefix may still match it.
    const bool extending = isSearching();
    if (!extending)
        m_prefix.clear();
    m_prefix += text;
    m_lastKey.restart();
    const int current = qMax(0, m_view->currentIndex().row());
    return findFrom(extending ? current : current + 1);
}

bool TypeAheadFinder::backspace()
{
    if (!isSearching())
        return false;
    m_prefix.chop(1);
    m_lastKey.restart();
    return m_prefix.isEmpty() || findFrom(qMax(0, m_view->currentIndex().row()));
}

int TypeAheadFinder::searchColumn() const
{
    const QHeaderView *header = m_view->horizontalHeader();
    const int sorted = header->isSortIndicatorShown() ? header->sortIndicatorSection() : -1;
    if (sorted >= 0 && !header->isSectionHidden(sorted))
        return sorted;
    for (int visual = 0; visual < header->count(); ++visual) {
        const int column = header->logicalIndex(visual);
        if (!header->isSectionHidden(column))
            return column;
    }
    return 0;
}

bool TypeAheadFinder::findFrom(int startRow)
{
    const QAbstractItemModel *model = m_view->model();
    const int rows = model ? model->rowCount() : 0;
    const int column = searchColumn();
    for (int i = 0; i < rows; ++i) {
        const QModelIndex index = model->index((startRow + i) % rows, column);
        if (index.data(Qt::DisplayRole).toString().trimmed().startsWith(m_prefix, Qt::CaseInsensitive)) {
            m_view->setCurrentIndex(index);
            m_view->selectRow(index.row());
            m_view->scrollTo(index);
            return true;
        }
    }
    return false;
}
