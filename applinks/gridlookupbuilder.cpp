#include "gridlookupbuilder.h"

#include "app/latin1.h"
#include "classic/screendocument.h"

#include <QDate>
#include <QDebug>
#include <QLocale>
#include <QMap>
#include <QStandardItemModel>

#include "uidlg.pb.h"

namespace {

QVariant sortValue(const QString &text, int type)
{
    static const QLocale english(QLocale::English);
    switch (type) {
    case Pb::INTEGER:
        return english.toInt(text);
    case Pb::FLOAT:
        return english.toFloat(text);
    case Pb::DATE:
        return QDate::fromString(text, QLatin1String(GridLookupBuilder::DateFormat));
    default:
        return text;
    }
}

} // namespace

GridLookupBuilder::GridLookupBuilder(const Pb::GridLookup &msg)
    : m_model(std::make_unique<QStandardItemModel>())
{
    const int columnCount = msg.column_size() > 0 ? msg.column_size()
        : msg.row_size() > 0                      ? msg.row(0).item_size()
                                                  : 0;
    // Display position of each message column.
    QVector<int> position(columnCount, 0);
    QStringList headers;

    if (msg.has_screen()) {
        const ScreenDocument document(QByteArray::fromStdString(msg.screen().screen()));
        const QHash<QString, int> fieldColumns = document.fieldColumns();
        headers = document.headers();
        m_title = document.title();
        QMap<int, QString> byScreenColumn;
        QHash<QString, int> messageColumn;
        for (int i = 0; i < msg.column_size(); ++i) {
            const QString name = Latin1::toQString(msg.column(i).header());
            const auto found = fieldColumns.constFind(name);
            if (found == fieldColumns.constEnd()) {
                qWarning() << "ApplicationConnection::mh_grid_lookup() - header field not found:" << name;
                continue;
            }
            byScreenColumn.insert(found.value(), name);
            messageColumn.insert(name, i);
        }
        int display = 0;
        QVector<bool> placed(columnCount, false);
        for (const QString &name : std::as_const(byScreenColumn)) {
            const int column = messageColumn.value(name);
            position[column] = display++;
            placed[column] = true;
        }
        // Columns the screen does not name follow the named ones instead of overwriting the first.
        for (int i = 0; i < columnCount; ++i) {
            if (!placed.at(i))
                position[i] = display++;
        }
    } else {
        for (int i = 0; i < columnCount; ++i) {
            position[i] = i;
            if (i < msg.column_size())
                headers << Latin1::toQString(msg.column(i).header());
        }
    }
    if (msg.has_title())
        m_title = Latin1::toQString(msg.title());

    m_model->setSortRole(SortRole);
    m_model->setRowCount(msg.row_size());
    m_model->setColumnCount(columnCount);
    for (int i = 0; i < columnCount && i < headers.size(); ++i)
        m_model->setHorizontalHeaderItem(i, new QStandardItem(headers.at(i)));

    for (int r = 0; r < msg.row_size(); ++r) {
        const Pb::GridLookup::GridRow &row = msg.row(r);
        for (int j = 0; j < row.item_size() && j < columnCount; ++j) {
            const QString text = Latin1::toQString(row.item(j));
            const int type = j < msg.column_size() ? msg.column(j).type() : Pb::CHARACTER;
            const QVariant value = sortValue(text, type);
            auto *item = new QStandardItem(text);
            item->setData(value, SortRole);
            if (value.userType() != QMetaType::QString)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            m_model->setItem(r, position.at(j), item);
        }
        m_model->setData(m_model->index(r, 0), row.index(), Qt::UserRole);
    }

    for (int i = 0; i < msg.column_size(); ++i) {
        if (!msg.column(i).is_hidden())
            continue;
        qDebug() << "Col:" << Latin1::toQString(msg.column(i).header()) << " isHidden:" << true;
        m_hidden << i;
    }
}

GridLookupBuilder::~GridLookupBuilder() = default;

std::unique_ptr<QStandardItemModel> GridLookupBuilder::takeModel()
{
    return std::move(m_model);
}
