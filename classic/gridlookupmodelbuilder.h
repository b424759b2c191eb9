#pragma once

#include "uidlg.pb.h"

#include <QList>
#include <QString>
#include <QVariant>
#include <QVector>

#include <memory>

class QStandardItemModel;

// Makes what a grid lookup shows out of the server's GridLookup message: the item model (one row
// per record, typed sort values, the record's id in column 0), the title and the columns to hide.
// A screen document in the message orders the columns by the grid columns of its fields and gives
// the headers and title. The hidden columns are given as display columns, so they stay right when
// the screen reorders the columns; columns the screen does not place follow the placed ones.
class GridLookupModelBuilder
{
public:
    // Qt::UserRole of column 0: the row's index, answered to the server.
    static constexpr int RowIdRole = Qt::UserRole;
    // The model's sort role: int, float, QDate or the text itself.
    static constexpr int SortRole = Qt::UserRole + 1;
    static constexpr auto DateFormat = "MM/dd/yyyy";
    // Bounds on a lookup from the server, checked before anything is allocated for it.
    static constexpr int MaxColumns = 256;
    static constexpr qint64 MaxCells = 4000000;

    // Empty when the message is within the bounds; otherwise why it is refused.
    static QString refusal(const Pb::GridLookup &message);

    explicit GridLookupModelBuilder(const Pb::GridLookup &message);
    ~GridLookupModelBuilder();
    Q_DISABLE_COPY(GridLookupModelBuilder)

    QString title() const { return m_title; }
    QList<int> hiddenColumns() const { return m_hiddenColumns; }
    // Display column of each message column.
    QVector<int> columnPositions() const { return m_positions; }
    // The model; null after it was taken.
    std::unique_ptr<QStandardItemModel> takeModel();

    // What a cell sorts by for a column's Pb::DisplayType.
    static QVariant sortValue(const QString &text, int displayType);
    static QDate parseDate(const QString &text);

private:
    static int columnCountOf(const Pb::GridLookup &message);
    bool placeByScreen(const Pb::GridLookup &message);
    void buildModel(const Pb::GridLookup &message);

    QString m_title;
    QStringList m_headers;
    QVector<int> m_positions;
    QList<int> m_hiddenColumns;
    std::unique_ptr<QStandardItemModel> m_model;
};
