#include "terminalemulator.h"

#include <QList>

#include <algorithm>
#include <vector>

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
constexpr char SupplementalSet = '<';
// The upper half of ISO Latin-1 as a 96-character set (ESC - A and the like); not a final byte.
constexpr char LatinSupplementSet = 'L';
constexpr char32_t PoundSign = 0xA3;
const QByteArray StringTerminator("\x1b\\");

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

// DEC special graphics for the bytes 0x5F..0x7E.
constexpr char16_t LineDrawing[32] = {
    0x00A0, 0x25C6, 0x2592, 0x2409, 0x240C, 0x240D, 0x240A, 0x00B0, 0x00B1, 0x2424, 0x240B,
    0x2518, 0x2510, 0x250C, 0x2514, 0x253C, 0x23BA, 0x23BB, 0x2500, 0x23BC, 0x23BD, 0x251C,
    0x2524, 0x2534, 0x252C, 0x2502, 0x2264, 0x2265, 0x03C0, 0x2260, 0x00A3, 0x00B7,
};

// A GL byte in one of the character sets; bytes from 0x80 (Latin-1 output) are themselves.
char32_t translated(uchar byte, char set)
{
    if (byte >= 0x80)
        return byte;
    switch (set) {
    case LatinSupplementSet:
        return byte >= 0x20 ? char32_t(byte + 0x80) : byte;
    case SpecialGraphicsSet:
        return byte >= 0x5F && byte <= 0x7E ? char32_t(LineDrawing[byte - 0x5F]) : byte;
    case UnitedKingdomSet:
        return byte == '#' ? PoundSign : byte;
    case SupplementalSet:
        // The DEC multinational set's upper half: Latin-1 where the two agree.
        switch (byte) {
        case 0x28: return 0x00A4;
        case 0x57: return 0x0152;
        case 0x5D: return 0x0178;
        case 0x77: return 0x0153;
        case 0x7D: return 0x00FF;
        default: return byte > 0x20 && byte < 0x7F ? char32_t(byte + 0x80) : byte;
        }
    default:
        return byte;
    }
}

// A colour in X11 rgb: form, as xterm answers colour queries.
QByteArray colourSpec(quint32 rgb)
{
    const auto channel = [](quint32 value) { return QByteArray::number(value * 0x101, 16).rightJustified(4, '0'); };
    return "rgb:" + channel(rgb >> 16 & 0xff) + '/' + channel(rgb >> 8 & 0xff) + '/' + channel(rgb & 0xff);
}

} // namespace

TerminalEmulator::TerminalEmulator()
    : m_parser(this)
{
}

char TerminalEmulator::charsetInUse() const
{
    return m_charsets[size_t(m_shift)];
}

void TerminalEmulator::print(const uchar *text, int size)
{
    if (size <= 0)
        return;
    if (m_singleShift >= 0) {
        // A single shift covers one character.
        const char set = m_charsets[size_t(m_singleShift)];
        m_singleShift = -1;
        printTranslated(text, 1, set);
        ++text;
        if (--size == 0)
            return;
    }
    const char set = charsetInUse();
    if (set == AsciiSet && m_grShift < 0) {
        m_screen.write(text, size);
        m_lastPrinted = text[size - 1];
        return;
    }
    printTranslated(text, size, set);
}

void TerminalEmulator::printTranslated(const uchar *text, int size, char set)
{
    std::array<char32_t, 256> characters;
    const char grSet = m_grShift >= 0 ? m_charsets[size_t(m_grShift)] : 0;
    while (size > 0) {
        const int count = std::min(size, int(characters.size()));
        for (int i = 0; i < count; ++i) {
            const uchar byte = text[i];
            characters[size_t(i)] = grSet && byte >= 0xA0 ? translated(uchar(byte - 0x80), grSet) : translated(byte, set);
        }
        m_screen.write(characters.data(), count);
        m_lastPrinted = characters[size_t(count - 1)];
        text += count;
        size -= count;
    }
}

void TerminalEmulator::printUnicode(const char32_t *text, int size)
{
    if (size <= 0)
        return;
    // Character sets change only ASCII; a single shift is used up all the same.
    m_singleShift = -1;
    m_screen.write(text, size);
    m_lastPrinted = text[size - 1];
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
        // 'A' is the British national set in NRC mode (42); otherwise a VT220 takes it for
        // Latin-1's upper half, as xterm does.
        if (final == UnitedKingdomSet)
            m_charsets[size_t(intermediate - '(')] = m_nrcMode ? UnitedKingdomSet : LatinSupplementSet;
        else
            m_charsets[size_t(intermediate - '(')] = (final == SpecialGraphicsSet || final == SupplementalSet) ? final : AsciiSet;
        return;
    case '-':
    case '.':
    case '/':
        m_charsets[size_t(intermediate - ',')] = final == 'A' ? LatinSupplementSet : AsciiSet;
        return;
    case '#':
        switch (final) {
        case '3': m_screen.setLineSize(TerminalLine::Size::DoubleHeightTop); break;
        case '4': m_screen.setLineSize(TerminalLine::Size::DoubleHeightBottom); break;
        case '5': m_screen.setLineSize(TerminalLine::Size::Single); break;
        case '6': m_screen.setLineSize(TerminalLine::Size::DoubleWidth); break;
        case '8':
            m_screen.setRegion(0, m_screen.rows() - 1);
            m_screen.originMode = false;
            m_screen.fillWith(U'E');
            m_screen.setCursor(0, 0);
            break;
        default: break;
        }
        return;
    case ' ':
    case '%':
        // 7- or 8-bit replies, and the coding system: the link decides the encoding.
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
    case 'Z': reply(PrimaryAttributes); break;
    case 'N': m_singleShift = 2; break;
    case 'O': m_singleShift = 3; break;
    case 'n': m_shift = 2; break;
    case 'o': m_shift = 3; break;
    // Shifts into GR (LS1R, LS2R, LS3R): from now on bytes 0xA0-0xFF are characters of that set;
    // in UTF-8 those that are not part of a character, as in xterm.
    case '~': setGrShift(1); break;
    case '}': setGrShift(2); break;
    case '|': setGrShift(3); break;
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
        case 'J': screen.eraseInDisplay(s.parameters[0], true); return;
        case 'K': screen.eraseInLine(s.parameters[0], true); return;
        case 'p':
            if (s.intermediate() == '$') {
                // DECRQM for a DEC mode.
                const int mode = s.parameters[0];
                int state = 0;
                const auto known = [&](bool value) { state = value ? 1 : 2; };
                switch (mode) {
                case 1: known(m_applicationCursorKeys); break;
                case 3: known(screen.columns() == WideColumns); break;
                case 5: known(m_reverseScreen); break;
                case 6: known(screen.originMode); break;
                case 7: known(screen.autoWrap); break;
                case 25: known(m_cursorVisible); break;
                case 47: case 1047: case 1049: known(screen.isAlternate()); break;
                case 9: known(m_mouseTracking == MouseTracking::Press); break;
                case 1000: known(m_mouseTracking == MouseTracking::PressRelease); break;
                case 1002: known(m_mouseTracking == MouseTracking::ButtonMotion); break;
                case 1003: known(m_mouseTracking == MouseTracking::AnyMotion); break;
                case 1004: known(m_focusReports); break;
                case 1005: known(m_mouseEncoding == MouseEncoding::Utf8); break;
                case 1006: known(m_mouseEncoding == MouseEncoding::Sgr); break;
                case 1007: known(m_alternateScroll); break;
                case 1015: known(m_mouseEncoding == MouseEncoding::Decimal); break;
                case 2004: known(m_bracketedPaste); break;
                case 42: known(m_nrcMode); break;
                default: break;
                }
                reply("\x1b[?" + QByteArray::number(mode) + ';' + QByteArray::number(state) + "$y");
            }
            return;
        default: break;
        }
    } else if (s.privateMarker == '>') {
        if (s.final == 'c' && s.parameters[0] == 0)
            reply(SecondaryAttributes);
        return;
    } else if (s.privateMarker == '=') {
        // DA3: a unit ID of zeros, as xterm sends; programs that ask wait for an answer.
        if (s.final == 'c' && s.parameters[0] == 0)
            reply(TertiaryAttributes);
        return;
    } else if (s.privateMarker != 0) {
        return;
    } else if (s.intermediateCount > 0) {
        const char intermediate = s.intermediate();
        if (intermediate == '!' && s.final == 'p') {
            softReset();
        } else if (intermediate == '"' && s.final == 'q') {
            // DECSCA: 1 protects what is written from now on against selective erases.
            if (s.parameters[0] == 1)
                screen.format.attributes |= TerminalFormat::Protected;
            else if (s.parameters[0] == 0 || s.parameters[0] == 2)
                screen.format.attributes &= ~TerminalFormat::Protected;
        } else if (intermediate == '$' && s.final == 'p') {
            // DECRQM for an ANSI mode.
            const int mode = s.parameters[0];
            const int state = mode == 4 ? (screen.insertMode ? 1 : 2) : mode == 20 ? (m_newLineMode ? 1 : 2) : 0;
            reply("\x1b[" + QByteArray::number(mode) + ';' + QByteArray::number(state) + "$y");
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
                const std::vector<char32_t> run(size_t(std::min(n, screen.rows() * screen.columns())), m_lastPrinted);
                screen.write(run.data(), int(run.size()));
            }
            return;
        case 'c':
            if (s.parameters[0] == 0)
                reply(PrimaryAttributes);
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
            if (s.parameters[0] <= 1)
                reply(report("", { s.parameters[0] + 2, 1, 1, 128, 128, 1, 0 }, 'x'));
            return;
        case 't':
            // Window operations: only the text area's size is reported.
            if (s.parameters[0] == 18)
                reply(report("", { 8, screen.rows(), screen.columns() }, 't'));
            return;
        case 'q':
            return; // keyboard lights
        default:
            break;
        }
    }
    unhandled("******** QVTerm - Unhandled 'format' option.", QByteArray(1, s.final), true);
}

void TerminalEmulator::oscDispatch(const QByteArray &text)
{
    const int separator = text.indexOf(';');
    if (separator < 0)
        return;
    const QByteArray command = text.left(separator);
    if (command == "4" || command == "10" || command == "11") {
        colourQuery(command, text.mid(separator + 1));
        return;
    }
    if (command != "0" && command != "2")
        return;
    const QByteArray bytes = text.mid(separator + 1);
    QString title = isUtf8() ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
    title.truncate(MaxTitleCharacters);
    title.remove(QChar(0x7F));
    if (m_callbacks.title)
        m_callbacks.title(title);
}

void TerminalEmulator::colourQuery(const QByteArray &command, const QByteArray &argument)
{
    // Programs ask to pick colours that suit the background (vim's 'background'); colours set
    // by programs are not taken.
    if (!m_callbacks.colour)
        return;
    if (command == "4") {
        // Pairs of an index and "?".
        const QList<QByteArray> parts = argument.split(';');
        for (int i = 0; i + 1 < parts.size(); i += 2) {
            bool ok = false;
            const int index = parts.at(i).toInt(&ok);
            if (ok && index >= 0 && index <= 255 && parts.at(i + 1) == "?")
                reply("\x1b]4;" + QByteArray::number(index) + ';' + colourSpec(m_callbacks.colour(index)) + StringTerminator);
        }
        return;
    }
    if (argument != "?")
        return;
    const int which = command == "10" ? -1 : -2;
    reply("\x1b]" + command + ';' + colourSpec(m_callbacks.colour(which)) + StringTerminator);
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
    const auto track = [&](MouseTracking tracking) {
        if (set)
            m_mouseTracking = tracking;
        else if (m_mouseTracking == tracking)
            m_mouseTracking = MouseTracking::Off;
    };
    const auto encode = [&](MouseEncoding encoding) {
        if (set)
            m_mouseEncoding = encoding;
        else if (m_mouseEncoding == encoding)
            m_mouseEncoding = MouseEncoding::Default;
    };
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
    case 9: track(MouseTracking::Press); break;
    case 1000: track(MouseTracking::PressRelease); break;
    case 1002: track(MouseTracking::ButtonMotion); break;
    case 1003: track(MouseTracking::AnyMotion); break;
    case 1004: m_focusReports = set; break;
    case 1005: encode(MouseEncoding::Utf8); break;
    case 1006: encode(MouseEncoding::Sgr); break;
    case 1015: encode(MouseEncoding::Decimal); break;
    case 1007: m_alternateScroll = set; break;
    case 42: m_nrcMode = set; break;
    // Smooth scrolling, auto-repeat, cursor blinking, interlace, 132-column permission, margin
    // bell, meta keys and synchronised output: nothing to show.
    case 4: case 8: case 12: case 40: case 44: case 45: case 1001: case 1034: case 1036: case 1039: case 2026:
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
    const auto param = [&](int i) { return s.parameters[size_t(i)]; };
    // 38, 48 and 58 take a colour: ;5;n or ;2;r;g;b, or the same with colons (38:2::r:g:b, the
    // colour space being optional). Returns false when the rest cannot be told apart.
    const auto extendedColour = [&](int &i, TerminalColor *colour) {
        if (s.isSubParameter(i + 1)) {
            int end = i + 1;
            while (end < count && s.isSubParameter(end))
                ++end;
            const int subs = end - i - 1;
            const int kind = param(i + 1);
            if (kind == 5 && subs >= 2 && param(i + 2) <= 255) {
                *colour = TerminalColor::indexed(param(i + 2));
            } else if (kind == 2 && subs >= 4) {
                const int first = i + (subs >= 5 ? 3 : 2);
                *colour = TerminalColor::rgb(std::min(255, param(first)), std::min(255, param(first + 1)),
                                             std::min(255, param(first + 2)));
            }
            i = end - 1;
            return true;
        }
        if (i + 2 < count && param(i + 1) == 5) {
            if (param(i + 2) <= 255)
                *colour = TerminalColor::indexed(param(i + 2));
            i += 2;
            return true;
        }
        if (i + 4 < count && param(i + 1) == 2) {
            *colour = TerminalColor::rgb(std::min(255, param(i + 2)), std::min(255, param(i + 3)),
                                         std::min(255, param(i + 4)));
            i += 4;
            return true;
        }
        return false;
    };
    for (int i = 0; i < count; ++i) {
        const int value = param(i);
        switch (value) {
        case 0:
            // DECSCA's protection is not a rendition.
            format = TerminalFormat { {}, {}, quint16(format.attributes & TerminalFormat::Protected) };
            break;
        case 1: format.attributes |= TerminalFormat::Bold; break;
        case 2: format.attributes |= TerminalFormat::Faint; break;
        case 3: format.attributes |= TerminalFormat::Italic; break;
        case 4:
            // 4:0 is no underline, 4:2 to 4:5 the kinds of underline.
            if (s.isSubParameter(i + 1)) {
                ++i;
                if (param(i) == 0)
                    format.attributes &= ~TerminalFormat::Underline;
                else
                    format.attributes |= TerminalFormat::Underline;
                break;
            }
            format.attributes |= TerminalFormat::Underline;
            break;
        case 21: format.attributes |= TerminalFormat::Underline; break;
        case 5:
        case 6: format.attributes |= TerminalFormat::Blink; break;
        case 7: format.attributes |= TerminalFormat::Reverse; break;
        case 8: format.attributes |= TerminalFormat::Hidden; break;
        case 9: format.attributes |= TerminalFormat::Strike; break;
        case 22: format.attributes &= ~(TerminalFormat::Bold | TerminalFormat::Faint); break;
        case 23: format.attributes &= ~TerminalFormat::Italic; break;
        case 24: format.attributes &= ~TerminalFormat::Underline; break;
        case 25: format.attributes &= ~TerminalFormat::Blink; break;
        case 27: format.attributes &= ~TerminalFormat::Reverse; break;
        case 28: format.attributes &= ~TerminalFormat::Hidden; break;
        case 29: format.attributes &= ~TerminalFormat::Strike; break;
        case 39: format.foreground = TerminalColor(); break;
        case 49: format.background = TerminalColor(); break;
        case 38:
        case 48:
        case 58: {
            TerminalColor colour = value == 38 ? format.foreground : format.background;
            if (!extendedColour(i, &colour)) {
                i = count; // malformed: the rest cannot be told apart
                break;
            }
            // 58 is the underline's own colour, drawn in the text's.
            if (value == 38)
                format.foreground = colour;
            else if (value == 48)
                format.background = colour;
            break;
        }
        // Fonts, overline, proportional spacing, framing, underline colour reset: not shown.
        case 10: case 11: case 12: case 13: case 14: case 15: case 16: case 17: case 18: case 19: case 20:
        case 26: case 50: case 51: case 52: case 53: case 54: case 55: case 59:
            break;
        default:
            if (value >= 30 && value <= 37)
                format.foreground = TerminalColor::indexed(value - 30);
            else if (value >= 40 && value <= 47)
                format.background = TerminalColor::indexed(value - 40);
            else if (value >= 90 && value <= 97)
                format.foreground = TerminalColor::indexed(value - 90 + 8);
            else if (value >= 100 && value <= 107)
                format.background = TerminalColor::indexed(value - 100 + 8);
            else
                unhandled("******** QVTerm - Unhandled 'm' option.", QByteArray::number(value), true);
            break;
        }
    }
}

void TerminalEmulator::deviceStatus(const TerminalParser::Sequence &s)
{
    const int request = s.parameters[0];
    const bool dec = s.privateMarker == '?';
    if (request == 6) {
        const int top = m_screen.originMode ? m_screen.regionTop() : 0;
        reply(report(dec ? "?" : "", { m_screen.cursorRow() - top + 1, m_screen.cursorColumn() + 1 }, 'R'));
        return;
    }
    if (!dec) {
        if (request == 5)
            reply(QByteArrayLiteral("\x1b[0n"));
        return;
    }
    // The VT220's questions: no printer, user-defined keys unlocked, a North American keyboard,
    // no locator.
    switch (request) {
    case 15: reply(QByteArrayLiteral("\x1b[?13n")); break;
    case 25: reply(QByteArrayLiteral("\x1b[?20n")); break;
    case 26: reply(QByteArrayLiteral("\x1b[?27;1;0;0n")); break;
    case 55: reply(QByteArrayLiteral("\x1b[?53n")); break;
    case 56: reply(QByteArrayLiteral("\x1b[?57;0n")); break;
    default: break;
    }
}

void TerminalEmulator::setGrShift(int set)
{
    m_grShift = set;
    // In UTF-8, GR bytes that are no part of a character are the shifted set's characters.
    m_parser.setStrayBytesPrinted(set >= 0);
}

void TerminalEmulator::softReset()
{
    TerminalScreen &screen = m_screen;
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
    m_singleShift = -1;
    setGrShift(-1);
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
    m_focusReports = false;
    m_alternateScroll = true;
    m_nrcMode = false;
    m_mouseTracking = MouseTracking::Off;
    m_mouseEncoding = MouseEncoding::Default;
    m_charsets = { { AsciiSet, AsciiSet, AsciiSet, AsciiSet } };
    m_shift = 0;
    m_singleShift = -1;
    setGrShift(-1);
    m_lastPrinted = 0;
}

void TerminalEmulator::reply(const QByteArray &bytes)
{
    if (m_callbacks.reply)
        m_callbacks.reply(bytes);
}

void TerminalEmulator::unhandled(const char *what, const QByteArray &item, bool withData)
{
    if (m_callbacks.unhandled)
        m_callbacks.unhandled(what, item, withData);
}
