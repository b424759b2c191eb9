#pragma once

#include <QByteArray>
#include <QString>
#include <Qt>

// The bytes xterm sends for a key press: cursor and editing keys in their normal or application
// forms, function keys, modifier forms (ESC [ 1 ; m X and ESC [ n ; m ~ with m = 1 + Shift 1 +
// Alt 2 + Ctrl 4), Alt as an Escape prefix, Ctrl with letters and symbols as C0 controls, Return
// as CR (CR LF in new-line mode). An empty result means the key is not the program's.
class TerminalKeys
{
public:
    struct Modes
    {
        bool applicationCursorKeys = false;
        bool applicationKeypad = false;
        bool newLineMode = false;
        // Typed text in UTF-8, else Latin-1.
        bool utf8 = false;
    };

    static QByteArray encode(int key, Qt::KeyboardModifiers modifiers, const QString &text, const Modes &modes);
    // Keys the desktop keeps for itself even while a terminal has the focus.
    static bool isDesktopShortcut(int key, Qt::KeyboardModifiers modifiers);
};
