#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

class QSqlDatabase;

// Runs a data source's query once for the dictionary editor's test button. The SQL reaches SQLite
// as the user wrote it except for its @@Name references, which become parameters bound to the test
// values: a value is always data, never SQL. The connection is opened read-only and may only read
// (no ATTACH, no PRAGMA, no VACUUM INTO); at most the row limit and the byte limit are read, no
// value may grow past the value limit, and a query still running at the time limit is interrupted.
// The outcome is a plain-text table or the database's error text.
//
// Runs on the caller's thread: the time limit bounds how long the hub waits.
class QueryTester
{
public:
    struct Rewritten
    {
        QString sql; // each reference replaced by a "?"
        QStringList keys; // the name behind each "?", in order
    };

    struct Outcome
    {
        bool success = false;
        QString text; // the table, or why there is none
    };

    static constexpr int DefaultMaxRows = 50;
    static constexpr int DefaultTimeLimitMs = 2000;
    static constexpr int MaxColumns = 16;
    static constexpr int MaxCellLength = 60;
    // What SQLite may build as one value, and what a result may read in all: the time limit is
    // only looked at between steps, and one step can build a gigabyte.
    static constexpr int MaxValueBytes = 1000 * 1000;
    static constexpr qint64 MaxResultBytes = 8 * 1000 * 1000;

    explicit QueryTester(int maxRows = DefaultMaxRows, int timeLimitMs = DefaultTimeLimitMs);

    // A reference inside quoted text is cut out of it: 'A@@NameB' becomes ('A' || ? || 'B').
    // Comments and quoted identifiers are left alone.
    static Rewritten rewrite(const QString &sql);

    Outcome run(const QString &databasePath, const QString &sql, const QHash<QString, QString> &values) const;

private:
    Outcome execute(QSqlDatabase &db, const Rewritten &rewritten,
                    const QHash<QString, QString> &values) const;

    int m_maxRows;
    int m_timeLimitMs;
};
