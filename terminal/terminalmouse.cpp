#include "terminalmouse.h"

namespace {

constexpr int MotionFlag = 32;
constexpr int Offset = 32;
constexpr int MaxDefaultValue = 255 - Offset;
constexpr int MaxUtf8Value = 2047 - Offset;

void appendUtf8(QByteArray &bytes, int value)
{
    if (value < 0x80) {
        bytes += char(value);
    } else {
        bytes += char(0xC0 | value >> 6);
        bytes += char(0x80 | (value & 0x3F));
    }
}

} // namespace

QByteArray TerminalMouse::encode(const Event &event, TerminalEmulator::MouseTracking tracking,
                                 TerminalEmulator::MouseEncoding encoding)
{
    using Tracking = TerminalEmulator::MouseTracking;
    using Encoding = TerminalEmulator::MouseEncoding;
    const bool wheel = event.button >= WheelUp;
    switch (tracking) {
    case Tracking::Off:
        return QByteArray();
    case Tracking::Press:
        if (event.action != Action::Press)
            return QByteArray();
        break;
    case Tracking::PressRelease:
        if (event.action == Action::Motion)
            return QByteArray();
        break;
    case Tracking::ButtonMotion:
        if (event.action == Action::Motion && event.button == NoButton)
            return QByteArray();
        break;
    case Tracking::AnyMotion:
        break;
    }
    if (wheel && event.action == Action::Release)
        return QByteArray();

    int code = event.button;
    if (event.action == Action::Release && encoding != Encoding::Sgr)
        code = NoButton;
    if (event.action == Action::Motion)
        code += MotionFlag;
    if (tracking != Tracking::Press) {
        if (event.modifiers & Qt::ShiftModifier)
            code += 4;
        if (event.modifiers & Qt::AltModifier)
            code += 8;
        if (event.modifiers & Qt::ControlModifier)
            code += 16;
    }

    switch (encoding) {
    case Encoding::Sgr:
        return "\x1b[<" + QByteArray::number(code) + ';' + QByteArray::number(event.column) + ';'
            + QByteArray::number(event.row) + (event.action == Action::Release ? 'm' : 'M');
    case Encoding::Decimal:
        return "\x1b[" + QByteArray::number(code + Offset) + ';' + QByteArray::number(event.column) + ';'
            + QByteArray::number(event.row) + 'M';
    case Encoding::Utf8: {
        if (event.column > MaxUtf8Value || event.row > MaxUtf8Value)
            return QByteArray();
        QByteArray bytes("\x1b[M");
        appendUtf8(bytes, code + Offset);
        appendUtf8(bytes, event.column + Offset);
        appendUtf8(bytes, event.row + Offset);
        return bytes;
    }
    case Encoding::Default:
        break;
    }
    if (event.column > MaxDefaultValue || event.row > MaxDefaultValue)
        return QByteArray();
    QByteArray bytes("\x1b[M");
    bytes += char(code + Offset);
    bytes += char(event.column + Offset);
    bytes += char(event.row + Offset);
    return bytes;
}
