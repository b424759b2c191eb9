#pragma once

#include "terminalbuffer.h"
#include "terminalformat.h"
#include "terminalmouse.h"
#include "terminalpainter.h"
#include "terminalpalette.h"
#include "terminalparser.h"
#include "terminalselection.h"

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

#include <memory>

class QAction;
class QIODevice;
class TerminalEmulator;
class TerminalScreen;

// The terminal widget: reads a program's output from a device, interprets it with a
// TerminalEmulator (an xterm-like screen of `rows` x `columns` with its own scroll-back), paints
// the scroll-back and the screen below it in a fixed-pitch font, and writes key presses, mouse
// reports and the emulator's reports back to the device. The screen is 24 x 80 until
// setScreenSize(); the widget asks for the size that fits its viewport with screenSizeWanted(),
// and whoever talks to the program decides.
//
// The mouse selects (drag, double click for a word, triple click for a line; with Shift also
// while the program takes the mouse), which goes to the X selection; Ctrl+Shift+C copies it and
// Ctrl+Shift+V or the middle button pastes. A program that asked for mouse reports gets them
// instead. Pasted text loses ESC and the other controls but tab and line ends; text with line
// ends or controls is pasted into a program that did not ask for bracketed paste only once the
// user agrees.
class QVTerminal : public QAbstractScrollArea
{
    Q_OBJECT

public:
    // Where the parser is: Text between sequences, Escape after ESC, Charset after ESC ( and the
    // like, Csi and PrivateCsi (ESC [ ?) inside a control sequence, String inside OSC, DCS, APC.
    enum class ParserState { Text, Escape, Csi, Charset, PrivateCsi, String };

    static constexpr int Margin = 3;
    static constexpr int BlinkIntervalMs = 500;
    static constexpr int ScrollPageStep = 10;
    static constexpr int FontPointSize = 13;
    // Lines the wheel moves per step, and cursor keys it sends per step in the alternate screen.
    static constexpr int WheelLines = 3;
    // Longer digit runs stop growing here, so no parameter can overflow.
    static constexpr int MaxParameterValue = TerminalParser::MaxParameterValue;
    static constexpr int MaxParameters = TerminalParser::MaxParameters;
    // Debug lines about unknown controls per chunk of output, so that binary output stays cheap.
    static constexpr int MaxUnhandledLogsPerChunk = 8;
    static constexpr int LogExcerptBytes = 64;
    // Output read and interpreted before the event loop gets a turn to paint and take input.
    static constexpr qint64 ReadSliceBytes = 256 * 1024;
    // A flood of BEL bytes rings at most this often.
    static constexpr int BellIntervalMs = 250;

    explicit QVTerminal(QWidget *parent = nullptr);
    ~QVTerminal() override;

    void setIODevice(QIODevice *device);
    void setLocalEcho(bool localEcho);
    // Output, keys and pasted text in UTF-8 (true) or Latin-1.
    void setUtf8(bool utf8);
    bool isUtf8() const;
    void setColorScheme(const TerminalPalette::Scheme &scheme);
    const TerminalPalette &palette() const { return m_palette; }
    // The screen's size as the program knows it; clamped to what TerminalScreen allows.
    void setScreenSize(int rows, int columns);

    bool localEcho() const { return m_localEcho; }
    bool insertMode() const;
    bool applicationCursorKeys() const;
    bool keypadApplicationMode() const;
    ParserState parserState() const;
    int cursorColumn() const;
    // The cursor's line in buffer() (scroll-back lines, then the screen's rows).
    int cursorLine() const;
    bool pendingWrap() const;
    bool cursorShown() const { return m_cursorShown; }
    const TerminalBuffer &buffer() const;
    const TerminalFormat &currentFormat() const;
    const TerminalScreen &screen() const;
    const TerminalEmulator &emulator() const { return *m_emulator; }
    int characterWidth() const { return m_painter.characterWidth(); }
    int lineHeight() const { return m_painter.lineHeight(); }
    QAction *pasteAction() const { return m_pasteAction; }
    QAction *copyAction() const { return m_copyAction; }
    const TerminalSelection &selection() const { return m_selection; }
    QString selectedText() const;
    // The rows and columns that fill the viewport (132 columns while the program asks for them).
    QSize fittingScreenSize() const;
    int bellsRung() const { return m_bellsRung; }
    // The viewport point in the middle of a cell of a view line.
    QPoint cellCentre(int line, int column) const;
    // The widget's size that shows a screen of `rows` x `columns` whole.
    QSize sizeForScreen(int rows, int columns) const;

public slots:
    void writeData(const QByteArray &data);
    void paste();
    void copy();
    void appendData(const QByteArray &data);
    void appendString(const QString &str);

signals:
    void titleChanged(const QString &title);
    void screenSizeWanted(int rows, int columns);
    // The program set its width (DECCOLM): 80 or 132 columns.
    void programWidthChosen(int columns);

protected slots:
    void read();
    void toggleCursor();

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void ringBell();
    void reply(const QByteArray &bytes);
    // Logs an unknown control: `what`, then the item if any, then (withData) an excerpt of the output.
    void logUnhandled(const char *what, const QByteArray &item, bool withData);
    QByteArray encode(const QString &text) const;

    // View (qvterminal_view.cpp).
    QByteArray keyBytes(const QKeyEvent *event) const;
    void measureFont();
    void updateScrollRanges();
    void followCursor();
    void scrollToBottom();
    void finishOutput();
    void checkFittingSize();
    int visibleLines() const;
    int visibleColumns() const;
    QRect cellRect(int line, int column) const;
    void pasteText(const QString &text);
    void sendPaste(const QString &text);

    // Mouse (qvterminal_mouse.cpp).
    struct CellPosition
    {
        int line = 0;
        int column = 0;
        int boundary = 0; // the column boundary nearest the point
    };
    CellPosition cellAt(const QPoint &point) const;
    // An event for the program, at a viewport point.
    void reportMouse(TerminalMouse::Action action, int button, const QPoint &point, Qt::KeyboardModifiers modifiers);
    bool programTakesMouse(Qt::KeyboardModifiers modifiers) const;
    void selectFrom(const QPoint &point, TerminalSelection::Unit unit);
    void setSelectionEmpty();
    void repaintSelection();
    void finishSelection();

    std::unique_ptr<TerminalEmulator> m_emulator;
    TerminalPainter m_painter;
    TerminalPalette m_palette;
    QPointer<QIODevice> m_device;
    QTimer m_blinkTimer;
    // Blinking text keeps its own phase, which output does not restart.
    QTimer m_textBlinkTimer;
    bool m_cursorShown = true;
    bool m_blinkOn = true;
    bool m_localEcho = false;
    QAction *m_pasteAction = nullptr;
    QAction *m_copyAction = nullptr;

    bool m_readDeferred = false;
    qint64 m_readSinceYield = 0;

    const QByteArray *m_chunk = nullptr;
    int m_unhandledBudget = 0;
    QElapsedTimer m_sinceBell;
    int m_bellsRung = 0;
    QSize m_sizeWanted;
    // 80 or 132 while the program chose its width (DECCOLM), until the view grows to hold more.
    int m_programColumns = 0;
    int m_lastViewportWidth = -1;
    int m_lastCursorLine = 0;
    qint64 m_lastFirstLine = 0;
    bool m_wasAlternate = false;

    TerminalSelection m_selection;
    bool m_selecting = false;
    // The button whose press went to the program, for its motion and release; -1 for none.
    int m_reportedButton = -1;
    QPoint m_lastReportedCell { -1, -1 };
    int m_wheelRemainder = 0;
    QElapsedTimer m_sinceDoubleClick;
    QPoint m_doubleClickAt;
};
