#pragma once

#include "terminalbuffer.h"
#include "terminalformat.h"
#include "terminalparser.h"

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QFont>
#include <QPointer>
#include <QRawFont>
#include <QTimer>

#include <array>
#include <memory>

class QAction;
class QIODevice;
class TerminalEmulator;
class TerminalScreen;

// The terminal widget: reads a program's output from a device, interprets it with a
// TerminalEmulator (an xterm-like screen of `rows` x `columns` with its own scroll-back), paints
// the scroll-back and the screen below it in a fixed-pitch font, and writes key presses and the
// emulator's reports back to the device. The screen is 24 x 80 until setScreenSize(); the widget
// asks for the size that fits its viewport with screenSizeWanted(), and whoever talks to the
// program decides.
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
    int characterWidth() const { return m_characterWidth; }
    int lineHeight() const { return m_lineHeight; }
    QAction *pasteAction() const { return m_pasteAction; }
    // The rows and columns that fill the viewport.
    QSize fittingScreenSize() const;
    int bellsRung() const { return m_bellsRung; }

public slots:
    void writeData(const QByteArray &data);
    void paste();
    void appendData(const QByteArray &data);
    void appendString(const QString &str);

signals:
    void titleChanged(const QString &title);
    void screenSizeWanted(int rows, int columns);

protected slots:
    void read();
    void toggleCursor();

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void ringBell();
    void reply(const QByteArray &bytes);
    // Logs an unknown control: `what`, then the item if any, then (withData) an excerpt of the output.
    void logUnhandled(const char *what, const QByteArray &item, bool withData);

    // View (qvterminal_view.cpp).
    QByteArray keyBytes(const QKeyEvent *event) const;
    void measureFont();
    void prepareGlyphs();
    void updateScrollRanges();
    void followCursor();
    void finishOutput();
    void checkFittingSize();
    int visibleLines() const;
    int visibleColumns() const;
    QRect cellRect(int line, int column) const;
    void paintLine(QPainter &painter, const TerminalLine &line, int y, int firstCell, int lastCell);
    void paintLineDrawing(QPainter &painter, uchar character, const QRect &cell);
    void pasteText(const QString &text);

    int m_characterWidth = 1;
    int m_lineHeight = 1;
    QPointer<QIODevice> m_device;
    std::unique_ptr<TerminalEmulator> m_emulator;
    QTimer m_blinkTimer;
    bool m_cursorShown = true;
    bool m_localEcho = false;
    QAction *m_pasteAction = nullptr;

    QFont m_font;
    // Glyphs of the 256 Latin-1 characters in the regular and the bold font, placed by hand.
    std::array<QRawFont, 2> m_rawFonts;
    std::array<std::array<quint32, 256>, 2> m_glyphs {};
    std::array<std::array<qreal, 256>, 2> m_glyphOffsets {};
    QVector<quint32> m_runGlyphs;
    QVector<QPointF> m_runPositions;

    bool m_readDeferred = false;
    qint64 m_readSinceYield = 0;

    const QByteArray *m_chunk = nullptr;
    int m_unhandledBudget = 0;
    QElapsedTimer m_sinceBell;
    int m_bellsRung = 0;
    QSize m_sizeWanted;
    int m_lastCursorLine = 0;
};
