#include "qvterminal.h"

#include <QAction>
#include <QApplication>
#include <QDebug>
#include <QFontDatabase>
#include <QIODevice>
#include <QScrollBar>

#include <algorithm>

namespace {

constexpr uchar Bell = 0x07;
constexpr uchar Backspace = 0x08;
constexpr uchar Tab = 0x09;
constexpr uchar LineFeed = 0x0A;
constexpr uchar CarriageReturn = 0x0D;
constexpr uchar Escape = 0x1B;
constexpr uchar Delete = 0x7F;
constexpr int TabWidth = 8;
constexpr int InsertModeParameter = 4;
constexpr int CursorKeysParameter = 1;

// Printable ASCII and the upper half of Latin-1; C0 controls and DEL are not text.
inline bool isText(uchar byte)
{
    return byte >= 0x20 && byte != Delete;
}

} // namespace

QVTerminal::QVTerminal(QWidget *parent)
    : QAbstractScrollArea(parent)
    , m_buffer(std::make_unique<TerminalBuffer>())
{
    m_font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    m_font.setStyleHint(QFont::TypeWriter);
    m_font.setPointSize(FontPointSize);
    m_defaultFormat.foreground = '7';
    m_defaultFormat.background = '0';
    m_currentFormat = m_defaultFormat;
    measureFont();

    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setCursor(Qt::IBeamCursor);
    // Shown even while the lines fit: a bar that comes and goes with ESC [ 2 J relays the view out
    // each time.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    for (QScrollBar *bar : { verticalScrollBar(), horizontalScrollBar() }) {
        bar->setPageStep(ScrollPageStep);
        bar->setSingleStep(1);
    }

    m_blinkTimer.setInterval(BlinkIntervalMs);
    connect(&m_blinkTimer, &QTimer::timeout, this, &QVTerminal::toggleCursor);
    m_blinkTimer.start();

    m_pasteAction = new QAction(QStringLiteral("Paste"), this);
    m_pasteAction->setShortcut(QKeySequence(QStringLiteral("Shift+Ctrl+V")));
    // Several terminal pages share one window; only the focused one takes the shortcut.
    m_pasteAction->setShortcutContext(Qt::WidgetShortcut);
    connect(m_pasteAction, &QAction::triggered, this, &QVTerminal::paste);
    addAction(m_pasteAction);
    updateScrollRanges();
}

QVTerminal::~QVTerminal() = default;

void QVTerminal::setIODevice(QIODevice *device)
{
    if (m_device)
        disconnect(m_device, nullptr, this, nullptr);
    m_device = device;
    if (!device)
        return;
    connect(device, &QIODevice::readyRead, this, &QVTerminal::read);
    read();
}

void QVTerminal::setLocalEcho(bool localEcho)
{
    m_localEcho = localEcho;
}

void QVTerminal::read()
{
    if (m_readDeferred || !m_device || !m_device->isReadable())
        return;
    // One read of what is there (readAll() on a sequential device goes in 16 KiB steps), but no
    // more than a slice between two turns of the event loop: a burst of megabytes is then painted
    // as it goes and does not stall typing.
    const qint64 available = m_device->bytesAvailable();
    if (available <= 0)
        return;
    const qint64 size = std::min(available, ReadSliceBytes - m_readSinceYield);
    appendData(m_device->read(size));
    m_readSinceYield += size;
    if (m_readSinceYield < ReadSliceBytes)
        return;
    m_readDeferred = true;
    QTimer::singleShot(0, this, [this] {
        m_readDeferred = false;
        m_readSinceYield = 0;
        read();
    });
}

void QVTerminal::writeData(const QByteArray &data)
{
    if (!m_device || !m_device->isWritable())
        return;
    m_device->write(data);
    if (m_localEcho)
        appendData(data);
}

void QVTerminal::appendData(const QByteArray &data)
{
    if (data.isEmpty())
        return;
    m_chunk = &data;
    m_unhandledBudget = MaxUnhandledLogsPerChunk;
    markLine(m_cursorLine);
    interpret(reinterpret_cast<const uchar *>(data.constData()), data.size());
    m_chunk = nullptr;
    finishOutput();
}

void QVTerminal::appendString(const QString &str)
{
    if (str.isEmpty())
        return;
    markLine(m_cursorLine);
    const QByteArray latin1 = str.toLatin1();
    writeText(reinterpret_cast<const uchar *>(latin1.constData()), latin1.size());
    finishOutput();
}

void QVTerminal::interpret(const uchar *data, int size)
{
    const uchar *p = data;
    const uchar *const end = data + size;
    while (p < end) {
        if (m_parserState != ParserState::Text) {
            sequenceByte(*p++);
            continue;
        }
        const uchar *run = p;
        while (p < end && isText(*p))
            ++p;
        if (p != run)
            writeText(run, int(p - run));
        if (p < end)
            textControl(*p++);
    }
}

void QVTerminal::textControl(uchar byte)
{
    switch (byte) {
    case Bell:
        QApplication::beep();
        break;
    case Backspace:
        m_pendingWrap = false;
        if (m_cursorColumn > 0)
            --m_cursorColumn;
        break;
    case Tab: {
        static const uchar spaces[TabWidth + 1] = "        ";
        writeText(spaces, TabWidth - m_cursorColumn % TabWidth);
        break;
    }
    case LineFeed:
        lineFeed();
        break;
    case CarriageReturn:
        m_pendingWrap = false;
        m_cursorColumn = 0;
        break;
    case Escape:
        m_parserState = ParserState::Escape;
        break;
    default:
        logUnhandled("******** QVTerm - unhandled TEXT character:", QByteArray(1, char(byte)), false);
        break;
    }
}

void QVTerminal::sequenceByte(uchar byte)
{
    switch (m_parserState) {
    case ParserState::Text:
        break;
    case ParserState::Escape:
        escapeByte(byte);
        break;
    case ParserState::Charset:
        // The character set itself is not switched; the format goes back to the default.
        m_currentFormat = m_defaultFormat;
        m_parserState = ParserState::Text;
        break;
    case ParserState::Csi:
    case ParserState::PrivateCsi:
        if (byte >= '0' && byte <= '9') {
            int &last = m_parameters[size_t(m_parameterCount - 1)];
            last = std::min(last * 10 + (byte - '0'), MaxParameterValue);
        } else if (byte == ';') {
            if (m_parameterCount < MaxParameters)
                ++m_parameterCount;
            m_parameters[size_t(m_parameterCount - 1)] = 0;
        } else if (byte == '?') {
            m_parserState = ParserState::PrivateCsi;
        } else {
            finalByte(byte);
            m_parserState = ParserState::Text;
        }
        break;
    }
}

void QVTerminal::escapeByte(uchar byte)
{
    m_parameterCount = 1;
    m_parameters[0] = 0;
    switch (byte) {
    case '[':
        m_parserState = ParserState::Csi;
        return;
    case '(':
        m_parserState = ParserState::Charset;
        return;
    case '=':
        m_keypadApplicationMode = true;
        break;
    case '>':
        m_keypadApplicationMode = false;
        break;
    default:
        logUnhandled("******** QVTerm - unhandled ESCAPE mode character:", QByteArray(1, char(byte)), false);
        break;
    }
    m_parserState = ParserState::Text;
}

void QVTerminal::finalByte(uchar byte)
{
    switch (byte) {
    case 'A':
        m_pendingWrap = false;
        m_cursorLine = std::max(0, m_cursorLine - countParameter());
        break;
    case 'B':
        m_pendingWrap = false;
        cursorDown(countParameter());
        break;
    case 'C':
        // A VT100 stops at the right margin; an unbounded move would pad a line without end.
        m_pendingWrap = false;
        m_cursorColumn = std::min(m_cursorColumn + countParameter(), TerminalBuffer::LastColumn);
        break;
    case 'D':
        m_pendingWrap = false;
        m_cursorColumn = std::max(0, m_cursorColumn - countParameter());
        break;
    case 'H':
    case 'f':
        if (m_parameterCount < 2)
            m_parameters[1] = 1;
        m_pendingWrap = false;
        m_cursorLine = std::min(std::max(0, m_parameters[0] - 1), m_buffer->lastLine());
        m_cursorColumn = std::min(std::max(0, m_parameters[1] - 1), int(TerminalBuffer::LastColumn));
        break;
    case 'J':
        if (lastParameter() == 2)
            eraseBuffer();
        else
            logUnhandled("******** QVTerm - Unhandled 'J' option.", QByteArray(), true);
        break;
    case 'K':
        if (lastParameter() == 0) {
            TerminalLine &line = m_buffer->line(m_cursorLine);
            if (int(line.size()) > m_cursorColumn)
                line.resize(size_t(m_cursorColumn));
            markLine(m_cursorLine);
        } else {
            logUnhandled("******** QVTerm - Unhandled 'K' option.", QByteArray(), true);
        }
        break;
    case 'P': {
        TerminalLine &line = m_buffer->line(m_cursorLine);
        if (m_cursorColumn < int(line.size())) {
            const int count = std::min(countParameter(), int(line.size()) - m_cursorColumn);
            line.erase(line.begin() + m_cursorColumn, line.begin() + m_cursorColumn + count);
            markLine(m_cursorLine);
        }
        break;
    }
    case 'h':
    case 'l':
        setModes(byte == 'h');
        break;
    case 'm':
        selectGraphicRendition();
        break;
    default:
        logUnhandled("******** QVTerm - Unhandled 'format' option.", QByteArray(1, char(byte)), true);
        break;
    }
}

void QVTerminal::setModes(bool set)
{
    const bool isPrivate = m_parserState == ParserState::PrivateCsi;
    for (int i = 0; i < m_parameterCount; ++i) {
        const int mode = m_parameters[size_t(i)];
        if (isPrivate && mode == CursorKeysParameter)
            m_applicationCursorKeys = set;
        else if (!isPrivate && mode == InsertModeParameter)
            m_insertMode = set;
        else
            logUnhandled(isPrivate ? "******** QVTerm - Unhandled 'private' mode." : "******** QVTerm - Unhandled mode.",
                         QByteArray::number(mode), true);
    }
}

void QVTerminal::selectGraphicRendition()
{
    TerminalFormat &format = m_currentFormat;
    for (int i = 0; i < m_parameterCount; ++i) {
        const int value = m_parameters[size_t(i)];
        if (value == 0) {
            format = m_defaultFormat;
        } else if (value == 1) {
            format.attributes |= TerminalFormat::Bold;
        } else if (value == 4) {
            format.attributes |= TerminalFormat::Underline;
        } else if (value == 7) {
            std::swap(format.foreground, format.background);
        } else if (value == 39) {
            // "Default colour", not palette '9': that one is the background's and hides the text.
            format.foreground = m_defaultFormat.foreground;
        } else if (value >= 30 && value <= 38) {
            format.foreground = char('0' + value % 10);
        } else if (value >= 40 && value <= 49) {
            format.background = value == 49 ? m_defaultFormat.background : char('0' + value % 10);
        } else {
            logUnhandled("******** QVTerm - Unhandled 'm' option.", QByteArray::number(value), true);
        }
    }
}

void QVTerminal::writeText(const uchar *text, int size)
{
    if (size <= 0)
        return;
    if (m_insertMode) {
        insertText(text, size);
        return;
    }
    while (size > 0) {
        if (m_pendingWrap && m_cursorColumn == TerminalBuffer::LastColumn) {
            m_cursorColumn = 0;
            if (m_cursorLine < m_buffer->lastLine())
                ++m_cursorLine;
            else
                addLine();
        }
        m_pendingWrap = false;
        TerminalLine &line = m_buffer->line(m_cursorLine);
        const int column = m_cursorColumn;
        const int count = std::min(size, TerminalBuffer::Columns - column);
        if (int(line.size()) < column)
            line.resize(size_t(column), TerminalCell { ' ', m_currentFormat });
        if (int(line.size()) < column + count)
            line.resize(size_t(column + count));
        TerminalCell *cell = line.data() + column;
        for (int i = 0; i < count; ++i)
            cell[i] = TerminalCell { text[i], m_currentFormat };
        markLine(m_cursorLine);
        text += count;
        size -= count;
        if (column + count >= TerminalBuffer::Columns) {
            m_cursorColumn = TerminalBuffer::LastColumn;
            m_pendingWrap = true;
        } else {
            m_cursorColumn = column + count;
        }
    }
}

void QVTerminal::insertText(const uchar *text, int size)
{
    // Beyond the end of the line the gap is filled first, as writing there would. Cells pushed
    // past the right margin are lost and the cursor stops at the last column, as on a VT100.
    TerminalLine &line = m_buffer->line(m_cursorLine);
    const int column = m_cursorColumn;
    if (int(line.size()) < column)
        line.resize(size_t(column), TerminalCell { ' ', m_currentFormat });
    const int room = TerminalBuffer::Columns - column;
    TerminalCell cells[TerminalBuffer::Columns];
    int count = 0;
    if (size < room) {
        for (; count < size; ++count)
            cells[count] = TerminalCell { text[count], m_currentFormat };
    } else {
        // Everything that was right of the cursor is pushed out; the last character ends up in
        // the last column.
        for (; count < room - 1; ++count)
            cells[count] = TerminalCell { text[count], m_currentFormat };
        cells[count++] = TerminalCell { text[size - 1], m_currentFormat };
    }
    line.insert(line.begin() + column, cells, cells + count);
    if (int(line.size()) > TerminalBuffer::Columns)
        line.resize(TerminalBuffer::Columns);
    m_cursorColumn = std::min(column + size, int(TerminalBuffer::LastColumn));
    m_pendingWrap = false;
    markLine(m_cursorLine);
}

void QVTerminal::lineFeed()
{
    m_pendingWrap = false;
    m_cursorColumn = 0;
    if (m_cursorLine < m_buffer->lastLine())
        ++m_cursorLine;
    else
        addLine();
}

void QVTerminal::addLine()
{
    if (m_buffer->addLine()) {
        // Every line moved up by one: all of the view changes.
        m_repaintAll = true;
    } else {
        ++m_cursorLine;
        m_rangesChanged = true;
    }
    markLine(m_cursorLine);
}

void QVTerminal::cursorDown(int count)
{
    // Past MaxLines new lines the whole buffer is new anyway.
    int target = m_cursorLine + std::min(count, int(TerminalBuffer::MaxLines));
    while (target > m_buffer->lastLine()) {
        if (m_buffer->addLine()) {
            --target;
            m_repaintAll = true;
        } else {
            m_rangesChanged = true;
        }
    }
    m_cursorLine = target;
    markLine(m_cursorLine);
}

void QVTerminal::eraseBuffer()
{
    m_buffer->reset();
    m_cursorLine = 0;
    m_cursorColumn = 0;
    m_pendingWrap = false;
    m_repaintAll = true;
    m_rangesChanged = true;
}

void QVTerminal::markLine(int line)
{
    if (m_dirtyFirst < 0 || line < m_dirtyFirst)
        m_dirtyFirst = line;
    if (line > m_dirtyLast)
        m_dirtyLast = line;
}

void QVTerminal::logUnhandled(const char *what, const QByteArray &item, bool withData)
{
    if (m_unhandledBudget < 0)
        return;
    if (m_unhandledBudget == 0) {
        qDebug() << "******** QVTerm - more unhandled controls in this output are not logged.";
        m_unhandledBudget = -1;
        return;
    }
    --m_unhandledBudget;
    QDebug line = qDebug() << what;
    if (!item.isEmpty())
        line << item;
    if (withData) {
        // An excerpt: the whole chunk could be megabytes, logged once per unknown control.
        const QByteArray data = m_chunk ? m_chunk->left(LogExcerptBytes) : QByteArray();
        if (!item.isEmpty())
            line << "in";
        line << data;
    }
}
