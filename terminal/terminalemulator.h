#pragma once

#include "terminalparser.h"
#include "terminalscreen.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <functional>

// What the control functions of a character program do to a TerminalScreen, xterm being the model:
// cursor addressing, scrolling regions, erase modes (selective ones too), the alternate screen,
// line sizes, character sets (G0-G3, SO/SI, single shifts, DEC special graphics and supplemental),
// SGR attributes and colours, modes (mouse reporting among them), tab stops, and the reports a
// program asks for (DSR, DA, DECREQTPARM, colour queries), which go out through `reply`. It
// answers as a VT220 with 132 columns, selective erase and ANSI colour. No widget: QVTerminal shows
// the screen.
class TerminalEmulator : private TerminalParser::Handler
{
public:
    // Sent for DA and ESC Z: a VT220 (62) with 132 columns (1), selective erase (6) and ANSI
    // colour (22); DA2 says VT220 as well. DA3 gets xterm's unit ID, since programs that ask
    // wait for one.
    static constexpr char PrimaryAttributes[] = "\x1b[?62;1;6;22c";
    static constexpr char SecondaryAttributes[] = "\x1b[>1;10;0c";
    static constexpr char TertiaryAttributes[] = "\x1bP!|00000000\x1b\\";
    static constexpr int MaxTitleCharacters = 256;
    static constexpr int WideColumns = 132;

    // Which mouse events the program asked for (modes 9, 1000, 1002, 1003) and how they are
    // written (the default bytes, 1005 UTF-8, 1006 SGR, 1015 decimal).
    enum class MouseTracking { Off, Press, PressRelease, ButtonMotion, AnyMotion };
    enum class MouseEncoding { Default, Utf8, Sgr, Decimal };

    struct Callbacks
    {
        std::function<void(const QByteArray &)> reply;
        std::function<void(const QString &)> title;
        std::function<void()> bell;
        // The program changed the screen's size itself (DECCOLM).
        std::function<void()> resized;
        // The colour a query (OSC 4, 10, 11) asks for: 0-255 indexed, -1 default foreground,
        // -2 default background; as 0xRRGGBB.
        std::function<quint32(int)> colour;
        // An unknown control: a description, the item, and whether the output should be quoted.
        std::function<void(const char *, const QByteArray &, bool)> unhandled;
    };

    TerminalEmulator();

    void setCallbacks(Callbacks callbacks) { m_callbacks = std::move(callbacks); }
    void feed(const uchar *data, int size) { m_parser.feed(data, size); }
    // Output (and OSC titles) in UTF-8 instead of Latin-1.
    void setUtf8(bool utf8) { m_parser.setUtf8(utf8); }
    bool isUtf8() const { return m_parser.isUtf8(); }

    TerminalScreen &screen() { return m_screen; }
    const TerminalScreen &screen() const { return m_screen; }
    const TerminalParser &parser() const { return m_parser; }

    bool applicationCursorKeys() const { return m_applicationCursorKeys; }
    bool keypadApplicationMode() const { return m_keypadApplicationMode; }
    bool cursorVisible() const { return m_cursorVisible; }
    bool bracketedPaste() const { return m_bracketedPaste; }
    bool newLineMode() const { return m_newLineMode; }
    bool reverseScreen() const { return m_reverseScreen; }
    bool focusReports() const { return m_focusReports; }
    // Mode 1007: in the alternate screen, the wheel sends cursor keys.
    bool alternateScroll() const { return m_alternateScroll; }
    MouseTracking mouseTracking() const { return m_mouseTracking; }
    MouseEncoding mouseEncoding() const { return m_mouseEncoding; }

private:
    void print(const uchar *text, int size) override;
    void printUnicode(const char32_t *text, int size) override;
    void execute(uchar control) override;
    void escapeDispatch(const TerminalParser::Sequence &sequence) override;
    void csiDispatch(const TerminalParser::Sequence &sequence) override;
    void oscDispatch(const QByteArray &text) override;

    void printTranslated(const uchar *text, int size, char set);
    void setMode(const TerminalParser::Sequence &sequence, bool set);
    void setPrivateMode(int mode, bool set);
    void selectGraphicRendition(const TerminalParser::Sequence &sequence);
    void deviceStatus(const TerminalParser::Sequence &sequence);
    void colourQuery(const QByteArray &command, const QByteArray &argument);
    void softReset();
    void setGrShift(int set);
    void saveCursor();
    void restoreCursor();
    void fullReset();
    void unhandled(const char *what, const QByteArray &item, bool withData);
    char charsetInUse() const;
    void reply(const QByteArray &bytes);

    TerminalScreen m_screen;
    TerminalParser m_parser;
    Callbacks m_callbacks;
    bool m_applicationCursorKeys = false;
    bool m_keypadApplicationMode = false;
    bool m_cursorVisible = true;
    bool m_bracketedPaste = false;
    bool m_newLineMode = false;
    bool m_reverseScreen = false;
    bool m_focusReports = false;
    bool m_alternateScroll = true;
    // DECNRCM: national replacement sets in place of Latin-1.
    bool m_nrcMode = false;
    MouseTracking m_mouseTracking = MouseTracking::Off;
    MouseEncoding m_mouseEncoding = MouseEncoding::Default;
    // Designations of G0..G3 ('B' ASCII, '0' DEC special graphics, 'A' United Kingdom, '<' DEC
    // supplemental, 'L' Latin-1's upper half), the sets shifted into GL and GR (-1: none, so GR
    // bytes are Latin-1 or part of UTF-8), and a pending single shift (SS2/SS3) for the next
    // character.
    std::array<char, 4> m_charsets { { 'B', 'B', 'B', 'B' } };
    int m_shift = 0;
    int m_grShift = -1;
    int m_singleShift = -1;
    char32_t m_lastPrinted = 0; // for REP
};
