// QVTerminal's view: keys, pasting, painting and scrolling.
#include "qvterminal.h"

#include "terminalemulator.h"
#include "terminalkeys.h"

#include "utils/openprompt.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QIODevice>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>

#include <algorithm>

namespace {

const QByteArray PasteStart("\x1b[200~");
const QByteArray PasteEnd("\x1b[201~");

bool isControl(QChar character)
{
    const ushort code = character.unicode();
    return code < 0x20 || code == 0x7F || (code >= 0x80 && code <= 0x9F);
}

// Pasted text as typed keys: no ESC or other controls but tab, line ends as Return (CR).
QString pastedKeys(const QString &text)
{
    QString keys;
    keys.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const QChar character = text.at(i);
        if (character == QLatin1Char('\r') || character == QLatin1Char('\n')) {
            keys += QLatin1Char('\r');
            if (character == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
        } else if (character == QLatin1Char('\t') || !isControl(character)) {
            keys += character;
        }
    }
    return keys;
}

} // namespace

QByteArray QVTerminal::keyBytes(const QKeyEvent *event) const
{
    TerminalKeys::Modes modes;
    modes.applicationCursorKeys = m_emulator->applicationCursorKeys();
    modes.applicationKeypad = m_emulator->keypadApplicationMode();
    modes.newLineMode = m_emulator->newLineMode();
    modes.utf8 = isUtf8();
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
    const QByteArray typed = encode(event->text());
    const bool isText = bytes == typed && !bytes.startsWith('\x1b') && bytes != "\x7f" && bytes != "\t" && bytes != "\r";
    m_device->write(bytes);
    // Typing brings the view back to the screen.
    scrollToBottom();
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

void QVTerminal::copy()
{
    const QString text = selectedText();
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

void QVTerminal::pasteText(const QString &text)
{
    if (text.isEmpty() || !m_device || !m_device->isWritable())
        return;
    const bool risky = std::any_of(text.begin(), text.end(),
                                   [](QChar c) { return c != QLatin1Char('\t') && isControl(c); });
    if (!risky || m_emulator->bracketedPaste()) {
        sendPaste(text);
        return;
    }
    // Without bracketed paste every line end is Return: each line would run at once.
    auto *question = new QMessageBox(QMessageBox::Warning, QStringLiteral("Paste"),
                                     QStringLiteral("The text holds line breaks or control characters, and the "
                                                    "program did not ask to be told what is pasted: each line "
                                                    "may run as a command at once.\n\nPaste it anyway?"),
                                     QMessageBox::Yes | QMessageBox::Cancel, this);
    question->button(QMessageBox::Yes)->setText(QStringLiteral("Paste"));
    question->setDefaultButton(QMessageBox::Cancel);
    openPrompt(question, this, [this, text](QMessageBox *, int answer) {
        if (answer == QMessageBox::Yes)
            sendPaste(text);
    });
}

void QVTerminal::sendPaste(const QString &text)
{
    QByteArray bytes = encode(pastedKeys(text));
    if (m_emulator->bracketedPaste())
        bytes = PasteStart + bytes + PasteEnd;
    writeData(bytes);
    scrollToBottom();
}

void QVTerminal::contextMenuEvent(QContextMenuEvent *event)
{
    // The right button is the program's while it takes the mouse (Shift opens the menu).
    if (event->reason() == QContextMenuEvent::Mouse && programTakesMouse(event->modifiers()))
        return;
    m_pasteAction->setEnabled(!QApplication::clipboard()->text().isEmpty());
    m_copyAction->setEnabled(!m_selection.isEmpty());
    // Not exec(): a hang-up deletes the page, and this view with it, while the menu is open.
    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(m_copyAction);
    menu->addAction(m_pasteAction);
    menu->popup(event->globalPos());
}

void QVTerminal::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    if (m_emulator->focusReports())
        reply(QByteArrayLiteral("\x1b[I"));
    viewport()->update(cellRect(cursorLine(), cursorColumn()));
}

void QVTerminal::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    if (m_emulator->focusReports())
        reply(QByteArrayLiteral("\x1b[O"));
    viewport()->update(cellRect(cursorLine(), cursorColumn()));
}

void QVTerminal::toggleCursor()
{
    m_cursorShown = !m_cursorShown;
    viewport()->update(cellRect(cursorLine(), cursorColumn()));
}

void QVTerminal::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    // The width the program chose holds until the view becomes wide enough for it or more (the
    // page widening its window for the program, or the user); narrower, the view scrolls. The
    // horizontal bar that comes and goes with it changes only the height.
    if (m_lastViewportWidth >= 0 && viewport()->width() != m_lastViewportWidth
        && visibleColumns() - 1 >= m_programColumns)
        m_programColumns = 0;
    m_lastViewportWidth = viewport()->width();
    measureFont();
    const bool atBottom = verticalScrollBar()->value() == verticalScrollBar()->maximum();
    updateScrollRanges();
    if (atBottom)
        scrollToBottom();
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
    // Rows that the viewport shows whole, below a horizontal bar if there is one; one column
    // stays empty at the left edge.
    const int rows = std::clamp(visibleLines(), TerminalScreen::MinRows, TerminalScreen::MaxRows);
    const int columns = m_programColumns > 0 ? m_programColumns
                                             : std::clamp(visibleColumns() - 1, TerminalScreen::MinColumns,
                                                          TerminalScreen::MaxColumns);
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
    m_painter.setFont(m_painter.font());
}

int QVTerminal::visibleLines() const
{
    return (viewport()->height() - 2 * Margin) / lineHeight();
}

int QVTerminal::visibleColumns() const
{
    return (viewport()->width() - 2 * Margin) / characterWidth();
}

void QVTerminal::updateScrollRanges()
{
    const TerminalScreen &screen = m_emulator->screen();
    verticalScrollBar()->setRange(0, std::max(0, screen.viewLineCount() - visibleLines()));
    horizontalScrollBar()->setRange(0, std::max(0, screen.columns() + 1 - visibleColumns()));
}

void QVTerminal::scrollToBottom()
{
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
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
    // Vertically only while the view is at the screen: one scrolled back into the history stays
    // there; the screen shows whole at the bottom unless the viewport is too short for it.
    if (verticalScrollBar()->value() == verticalScrollBar()->maximum())
        follow(verticalScrollBar(), cursorLine(), visibleLines());
    follow(horizontalScrollBar(), cursorColumn(), visibleColumns());
}

void QVTerminal::finishOutput()
{
    TerminalScreen &screen = m_emulator->screen();
    const TerminalScreen::Changes changes = screen.takeChanges();
    QScrollBar *bar = verticalScrollBar();
    const int top = bar->value();
    const bool atBottom = top == bar->maximum();
    if (changes.lineCount)
        updateScrollRanges();

    // Text under the selection changed (somewhere on the screen, when all of it may have), or
    // went out of the scroll-back: the selection goes.
    const qint64 firstLine = screen.firstLineNumber();
    const qint64 screenTop = firstLine + screen.scrollbackLines();
    if (!m_selection.isEmpty()
        && (m_selection.start().line < firstLine
            || (changes.all && m_selection.touchesLines(screenTop, screenTop + screen.rows() - 1))
            || (changes.first >= 0 && m_selection.touchesLines(changes.first, changes.last))))
        setSelectionEmpty();

    // At the bottom the view stays with the screen (also when the program switches screens);
    // scrolled back, it keeps showing the same lines while older ones leave.
    if (atBottom || screen.isAlternate() != m_wasAlternate)
        scrollToBottom();
    else if (firstLine != m_lastFirstLine)
        bar->setValue(top - int(std::min<qint64>(firstLine - m_lastFirstLine, top)));
    m_wasAlternate = screen.isAlternate();
    m_lastFirstLine = firstLine;
    followCursor();

    m_cursorShown = true;
    m_blinkTimer.start();
    const int cursor = cursorLine();
    const int newTop = bar->value();
    if (changes.all || changes.scrolled || newTop != top) {
        viewport()->update();
    } else {
        const int changedFirst = changes.first < 0 ? cursor : int(changes.first - firstLine);
        const int changedLast = changes.last < 0 ? cursor : int(changes.last - firstLine);
        const int first = std::min(changedFirst, cursor);
        const int last = std::max(changedLast, cursor);
        const QRect lines(0, Margin + (first - newTop) * lineHeight(), viewport()->width(),
                          (last - first + 1) * lineHeight());
        viewport()->update(lines & viewport()->rect());
    }
    // The cursor's old place is repainted by the next output or blink.
    if (m_lastCursorLine != cursor) {
        viewport()->update(QRect(0, Margin + (m_lastCursorLine - newTop) * lineHeight(), viewport()->width(),
                                 lineHeight())
                           & viewport()->rect());
        m_lastCursorLine = cursor;
    }
}

QRect QVTerminal::cellRect(int line, int column) const
{
    const TerminalScreen &screen = m_emulator->screen();
    const bool doubleWidth = line >= 0 && line < screen.viewLineCount() && screen.viewLine(line).isDoubleWidth();
    const int scale = doubleWidth ? 2 : 1;
    return QRect(Margin + (scale * column - horizontalScrollBar()->value() + 1) * characterWidth(),
                 Margin + (line - verticalScrollBar()->value()) * lineHeight(), scale * characterWidth(),
                 lineHeight());
}

QSize QVTerminal::sizeForScreen(int rows, int columns) const
{
    // One empty column at the left edge, the margins, the frame and the vertical bar.
    const int frame = 2 * frameWidth();
    return QSize((columns + 1) * characterWidth() + 2 * Margin + frame + verticalScrollBar()->sizeHint().width(),
                 rows * lineHeight() + 2 * Margin + frame);
}

QPoint QVTerminal::cellCentre(int line, int column) const
{
    return cellRect(line, column).center();
}

void QVTerminal::paintEvent(QPaintEvent *event)
{
    const TerminalScreen &screen = m_emulator->screen();
    const bool reverse = m_emulator->reverseScreen();
    QPainter painter(viewport());
    const QRect area = event->rect();
    painter.fillRect(area, QColor(m_palette.defaultBackground(reverse)));

    const int w = characterWidth();
    const int h = lineHeight();
    const int top = verticalScrollBar()->value();
    const int left = horizontalScrollBar()->value();
    const int screenLines = (viewport()->height() + h - 1) / h;
    const int firstLine = top + std::max(0, (area.top() - Margin) / h);
    const int lastLine = std::min({ screen.viewLineCount() - 1, top + screenLines,
                                    top + std::max(0, area.bottom() - Margin) / h });
    // Column c is drawn one cell right of where it would start, leaving an empty column.
    const int firstColumn = std::max(left, left - 1 + (area.left() - Margin) / w);
    const int lastColumn = left - 1 + std::max(0, area.right() - Margin) / w;
    const qint64 lineNumberBase = screen.firstLineNumber();
    bool sawBlink = false;
    for (int line = firstLine; line <= lastLine; ++line) {
        TerminalPainter::Line shown;
        shown.cells = &screen.viewLine(line);
        shown.x = Margin + (1 - left) * w;
        shown.y = Margin + (line - top) * h;
        const int scale = shown.cells->isDoubleWidth() ? 2 : 1;
        shown.firstCell = firstColumn / scale;
        shown.lastCell = lastColumn / scale;
        m_selection.cellsOnLine(lineNumberBase + line, screen.columns(), &shown.selectionFirst, &shown.selectionEnd);
        sawBlink |= m_painter.paintLine(painter, shown, m_palette, reverse, m_blinkOn);
    }
    // The text blinks while the view shows some that does, which only a whole repaint can tell;
    // it stops in the "on" phase.
    if (sawBlink && !m_textBlinkTimer.isActive())
        m_textBlinkTimer.start();
    else if (!sawBlink && m_blinkOn && area.contains(viewport()->rect()))
        m_textBlinkTimer.stop();

    const int cursor = cursorLine();
    if (m_cursorShown && m_emulator->cursorVisible() && cursor >= firstLine && cursor <= lastLine) {
        const TerminalLine &line = screen.viewLine(cursor);
        QRect box = cellRect(cursor, cursorColumn());
        if (cursorColumn() < int(line.size()) && line[size_t(cursorColumn())].format.has(TerminalFormat::Wide))
            box.setWidth(2 * box.width());
        m_painter.paintCursor(painter, line, cursorColumn(), box, m_palette, reverse, hasFocus());
    }
}
