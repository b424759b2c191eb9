#pragma once

#include <QtGlobal>

// A colour as the program chose it: the default, one of the 256 indexed colours (0-7 the ANSI
// colours, 8-15 their bright forms, then the 6x6x6 cube and the grey ramp), or a direct 24-bit
// colour. One word, so that cells stay small and formats compare cheaply; TerminalPalette turns
// it into what is shown.
class TerminalColor
{
public:
    enum class Kind : quint8 { Default, Indexed, Rgb };

    constexpr TerminalColor() = default;
    static constexpr TerminalColor indexed(int index) { return TerminalColor(IndexedTag | quint32(index & 0xff)); }
    static constexpr TerminalColor rgb(int red, int green, int blue)
    {
        return TerminalColor(RgbTag | quint32(red & 0xff) << 16 | quint32(green & 0xff) << 8 | quint32(blue & 0xff));
    }

    Kind kind() const { return m_value == 0 ? Kind::Default : (m_value & RgbTag) == RgbTag ? Kind::Rgb : Kind::Indexed; }
    bool isDefault() const { return m_value == 0; }
    int index() const { return int(m_value & 0xff); }
    // 0xRRGGBB of a direct colour.
    quint32 rgbValue() const { return m_value & 0xffffff; }

    friend constexpr bool operator==(TerminalColor a, TerminalColor b) { return a.m_value == b.m_value; }
    friend constexpr bool operator!=(TerminalColor a, TerminalColor b) { return a.m_value != b.m_value; }

private:
    static constexpr quint32 IndexedTag = 0x01000000;
    static constexpr quint32 RgbTag = 0x02000000;
    explicit constexpr TerminalColor(quint32 value) : m_value(value) { }

    quint32 m_value = 0;
};

// How one character cell looks: the colours as chosen and the SGR attributes. Reverse is kept as
// an attribute, so that 27 can undo it. Wide and WideTail mark the two cells of a double-width
// character; they belong to cells, never to the format a program sets.
struct TerminalFormat
{
    enum Attribute : quint16 {
        Bold = 0x1,
        Faint = 0x2,
        Italic = 0x4,
        Underline = 0x8,
        Blink = 0x10,
        Reverse = 0x20,
        Hidden = 0x40,
        Strike = 0x80,
        // DECSCA: selective erase leaves the cell alone.
        Protected = 0x100,
        Wide = 0x200,
        WideTail = 0x400,
    };
    static constexpr quint16 CellShapeAttributes = Wide | WideTail;

    TerminalColor foreground;
    TerminalColor background;
    quint16 attributes = 0;

    bool has(Attribute attribute) const { return attributes & attribute; }
    bool isBold() const { return has(Bold); }
    bool isUnderlined() const { return has(Underline); }

    friend bool operator==(const TerminalFormat &a, const TerminalFormat &b)
    {
        return a.foreground == b.foreground && a.background == b.background && a.attributes == b.attributes;
    }
    friend bool operator!=(const TerminalFormat &a, const TerminalFormat &b) { return !(a == b); }
};

// One written character and its format. A character with ClusterFlag set is a base character
// with combining marks, kept by its line (TerminalLine::cluster); the second cell of a wide
// character holds 0.
struct TerminalCell
{
    static constexpr char32_t ClusterFlag = 0x80000000;

    char32_t character = U' ';
    TerminalFormat format;

    bool isBlank() const { return character == U' '; }
};
