#include "logthrottle.h"

#include <algorithm>
#include <limits>

QString LogThrottle::shapeOf(const QString &message)
{
    // The start of a message says what it is; a long one is not read to its end for every line.
    QString shape;
    shape.reserve(ShapeLength);
    for (const QChar c : message.leftRef(ShapeLength)) {
        if (!c.isDigit())
            shape += c;
        else if (!shape.endsWith(QLatin1Char('#')))
            shape += QLatin1Char('#');
    }
    return shape;
}

bool LogThrottle::admit(const QString &message, qint64 nowMs)
{
    const QString shape = shapeOf(message);
    auto it = m_entries.find(shape);
    if (it == m_entries.end()) {
        if (m_entries.size() >= MaxTracked) {
            // Those with no count to tell make room, all at once so that a flood of ever new
            // messages costs little; with every entry counting, this message is written untracked.
            for (auto entry = m_entries.begin(); entry != m_entries.end();)
                entry = entry->omitted == 0 ? m_entries.erase(entry) : std::next(entry);
            if (m_entries.size() >= MaxTracked)
                return true;
        }
        it = m_entries.insert(shape, Entry { nowMs, 0, 0, message });
        m_nextDue = qMin(m_nextDue, nowMs + IntervalMs);
    }
    if (nowMs - it->since >= IntervalMs && it->omitted == 0) {
        it->since = nowMs;
        it->written = 0;
        m_nextDue = qMin(m_nextDue, nowMs + IntervalMs);
    }
    if (it->written < WrittenPerInterval) {
        ++it->written;
        return true;
    }
    ++it->omitted;
    return false;
}

QString LogThrottle::lineFor(const Entry &entry)
{
    return QStringLiteral("LogFile - %1 more like this were not written: %2").arg(entry.omitted).arg(entry.example);
}

QStringList LogThrottle::due(qint64 nowMs)
{
    QStringList lines;
    if (nowMs < m_nextDue)
        return lines;
    m_nextDue = std::numeric_limits<qint64>::max();
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (nowMs - it->since < IntervalMs) {
            m_nextDue = qMin(m_nextDue, it->since + IntervalMs);
            ++it;
            continue;
        }
        if (it->omitted > 0)
            lines << lineFor(*it);
        it = m_entries.erase(it);
    }
    return lines;
}

QStringList LogThrottle::flush()
{
    QStringList lines;
    for (const Entry &entry : qAsConst(m_entries))
        if (entry.omitted > 0)
            lines << lineFor(entry);
    m_entries.clear();
    m_nextDue = std::numeric_limits<qint64>::max();
    return lines;
}
