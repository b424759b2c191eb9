#include "qvterminal.h"

#include "terminalemulator.h"

#include "utils/fixedfont.h"

#include <QAction>
#include <QApplication>
#include <QDebug>
#include <QIODevice>
#include <QScrollBar>

#include <algorithm>

namespace {

QFont terminalFont()
{
    QFont font = fixedPitchFont();
    font.setPointSize(QVTerminal::FontPointSize);
    return font;
}

} // namespace

QVTerminal::QVTerminal(QWidget *parent)
    : QAbstractScrollArea(parent)
    , m_emulator(std::make_unique<TerminalEmulator>())
    , m_painter(terminalFont())
{
    TerminalEmulator::Callbacks callbacks;
    callbacks.reply = [this](const QByteArray &bytes) { reply(bytes); };
    callbacks.title = [this](const QString &title) { emit titleChanged(title); };
    callbacks.bell = [this] { ringBell(); };
    callbacks.resized = [this] {
        const TerminalScreen &screen = m_emulator->screen();
        m_sizeWanted = QSize(screen.columns(), screen.rows());
        m_programColumns = screen.columns();
        emit screenSizeWanted(screen.rows(), screen.columns());
        emit programWidthChosen(screen.columns());
    };
    callbacks.colour = [this](int which) { return m_palette.queried(which); };
    callbacks.unhandled = [this](const char *what, const QByteArray &item, bool withData) {
        logUnhandled(what, item, withData);
    };
    m_emulator->setCallbacks(std::move(callbacks));

    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setCursor(Qt::IBeamCursor);
    // Motion is reported to programs that ask for all of it (mode 1003).
    viewport()->setMouseTracking(true);
    // Shown even while the lines fit: a bar that comes and goes relays the view out each time.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    for (QScrollBar *bar : { verticalScrollBar(), horizontalScrollBar() }) {
        bar->setPageStep(ScrollPageStep);
        bar->setSingleStep(1);
    }

    m_blinkTimer.setInterval(BlinkIntervalMs);
    connect(&m_blinkTimer, &QTimer::timeout, this, &QVTerminal::toggleCursor);
    m_blinkTimer.start();
    m_textBlinkTimer.setInterval(BlinkIntervalMs);
    connect(&m_textBlinkTimer, &QTimer::timeout, this, [this] {
        m_blinkOn = !m_blinkOn;
        viewport()->update();
    });

    m_pasteAction = new QAction(QStringLiteral("Paste"), this);
    m_pasteAction->setShortcut(QKeySequence(QStringLiteral("Shift+Ctrl+V")));
    // Several terminal pages share one window; only the focused one takes the shortcut.
    m_pasteAction->setShortcutContext(Qt::WidgetShortcut);
    connect(m_pasteAction, &QAction::triggered, this, &QVTerminal::paste);
    addAction(m_pasteAction);
    m_copyAction = new QAction(QStringLiteral("Copy"), this);
    m_copyAction->setShortcut(QKeySequence(QStringLiteral("Shift+Ctrl+C")));
    m_copyAction->setShortcutContext(Qt::WidgetShortcut);
    m_copyAction->setEnabled(false);
    connect(m_copyAction, &QAction::triggered, this, &QVTerminal::copy);
    addAction(m_copyAction);
    updateScrollRanges();
    scrollToBottom();
}

QVTerminal::~QVTerminal() = default;

bool QVTerminal::insertMode() const { return m_emulator->screen().insertMode; }
bool QVTerminal::applicationCursorKeys() const { return m_emulator->applicationCursorKeys(); }
bool QVTerminal::keypadApplicationMode() const { return m_emulator->keypadApplicationMode(); }
int QVTerminal::cursorColumn() const { return m_emulator->screen().cursorColumn(); }
bool QVTerminal::pendingWrap() const { return m_emulator->screen().pendingWrap(); }
const TerminalBuffer &QVTerminal::buffer() const { return m_emulator->screen().buffer(); }
const TerminalFormat &QVTerminal::currentFormat() const { return m_emulator->screen().format; }
const TerminalScreen &QVTerminal::screen() const { return m_emulator->screen(); }

int QVTerminal::cursorLine() const
{
    const TerminalScreen &screen = m_emulator->screen();
    return screen.viewLineOfRow(screen.cursorRow());
}

QVTerminal::ParserState QVTerminal::parserState() const
{
    const TerminalParser &parser = m_emulator->parser();
    switch (parser.state()) {
    case TerminalParser::State::Ground:
        return ParserState::Text;
    case TerminalParser::State::Escape:
        return ParserState::Escape;
    case TerminalParser::State::EscapeIntermediate:
        return ParserState::Charset;
    case TerminalParser::State::CsiEntry:
    case TerminalParser::State::CsiParam:
    case TerminalParser::State::CsiIntermediate:
    case TerminalParser::State::CsiIgnore:
        return parser.sequence().privateMarker == '?' ? ParserState::PrivateCsi : ParserState::Csi;
    case TerminalParser::State::OscString:
    case TerminalParser::State::IgnoredString:
        return ParserState::String;
    }
    return ParserState::Text;
}

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

void QVTerminal::setUtf8(bool utf8)
{
    m_emulator->setUtf8(utf8);
}

bool QVTerminal::isUtf8() const
{
    return m_emulator->isUtf8();
}

QByteArray QVTerminal::encode(const QString &text) const
{
    return isUtf8() ? text.toUtf8() : text.toLatin1();
}

void QVTerminal::setColorScheme(const TerminalPalette::Scheme &scheme)
{
    m_palette.setScheme(scheme);
    viewport()->update();
}

void QVTerminal::setScreenSize(int rows, int columns)
{
    TerminalScreen &screen = m_emulator->screen();
    screen.resize(rows, columns);
    finishOutput();
}

void QVTerminal::read()
{
    if (m_readDeferred || !m_device || !m_device->isReadable())
        return;
    // One read of what is there, but no more than a slice between two turns of the event loop: a
    // burst of megabytes is then painted as it goes and does not stall typing.
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

void QVTerminal::reply(const QByteArray &bytes)
{
    // Reports are the program's answers, never echoed.
    if (m_device && m_device->isWritable())
        m_device->write(bytes);
}

void QVTerminal::ringBell()
{
    // QApplication::beep() costs microseconds under X11: a flood of BEL bytes would stall for
    // seconds. One ring stands for all within the interval.
    if (m_sinceBell.isValid() && m_sinceBell.elapsed() < BellIntervalMs)
        return;
    m_sinceBell.start();
    ++m_bellsRung;
    QApplication::beep();
}

void QVTerminal::appendData(const QByteArray &data)
{
    if (data.isEmpty())
        return;
    m_chunk = &data;
    m_unhandledBudget = MaxUnhandledLogsPerChunk;
    m_emulator->feed(reinterpret_cast<const uchar *>(data.constData()), data.size());
    m_chunk = nullptr;
    finishOutput();
}

void QVTerminal::appendString(const QString &str)
{
    if (str.isEmpty())
        return;
    const std::u32string characters = str.toStdU32String();
    m_emulator->screen().write(characters.data(), int(characters.size()));
    finishOutput();
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
