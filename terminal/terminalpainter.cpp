#include "terminalpainter.h"

#include "terminalcharwidth.h"
#include "terminalpalette.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPainter>

#include <algorithm>

namespace {

constexpr int MaxCachedGlyphs = 4096;
constexpr char32_t BoxFirst = 0x2500;
constexpr char32_t BlockFirst = 0x2580;
constexpr char32_t BlockLast = 0x259F;

// The arms of the box-drawing characters U+2500..U+257F, two bits each (left, right, up, down):
// 0 none, 1 light, 2 heavy, 3 double. 0 for the whole character: dashes and diagonals, which
// the font draws.
constexpr quint8 BoxArms[128] = {
    0x05, 0x0A, 0x50, 0xA0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x44, 0x48, 0x84, 0x88,
    0x41, 0x42, 0x81, 0x82, 0x14, 0x18, 0x24, 0x28, 0x11, 0x12, 0x21, 0x22, 0x54, 0x58, 0x64, 0x94,
    0xA4, 0x68, 0x98, 0xA8, 0x51, 0x52, 0x61, 0x91, 0xA1, 0x62, 0x92, 0xA2, 0x45, 0x46, 0x49, 0x4A,
    0x85, 0x86, 0x89, 0x8A, 0x15, 0x16, 0x19, 0x1A, 0x25, 0x26, 0x29, 0x2A, 0x55, 0x56, 0x59, 0x5A,
    0x65, 0x95, 0xA5, 0x66, 0x69, 0x96, 0x99, 0x6A, 0x9A, 0xA6, 0xA9, 0xAA, 0x00, 0x00, 0x00, 0x00,
    0x0F, 0xF0, 0x4C, 0xC4, 0xCC, 0x43, 0xC1, 0xC3, 0x1C, 0x34, 0x3C, 0x13, 0x31, 0x33, 0x5C, 0xF4,
    0xFC, 0x53, 0xF1, 0xF3, 0x4F, 0xC5, 0xCF, 0x1F, 0x35, 0x3F, 0x5F, 0xF5, 0xFF, 0x44, 0x41, 0x11,
    0x14, 0x00, 0x00, 0x00, 0x01, 0x10, 0x04, 0x40, 0x02, 0x20, 0x08, 0x80, 0x09, 0x90, 0x06, 0x60,
};

// The quadrants of U+2596..U+259F: bit 0 upper left, 1 upper right, 2 lower left, 3 lower right.
constexpr quint8 Quadrants[10] = { 0x4, 0x8, 0x1, 0xD, 0x9, 0x7, 0xB, 0x2, 0x6, 0xE };

constexpr int BoldFace = 1;
constexpr int ItalicFace = 2;

bool isDrawnByHand(char32_t character)
{
    if (character < BoxFirst || character > BlockLast)
        return false;
    return character >= BlockFirst || BoxArms[character - BoxFirst] != 0;
}

} // namespace

TerminalPainter::TerminalPainter(const QFont &font)
{
    setFont(font);
}

void TerminalPainter::setFont(const QFont &font)
{
    m_font = font;
    const QFontMetricsF metrics(font);
    m_characterWidth = std::max(1, qRound(metrics.horizontalAdvance(QLatin1Char('M'))));
    m_lineHeight = std::max(1, qRound(metrics.height()));
    m_ascent = metrics.ascent();
    prepareFaces();
}

void TerminalPainter::prepareFaces()
{
    QString latin(256, QLatin1Char(' '));
    for (int i = 0x20; i < 256; ++i)
        latin[i] = QLatin1Char(char(i));
    for (int i = 0; i < int(m_faces.size()); ++i) {
        Face &face = m_faces[size_t(i)];
        face = Face();
        face.font = m_font;
        face.font.setBold(i & BoldFace);
        face.font.setItalic(i & ItalicFace);
        face.raw = QRawFont::fromFont(face.font);
        if (!face.raw.isValid())
            continue;
        const QVector<quint32> glyphs = face.raw.glyphIndexesForString(latin);
        if (glyphs.size() != 256) {
            face.raw = QRawFont();
            continue;
        }
        const QVector<QPointF> advances = face.raw.advancesForGlyphIndexes(glyphs);
        for (int c = 0; c < 256; ++c) {
            face.latin[size_t(c)] = glyphs.at(c);
            face.latinOffsets[size_t(c)] = (m_characterWidth - advances.value(c).x()) / 2;
        }
    }
}

QPair<quint32, qreal> TerminalPainter::glyph(Face &face, char32_t character)
{
    if (!face.raw.isValid())
        return { 0, 0 };
    if (character < 256)
        return { face.latin[character], face.latinOffsets[character] };
    const auto found = face.others.constFind(character);
    if (found != face.others.constEnd())
        return found.value();
    if (face.others.size() >= MaxCachedGlyphs)
        face.others.clear();
    const uint ucs4 = uint(character);
    const QVector<quint32> glyphs = face.raw.glyphIndexesForString(QString::fromUcs4(&ucs4, 1));
    QPair<quint32, qreal> entry { 0, 0 };
    if (glyphs.size() == 1 && glyphs.at(0) != 0) {
        const int width = (terminalCharWidth(character) == 2 ? 2 : 1) * m_characterWidth;
        entry = { glyphs.at(0), (width - face.raw.advancesForGlyphIndexes(glyphs).value(0).x()) / 2 };
    }
    face.others.insert(character, entry);
    return entry;
}

bool TerminalPainter::paintLine(QPainter &painter, const Line &line, const TerminalPalette &palette,
                                bool reverseScreen, bool blinkOn)
{
    const TerminalLine::Size size = line.cells->lineSize;
    if (size == TerminalLine::Size::Single)
        return paintCells(painter, line, palette, reverseScreen, blinkOn);
    // Twice as wide (and for double height, twice as tall with one half shown) from the line's start.
    painter.save();
    painter.setClipRect(QRect(0, line.y, painter.device()->width(), m_lineHeight), Qt::IntersectClip);
    painter.translate(line.x, line.y);
    painter.scale(2, size == TerminalLine::Size::DoubleWidth ? 1 : 2);
    if (size == TerminalLine::Size::DoubleHeightBottom)
        painter.translate(0, -m_lineHeight / 2.0);
    Line local = line;
    local.x = 0;
    local.y = 0;
    const bool blinking = paintCells(painter, local, palette, reverseScreen, blinkOn);
    painter.restore();
    return blinking;
}

bool TerminalPainter::paintCells(QPainter &painter, const Line &line, const TerminalPalette &palette,
                                 bool reverseScreen, bool blinkOn)
{
    const TerminalLine &cells = *line.cells;
    const int w = m_characterWidth;
    const int h = m_lineHeight;
    const int end = std::min(int(cells.size()) - 1, line.lastCell);
    const auto cellX = [&](int cell) { return line.x + cell * w; };
    const auto shown = [&](int cell) {
        const bool selected = cell >= line.selectionFirst && cell < line.selectionEnd;
        return palette.shown(cells[size_t(cell)].format, reverseScreen, selected);
    };

    const QRgb plain = palette.defaultBackground(reverseScreen);
    for (int cell = line.firstCell; cell <= end;) {
        const QRgb background = shown(cell).background;
        int next = cell + 1;
        while (next <= end && shown(next).background == background)
            ++next;
        if (background != plain)
            painter.fillRect(cellX(cell), line.y, (next - cell) * w, h, QColor(background));
        cell = next;
    }
    // Selected cells past the line's end show as selected blanks.
    const int selectedFrom = std::max({ end + 1, line.firstCell, line.selectionFirst });
    const int selectedTo = std::min(line.lastCell, line.selectionEnd - 1);
    if (selectedFrom <= selectedTo)
        painter.fillRect(cellX(selectedFrom), line.y, (selectedTo - selectedFrom + 1) * w, h,
                         QColor(palette.defaultForeground(reverseScreen)));

    constexpr quint16 Style
        = TerminalFormat::Bold | TerminalFormat::Italic | TerminalFormat::Underline | TerminalFormat::Strike;
    const qreal baseline = line.y + m_ascent;
    bool blinking = false;
    for (int cell = line.firstCell; cell <= end;) {
        const QRgb foreground = shown(cell).foreground;
        const quint16 style = cells[size_t(cell)].format.attributes & Style;
        int next = cell + 1;
        while (next <= end && shown(next).foreground == foreground
               && (cells[size_t(next)].format.attributes & Style) == style)
            ++next;
        const QColor colour(foreground);
        const int faceIndex = ((style & TerminalFormat::Bold) ? BoldFace : 0) | ((style & TerminalFormat::Italic) ? ItalicFace : 0);
        Face &face = m_faces[size_t(faceIndex)];
        painter.setPen(colour);
        m_runGlyphs.resize(0);
        m_runPositions.resize(0);
        for (int i = cell; i < next; ++i) {
            const TerminalCell &c = cells[size_t(i)];
            if (c.isBlank() || c.format.has(TerminalFormat::WideTail))
                continue;
            if (c.format.has(TerminalFormat::Blink)) {
                blinking = true;
                if (!blinkOn)
                    continue;
            }
            const QRect box(cellX(i), line.y, c.format.has(TerminalFormat::Wide) ? 2 * w : w, h);
            if (isDrawnByHand(c.character)) {
                paintDrawn(painter, c.character, box, colour);
                continue;
            }
            const QPair<quint32, qreal> found
                = (c.character & TerminalCell::ClusterFlag) ? QPair<quint32, qreal>(0, 0) : glyph(face, c.character);
            if (found.first != 0) {
                m_runGlyphs.append(found.first);
                m_runPositions.append(QPointF(box.x() + found.second, baseline));
            } else {
                // Not in the fixed font, or with marks: Qt finds a font that has it.
                QString text;
                cells.appendText(text, c);
                painter.setFont(face.font);
                painter.drawText(box, Qt::AlignCenter, text);
            }
        }
        if (!m_runGlyphs.isEmpty()) {
            QGlyphRun run;
            run.setRawFont(face.raw);
            run.setGlyphIndexes(m_runGlyphs);
            run.setPositions(m_runPositions);
            painter.drawGlyphRun(QPointF(), run);
        }
        if (style & TerminalFormat::Underline)
            painter.fillRect(cellX(cell), int(baseline) + 1, (next - cell) * w, 1, colour);
        if (style & TerminalFormat::Strike)
            painter.fillRect(cellX(cell), line.y + h / 2, (next - cell) * w, 1, colour);
        cell = next;
    }
    return blinking;
}

void TerminalPainter::paintDrawn(QPainter &painter, char32_t character, const QRect &cell, const QColor &colour)
{
    const int left = cell.left();
    const int top = cell.top();
    const int width = cell.width();
    const int height = cell.height();
    if (character >= BlockFirst) {
        const auto fill = [&](qreal x, qreal y, qreal w, qreal h) {
            painter.fillRect(QRectF(left + x * width, top + y * height, w * width, h * height), colour);
        };
        if (character == 0x2580) {
            fill(0, 0, 1, 0.5);
        } else if (character <= 0x2588) {
            const qreal part = (character - 0x2580) / 8.0;
            fill(0, 1 - part, 1, part);
        } else if (character <= 0x258F) {
            fill(0, 0, (0x2590 - character) / 8.0, 1);
        } else if (character == 0x2590) {
            fill(0.5, 0, 0.5, 1);
        } else if (character <= 0x2593) {
            QColor shade = colour;
            shade.setAlphaF((character - 0x2590) / 4.0);
            painter.fillRect(cell, shade);
        } else if (character == 0x2594) {
            fill(0, 0, 1, 1 / 8.0);
        } else if (character == 0x2595) {
            fill(7 / 8.0, 0, 1 / 8.0, 1);
        } else {
            const quint8 quadrants = Quadrants[character - 0x2596];
            for (int q = 0; q < 4; ++q) {
                if (quadrants & (1 << q))
                    fill(q % 2 * 0.5, q / 2 * 0.5, 0.5, 0.5);
            }
        }
        return;
    }
    // Lines drawn by hand meet across cells whatever the font.
    const quint8 arms = BoxArms[character - BoxFirst];
    const int light = std::max(1, width / 8);
    const int midX = left + width / 2;
    const int midY = top + height / 2;
    const int gap = light + 1; // from the middle to each stroke of a double line
    const auto strokes = [&](bool horizontal, int from, int to, int weight) {
        const auto stroke = [&](int offset, int thickness) {
            const int at = (horizontal ? midY : midX) + offset;
            painter.fillRect(horizontal ? QRect(from, at, to - from + 1, thickness)
                                        : QRect(at, from, thickness, to - from + 1),
                             colour);
        };
        if (weight == 3) {
            stroke(-gap, light);
            stroke(gap - light + 1, light);
        } else {
            const int thickness = weight == 2 ? 2 * light : light;
            stroke(-thickness / 2, thickness);
        }
    };
    // Arms reach past the middle by the other direction's half width, so that corners close.
    const int reachX = ((arms >> 4 & 3) == 3 || (arms >> 6 & 3) == 3) ? gap : light;
    const int reachY = ((arms & 3) == 3 || (arms >> 2 & 3) == 3) ? gap : light;
    if (arms & 3)
        strokes(true, left, midX + reachX - 1, arms & 3);
    if (arms >> 2 & 3)
        strokes(true, midX - reachX + 1, cell.right(), arms >> 2 & 3);
    if (arms >> 4 & 3)
        strokes(false, top, midY + reachY - 1, arms >> 4 & 3);
    if (arms >> 6 & 3)
        strokes(false, midY - reachY + 1, cell.bottom(), arms >> 6 & 3);
}

void TerminalPainter::paintCursor(QPainter &painter, const TerminalLine &line, int column, const QRect &box,
                                  const TerminalPalette &palette, bool reverseScreen, bool focused)
{
    const QColor colour(palette.defaultForeground(reverseScreen));
    if (!focused) {
        painter.setPen(colour);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(box.adjusted(0, 0, -1, -1));
        return;
    }
    painter.fillRect(box, colour);
    if (column >= int(line.size()))
        return;
    const TerminalCell &cell = line[size_t(column)];
    if (cell.isBlank() || cell.format.has(TerminalFormat::WideTail))
        return;
    QString text;
    line.appendText(text, cell);
    const int face = (cell.format.isBold() ? BoldFace : 0) | (cell.format.has(TerminalFormat::Italic) ? ItalicFace : 0);
    painter.setFont(m_faces[size_t(face)].font);
    painter.setPen(QColor(palette.defaultBackground(reverseScreen)));
    painter.drawText(box, Qt::AlignCenter, text);
}
