#pragma once

#include <QColor>
#include <QtGlobal>

// How one character cell looks. Colours are palette digits ('0'..'9', the last digit of an SGR
// colour); bold and underline are kept but not drawn: the view draws every cell in the terminal's
// default font. Small on purpose: a full buffer holds 64,000 cells.
struct TerminalFormat
{
    enum Attribute : quint8 { Bold = 0x1, Underline = 0x2 };

    char foreground = '7';
    char background = '0';
    quint8 attributes = 0;

    // The colour of a palette digit; digits without their own colour share the background's.
    static QColor paletteColor(char digit)
    {
        switch (digit) {
        case '1': return QColor(255, 128, 128);
        case '2': return QColor(Qt::green);
        case '3': return QColor(Qt::yellow);
        case '4': return QColor(128, 128, 255);
        case '5': return QColor(Qt::magenta);
        case '6': return QColor(Qt::cyan);
        case '7': return QColor(238, 238, 238);
        default: return QColor(35, 38, 41);
        }
    }

    QColor foregroundColor() const { return paletteColor(foreground); }
    QColor backgroundColor() const { return paletteColor(background); }
    bool isBold() const { return attributes & Bold; }
    bool isUnderlined() const { return attributes & Underline; }

    friend bool operator==(const TerminalFormat &a, const TerminalFormat &b)
    {
        return a.foreground == b.foreground && a.background == b.background && a.attributes == b.attributes;
    }
    friend bool operator!=(const TerminalFormat &a, const TerminalFormat &b) { return !(a == b); }
};

// One written character: a Latin-1 byte and its format.
struct TerminalCell
{
    uchar character = ' ';
    TerminalFormat format;

    QChar toQChar() const { return QLatin1Char(char(character)); }
};
