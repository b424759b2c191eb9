#pragma once

#include "terminalformat.h"

#include <QColor>

#include <array>

// What the colours of a cell look like: xterm's 256 colours (its sixteen, the 6x6x6 cube, the
// grey ramp), direct colours as they are, and the default foreground and background of the
// scheme the page picked for its theme. Bold text in one of the eight ANSI colours shows in the
// bright form, as in xterm; faint text is half-way to the background.
class TerminalPalette
{
public:
    struct Scheme
    {
        QColor foreground;
        QColor background;
    };
    // Black on white, as xterm starts, for light themes; light grey on a dark grey that black
    // still stands out from, for dark ones.
    static Scheme schemeFor(const QColor &pageBackground);
    static QRgb indexedColor(int index);

    TerminalPalette();

    void setScheme(const Scheme &scheme);
    const Scheme &scheme() const { return m_scheme; }

    struct Shown
    {
        QRgb foreground;
        QRgb background;
    };
    // The colours a cell shows; `reverseScreen` is DECSCNM, `selected` a cell in the selection.
    Shown shown(const TerminalFormat &format, bool reverseScreen, bool selected = false) const;
    QRgb defaultBackground(bool reverseScreen) const;
    QRgb defaultForeground(bool reverseScreen) const;
    // The colour a query from the program is answered with (see TerminalEmulator::Callbacks).
    quint32 queried(int which) const;

private:
    QRgb resolve(TerminalColor colour, QRgb fallback) const;

    Scheme m_scheme;
    QRgb m_foreground;
    QRgb m_background;
};
