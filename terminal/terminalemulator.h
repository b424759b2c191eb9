#pragma once

#include "terminalparser.h"
#include "terminalscreen.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <functional>

// What the control functions of a character program do to a TerminalScreen, xterm being the model:
// cursor addressing, scrolling regions, erase modes, the alternate screen, character sets (G0-G3,
// SO/SI, DEC special graphics), SGR attributes and colours, modes, tab stops, and the reports a
// program asks for (DSR, DA), which go out through `reply`. No widget: QVTerminal shows the screen.
class TerminalEmulator : private TerminalParser::Handler
{
public:
    // Sent for DA and ESC Z: a VT100 with advanced video, the answer xterm gives in VT100 mode.
    static constexpr char PrimaryAttributes[] = "\x1b[?1;2c";
    static constexpr char SecondaryAttributes[] = "\x1b[>0;10;0c";
    static constexpr int MaxTitleCharacters = 256;
    static constexpr int WideColumns = 132;

    struct Callbacks
    {
        std::function<void(const QByteArray &)> reply;
        std::function<void(const QString &)> title;
        std::function<void()> bell;
        // The program changed the screen's size itself (DECCOLM).
        std::function<void()> resized;
        // An unknown control: a description, the item, and whether the output should be quoted.
        std::function<void(const char *, const QByteArray &, bool)> unhandled;
    };

    TerminalEmulator();

    void setCallbacks(Callbacks callbacks) { m_callbacks = std::move(callbacks); }
    void feed(const uchar *data, int size) { m_parser.feed(data, size); }

    TerminalScreen &screen() { return m_screen; }
    const TerminalScreen &screen() const { return m_screen; }
    const TerminalParser &parser() const { return m_parser; }

    bool applicationCursorKeys() const { return m_applicationCursorKeys; }
    bool keypadApplicationMode() const { return m_keypadApplicationMode; }
    bool cursorVisible() const { return m_cursorVisible; }
    bool bracketedPaste() const { return m_bracketedPaste; }
    bool newLineMode() const { return m_newLineMode; }
    bool reverseScreen() const { return m_reverseScreen; }

private:
    void print(const uchar *text, int size) override;
    void execute(uchar control) override;
    void escapeDispatch(const TerminalParser::Sequence &sequence) override;
    void csiDispatch(const TerminalParser::Sequence &sequence) override;
    void oscDispatch(const QByteArray &text) override;

    void setMode(const TerminalParser::Sequence &sequence, bool set);
    void setPrivateMode(int mode, bool set);
    void selectGraphicRendition(const TerminalParser::Sequence &sequence);
    void deviceStatus(const TerminalParser::Sequence &sequence);
    void saveCursor();
    void restoreCursor();
    void fullReset();
    void unhandled(const char *what, const QByteArray &item, bool withData);
    char charsetInUse() const;

    TerminalScreen m_screen;
    TerminalParser m_parser;
    Callbacks m_callbacks;
    bool m_applicationCursorKeys = false;
    bool m_keypadApplicationMode = false;
    bool m_cursorVisible = true;
    bool m_bracketedPaste = false;
    bool m_newLineMode = false;
    bool m_reverseScreen = false;
    // Designations of G0..G3 ('B' ASCII, '0' DEC special graphics, 'A' United Kingdom), the set
    // shifted into GL, and a pending single shift (SS2/SS3) for the next character.
    std::array<char, 4> m_charsets { { 'B', 'B', 'B', 'B' } };
    int m_shift = 0;
    int m_singleShift = -1;
    uchar m_lastPrinted = 0; // for REP
};
