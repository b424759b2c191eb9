#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <limits>

// Keeps a flood of one message from filling the log: of each message (numbers aside, so that
// "frame 1" and "frame 2" are one) the first few in an interval are written, the rest counted; once
// the interval is over a line says how many were left out. The table of messages is bounded.
class LogThrottle
{
public:
    static constexpr int WrittenPerInterval = 5;
    static constexpr qint64 IntervalMs = 10000;
    static constexpr int MaxTracked = 256;
    static constexpr int ShapeLength = 120;

    // Whether this message is written now.
    bool admit(const QString &message, qint64 nowMs);
    // The lines for messages whose interval has ended with some left out; those are forgotten.
    QStringList due(qint64 nowMs);
    // Every count not told yet, as at the end of the run.
    QStringList flush();

    // What makes two messages the same: their start, with digits not counting.
    static QString shapeOf(const QString &message);

private:
    struct Entry
    {
        qint64 since = 0;
        int written = 0;
        int omitted = 0;
        QString example;
    };
    static QString lineFor(const Entry &entry);

    QHash<QString, Entry> m_entries;
    // No interval ends before this: due() has nothing to look at until then.
    qint64 m_nextDue = std::numeric_limits<qint64>::max();
};
