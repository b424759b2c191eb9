#include "terminalscreen.h"

#include "terminalcharwidth.h"

#include <algorithm>

namespace {

// Blanks the halves of wide characters that [from, to) of the line is about to cut in two.
void splitWideCharacters(TerminalLine &line, int from, int to)
{
    const int size = int(line.size());
    if (from > 0 && from < size && line[size_t(from)].format.has(TerminalFormat::WideTail)) {
        TerminalCell &head = line[size_t(from - 1)];
        head.character = U' ';
        head.format.attributes &= ~TerminalFormat::CellShapeAttributes;
    }
    if (to > 0 && to < size && line[size_t(to)].format.has(TerminalFormat::WideTail)) {
        TerminalCell &tail = line[size_t(to)];
        tail.character = U' ';
        tail.format.attributes &= ~TerminalFormat::CellShapeAttributes;
    }
}

} // namespace

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
    return this->row(row).text();
}

int TerminalScreen::rowColumns(int row) const
{
    return this->row(row).isDoubleWidth() ? std::max(1, m_columns / 2) : m_columns;
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
    clampColumn();
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
    clampColumn();
    m_changes.all = true;
}

void TerminalScreen::setCursor(int row, int column)
{
    m_row = std::clamp(row, 0, m_rows - 1);
    m_column = std::clamp(column, 0, rowColumns(m_row) - 1);
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
    if (int(line.size()) >= size)
        return;
    // A line takes its full width at once instead of growing a cell at a time; lines keep their
    // storage when they are cleared and reused.
    if (int(line.capacity()) < size)
        line.reserve(size_t(std::max(size, m_columns)));
    line.resize(size_t(size));
}

void TerminalScreen::wrapIfPending()
{
    if (m_pendingWrap && autoWrap) {
        row(m_row).wrapped = true;
        m_column = 0;
        lineFeed();
    }
    m_pendingWrap = false;
}

void TerminalScreen::write(const uchar *text, int size)
{
    writeNarrow(text, size);
}

void TerminalScreen::write(const char32_t *text, int size)
{
    const char32_t *const end = text + size;
    while (text < end) {
        // Runs of one-cell characters take the quick path.
        const char32_t *run = text;
        int width = 1;
        while (text < end && (width = terminalCharWidth(*text)) == 1)
            ++text;
        if (text != run)
            writeNarrow(run, int(text - run));
        if (text == end)
            break;
        if (width == 2)
            writeWide(*text);
        else
            addMark(*text);
        ++text;
    }
}

template<class Char>
void TerminalScreen::writeNarrow(const Char *text, int size)
{
    TerminalFormat cellFormat = format;
    cellFormat.attributes &= ~TerminalFormat::CellShapeAttributes;
    while (size > 0) {
        wrapIfPending();
        const int columns = rowColumns(m_row);
        const int column = m_column;
        const int room = columns - column;
        int count = std::min(size, room);
        if (insertMode)
            insertBlanks(count);
        TerminalLine &line = row(m_row);
        padTo(line, column + count);
        splitWideCharacters(line, column, column + count);
        TerminalCell *cell = line.data() + column;
        if (!autoWrap && size > room) {
            // Without wrapping, everything past the margin lands on the last column.
            for (int i = 0; i < count - 1; ++i)
                cell[i] = TerminalCell { char32_t(text[i]), cellFormat };
            cell[count - 1] = TerminalCell { char32_t(text[size - 1]), cellFormat };
            count = size;
        } else {
            for (int i = 0; i < count; ++i)
                cell[i] = TerminalCell { char32_t(text[i]), cellFormat };
        }
        markRow(m_row);
        text += count;
        size -= count;
        if (column + count >= columns) {
            m_column = columns - 1;
            m_pendingWrap = autoWrap;
        } else {
            m_column = column + count;
        }
    }
}

void TerminalScreen::writeWide(char32_t character)
{
    wrapIfPending();
    int columns = rowColumns(m_row);
    if (columns < 2)
        return;
    if (m_column >= columns - 1) {
        // No room for both halves: xterm goes on at the next line, or without wrapping overwrites
        // the last two cells.
        if (autoWrap) {
            row(m_row).wrapped = true;
            m_column = 0;
            lineFeed();
            columns = rowColumns(m_row);
            if (columns < 2)
                return;
        } else {
            m_column = columns - 2;
        }
    }
    if (insertMode)
        insertBlanks(2);
    TerminalLine &line = row(m_row);
    padTo(line, m_column + 2);
    splitWideCharacters(line, m_column, m_column + 2);
    TerminalFormat cellFormat = format;
    cellFormat.attributes &= ~TerminalFormat::CellShapeAttributes;
    line[size_t(m_column)] = TerminalCell { character, cellFormat };
    line[size_t(m_column)].format.attributes |= TerminalFormat::Wide;
    line[size_t(m_column + 1)] = TerminalCell { 0, cellFormat };
    line[size_t(m_column + 1)].format.attributes |= TerminalFormat::WideTail;
    markRow(m_row);
    if (m_column + 2 >= columns) {
        m_column = columns - 1;
        m_pendingWrap = autoWrap;
    } else {
        m_column += 2;
    }
}

void TerminalScreen::addMark(char32_t mark)
{
    // The character written last: under the cursor while a wrap is pending, else before it.
    int column = m_pendingWrap ? m_column : m_column - 1;
    TerminalLine &line = row(m_row);
    if (column < 0 || column >= int(line.size()))
        return;
    if (line[size_t(column)].format.has(TerminalFormat::WideTail) && column > 0)
        --column;
    line.addMark(column, mark);
    markRow(m_row);
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
    clampColumn();
}

void TerminalScreen::reverseIndex()
{
    m_pendingWrap = false;
    if (m_row == m_top)
        scrollRegionDown(m_top, m_bottom, 1);
    else if (m_row > 0)
        --m_row;
    clampColumn();
}

void TerminalScreen::clampColumn()
{
    // The cursor's line may have become a double-width one (moved onto it, or scrolled under it).
    m_column = std::min(m_column, rowColumns(m_row) - 1);
}

void TerminalScreen::tab(int count)
{
    m_pendingWrap = false;
    const int last = rowColumns(m_row) - 1;
    for (int i = 0; i < count && m_column < last; ++i) {
        do
            ++m_column;
        while (m_column < last && !m_tabStops[size_t(m_column)]);
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

void TerminalScreen::setLineSize(TerminalLine::Size size)
{
    TerminalLine &line = row(m_row);
    if (line.lineSize == size)
        return;
    line.lineSize = size;
    const int columns = rowColumns(m_row);
    if (int(line.size()) > columns)
        line.resize(size_t(columns));
    m_column = std::min(m_column, columns - 1);
    m_pendingWrap = false;
    markRow(m_row);
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
    line.clear();
    if (!blankIsDefault())
        line.assign(size_t(m_columns), blank());
}

void TerminalScreen::eraseCells(TerminalLine &line, int from, int to, bool selective)
{
    to = std::min(to, m_columns);
    if (from >= to)
        return;
    splitWideCharacters(line, from, to);
    if (selective) {
        const int end = std::min(to, int(line.size()));
        for (int i = from; i < end; ++i) {
            if (!line[size_t(i)].format.has(TerminalFormat::Protected))
                line[size_t(i)] = blank();
        }
        return;
    }
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
    // Lines that a line feed pushes off the whole main screen go into the scroll-back.
    if (saveLines && !m_alternate && top == 0 && bottom == m_rows - 1) {
        m_changes.scrolled = true;
        for (int i = 0; i < count; ++i) {
            if (!m_buffer.addLine())
                m_changes.lineCount = true;
            if (!blankIsDefault())
                clearRow(m_buffer.line(m_buffer.lastLine()));
        }
        markRows(std::max(top, bottom - count + 1), bottom);
        return;
    }
    for (int i = top; i <= bottom - count; ++i)
        row(i).swap(row(i + count));
    for (int i = bottom - count + 1; i <= bottom; ++i)
        clearRow(row(i));
    markRows(top, bottom);
    clampColumn();
}

void TerminalScreen::scrollRegionDown(int top, int bottom, int count)
{
    count = std::min(count, bottom - top + 1);
    if (count <= 0)
        return;
    for (int i = bottom; i >= top + count; --i)
        row(i).swap(row(i - count));
    for (int i = top; i < top + count; ++i)
        clearRow(row(i));
    markRows(top, bottom);
    clampColumn();
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
    const int columns = rowColumns(m_row);
    count = std::min(count, columns - m_column);
    if (m_column >= int(line.size()) && blankIsDefault())
        return;
    padTo(line, m_column);
    splitWideCharacters(line, m_column, m_column);
    line.insert(line.begin() + m_column, size_t(count), blank());
    if (int(line.size()) > columns) {
        line.resize(size_t(columns));
        if (line.back().format.has(TerminalFormat::Wide))
            line.back() = blank();
    }
    markRow(m_row);
}

void TerminalScreen::deleteCharacters(int count)
{
    m_pendingWrap = false;
    TerminalLine &line = row(m_row);
    const int columns = rowColumns(m_row);
    if (!blankIsDefault())
        padTo(line, columns);
    if (m_column >= int(line.size()))
        return;
    count = std::min(count, int(line.size()) - m_column);
    splitWideCharacters(line, m_column, m_column + count);
    line.erase(line.begin() + m_column, line.begin() + m_column + count);
    if (!blankIsDefault())
        line.resize(size_t(columns), blank());
    markRow(m_row);
}

void TerminalScreen::eraseCharacters(int count)
{
    m_pendingWrap = false;
    eraseCells(row(m_row), m_column, m_column + std::min(count, m_columns));
    markRow(m_row);
}

void TerminalScreen::eraseInLine(int mode, bool selective)
{
    m_pendingWrap = false;
    TerminalLine &line = row(m_row);
    switch (mode) {
    case 0: eraseCells(line, m_column, m_columns, selective); break;
    case 1: eraseCells(line, 0, m_column + 1, selective); break;
    case 2: eraseCells(line, 0, m_columns, selective); break;
    default: return;
    }
    markRow(m_row);
}

void TerminalScreen::eraseInDisplay(int mode, bool selective)
{
    // A whole line erased becomes single size again, as on the VT100.
    const auto eraseRow = [this, selective](int i) {
        if (selective)
            eraseCells(row(i), 0, m_columns, true);
        else
            clearRow(row(i));
    };
    switch (mode) {
    case 0:
        eraseInLine(0, selective);
        for (int i = m_row + 1; i < m_rows; ++i)
            eraseRow(i);
        break;
    case 1:
        eraseInLine(1, selective);
        for (int i = 0; i < m_row; ++i)
            eraseRow(i);
        break;
    case 2:
        m_pendingWrap = false;
        for (int i = 0; i < m_rows; ++i)
            eraseRow(i);
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

void TerminalScreen::fillWith(char32_t character)
{
    for (int i = 0; i < m_rows; ++i) {
        TerminalLine &line = row(i);
        line.clear();
        line.assign(size_t(m_columns), TerminalCell { character, TerminalFormat() });
    }
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
    markRows(row, row);
}

void TerminalScreen::markRows(int first, int last)
{
    const qint64 base = firstLineNumber() + scrollbackLines();
    if (m_changes.first < 0 || base + first < m_changes.first)
        m_changes.first = base + first;
    if (base + last > m_changes.last)
        m_changes.last = base + last;
}
