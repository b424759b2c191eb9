// QVTerminal's view: keys, mouse, painting and scrolling.
#include "qvterminal.h"

#include "terminalemulator.h"
#include "terminalkeys.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QGlyphRun>
#include <QIODevice>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace {

const QColor CursorColor(187, 187, 187);
const QByteArray PasteStart("\x1b[200~");
const QByteArray PasteEnd("\x1b[201~");

// Which arms of a box-drawing character reach the cell's edges: left, right, up, down.
struct BoxArms
{
    bool left, right, up, down;
};

bool boxArms(uchar character, BoxArms *arms)
{
    switch (character) {
    case 'j': *arms = { true, false, true, false }; return true;
    case 'k': *arms = { true, false, false, true }; return true;
    case 'l': *arms = { false, true, false, true }; return true;
    case 'm': *arms = { false, true, true, false }; return true;
    case 'n': *arms = { true, true, true, true }; return true;
    case 'q': *arms = { true, true, false, false }; return true;
    case 't': *arms = { false, true, true, true }; return true;
    case 'u': *arms = { true, false, true, true }; return true;
    case 'v': *arms = { true, true, true, false }; return true;
    case 'w': *arms = { true, true, false, true }; return true;
    case 'x': *arms = { false, false, true, true }; return true;
    default: return false;
    }
}

} // namespace

QByteArray QVTerminal::keyBytes(const QKeyEvent *event) const
{
    TerminalKeys::Modes modes;
    modes.applicationCursorKeys = m_emulator->applicationCursorKeys();
    modes.applicationKeypad = m_emulator->keypadApplicationMode();
    modes.newLineMode = m_emulator->newLineMode();
    return TerminalKeys::encode(event->key(), event->modifiers(), event->text(), modes);
}

bool QVTerminal::event(QEvent *event)
{
    const bool writable = m_device && m_device->isWritable();
    if (event->type() == QEvent::ShortcutOverride && writable) {
        // Keys the program takes are not the window's shortcuts (F12, Ctrl+letters, ...).
        auto *key = static_cast<QKeyEvent *>(event);
        if (!keyBytes(key).isEmpty()) {
            event->accept();
            return true;
        }
    }
    // Tab and Shift+Tab are keys for the program, not moves to another widget.
    if (event->type() == QEvent::KeyPress && writable) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            const QByteArray bytes = keyBytes(key);
            if (!bytes.isEmpty()) {
                m_device->write(bytes);
                event->accept();
                return true;
            }
        }
    }
    return QAbstractScrollArea::event(event);
}

void QVTerminal::keyPressEvent(QKeyEvent *event)
{
    const Qt::KeyboardModifiers held = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (held == Qt::ShiftModifier && (event->key() == Qt::Key_PageUp || event->key() == Qt::Key_PageDown)) {
        QScrollBar *bar = verticalScrollBar();
        const int page = std::max(1, visibleLines() - 1);
        bar->setValue(bar->value() + (event->key() == Qt::Key_PageUp ? -page : page));
        event->accept();
        return;
    }
    if (!m_device || !m_device->isWritable()) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    const QByteArray bytes = keyBytes(event);
    if (bytes.isEmpty()) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    // Typed text is echoed locally when the server asks; control keys never are.
    const bool isText = bytes.size() == event->text().toLatin1().size() && bytes == event->text().toLatin1()
        && !bytes.startsWith('\x1b') && bytes != "\x7f" && bytes != "\t" && bytes != "\r";
    m_device->write(bytes);
    if (m_localEcho && isText)
        appendData(bytes);
    else if (m_localEcho && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter))
        appendData(QByteArrayLiteral("\r\n"));
    event->accept();
}

void QVTerminal::paste()
{
    pasteText(QApplication::clipboard()->text());
}

void QVTerminal::pasteText(const QString &text)
{
    if (text.isEmpty())
        return;
    QByteArray bytes = text.toLatin1();
    if (m_emulator->bracketedPaste()) {
        // The pasted text cannot end the bracket early.
        bytes.replace(PasteEnd, QByteArray());
        bytes = PasteStart + bytes + PasteEnd;
    }
    writeData(bytes);
}

void QVTerminal::mousePressEvent(QMouseEvent *event)
{
    QClipboard *clipboard = QApplication::clipboard();
    if (event->button() == Qt::MiddleButton && clipboard->supportsSelection()) {
        pasteText(clipboard->text(QClipboard::Selection));
        event->accept();
        return;
    }
    QAbstractScrollArea::mousePressEvent(event);
}

void QVTerminal::contextMenuEvent(QContextMenuEvent *event)
{
    m_pasteAction->setEnabled(!QApplication::clipboard()->text().isEmpty());
    // Not exec(): a hang-up deletes the page, and this view with it, while the menu is open.
    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(m_pasteAction);
    menu->popup(event->globalPos());
}

void QVTerminal::toggleCursor()
{
    m_cursorShown = !m_cursorShown;
    viewport()->update(cellRect(cursorLine(), cursorColumn()));
}

void QVTerminal::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    measureFont();
    updateScrollRanges();
    followCursor();
    checkFittingSize();
}

void QVTerminal::showEvent(QShowEvent *event)
{
    QAbstractScrollArea::showEvent(event);
    checkFittingSize();
}

QSize QVTerminal::fittingScreenSize() const
{
    // One column stays empty at the left edge. The horizontal bar that a wide screen (DECCOLM)
    // brings does not count: the screen would otherwise lose a row to it.
    const int height = contentsRect().height();
    const int rows = std::clamp((height - 2 * Margin) / m_lineHeight, TerminalScreen::MinRows, TerminalScreen::MaxRows);
    const int columns = std::clamp(visibleColumns() - 1, TerminalScreen::MinColumns, TerminalScreen::MaxColumns);
    return QSize(columns, rows);
}

void QVTerminal::checkFittingSize()
{
    if (!isVisible())
        return;
    const QSize size = fittingScreenSize();
    if (size == m_sizeWanted)
        return;
    m_sizeWanted = size;
    emit screenSizeWanted(size.height(), size.width());
}

void QVTerminal::measureFont()
{
    const QFontMetrics metrics(m_font);
    const int width = std::max(1, metrics.horizontalAdvance(QLatin1Char('M')));
    const int height = std::max(1, metrics.height());
    if (width == m_characterWidth && height == m_lineHeight && m_rawFonts[0].isValid())
        return;
    m_characterWidth = width;
    m_lineHeight = height;
    prepareGlyphs();
}

void QVTerminal::prepareGlyphs()
{
    QString all(256, QLatin1Char(' '));
    for (int i = 0x20; i < 256; ++i)
        all[i] = QLatin1Char(char(i));
    for (int weight = 0; weight < 2; ++weight) {
        QFont font = m_font;
        font.setBold(weight == 1);
        QRawFont &raw = m_rawFonts[size_t(weight)];
        raw = QRawFont::fromFont(font);
        if (!raw.isValid())
            continue;
        const QVector<quint32> glyphs = raw.glyphIndexesForString(all);
        if (glyphs.size() != 256) {
            raw = QRawFont();
            continue;
        }
        const QVector<QPointF> advances = raw.advancesForGlyphIndexes(glyphs);
        for (int i = 0; i < 256; ++i) {
            m_glyphs[size_t(weight)][size_t(i)] = glyphs.at(i);
            m_glyphOffsets[size_t(weight)][size_t(i)] = (m_characterWidth - advances.value(i).x()) / 2;
        }
    }
}

int QVTerminal::visibleLines() const
{
    return (viewport()->height() - 2 * Margin) / m_lineHeight;
}

int QVTerminal::visibleColumns() const
{
    return (viewport()->width() - 2 * Margin) / m_characterWidth;
}

void QVTerminal::updateScrollRanges()
{
    const TerminalScreen &screen = m_emulator->screen();
    verticalScrollBar()->setRange(0, std::max(0, screen.viewLineCount() - visibleLines()));
    horizontalScrollBar()->setRange(0, std::max(0, screen.columns() + 1 - visibleColumns()));
}

void QVTerminal::followCursor()
{
    const auto follow = [](QScrollBar *bar, int position, int visible) {
        int first = bar->value();
        if (position < first)
            first = position;
        else if (first < position - (visible - 1))
            first = position - (visible - 1);
        bar->setValue(first);
    };
    follow(verticalScrollBar(), cursorLine(), visibleLines());
    follow(horizontalScrollBar(), cursorColumn(), visibleColumns());
}

void QVTerminal::finishOutput()
{
    TerminalScreen &screen = m_emulator->screen();
    TerminalScreen::Changes changes = screen.takeChanges();
    if (changes.lineCount)
        updateScrollRanges();
    const int top = verticalScrollBar()->value();
    // Moving the view repaints all of it.
    followCursor();
    m_cursorShown = true;
    m_blinkTimer.start();
    const int cursor = cursorLine();
    if (changes.all || verticalScrollBar()->value() != top) {
        viewport()->update();
    } else {
        const int first = changes.first < 0 ? cursor : std::min(changes.first, cursor);
        const int last = std::max(changes.last, cursor);
        const QRect lines(0, Margin + (first - top) * m_lineHeight, viewport()->width(),
                          (last - first + 1) * m_lineHeight);
        viewport()->update(lines & viewport()->rect());
    }
    // The cursor's old place is repainted by the next output or blink.
    if (m_lastCursorLine != cursor) {
        viewport()->update(QRect(0, Margin + (m_lastCursorLine - top) * m_lineHeight, viewport()->width(), m_lineHeight)
                           & viewport()->rect());
        m_lastCursorLine = cursor;
    }
}

QRect QVTerminal::cellRect(int line, int column) const
{
    return QRect(Margin + (column - horizontalScrollBar()->value() + 1) * m_characterWidth,
                 Margin + (line - verticalScrollBar()->value()) * m_lineHeight, m_characterWidth,
                 m_lineHeight);
}

void QVTerminal::paintEvent(QPaintEvent *event)
{
    const TerminalScreen &screen = m_emulator->screen();
    const bool reverse = m_emulator->reverseScreen();
    QPainter painter(viewport());
    const QRect area = event->rect();
    painter.fillRect(area, TerminalFormat::paletteColor(reverse ? TerminalFormat::DefaultForeground
                                                                : TerminalFormat::DefaultBackground));
    painter.setFont(m_font);

    const int top = verticalScrollBar()->value();
    const int left = horizontalScrollBar()->value();
    const int screenLines = (viewport()->height() + m_lineHeight - 1) / m_lineHeight;
    const int firstLine = top + std::max(0, (area.top() - Margin) / m_lineHeight);
    const int lastLine = std::min({ screen.viewLineCount() - 1, top + screenLines,
                                    top + std::max(0, area.bottom() - Margin) / m_lineHeight });
    // Column c is drawn one cell right of where it would start, leaving an empty column.
    const int firstCell = std::max(left, left - 1 + (area.left() - Margin) / m_characterWidth);
    const int lastCell = left - 1 + std::max(0, area.right() - Margin) / m_characterWidth;
    for (int line = firstLine; line <= lastLine; ++line)
        paintLine(painter, screen.viewLine(line), Margin + (line - top) * m_lineHeight, firstCell, lastCell);

    const int cursor = cursorLine();
    if (m_cursorShown && m_emulator->cursorVisible() && cursor >= firstLine && cursor <= lastLine) {
        // A block, with the character under it in the background's colour.
        const QRect box = cellRect(cursor, cursorColumn());
        painter.fillRect(box, CursorColor);
        const TerminalLine &line = screen.viewLine(cursor);
        if (cursorColumn() < int(line.size()) && line[size_t(cursorColumn())].character != ' ') {
            const TerminalCell &cell = line[size_t(cursorColumn())];
            QFont font = m_font;
            font.setBold(cell.format.isBold());
            painter.setFont(font);
            painter.setPen(TerminalFormat::paletteColor(TerminalFormat::DefaultBackground));
            painter.drawText(box, Qt::AlignCenter, QString(cell.toQChar()));
        }
    }
}

void QVTerminal::paintLine(QPainter &painter, const TerminalLine &line, int y, int firstCell, int lastCell)
{
    const bool reverse = m_emulator->reverseScreen();
    const int left = horizontalScrollBar()->value();
    const int end = std::min(int(line.size()) - 1, lastCell);
    const auto cellX = [&](int cell) { return Margin + (cell - left + 1) * m_characterWidth; };
    const auto shownForeground = [&](const TerminalFormat &format) {
        const char code = reverse ? format.shownBackground() : format.shownForeground();
        // Bold text in one of the eight colours is shown in its bright variant, as xterm does.
        return format.isBold() && code >= '0' && code <= '7' ? char('A' + (code - '0')) : code;
    };
    const auto shownBackground = [&](const TerminalFormat &format) {
        return reverse ? format.shownForeground() : format.shownBackground();
    };
    const QColor plain = TerminalFormat::paletteColor(reverse ? TerminalFormat::DefaultForeground
                                                              : TerminalFormat::DefaultBackground);

    for (int cell = firstCell; cell <= end;) {
        const char background = shownBackground(line[size_t(cell)].format);
        int next = cell + 1;
        while (next <= end && shownBackground(line[size_t(next)].format) == background)
            ++next;
        const QColor colour = TerminalFormat::paletteColor(background);
        if (colour != plain)
            painter.fillRect(cellX(cell), y, (next - cell) * m_characterWidth, m_lineHeight, colour);
        cell = next;
    }

    const qreal baseline = y + QFontMetricsF(m_font).ascent();
    for (int cell = firstCell; cell <= end;) {
        const TerminalFormat &format = line[size_t(cell)].format;
        const char foreground = shownForeground(format);
        const quint8 style = format.attributes & (TerminalFormat::Bold | TerminalFormat::Underline);
        int next = cell + 1;
        while (next <= end && shownForeground(line[size_t(next)].format) == foreground
               && (line[size_t(next)].format.attributes & (TerminalFormat::Bold | TerminalFormat::Underline)) == style)
            ++next;
        const QColor colour = TerminalFormat::paletteColor(foreground);
        const int weight = (style & TerminalFormat::Bold) && m_rawFonts[1].isValid() ? 1 : 0;
        const QRawFont &raw = m_rawFonts[size_t(weight)];
        painter.setPen(colour);
        m_runGlyphs.resize(0);
        m_runPositions.resize(0);
        for (int i = cell; i < next; ++i) {
            const TerminalCell &cellData = line[size_t(i)];
            const uchar character = cellData.character;
            const QRect box(cellX(i), y, m_characterWidth, m_lineHeight);
            if (cellData.format.attributes & TerminalFormat::LineDrawing) {
                paintLineDrawing(painter, character, box);
                continue;
            }
            if (character == ' ')
                continue;
            const quint32 glyph = raw.isValid() ? m_glyphs[size_t(weight)][character] : 0;
            if (glyph != 0) {
                m_runGlyphs.append(glyph);
                m_runPositions.append(QPointF(cellX(i) + m_glyphOffsets[size_t(weight)][character], baseline));
            } else {
                // Not in the fixed font: let Qt find a font that has it.
                painter.drawText(box, Qt::AlignCenter, QString(cellData.toQChar()));
            }
        }
        if (!m_runGlyphs.isEmpty()) {
            QGlyphRun run;
            run.setRawFont(raw);
            run.setGlyphIndexes(m_runGlyphs);
            run.setPositions(m_runPositions);
            painter.drawGlyphRun(QPointF(), run);
        }
        if (style & TerminalFormat::Underline)
            painter.fillRect(cellX(cell), int(baseline) + 1, (next - cell) * m_characterWidth, 1, colour);
        cell = next;
    }
}

void QVTerminal::paintLineDrawing(QPainter &painter, uchar character, const QRect &cell)
{
    BoxArms arms {};
    if (!boxArms(character, &arms)) {
        const QChar shown = TerminalCell { character, TerminalFormat { '7', '0', TerminalFormat::LineDrawing } }.toQChar();
        if (shown != QLatin1Char(' ') && shown != QChar(0x00A0))
            painter.drawText(cell, Qt::AlignCenter, QString(shown));
        return;
    }
    // Lines drawn by hand meet across cells whatever the font.
    const QColor colour = painter.pen().color();
    const int midX = cell.left() + cell.width() / 2;
    const int midY = cell.top() + cell.height() / 2;
    if (arms.left)
        painter.fillRect(QRect(QPoint(cell.left(), midY), QPoint(midX, midY)), colour);
    if (arms.right)
        painter.fillRect(QRect(QPoint(midX, midY), QPoint(cell.right(), midY)), colour);
    if (arms.up)
        painter.fillRect(QRect(QPoint(midX, cell.top()), QPoint(midX, midY)), colour);
    if (arms.down)
        painter.fillRect(QRect(QPoint(midX, midY), QPoint(midX, cell.bottom())), colour);
}
