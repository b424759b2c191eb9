#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

class QTableView;

// What a grid lookup shows, as text to take elsewhere: a header line, then the given rows, each
// with the visible columns in the order shown. Rows are the view's rows, so the user's sort holds.
class GridLookupExport
{
public:
    // No rows: every row.
    GridLookupExport(const QTableView *view, QList<int> rows);

    // For the clipboard: tab-separated lines; tabs and line breaks inside a cell become spaces.
    QString toTabSeparated() const;
    // For a spreadsheet: RFC 4180 (CRLF lines, fields with a comma, quote or line break quoted,
    // quotes doubled), UTF-8 with a byte-order mark.
    QByteArray toCsv() const;

private:
    QVector<QStringList> m_lines;
};
