#pragma once

#include <QDate>
#include <QSortFilterProxyModel>
#include <QVector>

// The sorting layer between a grid lookup's item model and its table. Sorting through a proxy
// leaves the item model in its original order: a QStandardItemModel sorted in place loses track of
// where its items are, and deleting it afterwards takes time quadratic in its size (minutes for a
// large lookup). Each sort reads the column's sort values once and compares them natively: numbers
// as numbers, dates by day, texts case-sensitively; missing values first. Ties keep the order of
// the previous sort, as with in-place sorting.
class GridLookupSortModel : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit GridLookupSortModel(QObject *parent = nullptr);

    void setSourceModel(QAbstractItemModel *model) override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

protected:
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;

private slots:
    void forgetKeys();

private:
    struct Key
    {
        enum Kind { Missing, Number, Date, Text } kind = Missing;
        double number = 0;
        qint64 day = 0;
        // The first UTF-16 units of a text, packed so that comparing them as numbers orders like
        // the text: most comparisons end here, without a trip to the string's own memory.
        quint64 head[3] = { 0, 0, 0 };
        int length = 0;
        QString text;
    };
    static Key keyOf(const QVariant &value);
    static bool keyLess(const Key &left, const Key &right);

    QVector<Key> m_keys;
    int m_keyColumn = -1;
};
