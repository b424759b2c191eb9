#pragma once

#include "terminalbuffer.h"

#include <QString>

#include <array>
#include <vector>

// The character grid a program draws on: `rows` x `columns` cells, the cursor, the scrolling
// region, tab stops, and two screens. The main screen is the end of a TerminalBuffer whose earlier
// lines are the scroll-back; the alternate screen has no scroll-back of its own, so full-screen
// programs leave the history alone. Rows and columns count from 0 here; the cursor is always on
// the screen (0 <= row < rows, 0 <= column < columns, half of that on a double-width line). A
// view shows "view lines": the scroll-back followed by the active screen's rows.
//
// Lines are ragged (see TerminalLine). Erasing in the default background shortens a line;
// erasing in another background writes blanks of that colour, as xterm does. A wide character
// takes two cells; writing over either half blanks the other. Combining marks go onto the
// character before the cursor.
class TerminalScreen
{
public:
    static constexpr int MinRows = 2;
    static constexpr int MaxRows = 300;
    static constexpr int MinColumns = 2;
    static constexpr int MaxColumns = 500;
    static constexpr int TabWidth = 8;

    TerminalScreen();

    int rows() const { return m_rows; }
    int columns() const { return m_columns; }
    // Clamped to the bounds above; text past the new width is cut off.
    void resize(int rows, int columns);

    const TerminalBuffer &buffer() const { return m_buffer; }
    int scrollbackLines() const { return m_buffer.lineCount() - m_rows; }
    int viewLineCount() const { return m_buffer.lineCount(); }
    const TerminalLine &viewLine(int index) const;
    TerminalLine &row(int row);
    const TerminalLine &row(int row) const;
    QString rowText(int row) const;
    int viewLineOfRow(int row) const { return scrollbackLines() + row; }
    // A line's number that stays while older lines leave the scroll-back: view line + this.
    qint64 firstLineNumber() const { return m_buffer.droppedLines(); }
    // The columns a row can hold: half of them on a double-width line.
    int rowColumns(int row) const;

    bool isAlternate() const { return m_alternate; }
    void setAlternate(bool alternate);

    // Cursor.
    int cursorRow() const { return m_row; }
    int cursorColumn() const { return m_column; }
    bool pendingWrap() const { return m_pendingWrap; }
    void setCursor(int row, int column);
    // Cursor addressing in the program's terms: relative to the region's top in origin mode.
    void moveTo(int row, int column);
    void moveToRow(int row) { moveTo(row, m_column); }
    void moveToColumn(int column);
    // Relative moves stop at the region's margins when the cursor is inside the region.
    void moveUp(int count);
    void moveDown(int count);
    void moveLeft(int count);
    void moveRight(int count);

    // Output.
    TerminalFormat format;
    bool autoWrap = true;
    bool insertMode = false;
    bool originMode = false;
    // Characters of one cell each (ASCII, Latin-1).
    void write(const uchar *text, int size);
    // Any characters: wide ones take two cells, combining marks none.
    void write(const char32_t *text, int size);
    void backspace();
    void carriageReturn();
    void lineFeed();       // IND
    void reverseIndex();   // RI
    void tab(int count = 1);
    void backTab(int count = 1);
    void setTabStop();
    void clearTabStop(bool all);
    // DECDWL, DECDHL, DECSWL for the cursor's line; a double line loses its right half.
    void setLineSize(TerminalLine::Size size);

    // Regions and scrolling.
    int regionTop() const { return m_top; }
    int regionBottom() const { return m_bottom; }
    // Returns false (and changes nothing) for a region of fewer than two rows.
    bool setRegion(int top, int bottom);
    void scrollUp(int count);
    void scrollDown(int count);
    void insertLines(int count);
    void deleteLines(int count);
    void insertBlanks(int count);
    void deleteCharacters(int count);
    void eraseCharacters(int count);
    // Selective erases (DECSEL, DECSED) leave protected cells (DECSCA) alone.
    void eraseInLine(int mode, bool selective = false);
    void eraseInDisplay(int mode, bool selective = false);
    void fillWith(char32_t character); // DECALN

    // DECSC/DECRC: each screen keeps its own saved cursor.
    struct SavedCursor
    {
        int row = 0;
        int column = 0;
        bool pendingWrap = false;
        bool originMode = false;
        TerminalFormat format;
        std::array<char, 4> charsets { { 'B', 'B', 'B', 'B' } };
        int shift = 0;
    };
    void saveCursor(const std::array<char, 4> &charsets, int shift);
    const SavedCursor &restoreCursor();

    // Everything back to a fresh screen of the same size; the scroll-back stays unless `clearAll`.
    void reset(bool clearAll);

    // What changed since the last takeChanges(). first and last are line numbers (view line +
    // firstLineNumber()); `all`: every row may have changed; `scrolled`: lines moved into the
    // scroll-back, so a view that follows the screen moved; `lineCount`: the number of view lines.
    struct Changes
    {
        qint64 first = -1;
        qint64 last = -1;
        bool all = false;
        bool scrolled = false;
        bool lineCount = false;
    };
    Changes takeChanges();
    void markRow(int row);

private:
    template<class Char>
    void writeNarrow(const Char *text, int size);
    void writeWide(char32_t character);
    void addMark(char32_t mark);
    void wrapIfPending();
    void clampColumn();
    TerminalCell blank() const;
    bool blankIsDefault() const { return format.background.isDefault(); }
    void clearRow(TerminalLine &line);
    void eraseCells(TerminalLine &line, int from, int to, bool selective = false);
    void scrollRegionUp(int top, int bottom, int count, bool saveLines);
    void scrollRegionDown(int top, int bottom, int count);
    void markRows(int first, int last);
    void padTo(TerminalLine &line, int size);
    void resetTabStops();

    TerminalBuffer m_buffer;
    std::vector<TerminalLine> m_alternateLines;
    int m_rows = TerminalBuffer::InitialLines;
    int m_columns = TerminalBuffer::Columns;
    bool m_alternate = false;
    int m_row = 0;
    int m_column = 0;
    bool m_pendingWrap = false;
    int m_top = 0;
    int m_bottom = TerminalBuffer::InitialLines - 1;
    std::vector<bool> m_tabStops;
    std::array<SavedCursor, 2> m_saved;
    Changes m_changes;
};
