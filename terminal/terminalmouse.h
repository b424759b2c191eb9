#pragma once

#include "terminalemulator.h"

#include <QByteArray>
#include <Qt>

// The bytes xterm sends for a mouse event, given the program's tracking mode and encoding.
// Buttons: 0 left, 1 middle, 2 right, WheelUp to WheelRight for the wheel. Press reporting (mode
// 9) sends presses alone and no modifiers; 1000 presses and releases; 1002 also motion with a
// button held; 1003 all motion. The wheel gives presses only. The default encoding writes each
// value plus 32 as a byte, and cannot reach past column or row 223 (such events are not sent);
// 1005 writes those values as UTF-8 (up to 2015), 1006 (SGR) and 1015 as decimal numbers, and
// 1006 alone tells which button was released.
class TerminalMouse
{
public:
    enum class Action { Press, Release, Motion };
    static constexpr int WheelUp = 64;
    static constexpr int WheelDown = 65;
    static constexpr int WheelLeft = 66;
    static constexpr int WheelRight = 67;
    // A motion without a button held.
    static constexpr int NoButton = 3;

    struct Event
    {
        Action action = Action::Press;
        int button = 0;
        Qt::KeyboardModifiers modifiers;
        // 1-based, as reported.
        int column = 1;
        int row = 1;
    };

    static QByteArray encode(const Event &event, TerminalEmulator::MouseTracking tracking,
                             TerminalEmulator::MouseEncoding encoding);
};
