#include "terminalkeys.h"

namespace {

constexpr char Escape = '\x1b';

int modifierCode(Qt::KeyboardModifiers modifiers)
{
    return 1 + (modifiers & Qt::ShiftModifier ? 1 : 0) + (modifiers & Qt::AltModifier ? 2 : 0)
        + (modifiers & Qt::ControlModifier ? 4 : 0);
}

// ESC [ 1 ; m X, or the unmodified ESC [ X / ESC O X.
QByteArray letterKey(char final, int modifiers, bool application)
{
    if (modifiers > 1)
        return QByteArray("\x1b[1;") + QByteArray::number(modifiers) + final;
    return QByteArray(1, Escape) + (application ? 'O' : '[') + final;
}

QByteArray tildeKey(int code, int modifiers)
{
    QByteArray bytes = QByteArray("\x1b[") + QByteArray::number(code);
    if (modifiers > 1)
        bytes += ';' + QByteArray::number(modifiers);
    return bytes + '~';
}

// Ctrl with a key that has a C0 control, as xterm maps them; -1 if none.
int controlByte(int key)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return key - Qt::Key_A + 1;
    switch (key) {
    case Qt::Key_Space:
    case Qt::Key_At:
    case Qt::Key_2:
        return 0x00;
    case Qt::Key_BracketLeft:
    case Qt::Key_3:
        return 0x1b;
    case Qt::Key_Backslash:
    case Qt::Key_4:
        return 0x1c;
    case Qt::Key_BracketRight:
    case Qt::Key_5:
        return 0x1d;
    case Qt::Key_AsciiCircum:
    case Qt::Key_6:
        return 0x1e;
    case Qt::Key_Underscore:
    case Qt::Key_Slash:
    case Qt::Key_7:
        return 0x1f;
    case Qt::Key_Question:
    case Qt::Key_8:
        return 0x7f;
    default:
        return -1;
    }
}

} // namespace

bool TerminalKeys::isDesktopShortcut(int key, Qt::KeyboardModifiers modifiers)
{
    const Qt::KeyboardModifiers mask = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    const Qt::KeyboardModifiers held = modifiers & mask;
    // Shift+Ctrl+letter (detach, paste) and Ctrl+Tab (next program).
    if (held == (Qt::ShiftModifier | Qt::ControlModifier) && key >= Qt::Key_A && key <= Qt::Key_Z)
        return true;
    return (held & Qt::ControlModifier) && (key == Qt::Key_Tab || key == Qt::Key_Backtab);
}

QByteArray TerminalKeys::encode(int key, Qt::KeyboardModifiers modifiers, const QString &text, const Modes &modes)
{
    if (isDesktopShortcut(key, modifiers))
        return QByteArray();
    const int m = modifierCode(modifiers);
    const bool alt = modifiers & Qt::AltModifier;
    const bool control = modifiers & Qt::ControlModifier;
    const QByteArray altPrefix = alt ? QByteArray(1, Escape) : QByteArray();
    const bool keypad = modifiers & Qt::KeypadModifier;

    switch (key) {
    case Qt::Key_Up: return letterKey('A', m, modes.applicationCursorKeys);
    case Qt::Key_Down: return letterKey('B', m, modes.applicationCursorKeys);
    case Qt::Key_Right: return letterKey('C', m, modes.applicationCursorKeys);
    case Qt::Key_Left: return letterKey('D', m, modes.applicationCursorKeys);
    case Qt::Key_Home: return letterKey('H', m, modes.applicationCursorKeys);
    case Qt::Key_End: return letterKey('F', m, modes.applicationCursorKeys);
    case Qt::Key_F1: return letterKey('P', m, true);
    case Qt::Key_F2: return letterKey('Q', m, true);
    case Qt::Key_F3: return letterKey('R', m, true);
    case Qt::Key_F4: return letterKey('S', m, true);
    case Qt::Key_F5: return tildeKey(15, m);
    case Qt::Key_F6: return tildeKey(17, m);
    case Qt::Key_F7: return tildeKey(18, m);
    case Qt::Key_F8: return tildeKey(19, m);
    case Qt::Key_F9: return tildeKey(20, m);
    case Qt::Key_F10: return tildeKey(21, m);
    case Qt::Key_F11: return tildeKey(23, m);
    case Qt::Key_F12: return tildeKey(24, m);
    case Qt::Key_Insert: return tildeKey(2, m);
    case Qt::Key_Delete: return tildeKey(3, m);
    case Qt::Key_PageUp: return tildeKey(5, m);
    case Qt::Key_PageDown: return tildeKey(6, m);
    case Qt::Key_Backtab: return QByteArrayLiteral("\x1b[Z");
    case Qt::Key_Tab: return modifiers & Qt::ShiftModifier ? QByteArrayLiteral("\x1b[Z") : altPrefix + '\t';
    case Qt::Key_Backspace: return altPrefix + (control ? '\x08' : '\x7f');
    case Qt::Key_Escape: return altPrefix + Escape;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (keypad && key == Qt::Key_Enter && modes.applicationKeypad)
            return QByteArrayLiteral("\x1bOM");
        return altPrefix + (modes.newLineMode ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\r"));
    default:
        break;
    }
    if (control) {
        const int byte = controlByte(key);
        if (byte >= 0)
            return altPrefix + char(byte);
    }
    if (text.isEmpty())
        return QByteArray();
    return altPrefix + (modes.utf8 ? text.toUtf8() : text.toLatin1());
}
