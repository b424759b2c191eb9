#pragma once

#include <QElapsedTimer>
#include <QString>

class QTableView;

// Find as you type in a table, the way file managers do: typed characters gather into a prefix
// (forgotten after a pause) and the current row moves to the next row whose sort column starts with
// it, ignoring case. Backspace takes a character back.
class TypeAheadFinder
{
public:
    static constexpr int PauseMs = 1000;

    explicit TypeAheadFinder(QTableView *view);

    // True while characters typed recently are still being gathered.
    bool isSearching() const;
    // Adds characters and moves to the next match; false (nothing moved) when no row matches.
    bool type(const QString &text);
    bool backspace();
    QString prefix() const { return m_prefix; }

private:
    int searchColumn() const;
    bool findFrom(int startRow);

    QTableView *m_view;
    QString m_prefix;
    QElapsedTimer m_lastKey;
};
