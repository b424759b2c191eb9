#pragma once

#include "terminalline.h"

#include <QFont>
#include <QHash>
#include <QRawFont>
#include <QVector>

#include <array>

class QPainter;
class QRect;
class TerminalPalette;

// Draws terminal lines in one fixed-pitch font: backgrounds in runs, glyphs placed by hand in the
// four faces (regular, bold, italic, bold italic), underline and strike-through, box drawing and
// block characters drawn as lines and areas so that they meet across cells whatever the font, wide
// characters over two cells, double-width and double-height lines scaled. Characters the font
// lacks (and characters with marks) are left to Qt's font fallback.
class TerminalPainter
{
public:
    explicit TerminalPainter(const QFont &font);

    void setFont(const QFont &font);
    const QFont &font() const { return m_font; }
    int characterWidth() const { return m_characterWidth; }
    int lineHeight() const { return m_lineHeight; }

    struct Line
    {
        const TerminalLine *cells = nullptr;
        // Where the line's first cell starts.
        int x = 0;
        int y = 0;
        // The cells to paint, inclusive, and the selected ones [selectionFirst, selectionEnd).
        int firstCell = 0;
        int lastCell = -1;
        int selectionFirst = 0;
        int selectionEnd = 0;
    };
    // `blinkOn`: the phase in which blinking text shows. Returns whether the line holds any.
    bool paintLine(QPainter &painter, const Line &line, const TerminalPalette &palette, bool reverseScreen,
                   bool blinkOn);
    // A block over the cell (its character in the background's colour), or a frame without focus.
    void paintCursor(QPainter &painter, const TerminalLine &line, int column, const QRect &box,
                     const TerminalPalette &palette, bool reverseScreen, bool focused);

private:
    struct Face
    {
        QFont font;
        QRawFont raw;
        std::array<quint32, 256> latin {};
        std::array<qreal, 256> latinOffsets {};
        // Other characters: glyph and offset; glyph 0 where the font has none.
        QHash<char32_t, QPair<quint32, qreal>> others;
    };

    void prepareFaces();
    QPair<quint32, qreal> glyph(Face &face, char32_t character);
    bool paintCells(QPainter &painter, const Line &line, const TerminalPalette &palette, bool reverseScreen,
                    bool blinkOn);
    void paintDrawn(QPainter &painter, char32_t character, const QRect &cell, const QColor &colour);

    QFont m_font;
    int m_characterWidth = 1;
    int m_lineHeight = 1;
    qreal m_ascent = 0;
    std::array<Face, 4> m_faces;
    QVector<quint32> m_runGlyphs;
    QVector<QPointF> m_runPositions;
};
