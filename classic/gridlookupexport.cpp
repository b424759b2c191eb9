#include "gridlookupexport.h"

#include <QHeaderView>
#include <QTableView>

#include <algorithm>

GridLookupExport::GridLookupExport(const QTableView *view, QList<int> rows)
{
    const QAbstractItemModel *model = view->model();
    const QHeaderView *header = view->horizontalHeader();
    QList<int> columns;
    for (int visual = 0; visual < header->count(); ++visual) {
        const int column = header->logicalIndex(visual);
        if (!header->isSectionHidden(column))
            columns << column;
    }
    if (rows.isEmpty()) {
        for (int row = 0; row < model->rowCount(); ++row)
            rows << row;
    }
    std::sort(rows.begin(), rows.end());

    QStringList headers;
    for (int column : std::as_const(columns))
        headers << model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    m_lines.reserve(rows.size() + 1);
    m_lines << headers;
    for (int row : std::as_const(rows)) {
        QStringList cells;
        for (int column : std::as_const(columns))
            cells << model->index(row, column).data(Qt::DisplayRole).toString();
        m_lines << cells;
    }
}

QString GridLookupExport::toTabSeparated() const
{
    QString text;
    for (const QStringList &line : m_lines) {
        QStringList cells = line;
        for (QString &cell : cells) {
            cell.replace(QLatin1Char('\t'), QLatin1Char(' '))
                .replace(QLatin1Char('\r'), QLatin1Char(' '))
                .replace(QLatin1Char('\n'), QLatin1Char(' '));
        }
        text += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return text;
}

QByteArray GridLookupExport::toCsv() const
{
    QString text;
    for (const QStringList &line : m_lines) {
        QStringList cells = line;
        for (QString &cell : cells) {
            if (cell.contains(QLatin1Char(',')) || cell.contains(QLatin1Char('"'))
                || cell.contains(QLatin1Char('\n')) || cell.contains(QLatin1Char('\r'))) {
                cell.replace(QLatin1Char('"'), QLatin1String("\"\""));
                cell = QLatin1Char('"') + cell + QLatin1Char('"');
            }
        }
        text += cells.join(QLatin1Char(',')) + QLatin1String("\r\n");
    }
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}
