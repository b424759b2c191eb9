#include "terminalselection.h"

#include "terminalscreen.h"

#include <algorithm>

namespace {

// Cells of one class make a word: letters, digits and the characters of paths are one class,
// blanks another, and any other character a class of its own.
char32_t wordClass(const TerminalLine &line, int column)
{
    if (column < 0 || column >= int(line.size()))
        return U' ';
    const TerminalCell &cell = line[size_t(column)];
    char32_t character = cell.character;
    if (cell.format.has(TerminalFormat::WideTail) && column > 0)
        character = line[size_t(column - 1)].character;
    if (character & TerminalCell::ClusterFlag)
        return U'a';
    if (character == U' ' || character == 0)
        return U' ';
    const uint ucs4 = uint(character);
    if (QChar::isLetterOrNumber(ucs4) || QStringView(u"-./_~").contains(QChar(ushort(character))))
        return U'a';
    return character;
}

const TerminalLine *lineAt(const TerminalScreen &screen, qint64 line)
{
    const qint64 view = line - screen.firstLineNumber();
    if (view < 0 || view >= screen.viewLineCount())
        return nullptr;
    return &screen.viewLine(int(view));
}

} // namespace

void TerminalSelection::span(const TerminalScreen &screen, Place place, Place *from, Place *to) const
{
    *from = place;
    *to = place;
    if (m_unit == Unit::Character)
        return;
    if (m_unit == Unit::Line) {
        from->column = 0;
        *to = Place { place.line + 1, 0 };
        return;
    }
    const TerminalLine *line = lineAt(screen, place.line);
    if (!line) {
        to->column = place.column + 1;
        return;
    }
    const int columns = screen.columns();
    const char32_t kind = wordClass(*line, place.column);
    int first = place.column;
    while (first > 0 && wordClass(*line, first - 1) == kind)
        --first;
    int last = place.column;
    while (last + 1 < columns && wordClass(*line, last + 1) == kind)
        ++last;
    from->column = first;
    to->column = last + 1;
}

void TerminalSelection::begin(const TerminalScreen &screen, Place place, Unit unit)
{
    m_unit = unit;
    span(screen, place, &m_anchorFrom, &m_anchorTo);
    m_start = m_anchorFrom;
    m_end = m_anchorTo;
}

void TerminalSelection::extend(const TerminalScreen &screen, Place place)
{
    Place from;
    Place to;
    span(screen, place, &from, &to);
    m_start = std::min(m_anchorFrom, from);
    m_end = std::max(m_anchorTo, to);
}

void TerminalSelection::clear()
{
    m_anchorFrom = m_anchorTo = m_start = m_end = Place();
}

bool TerminalSelection::touchesLines(qint64 first, qint64 last) const
{
    if (isEmpty())
        return false;
    const qint64 lastSelected = m_end.column == 0 ? m_end.line - 1 : m_end.line;
    return first <= lastSelected && last >= m_start.line;
}

void TerminalSelection::cellsOnLine(qint64 line, int columns, int *first, int *end) const
{
    *first = 0;
    *end = 0;
    if (isEmpty() || line < m_start.line || line > m_end.line)
        return;
    *first = line == m_start.line ? m_start.column : 0;
    *end = line == m_end.line ? m_end.column : columns;
}

QString TerminalSelection::text(const TerminalScreen &screen) const
{
    if (isEmpty())
        return QString();
    // A selection that ends at a line's start holds the line break before it.
    const qint64 lastLine = m_end.column == 0 ? m_end.line - 1 : m_end.line;
    QString text;
    for (qint64 number = m_start.line; number <= lastLine; ++number) {
        int first = 0;
        int end = 0;
        cellsOnLine(number, screen.columns(), &first, &end);
        // Lines that have left the scroll-back give nothing.
        const TerminalLine *line = lineAt(screen, number);
        if (!line)
            continue;
        QString part;
        part.reserve(end - first);
        for (int column = first; column < std::min(end, int(line->size())); ++column)
            line->appendText(part, (*line)[size_t(column)]);
        const bool runsOn = line->wrapped && end >= screen.columns();
        if (!runsOn) {
            int keep = part.size();
            while (keep > 0 && part.at(keep - 1) == QLatin1Char(' '))
                --keep;
            part.truncate(keep);
        }
        text += part;
        if (!runsOn && (number < lastLine || m_end.column == 0))
            text += QLatin1Char('\n');
    }
    return text;
}
