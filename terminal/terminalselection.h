#pragma once

#include <QString>
#include <QtGlobal>

class TerminalScreen;
class TerminalLine;

// What the user selected with the mouse. Places are line numbers that stay while the scroll-back
// moves (TerminalScreen::firstLineNumber() + view line) and column boundaries (0 before the first
// cell); the selection runs from the earlier to the later place, the cells between them. A drag
// selects characters from where it started; a double click selects a word (a run of letters,
// digits and "-./_~", of blanks, or of one other character) and a triple click the line, and
// dragging from either extends by words or lines.
class TerminalSelection
{
public:
    enum class Unit { Character, Word, Line };
    struct Place
    {
        qint64 line = 0;
        int column = 0;
        friend bool operator<(const Place &a, const Place &b)
        {
            return a.line < b.line || (a.line == b.line && a.column < b.column);
        }
        friend bool operator==(const Place &a, const Place &b) { return a.line == b.line && a.column == b.column; }
    };

    bool isEmpty() const { return !(m_start < m_end); }
    Place start() const { return m_start; }
    Place end() const { return m_end; }
    Unit unit() const { return m_unit; }

    // For Character, `place` is the boundary nearest the mouse; for Word and Line, the cell.
    void begin(const TerminalScreen &screen, Place place, Unit unit);
    void extend(const TerminalScreen &screen, Place place);
    void clear();
    // Whether any of the lines [first, last] holds selected cells.
    bool touchesLines(qint64 first, qint64 last) const;
    // The selected cells [first, end) of the line, or an empty range.
    void cellsOnLine(qint64 line, int columns, int *first, int *end) const;
    // The selected text: blanks at line ends dropped, lines joined by "\n" unless the text ran
    // on past the margin; the second halves of wide characters give nothing.
    QString text(const TerminalScreen &screen) const;

private:
    // The unit's span around a place: [from, to).
    void span(const TerminalScreen &screen, Place place, Place *from, Place *to) const;

    Unit m_unit = Unit::Character;
    Place m_anchorFrom;
    Place m_anchorTo;
    Place m_start;
    Place m_end;
};
