#include "terminalscreen.h"

#include <algorithm>

TerminalScreen::TerminalScreen()
{
    m_alternateLines.resize(size_t(m_rows));
    resetTabStops();
}

const TerminalLine &TerminalScreen::viewLine(int index) const
{
    const int scrollback = scrollbackLines();
    if (m_alternate && index >= scrollback)
        return m_alternateLines[size_t(index - scrollback)];
    return m_buffer.line(index);
}

TerminalLine &TerminalScreen::row(int row)
{
    return m_alternate ? m_alternateLines[size_t(row)] : m_buffer.line(m_buffer.lineCount() - m_rows + row);
}

const TerminalLine &TerminalScreen::row(int row) const
{
    return m_alternate ? m_alternateLines[size_t(row)] : m_buffer.line(m_buffer.lineCount() - m_rows + row);
}

QString TerminalScreen::rowText(int row) const
{
    const TerminalLine &cells = this->row(row);
    QString text(int(cells.size()), Qt::Uninitialized);
    for (int i = 0; i < int(cells.size()); ++i)
        text[i] = cells[size_t(i)].toQChar();
    return text;
}

void TerminalScreen::resize(int rows, int columns)
{
    rows = std::clamp(rows, MinRows, MaxRows);
    columns = std::clamp(columns, MinColumns, MaxColumns);
    if (rows == m_rows && columns == m_columns)
        return;
    if (columns < m_columns) {
        for (int i = 0; i < m_buffer.lineCount(); ++i) {
            TerminalLine &line = m_buffer.line(i);
            if (int(line.size()) > columns)
                line.resize(size_t(columns));
        }
        for (TerminalLine &line : m_alternateLines) {
            if (int(line.size()) > columns)
                line.resize(size_t(columns));
        }
    }
    m_columns = columns;

    // The main screen: growing takes lines back from the scroll-back (as xterm does), shrinking
    // first drops empty rows below the cursor, then hands rows above the cursor to the scroll-back.
    int mainRow = m_alternate ? m_saved[0].row : m_row;
    if (rows > m_rows) {
        const int pulled = std::min(rows - m_rows, scrollbackLines());
        for (int i = pulled; i < rows - m_rows; ++i)
            m_buffer.addLine();
        mainRow += pulled;
    } else {
        int excess = m_rows - rows;
        while (excess > 0 && m_rows - 1 > mainRow && m_buffer.line(m_buffer.lastLine()).empty()) {
            m_buffer.removeLastLine();
            --m_rows;
            --excess;
        }
        // The cursor's line stays on the screen; what is left below the new bottom goes, as in xterm.
        const int intoScrollback = std::min(excess, mainRow);
        mainRow -= intoScrollback;
        for (int i = intoScrollback; i < excess; ++i)
            m_buffer.removeLastLine();
    }
    mainRow = std::clamp(mainRow, 0, rows - 1);

    // The alternate screen keeps the cursor's row on the screen and loses rows at the bottom.
    int alternateRow = m_alternate ? m_row : m_saved[1].row;
    if (alternateRow >= rows) {
        const int drop = alternateRow - rows + 1;
        m_alternateLines.erase(m_alternateLines.begin(), m_alternateLines.begin() + drop);
        alternateRow -= drop;
    }
    m_alternateLines.resize(size_t(rows));

    m_rows = rows;
    m_row = m_alternate ? alternateRow : mainRow;
    // The other screen's cursor is its saved one.
    m_saved[0].row = m_alternate ? mainRow : std::min(m_saved[0].row, rows - 1);
    m_saved[1].row = m_alternate ? std::min(m_saved[1].row, rows - 1) : alternateRow;
    m_column = std::min(m_column, m_columns - 1);
    m_pendingWrap = false;
    m_top = 0;
    m_bottom = rows - 1;
    resetTabStops();
    m_changes.all = true;
    m_changes.lineCount = true;
}

void TerminalScreen::setAlternate(bool alternate)
{
    if (alternate == m_alternate)
        return;
    m_alternate = alternate;
    m_changes.all = true;
}

void TerminalScreen::setCursor(int row, int column)
{
    m_row = std::clamp(row, 0, m_rows - 1);
    m_column = std::clamp(column, 0, m_columns - 1);
    m_pendingWrap = false;
}

void TerminalScreen::moveTo(int row, int column)
{
    if (originMode)
        row = std::clamp(row + m_top, m_top, m_bottom);
    setCursor(row, column);
}

void TerminalScreen::moveToColumn(int column)
{
    setCursor(m_row, column);
}

void TerminalScreen::moveUp(int count)
{
    const int limit = m_row >= m_top ? m_top : 0;
    setCursor(std::max(limit, m_row - count), m_column);
}

void TerminalScreen::moveDown(int count)
{
    const int limit = m_row <= m_bottom ? m_bottom : m_rows - 1;
    setCursor(std::min(limit, m_row + std::min(count, MaxRows)), m_column);
}

void TerminalScreen::moveLeft(int count)
{
    setCursor(m_row, m_column - std::min(count, MaxColumns));
}

void TerminalScreen::moveRight(int count)
{
    setCursor(m_row, m_column + std::min(count, MaxColumns));
}

void TerminalScreen::padTo(TerminalLine &line, int size)
{
    if (int(line.size()) < size)
        line.resize(size_t(size));
}

void TerminalScreen::write(const uchar *text, int size, quint8 extraAttributes)
{
    TerminalFormat cellFormat = format;
    cellFormat.attributes |= extraAttributes;
    while (size > 0) {
        if (m_pendingWrap && autoWrap) {
            m_column = 0;
            lineFeed();
        }
        m_pendingWrap = false;
        const int column = m_column;
        const int room = m_columns - column;
        int count = std::min(size, room);
        if (insertMode)
            insertBlanks(count);
        TerminalLine &line = row(m_row);
        padTo(line, column + count);
        TerminalCell *cell = line.data() + column;
        if (!autoWrap && size > room) {
            // Without wrapping, everything past the margin lands on the last column.
            for (int i = 0; i < count - 1; ++i)
                cell[i] = TerminalCell { text[i], cellFormat };
            cell[count - 1] = TerminalCell { text[size - 1], cellFormat };
            count = size;
        } else {
            for (int i = 0; i < count; ++i)
                cell[i] = TerminalCell { text[i], cellFormat };
        }
        markRow(m_row);
        text += count;
        size -= count;
        if (column + count >= m_columns) {
            m_column = m_columns - 1;
            m_pendingWrap = autoWrap;
        } else {
            m_column = column + count;
        }
    }
}

void TerminalScreen::backspace()
{
    m_pendingWrap = false;
    if (m_column > 0)
        --m_column;
}

void TerminalScreen::carriageReturn()
{
    m_pendingWrap = false;
    m_column = 0;
}

void TerminalScreen::lineFeed()
{
    m_pendingWrap = false;
    if (m_row == m_bottom)
        scrollRegionUp(m_top, m_bottom, 1, true);
    else if (m_row < m_rows - 1)
        ++m_row;
}

void TerminalScreen::reverseIndex()
{
    m_pendingWrap = false;
    if (m_row == m_top)
        scrollRegionDown(m_top, m_bottom, 1);
    else if (m_row > 0)
        --m_row;
}

void TerminalScreen::tab(int count)
{
    m_pendingWrap = false;
    for (int i = 0; i < count && m_column < m_columns - 1; ++i) {
        do
            ++m_column;
        while (m_column < m_columns - 1 && !m_tabStops[size_t(m_column)]);
    }
}

void TerminalScreen::backTab(int count)
{
    m_pendingWrap = false;
    for (int i = 0; i < count && m_column > 0; ++i) {
        do
            --m_column;
        while (m_column > 0 && !m_tabStops[size_t(m_column)]);
    }
}

void TerminalScreen::setTabStop()
{
    m_tabStops[size_t(m_column)] = true;
}

void TerminalScreen::clearTabStop(bool all)
{
    if (all)
        std::fill(m_tabStops.begin(), m_tabStops.end(), false);
    else
        m_tabStops[size_t(m_column)] = false;
}

void TerminalScreen::resetTabStops()
{
    m_tabStops.assign(size_t(m_columns), false);
    for (int column = TabWidth; column < m_columns; column += TabWidth)
        m_tabStops[size_t(column)] = true;
}

bool TerminalScreen::setRegion(int top, int bottom)
{
    top = std::clamp(top, 0, m_rows - 1);
    bottom = std::clamp(bottom, 0, m_rows - 1);
    if (top >= bottom)
        return false;
    m_top = top;
    m_bottom = bottom;
    moveTo(0, 0);
    return true;
}

TerminalCell TerminalScreen::blank() const
{
    TerminalCell cell;
    cell.format.background = format.background;
    return cell;
}

void TerminalScreen::clearRow(TerminalLine &line)
{
    if (blankIsDefault())
        line.clear();
    else
        line.assign(size_t(m_columns), blank());
}

void TerminalScreen::eraseCells(TerminalLine &line, int from, int to)
{
    to = std::min(to, m_columns);
    if (from >= to)
        return;
    if (blankIsDefault() && to >= int(line.size())) {
        if (int(line.size()) > from)
            line.resize(size_t(from));
        return;
    }
    padTo(line, to);
    std::fill(line.begin() + from, line.begin() + to, blank());
}

void TerminalScreen::scrollRegionUp(int top, int bottom, int count, bool saveLines)
{
    count = std::min(count, bottom - top + 1);
    if (count <= 0)
        return;
    m_changes.all = true;
    // Lines that a line feed pushes off the whole main screen go into the scroll-back.
    if (saveLines && !m_alternate && top == 0 && bottom == m_rows - 1) {
        for (int i = 0; i < count; ++i) {
            if (!m_buffer.addLine())
                m_changes.lineCount = true;
            if (!blankIsDefault())
                clearRow(m_buffer.line(m_buffer.lastLine()));
        }
        return;
    }
    for (int i = top; i <= bottom - count; ++i)
        row(i).swap(row(i + count));
    for (int i = bottom - count + 1; i <= bottom; ++i)
        clearRow(row(i));
}

void TerminalScreen::scrollRegionDown(int top, int bottom, int count)
{
    count = std::min(count, bottom - top + 1);
    if (count <= 0)
        return;
    m_changes.all = true;
    for (int i = bottom; i >= top + count; --i)
        row(i).swap(row(i - count));
    for (int i = top; i < top + count; ++i)
        clearRow(row(i));
}

void TerminalScreen::scrollUp(int count)
{
    scrollRegionUp(m_top, m_bottom, std::min(count, MaxRows), false);
}

void TerminalScreen::scrollDown(int count)
{
    scrollRegionDown(m_top, m_bottom, std::min(count, MaxRows));
}

void TerminalScreen::insertLines(int count)
{
    if (m_row < m_top || m_row > m_bottom)
        return;
    scrollRegionDown(m_row, m_bottom, std::min(count, MaxRows));
    carriageReturn();
}

void TerminalScreen::deleteLines(int count)
{
    if (m_row < m_top || m_row > m_bottom)
        return;
    scrollRegionUp(m_row, m_bottom, std::min(count, MaxRows), false);
    carriageReturn();
}

void TerminalScreen::insertBlanks(int count)
{
    m_pendingWrap = false;
    TerminalLine &line = row(m_row);
    count = std::min(count, m_columns - m_column);
    if (m_column >= int(line.size()) && blankIsDefault())
        return;
    padTo(line, m_column);
    line.insert(line.begin() + m_column, size_t(count), blank());
    if (int(line.size()) > m_columns)
        line.resize(size_t(m_columns));
    markRow(m_row);
}

void TerminalScreen::deleteCharacters(int count)
{
    m_pendingWrap = false;
    TerminalLine &line = row(m_row);
    if (!blankIsDefault())
        padTo(line, m_columns);
    if (m_column >= int(line.size()))
        return;
    count = std::min(count, int(line.size()) - m_column);
    line.erase(line.begin() + m_column, line.begin() + m_column + count);
    if (!blankIsDefault())
        line.resize(size_t(m_columns), blank());
    markRow(m_row);
}

void TerminalScreen::eraseCharacters(int count)
{
    m_pendingWrap = false;
    eraseCells(row(m_row), m_column, m_column + std::min(count, m_columns));
    markRow(m_row);
}

void TerminalScreen::eraseInLine(int mode)
{
    m_pendingWrap = false;
    TerminalLine &line = row(m_row);
    switch (mode) {
    case 0: eraseCells(line, m_column, m_columns); break;
    case 1: eraseCells(line, 0, m_column + 1); break;
    case 2: eraseCells(line, 0, m_columns); break;
    default: return;
    }
    markRow(m_row);
}

void TerminalScreen::eraseInDisplay(int mode)
{
    switch (mode) {
    case 0:
        eraseInLine(0);
        for (int i = m_row + 1; i < m_rows; ++i)
            clearRow(row(i));
        break;
    case 1:
        eraseInLine(1);
        for (int i = 0; i < m_row; ++i)
            clearRow(row(i));
        break;
    case 2:
        m_pendingWrap = false;
        for (int i = 0; i < m_rows; ++i)
            clearRow(row(i));
        break;
    case 3:
        m_buffer.dropOldest(scrollbackLines(), m_rows);
        m_changes.lineCount = true;
        break;
    default:
        return;
    }
    m_changes.all = true;
}

void TerminalScreen::fillWith(uchar character)
{
    for (int i = 0; i < m_rows; ++i)
        row(i).assign(size_t(m_columns), TerminalCell { character, TerminalFormat() });
    m_changes.all = true;
}

void TerminalScreen::saveCursor(const std::array<char, 4> &charsets, int shift)
{
    m_saved[m_alternate ? 1 : 0] = SavedCursor { m_row, m_column, m_pendingWrap, originMode, format, charsets, shift };
}

const TerminalScreen::SavedCursor &TerminalScreen::restoreCursor()
{
    const SavedCursor &saved = m_saved[m_alternate ? 1 : 0];
    setCursor(saved.row, saved.column);
    m_pendingWrap = saved.pendingWrap && autoWrap;
    originMode = saved.originMode;
    format = saved.format;
    return saved;
}

void TerminalScreen::reset(bool clearAll)
{
    setAlternate(false);
    for (TerminalLine &line : m_alternateLines)
        line.clear();
    format = TerminalFormat();
    autoWrap = true;
    insertMode = false;
    originMode = false;
    m_top = 0;
    m_bottom = m_rows - 1;
    m_saved = {};
    resetTabStops();
    eraseInDisplay(2);
    if (clearAll)
        eraseInDisplay(3);
    setCursor(0, 0);
}

TerminalScreen::Changes TerminalScreen::takeChanges()
{
    Changes changes = m_changes;
    m_changes = Changes();
    return changes;
}

void TerminalScreen::markRow(int row)
{
    const int line = viewLineOfRow(row);
    if (m_changes.first < 0 || line < m_changes.first)
        m_changes.first = line;
    if (line > m_changes.last)
        m_changes.last = line;
}
