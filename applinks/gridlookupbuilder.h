#pragma once

#include <QList>
#include <QString>

#include <memory>

class QStandardItemModel;

namespace Pb {
class GridLookup;
}

// Turns a server's grid lookup into the model the page shows: one row per server row, columns in
// display order (the order of the fields in the lookup's screen document when there is one),
// cells carrying a sort value of their column's type and the row's index in the first cell.
class GridLookupBuilder
{
public:
    static constexpr int SortRole = 0x0100 + 1; // Qt::UserRole + 1
    static constexpr auto DateFormat = "MM/dd/yyyy";

    explicit GridLookupBuilder(const Pb::GridLookup &msg);
    ~GridLookupBuilder();

    QString title() const { return m_title; }
    // Positions in the message's column list, not display positions.
    QList<int> hiddenColumns() const { return m_hidden; }
    std::unique_ptr<QStandardItemModel> takeModel();

private:
    QString m_title;
    QList<int> m_hidden;
    std::unique_ptr<QStandardItemModel> m_model;
};
