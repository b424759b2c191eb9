#pragma once

#include <QColor>
#include <QtGlobal>

// How one character cell looks. Colours are palette codes: the digits '0'..'9' (the last digit of
// an SGR colour 30-37/40-47), 'A'..'H' for the bright colours 90-97/100-107; 256-colour and direct
// colours are mapped to the nearest of these. Reverse is kept as an attribute, so that 27 can undo
// it; the colour accessors give what is shown. Small on purpose: the lines hold many thousands.
struct TerminalFormat
{
    enum Attribute : quint8 {
        Bold = 0x1,
        Underline = 0x2,
        Reverse = 0x4,
        // The character is one of the DEC special graphics (line drawing), stored as its ASCII byte.
        LineDrawing = 0x8,
    };
    static constexpr char DefaultForeground = '7';
    static constexpr char DefaultBackground = '0';

    char foreground = DefaultForeground;
    char background = DefaultBackground;
    quint8 attributes = 0;

    // The colour of a palette code; codes without their own colour share the background's.
    static QColor paletteColor(char code)
    {
        switch (code) {
        case '1': return QColor(255, 128, 128);
        case '2': return QColor(Qt::green);
        case '3': return QColor(Qt::yellow);
        case '4': return QColor(128, 128, 255);
        case '5': return QColor(Qt::magenta);
        case '6': return QColor(Qt::cyan);
        case '7': return QColor(238, 238, 238);
        case 'A': return QColor(128, 128, 128);
        case 'B': return QColor(255, 160, 160);
        case 'C': return QColor(144, 255, 144);
        case 'D': return QColor(255, 255, 160);
        case 'E': return QColor(168, 168, 255);
        case 'F': return QColor(255, 144, 255);
        case 'G': return QColor(160, 255, 255);
        case 'H': return QColor(255, 255, 255);
        default: return QColor(35, 38, 41);
        }
    }

    char shownForeground() const { return attributes & Reverse ? background : foreground; }
    char shownBackground() const { return attributes & Reverse ? foreground : background; }
    QColor foregroundColor() const { return paletteColor(shownForeground()); }
    QColor backgroundColor() const { return paletteColor(shownBackground()); }
    bool isBold() const { return attributes & Bold; }
    bool isUnderlined() const { return attributes & Underline; }

    friend bool operator==(const TerminalFormat &a, const TerminalFormat &b)
    {
        return a.foreground == b.foreground && a.background == b.background && a.attributes == b.attributes;
    }
    friend bool operator!=(const TerminalFormat &a, const TerminalFormat &b) { return !(a == b); }
};

// One written character: a Latin-1 byte (or a line-drawing byte, see LineDrawing) and its format.
struct TerminalCell
{
    uchar character = ' ';
    TerminalFormat format;

    QChar toQChar() const;
};
