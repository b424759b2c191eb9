// QVTerminal's mouse: reports for programs that ask for them, otherwise the selection.
#include "qvterminal.h"

#include "terminalemulator.h"
#include "terminalkeys.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QIODevice>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

constexpr int WheelStep = 120;

int buttonCode(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton: return 0;
    case Qt::MiddleButton: return 1;
    case Qt::RightButton: return 2;
    default: return -1;
    }
}

} // namespace

QVTerminal::CellPosition QVTerminal::cellAt(const QPoint &point) const
{
    const TerminalScreen &screen = m_emulator->screen();
    CellPosition position;
    const int line = verticalScrollBar()->value() + int(std::floor(double(point.y() - Margin) / lineHeight()));
    position.line = std::clamp(line, 0, screen.viewLineCount() - 1);
    const int scale = screen.viewLine(position.line).isDoubleWidth() ? 2 : 1;
    const int columns = std::max(1, screen.columns() / scale);
    // Column c is drawn one cell right of where it would start.
    const double x = (double(point.x() - Margin) / characterWidth() - 1 + horizontalScrollBar()->value()) / scale;
    position.column = std::clamp(int(std::floor(x)), 0, columns - 1);
    position.boundary = std::clamp(int(std::lround(x)), 0, columns);
    return position;
}

bool QVTerminal::programTakesMouse(Qt::KeyboardModifiers modifiers) const
{
    return m_emulator->mouseTracking() != TerminalEmulator::MouseTracking::Off && !(modifiers & Qt::ShiftModifier)
        && m_device && m_device->isWritable();
}

void QVTerminal::reportMouse(TerminalMouse::Action action, int button, const QPoint &point, Qt::KeyboardModifiers modifiers)
{
    if (!m_device || !m_device->isWritable())
        return;
    const TerminalScreen &screen = m_emulator->screen();
    const CellPosition position = cellAt(point);
    TerminalMouse::Event report;
    report.action = action;
    report.button = button;
    report.modifiers = modifiers;
    // Places on the screen only: a view scrolled back reports its edge.
    report.row = std::clamp(position.line - screen.scrollbackLines(), 0, screen.rows() - 1) + 1;
    report.column = position.column + 1;
    // Motion is reported once per cell.
    const QPoint cell(report.column, report.row);
    if (report.action == TerminalMouse::Action::Motion && cell == m_lastReportedCell)
        return;
    m_lastReportedCell = cell;
    const QByteArray bytes = TerminalMouse::encode(report, m_emulator->mouseTracking(), m_emulator->mouseEncoding());
    if (!bytes.isEmpty())
        m_device->write(bytes);
}

void QVTerminal::mousePressEvent(QMouseEvent *event)
{
    if (programTakesMouse(event->modifiers())) {
        const int button = buttonCode(event->button());
        if (button < 0)
            return;
        reportMouse(TerminalMouse::Action::Press, button, event->pos(), event->modifiers());
        m_reportedButton = button;
        event->accept();
        return;
    }
    if (event->button() == Qt::LeftButton) {
        const bool triple = m_sinceDoubleClick.isValid()
            && m_sinceDoubleClick.elapsed() < QApplication::doubleClickInterval()
            && (event->pos() - m_doubleClickAt).manhattanLength() < QApplication::startDragDistance();
        m_sinceDoubleClick.invalidate();
        selectFrom(event->pos(), triple ? TerminalSelection::Unit::Line : TerminalSelection::Unit::Character);
        event->accept();
        return;
    }
    QClipboard *clipboard = QApplication::clipboard();
    if (event->button() == Qt::MiddleButton && clipboard->supportsSelection()) {
        pasteText(clipboard->text(QClipboard::Selection));
        event->accept();
        return;
    }
    QAbstractScrollArea::mousePressEvent(event);
}

void QVTerminal::mouseDoubleClickEvent(QMouseEvent *event)
{
    // Programs see each press of a double click.
    if (programTakesMouse(event->modifiers())) {
        mousePressEvent(event);
        return;
    }
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseDoubleClickEvent(event);
        return;
    }
    selectFrom(event->pos(), TerminalSelection::Unit::Word);
    m_sinceDoubleClick.start();
    m_doubleClickAt = event->pos();
    event->accept();
}

void QVTerminal::mouseMoveEvent(QMouseEvent *event)
{
    if (m_reportedButton >= 0 || (!m_selecting && programTakesMouse(event->modifiers()))) {
        reportMouse(TerminalMouse::Action::Motion, m_reportedButton >= 0 ? m_reportedButton : TerminalMouse::NoButton,
                    event->pos(), event->modifiers());
        event->accept();
        return;
    }
    if (!m_selecting) {
        QAbstractScrollArea::mouseMoveEvent(event);
        return;
    }
    // Dragging past the top or the bottom scrolls the view.
    QScrollBar *bar = verticalScrollBar();
    if (event->pos().y() < 0)
        bar->setValue(bar->value() - 1);
    else if (event->pos().y() >= viewport()->height())
        bar->setValue(bar->value() + 1);
    const CellPosition position = cellAt(event->pos());
    const bool characters = m_selection.unit() == TerminalSelection::Unit::Character;
    m_selection.extend(m_emulator->screen(), TerminalSelection::Place {
        m_emulator->screen().firstLineNumber() + position.line, characters ? position.boundary : position.column });
    repaintSelection();
    event->accept();
}

void QVTerminal::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_reportedButton >= 0) {
        if (buttonCode(event->button()) == m_reportedButton) {
            reportMouse(TerminalMouse::Action::Release, m_reportedButton, event->pos(), event->modifiers());
            m_reportedButton = -1;
        }
        event->accept();
        return;
    }
    if (m_selecting && event->button() == Qt::LeftButton) {
        m_selecting = false;
        finishSelection();
        event->accept();
        return;
    }
    QAbstractScrollArea::mouseReleaseEvent(event);
}

void QVTerminal::wheelEvent(QWheelEvent *event)
{
    const TerminalScreen &screen = m_emulator->screen();
    const bool toProgram = programTakesMouse(event->modifiers());
    const bool cursorKeys = !toProgram && screen.isAlternate() && m_emulator->alternateScroll()
        && !(event->modifiers() & Qt::ShiftModifier) && m_device && m_device->isWritable();
    if (!toProgram && !cursorKeys) {
        QAbstractScrollArea::wheelEvent(event);
        return;
    }
    // Steps of a high-resolution wheel add up.
    m_wheelRemainder += event->angleDelta().y();
    const int steps = m_wheelRemainder / WheelStep;
    m_wheelRemainder %= WheelStep;
    event->accept();
    if (steps == 0)
        return;
    if (toProgram) {
        for (int i = 0; i < std::abs(steps); ++i)
            reportMouse(TerminalMouse::Action::Press, steps > 0 ? TerminalMouse::WheelUp : TerminalMouse::WheelDown,
                        event->position().toPoint(), event->modifiers());
        return;
    }
    // As xterm does in the alternate screen: the program scrolls its text with the cursor keys.
    TerminalKeys::Modes modes;
    modes.applicationCursorKeys = m_emulator->applicationCursorKeys();
    const QByteArray key = TerminalKeys::encode(steps > 0 ? Qt::Key_Up : Qt::Key_Down, Qt::NoModifier, QString(), modes);
    m_device->write(key.repeated(WheelLines * std::abs(steps)));
}

void QVTerminal::selectFrom(const QPoint &point, TerminalSelection::Unit unit)
{
    const TerminalScreen &screen = m_emulator->screen();
    const CellPosition position = cellAt(point);
    const int column = unit == TerminalSelection::Unit::Character ? position.boundary : position.column;
    m_selection.begin(screen, TerminalSelection::Place { screen.firstLineNumber() + position.line, column }, unit);
    m_selecting = true;
    repaintSelection();
}

void QVTerminal::setSelectionEmpty()
{
    m_selection.clear();
    m_selecting = false;
    repaintSelection();
}

void QVTerminal::repaintSelection()
{
    m_copyAction->setEnabled(!m_selection.isEmpty());
    viewport()->update();
}

void QVTerminal::finishSelection()
{
    const QString text = selectedText();
    QClipboard *clipboard = QApplication::clipboard();
    if (!text.isEmpty() && clipboard->supportsSelection())
        clipboard->setText(text, QClipboard::Selection);
}

QString QVTerminal::selectedText() const
{
    return m_selection.text(m_emulator->screen());
}
