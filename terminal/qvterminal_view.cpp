// QVTerminal's view: keys, mouse, painting and scrolling.
#include "qvterminal.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QIODevice>
#include <QKeyEvent>
#include <QMenu>
#include <QGlyphRun>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace {

const QColor CursorColor(187, 187, 187);

bool isPlainBackground(char digit)
{
    return TerminalFormat::paletteColor(digit) == TerminalFormat::paletteColor('0');
}

} // namespace

bool QVTerminal::event(QEvent *event)
{
    // Tab is a key for the program, not a move to the next widget.
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Tab
        && m_device && m_device->isWritable()) {
        m_device->write("\t", 1);
        event->accept();
        return true;
    }
    return QAbstractScrollArea::event(event);
}

void QVTerminal::keyPressEvent(QKeyEvent *event)
{
    if (!m_device || !m_device->isWritable() || !sendKey(event))
        QAbstractScrollArea::keyPressEvent(event);
}

bool QVTerminal::sendKey(QKeyEvent *event)
{
    const char cursorIntroducer = m_applicationCursorKeys ? 'O' : '[';
    char final = 0;
    switch (event->key()) {
    case Qt::Key_Backspace:
        m_device->write("\x7f", 1);
        return true;
    case Qt::Key_Up: final = 'A'; break;
    case Qt::Key_Down: final = 'B'; break;
    case Qt::Key_Right: final = 'C'; break;
    case Qt::Key_Left: final = 'D'; break;
    case Qt::Key_Home: final = 'H'; break;
    case Qt::Key_End: final = 'F'; break;
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        const QByteArray newline = m_crBeforeLf ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\n");
        m_device->write(newline);
        if (m_localEcho)
            appendData(QByteArrayLiteral("\n"));
        return true;
    }
    default: {
        const QString text = event->text();
        if (text.isEmpty())
            return false;
        writeData(text.toLatin1());
        return true;
    }
    }
    const char sequence[3] = { '\x1b', cursorIntroducer, final };
    m_device->write(sequence, 3);
    return true;
}

void QVTerminal::paste()
{
    pasteText(QApplication::clipboard()->text());
}

void QVTerminal::pasteText(const QString &text)
{
    if (!text.isEmpty())
        writeData(text.toLatin1());
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
    QMenu menu(this);
    menu.addAction(m_pasteAction);
    menu.exec(event->globalPos());
}

void QVTerminal::toggleCursor()
{
    m_cursorShown = !m_cursorShown;
    viewport()->update(cellRect(m_cursorLine, m_cursorColumn));
}

void QVTerminal::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    measureFont();
    updateScrollRanges();
    followCursor();
}

void QVTerminal::measureFont()
{
    const QFontMetrics metrics(m_font);
    const int width = std::max(1, metrics.horizontalAdvance(QLatin1Char('M')));
    const int height = std::max(1, metrics.height());
    if (width == m_characterWidth && height == m_lineHeight && m_rawFont.isValid())
        return;
    m_characterWidth = width;
    m_lineHeight = height;
    prepareGlyphs();
}

void QVTerminal::prepareGlyphs()
{
    m_rawFont = QRawFont::fromFont(m_font);
    if (!m_rawFont.isValid())
        return;
    QString all(256, QLatin1Char(' '));
    for (int i = 0x20; i < 256; ++i)
        all[i] = QLatin1Char(char(i));
    const QVector<quint32> glyphs = m_rawFont.glyphIndexesForString(all);
    if (glyphs.size() != 256) {
        m_rawFont = QRawFont();
        return;
    }
    const QVector<QPointF> advances = m_rawFont.advancesForGlyphIndexes(glyphs);
    for (int i = 0; i < 256; ++i) {
        m_glyphs[size_t(i)] = glyphs.at(i);
        m_glyphOffsets[size_t(i)] = (m_characterWidth - advances.value(i).x()) / 2;
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
    verticalScrollBar()->setRange(0, std::max(0, m_buffer->lineCount() - visibleLines()));
    horizontalScrollBar()->setRange(0, std::max(0, TerminalBuffer::Columns - visibleColumns()));
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
    follow(verticalScrollBar(), m_cursorLine, visibleLines());
    follow(horizontalScrollBar(), m_cursorColumn, visibleColumns());
}

void QVTerminal::finishOutput()
{
    if (m_rangesChanged) {
        updateScrollRanges();
        m_rangesChanged = false;
    }
    // Moving the view repaints all of it.
    followCursor();
    m_cursorShown = true;
    m_blinkTimer.start();
    markLine(m_cursorLine);
    if (m_repaintAll) {
        viewport()->update();
    } else if (m_dirtyFirst >= 0) {
        const int top = verticalScrollBar()->value();
        const QRect lines(0, Margin + (m_dirtyFirst - top) * m_lineHeight, viewport()->width(),
                          (m_dirtyLast - m_dirtyFirst + 1) * m_lineHeight);
        viewport()->update(lines & viewport()->rect());
    }
    m_repaintAll = false;
    m_dirtyFirst = -1;
    m_dirtyLast = -1;
}

QRect QVTerminal::cellRect(int line, int column) const
{
    return QRect(Margin + (column - horizontalScrollBar()->value() + 1) * m_characterWidth,
                 Margin + (line - verticalScrollBar()->value()) * m_lineHeight, m_characterWidth,
                 m_lineHeight);
}

void QVTerminal::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    const QRect area = event->rect();
    painter.fillRect(area, TerminalFormat::paletteColor('0'));
    painter.setFont(m_font);

    const int top = verticalScrollBar()->value();
    const int left = horizontalScrollBar()->value();
    const int screenLines = (viewport()->height() + m_lineHeight - 1) / m_lineHeight;
    const int firstLine = top + std::max(0, (area.top() - Margin) / m_lineHeight);
    const int lastLine = std::min({ m_buffer->lastLine(), top + screenLines,
                                    top + std::max(0, area.bottom() - Margin) / m_lineHeight });
    // Column c is drawn one cell right of where it would start, leaving an empty column.
    const int firstCell = std::max(left, left - 1 + (area.left() - Margin) / m_characterWidth);
    const int lastCell = left - 1 + std::max(0, area.right() - Margin) / m_characterWidth;
    for (int line = firstLine; line <= lastLine; ++line)
        paintLine(painter, m_buffer->line(line), Margin + (line - top) * m_lineHeight, firstCell, lastCell);

    if (m_cursorShown && m_cursorLine >= firstLine && m_cursorLine <= lastLine)
        painter.fillRect(cellRect(m_cursorLine, m_cursorColumn), CursorColor);
}

void QVTerminal::paintLine(QPainter &painter, const TerminalLine &line, int y, int firstCell, int lastCell)
{
    const int left = horizontalScrollBar()->value();
    const int end = std::min(int(line.size()) - 1, lastCell);
    const auto cellX = [&](int cell) { return Margin + (cell - left + 1) * m_characterWidth; };

    for (int cell = firstCell; cell <= end;) {
        const char background = line[size_t(cell)].format.background;
        int next = cell + 1;
        while (next <= end && line[size_t(next)].format.background == background)
            ++next;
        if (!isPlainBackground(background))
            painter.fillRect(cellX(cell), y, (next - cell) * m_characterWidth, m_lineHeight,
                             TerminalFormat::paletteColor(background));
        cell = next;
    }

    const qreal baseline = y + QFontMetricsF(m_font).ascent();
    for (int cell = firstCell; cell <= end;) {
        const char foreground = line[size_t(cell)].format.foreground;
        int next = cell + 1;
        while (next <= end && line[size_t(next)].format.foreground == foreground)
            ++next;
        painter.setPen(TerminalFormat::paletteColor(foreground));
        m_runGlyphs.resize(0);
        m_runPositions.resize(0);
        for (int i = cell; i < next; ++i) {
            const uchar character = line[size_t(i)].character;
            if (character == ' ')
                continue;
            const quint32 glyph = m_rawFont.isValid() ? m_glyphs[character] : 0;
            if (glyph != 0) {
                m_runGlyphs.append(glyph);
                m_runPositions.append(QPointF(cellX(i) + m_glyphOffsets[character], baseline));
            } else {
                // Not in the fixed font: let Qt find a font that has it.
                painter.drawText(QRect(cellX(i), y, m_characterWidth, m_lineHeight), Qt::AlignCenter,
                                 QString(QLatin1Char(char(character))));
            }
        }
        if (!m_runGlyphs.isEmpty()) {
            QGlyphRun run;
            run.setRawFont(m_rawFont);
            run.setGlyphIndexes(m_runGlyphs);
            run.setPositions(m_runPositions);
            painter.drawGlyphRun(QPointF(), run);
        }
        cell = next;
    }
}
