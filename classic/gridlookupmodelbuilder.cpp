#include "gridlookupmodelbuilder.h"

#include "latin1.h"
#include "screendocument.h"

#include <QDate>
#include <QDebug>
#include <QLocale>
#include <QMap>
#include <QStandardItemModel>

namespace {

const QLocale &english()
{
    static const QLocale locale(QLocale::English);
    return locale;
}

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

int digitsAt(const QString &text, int from, int count)
{
    int value = 0;
    for (int i = from; i < from + count; ++i)
        value = value * 10 + text.at(i).unicode() - '0';
    return value;
}

} // namespace

int GridLookupModelBuilder::columnCountOf(const Pb::GridLookup &message)
{
    int columnCount = message.column_size();
    if (columnCount == 0 && message.row_size() > 0)
        columnCount = message.row(0).item_size();
    return columnCount;
}

QString GridLookupModelBuilder::refusal(const Pb::GridLookup &message)
{
    const int columns = columnCountOf(message);
    if (columns > MaxColumns)
        return QStringLiteral("%1 columns exceed %2").arg(columns).arg(MaxColumns);
    const qint64 cells = qint64(message.row_size()) * qMax(columns, 1);
    if (cells > MaxCells)
        return QStringLiteral("%1 rows of %2 columns exceed %3 cells").arg(message.row_size()).arg(columns).arg(MaxCells);
    return QString();
}

GridLookupModelBuilder::GridLookupModelBuilder(const Pb::GridLookup &message)
{
    const int columnCount = columnCountOf(message);
    m_positions = QVector<int>(columnCount, -1);

    if (!message.has_screen() || !placeByScreen(message)) {
        for (int i = 0; i < columnCount; ++i)
            m_positions[i] = i;
        for (const Pb::GridLookup::GridColumn &column : message.column())
            m_headers.append(Latin1::toQString(column.header()));
    }
    if (message.has_title())
        m_title = Latin1::toQString(message.title());

    buildModel(message);

    for (int i = 0; i < message.column_size(); ++i) {
        const Pb::GridLookup::GridColumn &column = message.column(i);
        if (!column.is_hidden())
            continue;
        qDebug() << "Col:" << Latin1::toQString(column.header()) << " isHidden:" << column.is_hidden();
        m_hiddenColumns.append(m_positions.at(i));
    }
}

GridLookupModelBuilder::~GridLookupModelBuilder() = default;

bool GridLookupModelBuilder::placeByScreen(const Pb::GridLookup &message)
{
    const std::string &bytes = message.screen().screen();
    const ScreenDocument document(QByteArray::fromRawData(bytes.data(), int(bytes.size())));
    if (!document.isValid()) {
        qWarning()
            << "ApplicationConnection::mh_grid_lookup() - unreadable screen, columns kept in message order:"
            << document.errorString();
        return false;
    }
    m_title = document.title();
    m_headers = document.headers();

    const QHash<QString, int> fieldColumns = document.fieldColumns();
    QMap<int, QString> nameByScreenColumn;
    QHash<QString, int> messageColumnByName;
    for (int i = 0; i < message.column_size(); ++i) {
        const QString name = Latin1::toQString(message.column(i).header());
        const auto found = fieldColumns.constFind(name);
        if (found == fieldColumns.cend()) {
            qWarning() << "ApplicationConnection::mh_grid_lookup() - header field not found:" << name;
            continue;
        }
        nameByScreenColumn.insert(found.value(), name);
        messageColumnByName.insert(name, i);
    }
    int next = 0;
    for (const QString &name : qAsConst(nameByScreenColumn))
        m_positions[messageColumnByName.value(name)] = next++;
    // Columns without a screen field go after the placed ones: stacked on one display column they
    // would overwrite each other's cells.
    for (int &position : m_positions) {
        if (position < 0)
            position = next++;
    }
    return true;
}

void GridLookupModelBuilder::buildModel(const Pb::GridLookup &message)
{
    const int columnCount = m_positions.size();
    const int rowCount = message.row_size();
    m_model = std::make_unique<QStandardItemModel>();
    m_model->setSortRole(SortRole);
    // A row needs a first cell to carry its id, even when the message gives it no columns.
    const int modelColumns = rowCount > 0 ? qMax(columnCount, 1) : columnCount;
    m_model->setColumnCount(modelColumns);
    for (int i = 0; i < qMin(modelColumns, m_headers.size()); ++i)
        m_model->setHorizontalHeaderItem(i, new QStandardItem(m_headers.at(i)));

    QVector<int> types(columnCount, Pb::CHARACTER);
    for (int i = 0; i < qMin(columnCount, message.column_size()); ++i)
        types[i] = message.column(i).type();

    QList<QStandardItem *> cells;
    for (int r = 0; r < rowCount; ++r) {
        const Pb::GridLookup::GridRow &row = message.row(r);
        cells.clear();
        for (int c = 0; c < modelColumns; ++c)
            cells.append(nullptr);
        const int items = qMin(row.item_size(), columnCount);
        for (int j = 0; j < items; ++j) {
            const QString text = Latin1::toQString(row.item(j));
            const QVariant value = sortValue(text, types.at(j));
            auto *item = new QStandardItem(text);
            item->setData(value, SortRole);
            if (value.userType() != QMetaType::QString)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            cells[m_positions.at(j)] = item;
        }
        if (!cells.at(0))
            cells[0] = new QStandardItem;
        cells.at(0)->setData(row.index(), RowIdRole);
        m_model->appendRow(cells);
    }
}

std::unique_ptr<QStandardItemModel> GridLookupModelBuilder::takeModel()
{
    return std::move(m_model);
}

QVariant GridLookupModelBuilder::sortValue(const QString &text, int displayType)
{
    switch (displayType) {
    case Pb::INTEGER:
        return english().toInt(text);
    case Pb::FLOAT:
        return english().toFloat(text);
    case Pb::DATE:
        return parseDate(text);
    default:
        return text;
    }
}

QDate GridLookupModelBuilder::parseDate(const QString &text)
{
    // The usual form, read directly: the general format parser is slow for large grids.
    if (text.size() == 10 && text.at(2) == QLatin1Char('/') && text.at(5) == QLatin1Char('/')) {
        bool digits = true;
        for (int i : { 0, 1, 3, 4, 6, 7, 8, 9 })
            digits = digits && isDigit(text.at(i));
        if (digits)
            return QDate(digitsAt(text, 6, 4), digitsAt(text, 0, 2), digitsAt(text, 3, 2));
    }
    return QDate::fromString(text, QLatin1String(DateFormat));
}
