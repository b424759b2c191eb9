#include "gridlookupsortmodel.h"

#include <cmath>

namespace {
constexpr int HeadUnits = 12;
}

GridLookupSortModel::GridLookupSortModel(QObject *parent)
    : QSortFilterProxyModel(parent)
{ }

void GridLookupSortModel::setSourceModel(QAbstractItemModel *model)
{
    if (QAbstractItemModel *old = sourceModel())
        disconnect(old, nullptr, this, nullptr);
    forgetKeys();
    // Keys are a snapshot of one column; any change to the rows makes them stale. Connected before
    // the proxy's own handlers, so that a re-sort after a change never sees old keys.
    if (model) {
        connect(model, &QAbstractItemModel::dataChanged, this, &GridLookupSortModel::forgetKeys);
        connect(model, &QAbstractItemModel::rowsInserted, this, &GridLookupSortModel::forgetKeys);
        connect(model, &QAbstractItemModel::rowsRemoved, this, &GridLookupSortModel::forgetKeys);
        connect(model, &QAbstractItemModel::rowsMoved, this, &GridLookupSortModel::forgetKeys);
        connect(model, &QAbstractItemModel::layoutChanged, this, &GridLookupSortModel::forgetKeys);
        connect(model, &QAbstractItemModel::modelReset, this, &GridLookupSortModel::forgetKeys);
    }
    QSortFilterProxyModel::setSourceModel(model);
}

void GridLookupSortModel::forgetKeys()
{
    m_keys.clear();
    m_keyColumn = -1;
}

void GridLookupSortModel::sort(int column, Qt::SortOrder order)
{
    forgetKeys();
    QAbstractItemModel *source = sourceModel();
    if (source && column >= 0 && column < source->columnCount()) {
        const int rows = source->rowCount();
        const int role = sortRole();
        m_keys.resize(rows);
        for (int row = 0; row < rows; ++row)
            m_keys[row] = keyOf(source->index(row, column).data(role));
        m_keyColumn = column;
    }
    QSortFilterProxyModel::sort(column, order);
}

bool GridLookupSortModel::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    if (m_keyColumn < 0 || left.column() != m_keyColumn || right.column() != m_keyColumn
        || left.parent().isValid() || left.row() >= m_keys.size() || right.row() >= m_keys.size())
        return QSortFilterProxyModel::lessThan(left, right);
    return keyLess(m_keys.at(left.row()), m_keys.at(right.row()));
}

GridLookupSortModel::Key GridLookupSortModel::keyOf(const QVariant &value)
{
    Key key;
    switch (value.userType()) {
    case QMetaType::UnknownType:
        break;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Float:
    case QMetaType::Double:
        key.number = value.toDouble();
        // "nan" reads as a number that compares with nothing; it sorts with the missing values.
        if (!std::isnan(key.number))
            key.kind = Key::Number;
        break;
    case QMetaType::QDate:
        key.kind = Key::Date;
        key.day = value.toDate().toJulianDay();
        break;
    default:
        key.kind = Key::Text;
        key.text = value.toString();
        key.length = key.text.size();
        for (int i = 0; i < qMin(key.text.size(), HeadUnits); ++i)
            key.head[i / 4] |= quint64(key.text.at(i).unicode()) << (48 - 16 * (i % 4));
        break;
    }
    return key;
}

bool GridLookupSortModel::keyLess(const Key &left, const Key &right)
{
    if (left.kind != right.kind)
        return left.kind < right.kind;
    switch (left.kind) {
    case Key::Missing:
        return false;
    case Key::Number:
        return left.number < right.number;
    case Key::Date:
        return left.day < right.day;
    case Key::Text:
        // Padding with zeros keeps a strict order of heads a strict order of texts. Equal heads of
        // texts that fit in them differ only in length (trailing zero units); longer texts need
        // the whole strings.
        for (int i = 0; i < 3; ++i) {
            if (left.head[i] != right.head[i])
                return left.head[i] < right.head[i];
        }
        if (left.length <= HeadUnits && right.length <= HeadUnits)
            return left.length < right.length;
        return left.text.compare(right.text, Qt::CaseSensitive) < 0;
    }
    return false;
}
