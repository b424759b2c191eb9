#include "terminalemulator.h"

#include <QColor>

#include <algorithm>

namespace {

constexpr uchar Bell = 0x07;
constexpr uchar Backspace = 0x08;
constexpr uchar Tab = 0x09;
constexpr uchar LineFeed = 0x0A;
constexpr uchar VerticalTab = 0x0B;
constexpr uchar FormFeed = 0x0C;
constexpr uchar CarriageReturn = 0x0D;
constexpr uchar ShiftOut = 0x0E;
constexpr uchar ShiftIn = 0x0F;
constexpr uchar Enquiry = 0x05;

constexpr char AsciiSet = 'B';
constexpr char SpecialGraphicsSet = '0';
constexpr char UnitedKingdomSet = 'A';
constexpr uchar PoundSign = 0xA3;

// Terminal reports: ESC [ ... with the given parameters and final.
QByteArray report(const char *prefix, std::initializer_list<int> values, char final)
{
    QByteArray bytes("\x1b[");
    bytes += prefix;
    bool first = true;
    for (const int value : values) {
        if (!first)
            bytes += ';';
        bytes += QByteArray::number(value);
        first = false;
    }
    bytes += final;
    return bytes;
}

// The palette codes the cells can hold and the nearest of them to any colour. Foregrounds never
// take the background's own colour, so a colour a program picked is never invisible.
constexpr char PaletteCodes[] = "01234567ABCDEFGH";

char nearestCode(int red, int green, int blue, bool foreground)
{
    const QColor background = TerminalFormat::paletteColor(TerminalFormat::DefaultBackground);
    char best = foreground ? TerminalFormat::DefaultForeground : TerminalFormat::DefaultBackground;
    int bestDistance = INT_MAX;
    for (const char *code = PaletteCodes; *code; ++code) {
        const QColor colour = TerminalFormat::paletteColor(*code);
        if (foreground && colour == background)
            continue;
        const int dr = colour.red() - red;
        const int dg = colour.green() - green;
        const int db = colour.blue() - blue;
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = *code;
        }
    }
    return best;
}

char indexedCode(int index, bool foreground)
{
    index = std::clamp(index, 0, 255);
    if (index < 8)
        return foreground && index == 0 ? nearestCode(0, 0, 0, true) : char('0' + index);
    if (index < 16)
        return char('A' + index - 8);
    if (index >= 232) {
        const int grey = 8 + 10 * (index - 232);
        return nearestCode(grey, grey, grey, foreground);
    }
    static constexpr int Levels[6] = { 0, 95, 135, 175, 215, 255 };
    const int cube = index - 16;
    return nearestCode(Levels[cube / 36], Levels[cube / 6 % 6], Levels[cube % 6], foreground);
}

} // namespace

TerminalEmulator::TerminalEmulator()
    : m_parser(this)
{
}

char TerminalEmulator::charsetInUse() const
{
    return m_charsets[size_t(m_singleShift >= 0 ? m_singleShift : m_shift)];
}

void TerminalEmulator::print(const uchar *text, int size)
{
    if (size > 0)
        m_lastPrinted = text[size - 1];
    if (m_singleShift >= 0) {
        const char set = charsetInUse();
        m_singleShift = -1;
        // The single shift covers one character; the rest goes through the normal path.
        if (set != charsetInUse()) {
            const uchar first = (set == UnitedKingdomSet && text[0] == '#') ? PoundSign : text[0];
            const bool graphic = set == SpecialGraphicsSet && first >= 0x5F && first <= 0x7E;
            m_screen.write(&first, 1, graphic ? TerminalFormat::LineDrawing : 0);
            print(text + 1, size - 1);
            return;
        }
    }
    if (size <= 0)
        return;
    const char set = charsetInUse();
    if (set == SpecialGraphicsSet) {
        // Runs of line-drawing bytes and of other bytes.
        const uchar *end = text + size;
        while (text < end) {
            const bool graphic = *text >= 0x5F && *text <= 0x7E;
            const uchar *run = text;
            while (text < end && (*text >= 0x5F && *text <= 0x7E) == graphic)
                ++text;
            m_screen.write(run, int(text - run), graphic ? TerminalFormat::LineDrawing : 0);
        }
        return;
    }
    if (set == UnitedKingdomSet && std::find(text, text + size, uchar('#')) != text + size) {
        QByteArray copy(reinterpret_cast<const char *>(text), size);
        copy.replace('#', char(PoundSign));
        m_screen.write(reinterpret_cast<const uchar *>(copy.constData()), size);
        return;
    }
    m_screen.write(text, size);
}

void TerminalEmulator::execute(uchar control)
{
    switch (control) {
    case Bell:
        if (m_callbacks.bell)
            m_callbacks.bell();
        break;
    case Backspace:
        m_screen.backspace();
        break;
    case Tab:
        m_screen.tab();
        break;
    case LineFeed:
    case VerticalTab:
    case FormFeed:
        m_screen.lineFeed();
        if (m_newLineMode)
            m_screen.carriageReturn();
        break;
    case CarriageReturn:
        m_screen.carriageReturn();
        break;
    case ShiftOut:
        m_shift = 1;
        break;
    case ShiftIn:
        m_shift = 0;
        break;
    case Enquiry:
        break;
    default:
        unhandled("******** QVTerm - unhandled TEXT character:", QByteArray(1, char(control)), false);
        break;
    }
}

void TerminalEmulator::escapeDispatch(const TerminalParser::Sequence &sequence)
{
    const char intermediate = sequence.intermediate();
    const char final = sequence.final;
    switch (intermediate) {
    case 0:
        break;
    case '(':
    case ')':
    case '*':
    case '+':
        m_charsets[size_t(intermediate - '(')]
            = (final == SpecialGraphicsSet || final == UnitedKingdomSet) ? final : AsciiSet;
        return;
    case '-':
    case '.':
    case '/':
        m_charsets[size_t(intermediate - ',')] = AsciiSet;
        return;
    case '#':
        if (final == '8') {
            m_screen.setRegion(0, m_screen.rows() - 1);
            m_screen.originMode = false;
            m_screen.fillWith('E');
            m_screen.setCursor(0, 0);
        }
        // Double-height and double-width lines are shown single size.
        return;
    case ' ':
    case '%':
        return;
    default:
        unhandled("******** QVTerm - unhandled ESCAPE mode character:", QByteArray(1, final), false);
        return;
    }
    switch (final) {
    case '7': saveCursor(); break;
    case '8': restoreCursor(); break;
    case 'D': m_screen.lineFeed(); break;
    case 'E':
        m_screen.carriageReturn();
        m_screen.lineFeed();
        break;
    case 'M': m_screen.reverseIndex(); break;
    case 'H': m_screen.setTabStop(); break;
    case 'c': fullReset(); break;
    case '=': m_keypadApplicationMode = true; break;
    case '>': m_keypadApplicationMode = false; break;
    case 'Z':
        if (m_callbacks.reply)
            m_callbacks.reply(PrimaryAttributes);
        break;
    case 'N': m_singleShift = 2; break;
    case 'O': m_singleShift = 3; break;
    case 'n': m_shift = 2; break;
    case 'o': m_shift = 3; break;
    case '\\': break; // string terminator
    default:
        unhandled("******** QVTerm - unhandled ESCAPE mode character:", QByteArray(1, final), false);
        break;
    }
}

void TerminalEmulator::csiDispatch(const TerminalParser::Sequence &s)
{
    TerminalScreen &screen = m_screen;
    const int n = s.at(0, 1);
    if (s.privateMarker == '?') {
        switch (s.final) {
        case 'h':
        case 'l':
            for (int i = 0; i < std::max(1, s.parameterCount); ++i)
                setPrivateMode(s.parameters[size_t(i)], s.final == 'h');
            return;
        case 'n':
            deviceStatus(s);
            return;
        case 'J': screen.eraseInDisplay(s.parameters[0]); return;
        case 'K': screen.eraseInLine(s.parameters[0]); return;
        default: break;
        }
    } else if (s.privateMarker == '>') {
        if (s.final == 'c' && s.parameters[0] == 0 && m_callbacks.reply)
            m_callbacks.reply(SecondaryAttributes);
        return;
    } else if (s.privateMarker != 0) {
        return;
    } else if (s.intermediateCount > 0) {
        if (s.intermediate() == '!' && s.final == 'p') {
            // Soft reset.
            m_cursorVisible = true;
            screen.insertMode = false;
            screen.originMode = false;
            screen.autoWrap = true;
            m_applicationCursorKeys = false;
            m_keypadApplicationMode = false;
            screen.setRegion(0, screen.rows() - 1);
            screen.format = TerminalFormat();
            m_charsets = { { AsciiSet, AsciiSet, AsciiSet, AsciiSet } };
            m_shift = 0;
        }
        // Cursor style, conformance level and the like change nothing shown here.
        return;
    } else {
        switch (s.final) {
        case '@': screen.insertBlanks(n); return;
        case 'A': screen.moveUp(n); return;
        case 'B': screen.moveDown(n); return;
        case 'C': screen.moveRight(n); return;
        case 'D': screen.moveLeft(n); return;
        case 'E':
            screen.moveDown(n);
            screen.carriageReturn();
            return;
        case 'F':
            screen.moveUp(n);
            screen.carriageReturn();
            return;
        case 'G':
        case '`': screen.moveToColumn(n - 1); return;
        case 'H':
        case 'f': screen.moveTo(n - 1, s.at(1, 1) - 1); return;
        case 'I': screen.tab(std::min(n, TerminalScreen::MaxColumns)); return;
        case 'J': screen.eraseInDisplay(s.parameters[0]); return;
        case 'K': screen.eraseInLine(s.parameters[0]); return;
        case 'L': screen.insertLines(n); return;
        case 'M': screen.deleteLines(n); return;
        case 'P': screen.deleteCharacters(n); return;
        case 'S': screen.scrollUp(n); return;
        case 'T':
            if (s.parameterCount <= 1)
                screen.scrollDown(n);
            return;
        case 'X': screen.eraseCharacters(n); return;
        case 'Z': screen.backTab(std::min(n, TerminalScreen::MaxColumns)); return;
        case 'a': screen.moveRight(n); return;
        case 'b':
            // REP: curses draws runs (bars, blanks) with it.
            if (m_lastPrinted) {
                const QByteArray run(std::min(n, screen.rows() * screen.columns()), char(m_lastPrinted));
                print(reinterpret_cast<const uchar *>(run.constData()), run.size());
            }
            return;
        case 'c':
            if (s.parameters[0] == 0 && m_callbacks.reply)
                m_callbacks.reply(PrimaryAttributes);
            return;
        case 'd': screen.moveTo(n - 1, screen.cursorColumn()); return;
        case 'e': screen.moveDown(n); return;
        case 'g':
            if (s.parameters[0] == 0 || s.parameters[0] == 3)
                screen.clearTabStop(s.parameters[0] == 3);
            return;
        case 'h':
        case 'l': setMode(s, s.final == 'h'); return;
        case 'm': selectGraphicRendition(s); return;
        case 'n': deviceStatus(s); return;
        case 'r': screen.setRegion(n - 1, s.at(1, screen.rows()) - 1); return;
        case 's': saveCursor(); return;
        case 'u': restoreCursor(); return;
        case 'x':
            // DECREQTPARM: the line settings xterm reports.
            if (s.parameters[0] <= 1 && m_callbacks.reply)
                m_callbacks.reply(report("", { s.parameters[0] + 2, 1, 1, 128, 128, 1, 0 }, 'x'));
            return;
        case 't':
        case 'q':
            return; // window operations and keyboard lights
        default:
            break;
        }
    }
    unhandled("******** QVTerm - Unhandled 'format' option.", QByteArray(1, s.final), true);
}

void TerminalEmulator::oscDispatch(const QByteArray &text)
{
    const int separator = text.indexOf(';');
    const QByteArray command = text.left(separator);
    if (separator < 0 || (command != "0" && command != "2"))
        return;
    QString title = QString::fromLatin1(text.mid(separator + 1).left(MaxTitleCharacters));
    title.remove(QChar(0x7F));
    if (m_callbacks.title)
        m_callbacks.title(title);
}

void TerminalEmulator::setMode(const TerminalParser::Sequence &sequence, bool set)
{
    for (int i = 0; i < std::max(1, sequence.parameterCount); ++i) {
        const int mode = sequence.parameters[size_t(i)];
        if (mode == 4)
            m_screen.insertMode = set;
        else if (mode == 20)
            m_newLineMode = set;
        else
            unhandled("******** QVTerm - Unhandled mode.", QByteArray::number(mode), true);
    }
}

void TerminalEmulator::setPrivateMode(int mode, bool set)
{
    TerminalScreen &screen = m_screen;
    switch (mode) {
    case 1: m_applicationCursorKeys = set; break;
    case 5:
        m_reverseScreen = set;
        screen.markRow(0);
        screen.markRow(screen.rows() - 1);
        break;
    case 6:
        screen.originMode = set;
        screen.moveTo(0, 0);
        break;
    case 7: screen.autoWrap = set; break;
    case 25: m_cursorVisible = set; break;
    case 47:
        screen.setAlternate(set);
        break;
    case 1047:
        if (!set && screen.isAlternate())
            screen.eraseInDisplay(2);
        screen.setAlternate(set);
        break;
    case 1048:
        set ? saveCursor() : restoreCursor();
        break;
    case 1049:
        if (set) {
            if (!screen.isAlternate()) {
                saveCursor();
                screen.setAlternate(true);
                const TerminalFormat format = screen.format;
                screen.format = TerminalFormat();
                screen.eraseInDisplay(2);
                screen.format = format;
            }
        } else if (screen.isAlternate()) {
            screen.setAlternate(false);
            restoreCursor();
        }
        break;
    case 2004: m_bracketedPaste = set; break;
    case 3:
        // DECCOLM: 132 or 80 columns at once, cleared, as xterm does; whoever carries the bytes
        // is told, so that the program's terminal follows.
        screen.resize(screen.rows(), set ? WideColumns : TerminalBuffer::Columns);
        screen.eraseInDisplay(2);
        screen.setCursor(0, 0);
        if (m_callbacks.resized)
            m_callbacks.resized();
        break;
    // Smooth scrolling, auto-repeat, blinking, mouse reports, focus events and synchronised
    // output: nothing to show.
    case 4: case 8: case 9: case 12: case 40: case 45:
    case 1000: case 1001: case 1002: case 1003: case 1004: case 1005: case 1006: case 1015:
    case 1034: case 1036: case 1039: case 2026:
        break;
    default:
        unhandled("******** QVTerm - Unhandled 'private' mode.", QByteArray::number(mode), true);
        break;
    }
}

void TerminalEmulator::selectGraphicRendition(const TerminalParser::Sequence &s)
{
    TerminalFormat &format = m_screen.format;
    const int count = std::max(1, s.parameterCount);
    for (int i = 0; i < count; ++i) {
        const int value = s.parameters[size_t(i)];
        switch (value) {
        case 0: format = TerminalFormat(); break;
        case 1: format.attributes |= TerminalFormat::Bold; break;
        case 4:
        case 21: format.attributes |= TerminalFormat::Underline; break;
        case 7: format.attributes |= TerminalFormat::Reverse; break;
        case 22: format.attributes &= ~TerminalFormat::Bold; break;
        case 24: format.attributes &= ~TerminalFormat::Underline; break;
        case 27: format.attributes &= ~TerminalFormat::Reverse; break;
        // Faint, italic, blink, hidden, crossed out and their resets are not shown.
        case 2: case 3: case 5: case 6: case 8: case 9: case 23: case 25: case 28: case 29: break;
        case 39: format.foreground = TerminalFormat::DefaultForeground; break;
        case 49: format.background = TerminalFormat::DefaultBackground; break;
        case 38:
        case 48: {
            const bool foreground = value == 38;
            char code = 0;
            if (i + 2 < count && s.parameters[size_t(i + 1)] == 5) {
                code = indexedCode(s.parameters[size_t(i + 2)], foreground);
                i += 2;
            } else if (i + 4 < count && s.parameters[size_t(i + 1)] == 2) {
                const auto channel = [&](int k) { return std::min(255, s.parameters[size_t(i + k)]); };
                code = nearestCode(channel(2), channel(3), channel(4), foreground);
                i += 4;
            } else {
                i = count; // malformed: the rest cannot be told apart
                break;
            }
            (foreground ? format.foreground : format.background) = code;
            break;
        }
        default:
            if (value >= 30 && value <= 37)
                format.foreground = char('0' + value - 30);
            else if (value >= 40 && value <= 47)
                format.background = char('0' + value - 40);
            else if (value >= 90 && value <= 97)
                format.foreground = char('A' + value - 90);
            else if (value >= 100 && value <= 107)
                format.background = char('A' + value - 100);
            else
                unhandled("******** QVTerm - Unhandled 'm' option.", QByteArray::number(value), true);
            break;
        }
    }
}

void TerminalEmulator::deviceStatus(const TerminalParser::Sequence &s)
{
    if (!m_callbacks.reply)
        return;
    const int request = s.parameters[0];
    if (request == 5 && s.privateMarker == 0) {
        m_callbacks.reply(QByteArrayLiteral("\x1b[0n"));
    } else if (request == 6) {
        const int top = m_screen.originMode ? m_screen.regionTop() : 0;
        m_callbacks.reply(report(s.privateMarker == '?' ? "?" : "",
                                 { m_screen.cursorRow() - top + 1, m_screen.cursorColumn() + 1 }, 'R'));
    }
}

void TerminalEmulator::saveCursor()
{
    m_screen.saveCursor(m_charsets, m_shift);
}

void TerminalEmulator::restoreCursor()
{
    const TerminalScreen::SavedCursor &saved = m_screen.restoreCursor();
    m_charsets = saved.charsets;
    m_shift = saved.shift;
}

void TerminalEmulator::fullReset()
{
    m_screen.reset(false);
    m_applicationCursorKeys = false;
    m_keypadApplicationMode = false;
    m_cursorVisible = true;
    m_bracketedPaste = false;
    m_newLineMode = false;
    m_reverseScreen = false;
    m_charsets = { { AsciiSet, AsciiSet, AsciiSet, AsciiSet } };
    m_shift = 0;
    m_singleShift = -1;
    m_lastPrinted = 0;
}

void TerminalEmulator::unhandled(const char *what, const QByteArray &item, bool withData)
{
    if (m_callbacks.unhandled)
        m_callbacks.unhandled(what, item, withData);
}
