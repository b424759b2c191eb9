#include "terminalpalette.h"

namespace {

// xterm's sixteen: the ANSI colours, then their bright forms.
constexpr QRgb Basic[16] = {
    0x000000, 0xcd0000, 0x00cd00, 0xcdcd00, 0x0000ee, 0xcd00cd, 0x00cdcd, 0xe5e5e5,
    0x7f7f7f, 0xff0000, 0x00ff00, 0xffff00, 0x5c5cff, 0xff00ff, 0x00ffff, 0xffffff,
};
constexpr int CubeLevels[6] = { 0, 95, 135, 175, 215, 255 };

const TerminalPalette::Scheme LightScheme { QColor(0x00, 0x00, 0x00), QColor(0xff, 0xff, 0xff) };
const TerminalPalette::Scheme DarkScheme { QColor(0xe5, 0xe5, 0xe5), QColor(0x2b, 0x30, 0x3b) };

QRgb blend(QRgb a, QRgb b)
{
    return qRgb((qRed(a) + qRed(b)) / 2, (qGreen(a) + qGreen(b)) / 2, (qBlue(a) + qBlue(b)) / 2);
}

} // namespace

TerminalPalette::Scheme TerminalPalette::schemeFor(const QColor &pageBackground)
{
    return pageBackground.isValid() && pageBackground.lightnessF() < 0.5 ? DarkScheme : LightScheme;
}

QRgb TerminalPalette::indexedColor(int index)
{
    index &= 0xff;
    if (index < 16)
        return 0xff000000 | Basic[index];
    if (index >= 232) {
        const int grey = 8 + 10 * (index - 232);
        return qRgb(grey, grey, grey);
    }
    const int cube = index - 16;
    return qRgb(CubeLevels[cube / 36], CubeLevels[cube / 6 % 6], CubeLevels[cube % 6]);
}

TerminalPalette::TerminalPalette()
{
    setScheme(LightScheme);
}

void TerminalPalette::setScheme(const Scheme &scheme)
{
    m_scheme = scheme;
    m_foreground = scheme.foreground.rgb();
    m_background = scheme.background.rgb();
}

QRgb TerminalPalette::defaultBackground(bool reverseScreen) const
{
    return reverseScreen ? m_foreground : m_background;
}

QRgb TerminalPalette::defaultForeground(bool reverseScreen) const
{
    return reverseScreen ? m_background : m_foreground;
}

QRgb TerminalPalette::resolve(TerminalColor colour, QRgb fallback) const
{
    switch (colour.kind()) {
    case TerminalColor::Kind::Default: return fallback;
    case TerminalColor::Kind::Indexed: return indexedColor(colour.index());
    case TerminalColor::Kind::Rgb: return 0xff000000 | colour.rgbValue();
    }
    return fallback;
}

TerminalPalette::Shown TerminalPalette::shown(const TerminalFormat &format, bool reverseScreen, bool selected) const
{
    TerminalColor foreground = format.foreground;
    if (format.isBold() && foreground.kind() == TerminalColor::Kind::Indexed && foreground.index() < 8)
        foreground = TerminalColor::indexed(foreground.index() + 8);
    Shown shown { resolve(foreground, defaultForeground(reverseScreen)),
                  resolve(format.background, defaultBackground(reverseScreen)) };
    if (format.has(TerminalFormat::Reverse) != selected)
        std::swap(shown.foreground, shown.background);
    if (format.has(TerminalFormat::Faint))
        shown.foreground = blend(shown.foreground, shown.background);
    if (format.has(TerminalFormat::Hidden))
        shown.foreground = shown.background;
    return shown;
}

quint32 TerminalPalette::queried(int which) const
{
    if (which == -1)
        return m_foreground & 0xffffff;
    if (which == -2)
        return m_background & 0xffffff;
    return indexedColor(which) & 0xffffff;
}
