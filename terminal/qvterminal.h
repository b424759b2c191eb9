#pragma once

#include "terminalbuffer.h"
#include "terminalformat.h"

#include <QAbstractScrollArea>
#include <QFont>
#include <QPointer>
#include <QRawFont>
#include <QTimer>

#include <array>
#include <memory>

class QAction;
class QIODevice;

// A small VT100-style terminal: reads bytes from a device, interprets text, a few C0 controls and
// a subset of ESC and CSI sequences into an 80-column buffer that grows downwards (no fixed
// screen, no scrolling region), paints it in a fixed-pitch font and writes key presses back to the
// device. Controls it does not know are ignored and logged at debug level.
//
// Parser states: Text -> Escape (ESC) -> Csi (ESC [) or PrivateCsi (ESC [ ?) or Charset (ESC ( );
// every final byte returns to Text. The state, the parameters and the formats survive between
// reads, so a sequence may arrive in pieces.
class QVTerminal : public QAbstractScrollArea
{
    Q_OBJECT

public:
    enum class ParserState { Text, Escape, Csi, Charset, PrivateCsi };

    static constexpr int Margin = 3;
    static constexpr int BlinkIntervalMs = 500;
    static constexpr int ScrollPageStep = 10;
    static constexpr int FontPointSize = 13;
    // Longer digit runs stop growing here, so no parameter can overflow.
    static constexpr int MaxParameterValue = 9999;
    static constexpr int MaxParameters = 16;
    // Debug lines about unknown controls per chunk of output, so that binary output stays cheap.
    static constexpr int MaxUnhandledLogsPerChunk = 8;
    static constexpr int LogExcerptBytes = 64;
    // Output read and interpreted before the event loop gets a turn to paint and take input.
    static constexpr qint64 ReadSliceBytes = 256 * 1024;

    explicit QVTerminal(QWidget *parent = nullptr);
    ~QVTerminal() override;

    void setIODevice(QIODevice *device);
    void setLocalEcho(bool localEcho);

    bool localEcho() const { return m_localEcho; }
    bool insertMode() const { return m_insertMode; }
    bool applicationCursorKeys() const { return m_applicationCursorKeys; }
    bool keypadApplicationMode() const { return m_keypadApplicationMode; }
    ParserState parserState() const { return m_parserState; }
    int cursorColumn() const { return m_cursorColumn; }
    int cursorLine() const { return m_cursorLine; }
    bool pendingWrap() const { return m_pendingWrap; }
    bool cursorShown() const { return m_cursorShown; }
    const TerminalBuffer &buffer() const { return *m_buffer; }
    const TerminalFormat &currentFormat() const { return m_currentFormat; }
    int characterWidth() const { return m_characterWidth; }
    int lineHeight() const { return m_lineHeight; }
    QAction *pasteAction() const { return m_pasteAction; }

public slots:
    void writeData(const QByteArray &data);
    void paste();
    void appendData(const QByteArray &data);
    void appendString(const QString &str);

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

private:
    // Interpreter (qvterminal.cpp).
    void interpret(const uchar *data, int size);
    void textControl(uchar byte);
    void escapeByte(uchar byte);
    void sequenceByte(uchar byte);
    void finalByte(uchar byte);
    void setModes(bool set);
    void selectGraphicRendition();
    void writeText(const uchar *text, int size);
    void insertText(const uchar *text, int size);
    void lineFeed();
    void addLine();
    void cursorDown(int count);
    void eraseBuffer();
    int lastParameter() const { return m_parameters[size_t(m_parameterCount - 1)]; }
    int countParameter() const { return qMax(1, lastParameter()); }
    void markLine(int line);
    // Logs an unknown control: `what`, then the item if any, then (withData) an excerpt of the output.
    void logUnhandled(const char *what, const QByteArray &item, bool withData);

    // View (qvterminal_view.cpp).
    bool sendKey(QKeyEvent *event);
    void measureFont();
    void prepareGlyphs();
    void updateScrollRanges();
    void followCursor();
    void finishOutput();
    int visibleLines() const;
    int visibleColumns() const;
    QRect cellRect(int line, int column) const;
    void paintLine(QPainter &painter, const TerminalLine &line, int y, int firstCell, int lastCell);
    void pasteText(const QString &text);

    int m_characterWidth = 1;
    int m_lineHeight = 1;
    QPointer<QIODevice> m_device;
    ParserState m_parserState = ParserState::Text;
    std::array<int, MaxParameters> m_parameters {};
    int m_parameterCount = 1;
    bool m_insertMode = false;
    bool m_applicationCursorKeys = false;
    bool m_keypadApplicationMode = false;
    TerminalFormat m_defaultFormat;
    TerminalFormat m_currentFormat;
    int m_cursorColumn = 0;
    int m_cursorLine = 0;
    bool m_pendingWrap = false;
    QTimer m_blinkTimer;
    bool m_cursorShown = true;
    std::unique_ptr<TerminalBuffer> m_buffer;
    bool m_localEcho = false;
    bool m_crBeforeLf = false;
    QAction *m_pasteAction = nullptr;

    QFont m_font;
    // Glyphs of the 256 Latin-1 characters in the default font, placed by hand in their cells.
    QRawFont m_rawFont;
    std::array<quint32, 256> m_glyphs {};
    std::array<qreal, 256> m_glyphOffsets {};
    QVector<quint32> m_runGlyphs;
    QVector<QPointF> m_runPositions;

    bool m_readDeferred = false;
    qint64 m_readSinceYield = 0;

    // What one call of appendData() changed, so that only that is repainted.
    const QByteArray *m_chunk = nullptr;
    int m_unhandledBudget = 0;
    int m_dirtyFirst = -1;
    int m_dirtyLast = -1;
    bool m_repaintAll = false;
    bool m_rangesChanged = false;
};
